// Small widget helpers shared by the strategy command dialogs: find a child by kind and index,
// show, enable, lock input, write a number group or a text.
#pragma once
#include <cstdint>
#include <string>

#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window_group.h"
#include "ui/widgets/widget_base.h"
#include "world/world_tables.h"

namespace slgw {

inline CVMenuBase* Child(CVMenuBase* w, uint32_t type, int index) {
  return w ? w->FindChild(static_cast<int32_t>(type), index) : nullptr;
}

inline CVMenuWindowGroup* Num(CVMenuBase* w, int index) {
  return dynamic_cast<CVMenuWindowGroup*>(Child(w, kWidgetGroup, index));
}

inline CVMenuText* TextOf(CVMenuBase* w, int index) { return dynamic_cast<CVMenuText*>(Child(w, kWidgetText, index)); }

inline void Show(CVMenuBase* w, bool on) {
  if (w) w->SetFlagAll(kWfShown, on);
}

inline void Enable(CVMenuBase* w, bool on) {
  if (w) w->SetFlag(kWfEnabled, on);
}

inline void LockInput(CVMenuBase* w, bool on) {
  if (w) w->SetFlagAll(kWfNoHit, on);
}

inline void SetNum(CVMenuWindowGroup* g, int32_t v) {
  if (!g) return;
  g->SetValue(v, false);
  g->Display(v);
}

inline void SetText(CVMenuText* t, const std::string& s) {
  if (t) t->SetText(s.c_str(), true);
}

inline bool ValidBusyo(int32_t b) { return b >= 0 && b < kBusyoCount; }

}  // namespace slgw

#include "ui/layout/layout_dump.h"

#include <cstdio>

#include "platform/text/cp932.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_model.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"

namespace {

std::string Num(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
  return buf;
}

void DumpOne(CVMenuBase* w, std::string& out) {
  std::string path;
  w->GetPathName(path);
  std::string line = path + " t=" + std::to_string(w->widgetType);
  if (w->widgetType == kWidgetBtn) {
    auto* b = static_cast<CVMenuBtn*>(w);
    line += " id=" + std::to_string(b->firstId) + "," + std::to_string(b->secondId);
  }
  line += " pos=" + Num(w->position.x) + "," + Num(w->position.y) + "," + Num(w->position.z);
  line += " size=" + Num(w->size.x) + "," + Num(w->size.y);
  if (w->widgetType == kWidgetSprite || w->widgetType == kWidgetBtn) {
    auto* win = static_cast<CVMenuWindow*>(w);
    line += " pic=" + plat::Cp932ToUtf8(win->pictureName.CStr());
    if (win->namePattern.Length()) line += " pat=" + plat::Cp932ToUtf8(win->namePattern.CStr());
  } else if (w->widgetType == kWidgetModel) {
    auto* m = static_cast<CVMenuModel*>(w);
    line += " pic=" + plat::Cp932ToUtf8(m->modelName.CStr());
    line += " rot=" + Num(w->rotation.x) + "," + Num(w->rotation.y) + "," + Num(w->rotation.z);
  } else if (w->widgetType == kWidgetText) {
    auto* t = static_cast<CVMenuText*>(w);
    line += " text=" + plat::Cp932ToUtf8(t->Text() ? t->Text() : "");
  }
  line += std::string(" bits=") + (w->TestFlag(kWfLoadOnOpen) ? "2" : "-") + (w->TestFlag(kWfAltLoader) ? "D" : "-") +
          (w->TestFlag(kWfAnimRunning) ? "A" : "-");
  line += " st=" + std::to_string(w->GetState());
  if (w->cancelId != -1) line += " cancel=" + std::to_string(w->cancelId);
  if (!w->AnimeKeys().empty()) {
    line += " keys=";
    bool first = true;
    for (const auto& [n, key] : w->AnimeKeys()) {
      if (!first) line += ";";
      first = false;
      line += std::to_string(n) + ":" + std::to_string(key.kind) + "(" + Num(key.p[0]) + "," + Num(key.p[1]) + "," +
              Num(key.p[2]) + "," + Num(key.p[3]) + " d" + Num(key.duration) + " w" + std::to_string(key.with) + " n" +
              std::to_string(key.next) + " m" + std::to_string(key.refMask) + ")";
    }
  }
  bool anyState = false;
  for (int32_t s : w->stateAnimes) anyState |= s != -1;
  if (anyState) {
    line += " sa=";
    for (int i = 0; i < 5; ++i) line += (i ? "," : "") + std::to_string(w->stateAnimes[i]);
  }
  out += line + "\n";
}

void Walk(CVMenuBase* w, bool self, std::string& out) {
  if (self) DumpOne(w, out);
  ForEachChild(w, [&](CVMenuBase* c) { Walk(c, true, out); });
}

}  // namespace

std::string DumpWidgetTree(CVMenuBase* root, bool skipRoot) {
  std::string out;
  if (root) Walk(root, !skipRoot, out);
  return out;
}

// Small widget helpers the extras menus share.
#pragma once
#include <cstdint>

#include "ui/widgets/widget_base.h"

// The k-th widget of a row: `first` and the siblings after it; null past the row's end.
inline CVMenuBase* NthSibling(CVMenuBase* first, int32_t k) {
  CVMenuBase* w = first;
  for (int32_t i = 0; w && i < k; ++i) w = w->NextSibling();
  return w;
}

// The first widget of a type in the panel's n-th plain window.
inline CVMenuBase* FirstInWindow(CVMenuBase* panel, int32_t window, int32_t type) {
  CVMenuBase* w = panel ? panel->FindChild(kWidgetWindow, window) : nullptr;
  return w ? w->FindChild(type, 0) : nullptr;
}

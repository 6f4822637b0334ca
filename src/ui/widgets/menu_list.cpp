#include "ui/widgets/menu_list.h"

#include <algorithm>
#include <cmath>

#include "render/sprite.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/menu_button.h"

// ---------------------------------------------------------------------------------------------
// Scroll bar

void CVMenuSBar::Draw(int32_t arg) {
  if (!flags.Test(kWfShown)) return;
  CVMenuBase::Draw(arg);
}

bool CVMenuSBar::IsDrawable(int32_t arg) { return flags.Test(kWfShown) && CVMenuBase::IsDrawable(arg); }

void CVMenuSBar::Open(int32_t a, int32_t b, int32_t c) {
  CVMenuBase::Open(a, b, c);
  upButton = static_cast<CVMenuBtn*>(FindChild(kWidgetBtn, 0));
  downButton = static_cast<CVMenuBtn*>(FindChild(kWidgetBtn, 1));
  knob = static_cast<CVMenuWindow*>(FindChild(kWidgetSprite, 0));
  if (!areaGiven) DeriveTrack();
}

void CVMenuSBar::DeriveTrack() {
  areaGiven = 0;
  if (!upButton || !downButton) {
    track = FRect();
    return;
  }
  const float ax = upButton->position.x, ay = upButton->position.y, aw = upButton->size.x, ah = upButton->size.y;
  const float bx = downButton->position.x, by = downButton->position.y, bw = downButton->size.x,
              bh = downButton->size.y;
  float l, t, r, btm;
  if (orientation == 0) {
    l = std::min(ax, bx);
    r = std::max(ax + aw, bx + bw);
    t = std::min(ay + ah, by + bh);
    btm = std::max(ay, by);
  } else {
    l = std::min(ax + aw, bx + bw);
    r = std::max(ax, bx);
    t = std::min(ay, by);
    btm = std::max(ay + ah, by + bh);
  }
  track = FRect(l, t, r - l, btm - t);
}

void CVMenuSBar::SetValue(int32_t v) {
  if (v == value) return;
  value = v < 0 ? 0 : v;
}

void CVMenuSBar::SetMax(int32_t m) {
  if (m == maximum) return;
  maximum = m < 0 ? 0 : m;
  if (value > maximum) value = maximum;
}

void CVMenuSBar::SetArea(const FRect& rect) {
  areaGiven = 1;
  track = rect;
}

void CVMenuSBar::GetTrackRect(float out[4]) const {
  out[0] = track.x;
  out[1] = track.y;
  out[2] = track.width;
  out[3] = track.height;
}

bool CVMenuSBar::HitArea(int32_t x, int32_t y, float* lx, float* ly) const {
  if (flags.Test(kWfNoHit)) return false;
  Matrix44 inv;
  if (!worldMatrix.Inverse(inv)) return false;
  Vector3 l;
  inv.TransformCoord(Vector3(static_cast<float>(x), static_cast<float>(y), 0.0f), l);
  if (lx) *lx = l.x;
  if (ly) *ly = l.y;
  return track.Contains(l.x, l.y);
}

int32_t CVMenuSBar::TrackValueAt(float along) const {
  // With no range there is nothing to choose (and hs would divide by zero).
  if (maximum <= 0) return 0;
  const float start = orientation == 0 ? track.y : track.x;
  const float len = orientation == 0 ? track.height : track.width;
  const float hs = len / (2.0f * static_cast<float>(maximum));
  const float denom = len + 2.0f * hs;
  if (!(denom > 0.0f)) return 0;
  // maximum + 1 in float: the int sum overflows for the largest maximum.
  const float raw = (along - (start - hs)) * (static_cast<float>(maximum) + 1.0f) / denom;
  int32_t v = RoundNudged(raw);
  return std::clamp(v, 0, maximum);
}

void CVMenuSBar::StepHeld(int32_t delta) {
  repeatTimer -= timeStep;
  if (repeatTimer <= 0.0f) {
    value += delta;
    repeatTimer = repeating ? kRepeatMs : kFirstRepeatMs;
    repeating = 1;
  }
}

void CVMenuSBar::Update(int32_t x, int32_t y, uint32_t click) {
  const bool input = !(static_cast<float>(GetMenuMgr().GetDepthBound()) > GetWorldZ()) && flags.Test(kWfActive) &&
                     flags.Test(kWfEnabled) && flags.Test(kWfShown);
  if (input) {
    float lx = 0, ly = 0;
    const bool overTrack = HitArea(x, y, &lx, &ly);
    if (GetMouseButton() == 1) {
      // Only a real id matches: -1 is "nothing under the pointer".
      if (upButton && upButton->firstId != -1 && selectedId == upButton->firstId && value > 0) {
        StepHeld(-1);
      } else if (downButton && downButton->firstId != -1 && selectedId == downButton->firstId && value < maximum) {
        StepHeld(+1);
      } else {
        repeating = 0;
        repeatTimer = 0.0f;
      }
      if (overTrack) value = TrackValueAt(orientation == 0 ? ly : lx);
    } else {
      repeating = 0;
      repeatTimer = 0.0f;
    }
    if (!wheelNeedsPointer || overTrack) {
      const int32_t wheel = GetWidgetInput().GetWheelDelta();
      if (wheel > 0 && value >= 1)
        --value;
      else if (wheel < 0 && value < maximum)
        ++value;
    }
  }
  if (upButton) upButton->SetFlag(kWfEnabled, value > 0);
  if (downButton) downButton->SetFlag(kWfEnabled, value < maximum);
  if (knob && maximum > 0) {
    const bool vertical = orientation == 0;
    const float len = vertical ? track.height : track.width;
    const float start = vertical ? track.y : track.x;
    const float klen = vertical ? knob->size.y : knob->size.x;
    const float along = (len - klen) * static_cast<float>(value) / static_cast<float>(maximum) +
                        std::trunc(start + klen / 2.0f) - klen / 2.0f;
    if (vertical)
      knob->SetPosXY(knob->position.x, along);
    else
      knob->SetPosXY(along, knob->position.y);
  }
  if (knob) knob->SetFlag(kWfShown, !(value < 1 && maximum <= value));
  CVMenuBase::Update(x, y, click);
}

// ---------------------------------------------------------------------------------------------
// List

CVMenuList::~CVMenuList() { CVMenuList::Release(); }

void CVMenuList::Release() {
  rows.DeleteAll(-1);
  CVMenuBase::Release();
}

CVMenuSBar* CVMenuList::ScrollBar() const { return static_cast<CVMenuSBar*>(FindChild(kWidgetSBar, 0)); }

void CVMenuList::Update(int32_t x, int32_t y, uint32_t click) {
  if (CVMenuSBar* bar = ScrollBar()) {
    bar->SetMax(std::max(0, rows.count - visibleRows));
    topRow = bar->value;
  }
  CVMenuBase::Update(x, y, click);
}

void CVMenuList::Draw(int32_t arg) {
  if (!flags.Test(kWfShown)) return;
  CVMenuBase::Draw(arg);
}

bool CVMenuList::IsDrawable(int32_t arg) { return flags.Test(kWfShown) && CVMenuBase::IsDrawable(arg); }

void CVMenuList::SetItemCount(int32_t count, int32_t visible) {
  visibleRows = visible;
  itemCount = count;
  topRow = 0;
  rows.DeleteAll(-1);
  flags.Set(kWfAltLoader, count > visible);
  if (CVMenuSBar* bar = ScrollBar()) {
    bar->SetValue(0);
    bar->SetMax(count);
  }
}

CVMenuListData* CVMenuList::AddRow() {
  auto* row = new CVMenuListData();
  rows.Append(row);
  return row;
}

void CVMenuList::SortRows() { rows.Sort(); }

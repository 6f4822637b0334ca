#include "ui/widgets/menu_pbar.h"

#include <algorithm>
#include <cmath>

#include "render/sprite.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/menu_button.h"

float CVMenuPBar::BarWidth(int32_t v, int32_t m, float fullLength) {
  // A bar with no range draws nothing rather than inf or NaN.
  if (m <= 0) return 0.0f;
  return static_cast<float>(v) / static_cast<float>(m) * fullLength;
}

void CVMenuPBar::Draw(int32_t arg) {
  if (!flags.Test(kWfShown)) return;
  CVMenuBase::Draw(arg);
}

void CVMenuPBar::Open(int32_t a, int32_t b, int32_t c) {
  CVMenuBase::Open(a, b, c);
  increaseButton = static_cast<CVMenuBtn*>(FindChild(kWidgetBtn, 0));
  decreaseButton = static_cast<CVMenuBtn*>(FindChild(kWidgetBtn, 1));
  bar = static_cast<CVMenuWindow*>(FindChild(kWidgetSprite, 0));
  secondBar = static_cast<CVMenuWindow*>(FindChild(kWidgetSprite, 1));
  barFlags = 0;
}

void CVMenuPBar::Close() {
  if (IsGliding()) value = target;
  FinishGlide();
  CVMenuBase::Close();
}

void CVMenuPBar::SetTarget(int32_t t, float timeMs) {
  barFlags |= 1;
  timeLeft = timeMs;
  target = t;
}

void CVMenuPBar::FinishGlide() {
  if (!IsGliding()) return;
  value = target;
  barFlags &= static_cast<uint16_t>(~1u);
  timeLeft = 0.0f;
  target = 0;
}

void CVMenuPBar::AnimateToTarget() {
  if (!IsGliding()) return;
  const float g = RoundNudged(timeLeft) == 0 ? 1.0f : timeStep / timeLeft;
  if (timeLeft - timeStep >= 0.0f && value != target) {
    timeLeft -= timeStep;
    value += RoundNudged(static_cast<float>(target - value) * g);
  } else {
    value = target;
    barFlags &= static_cast<uint16_t>(~1u);
    timeLeft = 0.0f;
    target = 0;
  }
}

bool CVMenuPBar::HitBar(int32_t x, int32_t y, float* x0, float* y0) const {
  if (!bar || !(bar->vectorA.x > 0.0f)) return false;
  // Where the full bar lies: its origin through its world matrix, without the offset that
  // shifts a bar growing from the right (else its click area moves with the value).
  Vector3 p;
  bar->worldMatrix.TransformCoord(Vector3(-bar->offset.x, -bar->offset.y, 0), p);
  if (x0) *x0 = p.x;
  if (y0) *y0 = p.y;
  const float fx = static_cast<float>(x), fy = static_cast<float>(y);
  return fx >= p.x && fx < p.x + bar->vectorA.x && fy >= p.y && fy < p.y + bar->vectorA.y;
}

void CVMenuPBar::Update(int32_t x, int32_t y, uint32_t click) {
  AnimateToTarget();
  const bool input = !(static_cast<float>(GetMenuMgr().GetDepthBound()) > GetWorldZ()) && flags.Test(kWfActive) &&
                     flags.Test(kWfEnabled) && flags.Test(kWfShown) && (increaseButton || decreaseButton);
  auto clampValue = [&] {
    if (!secondBar) value = std::clamp(value, minimum, std::max(minimum, maximum));
  };
  if (input) {
    float x0 = 0;
    const bool overBar = HitBar(x, y, &x0, nullptr);
    if (clickState != 0 && bar && increaseButton && decreaseButton && increaseButton->IsShown() &&
        decreaseButton->IsShown()) {
      if (increaseButton->firstId != -1 && selectedId == increaseButton->firstId) {
        if (value < maximum) ++value;
      } else if (decreaseButton->firstId != -1 && selectedId == decreaseButton->firstId) {
        if (value > minimum) --value;
      } else if (overBar) {
        value = RoundNudged((static_cast<float>(x) - x0) * static_cast<float>(maximum + 1) / bar->vectorA.x);
        if (direction == 1) value = maximum - value;
        clampValue();
      }
    }
    if (!wheelNeedsPointer || overBar) {
      const int32_t wheel = GetWidgetInput().GetWheelDelta();
      if (wheel > 0 && decreaseButton) {
        value -= wheelStep;
        clampValue();
      } else if (wheel < 0 && increaseButton) {
        value += wheelStep;
        clampValue();
      }
    }
  }
  if (increaseButton && decreaseButton && !secondBar) {
    increaseButton->SetFlag(kWfEnabled, value < maximum);
    decreaseButton->SetFlag(kWfEnabled, minimum < value);
  }
  if (bar && bar->sprite) {
    const float full = bar->vectorA.x;
    float drawn;
    if (!secondBar) {
      drawn = BarWidth(value, maximum, full);
    } else {
      drawn = BarWidth(std::min(value, maximum), maximum, full);
      if (secondBar->sprite) secondBar->sprite->SetWidth(secondBar->vectorA.x);
    }
    bar->sprite->SetWidth(drawn);
    const float off = direction == 1 ? full - drawn : 0.0f;
    bar->offset.x = off;
    if (secondBar) secondBar->offset.x = 0.0f;
  }
  CVMenuBase::Update(x, y, click);
}

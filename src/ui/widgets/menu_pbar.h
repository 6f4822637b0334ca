// Progress bar: shows value / maximum as the drawn width of its first bar window (a second bar
// may lie under it), optionally a slider (two step buttons, a click on the bar, the wheel), and
// can glide to a target over a time.
#pragma once
#include <cstdint>

#include "ui/widgets/widget_base.h"

class CVMenuBtn;
class CVMenuWindow;

class CVMenuPBar : public CVMenuBase {
 public:
  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Draw(int32_t arg) override;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Close() override;
  virtual void AnimateToTarget();

  void SetTarget(int32_t target, float timeMs);
  void FinishGlide();
  bool IsGliding() const { return (barFlags & 1) != 0; }
  bool HitBar(int32_t x, int32_t y, float* x0 = nullptr, float* y0 = nullptr) const;
  // Drawn width of a bar for a value; 0 while the maximum is not positive.
  static float BarWidth(int32_t value, int32_t maximum, float fullLength);

  uint16_t barFlags = 0;
  CVMenuBtn* increaseButton = nullptr;
  CVMenuBtn* decreaseButton = nullptr;
  CVMenuWindow* bar = nullptr;
  CVMenuWindow* secondBar = nullptr;
  int32_t target = 0;
  float timeLeft = 0.0f;
  int32_t direction = 0;
  int32_t value = 10;
  int32_t maximum = 10;
  int32_t minimum = 0;
  uint32_t wheelNeedsPointer = 1;
  int32_t wheelStep = 1;
  int32_t settings[3] = {0, 0, 1};  // the creation values as given (type, wheel flag, wheel step)
};

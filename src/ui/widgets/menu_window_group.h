// Window group ("WinGroup"): shows an integer through its first N type-2 child windows, one digit
// (or one icon) per window, in seven display modes; the value can glide to a target.
#pragma once
#include <cstdint>
#include <vector>

#include "ui/widgets/widget_base.h"

class CVMenuWindow;

enum WindowGroupMode : uint16_t {
  kGroupRight = 0,     // right-aligned, sign where asked
  kGroupLeft = 1,      // left-aligned, sign first, trailing mark
  kGroupCentre = 2,    // mode 1 centred within the digit count
  kGroupZeroFill = 3,  // right-aligned with leading zeros
  kGroupFixed = 4,     // fixed digits, leading zeros included
  kGroupNonZero = 5,   // fixed digits, zero digits hidden
  kGroupIcons = 6,     // window i shown when i < value
};

class CVMenuWindowGroup : public CVMenuBase {
 public:
  static constexpr int kMinusEntry = 10;  // pattern of the minus sign
  static constexpr int kMarkEntry = 11;   // pattern of the trailing mark

  CVMenuWindowGroup();

  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void SetFlagAll(int bit, bool on) override;
  virtual void SetFlagAllEx(int bit, bool on, bool ownOnly);
  virtual bool SetDigitState(int32_t state, int32_t force);
  virtual void SetDigitAlpha(float alpha);
  virtual void SetMode(uint16_t mode) { this->mode = mode; }
  virtual void Display(int32_t value);
  virtual void SetTarget(int32_t target, float timeMs);
  virtual bool IsGliding() const { return (glideFlags & 1) != 0; }
  virtual void ClearGlideTime() { timeLeft = 0.0f; }
  virtual void SetPatternEntry(int32_t i, int32_t pattern);
  virtual void SetDigitCount(int32_t n, bool fromReference);
  virtual void SetValue(int32_t v, bool fromReference);
  virtual void CopySettingsTo(CVMenuWindowGroup* other) const;
  virtual int32_t DisplayLeft(int32_t value);               // mode 1; returns windows used
  virtual void DisplayRight(int32_t value, bool zeroFill);  // modes 0 and 3
  virtual void DisplayCentre(int32_t value);                // mode 2
  virtual void DisplayFixed(int32_t value);                 // mode 4
  virtual void DisplayNonZero(int32_t value);               // mode 5
  virtual void DisplayIcons(int32_t value);                 // mode 6
  virtual void GlideStep();
  virtual int32_t GetPatternEntry(int32_t i) const;
  virtual float GetDigitWidth();

  // The digit windows in use: the first digit-count type-2 children, never more than exist.
  std::vector<CVMenuWindow*> DigitWindows() const;

  uint8_t sourceFlags = 0;
  uint16_t glideFlags = 0;
  int32_t value = 0;
  int32_t shownValue = 0;
  int32_t target = 0;
  float timeLeft = 0.0f;
  uint16_t mode = kGroupRight;
  uint16_t digitCount = 0;
  int32_t patterns[12];
  // Reference parameter indexes behind the source flags, kept so every Open reads them afresh.
  int32_t digitCountRef = 0;
  int32_t valueRef = 0;

 private:
  void ShowPattern(CVMenuWindow* w, int32_t entry);
};

// The clickable window: two ids (left and right click), five looks with a pattern and a sound
// each, and a caption. A decision is reported one frame after the pressed look's animation ends;
// the shared latch lets one button decide at a time.
#pragma once
#include <cstdint>

#include "core/cv_string.h"
#include "ui/widgets/menu_window.h"

enum ButtonLook : int32_t { kBtnIdle = 0, kBtnOver = 1, kBtnPressed = 2, kBtnDisabled = 3, kBtnRest = 4 };

class CVMenuBtn : public CVMenuWindow {
 public:
  static constexpr int32_t kSoundChannel = 6;
  enum : uint16_t { kPressed = 1, kNeverDecide = 2 };

  CVMenuBtn() = default;
  ~CVMenuBtn() override;

  void Release() override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Close() override;
  int32_t SetState(int32_t state, int32_t force) override;
  // A look's pattern; a state outside the five looks shows its own number.
  int32_t CellForState(int32_t state) const override;
  virtual void SetStatePatterns(int32_t p0, int32_t p1, int32_t p2, int32_t p3, int32_t p4);
  virtual void SetStateSound(int32_t state, int32_t number, bool fromReference);
  virtual void SetStateSounds(int32_t s0, int32_t s1, int32_t s2, int32_t s3, int32_t s4, uint16_t mask);
  // 0 when the text equals a non-empty caption; else stores it and returns 1.
  virtual int32_t SetCaption(const char* text);

  void Press(int32_t id);
  bool IsPressed() const { return (buttonFlags & kPressed) != 0; }
  void SetPressedBit(bool on);
  void SetNeverDecide(bool on);

  uint16_t buttonFlags = 0;
  int32_t firstId = -1;
  int32_t secondId = -1;
  int32_t pressedId = -1;
  int32_t statePatterns[5] = {0, 1, 2, 3, 4};
  int32_t stateSounds[5] = {-1, -1, -1, -1, -1};
  uint16_t soundRefMask = 0;
  CVString caption;

 private:
  void CancelPress();
};

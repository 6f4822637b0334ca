// List box and scroll bar. The scroll bar is made of its children found by type (up and down
// buttons, a knob window) with a track between the buttons; it holds a value 0..maximum that the
// buttons step with auto-repeat, a track click sets and the wheel steps. The list keeps data rows
// and lets its first scroll-bar child choose the top row.
#pragma once
#include <cstdint>

#include "core/cv_flag.h"
#include "ui/widgets/widget_base.h"

class CVMenuBtn;
class CVMenuWindow;

class CVMenuListData : public CVListBase {
 public:
  CVMenuListData() : CVListBase(-1) {}
  CVFlag dataFlags;
  int32_t value = 0;
};

class CVMenuSBar : public CVMenuBase {
 public:
  static constexpr float kFirstRepeatMs = 500.0f;
  static constexpr float kRepeatMs = 50.0f;

  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Draw(int32_t arg) override;
  bool IsDrawable(int32_t arg) override;
  void Open(int32_t a, int32_t b, int32_t c) override;

  void SetValue(int32_t v);
  void SetMax(int32_t m);
  void SetArea(const FRect& rect);
  bool HitArea(int32_t x, int32_t y, float* lx = nullptr, float* ly = nullptr) const;
  // x, y, width, height of the track in the bar's space.
  void GetTrackRect(float out[4]) const;
  void DeriveTrack();
  // The value a track click at coordinate `along` (bar space) gives; 0 while the maximum is 0.
  int32_t TrackValueAt(float along) const;

  CVMenuBtn* upButton = nullptr;
  CVMenuBtn* downButton = nullptr;
  CVMenuWindow* knob = nullptr;
  uint8_t areaGiven = 0;
  FRect track;
  uint8_t repeating = 0;
  float repeatTimer = 0.0f;
  int32_t wheelNeedsPointer = 1;
  int32_t orientation = 0;  // 0 vertical, 1 horizontal
  int32_t value = 0;
  int32_t maximum = 10;

 private:
  void StepHeld(int32_t delta);
};

class CVMenuList : public CVMenuBase {
 public:
  ~CVMenuList() override;
  void Release() override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Draw(int32_t arg) override;
  bool IsDrawable(int32_t arg) override;
  virtual void SetItemCount(int32_t count, int32_t visible);
  virtual CVMenuListData* AddRow();
  virtual void SortRows();
  CVMenuSBar* ScrollBar() const;

  CVList rows;
  int32_t itemCount = 6;
  int32_t visibleRows = 6;
  int32_t topRow = 0;
};

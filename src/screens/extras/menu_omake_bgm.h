// CVMenuOmake_BGM (menu type 84): the music player. Two pages of 20 track buttons (11000..11019)
// list bgm.bin; play 10000, stop 10001, page buttons 12000/12001 and a volume slider that lasts
// while the player is open.
//
// Widget contract: panel = the menu's first window-with-sprite child; in it the track buttons are
// the first plain window's buttons, the page buttons the second plain window's, play is the
// panel's second button and stop the widget after it, the slider the panel's first scroll bar.
// A track button shows its title in its first text child.
#pragma once
#include <cstdint>

#include "ui/menus/menu_root.h"

class CVMenuBtn;
class CVMenuSBar;

class CVMenuOmake_BGM : public CVMenuSceneRoot {
 public:
  static constexpr int32_t kTracksPerPage = 20;
  static constexpr int32_t kTrackFirst = 11000;
  static constexpr int32_t kPlay = 10000;
  static constexpr int32_t kStop = 10001;
  static constexpr int32_t kPageFirst = 12000;
  enum : int32_t { kIdle = 0, kPlaying = 1, kStopped = 2 };

  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Close() override;
  int32_t SetState(int32_t state, int32_t force) override;

  // File and title of record i (bounded to their 32-byte fields); null outside 0..49, without a
  // table, or for an empty field.
  virtual const char* GetTrackFile(int32_t i);
  virtual const char* GetTrackTitle(int32_t i);
  virtual void ShowTitles();
  virtual void SetButtonTitle(CVMenuBase* button, const char* title);
  virtual void TakeTable(const uint8_t* table) { table_ = table; }

  // The decided id's action (the per-frame rules, apart from the widget update).
  void Decide(int32_t id);
  void SetPage(int32_t page);

  int32_t SelectedTrack() const { return selected_; }
  int32_t Page() const { return page_; }
  int32_t VolumeLevel() const { return volume_; }
  CVMenuBase* TrackButton(int32_t k) const;
  CVMenuSBar* Slider() const { return slider_; }

 private:
  void FindWidgets();
  // Channel 0's level follows the slider unless stopped (after a change, or a slider move).
  void ApplyVolume(bool changed);

  CVMenuBase* panel_ = nullptr;
  CVMenuBase* firstTrack_ = nullptr;
  CVMenuBase* play_ = nullptr;
  CVMenuBase* stop_ = nullptr;
  CVMenuSBar* slider_ = nullptr;
  CVMenuBase* pageButtons_[2] = {};
  int32_t selected_ = -1;
  int32_t volume_ = 0;
  int32_t page_ = 0;
  const uint8_t* table_ = nullptr;
  char field_[33] = {};
};

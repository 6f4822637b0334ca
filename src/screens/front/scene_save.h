// Save and load screens: one scene class, CVSceneSAVE, as scene 4 (save mode 0) and scene 5 (load
// mode 1), with one menu class, CVMenuSAVE (menu type 60). Twelve pages of ten rows: pages 0..9
// are the ordinary slots 0..99, page 10 the quick-save ring, page 11 the auto-save ring (load only).
// Headers are read a page at a time, once per opening. Saving over a valid slot asks first; every
// save goes through the slot save, which writes the data files first and the header last.
//
// Widget contract (docs/layouts.md): panel = first window-with-sprite child of the menu; heading =
// the panel's first window-with-sprite child (state 0 save, 1 load); blend widget = the panel's
// fourth; page tabs = the buttons of the menu's first plain window (10000..10011); rows = the
// buttons 10100..10109 anywhere in the menu, each with texts 0..4 (number, date, clan, detail,
// latest mark) and a window-with-sprite child for the clan head's face (its picture by number).
#pragma once
#include <cstdint>

#include "save/save_slot.h"
#include "ui/menus/menu_root.h"
#include "ui/scenes/cv_scene.h"

class CVSceneSAVE;

class CVMenuSAVE : public CVMenuSceneRoot {
 public:
  static constexpr int kPages = 12;
  static constexpr int kRows = 10;
  static constexpr int32_t kFirstTab = 10000;
  static constexpr int32_t kFirstRow = 10100;
  static constexpr int32_t kCancel = 1;
  static constexpr int kQuickPage = 10;
  static constexpr int kAutoPage = 11;

  void Open(int32_t a, int32_t b, int32_t c) override;
  void Update(int32_t x, int32_t y, uint32_t click) override;

  virtual void BuildBackdrop();
  // Pages 0..11; any other page is ignored.
  virtual void SetPage(int32_t page);
  // page * 10 + row for page 0..11 and row 0..9, else -1.
  static int32_t SlotIndex(int32_t page, int32_t row);
  // The page of an ordinary slot (0..9).
  static int32_t PageOfSlot(int32_t slot);
  // 0..99 -> slot; quick and auto slots -> their ring index; else -1.
  static int32_t IndexInKind(int32_t slot);
  static int32_t PageOfLastSave();
  static bool IsLastSaved(int32_t slot);
  bool IsSlotValid(int32_t slot) const;
  virtual void ShowPage();
  virtual void ShowRow(int32_t row, int32_t slot, bool selected);
  // True when the slot was written (the header copy then shows the new save).
  virtual bool Save(int32_t page, int32_t row);
  virtual bool Load(int32_t page, int32_t row);
  // After a load: a change to the scene the loaded game mode needs.
  virtual void SendToLoadedScene();
  const SlotHeader* GetHeader(int32_t slot) const;

  int32_t Mode() const { return mode_; }
  int32_t CurrentPage() const { return page_; }
  bool QuestionPending() const { return questionPending_ == 0; }
  // The row's texts as shown (for tests and the frame dump): 0 number, 1 date, 2 clan, 3 detail.
  CVMenuBase* RowButton(int32_t row) const;

 private:
  int32_t questionPending_ = -1;
  CVSceneSAVE* owner_ = nullptr;
  CVMenuBase* firstTab_ = nullptr;
  CVMenuBase* panel_ = nullptr;
  SlotHeader headers_[kSaveSlotCount];
  bool pageLoaded_[kPages] = {};
  int32_t page_ = 0;
  int32_t selectedRow_ = -1;
  int32_t mode_ = 0;
  // The decided id was acted on (a slot loaded) and the base update skipped: it must not act again.
  bool decidedConsumed_ = false;
};

class CVSceneSAVE : public CVScene {
 public:
  CVSceneSAVE(int32_t sceneId, int32_t mode) : CVScene(-1, sceneId), mode_(mode) {}
  bool OnStart() override;
  bool OnEnter() override;
  bool OnLeave() override;
  void TakeGameMode(int32_t mode) { savedGameMode_ = mode; }
  int32_t SavedGameMode() const { return savedGameMode_; }
  int32_t Mode() const { return mode_; }

 private:
  int32_t savedGameMode_ = 0;
  int32_t mode_;
};

CVScene* CreateSaveScene(int32_t id);
CVMenuSceneRoot* CreateSaveMenu(int32_t type);
// "YYYY/MM/DD HH:MM" in local time; empty for a time that cannot be shown.
void FormatSaveTime(int64_t t, char (&out)[32]);

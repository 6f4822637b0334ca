// The command dialogs the rules open through CVSceneSLG::OpenDialog (scene-menu id = dialog kind,
// menu type 30 + kind): a value on a bar and a plain confirmation (31, 32), the alliance and
// poaching dialogs (33, 34), the moving and march confirmations (35, 36), the item won (40), the
// general who appeared (41), the clan information choice (43) and the ending pages (46). Each finds
// its widgets by kind and position (docs/layouts.md) and answers the rules' selectors.
#pragma once
#include <cstdint>
#include <deque>

#include "screens/strategy/slg_dialogs.h"
#include "screens/strategy/tenka_list.h"

class CVMenuPBar;
class CVMenuSBar;
class CVMenuBtn;
class CVMenuText;
class CVMenuWindowGroup;

// Menu type 31: a quantity on a bar between a minimum and a maximum (groups 0, 3-5), or an
// effect's progress the player only watches (groups 1, 2).
class CVMenuSLG_simple : public CVMenuSLG_CmdBase {
 public:
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  void SetValue(int32_t selector, int32_t value) override;
  int32_t GetResult(int32_t selector) override { return selector == 3 ? chosen_ : 0; }
  CVMenuBase* GetFrameWindow() override;
  void ApplyGroup();
  void Refresh();
  bool CanConfirm();
  bool HasLayoutWidgets() {
    FindWidgets();
    return frame_ && num_[2] && bar_ && step_[1] && confirm_ && pics_[1];
  }
  CVMenuPBar* Bar() const { return bar_; }
  CVMenuBtn* Confirm() const { return confirm_; }
  CVMenuBtn* StepButton(int i) const { return step_[i]; }
  CVMenuWindowGroup* Number(int i) const { return num_[i]; }
  CVMenuBase* InnerPanel() const { return inner_; }

 private:
  void FindWidgets();
  int32_t a_ = 0, b_ = 0, c_ = 0;
  int32_t chosen_ = 0;
  int32_t limit_ = 0;
  CVMenuBase* frame_ = nullptr;
  CVMenuWindowGroup* num_[3] = {};
  CVMenuBase* inner_ = nullptr;
  CVMenuBase* pics_[2] = {};
  CVMenuPBar* bar_ = nullptr;
  CVMenuBtn* step_[2] = {};
  CVMenuText* text_ = nullptr;
  CVMenuBtn* confirm_ = nullptr;
};

// Menu type 32: three numbers and a confirmation; the answer is the button.
class CVMenuSLG_chosyu : public CVMenuSLG_CmdBase {
 public:
  void Open(int32_t a, int32_t b, int32_t c) override;
  void SetValue(int32_t selector, int32_t value) override;
  CVMenuBase* GetFrameWindow() override;
  CVMenuText* GetMessageText() override { return text_; }
  bool HasLayoutWidgets() {
    FindWidgets();
    return frame_ && num_[2] && text_ && confirm_;
  }
  CVMenuWindowGroup* Number(int i) const { return num_[i]; }
  CVMenuBase* InnerPanel() const { return inner_; }

 private:
  void FindWidgets();
  void Refresh();
  int32_t a_ = 0, b_ = 0, c_ = 0;
  CVMenuBase* frame_ = nullptr;
  CVMenuWindowGroup* num_[3] = {};
  CVMenuBase* inner_ = nullptr;
  CVMenuText* text_ = nullptr;
  CVMenuBtn* confirm_ = nullptr;
};

// Menu type 33: an alliance negotiation, the envoy beside the other clan's head.
class CVMenuSLG_domei : public CVMenuSLG_CmdBase {
 public:
  void Open(int32_t a, int32_t b, int32_t c) override;
  void SetValue(int32_t selector, int32_t value) override;
  int32_t GetResult(int32_t) override { return -1; }
  CVMenuBase* GetFrameWindow() override;
  CVMenuText* GetMessageText() override { return message_; }
  void Refresh();
  bool HasLayoutWidgets() {
    FindWidgets();
    return frame_ && faces_[1] && num_[3] && texts_[3] && message_;
  }
  CVMenuWindowGroup* Number(int i) const { return num_[i]; }
  CVMenuText* Text(int i) const { return texts_[i]; }

 private:
  void FindWidgets();
  CVMenuBase* frame_ = nullptr;
  CVMenuBase* faces_[2] = {};
  CVMenuWindowGroup* num_[4] = {};
  CVMenuText* texts_[4] = {};
  CVMenuText* message_ = nullptr;
  int32_t value1_ = 0, value2_ = 0, envoy_ = 0xFFFF, clan_ = 255;
};

// Menu type 34: the generals one can poach in a country, then the attempt's progress.
class CVMenuSLG_hikinuki : public CVMenuSLG_CmdBase {
 public:
  static constexpr int kRows = 3;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  void SetValue(int32_t selector, int32_t value) override;
  int32_t GetResult(int32_t selector) override;
  CVMenuBase* GetFrameWindow() override;
  CVMenuText* GetMessageText() override { return text_; }
  void SetMessage(const char* text) override;
  void Reload();
  void FillRows(bool force);
  void FillRow(CVMenuBtn* row, int32_t busyo, bool selected);
  bool HasLayoutWidgets() {
    FindWidgets();
    return frame_ && scroll_ && rows_[kRows - 1] && num_[1] && bar_ && text_;
  }
  slgui::CTenkaList_Busyo& List() { return list_; }
  CVMenuPBar* Bar() const { return bar_; }
  CVMenuBtn* Row(int i) const { return rows_[i]; }

 private:
  void FindWidgets();
  void RefreshProgress();
  uint16_t state_ = 0;
  int32_t a_ = 0, b_ = 0, c_ = 0;
  int32_t selected_ = -1;
  CVMenuBase* frame_ = nullptr;
  CVMenuSBar* scroll_ = nullptr;
  CVMenuBtn* rows_[kRows] = {};
  CVMenuWindowGroup* num_[2] = {};
  CVMenuPBar* bar_ = nullptr;
  CVMenuText* text_ = nullptr;
  slgui::CTenkaList_Busyo list_;
  int32_t firstRow_ = -1;
  std::deque<int32_t> targets_;
};

// Menu type 36: a march on castle b with the chosen generals.
class CVMenuSLG_shutsujin : public CVMenuSLG_CmdBase {
 public:
  static constexpr int32_t kNoCastle = 513;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void SetValue(int32_t selector, int32_t value) override;
  CVMenuBase* GetFrameWindow() override;
  CVMenuText* GetMessageText() override { return text_; }
  virtual void Refresh();
  virtual bool HasLayoutWidgets();
  const slgui::CTenkaList_Busyo& Chosen() const { return chosen_; }
  // Shows the generals of a list in a face row (the window and its following windows); hides the rest.
  static void FillFaceRow(CVMenuBase* first, const slgui::CTenkaList_Busyo& list);

 protected:
  void FindWidgets();
  int32_t a_ = 0, b_ = 0, c_ = 0;
  CVMenuBase* frame_ = nullptr;
  CVMenuText* text_ = nullptr;
  int32_t number0_ = 0, number1_ = 0;
  slgui::CTenkaList_Busyo chosen_;
};

// Menu type 35: moving generals from castle a (513: from no castle yet) to castle b.
class CVMenuSLG_idou : public CVMenuSLG_shutsujin {
 public:
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Refresh() override;
  bool HasLayoutWidgets() override;
  const slgui::CTenkaList_Busyo& Stationed() const { return stationed_; }

 private:
  slgui::CTenkaList_Busyo stationed_;
};

// Menu type 41: one general who appeared or joined.
class CVMenuSLG_sikan : public CVMenuSLG_CmdBase {
 public:
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Refresh(int32_t busyo);
  CVMenuBtn* Face() const { return face_; }

 private:
  CVMenuBtn* face_ = nullptr;
  int32_t a_ = 0, b_ = 0, c_ = 0;
};

// Menu type 40: the item won.
class CVMenuSLG_item : public CVMenuSLG_CmdBase {
 public:
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Refresh(int32_t item);
  CVMenuBase* ItemPanel() const { return panel_; }

 private:
  CVMenuBase* panel_ = nullptr;
  int32_t a_ = 0, b_ = 0, c_ = 0;
};

// Menu type 46: one picture page with opening and closing animations; a click skips each.
class CVMenuSLG_ending : public CVMenuSLG_CmdBase {
 public:
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  int32_t GetResult(int32_t selector) override { return selector == 0 && finished_ ? 1 : -1; }
  CVMenuBase* GetFrameWindow() override { return pages_; }
  void CenterOnScreen(CVMenuBase*) override {}
  void Refresh(int32_t page);
  CVMenuBase* CurrentPage() const { return page_; }

 private:
  uint16_t state_ = 0;
  CVMenuBase* pages_ = nullptr;
  CVMenuBase* page_ = nullptr;
  bool finished_ = false;
};

// Menu type 43: every clan as a button; a pick is confirmed with a question in the dialog scene.
// It hides the map while open and brings it back when it ends.
class CVMenuSLG_InfoSei : public CVMenuSLG_CmdBase {
 public:
  static constexpr int kClans = 60;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  int32_t SetState(int32_t state, int32_t force) override;
  void SetValue(int32_t selector, int32_t value) override;
  int32_t GetResult(int32_t selector) override;
  CVMenuBase* GetFrameWindow() override { return main_; }
  CVMenuText* GetMessageText() override { return message_; }
  // The main panel lies inside the frame: the frame is what is centred.
  void CenterOnScreen(CVMenuBase*) override { CVMenuSLG_CmdBase::CenterOnScreen(frame_); }
  void Finish() override;
  bool EndsByFinish() const override { return true; }
  void FillClanButtons();
  void FillClanButton(CVMenuBtn* b, int32_t clan, bool selected);
  void FillNumbers();
  bool HasLayoutWidgets() {
    FindWidgets();
    return frame_ && main_ && buttons_[0] && numbers_ && message_;
  }
  CVMenuBtn* ClanButton(int i) const { return i >= 0 && i < kClans ? buttons_[i] : nullptr; }
  bool Closing() const { return (state_ & 2) != 0; }

 private:
  void FindWidgets();
  void WatchAnimations();
  uint16_t state_ = 0;
  int32_t a_ = 0, b_ = 0, c_ = 0;
  CVMenuBase* frame_ = nullptr;
  CVMenuBase* main_ = nullptr;
  CVMenuBtn* buttons_[kClans] = {};
  CVMenuBase* numbers_ = nullptr;
  CVMenuText* message_ = nullptr;
  int32_t selected_ = -1, answer_ = -1;
  int32_t value2_ = 0, value3_ = 0;
  bool switch_ = false;
};

// Menu type 37: pages through the scene's first list of generals; a row opens the detail page.
class CVMenuSLG_exp : public CVMenuSLG_CmdBase {
 public:
  static constexpr int kRows = 4;
  static constexpr int32_t kBackId = 200;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  // States 0 and 1 show the list (1 only the generals that pass filter 3); 2 once dismissed.
  int32_t SetState(int32_t state, int32_t force) override;
  // The season step waits on selector 2 for the dismissed state.
  int32_t GetResult(int32_t selector) override { return selector == 0 || selector == 2 ? GetState() : 0; }
  CVMenuBase* GetFrameWindow() override { return frame_; }
  void Reload();
  void FillRows(bool force);
  void FillRow(CVMenuBtn* row, int32_t busyo);
  bool HasLayoutWidgets() {
    FindWidgets();
    return frame_ && scroll_ && rows_[kRows - 1];
  }
  slgui::CTenkaList_Busyo& List() { return list_; }
  CVMenuBtn* Row(int i) const { return rows_[i]; }
  CVMenuSBar* Scroll() const { return scroll_; }

 private:
  void FindWidgets();
  CVMenuBase* frame_ = nullptr;
  CVMenuSBar* scroll_ = nullptr;
  CVMenuBtn* rows_[kRows] = {};
  slgui::CTenkaList_Busyo list_;
  int32_t firstRow_ = 0;
};

// Menu type 45: the generals with a pending visit, sortable; one is picked.
class CVMenuSLG_event : public CVMenuSLG_CmdBase {
 public:
  static constexpr int kRows = 4;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  int32_t SetState(int32_t state, int32_t force) override;
  void SetValue(int32_t selector, int32_t value) override;
  int32_t GetResult(int32_t selector) override { return selector == 0 ? chosen_ : 0; }
  CVMenuBase* GetFrameWindow() override { return frame_; }
  static int32_t SortColumn(int32_t buttonId) { return buttonId == 2000 ? 1 : buttonId == 2001 ? 2 : 0; }
  void Reload(bool reset);
  void FillRows(bool force);
  void FillRow(CVMenuBase* row, int32_t busyo);
  bool HasLayoutWidgets() {
    FindWidgets();
    return frame_ && face_ && confirm_ && number_ && scroll_ && rows_[kRows - 1];
  }
  slgui::CTenkaList_Busyo& List() { return list_; }
  CVMenuBase* Row(int i) const { return rows_[i]; }
  bool Descending() const { return descending_; }

 private:
  void FindWidgets();
  void MarkSortButton(CVMenuBase* b, int32_t mark);
  CVMenuBase* frame_ = nullptr;
  CVMenuBase* face_ = nullptr;
  CVMenuBtn* confirm_ = nullptr;
  CVMenuWindowGroup* number_ = nullptr;
  CVMenuSBar* scroll_ = nullptr;
  CVMenuBase* rows_[kRows] = {};
  CVMenuBase* sortButton_ = nullptr;
  slgui::CTenkaList_Busyo list_;
  int32_t firstRow_ = 0;
  int32_t selectedRow_ = -1;
  int32_t chosen_ = 0xFFFF;
  int32_t selectableAll_ = 0;
  int32_t lastSortId_ = -1;
  bool descending_ = false;
};

// Registers menu types 31-37, 40, 41, 43, 45 and 46, and the general table and training (42, 44).
void RegisterCommandDialogTypes();

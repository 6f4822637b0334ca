// The command dialogs of the strategy game. CVMenuSLG_CmdBase is the skeleton every dialog shares:
// the dialog id and group the scene gives before Open, centring of its frame on the 1280 x 720
// screen, the modal depth bound while it is open, a right click that answers the cancel id 1001,
// the message text, and the query (GetResult) and value (SetValue) operations through which the
// rules drive it. The clan choice (menu type 38) and the start options / carried-over generals
// (menu type 39) are the dialogs a new game needs.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "screens/strategy/tenka_list.h"
#include "ui/menus/menu_root.h"

class CVSceneSLG;
class CVMenuBtn;
class CVMenuSBar;
class CVMenuText;

class CVMenuSLG_CmdBase : public CVMenuSceneRoot {
 public:
  static constexpr int32_t kCancelId = 1001;

  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Close() override;
  virtual int32_t SetGroup(int32_t g) { return group_ = g; }
  virtual int32_t SetDialogId(int32_t id) { return dialogId_ = id; }
  virtual int32_t GetDialogId() const { return dialogId_; }
  virtual int32_t GetResult(int32_t) { return 0; }
  virtual void SetValue(int32_t, int32_t) {}
  virtual void SetMessage(const char* text);
  virtual CVMenuBase* GetFrameWindow();
  virtual CVMenuText* GetMessageText() { return nullptr; }
  virtual void CenterOnScreen(CVMenuBase* w);
  // Ends the dialog as the scene's FinishDialog does for the dialogs that animate out; the base
  // closes (the dialogs that hide the map first replace it).
  virtual void Finish() { Close(); }
  // True for the dialogs that hide the map while open and bring it back in Finish.
  virtual bool EndsByFinish() const { return false; }

  bool IsOpen() const { return open_; }
  int32_t SavedDepthBound() const { return savedDepthBound_; }
  int32_t Group() const { return group_; }
  CVSceneSLG* DialogScene() const { return dialogScene_; }

 protected:
  CVSceneSLG* dialogScene_ = nullptr;
  int32_t savedDepthBound_ = -1;
  int32_t group_ = 0;
  int32_t dialogId_ = 0;
  bool open_ = false;
};

// Menu type 38: the player picks a clan from a list the rules fill (three rows, scrolling).
class CVMenuSLG_SeiryokuSel : public CVMenuSLG_CmdBase {
 public:
  static constexpr int kRows = 3;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Open(int32_t a, int32_t b, int32_t c) override;
  int32_t GetResult(int32_t selector) override;
  void SetValue(int32_t selector, int32_t value) override;
  CVMenuBase* GetFrameWindow() override { return frame_; }
  virtual void Refresh(bool force);
  virtual void ApplyGroup();
  virtual void FillRow(int32_t row, int32_t clan, bool selected);

  const std::vector<int32_t>& Clans() const { return clans_; }
  // Finds the widgets; true when the frame, the scroll bar and the three rows are there.
  bool HasLayoutWidgets() {
    FindWidgets();
    return frame_ && scroll_ && rows_[kRows - 1];
  }
  CVMenuBtn* RowButton(int i) const { return i >= 0 && i < kRows ? rows_[i] : nullptr; }
  int32_t FirstRow() const;

 private:
  void FindWidgets();
  int32_t a_ = 0, b_ = 0, c_ = 0;
  CVMenuBase* frame_ = nullptr;
  CVMenuSBar* scroll_ = nullptr;
  CVMenuBtn* rows_[kRows] = {};
  std::vector<int32_t> clans_;
  int32_t firstRow_ = 0;
  int32_t lastScroll_ = -1;
  int32_t selectedIndex_ = -1, focusedIndex_ = -1;
  int32_t selectedClan_ = -1, focusedClan_ = -1;
};

// Menu type 39: state 0 the start options (bonus on 1100 / off 1101), state 1 the generals
// carried over from cleared runs, chosen within a points budget.
class CVMenuSLG_StartHikitsugi : public CVMenuSLG_CmdBase {
 public:
  static constexpr int kRows = 4;
  static constexpr int kTabs = 10;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Close() override;
  int32_t GetResult(int32_t selector) override;
  CVMenuBase* GetFrameWindow() override;
  void AddCost(int32_t busyo, bool chosen);
  void ShowPoints(int32_t points);
  bool Toggle(int32_t busyo);
  bool IsChosen(int32_t busyo) const { return chosen_.count(busyo) != 0; }
  bool CanChoose(int32_t busyo, int32_t cost) const;
  int32_t CountChoosable() const;
  void Reload();
  void WriteCarryWords();
  void SelectTab(int32_t tab);
  void FillRows(bool force);
  void FillRow(int32_t row, int32_t busyo, bool chosen);

  int32_t PointsLeft() const { return pointsLeft_; }
  // Finds the widgets; true when both frames, the points, the scroll bar, four rows and a tab are.
  bool HasLayoutWidgets() {
    FindWidgets();
    return frame1_ && frame2_ && points_ && pointsText_ && scroll_ && rows_[kRows - 1] && tabs_[0];
  }
  void SetPointsLeft(int32_t p) { pointsLeft_ = p; }
  // Candidate -> (cost, carry word); what the carry-over list gives.
  std::map<int32_t, std::pair<int32_t, int32_t>>& Candidates() { return candidates_; }
  slgui::CTenkaList_Busyo& List() { return list_; }
  int32_t CurrentTab() const { return tab_; }

 private:
  void FindWidgets();
  CVMenuBase* frame1_ = nullptr;
  CVMenuBase* frame2_ = nullptr;
  CVMenuBase* points_ = nullptr;
  CVMenuText* pointsText_ = nullptr;
  CVMenuSBar* scroll_ = nullptr;
  CVMenuBtn* rows_[kRows] = {};
  CVMenuBtn* tabs_[kTabs] = {};
  int32_t pointsLeft_ = 0;
  uint8_t playerClan_ = 0;
  slgui::CTenkaList_Busyo list_;
  std::map<int32_t, std::pair<int32_t, int32_t>> candidates_;
  std::set<int32_t> chosen_;
  int32_t firstRow_ = 0;
  int32_t lastScroll_ = -1;
  int32_t tab_ = 0;
};

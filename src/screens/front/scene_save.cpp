#include "screens/front/scene_save.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/app_state.h"
#include "core/error_box.h"
#include "platform/text/log.h"
#include "save/system_files.h"
#include "screens/front/cover_backdrop.h"
#include "screens/front/front_ports.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/sized_picture.h"

namespace {

constexpr int32_t kScenarioScene = 2;
constexpr int32_t kStrategyScene = 3;
constexpr int32_t kOverwriteKind = 0;
constexpr int kFacePictures = 16;
constexpr const char* kFacePattern = "Data\\Image\\face\\f%02d.png";
constexpr const char* kSaveBoxTitle = "CVMenuSAVE::Save";
constexpr const char* kLoadBoxTitle = "CVMenuSAVE::Load";

void SetRowText(CVMenuBase* row, int index, const char* text) {
  if (auto* t = row ? dynamic_cast<CVMenuText*>(row->FindChild(kWidgetText, index)) : nullptr) t->SetText(text, true);
}

}  // namespace

CVScene* CreateSaveScene(int32_t id) { return new CVSceneSAVE(id, id == 5 ? 1 : 0); }
CVMenuSceneRoot* CreateSaveMenu(int32_t) { return new CVMenuSAVE(); }

void FormatSaveTime(int64_t t, char (&out)[32]) {
  out[0] = '\0';
  const time_t tt = static_cast<time_t>(t);
  if (static_cast<int64_t>(tt) != t) return;
  struct tm lt {};
  if (!localtime_r(&tt, &lt)) return;
  if (std::snprintf(out, sizeof out, "%04d/%02d/%02d %02d:%02d", lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday,
                    lt.tm_hour, lt.tm_min) < 0) {
    out[0] = '\0';
  }
}

// ---- tables ----

int32_t CVMenuSAVE::SlotIndex(int32_t page, int32_t row) {
  if (page < 0 || page >= kPages || row < 0 || row >= kRows) return -1;
  return page * kRows + row;
}

int32_t CVMenuSAVE::PageOfSlot(int32_t slot) {
  const int32_t p = slot / kRows;
  return p < 0 ? 0 : (p > 9 ? 9 : p);
}

int32_t CVMenuSAVE::IndexInKind(int32_t slot) {
  if (slot >= 0 && slot < kQuickSlotBase) return slot;
  if (slot >= kQuickSlotBase && slot < kAutoSlotBase) return slot - kQuickSlotBase;
  if (slot >= kAutoSlotBase && slot < kSaveSlotCount) return slot - kAutoSlotBase;
  return -1;
}

int32_t CVMenuSAVE::PageOfLastSave() {
  const uint8_t last = PlayRecordBlock.lastSlot;
  return last < kQuickSlotBase ? PageOfSlot(last) : 0;
}

bool CVMenuSAVE::IsLastSaved(int32_t slot) {
  switch (GetSaveSlotKind(slot)) {
    case SaveSlotKind::kOrdinary:
      return PlayRecordBlock.lastSlot == slot;
    case SaveSlotKind::kQuick:
      return PlayRecordBlock.lastQuick == IndexInKind(slot);
    case SaveSlotKind::kAuto:
      return PlayRecordBlock.lastAuto == IndexInKind(slot);
    default:
      return false;
  }
}

const SlotHeader* CVMenuSAVE::GetHeader(int32_t slot) const {
  return slot >= 0 && slot < kSaveSlotCount ? &headers_[slot] : nullptr;
}

bool CVMenuSAVE::IsSlotValid(int32_t slot) const {
  const SlotHeader* h = GetHeader(slot);
  return h && CheckSaveVersion(*h);
}

CVMenuBase* CVMenuSAVE::RowButton(int32_t row) const {
  return const_cast<CVMenuSAVE*>(this)->FindButtonById(kFirstRow + row);
}

// ---- opening and pages ----

void CVMenuSAVE::Open(int32_t a, int32_t b, int32_t c) {
  CVMenuSceneRoot::Open(a, b, c);
  mode_ = a == 1 ? 1 : 0;
  SetFlagAll(kWfScreen, true);
  panel_ = FindChild(kWidgetSprite, 0);
  if (CVMenuBase* heading = panel_ ? panel_->FindChild(kWidgetSprite, 0) : nullptr) heading->SetState(mode_, 1);
  CVMenuBase* tabs = FindChild(kWidgetWindow, 0);
  firstTab_ = tabs ? tabs->FindChild(kWidgetBtn, 0) : nullptr;
  if (!panel_ || !firstTab_) plat::Log("save", "save layout lacks its panel or page tabs");
  if (CVMenuBtn* autoTab = FindButtonById(kFirstTab + kAutoPage)) autoTab->SetFlagAll(kWfShown, mode_ == 1);
  owner_ = dynamic_cast<CVSceneSAVE*>(scene);
  BuildBackdrop();
  cancelId = kCancel;
  for (SlotHeader& h : headers_) h = SlotHeader{};
  for (bool& l : pageLoaded_) l = false;
  questionPending_ = -1;
  selectedRow_ = -1;
  decidedConsumed_ = false;
  SetPage(PageOfLastSave());
}

void CVMenuSAVE::BuildBackdrop() {
  if (!scene || !panel_) return;
  BuildCoverBackdrop(*scene, panel_, panel_->FindChild(kWidgetSprite, 3));
}

void CVMenuSAVE::SetPage(int32_t page) {
  if (page < 0 || page >= kPages) return;
  if (page == kAutoPage && mode_ == 0) return;  // nothing is saved into the auto ring by hand
  for (int i = 0; i < kPages; ++i)
    if (CVMenuBtn* tab = FindButtonById(kFirstTab + i)) tab->SetFlag(kWfRest4, i == page);
  page_ = page;
  if (!pageLoaded_[page]) {
    FrontPorts& ports = GetFrontPorts();
    for (int row = 0; row < kRows; ++row) {
      const int32_t slot = SlotIndex(page, row);
      SlotHeader h;
      headers_[slot] = ports.readSlotHeader(slot, h) ? h : SlotHeader{};
    }
    pageLoaded_[page] = true;
  }
  ShowPage();
}

void CVMenuSAVE::ShowPage() {
  for (int row = 0; row < kRows; ++row) ShowRow(row, SlotIndex(page_, row), row == selectedRow_);
}

void CVMenuSAVE::ShowRow(int32_t row, int32_t slot, bool selected) {
  CVMenuBase* b = RowButton(row);
  if (!b) return;
  b->SetFlag(kWfRest4, selected);
  char number[48];
  const int32_t index = IndexInKind(slot);
  switch (GetSaveSlotKind(slot)) {
    case SaveSlotKind::kQuick:
      std::snprintf(number, sizeof number, "Q-%02d", index + 1);
      break;
    case SaveSlotKind::kAuto:
      std::snprintf(number, sizeof number, "A-%02d", index + 1);
      break;
    default:
      std::snprintf(number, sizeof number, "%03d", index + 1);
      break;
  }
  SetRowText(b, 0, number);
  CVMenuBase* face = b->FindChild(kWidgetSprite, 0);
  if (face) face->SetFlagAll(kWfShown, IsSlotValid(slot));
  if (!IsSlotValid(slot)) {
    SetRowText(b, 1, "----/--/-- --:--");
    SetRowText(b, 2, "空き");
    SetRowText(b, 3, "");
    SetRowText(b, 4, "");
    // An empty slot cannot be loaded; in save mode every row takes a save.
    if (auto* btn = dynamic_cast<CVMenuBtn*>(b)) btn->SetFlag(kWfEnabled, mode_ == 0);
    return;
  }
  const SlotHeader& h = headers_[slot];
  if (auto* btn = dynamic_cast<CVMenuBtn*>(b)) btn->SetFlag(kWfEnabled, true);
  char date[32];
  FormatSaveTime(h.saveTime, date);
  SetRowText(b, 1, date);
  // A story save (made in the story or a tutorial chapter) is labelled with its place, the story;
  // the clan, its head and its koku belong to strategy saves.
  const bool story = h.subPhase == 255;
  char clan[kSlotClanNameBytes + 1] = {};
  std::memcpy(clan, h.clanName, kSlotClanNameBytes);
  SetRowText(b, 2, story ? "物語" : clan);
  if (face) face->SetFlagAll(kWfShown, !story);
  // The face of the clan's head, as the map shows it.
  ShowPictureAtSize(dynamic_cast<CVMenuWindow*>(face), kFacePattern, h.picture % kFacePictures);
  char detail[48] = "";
  if (!story) std::snprintf(detail, sizeof detail, "%u万石", static_cast<unsigned>(h.koku));
  SetRowText(b, 3, detail);
  SetRowText(b, 4, IsLastSaved(slot) ? "最新" : "");
}

// ---- save and load ----

bool CVMenuSAVE::Save(int32_t page, int32_t row) {
  const int32_t slot = SlotIndex(page, row);
  if (slot < 0 || GetSaveSlotKind(slot) == SaveSlotKind::kAuto) return false;
  FrontPorts& ports = GetFrontPorts();
  const int32_t mode = owner_ ? owner_->SavedGameMode() : GameMode;
  SlotHeader h;
  ports.buildSlotHeader(h, mode);
  std::memset(h.comment, 0, sizeof h.comment);
  if (!ports.saveGameSlot(slot, mode, h)) {
    plat::Log("save", "slot %d was not saved; its previous content is kept", slot);
    ShowErrorMessageBox("セーブできませんでした。", kSaveBoxTitle);
    return false;
  }
  headers_[slot] = h;
  return true;
}

bool CVMenuSAVE::Load(int32_t page, int32_t row) {
  const int32_t slot = SlotIndex(page, row);
  if (slot < 0 || !IsSlotValid(slot)) return false;
  FrontPorts& ports = GetFrontPorts();
  bool ok = false;
  if (page < kQuickPage)
    ok = ports.loadGameSlot(slot);
  else if (page == kQuickPage)
    ok = ports.quickLoad(IndexInKind(slot));
  else
    ok = ports.autoLoad(IndexInKind(slot));
  if (!ok) {
    plat::Log("load", "slot %d could not be loaded; the game is unchanged", slot);
    ShowErrorMessageBox("セーブデータを読み込めませんでした。", kLoadBoxTitle);
  }
  return ok;
}

void CVMenuSAVE::Update(int32_t x, int32_t y, uint32_t click) {
  if (decidedConsumed_) {
    decidedId = -1;
    decidedConsumed_ = false;
  }
  if (questionPending_ == 0) {
    const int32_t answer = GetDialogResult();
    if (answer == -1) {
      CVMenuSceneRoot::Update(x, y, click);
      return;
    }
    if (answer == 1) Save(page_, selectedRow_);
    selectedRow_ = -1;
    ShowPage();
    questionPending_ = -1;
  }
  const int32_t decided = decidedId;
  if (decided >= kFirstTab && decided < kFirstTab + kPages) {
    SetPage(decided - kFirstTab);
  } else if (decided >= kFirstRow && decided < kFirstRow + kRows) {
    const int32_t row = decided - kFirstRow;
    if (mode_ == 0) {
      selectedRow_ = row;
      if (!IsSlotValid(SlotIndex(page_, row))) {
        Save(page_, row);
        selectedRow_ = -1;
      } else if (OpenDialogScene(kOverwriteKind, 1)) {
        questionPending_ = 0;
      } else {
        selectedRow_ = -1;
      }
      ShowPage();
    } else if (Load(page_, row)) {
      SendToLoadedScene();
      if (owner_) owner_->TakeGameMode(GameMode);
      // The row id stays the scene's result code this frame; it must not load again next frame.
      decidedConsumed_ = true;
      return;
    }
  }
  CVMenuSceneRoot::Update(x, y, click);
}

void CVMenuSAVE::SendToLoadedScene() {
  // The strategy game goes to the map, anything else to the scenario scene. When that scene lies
  // just beneath (loaded from the message window or the map) the screen pops back to it;
  // otherwise it replaces the load screen.
  CVSceneMgr& mgr = GetSceneMgr();
  const int32_t target = GameMode == game_mode::kSlg ? kStrategyScene : kScenarioScene;
  const auto& stack = mgr.GetStack();
  if (!stack.empty() && stack.back() == target) {
    mgr.RequestChange(-1, 0);
  } else if (mgr.CreateScene(target, nullptr)) {
    mgr.RequestChange(target, 0);
  } else {
    plat::Log("load", "scene %d cannot be made for the loaded game", target);
  }
}

// ---- scene ----

bool CVSceneSAVE::OnStart() {
  if (CVMenuBase* menu = FindMenu(0)) menu->Open(mode_, 0, 0);
  return false;
}

bool CVSceneSAVE::OnEnter() {
  savedGameMode_ = GameMode;
  GameMode = game_mode::kFrontScreen;
  return CVScene::OnEnter();
}

bool CVSceneSAVE::OnLeave() {
  GameMode = savedGameMode_;
  return CVScene::OnLeave();
}

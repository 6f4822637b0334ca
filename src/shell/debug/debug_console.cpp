#include "shell/debug/debug_console.h"

#include <cstdio>
#include <cstdlib>

#include "core/app_state.h"
#include "platform/debugui/debug_ui.h"
#include "scenario/script/adv_script.h"
#include "shell/debug/debug_actions.h"
#include "shell/frame_record.h"
#include "world/commands/strategy_rules.h"
#include "world/turn/turn_state.h"
#include "world/world_tables.h"

namespace {

struct MenuItemDef {
  int id;
  const char* label;
};
struct MenuDef {
  const char* title;
  std::vector<MenuItemDef> items;
};

// The debug menu: every item with its id; the groups follow the menu bar's order.
const std::vector<MenuDef>& Menus() {
  static const std::vector<MenuDef> menus = {
      {"ADV",
       {{40001, "ラベルジャンプ"},
        {40002, "スイッチ情報"},
        {40003, "イベントジャンプ"},
        {40011, "監視ウインドウ"},
        {40015, "監視リスト初期化"},
        {40026, "ＡＤＶシナリオを実行する"},
        {40025, "メッセージ強制出力テスト"},
        {40009, "メモリーＣＧ・イベントフラグを全てＯＮにする"},
        {40027, "周回数　０"},
        {40030, "周回数　１"},
        {40031, "周回数　９９"},
        {40035, "セーブデータクリア"},
        {40075, "共通セーブデータクリア"},
        {40039, "タイトル画面に戻る"},
        {40034, "関数実験用"}}},
      {"SLG",
       {{40016, "オートラン（自動実行）"},
        {40032, "大名国選択"},
        {40017, "いんちき（最強）デバッグ専用"},
        {40058, "いんちき（ソフト）レベル変更"},
        {40033, "所属武将のキャラフラグを立てる"},
        {40036, "キャラフラグ１の武将の生き死に数表示"},
        {40022, "国内マップ連絡ライン表示（確認用）"},
        {40023, "ウェイト最小"},
        {40043, "城番号表示"},
        {40044, "計略時城レベルに関係なく強制成功＆落城させる"},
        {40045, "レベル、スキル、属性表示"},
        {40060, "マップ閲覧"},
        {40046, "スキルデータのみの読み込み"},
        {40048, "武将の初期スキル設定のみの読み込み"},
        {40049, "武将データの兵士、鉄砲数のみ読み込み"}}},
      {"季節イベント", {{40081, "凶作"}, {40082, "豊作"}, {40083, "疫病"}, {40084, "旱魃"}, {40086, "指定なし"}}},
      {"合戦",
       {{40018, "晴れ"},
        {40019, "雨"},
        {40020, "霧"},
        {40021, "指定なし"},
        {40070, "発動率100％"},
        {40071, "発動率2倍"},
        {40072, "発動率0％"},
        {40073, "指定なし"},
        {40037, "野戦鉄砲確認用"},
        {40038, "プレイヤー合戦時強制勝利"}}},
      {"画像",
       {{40053, "通常表示"},
        {40054, "ＳＬＧ ページ ０"},
        {40055, "ＳＬＧ ページ １"},
        {40056, "ＡＤＶ ページ ０"},
        {40057, "ＡＤＶ ページ １"}}},
  };
  return menus;
}

constexpr int kPlotAlwaysSucceeds = 40044;  // the strategy rules' own plot switch

// The toggle word of a check item; null for another item.
std::atomic<uint8_t>* ToggleWord(int id) {
  DebugWords& w = GetDebugWords();
  switch (id) {
    case 40022:
      return &w.mapLinks;
    case 40023:
      return &w.minimalWait;
    case 40025:
      return &w.forcedMessage;
    case 40037:
      return &w.fieldGunCheck;
    case 40038:
      return &w.autoWin;
    case 40043:
      return &w.castleNumbers;
    case 40045:
      return &w.statusDisplay;
    case 40060:
      return &w.mapBrowse;
    default:
      return nullptr;
  }
}

// Radio groups: item ids and the value each stands for.
struct Group {
  int first;
  int count;
  const uint8_t* values;
};
constexpr uint8_t kWeatherValues[] = {0, 1, 2, 255};
constexpr uint8_t kSkillValues[] = {0, 1, 2, 255};
constexpr uint8_t kSeasonValues[] = {0, 1, 2, 3, 255, 255};  // 40085 is no item
constexpr int kImageViewIds[] = {40053, 40054, 40055, 40056, 40057};
constexpr int kImageViewValues[] = {0, 3, 4, 1, 2};

DebugConsole* g_console = nullptr;

}  // namespace

DebugConsole* GetDebugConsole() { return g_console; }
void SetDebugConsole(DebugConsole* console) {
  g_console = console;
  SetWatchWindowNotifier(console ? [](int32_t) {
    if (DebugConsole* c = GetDebugConsole()) c->RequestWatchRefresh();
  } : WatchWindowNotifier(nullptr));
}

DebugConsole::DebugConsole(AdvScript& script, DebugConsoleHooks hooks) : script_(script), hooks_(std::move(hooks)) {}
DebugConsole::~DebugConsole() {
  if (g_console == this) SetDebugConsole(nullptr);
}

void DebugConsole::RunExclusive(const std::function<void()>& fn) {
  if (hooks_.exclusive)
    hooks_.exclusive(fn);
  else
    fn();
}

bool DebugConsole::IsChecked(int id) const {
  const DebugWords& w = GetDebugWords();
  if (id >= 40018 && id <= 40021) return kWeatherValues[id - 40018] == w.forcedWeather;
  if (id >= 40070 && id <= 40073) return kSkillValues[id - 40070] == w.skillRate;
  if (id >= 40081 && id <= 40086 && id != 40085) return kSeasonValues[id - 40081] == w.forcedSeasonEvent;
  for (int i = 0; i < 5; ++i)
    if (kImageViewIds[i] == id) return kImageViewValues[i] == w.imageView;
  if (id == debug_menu::kAutoRun) return IsAutoRun();
  if (id == kPlotAlwaysSucceeds) return DebugPlotSwitch != 0;
  const std::atomic<uint8_t>* t = ToggleWord(id);
  return t && t->load() != 0;
}

void DebugConsole::Command(int id) {
  DebugWords& w = GetDebugWords();
  if (id >= 40018 && id <= 40021) {
    w.forcedWeather = kWeatherValues[id - 40018];
    return;
  }
  if (id >= 40070 && id <= 40073) {
    w.skillRate = kSkillValues[id - 40070];
    return;
  }
  if (id >= 40081 && id <= 40086 && id != 40085) {
    w.forcedSeasonEvent = kSeasonValues[id - 40081];
    return;
  }
  for (int i = 0; i < 5; ++i)
    if (kImageViewIds[i] == id) {
      w.imageView = kImageViewValues[i];
      return;
    }
  if (id == kPlotAlwaysSucceeds) {
    RunExclusive([] { DebugPlotSwitch = DebugPlotSwitch ? 0 : 1; });
    return;
  }
  if (std::atomic<uint8_t>* t = ToggleWord(id)) {
    bool on = t->load() == 0;
    t->store(on ? 1 : 0);
    if (hooks_.programCommand) RunExclusive([this, id, on] { hooks_.programCommand(id, on); });
    return;
  }
  switch (id) {
    case debug_menu::kLabelJump:
      OpenLabelJump();
      return;
    case debug_menu::kSwitchList:
      OpenSwitchList();
      return;
    case debug_menu::kEventJump:
      // The frame waits while the event jump is up.
      if (hooks_.setFramePause) hooks_.setFramePause(true);
      OpenLabelList(true);
      return;
    case debug_menu::kWatchWindow:
      watchOpen_ = true;
      watchDirty_.store(true);
      return;
    case debug_menu::kClearWatch:
      RunExclusive([this] { script_.ClearWatchList(); });
      watchDirty_.store(true);
      return;
    case 40013:
      if (hooks_.stopAllSound) RunExclusive([this] { hooks_.stopAllSound(); });
      return;
    case debug_menu::kAutoRun:
      if (IsAutoRun()) {
        RunExclusive([] { SetAutoRun(false); });
      } else {
        dialog_ = Dialog::kAutoRun;
        autoRunText_.clear();
        autoRunMessage_.clear();
      }
      return;
    case debug_menu::kSelectDaimyo:
      OpenSelectList(0);
      return;
    case 40039:
      RunExclusive([] { GameMode = 1; });
      return;
    case debug_menu::kClearSaveData:
      dialog_ = Dialog::kSaveClearQuestion;
      return;
    case debug_menu::kCharFlagStats:
      RunExclusive([this] { noticeText_ = CharFlagStatsText(); });
      noticeTitle_ = "キャラフラグ＝１の統計";
      dialog_ = Dialog::kNotice;
      return;
    default:
      if (hooks_.programCommand) RunExclusive([this, id] { hooks_.programCommand(id, false); });
      return;
  }
}

void DebugConsole::OpenSwitchList() {
  RunExclusive([this] { rows_ = SwitchRows(script_); });
  dialog_ = Dialog::kSwitchList;
  selected_ = lastSwitch_ < static_cast<int>(rows_.size()) ? lastSwitch_ : -1;
}

void DebugConsole::OpenLabelList(bool eventMode) {
  LabelRowList l;
  RunExclusive([&] { l = eventMode ? EventRows(script_) : LabelRows(script_); });
  rows_ = std::move(l.rows);
  rowValues_ = std::move(l.labels);
  dialog_ = eventMode ? Dialog::kEventList : Dialog::kLabelList;
  int last = eventMode ? lastEvent_ : lastLabel_;
  selected_ = last < static_cast<int>(rows_.size()) ? last : -1;
}

void DebugConsole::OpenLabelJump() {
  std::vector<ScriptFileEntry> files;
  RunExclusive([&] { files = ScriptFileList(script_); });
  if (files.empty()) {
    OpenLabelList(false);
    return;
  }
  files_ = std::move(files);
  fileRows_.clear();
  for (const ScriptFileEntry& f : files_) fileRows_.push_back(f.file);
  fileSelected_ = lastFile_ < static_cast<int>(files_.size()) ? lastFile_ : -1;
  shownFile_ = -2;
  FillFileLabels();
  if (fileSelected_ >= 0 && lastFileLabel_ < static_cast<int>(fileLabelRows_.size()))
    fileLabelSelected_ = lastFileLabel_;
  dialog_ = Dialog::kFileLabelList;
}

// A change of the file selection fills the label list again.
void DebugConsole::FillFileLabels() {
  if (shownFile_ == fileSelected_) return;
  shownFile_ = fileSelected_;
  fileLabelRows_.clear();
  fileLabelSelected_ = -1;
  if (fileSelected_ < 0 || fileSelected_ >= static_cast<int>(files_.size())) return;
  for (const ScriptFileLabel& l : files_[fileSelected_].labels)
    fileLabelRows_.push_back(FormatFileLabelRow(l.name, l.comment));
}

void DebugConsole::OpenSelectList(int mode) {
  listMode_ = mode;
  rows_.clear();
  RunExclusive([this] {
    for (int i = 0; i < SelectListRowCount(listMode_); ++i) rows_.push_back(FormatSelectRow(listMode_, i));
  });
  dialog_ = Dialog::kSelectList;
  selected_ = -1;
}

void DebugConsole::Close() {
  if (dialog_ == Dialog::kEventList && hooks_.setFramePause) hooks_.setFramePause(false);
  dialog_ = Dialog::kNone;
  rows_.clear();
  rowValues_.clear();
  files_.clear();
  fileRows_.clear();
  fileLabelRows_.clear();
}

void DebugConsole::Draw(plat::DebugUi& ui) {
  DrawMenu(ui);
  switch (dialog_) {
    case Dialog::kSwitchList:
      DrawSwitchList(ui);
      break;
    case Dialog::kSwitchEdit:
      DrawSwitchEdit(ui);
      break;
    case Dialog::kLabelList:
    case Dialog::kEventList:
      DrawLabelList(ui);
      break;
    case Dialog::kFileLabelList:
      DrawFileLabelList(ui);
      break;
    case Dialog::kSelectList:
      DrawSelectList(ui);
      break;
    case Dialog::kSaveClearQuestion:
      DrawSaveClearQuestion(ui);
      break;
    case Dialog::kNotice:
      DrawNotice(ui);
      break;
    case Dialog::kAutoRun:
      DrawAutoRun(ui);
      break;
    case Dialog::kNone:
      break;
  }
  if (watchOpen_) DrawWatch(ui);
  DrawFrameRecord(ui);
}

// The frame record while the window is open, refreshed about twice a second (the percentiles sort
// the samples).
void DebugConsole::DrawFrameRecord(plat::DebugUi& ui) {
  if (frameRecordAge_++ % 30 == 0) frameRecordLines_ = GetFrameRecord().Lines();
  if (!ui.BeginDialog("IDD_FRAME_RECORD", "フレーム記録", false)) return;
  for (const std::string& line : frameRecordLines_) ui.Text(line);
  ui.EndDialog();
}

void DebugConsole::DrawMenu(plat::DebugUi& ui) {
  for (const MenuDef& m : Menus()) {
    if (!ui.BeginMenu(m.title)) continue;
    for (const MenuItemDef& it : m.items) {
      // While a modal dialog is up the menu takes no command.
      if (ui.MenuItem(it.label, IsChecked(it.id)) && !ModalUp()) Command(it.id);
    }
    ui.EndMenu();
  }
}

void DebugConsole::DrawSwitchList(plat::DebugUi& ui) {
  if (!ui.BeginDialog("IDD_DIALOG_SW", "スイッチ変更・ダイアログ", true)) return;
  bool activated = false;
  ui.List("1000", rows_, &selected_, &activated, 20);
  if (ui.Button("監視に追加") && selected_ >= 0) {
    RunExclusive([this] { script_.AddWatchSwitch(selected_); });
    watchDirty_.store(true);
  }
  ui.SameLine();
  if (ui.Button("監視から削除") && selected_ >= 0) {
    RunExclusive([this] { script_.RemoveWatchSwitch(selected_); });
    watchDirty_.store(true);
  }
  ui.SameLine();
  bool ok = ui.Button("OK") || activated;
  ui.SameLine();
  bool cancel = ui.Button("キャンセル");
  ui.EndDialog();
  if (ok && selected_ >= 0) {
    lastSwitch_ = selected_;
    editSwitch_ = selected_;
    RunExclusive([this] {
      editName_ = script_.SwitchName(editSwitch_);
      char buf[16];
      std::snprintf(buf, sizeof buf, "%d",
                    editSwitch_ < static_cast<int>(script_.switches.size()) ? script_.switches[editSwitch_] : 0);
      editText_ = buf;
    });
    editMessage_.clear();
    dialog_ = Dialog::kSwitchEdit;
  } else if (cancel) {
    lastSwitch_ = selected_;
    Close();
  }
}

void DebugConsole::DrawSwitchEdit(plat::DebugUi& ui) {
  if (!ui.BeginDialog("IDD_DIALOG3", "スイッチ変更・ダイアログ", true)) return;
  ui.Text(editName_);
  ui.InputText("1003", &editText_);
  if (!editMessage_.empty()) ui.Text(editMessage_);
  bool ok = ui.Button("OK");
  ui.SameLine();
  bool cancel = ui.Button("キャンセル");
  ui.EndDialog();
  if (ok) {
    int32_t v = 0;
    if (!ParseSwitchValue(editText_, &v)) {
      editMessage_ = "数値を入力してください";
      return;
    }
    RunExclusive([this, v] { StoreSwitchValue(script_, editSwitch_, v); });
    watchDirty_.store(true);
  }
  // The list opens again after the editor, with the new value.
  if (ok || cancel) OpenSwitchList();
}

void DebugConsole::DrawLabelList(plat::DebugUi& ui) {
  bool eventMode = dialog_ == Dialog::kEventList;
  if (!ui.BeginDialog("IDD_DIALOG2", eventMode ? "イベント・ジャンプ・ダイアログ" : "ラベルジャンプ・ダイアログ", true))
    return;
  bool activated = false;
  ui.List("1000", rows_, &selected_, &activated, 20);
  bool ok = ui.Button("OK") || activated;
  ui.SameLine();
  bool cancel = ui.Button("キャンセル");
  ui.EndDialog();
  if (ok && selected_ >= 0 && selected_ < static_cast<int>(rowValues_.size())) {
    int32_t label = rowValues_[selected_];
    if (eventMode) {
      lastEvent_ = selected_;
      RunExclusive([this, label] {
        if (hooks_.reopenAdvWindow) hooks_.reopenAdvWindow();
        script_.LoadSwitchFile();
        script_.GotoEvent(label, 1);
      });
    } else {
      lastLabel_ = selected_;
      RunExclusive([this, label] { DebugJumpToLabelIndex(script_, label); });
    }
    Close();
  } else if (cancel) {
    Close();
  }
}

void DebugConsole::DrawFileLabelList(plat::DebugUi& ui) {
  if (!ui.BeginDialog("IDD_DIALOG4", "ラベルジャンプ・ダイアログ", true)) return;
  ui.List("1000", fileRows_, &fileSelected_, nullptr, 8);
  FillFileLabels();
  bool activated = false;
  ui.List("1014", fileLabelRows_, &fileLabelSelected_, &activated, 16);
  bool ok = ui.Button("OK") || activated;
  ui.SameLine();
  bool cancel = ui.Button("キャンセル");
  ui.EndDialog();
  if (ok && fileSelected_ >= 0 && fileSelected_ < static_cast<int>(files_.size()) && fileLabelSelected_ >= 0 &&
      fileLabelSelected_ < static_cast<int>(files_[fileSelected_].labels.size())) {
    lastFile_ = fileSelected_;
    lastFileLabel_ = fileLabelSelected_;
    std::string name = files_[fileSelected_].labels[fileLabelSelected_].name;
    LabelJumpHooks jump;
    jump.stopAllSound = hooks_.stopAllSound;
    RunExclusive([this, name, jump] { DebugJumpToFileLabel(script_, name, jump); });
    Close();
  } else if (cancel) {
    Close();
  }
}

void DebugConsole::DrawSaveClearQuestion(plat::DebugUi& ui) {
  if (!ui.BeginDialog("IDD_SAVE_CLEAR", "セーブデータ", true)) return;
  ui.Text("全てのセーブデータを初期化します");
  bool yes = ui.Button("はい");
  ui.SameLine();
  bool no = ui.Button("いいえ");
  ui.EndDialog();
  if (yes && hooks_.programCommand) RunExclusive([this] { hooks_.programCommand(debug_menu::kClearSaveData, false); });
  if (yes || no) Close();
}

void DebugConsole::DrawNotice(plat::DebugUi& ui) {
  if (!ui.BeginDialog("IDD_NOTICE", noticeTitle_.c_str(), true)) return;
  ui.Text(noticeText_);
  bool ok = ui.Button("OK");
  ui.EndDialog();
  if (ok) Close();
}

void DebugConsole::DrawSelectList(plat::DebugUi& ui) {
  if (!ui.BeginDialog("IDD_DIALOG_SELECT_LIST", SelectListTitle(listMode_), true)) return;
  ui.Text(SelectListHeader(listMode_));
  bool activated = false;
  ui.List("1000", rows_, &selected_, &activated, 20);
  bool ok = ui.Button("OK") || activated;
  ui.SameLine();
  bool cancel = ui.Button("キャンセル");
  ui.EndDialog();
  if (ok && selected_ >= 0) {
    int row = selected_;
    if (listMode_ == 0) RunExclusive([row] { PlayerDaimyoId = static_cast<uint8_t>(row); });
    Close();
  } else if (cancel) {
    Close();
  }
}

void DebugConsole::DrawAutoRun(plat::DebugUi& ui) {
  if (!ui.BeginDialog("IDD_EDIT_AUTO", "オートラン（自動実行）", true)) return;
  char turn[16];
  std::snprintf(turn, sizeof turn, "%d", TurnCounter);
  ui.Text(turn);
  ui.InputText("1146", &autoRunText_);
  if (!autoRunMessage_.empty()) ui.Text(autoRunMessage_);
  bool ok = ui.Button("OK");
  ui.SameLine();
  bool cancel = ui.Button("キャンセル");
  ui.EndDialog();
  if (ok) {
    int32_t v = 0;
    bool parsed = ParseAutoRunLimit(autoRunText_, &v);
    if (!parsed) v = 0;
    if (CheckAutoRunLimit(TurnCounter, v, &autoRunMessage_)) {
      RunExclusive([v] {
        AutoRunLastTurn = static_cast<uint16_t>(v);
        SetAutoRun(true);
      });
      autoRunMessage_.clear();
      Close();
    }
  } else if (cancel) {
    RunExclusive([] { SetAutoRun(false); });
    Close();
  }
}

void DebugConsole::DrawWatch(plat::DebugUi& ui) {
  if (watchDirty_.exchange(false)) RunExclusive([this] { watchRows_ = WatchRows(script_); });
  if (!ui.BeginDialog("IDD_DIALOG_MOD", "監視ウインドウ", false)) return;
  ui.List("1008", watchRows_, &watchSelected_, nullptr, 12);
  bool remove = ui.Button("削除");
  ui.SameLine();
  bool clear = ui.Button("全削除");
  ui.SameLine();
  bool close = ui.Button("閉じる");
  ui.EndDialog();
  if (remove && watchSelected_ >= 0 && watchSelected_ < static_cast<int>(watchRows_.size())) {
    int n = std::atoi(watchRows_[watchSelected_].c_str());
    RunExclusive([this, n] { script_.RemoveWatchSwitch(n); });
    watchDirty_.store(true);
  }
  if (clear) {
    RunExclusive([this] { script_.ClearWatchList(); });
    watchDirty_.store(true);
  }
  if (close) watchOpen_ = false;
}

// The debug window for real: ImGui in an offscreen SDL window, its menu and dialogs driven
// through the window's click/select/type seam, changing a loaded script state and the auto-run.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/debugui/debug_ui.h"
#include "core/app_state.h"
#include "scenario/interp/adv_step.h"
#include "shell/debug/debug_console.h"
#include "tests/scenario/scenario_test_support.h"
#include "world/turn/turn_state.h"
#include "world/scenario_tables.h"
#include "world/world_tables.h"

namespace {

class DebugWindowTest : public ScriptStateTest {
 protected:
  void SetUp() override {
    ScriptStateTest::SetUp();
    plat::DebugWindow::Options o;
    o.hidden = true;
    window_ = plat::DebugWindow::Create(o);
    ASSERT_NE(window_, nullptr);
    WriteSet(0, "Data/script/tiny", kTinySetSource);
    ASSERT_TRUE(script_->LoadScriptFiles(0));
    console_ = std::make_unique<DebugConsole>(*script_, DebugConsoleHooks{});
  }
  void TearDown() override {
    console_.reset();
    window_.reset();
    SetAutoRun(false);
    ScriptStateTest::TearDown();
  }
  void Pass() {
    window_->BeginFrame();
    console_->Draw(*window_);
    window_->EndFrame();
  }
  bool Drew(const std::string& label) const {
    const auto& d = window_->DrawnLabels();
    return std::find(d.begin(), d.end(), label) != d.end();
  }

  std::unique_ptr<plat::DebugWindow> window_;
  std::unique_ptr<DebugConsole> console_;
};

TEST_F(DebugWindowTest, SwitchListEditorAndWatchWindow) {
  Pass();
  // The menu bar's menus; their items show when one opens.
  for (const char* menu : {"ADV", "SLG", "季節イベント", "合戦", "画像"}) EXPECT_TRUE(Drew(menu)) << menu;
  EXPECT_FALSE(Drew("スイッチ情報"));
  window_->QueueClick("スイッチ情報");
  Pass();
  ASSERT_EQ(console_->OpenDialog(), DebugConsole::Dialog::kSwitchList);
  Pass();
  EXPECT_TRUE(Drew("スイッチ変更・ダイアログ"));
  // Watch switch 7, then edit it: garbage is refused, a number is stored.
  window_->QueueSelect("1000", 7, false);
  window_->QueueClick("監視に追加");
  Pass();
  EXPECT_TRUE(script_->IsSwitchWatched(7));
  window_->QueueClick("OK");
  Pass();
  ASSERT_EQ(console_->OpenDialog(), DebugConsole::Dialog::kSwitchEdit);
  window_->QueueText("1003", "12x");
  window_->QueueClick("OK");
  Pass();
  EXPECT_EQ(console_->OpenDialog(), DebugConsole::Dialog::kSwitchEdit);
  EXPECT_EQ(script_->switches[7], 42);
  window_->QueueText("1003", "-123");
  window_->QueueClick("OK");
  Pass();
  EXPECT_EQ(script_->switches[7], -123);
  EXPECT_EQ(console_->OpenDialog(), DebugConsole::Dialog::kSwitchList);  // the list opens again
  window_->QueueClick("キャンセル");
  Pass();
  EXPECT_EQ(console_->OpenDialog(), DebugConsole::Dialog::kNone);
  // The watch window shows the watched switch with its new value.
  window_->QueueClick("監視ウインドウ");
  Pass();
  Pass();
  EXPECT_TRUE(console_->WatchWindowOpen());
  EXPECT_TRUE(Drew("監視ウインドウ"));
  window_->QueueSelect("1008", 0, false);
  window_->QueueClick("削除");
  Pass();
  EXPECT_FALSE(script_->IsSwitchWatched(7));
}

TEST_F(DebugWindowTest, AutoRunRefusesTheCurrentTurnAndTakesALaterOne) {
  TurnCounter = 10;
  window_->QueueClick("オートラン（自動実行）");
  Pass();
  ASSERT_EQ(console_->OpenDialog(), DebugConsole::Dialog::kAutoRun);
  window_->QueueText("1146", "10");
  window_->QueueClick("OK");
  Pass();
  EXPECT_EQ(console_->AutoRunMessage(), "入力値(10)が不正です。11～998です。");
  EXPECT_FALSE(IsAutoRun());
  Pass();
  EXPECT_TRUE(Drew("入力値(10)が不正です。11～998です。"));
  window_->QueueText("1146", "30");
  window_->QueueClick("OK");
  Pass();
  EXPECT_TRUE(IsAutoRun());
  EXPECT_EQ(AutoRunLastTurn, 30);
  EXPECT_TRUE(console_->IsChecked(40016));
  EXPECT_EQ(console_->OpenDialog(), DebugConsole::Dialog::kNone);
}

TEST_F(DebugWindowTest, ClanListChoosesThePlayersClan) {
  ResetToEmptyWorld();
  PlayerDaimyoId = 0;
  window_->QueueClick("大名国選択");
  Pass();
  ASSERT_EQ(console_->OpenDialog(), DebugConsole::Dialog::kSelectList);
  Pass();
  EXPECT_TRUE(Drew("大名選択ダイアログ"));
  window_->QueueSelect("1000", 12, true);  // a double click ends the dialog
  Pass();
  EXPECT_EQ(PlayerDaimyoId, 12);
  EXPECT_EQ(console_->OpenDialog(), DebugConsole::Dialog::kNone);
}

TEST_F(DebugWindowTest, TwoLevelLabelJumpThroughTheClearLabel) {
  WriteSet(0, "Data/script/two",
           "*start \"entry\"\n#End\n.file chapter2.txt\n*DEB_ALL_DEL\n#End\n*target \"goal\"\n#End\n");
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  int stops = 0;
  static int* s_stops = nullptr;
  s_stops = &stops;
  DebugConsoleHooks hooks;
  hooks.stopAllSound = [] { ++*s_stops; };
  console_ = std::make_unique<DebugConsole>(*script_, hooks);
  window_->QueueClick("ラベルジャンプ");
  Pass();
  ASSERT_EQ(console_->OpenDialog(), DebugConsole::Dialog::kFileLabelList);
  Pass();
  EXPECT_TRUE(Drew("ラベルジャンプ・ダイアログ"));
  // Choosing the second file fills the label list with its labels; a double click jumps.
  window_->QueueSelect("1000", 1, false);
  Pass();
  window_->QueueSelect("1014", 1, true);
  Pass();
  EXPECT_EQ(console_->OpenDialog(), DebugConsole::Dialog::kNone);
  EXPECT_EQ(GameMode, game_mode::kLabelJump1);
  EXPECT_EQ(AdvDebugLabel, script_->FindLabelByName("target"));
  EXPECT_EQ(script_->pc, script_->labelOffsets[script_->FindLabelByName("DEB_ALL_DEL")]);
  EXPECT_EQ(stops, 1);
  // The dialog opens again on the last choices.
  GameMode = 1;
  window_->QueueClick("ラベルジャンプ");
  Pass();
  window_->QueueClick("OK");
  Pass();
  EXPECT_EQ(GameMode, game_mode::kLabelJump1);
  EXPECT_EQ(stops, 2);
  GameMode = 1;
}

std::vector<int> g_commands;

TEST_F(DebugWindowTest, SaveDataClearAsksAndTheStatisticsShowInANotice) {
  DebugConsoleHooks hooks;
  hooks.programCommand = [](int id, bool) { g_commands.push_back(id); };
  console_ = std::make_unique<DebugConsole>(*script_, hooks);
  g_commands.clear();
  window_->QueueClick("セーブデータクリア");
  Pass();
  Pass();
  EXPECT_TRUE(Drew("全てのセーブデータを初期化します"));
  // While the question is up the menu takes no command.
  window_->QueueClick("周回数　９９");
  Pass();
  EXPECT_TRUE(g_commands.empty());
  window_->QueueClick("いいえ");
  Pass();
  EXPECT_EQ(console_->OpenDialog(), DebugConsole::Dialog::kNone);
  EXPECT_TRUE(g_commands.empty());
  window_->QueueClick("セーブデータクリア");
  Pass();
  window_->QueueClick("はい");
  Pass();
  EXPECT_EQ(g_commands, std::vector<int>{40035});
  window_->QueueClick("キャラフラグ１の武将の生き死に数表示");
  Pass();
  Pass();
  EXPECT_TRUE(Drew("キャラフラグ＝１の統計"));
  EXPECT_TRUE(Drew(console_->NoticeText()));
  window_->QueueClick("OK");
  Pass();
  EXPECT_EQ(console_->OpenDialog(), DebugConsole::Dialog::kNone);
}

}  // namespace

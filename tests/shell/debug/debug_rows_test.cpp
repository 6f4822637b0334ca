// The debug window's rows and rules, headless: row formats, the switch editor's value rule, the
// label jumps on a small script set, the selection lists on a hand-made world, the auto-run limit
// and the menu's check-mark groups.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/error_box.h"
#include "tests/support/recording_boxes.h"
#include "scenario/interp/adv_step.h"
#include "battle/battle_run.h"
#include "save/system_files.h"
#include "shell/debug/debug_actions.h"
#include "shell/debug/debug_console.h"
#include "shell/debug/debug_rows.h"
#include "world/ai/random_events.h"
#include "world/commands/strategy_rules.h"
#include "tests/scenario/scenario_test_support.h"
#include "tests/world/world_fixture.h"
#include "world/turn/turn_state.h"

namespace {

TEST(DebugRows, SwitchLabelAndFileLabelRows) {
  struct Case {
    std::string got, want;
  } cases[] = {
      {FormatSwitchRow(5, -12, "hp"), "00005:    -12 : hp"},
      {FormatSwitchRow(8192, 2147483647, ""), "08192: 2147483647 : "},
      {FormatSwitchRow(0, 0, "フラグ"), "00000:      0 : フラグ"},
      {FormatLabelRow(3, "start", "entry"), "   3 : start                            : entry"},
      {FormatLabelRow(4095, "DEB_ALL_DEL", ""), "4095 : DEB_ALL_DEL                      : "},
      {FormatFileLabelRow("start", "入口"), "start    ---  入口"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(DebugRows, SwitchEditorTakesWholeSignedNumbersOnly) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {
      {"12", true, 12},
      {" -5 ", true, -5},
      {"+7", true, 7},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0},
      {"12a", false, 0},
      {"", false, 0},
      {"  ", false, 0},
      {"0x10", false, 0},
      {"1 2", false, 0},
  };
  for (const Case& c : cases) {
    int32_t v = 99;
    EXPECT_EQ(ParseSwitchValue(c.text, &v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : 99) << c.text;
  }
}

TEST(DebugRows, AutoRunLimitLiesAfterTheCurrentTurnAndBelow999) {
  struct Case {
    int32_t turn, value;
    bool ok;
    const char* message;
  } cases[] = {
      {10, 10, false, "入力値(10)が不正です。11～998です。"},
      {10, 999, false, "入力値(999)が不正です。11～998です。"},
      {10, 9, false, "入力値(9)が不正です。11～998です。"},
      {10, 11, true, ""},
      {10, 998, true, ""},
      {998, 998, false, "入力値(998)が不正です。999～998です。"},
  };
  for (const Case& c : cases) {
    std::string msg;
    EXPECT_EQ(CheckAutoRunLimit(c.turn, c.value, &msg), c.ok) << c.turn << " " << c.value;
    EXPECT_EQ(msg, c.message) << c.turn << " " << c.value;
  }
}

TEST(DebugRows, MenuGroupsCheckOneItemEach) {
  AdvScript script;
  DebugConsole console(script, {});
  struct Case {
    int id;
    std::vector<int> group;
  } cases[] = {
      {40019, {40018, 40019, 40020, 40021}},        {40021, {40018, 40019, 40020, 40021}},
      {40070, {40070, 40071, 40072, 40073}},        {40073, {40070, 40071, 40072, 40073}},
      {40083, {40081, 40082, 40083, 40084, 40086}}, {40086, {40081, 40082, 40083, 40084, 40086}},
      {40055, {40053, 40054, 40055, 40056, 40057}}, {40053, {40053, 40054, 40055, 40056, 40057}},
  };
  for (const Case& c : cases) {
    console.Command(c.id);
    for (int other : c.group) EXPECT_EQ(console.IsChecked(other), other == c.id) << c.id << " " << other;
  }
  const DebugWords& w = GetDebugWords();
  EXPECT_EQ(w.forcedWeather, 255);
  EXPECT_EQ(w.skillRate, 255);
  EXPECT_EQ(w.forcedSeasonEvent, 255);
  EXPECT_EQ(w.imageView, 0);
  console.Command(40054);
  EXPECT_EQ(w.imageView, 3);
  console.Command(40057);
  EXPECT_EQ(w.imageView, 2);
  console.Command(40053);
  // Auto-run on asks for the limit; off needs no dialog.
  SetAutoRun(true);
  EXPECT_TRUE(console.IsChecked(debug_menu::kAutoRun));
  console.Command(debug_menu::kAutoRun);
  EXPECT_FALSE(IsAutoRun());
  EXPECT_FALSE(console.IsChecked(debug_menu::kAutoRun));
  console.Command(debug_menu::kAutoRun);
  EXPECT_EQ(console.OpenDialog(), DebugConsole::Dialog::kAutoRun);
}

TEST(DebugRows, EachToggleItemFlipsItsOwnWord) {
  AdvScript script;
  DebugConsole console(script, {});
  DebugWords& w = GetDebugWords();
  struct Case {
    int id;
    std::atomic<uint8_t>* word;
  } cases[] = {{40022, &w.mapLinks}, {40023, &w.minimalWait},   {40025, &w.forcedMessage}, {40037, &w.fieldGunCheck},
               {40038, &w.autoWin},  {40043, &w.castleNumbers}, {40045, &w.statusDisplay}, {40060, &w.mapBrowse}};
  for (const Case& c : cases) {
    EXPECT_FALSE(console.IsChecked(c.id)) << c.id;
    console.Command(c.id);
    EXPECT_TRUE(console.IsChecked(c.id)) << c.id;
    for (const Case& other : cases) EXPECT_EQ(other.word->load(), other.id == c.id ? 1 : 0) << c.id << " " << other.id;
    console.Command(c.id);
    EXPECT_EQ(c.word->load(), 0) << c.id;
  }
  // The plot item is the strategy rules' own switch.
  DebugPlotSwitch = 0;
  console.Command(40044);
  EXPECT_EQ(DebugPlotSwitch, 1);
  EXPECT_TRUE(console.IsChecked(40044));
  console.Command(40044);
  EXPECT_EQ(DebugPlotSwitch, 0);
}

std::vector<std::pair<int, bool>> g_programCommands;

TEST(DebugRows, ItemsOfOtherSubsystemsGoToTheProgramWithTheirMark) {
  AdvScript script;
  DebugConsoleHooks hooks;
  int exclusive = 0;
  hooks.exclusive = [&exclusive](const std::function<void()>& fn) {
    ++exclusive;
    fn();
  };
  hooks.programCommand = [](int id, bool checked) { g_programCommands.push_back({id, checked}); };
  DebugConsole console(script, hooks);
  g_programCommands.clear();
  console.Command(40023);
  console.Command(40023);
  console.Command(40031);
  console.Command(40019);  // a group item stays with the console
  std::vector<std::pair<int, bool>> want = {{40023, true}, {40023, false}, {40031, false}};
  EXPECT_EQ(g_programCommands, want);
  EXPECT_EQ(exclusive, 3);  // each ran between frames
  console.Command(40021);
  // The save-data clear asks first: nothing reaches the program until the question is answered.
  g_programCommands.clear();
  console.Command(debug_menu::kClearSaveData);
  EXPECT_EQ(console.OpenDialog(), DebugConsole::Dialog::kSaveClearQuestion);
  EXPECT_TRUE(console.ModalUp());
  console.Command(40031);  // (a direct command; the menu itself takes none while the question is up)
  EXPECT_EQ(g_programCommands, (std::vector<std::pair<int, bool>>{{40031, false}}));
}

TEST(DebugRows, ErrorDialogShowsItsBuffersAndTheSecondFormKeepsTheCaption) {
  v4test::RecordingBoxes boxes;
  SetErrorBoxPresenter(&boxes);
  EXPECT_TRUE(ShowErrDialog("最初の誤り", "CAPTION"));
  EXPECT_TRUE(ShowErrDialog());
  // A text past the buffer is cut on a character boundary.
  std::string longText = "x";
  while (longText.size() < 3000) longText += "あ";
  EXPECT_TRUE(ShowErrDialog(longText.c_str(), nullptr));
  SetErrorBoxPresenter(nullptr);
  ASSERT_EQ(boxes.boxes.size(), 3u);
  EXPECT_EQ(boxes.boxes[0].text, "最初の誤り");
  EXPECT_EQ(boxes.boxes[0].title, "CAPTION");
  EXPECT_EQ(boxes.boxes[1].text, "最初の誤り");
  EXPECT_EQ(boxes.boxes[1].title, "CAPTION");
  EXPECT_EQ(boxes.boxes[2].title, "");
  EXPECT_EQ(boxes.boxes[2].text.size(), 2031u);
  EXPECT_EQ(boxes.boxes[2].text.substr(2029), "あ");
}

class DebugWorldRows : public WorldTest {};

TEST_F(DebugWorldRows, EachListModesRows) {
  WorldBuilder w;
  int owari = w.Kuni("尾張");
  int mino = w.Kuni("美濃");
  int kiyosu = w.Siro(owari, "清洲城", 0, 3);
  int inaba = w.Siro(mino, "岐阜城", 255, 2);
  int oda = w.Clan("織田");
  int saito = w.Clan("斎藤");
  int nobunaga = w.Busyo("織田信長", kiyosu);
  w.Head(oda, nobunaga);
  DaimyoTable[oda].rank = 2;
  DaimyoTable[oda].prestige = 7;
  DaimyoTable[oda].revenue = 570;
  DaimyoTable[oda].soldiers = 3000;
  DaimyoTable[oda].money = 1200;
  DaimyoTable[saito].head = NullBusyoId;
  SiroTable[inaba].lord = 0;
  int dosan = w.Busyo("斎藤道三", inaba);
  DokuBusyoList[0] = static_cast<uint16_t>(dosan);
  KuniTable[mino].dokuMode = 2;
  KuniTable[mino].playerShare = 40;
  KuniTable[mino].eventState = 3;
  // The event label names the country's event lists: 美濃 a mine and a port here.
  const uint8_t ikko[12] = {255}, mines[19] = {static_cast<uint8_t>(mino), 255},
                ports[13] = {static_cast<uint8_t>(mino), 255};
  struct Restore {
    uint8_t i[12], m[19], p[13];
    Restore() {
      std::copy(IkkoKuniList, IkkoKuniList + 12, i), std::copy(MineKuniList, MineKuniList + 19, m),
          std::copy(PortKuniList, PortKuniList + 13, p);
    }
    ~Restore() {
      std::copy(i, i + 12, IkkoKuniList), std::copy(m, m + 19, MineKuniList), std::copy(p, p + 13, PortKuniList);
    }
  } restore;
  std::copy(std::begin(ikko), std::end(ikko), IkkoKuniList);
  std::copy(std::begin(mines), std::end(mines), MineKuniList);
  std::copy(std::begin(ports), std::end(ports), PortKuniList);
  w.Place();

  struct Case {
    int mode, row;
    std::string want;
  } cases[] = {
      {0, oda,
       "[ 0]織田"
       "              "
       "織田信長      2      7    570   3000   1200"},
      {0, saito, "[ 1]斎藤                            0      0      0      0      0 -----滅亡"},
      {1, kiyosu, "[ 0]清洲城          3      織田            織田      尾張"},
      {1, inaba,
       "[ 1]岐阜城          2"
       "                  "
       "斎藤道三      美濃"},
      {2, nobunaga, "[ 0]織田信長         清洲城      0"},
      {3, owari, "[ 0]尾張                単独 (  0)      0                 "},
      {3, mino, "[ 1]美濃            共同作戦 (  2)     40        鉱山 南蛮"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatSelectRow(c.mode, c.row), c.want) << c.mode << " " << c.row;
  struct Shape {
    int mode, rows;
    const char* title;
  } shapes[] = {{0, 60, "大名選択ダイアログ"},
                {1, 400, "城選択ダイアログ"},
                {2, 2000, "武将選択ダイアログ"},
                {3, 67, "国情報ダイアログ"}};
  for (const Shape& s : shapes) {
    EXPECT_EQ(SelectListRowCount(s.mode), s.rows);
    EXPECT_STREQ(SelectListTitle(s.mode), s.title);
  }
  EXPECT_EQ(FormatSelectRow(0, 60), "");
  EXPECT_EQ(FormatSelectRow(4, 0), "");
}

TEST_F(DebugWorldRows, CharacterFlagStatisticsAndTheStatisticsNotice) {
  WorldBuilder w;
  int owari = w.Kuni("尾張");
  int kiyosu = w.Siro(owari, "清洲城", 0, 3);
  w.Clan("織田");
  int a = w.Busyo("織田信長", kiyosu);
  int b = w.Busyo("柴田勝家", kiyosu);
  int gone = w.Busyo("森可成", kiyosu);
  w.Head(0, a);
  w.Place();
  BusyoTable[a].charFlag = 1;
  BusyoTable[b].charFlag = 2;  // only word 1 counts
  BusyoTable[gone].charFlag = 1;
  BusyoTable[gone].siro = kNoSiro;
  g_BattleLosses = {};
  g_BattleLosses.first = 3;
  g_BattleLosses.second = 2;
  EXPECT_EQ(CharFlagStatsText(), "降伏回数 3\n切腹回数 1\n内降伏可能 2\n生存 1");
  AdvScript script;
  DebugConsole console(script, {});
  console.Command(debug_menu::kCharFlagStats);
  EXPECT_EQ(console.OpenDialog(), DebugConsole::Dialog::kNotice);
  EXPECT_EQ(console.NoticeText(), CharFlagStatsText());
  g_BattleLosses = {};
}

class DebugScriptRows : public ScriptStateTest {
 protected:
  void TearDown() override {
    GameMode = 1;
    ScriptStateTest::TearDown();
  }
};

const char* const kJumpSet =
    "$hp@7 = 42\n"
    "*start \"entry\"\n"
    ">> spk\n"
    "hello\n"
    "<<\n"
    "#End\n"
    "*DEB_ALL_DEL\n"
    "#End\n"
    "*target \"goal\"\n"
    "#End\n";

int g_stops = 0;

TEST_F(DebugScriptRows, LabelJumpByNameGoesThroughTheClearLabelWhenThereIsOne) {
  WriteSet(0, "Data/script/jump", kJumpSet);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  LabelJumpHooks hooks;
  hooks.stopAllSound = [] { ++g_stops; };
  g_stops = 0;
  int32_t target = script_->FindLabelByName("target");
  int32_t clear = script_->FindLabelByName("DEB_ALL_DEL");
  ASSERT_GE(target, 0);
  ASSERT_GE(clear, 0);

  EXPECT_TRUE(DebugJumpToLabelName(*script_, "target", hooks));
  EXPECT_EQ(GameMode, 46);
  EXPECT_EQ(AdvDebugLabel, target);
  EXPECT_EQ(script_->pc, script_->labelOffsets[clear]);
  EXPECT_EQ(g_stops, 1);

  // An unknown label: the box and nothing else.
  GameMode = 2;
  script_->pc = 5;
  EXPECT_FALSE(DebugJumpToLabelName(*script_, "nowhere", hooks));
  EXPECT_EQ(GameMode, 2);
  EXPECT_EQ(script_->pc, 5u);
  EXPECT_EQ(g_stops, 1);
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes[0].text, "ラベルが見つかりませんでした");
  EXPECT_EQ(boxes_.boxes[0].title, "ラベルジャンプエラー");

  // Label rows list every named label with its comment.
  LabelRowList rows = LabelRows(*script_);
  ASSERT_EQ(rows.rows.size(), 3u);
  EXPECT_EQ(rows.rows[0], FormatLabelRow(rows.labels[0], "start", "entry"));
  EXPECT_EQ(rows.labels[2], target);
}

TEST_F(DebugScriptRows, LabelJumpByNameWithoutTheClearLabelGoesStraightThere) {
  WriteSet(0, "Data/script/tiny", kTinySetSource);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  EXPECT_TRUE(DebugJumpToLabelName(*script_, "evlabel"));
  EXPECT_EQ(GameMode, 47);
  EXPECT_EQ(script_->pc, script_->labelOffsets[script_->FindLabelByName("evlabel")]);
  // The event jump lists the events that have a start.
  LabelRowList events = EventRows(*script_);
  ASSERT_EQ(events.labels, std::vector<int32_t>{5});
  EXPECT_EQ(events.rows[0], FormatLabelRow(5, "five", ""));
  // No set: the label cannot be found.
  AdvScript none;
  GameMode = 1;
  EXPECT_FALSE(DebugJumpToLabelName(none, "evlabel"));
  EXPECT_EQ(GameMode, 1);
}

TEST_F(DebugScriptRows, SwitchRowsEditorBoundsAndWatchRows) {
  EXPECT_TRUE(SwitchRows(*script_).empty());
  EXPECT_FALSE(StoreSwitchValue(*script_, 7, 1));  // no set
  WriteSet(0, "Data/script/tiny", kTinySetSource);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  std::vector<std::string> rows = SwitchRows(*script_);
  ASSERT_EQ(rows.size(), 8193u);
  EXPECT_EQ(rows[7], "00007:     42 : hp");
  struct Case {
    int32_t number;
    bool stored;
  } cases[] = {{0, true}, {8192, true}, {8193, false}, {-1, false}, {7, true}};
  for (const Case& c : cases) {
    EXPECT_EQ(StoreSwitchValue(*script_, c.number, -3), c.stored) << c.number;
  }
  EXPECT_EQ(script_->switches[8192], -3);
  // The watch list holds 80 entries; its rows follow it.
  for (int i = 0; i < 100; ++i) script_->AddWatchSwitch(i);
  std::vector<std::string> watch = WatchRows(*script_);
  ASSERT_EQ(watch.size(), 80u);
  EXPECT_EQ(watch[7], "00007:     -3 : hp");
  EXPECT_EQ(watch[79].substr(0, 5), "00079");
  script_->ClearWatchList();
  EXPECT_TRUE(WatchRows(*script_).empty());
}

// Two source files; the second holds the clear label and the target.
const char* const kTwoFileSet =
    "$hp@7 = 42\n"
    "*start \"entry\"\n"
    "#End\n"
    "*opening \"first scene\"\n"
    "#End\n"
    ".file chapter2.txt\n"
    "*DEB_ALL_DEL\n"
    "#End\n"
    "*target \"goal\"\n"
    "#End\n";

TEST_F(DebugScriptRows, ScriptFileListGroupsTheLabelsByTheirFile) {
  EXPECT_TRUE(ScriptFileList(*script_).empty());  // no set
  v4fmt::CompiledScriptSet set = WriteSet(0, "Data/script/two", kTwoFileSet);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  std::vector<ScriptFileEntry> files = ScriptFileList(*script_);
  ASSERT_EQ(files.size(), 2u);
  ASSERT_FALSE(set.sourceFiles.empty());
  EXPECT_EQ(files[0].file, set.sourceFiles[0]);
  EXPECT_EQ(files[1].file, "chapter2.txt");
  struct Case {
    size_t file, row;
    const char* name;
    const char* comment;
  } cases[] = {
      {0, 0, "start", "entry"}, {0, 1, "opening", "first scene"}, {1, 0, "DEB_ALL_DEL", ""}, {1, 1, "target", "goal"}};
  for (const Case& c : cases) {
    ASSERT_LT(c.row, files[c.file].labels.size()) << c.name;
    const ScriptFileLabel& l = files[c.file].labels[c.row];
    EXPECT_EQ(l.name, c.name);
    EXPECT_EQ(l.comment, c.comment);
    EXPECT_EQ(l.index, script_->FindLabelByName(c.name));
  }
  EXPECT_EQ(files[0].labels.size(), 2u);
  EXPECT_EQ(files[1].labels.size(), 2u);
}

TEST_F(DebugScriptRows, TwoLevelJumpLoadsTheSetAgainOnlyWhenTheScriptHasFinished) {
  WriteSet(0, "Data/script/two", kTwoFileSet);
  ASSERT_TRUE(script_->LoadScriptFiles(0));
  int32_t target = script_->FindLabelByName("target");
  int32_t clear = script_->FindLabelByName("DEB_ALL_DEL");
  struct Case {
    int32_t mode;
    bool reloaded;  // the switch changed below comes back from the set
  } cases[] = {{game_mode::kScriptEnded, true}, {game_mode::kMainScript, false}, {game_mode::kIdle, false}};
  for (const Case& c : cases) {
    script_->switches[7] = 5;
    GameMode = c.mode;
    EXPECT_TRUE(DebugJumpToFileLabel(*script_, "target"));
    EXPECT_EQ(script_->switches[7], c.reloaded ? 42 : 5) << c.mode;
    EXPECT_EQ(GameMode, game_mode::kLabelJump1) << c.mode;
    EXPECT_EQ(AdvDebugLabel, target);
    EXPECT_EQ(script_->pc, script_->labelOffsets[clear]);
  }
  // A name the set lacks: the box, no reload, nothing moves.
  GameMode = game_mode::kScriptEnded;
  script_->switches[7] = 5;
  EXPECT_FALSE(DebugJumpToFileLabel(*script_, "gone"));
  EXPECT_EQ(GameMode, game_mode::kScriptEnded);
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes[0].title, "ラベルジャンプエラー");
}

TEST_F(DebugScriptRows, PlayRecordFlagsAndTheSaveDataClear) {
  ClearPlayRecord();
  PlayRecordBlock.gallery[3].general = 17;
  SetAllPlayRecordFlags();
  EXPECT_EQ(PlayRecordBlock.eventFlags[0], 0xFF);
  EXPECT_EQ(PlayRecordBlock.eventFlags[kPlcEventFlagBytes - 1], 0xFF);
  EXPECT_EQ(PlayRecordBlock.sceneSeen[kOmakeSceneCount - 1], 1);
  EXPECT_TRUE(IsGalleryItemSeen(17, 9, 199));
  EXPECT_EQ(PlayRecordBlock.gallery[4].general, kGalleryFree);  // free records stay free
  EXPECT_EQ(PlayRecordBlock.gallery[4].seen[0][0], 0);

  // Ordinary, quick and auto slots lose their files; other files stay.
  for (const char* f : {"SaveData/d00/head.dat", "SaveData/d00/slg.dat", "SaveData/d99/prg.dat", "SaveData/q03/adv.dat",
                        "SaveData/a09/head.dat", "SaveData/d00/note.txt"})
    WriteHostFile(f, {1, 2, 3});
  PlayRecordBlock.lastSlot = 4;
  PlayRecordBlock.lastQuick = 3;
  PlayRecordBlock.lastAuto = 9;
  EXPECT_EQ(ClearAllSaveSlots(), 5);
  EXPECT_TRUE(ReadHostFile("SaveData/d00/head.dat").empty());
  EXPECT_FALSE(ReadHostFile("SaveData/d00/note.txt").empty());
  EXPECT_EQ(PlayRecordBlock.lastSlot, kPlcNone);
  EXPECT_EQ(PlayRecordBlock.lastQuick, kPlcNone);
  EXPECT_EQ(PlayRecordBlock.lastAuto, kPlcNone);
  EXPECT_EQ(ClearAllSaveSlots(), 0);
  ClearPlayRecord();
}

}  // namespace

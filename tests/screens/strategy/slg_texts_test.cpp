// What the strategy screens tell the player, on the built sample data through the real screens:
// the clan panel's court title, and a battle of the player's clan ending on the map with how it
// ended, held until the player has read it.
#include "tests/screens/strategy/slg_play_fixture.h"

#include <set>
#include <string>

#include "core/game_file.h"
#include "formats/scramble/scramble.h"
#include "platform/image/png_file.h"
#include "screens/strategy/slg_dialogs.h"
#include "ui/menus/menu_factory.h"
#include "world/slg_util.h"
#include "ui/layout/cv_script.h"

namespace {

// The pixels of a picture of the built data (a tig is a scrambled png).
plat::Canvas ReadPicture(const std::string& rel) {
  int32_t size = 0;
  uint8_t* data = LoadGameFile((std::string(GetModuleDir()) + rel).c_str(), &size);
  plat::Canvas c;
  if (!data) return c;
  if (rel.size() > 4 && rel.compare(rel.size() - 4, 4, ".tig") == 0)
    v4fmt::DescrambleInPlace(data, static_cast<size_t>(size), v4fmt::kScrambleSeedImage);
  std::string error;
  plat::DecodeCanvasPng(data, static_cast<size_t>(size), &c, &error);
  FreeGameFile(data);
  return c;
}

// Every frame of a dialog (the dialog scene's questions, every strategy dialog) hides what lies
// beneath it: the frame's picture is opaque inside its rounded corners.
TEST(SlgTextsData, EveryDialogFrameIsOpaque) {
  const std::string old = GetModuleDir();
  ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  std::vector<std::string> layouts = {"dialog.lay"};
  for (const auto& e :
       std::filesystem::directory_iterator(std::filesystem::path(V4_TEST_GAME_DIR) / "Data" / "layout")) {
    const std::string name = e.path().filename().string();
    if (name.rfind("slg_", 0) == 0 && e.path().extension() == ".lay") layouts.push_back(name);
  }
  ASSERT_GE(layouts.size(), 15u);
  int frames = 0;
  for (const std::string& name : layouts) {
    SCOPED_TRACE(name);
    CVScript script;
    ASSERT_TRUE(script.Load((std::string(GetModuleDir()) + "Data\\layout\\" + name).c_str()));
    for (int n = 0;; ++n) {
      const std::string window = "Window#" + std::to_string(n) + "/sprite";
      const CVScriptElement* sprite = FindScriptElement(script, window.c_str());
      if (!sprite) break;
      if (sprite->GetParam(0, 0.0f) != 0.0f) continue;  // a shared sprite list
      const int def = static_cast<int>(sprite->GetParam(1, -1.0f));
      const char* file = GetScriptString(script, ("SpriteLocal/#" + std::to_string(def)).c_str(), 0);
      ASSERT_NE(file, nullptr) << window;
      const plat::Canvas pic = ReadPicture(file);
      ASSERT_FALSE(pic.empty()) << file;
      const int margin = 24;  // the rounded corners
      int seeThrough = 0;
      for (int y = margin; y < pic.height() - margin; ++y)
        for (int x = margin; x < pic.width() - margin; ++x) seeThrough += pic.At(x, y).a != 255;
      EXPECT_EQ(seeThrough, 0) << file;
      ++frames;
    }
  }
  EXPECT_GE(frames, 18);
  SetModuleDir(old.c_str());
}

class SlgTexts : public SlgPlay {
 protected:
  void StartScenes() override {
    SlgPlay::StartScenes();
    InstallCommandRules();
  }
  void TearDown() override {
    SlgPlay::TearDown();
    ResetSlgCommandRules();
  }
  std::string ClanPanelText(int i) {
    auto* t = dynamic_cast<CVMenuText*>(Map()->ClanPanel()->FindChild(kWidgetText, i));
    return t && t->Text() ? t->Text() : "";
  }
};

// The court title the clan holds shows beside its rank; none shows nothing.
TEST_F(SlgTexts, ClanPanelShowsTheCourtTitle) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  const uint8_t clan = PlayerDaimyoId;
  struct Case {
    uint8_t title;
    const char* shown;
  };
  const Case cases[] = {{0, ""}, {3, "右大将"}, {11, "関白"}, {200, "関白"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    DaimyoTable[clan].title = c.title;
    Scene()->ShowClanPanel(clan, false);
    EXPECT_EQ(ClanPanelText(8), c.shown);
  }
  // 守護 names its country.
  DaimyoTable[clan].title = 1;
  DaimyoTable[clan].titleKuni = static_cast<uint8_t>(GetDaimyoHomeKuni(clan));
  Scene()->ShowClanPanel(clan, false);
  EXPECT_EQ(ClanPanelText(8), std::string(GetKuniName(DaimyoTable[clan].titleKuni)) + "守護");
}

// The carry-over dialog's tabs each list a page of the candidates: every candidate is on exactly
// one tab (the page his carry-over entry names), and the sample's candidates fill the three tabs.
TEST_F(SlgTexts, CarryOverTabsSplitTheCandidates) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  auto* d = dynamic_cast<CVMenuSLG_StartHikitsugi*>(CreateMenuScene(39, "Data\\layout\\slg_hikitsugi.lay"));
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(d->HasLayoutWidgets());
  d->Open(1, PlayerDaimyoId, 0);
  const size_t candidates = d->Candidates().size();
  ASSERT_GE(candidates, 3u);
  std::set<int32_t> seen;
  for (int tab = 0; tab < CVMenuSLG_StartHikitsugi::kTabs; ++tab) {
    SCOPED_TRACE(tab);
    d->SelectTab(tab);
    if (tab < 3)
      EXPECT_GT(d->List().Count(), 0) << "tab " << tab << " lists a page";
    else
      EXPECT_EQ(d->List().Count(), 0);
    for (int32_t g : d->List().Items()) {
      EXPECT_TRUE(seen.insert(g).second) << g << " on two tabs";
      EXPECT_EQ(BusyoTable[g].carryWord, tab);
    }
  }
  EXPECT_EQ(seen.size(), candidates);
  d->Close();
}

// A greyed command carries its refusal as a help text: hovering it shows the text at once, and after
// 2,000 ms the message it covered comes back.
TEST_F(SlgTexts, HoveringAGreyedCommandShowsWhyForTwoSeconds) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  // Without money nothing that costs money can be done.
  DaimyoTable[PlayerDaimyoId].money = 0;
  RefreshCommandMenus(1);
  Map()->RebuildCommandMenu();
  int32_t refused = -1;
  for (int32_t id = 10000; id <= 10014 && refused < 0; ++id) {
    CVMenuBtn* b = Map()->FindButtonById(id);
    if (b && b->IsShown() && !b->TestFlag(kWfEnabled) && !Map()->RefusalOf(id).empty()) refused = id;
  }
  ASSERT_GE(refused, 0) << "a greyed command";
  const std::string why = Map()->RefusalOf(refused);
  Hover({60, 580});
  Scene()->ShowMessage("前の知らせ", 7, true);
  Hover(ButtonCentre(Map(), refused), 2);
  EXPECT_EQ(Map()->MessageText(), why);
  Driver().Ticks(90);  // 1.5 s more on the button
  EXPECT_EQ(Map()->MessageText(), why);
  Driver().Ticks(60);
  EXPECT_EQ(Map()->MessageText(), "前の知らせ");
}

// The AI clans' military phase after the player's and their politics phase before his, with Ctrl
// held: each clan's thinking message holds for its wait of GameSpeedParams[0] / 2 logic steps and the
// turn goes on at once (Ctrl does not speed up these phases; the waits are the pace).
TEST_F(SlgTexts, AiPhasesPaceByTheirWaits) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  Driver().SetKey(VK_CONTROL, true);
  Click(ButtonCentre(Map(), 10014));
  int steps = 0, thinking = 0, others = 0;
  std::string last = Map()->MessageText();
  for (; steps < 20000; ++steps) {
    if (TurnSubPhase == 2 && GetSceneMgr().GetCurrentSceneId() == 3 &&
        (Map()->StateFlags() & CVMenuSLGMain::kCommandMenu) && !(Map()->StateFlags() & CVMenuSLGMain::kWaiting))
      break;
    if (GetSceneMgr().GetCurrentSceneId() != 3 || (Map()->StateFlags() & CVMenuSLGMain::kWaiting))
      Answer();
    else
      Driver().Tick();
    const std::string now = Map()->MessageText();
    if (now != last && !now.empty()) (now.find("思考中") != std::string::npos ? thinking : others)++;
    last = now;
  }
  Driver().SetKey(VK_CONTROL, false);
  ASSERT_EQ(TurnSubPhase, 2) << "the player's politics phase";
  EXPECT_GT(thinking, 3);
  const int perThinking = GameSpeedParams[0] / 2 + 4, perOther = 2 * GameSpeedParams[4] * 3 / 2 + 4;
  EXPECT_LE(steps, thinking * perThinking + others * perOther + 60)
      << thinking << " thinking messages, " << others << " others";
  RecordProperty("steps", steps);
}

// A march of the player's is fought in the battle scene; back on the map the battle's result lines
// stay in the message line, and the war phase waits for the player's click before it goes on.
TEST_F(SlgTexts, BattleOfThePlayerEndsWithItsResultOnTheMap) {
  ASSERT_TRUE(StartNull());
  ASSERT_NO_FATAL_FAILURE(PlayToMap());
  StartBattles();
  const uint8_t clan = PlayerDaimyoId;
  ASSERT_TRUE(ToPhase(3)) << "the strategy phase";
  // A general of the player's marches on a neighbouring castle of another clan.
  int busyo = -1, target = -1;
  for (int s = 0; s < kSiroCount && busyo < 0; ++s) {
    if (!IsSiroInUse(s) || SiroTable[s].owner != clan) continue;
    ::CTenkaList_Busyo ids;
    ListSiroBusyo(static_cast<uint32_t>(s), clan, ids);
    for (int i = 0; i < 5 && busyo < 0; ++i) {
      const uint16_t n = SiroTable[s].neighbours[i];
      if (n >= kSiroCount || !(SiroTable[n].owner < kDaimyoInPlay) || SiroTable[n].owner == clan) continue;
      for (int32_t g : ids)
        if (busyo < 0 && CheckCommandAvailable(kCmdInvade, static_cast<uint16_t>(g), n, clan, 0xFFFF) == 0)
          busyo = g, target = n;
    }
  }
  ASSERT_GE(busyo, 0) << "a general next to another clan's castle";
  BusyoTable[busyo].marchFlag = 1;
  BusyoTable[busyo].siro2 = static_cast<uint16_t>(target);
  Click(ButtonCentre(Map(), 10014));

  // Play the battle; on the map afterwards only wait (no click) until the result is told.
  auto told = [&] {
    return battleSeen_ && GetSceneMgr().GetCurrentSceneId() == 3 && !BattleResultText().empty() &&
           Map()->MessageText() == BattleResultText();
  };
  bool seen = false;
  for (int i = 0; i < 40000 && !seen; ++i) {
    seen = told();
    if (seen) break;
    if (battleSeen_ && GetSceneMgr().GetCurrentSceneId() == 3 && !(Map()->StateFlags() & CVMenuSLGMain::kWaiting))
      Driver().Tick();
    else
      Answer();
  }
  ASSERT_TRUE(seen) << "the battle's result on the map; scene " << GetSceneMgr().GetCurrentSceneId();
  const std::string result = BattleResultText();
  EXPECT_NE(result.find("しました"), std::string::npos) << result;
  // Held: the war phase does not go on while the player has not clicked.
  Driver().Ticks(300);
  EXPECT_EQ(Map()->MessageText(), result);
  EXPECT_EQ(TurnSubPhase, 4);
  Click({60, 580});
  Driver().Ticks(30);
  EXPECT_NE(Map()->MessageText(), result) << "the click lets the war phase go on";
}

}  // namespace

// The player's politics and military phases: set-up, the dispatcher, ending, the auto-save, and a
// save taken in the phase that resumes in the same phase without a second auto-save.
#include <gtest/gtest.h>

#include "command_fixture.h"
#include "world/world_queries.h"

namespace {

using CommandPhaseTest = CommandTest;

TEST_F(CommandPhaseTest, EndingAtOnceRunsNoCommandAndSavesOnce) {
  EnterPhase(2);
  EXPECT_EQ(saving.autoSaves, 1);
  EXPECT_EQ(adv.scripts, std::vector<int>{4});
  EXPECT_EQ(TurnSubPhase, 2);
  const uint16_t money = DaimyoTable[player].money;
  Answer(15);
  EXPECT_EQ(SlgCommandCode, 255);
  EXPECT_TRUE(LeavesPhase(2));  // the turn went on past the politics phase
  EXPECT_EQ(DaimyoTable[player].money, money);
  EXPECT_TRUE(cs.dialogs.empty());
  EXPECT_EQ(saving.autoSaves, 1);
}

TEST_F(CommandPhaseTest, OpensOnTheHomeCountryWhenTheCurrentOneIsNotHeld) {
  CurrentKuniId = static_cast<uint8_t>(kuniB);
  EnterPhase(2);
  EXPECT_EQ(CurrentKuniId, kuniA);
  CurrentKuniId = static_cast<uint8_t>(kuniA);
}

TEST_F(CommandPhaseTest, AFreshPhaseClearsTheTurnMarks) {
  BusyoTable[pGen].cmdFlags = 3;
  KuniTable[kuniA].doneFlags = 0x0F;
  SiroTable[0].turnFlags = 1;
  EnterPhase(2);
  EXPECT_EQ(BusyoTable[pGen].cmdFlags & 3, 0);
  EXPECT_EQ(KuniTable[kuniA].doneFlags, 0);
  EXPECT_EQ(SiroTable[0].turnFlags & 1, 0);
}

TEST_F(CommandPhaseTest, SaveInThePhaseResumesThereWithMarksAndNoSecondAutoSave) {
  EnterPhase(2);
  ASSERT_EQ(saving.autoSaves, 1);
  // A command this turn leaves its marks in the world the next save holds.
  KuniTable[kuniA].doneFlags = 1;
  BusyoTable[pGen].cmdFlags = 1;
  ASSERT_TRUE(SaveGameSlot(3, game_mode::kSlg));
  const StepMachine saved = g_StepMachine;
  // Somewhere else entirely, then load.
  KuniTable[kuniA].doneFlags = 0;
  BusyoTable[pGen].cmdFlags = 0;
  DaimyoTable[player].money = 1;
  ASSERT_TRUE(LoadGameSlot(3));
  EXPECT_EQ(ActingSideFlag, 0);
  EXPECT_EQ(0, std::memcmp(&saved, &g_StepMachine, sizeof saved));
  const size_t phasesBefore = cs.phases.size();
  for (int i = 0; i < 10; ++i) Frame();
  EXPECT_EQ(ActingSideFlag, 1);
  EXPECT_EQ(TurnSubPhase, 2);
  ASSERT_GT(cs.phases.size(), phasesBefore);
  EXPECT_EQ(cs.phases.back(), 2);  // the scene was set up again for the same phase
  EXPECT_EQ(saving.autoSaves, 1);
  EXPECT_EQ(KuniTable[kuniA].doneFlags & 1, 1);  // the marks as saved
  EXPECT_EQ(BusyoTable[pGen].cmdFlags & 1, 1);
  EXPECT_TRUE(IsCommandGreyed(kCmdFloodControl));
  // The auto-save the phase wrote loads into the same phase too.
  ASSERT_TRUE(AutoLoad(-1));
  for (int i = 0; i < 10; ++i) Frame();
  EXPECT_EQ(TurnSubPhase, 2);
  EXPECT_EQ(saving.autoSaves, 1);
  Answer(15);
  EXPECT_TRUE(LeavesPhase(2));
}

// A game loaded while a command of the running game shows its panel (from a strategy event's
// message window, during 武将に会う): the loaded phase hands the map back with no command in
// progress, or the command menu never shows again.
TEST_F(CommandPhaseTest, ALoadIntoAPhaseClearsTheCommandOfTheGameBefore) {
  for (uint8_t phase : {1, 2}) {
    SCOPED_TRACE(static_cast<int>(phase));
    EnterPhase(phase);
    ASSERT_TRUE(SaveGameSlot(3, game_mode::kSlg));
    cs.panel = kCmdVisit;  // the running game's command, left by the load
    ASSERT_TRUE(LoadGameSlot(3));
    for (int i = 0; i < 10; ++i) Frame();
    EXPECT_EQ(TurnSubPhase, phase);
    EXPECT_EQ(cs.panel, -1);
  }
}

TEST_F(CommandPhaseTest, MilitaryPhaseResetsTheTurnMarksAndSavesOnce) {
  KuniTable[kuniA].applicants = 3;
  DaimyoTable[player].gunsLeft = 2;
  EnterPhase(1);
  EXPECT_EQ(saving.autoSaves, 1);
  EXPECT_EQ(KuniTable[kuniA].applicants, 255);
  EXPECT_EQ(DaimyoTable[player].gunsLeft, 255);
  ASSERT_TRUE(SaveGameSlot(4, game_mode::kSlg));
  ASSERT_TRUE(LoadGameSlot(4));
  for (int i = 0; i < 10; ++i) Frame();
  EXPECT_EQ(TurnSubPhase, 1);
  EXPECT_EQ(saving.autoSaves, 1);
  Answer(15);
  EXPECT_TRUE(LeavesPhase(1));
}

TEST_F(CommandPhaseTest, CodesOutsideTheMenuAreReadAsNoChoice) {
  EnterPhase(2);
  const uint16_t money = DaimyoTable[player].money;
  for (int code : {0, 1, 2, 16, 99, 254}) Answer(code);
  EXPECT_EQ(TurnSubPhase, 2);
  EXPECT_EQ(DaimyoTable[player].money, money);
  Answer(15);
  EXPECT_TRUE(LeavesPhase(2));
}

}  // namespace

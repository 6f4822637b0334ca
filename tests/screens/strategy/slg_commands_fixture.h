// The player's commands given by clicks on the real map and its dialogs, on the built sample data:
// the play fixture with the story engine wired in (the strategy game's events run their scripts in
// the scenario scene), the turn's availability rules on the map, and what a player does to give a
// command: its button on the command panel, a general marked through his castle's list, a castle
// icon picked, the dialog's confirmation, the way back by right clicks.
#pragma once
#include "tests/screens/strategy/slg_play_fixture.h"

#include <cstring>
#include <functional>

#include "save/save_slot.h"
#include "scenario/script/adv_script.h"
#include "screens/scenario/adv_ports.h"
#include "screens/strategy/slg_cmd_dialogs.h"
#include "screens/strategy/slg_general_table.h"
#include "world/commands/strategy_rules.h"
#include "screens/scenario/scene_adv.h"
#include "shell/adv_wiring.h"
#include "ui/widgets/menu_window_group.h"
#include "screens/front/scene_save.h"

namespace {

class SlgCommands : public SlgPlay {
 protected:
  // The story engine as the program wires it: the strategy game's events run their scripts (the
  // new game's, the visitors of the politics phase) in the scenario scene.
  // The map asks the turn's availability rules, as the program's wiring makes it.
  void StartScenes() override {
    SlgPlay::StartScenes();
    RegisterScenarioScenes(GetSceneMgr());
    InstallScenarioEngine();
    InstallCommandRules();
  }
  void TearDown() override {
    SlgPlay::TearDown();
    ResetAdvPorts();
    ResetSlgCommandRules();
  }
  // The command panel's button of a command id ({-1, -1} when the panel does not show it).
  Pt CommandAt(int command) {
    for (int32_t id = 10000; id <= 10014; ++id) {
      CVMenuBtn* b = Map()->FindButtonById(id);
      if (b && b->TestFlag(kWfShown) && static_cast<int>(b->GetRefParam(2)) == command) return ButtonCentre(Map(), id);
    }
    return {-1, -1};
  }
  // Waits for the command dialog of the id.
  CVMenuSLG_CmdBase* AwaitDialog(int id, int ticks = 60) {
    for (int i = 0; i < ticks; ++i) {
      auto* d = dynamic_cast<CVMenuSLG_CmdBase*>(Scene()->DialogMenu());
      if (d && d->GetDialogId() == id) {
        Driver().Ticks(4);  // the command reaches its question
        return d;
      }
      Driver().Tick();
    }
    return nullptr;
  }
  // Whether the castle's icon (castle or contact) of the province view is enabled.
  bool IconEnabled(int siro) {
    for (int i = 0; i < CVMenuSLGMain::kCastleIcons; ++i)
      if (Map()->CastleIconValue(i) == siro) return Map()->CastleIcon(i)->TestFlag(kWfEnabled);
    for (int i = 0; i < CVMenuSLGMain::kContactIcons; ++i)
      if (Map()->ContactIconValue(i) == siro) return Map()->FindButtonById(350 + i)->TestFlag(kWfEnabled);
    return false;
  }
  // Clicks the castle's icon, or the contact icon of its road when it lies in another province.
  bool ClickIcon(int siro) { return ClickCastleIcon(siro) || ClickContactIcon(siro); }
  // Marks the general through his castle's list: the castle icon lists him, his row marks him.
  bool MarkThroughList(int siro, int busyo) {
    if (RowOf(busyo) < 0) ClickCastleIcon(siro);
    Driver().Ticks(2);
    if (RowOf(busyo) < 0) return false;
    Click(ButtonCentre(Map(), 500 + RowOf(busyo)));
    Driver().Ticks(4);
    return true;
  }
  // Leaves the command by right clicks, back to the command panel.
  void LeaveCommand() {
    for (int i = 0; i < 10 && SlgCommandCode != 255; ++i) Click({60, 580}, true);
    EXPECT_EQ(SlgCommandCode, 255) << "the right click left the command";
  }
};

}  // namespace

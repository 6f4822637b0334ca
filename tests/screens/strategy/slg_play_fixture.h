// The strategy game played through the real screens on the built sample data: the map fixture with
// the battle scene wired in, and what a player does while the game waits (answers, battle choices,
// clicks on castles, contact icons and list rows).
#pragma once
#include "tests/screens/strategy/slg_run_fixture.h"

#include "battle/battle_rules.h"
#include "battle/battle_run.h"
#include "battle/battle_state.h"
#include "screens/battle/scene_kassen.h"
#include "world/commands/command_costs.h"
#include "screens/strategy/commands/player_commands.h"
#include "world/turn/command_check.h"

namespace {

class SlgPlay : public SlgRun {
 protected:
  void TearDown() override {
    SetBattleScreenPort(nullptr);
    SetBattlePort(nullptr);
    SlgRun::TearDown();
  }

  // The game's own battle wiring: the rules' battle port and the battle scene's screen port.
  void StartBattles() {
    RegisterBattleScenes(GetSceneMgr());
    SetBattleScreenPort(&GetKassenScreenPort());
    InstallBattleRules();
  }

  // Clicks a shown, hittable button of the current scene's menus; false when there is none.
  bool ClickShown(CVMenuBase* root, int32_t id) {
    CVMenuBtn* b = root ? root->FindButtonById(id) : nullptr;
    if (!b || !b->IsShown() || b->TestFlag(kWfNoHit) || !b->TestFlag(kWfEnabled)) return false;
    Click(ButtonCentre(root, id));
    return true;
  }
  CVMenuBase* CurrentMenu() {
    CVScene* s = GetSceneMgr().GetCurrentScene();
    return s ? s->FindMenu(0) : nullptr;
  }

  // What a player does while the game waits on something other than the map: yes to a question,
  // the battle scene's choices, continue on a waiting message, else a click on the sea.
  void Answer() {
    const int scene = GetSceneMgr().GetCurrentSceneId();
    if (scene == 10) {
      if (!ClickShown(CurrentMenu(), 1)) Driver().Ticks(1);
    } else if (scene == 8) {
      PlayBattle();
    } else if (scene == 3 && (Map()->StateFlags() & CVMenuSLGMain::kWaiting)) {
      Click(ButtonCentre(Map(), 2));
    } else if (CVMenuBase* dialog = scene == 3 ? Scene()->DialogMenu() : nullptr; dialog && ClickShown(dialog, 1000)) {
      // A general who came forward waits for his dialog's accept button.
    } else {
      Click({60, 580});
    }
  }

  // The battle scene: choose the formation, put the commander and then every unit on a lane, give
  // orders, and take whatever the end of the battle asks.
  void PlayBattle() {
    auto* scene = dynamic_cast<CVSceneKassen*>(GetSceneMgr().GetCurrentScene());
    if (!scene) return Driver().Ticks(1);
    battleSeen_ = true;
    auto command = [&](std::initializer_list<int> codes) {
      for (int code : codes)
        for (int i = 0; i < 8; ++i)
          if (scene->ResultOfHit(300 + i) == code && ClickShown(CurrentMenu(), 300 + i)) return true;
      for (int i = 0; i < 8; ++i)
        if (scene->ResultOfHit(300 + i) >= 10 && ClickShown(CurrentMenu(), 300 + i)) return true;
      return false;
    };
    const BattleSide& side = g_Battle.sides[0];
    auto unitPanel = [&](bool commanderFirst) {
      const int cmd = CommanderUnit(0);
      if (commanderFirst && cmd >= 0 && side.units[cmd].lane == kNoLane && ClickShown(CurrentMenu(), 2000 + cmd))
        return true;
      for (int i = 0; i < kBattleUnits; ++i)
        if (side.units[i].general != kNoUnitGeneral && side.units[i].lane == kNoLane && side.units[i].soldiers > 0 &&
            ClickShown(CurrentMenu(), 2000 + i))
          return true;
      return false;
    };
    bool acted = false;
    switch (scene->GetPhase()) {
      case 5:
        acted = command({10, 13, 14});
        break;
      case 7:
      case 8:
        acted = unitPanel(scene->GetPhase() == 7);
        break;
      case 12:
        acted = command({16, 24, 23});
        break;
      case 13:
        acted = command({28, 27, 29});
        break;
      case 14:
        acted = command({15, 19});
        break;
      case 16:
      case 18:
        acted = command({50, 51, 40, 41});
        break;
      default:
        break;
    }
    if (!acted) Driver().Ticks(1);
  }

  // Answers until the map waits for a command in the given phase.
  bool PlayUntilCommands(int phase, int limit = 3000) {
    for (int i = 0; i < limit; ++i) {
      if (TurnSubPhase == phase && GetSceneMgr().GetCurrentSceneId() == 3 &&
          (Map()->StateFlags() & CVMenuSLGMain::kCommandMenu) && !(Map()->StateFlags() & CVMenuSLGMain::kWaiting))
        return true;
      Answer();
    }
    return false;
  }

  // Ends phases until the map waits for a command of the phase.
  bool ToPhase(int phase) {
    for (int guard = 0; guard < 4 && TurnSubPhase != phase; ++guard) {
      const int now = TurnSubPhase;
      if (!PlayUntilCommands(now)) return false;
      Click(ButtonCentre(Map(), 10014));
      for (int i = 0; i < 3000 && TurnSubPhase == now; ++i) Answer();
    }
    return PlayUntilCommands(phase);
  }

  // The map asks the turn's availability rules, as the program's wiring makes it (undone by
  // ResetSlgCommandRules).
  static void InstallCommandRules() {
    SlgCommandRules& r = GetSlgCommandRules();
    r.checkAvailable = [](int cmd, int busyo, int siro, int, int marked) {
      return CheckCommandAvailable(cmd, static_cast<uint16_t>(busyo), static_cast<uint16_t>(siro), PlayerDaimyoId,
                                   static_cast<uint16_t>(marked)) == 0;
    };
    r.reasonText = [](int) {
      const char* text = GetCommandReasonText();
      return std::string(text ? text : "");
    };
    r.label = [](int cmd) {
      char text[80];
      FormatCommandLabel(cmd, text, sizeof text);
      return std::string(text);
    };
    r.refreshCommandMenus = [](int menu) { RefreshCommandMenus(menu); };
  }

  // Shows the castle's generals in the map's list: its province focused, then its icon clicked.
  bool ListCastle(int siro) {
    CVMenuSLGMain* map = Map();
    const int kuni = GetSiroKuni(static_cast<uint32_t>(siro));
    if (!map->IsKuniFocused() || CurrentKuniId != kuni) {
      if (map->IsKuniFocused()) Click(ButtonCentre(map, 750));
      const Pt p = PointInKuni(kuni);
      if (p.x < 0) return false;
      for (int i = 0; i < 3 && !map->IsKuniFocused(); ++i) Click(p);
    }
    return ClickCastleIcon(siro);
  }
  bool ClickCastleIcon(int siro) {
    for (int i = 0; i < CVMenuSLGMain::kCastleIcons; ++i)
      if (Map()->CastleIconValue(i) == siro) {
        Click(ButtonCentre(Map(), 300 + i));
        return true;
      }
    return false;
  }
  bool ClickContactIcon(int siro) {
    for (int i = 0; i < CVMenuSLGMain::kContactIcons; ++i)
      if (Map()->ContactIconValue(i) == siro) {
        Click(ButtonCentre(Map(), 350 + i));
        return true;
      }
    return false;
  }
  // Whether the castle has an icon in its province's view (a province shows its first eight).
  bool OnMap(int siro) {
    const int kuni = GetSiroKuni(static_cast<uint32_t>(siro));
    for (int slot = 0; slot < CVMenuSLGMain::kCastleIcons; ++slot)
      if (Map()->CastleTable().GetShiroSlotId(kuni, slot) == siro) return true;
    return false;
  }
  // The list row that shows the general, -1 when he is not in the first rows.
  int RowOf(int busyo) {
    for (int i = 0; i < 6; ++i)
      if (Map()->RowValue(i) == busyo) return i;
    return -1;
  }

  bool battleSeen_ = false;
};

}  // namespace

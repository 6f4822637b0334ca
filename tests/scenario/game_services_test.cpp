// The program's script services (src/shell/adv_wiring.cpp): script functions 14 and 18 read the
// battle state's last result and enemy clan.
#include <gtest/gtest.h>

#include "battle/battle_state.h"
#include "scenario/adv_presenter.h"
#include "scenario/interp/adv_interp.h"
#include "scenario/interp/adv_services.h"
#include "scenario/script/adv_script.h"
#include "shell/adv_wiring.h"
#include "world/world_ports.h"

namespace {

TEST(GameScriptServices, BattleFunctionsReadTheLastBattle) {
  InstallScenarioEngine();
  struct Case {
    uint32_t outcome, enemy;
  } cases[] = {{0, 255}, {1, 7}, {0, 12}};
  for (const Case& c : cases) {
    g_Battle.outcome = c.outcome;
    g_Battle.enemyClan = c.enemy;
    EXPECT_EQ(CallScriptFunc(GetAdvScript(), 14, ""), static_cast<int32_t>(c.outcome));
    EXPECT_EQ(CallScriptFunc(GetAdvScript(), 18, ""), static_cast<int32_t>(c.enemy));
  }
  g_Battle.outcome = 0;
  g_Battle.enemyClan = 255;
  SetAdvServices(nullptr);
  SetAdvSceneEnsurer(nullptr);
  SetAdvPort(nullptr);
}

}  // namespace

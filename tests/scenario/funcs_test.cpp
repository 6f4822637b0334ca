// Script functions against a small hand-built world: the argument parser's tokens, the named
// general remembered by function 6 for function 22, function 50's argument count and cap, and
// failed lookups that never reach a table.
#include <gtest/gtest.h>

#include "interp_test_support.h"
#include "scenario/interp/adv_interp.h"
#include "scenario/script/adv_script.h"
#include "tests/world/world_fixture.h"
#include "world/world_names.h"

namespace v4test {
namespace {

class ScriptFuncs : public InterpTest {
 protected:
  void SetUp() override {
    InterpTest::SetUp();
    WorldBuilder w;
    w.Kuni("美濃");                // country 0
    w.Kuni("尾張");                // country 1
    w.Siro(0, "稲葉", 0);          // castle 0
    w.Siro(0, "大垣", 0);          // castle 1
    w.Siro(1, "清洲", 1);          // castle 2
    w.Clan("織山");                // clan 0
    w.Clan("武井");                // clan 1
    w.Clan("浅倉");                // clan 2 (the player)
    w.Busyo("山田一郎", 0);        // general 0, in 稲葉 (clan 0)
    w.Busyo("霧島信房", 2);        // general 1, in 清洲 (clan 1)
    w.Busyo("佐藤三郎", kNoSiro);  // general 2, not placed
    w.Head(0, 0);
    w.Head(1, 1);
    w.Place();
    PlayerDaimyoId = 2;
    Load(U8(u8"$兵糧@5 = 77\n*s\n#End\n"));
  }
  void TearDown() override {
    ResetToEmptyWorld();
    InterpTest::TearDown();
  }
  int32_t Arg(const char* token, int flag) { return ScriptArgValue(GetAdvScript(), token, flag); }
  int32_t Func(unsigned id, const char* arg) { return CallScriptFunc(GetAdvScript(), id, arg); }
};

TEST_F(ScriptFuncs, ArgumentTokens) {
  struct Case {
    const char* token;
    int flag;
    int32_t expect;
    // clang-format off (the table's alignment with wide characters does not settle)
  } cases[] = {
      {"+", 0, 1},
      {"-", 0, -1},
      {"12", 0, 12},
      {"-5", 1, -5},
      {"兵糧", 0, 77},
      {"尾張", 0, 1},
      {"清洲", 1, 2},
      {"P", 0, 2},
      {"p", 0, 2},
      {"武井", 0, 1},
      {"霧島信房", 0, 1},  // a general's clan
                           // with flag 0
      {"霧島信房", 1, 1},
      {"佐藤三郎", 1, 2},  // the general himself otherwise
      {"無名", 0, 0},
      {"無名", 1, 0},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(Arg(c.token, c.flag), c.expect) << c.token << " flag " << c.flag;
}

TEST_F(ScriptFuncs, ArgumentListsSplitAndTrim) {
  EXPECT_EQ(ParseScriptArgList(GetAdvScript(), "  尾張 ,\tP ", 0), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(ParseScriptArgList(GetAdvScript(), "-, +, 3", 0), (std::vector<int32_t>{-1, 1, 3}));
  EXPECT_TRUE(ParseScriptArgList(GetAdvScript(), "   ", 0).empty());
}

TEST_F(ScriptFuncs, ShareOfACountryTakesExactlyTwoValuesAndIsCapped) {
  EXPECT_EQ(Func(50, "尾張, 武井"), std::min(100, GetDaimyoKuniShare(1, 1) & 0xFF));
  EXPECT_EQ(Func(50, "尾張, P"), std::min(100, GetDaimyoKuniShare(1, 2) & 0xFF));
  EXPECT_TRUE(boxes_.boxes.empty());
  EXPECT_EQ(Func(50, "尾張, P, 3"), 0);
  EXPECT_TRUE(boxes_.Has("FILE LOAD ERROR"));  // the error box with its default caption
  EXPECT_EQ(boxes_.boxes.back().text.rfind("Tfunc_kuni_sihairitu 引数エラー", 0), 0u);
}

TEST_F(ScriptFuncs, NamedGeneralIsReplacedByFunction22) {
  EXPECT_EQ(Func(6, "山田一郎"), 0);
  EXPECT_EQ(GetAdvScript().namedGeneral, 0u);
  Func(22, "佐藤三郎");
  EXPECT_EQ(GetBusyoSiro(2), 0);  // 佐藤 took 山田's place in 稲葉
  EXPECT_EQ(GetBusyoSiro(0), kNoSiro);
}

TEST_F(ScriptFuncs, QueriesAndFailedLookups) {
  TurnCounter = 9;
  EXPECT_EQ(Func(10, ""), 9);
  EXPECT_EQ(Func(7, "尾張"), 1);
  EXPECT_EQ(Func(8, "清洲"), 2);
  EXPECT_EQ(Func(9, "武井"), 1);
  EXPECT_EQ(Func(4, "霧島信房"), 1);
  EXPECT_EQ(Func(1, "霧島信房"), 2);
  EXPECT_EQ(Func(0, "霧島信房"), 1);
  EXPECT_EQ(Func(28, "清洲"), 0);  // not the player's castle
  EXPECT_EQ(Func(40, "尾張"), 0);  // functions without a meaning answer 0
  // Unknown names give negative ids, which reach no table.
  EXPECT_LT(Func(9, "無名"), 0);
  EXPECT_EQ(Func(11, "無名"), 0);
  EXPECT_EQ(Func(20, "無名"), -1);
  EXPECT_EQ(Func(21, "無名"), -1);
  EXPECT_EQ(Func(27, "無名"), 0);
  EXPECT_EQ(Func(15, "無名"), 0);
}

// A script reads the functions as values: the call's argument is the text the script wrote.
TEST_F(ScriptFuncs, CallsInsideAScript) {
  Load(
      U8(u8"$x@7 = 0\n$y@8 = 0\n*s\n#SwVar $x, {7:尾張}\n#IfGoto {4:霧島信房} == 1\n#Goto *hit\n#End\n"
         u8"*hit\n#SwVar $y, {50:尾張, 武井}\n#End\n"));
  RunToEnd();
  EXPECT_EQ(GetAdvScript().switches[7], 1);
  EXPECT_EQ(GetAdvScript().switches[8], std::min(100, GetDaimyoKuniShare(1, 1) & 0xFF));
}

}  // namespace
}  // namespace v4test

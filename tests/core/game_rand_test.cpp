#include "core/game_rand.h"

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

namespace {

class GameRandTest : public ::testing::Test {
 protected:
  void SetUp() override { SetGameRandState(0); }
  void TearDown() override {
    SetGameRandOverride(nullptr);
    SetGameRandState(0);
  }
};

// state = state * 214013 + 2531011 (mod 2^32), value = bits 16..30, worked by hand from state 0.
TEST_F(GameRandTest, KnownSequenceFromZero) {
  struct Step {
    int value;
    uint32_t state;
  };
  const Step steps[] = {{38, 2531011u}, {7719, 505908858u}, {21238, 3539360597u}, {2437, 159719620u}};
  for (const Step& s : steps) {
    EXPECT_EQ(GameRand(), s.value);
    EXPECT_EQ(GetGameRandState(), s.state);
  }
  // The top bit of the state never reaches the value.
  SetGameRandState(0xFFFFFFFFu);
  EXPECT_EQ(GameRand(), 35);
  EXPECT_EQ(GetGameRandState(), 2316998u);
}

TEST_F(GameRandTest, BelowNonPositiveIsZeroWithoutDrawing) {
  for (int n : {0, -1, -5, -2147483647 - 1}) {
    SetGameRandState(12345);
    EXPECT_EQ(GameRandBelow(n), 0) << n;
    EXPECT_EQ(GetGameRandState(), 12345u) << n;
  }
  SetGameRandState(0);
  EXPECT_EQ(GameRandBelow(1), 0);
  EXPECT_EQ(GetGameRandState(), 2531011u);  // one draw
  SetGameRandState(0);
  EXPECT_EQ(GameRandBelow(10), 38 % 10);
  EXPECT_EQ(GameRandBelow(100), 7719 % 100);
}

TEST_F(GameRandTest, SavedStateContinuesTheSameSequence) {
  SetGameRandState(987654321u);
  GameRand();
  const uint32_t saved = GetGameRandState();
  std::vector<int> first, second;
  for (int i = 0; i < 8; ++i) first.push_back(GameRand());
  SetGameRandState(saved);
  for (int i = 0; i < 8; ++i) second.push_back(GameRand());
  EXPECT_EQ(first, second);
}

TEST_F(GameRandTest, SeedFromTimeUsesCalendarSeconds) {
  const auto before = static_cast<uint32_t>(std::time(nullptr));
  SeedGameRandFromTime();
  const uint32_t seeded = GetGameRandState();
  const auto after = static_cast<uint32_t>(std::time(nullptr));
  EXPECT_GE(seeded, before);
  EXPECT_LE(seeded, after);
}

// A replayed run seeds from its own clock; without one the calendar is back.
TEST_F(GameRandTest, SeedClockReplacesTheCalendarUntilCleared) {
  uint32_t tick = 41;
  SetGameRandSeedClock([&] { return ++tick; });
  SeedGameRandFromTime();
  EXPECT_EQ(GetGameRandState(), 42u);
  SeedGameRandFromTime();
  EXPECT_EQ(GetGameRandState(), 43u);
  SetGameRandSeedClock(nullptr);
  const auto before = static_cast<uint32_t>(std::time(nullptr));
  SeedGameRandFromTime();
  EXPECT_GE(GetGameRandState(), before);
}

TEST_F(GameRandTest, OverrideScriptsDrawsAndLeavesStateAlone) {
  SetGameRandState(777);
  {
    const std::vector<int> script = {5, 99, 32767, 40000, -1};
    size_t next = 0;
    ScopedGameRandOverride scoped([&] { return script[next++ % script.size()]; });
    EXPECT_EQ(GameRand(), 5);
    EXPECT_EQ(GameRandBelow(100), 99);
    EXPECT_EQ(GameRand(), 32767);
    EXPECT_EQ(GameRand(), 40000 & 0x7FFF);  // masked into 0..32767
    EXPECT_EQ(GameRandBelow(10), 32767 % 10);
    EXPECT_EQ(GameRandBelow(0), 0);  // no draw for n < 1
    EXPECT_EQ(next, 5u);
    EXPECT_EQ(GetGameRandState(), 777u);
  }
  // Back to the generator.
  SetGameRandState(0);
  EXPECT_EQ(GameRand(), 38);
  SetGameRandOverride([] { return 3; });
  EXPECT_EQ(GameRand(), 3);
  SetGameRandOverride(nullptr);
  EXPECT_EQ(GameRand(), 7719);
}

TEST(SjisLeadByteTest, Boundaries) {
  struct Case {
    unsigned char byte;
    bool lead;
  };
  const Case cases[] = {{0x00, false}, {0x40, false}, {0x5C, false}, {0x80, false}, {0x81, true},
                        {0x9F, true},  {0xA0, false}, {0xDF, false}, {0xE0, true},  {0xFC, true},
                        {0xFD, true},  {0xFE, true},  {0xFF, false}};
  for (const Case& c : cases) EXPECT_EQ(IsSjisLeadByteToFE(c.byte), c.lead) << int{c.byte};
  // A plain char from a CP932 literal works too.
  EXPECT_TRUE(IsSjisLeadByteToFE("戦"[0]));
}

}  // namespace

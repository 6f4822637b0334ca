// The headless game runner on the built sample data: its line format, same seed same hash, a
// saved game loading back to the same hash, and bad arguments refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run_command.h"
#include "tests/support/temp_folder.h"

namespace {

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

struct SimRun {
  int exitCode = -1;
  std::vector<std::string> lines;
};

class SimToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A game folder of its own (the sample data linked in), so saves land in the test's folder.
    std::filesystem::create_directory_symlink(std::filesystem::path(V4_TEST_GAME_DIR) / "Data",
                                              std::filesystem::path(game_.Path()) / "Data");
  }
  SimRun Sim(const std::string& args) {
    std::string out;
    SimRun r;
    r.exitCode = v4test::RunCommand(std::string(V4_TEST_BINARY_DIR) + "/bin/v4data sim " + args + " 2>&1", &out);
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);) r.lines.push_back(l);
    return r;
  }
  std::string Game() const { return game_.Path(); }
  static std::string Hash(const SimRun& r) { return r.lines.empty() ? "" : r.lines.back(); }
  v4test::TempFolder game_;
};

TEST_F(SimToolTest, SameSeedSameGameAndTheLineFormat) {
  SimRun a = Sim(Game() + " --turns 6 --seed 3");
  ASSERT_EQ(a.exitCode, 0) << (a.lines.empty() ? "" : a.lines.back());
  ASSERT_EQ(a.lines.size(), 8u);
  EXPECT_NE(a.lines[0].find("battles: "), std::string::npos);
  const std::regex turn(R"(turn (\d+) year (\d+) season ([0-3]) clans (\d+) top \S+ castles (\d+)( .*)?)");
  for (int i = 1; i <= 6; ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(a.lines[i], m, turn)) << a.lines[i];
    EXPECT_EQ(std::stoi(m[1]), i);
  }
  EXPECT_TRUE(std::regex_match(Hash(a), std::regex("world-hash [0-9a-f]{16}"))) << Hash(a);
  SimRun b = Sim(Game() + " --turns 6 --seed 3");
  EXPECT_EQ(a.lines, b.lines);
  SimRun c = Sim(Game() + " --turns 6 --seed 4");
  ASSERT_EQ(c.exitCode, 0);
  EXPECT_NE(Hash(c), Hash(a));
}

TEST_F(SimToolTest, SavedGameLoadsBackToTheSameHash) {
  SimRun saved = Sim(Game() + " --turns 5 --seed 9 --save-slot 3");
  ASSERT_EQ(saved.exitCode, 0);
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(Game()) / "SaveData" / "d03" / "slg.dat"));
  SimRun loaded = Sim(Game() + " --load-slot 3 --turns 0");
  ASSERT_EQ(loaded.exitCode, 0);
  EXPECT_EQ(Hash(loaded), Hash(saved));
  // Going on from the slot plays further turns.
  SimRun more = Sim(Game() + " --load-slot 3 --turns 2");
  ASSERT_EQ(more.exitCode, 0);
  ASSERT_GE(more.lines.size(), 4u);
  EXPECT_EQ(more.lines[1].rfind("turn 6 ", 0), 0u) << more.lines[1];
}

// Long games of seeds that once ended in a data error box (a surrendering general joining a winner
// with no free vassal slot) play to their end with no box and no broken invariant.
TEST_F(SimToolTest, LongGamesPlayToTheirEndWithoutAnErrorBox) {
  for (const char* seed : {"5", "11", "42"}) {
    SCOPED_TRACE(seed);
    SimRun r = Sim(Game() + " --turns 1000 --seed " + seed);
    EXPECT_EQ(r.exitCode, 0);
    for (const std::string& l : r.lines) {
      EXPECT_EQ(l.rfind("error box", 0), std::string::npos) << l;
      EXPECT_EQ(l.rfind("invariant broken", 0), std::string::npos) << l;
    }
    ASSERT_GE(r.lines.size(), 2u);
    const std::string& last = r.lines[r.lines.size() - 2];
    EXPECT_TRUE(last.rfind("game ended", 0) == 0 || last.rfind("turn 1000 ", 0) == 0) << last;
  }
}

// Saving after N turns, loading and playing T more ends exactly where N + T turns without a save
// end: every turn line and the world hash.
TEST_F(SimToolTest, ALoadedGamePlaysOnExactlyAsTheSavedOne) {
  struct Case {
    int seed, n, t;
  } cases[] = {{3, 1, 6}, {3, 7, 5}, {3, 20, 10}, {8, 2, 9}, {8, 13, 4}, {21, 5, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE("seed " + std::to_string(c.seed) + ", save at " + std::to_string(c.n) + ", then " +
                 std::to_string(c.t));
    const std::string seed = " --seed " + std::to_string(c.seed);
    SimRun whole = Sim(Game() + seed + " --turns " + std::to_string(c.n + c.t));
    ASSERT_EQ(whole.exitCode, 0) << Hash(whole);
    SimRun saved = Sim(Game() + seed + " --turns " + std::to_string(c.n) + " --save-slot 7");
    ASSERT_EQ(saved.exitCode, 0) << Hash(saved);
    SimRun loaded = Sim(Game() + " --load-slot 7 --turns " + std::to_string(c.t));
    ASSERT_EQ(loaded.exitCode, 0) << Hash(loaded);
    // battles line, N turn lines, hash; then the loaded run's battles line, T turn lines, hash.
    ASSERT_EQ(whole.lines.size(), static_cast<size_t>(c.n + c.t + 2));
    ASSERT_EQ(loaded.lines.size(), static_cast<size_t>(c.t + 2));
    for (int i = 0; i < c.t; ++i) {
      EXPECT_EQ(loaded.lines[1 + i], whole.lines[1 + c.n + i]);
    }
    EXPECT_EQ(Hash(loaded), Hash(whole));
  }
}

// Every message of long games: an alliance made or broken names two different clans, and the
// messages come one a line after their own prefix, in the run's turn lines.
TEST_F(SimToolTest, MessagesNameTwoDifferentClansForAnAlliance) {
  const std::regex made(U8(u8R"(message: (.+?)は(.+?)と同盟を結びました)"));
  const std::regex broken(U8(u8R"(message: *(.+?)家は *(.+?)家との同盟を破棄しました。)"));
  int alliances = 0, breaks = 0, messages = 0;
  for (const char* seed : {"5", "17"}) {
    SCOPED_TRACE(seed);
    SimRun r = Sim(Game() + " --turns 300 --messages --seed " + seed);
    EXPECT_EQ(r.exitCode, 0) << Hash(r);
    int turns = 0;
    for (const std::string& l : r.lines) {
      turns += l.rfind("turn ", 0) == 0;
      if (l.rfind("message: ", 0) != 0) continue;
      ++messages;
      EXPECT_GT(l.size(), 9u) << "an empty message";
      std::smatch m;
      if (std::regex_match(l, m, made)) {
        ++alliances;
        EXPECT_NE(m[1].str(), m[2].str()) << l;
      } else if (std::regex_match(l, m, broken)) {
        ++breaks;
        EXPECT_NE(m[1].str(), m[2].str()) << l;
      }
    }
    EXPECT_GT(turns, 0);
  }
  // The check saw the messages it is about.
  EXPECT_GT(messages, 100);
  EXPECT_GT(alliances, 0);
  EXPECT_GT(breaks, 0);
  // Without the flag, no message lines.
  SimRun quiet = Sim(Game() + " --turns 3 --seed 5");
  for (const std::string& l : quiet.lines) EXPECT_NE(l.rfind("message: ", 0), 0u) << l;
}

TEST_F(SimToolTest, BadArgumentsAndFoldersAreRefused) {
  EXPECT_EQ(Sim("").exitCode, 2);
  EXPECT_EQ(Sim(Game() + " --turns -1").exitCode, 2);
  EXPECT_EQ(Sim(Game() + " --save-slot 120").exitCode, 2);
  EXPECT_EQ(Sim(Game() + " --bogus").exitCode, 2);
  EXPECT_NE(Sim(game_.File("nothing-here")).exitCode, 0);
  EXPECT_NE(Sim(Game() + " --load-slot 44 --turns 0").exitCode, 0);  // an empty slot
  EXPECT_NE(Sim(Game() + " --scenario 7").exitCode, 0);
}

}  // namespace

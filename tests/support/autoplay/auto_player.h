// The automatic player: plays the real program (GameSession) by input alone, as a player would,
// choosing at random among the widgets actually shown, and stops with a dump when the game stops
// moving (the watchdog), raises an error box, or breaks a world invariant. The same seed gives the
// same run.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/support/autoplay/game_session.h"

class CVMenuBase;
class CVMenuBtn;
class CVScene;

namespace v4play {

struct PlayOptions {
  uint32_t seed = 1;
  bool story = false;
  int seasons = 4;  // strategy: seasons to play
  int steps = 3;    // story: runs from the title
  // Logic steps with no movement before the watchdog stops the run.
  int stuckSteps = 4000;
  // Logic steps a season (strategy) or a story run may take at most, its battles not counted.
  int seasonSteps = 120000;
  // Logic steps one battle may take at most.
  int battleSteps = 60000;
  bool verbose = false;
  // Every action as a line (to follow a run up to a stop).
  bool trace = false;
  // Map commands never chosen: to look past a known fault while it is being mended.
  std::vector<int> avoid;
};

class AutoPlayer {
 public:
  AutoPlayer(GameSession& session, const PlayOptions& options, std::string* out);
  // Plays to the end; 0 when the run ended as asked, 1 when it stopped (`stuck:` and a dump), 143
  // when it was asked to end (the summary so far and a dump).
  int Run();
  // Asks every running player to end after its current action (safe in a signal handler).
  static void RequestTermination();

 private:
  struct Action {
    int x = 0, y = 0;
    bool right = false;
    bool wait = false;
    double weight = 0;
    int id = -1;       // button id (-1: none)
    int command = -1;  // a command row of the map: its command (-1: none)
    bool enabled = true;
  };
  struct CommandCount {
    int opened = 0, completed = 0, refused = 0, backed = 0;
  };

  // One observation after every action: counters, the watchdog, boxes and invariants. False when
  // the run must stop (failure_ says why).
  bool Observe();
  std::string Signature();
  void Choose(std::vector<Action>& acts);
  void AddButtons(CVMenuBase* root, std::vector<Action>& acts, bool withDisabled);
  void WeighStrategy(std::vector<Action>& acts);
  void WeighStory(std::vector<Action>& acts);
  void Perform(const Action& a);
  void Fail(const std::string& why);
  std::string Dump();
  void Line(const std::string& s);
  double Rand01();
  size_t Pick(const std::vector<Action>& acts);
  // The player's slots; with the system files too (settings, play record) when asked.
  uint64_t SaveFingerprint(bool withSystem = false);
  void NoteMessage(const std::string& text);
  void EndCommand();
  void SeasonLine();
  void Summary(const char* how);
  void StoryLine(const char* how);

  GameSession& session_;
  PlayOptions opt_;
  std::string* out_;
  std::mt19937_64 rng_;
  std::string failure_;

  // Watchdog.
  std::string lastSignature_;
  uint64_t lastMoveStep_ = 0;
  uint64_t steps_ = 0;
  uint64_t periodStart_ = 0;
  uint64_t battleStart_ = 0;
  bool inBattle_ = false;

  // What the run has seen.
  int lastScene_ = -1;
  int seasons_ = 0, battles_ = 0, dialogs_ = 0, saves_ = 0, loads_ = 0, choices_ = 0, messages_ = 0;
  int storyRuns_ = 0;
  int storyStart_ = -1;
  uint32_t lastTurnKey_ = 0xFFFFFFFFu;
  uint32_t lastPhaseKey_ = 0xFFFFFFFFu;
  const void* lastDialog_ = nullptr;
  uint64_t saveFingerprint_ = 0;
  std::deque<std::string> lastMessages_;
  std::deque<std::string> lastActions_;
  std::deque<uint64_t> actionSteps_;
  std::map<int, CommandCount> commands_;
  int commandsThisPhase_ = 0;
  bool seenStrategy_ = false;
  bool toTitle_ = false;  // the story reached the strategy game: go back to the title
  int lastAdvReadId_ = -1;
  bool atChoice_ = false;
  // The map command the player started and what the world and the saves were then.
  int pendingCommand_ = -1;
  int pendingTable_ = -1;
  uint64_t pendingWorld_ = 0, pendingSaves_ = 0;
  int pendingDialogs_ = 0;
  bool quitSeen_ = false;
};

}  // namespace v4play

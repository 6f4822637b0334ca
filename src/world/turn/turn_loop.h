// The strategy game's main step routine and the turn loop that the frame runs in game mode 11,
// with the turn-start reset, the recomputation of the player's clan and the SLG key ring.
#pragma once
#include <cstdint>

// Steps of SlgMainStep.
enum SlgMainStepId : uint32_t {
  kSlgStepReset = 1,
  kSlgStepNewGame = 2,
  kSlgStepTurn = 3,
  kSlgStepIndependents = 4,
  kSlgStepWar = 5,
  kSlgStepGameOver = 6,
};

// Once per logic step while GameMode is 11: depth 0, push, SlgMainStep, pop unless the game mode
// left the strategy game.
void RunTurnLoop();
int SlgMainStep();
void ResetSlgTurnState();
void RecalcDaimyoTotals(int flag);
// Castles of extinct clans pass to their successor clans.
void HandOverExtinctClans();

// SLG key ring.
void PushSlgKey(uint32_t key);
void PushSlgKeyFromScene(uint32_t key);  // also marks a frame-wait pending
int PollSlgKey();
void StartEventListScript();

// "Data\bgm\M01.voi" and the other music files the turn plays.
inline constexpr const char* kBgmTurn = "Data\\bgm\\M01.voi";
inline constexpr const char* kBgmWar = "Data\\bgm\\M02.voi";
inline constexpr const char* kBgmUnified = "Data\\bgm\\M05.voi";
inline constexpr const char* kBgmNoBusyo = "Data\\bgm\\M20.voi";

// Holds the turn for the message time (the speed setting's message wait).
int MessageTime();

#include "world/world_ports.h"

// The turn rules behind the rules port (the new game and the extras reach them through it).
class TurnRulesPort : public SlgRulesPort {
 public:
  void RecalcDaimyoTotals(int flag) override;
  void RecalcPlayerShares() override;
  void RecalcAllRevenues() override;
  void ResetSlgTurnState() override;
};

// The turn words of a world file about to be loaded; null when they are in range, else what is
// wrong. The orders must be permutations (clans 0..59, independents 0..253).
struct LoadedTurnWords {
  uint16_t turn = 0;
  uint16_t year = 0;
  uint8_t season = 0;
  uint8_t player = 0;
  uint8_t subPhase = 0;
  const uint8_t* clanOrder = nullptr;   // 64 bytes
  const uint8_t* marchOrder = nullptr;  // 254 bytes
  int32_t firstTurn = 0;
  uint8_t currentKuni = 0;
  int32_t unificationStage = 0;
  uint8_t declared = 0;
  uint8_t phaseIndex = 0;  // the clan-order position of the phase under way (0 to 60)
};
const char* CheckLoadedTurnWords(const LoadedTurnWords& w);
// The step codes of a saved step machine for a game in the given mode: in the strategy game the
// main step's level must hold one of its steps.
const char* CheckLoadedTurnSteps(int32_t gameMode, const uint32_t* steps, int levels);
// After a strategy save has been loaded: a save made before the phase's clan position was kept
// holds 0 there, and resumes at the player's clan (every save point of a phase lies in his turn)
// instead of running again the clans before him.
void SettleLoadedPhaseIndex();

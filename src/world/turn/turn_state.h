// The turn engine's state: the auto-run flag, the SLG key ring and every loop position that the
// turn routines keep between logic steps, gathered in one visible, resettable structure.
#pragma once
#include <cstdint>

// ---- Auto-run ----
// One flag: while it is on the player's clan is played by the rules like every other clan, it has
// no fictional castle, and nothing asks the player. Backed by the world byte NoKakuuSiroFlag.
bool IsAutoRun();
void SetAutoRun(bool on);
// Auto-run stops at a year change once TurnCounter has reached this turn.
extern uint16_t AutoRunLastTurn;

// ---- Turn work ----
inline constexpr int kSlgKeyRingSize = 64;
// Season history capacity: 1551 up to the end of 1650, four seasons a year.
inline constexpr int kHistoryFirstYear = 1551;
inline constexpr int kHistoryYears = 100;
inline constexpr int kHistorySeasons = kHistoryYears * 4;
inline constexpr int kHistoryKuni = 67;
// More than this many generals and the player must dismiss some.
inline constexpr int kMaxPlayerBusyo = 200;

struct SlgMainWork {
  int32_t started = 0;
  uint32_t frames = 0;
  int32_t pressLatch = 0;       // the button went down during a wait
  uint8_t parkedId = 255;       // the player's id while PlayerDaimyoId is 254 (253 while lent)
  uint32_t turnsCompleted = 0;  // turns ended by the main step (step 6 done)
  int32_t checkedPart = -1;     // the turn part the castle check last ran for
};

struct SlgKeyRing {
  uint32_t keys[kSlgKeyRingSize] = {};
  uint32_t read = 0;
  uint32_t write = 0;
  int32_t framePending = 0;  // set by the scenes' variant of PushSlgKey
};

struct DismissWork {
  int32_t state = 0;  // 0 open the list, 1 wait for a choice, 2 wait for the answer
  int32_t listOpen = 0;
  int32_t chosen = 0xFFFF;
};

struct SeasonWork {
  int32_t income = 0;  // the player's income of this season
  int32_t upkeep = 0;  // the player's upkeep of the year
  int32_t rankClan = 0;
  int32_t rankStage = 0;
  int32_t upkeepClan = 0;
  int32_t upkeepDue = 0;
  int32_t debt = 0;
  int32_t debtStage = 0;
  int32_t growthStage = 0;
  int32_t appearBusyo = 0;
  int32_t appearStage = 0;
  int32_t appearClan = 255;
  int32_t appearSiro = 0xFFFF;
  int32_t appearSlot = -1;
  int32_t appearTaken = 0;
};

struct UnificationWork {
  int32_t stage = 0;
  int32_t result = 0;
  int32_t clearRecordedRun = 0;  // the run whose clear was recorded (0 none)
  int32_t clearRecorded = 0;
  int32_t askStage = 0;
  int32_t gameOverStage = 0;
};

struct TurnHistory {
  uint8_t kuni[kHistoryYears][kHistoryKuni] = {};  // 2 bits per season, season 0 lowest
  uint16_t revenue[kHistorySeasons] = {};
  uint16_t head[kHistorySeasons] = {};
  uint8_t rank[kHistorySeasons] = {};
};

// The war-phase statics, in the widths the world file stores them.
#pragma pack(push, 1)
struct WarWork {
  // ResolveMarches
  uint8_t resolveIndex = 0;
  uint8_t resolveKuni = 255;
  uint16_t resolveBusyo = 0xFFFF;
  int32_t resolveMode = 0;
  // RunIndependentMarch
  uint8_t indepReserved = 255;
  uint8_t indepListIndex = 255;
  uint16_t indepBusyo = 0xFFFF;
  uint16_t indepSiro = 0xFFFF;
  uint16_t indepTarget = 0xFFFF;
  // RunGarrisonMarch
  uint8_t garrisonIndex = 0;
  uint8_t garrisonWork = 0;
  uint16_t garrisonBusyo = 0xFFFF;
  uint16_t garrisonSiro = 0xFFFF;
  uint16_t garrisonTarget = 0xFFFF;
  // RunClanMarches
  uint8_t clanPos = 0;
  uint8_t clan = 255;
  // RunDaimyoMarches
  uint8_t daimyoSlot = 0;
  uint16_t daimyoBusyo = 0xFFFF;
  uint16_t daimyoSiro = 0xFFFF;
  uint16_t daimyoTarget = 0xFFFF;
  uint16_t daimyoBattleSiro = 0xFFFF;
};
#pragma pack(pop)
static_assert(sizeof(WarWork) == 35);

struct TurnWork {
  uint8_t gameEnd = 0;          // 1 once an ending has started; phases stop at their next pop
  uint8_t turnBytes[3] = {};    // further per-turn bytes cleared by the turn reset
  int32_t battleWords[3] = {};  // battle words cleared by the turn reset
  uint8_t forcedWeather = 255;  // forced battle weather (255 none)
  uint8_t selection[4] = {254, 254, 254, 254};
  SlgMainWork main;
  SlgKeyRing keys;
  DismissWork dismiss;
  SeasonWork season;
  UnificationWork unify;
  WarWork war;
};

extern TurnWork g_TurnWork;
extern TurnHistory g_TurnHistory;
// Everything back to its initial value (a fresh program state).
void ResetTurnWork();
inline bool IsGameEnded() { return g_TurnWork.gameEnd == 1; }

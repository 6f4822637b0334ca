// The battle's state: the two sides with their six units, the lane field, and the values that the
// whole battle shares. The side records and the field slots are stored raw in slg.dat, so their
// layout is fixed (little-endian, offsets checked below).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr int kBattleSides = 2;
inline constexpr int kBattleUnits = 6;
inline constexpr int kBattleColumns = 8;  // columns 0..7 whatever the castle size
inline constexpr int kBattleMaxLanes = 5;
inline constexpr uint16_t kNoUnitGeneral = 0xFFFF;
inline constexpr uint8_t kNoLane = 255;
inline constexpr uint8_t kNoField = 255;

// Order codes of a unit's turn (the battle AI and the command menu give the same codes).
enum BattleOrder : uint8_t {
  kOrderAdvance = 15,
  kOrderGuns = 17,
  kOrderFallBack = 19,
  kOrderSwap = 20,
  kOrderDetach = 21,
  kOrderSkill = 22,
  kOrderAttackFirst = 27,     // 27..29 attack lane - facing, own lane, lane + facing
  kOrderChargeFirst = 30,     // 30..32
  kOrderAttackDetFirst = 33,  // 33..35 attack, then the detached unit strikes
  kOrderChargeDetFirst = 36,  // 36..38
  kOrderHold = 40,
  kOrderRetreat = 41,
  kOrderStorm = 50,
  kOrderBesiege = 51,
  kOrderNoneYet = 254,
  kOrderNothing = 255,
};

#pragma pack(push, 1)
struct BattleUnit {
  uint16_t general;        // 0  0xFFFF = no unit
  uint8_t soldiers;        // 2
  uint8_t guns;            // 3  never above soldiers
  uint8_t morale;          // 4
  uint8_t maxMorale;       // 5
  uint8_t startMorale;     // 6
  uint8_t lane;            // 7  255 undeployed; lane count = detached position
  uint8_t exposure;        // 8  scales the gun damage this unit takes
  uint8_t clan;            // 9
  uint8_t slot;            // 10
  uint8_t lost;            // 11 255 clear, 0 filled, 1 wiped out; the fate for the results
  uint8_t reserved12[2];   // 12
  uint16_t firstGeneral;   // 14
  uint16_t kind;           // 16
  uint16_t pieces;         // 18
  uint16_t skills[4];      // 20 skill numbers, 0 none
  uint16_t skillCount[4];  // 28 remaining rounds of each skill
  uint8_t skillArmed;      // 36
  uint8_t pendingSkill;    // 37 255 none
  int16_t pendingMorale;   // 38
  int16_t modifierA;       // 40
  int16_t strengthMod;     // 42
  uint16_t effect1;        // 44 guns in rain
  uint16_t effect2;        // 46 attacks count as distance 1
  int16_t attackPct;       // 48
  int16_t defencePct;      // 50
  uint16_t hitMarks;       // 52 bit 0 attacked, 1 charged, 2 shot, 3 struck by the detached unit
  uint8_t actionMarks;     // 54 bit 0 attacked, 1 charged, 2 fired, 3 detached strike
  uint8_t reserved55;      // 55
  int16_t damagePct;       // 56
  uint8_t reload;          // 58
  uint8_t effect5;         // 59 fires while reloading
  uint8_t touched;         // 60
  uint8_t reserved61;      // 61
  uint16_t shownValue;     // 62
  uint16_t word64;         // 64
  uint8_t reserved66[2];   // 66
  uint32_t copyMark;       // 68 16 for a copy made to fill a lane
  uint8_t reserved72[4];   // 72
  uint8_t onField;         // 76
  uint8_t commander;       // 77
  uint8_t reserved78[2];   // 78
};

struct BattleSide {
  BattleUnit units[kBattleUnits];  // 0
  uint8_t clan;                    // 480
  uint8_t isDefender;              // 481
  uint16_t soldiers;               // 482
  uint16_t morale;                 // 484
  uint16_t startMorale;            // 486
  uint8_t status;                  // 488 0 field, 1 castle/beaten, 2 retreated, 3 routed, 4 broken through
  uint8_t commanderStat;           // 489
  uint16_t siegeRate1;             // 490
  uint16_t siegeBonus;             // 492
  uint16_t stormRate;              // 494
  uint16_t besiegeRate;            // 496
  uint16_t siegeLossRate;          // 498
  int16_t assaultBonus;            // 500
  uint8_t reserved502[2];          // 502
  uint32_t cutOff;                 // 504
  uint32_t cutOffByAssault;        // 508
  uint16_t countdown;              // 512 detached unit: 0xFFFF unsent, 2..0 counting, 0xFFFE struck
  uint16_t marker;                 // 514
};

struct BattleFieldSlot {
  uint8_t unit;     // 255 empty
  uint8_t column;   // 0..7, 255 none
  uint8_t display;  // last order's display code
  uint8_t reserved;
};
#pragma pack(pop)

static_assert(sizeof(BattleUnit) == 80);
static_assert(offsetof(BattleUnit, firstGeneral) == 14);
static_assert(offsetof(BattleUnit, skills) == 20);
static_assert(offsetof(BattleUnit, skillArmed) == 36);
static_assert(offsetof(BattleUnit, pendingMorale) == 38);
static_assert(offsetof(BattleUnit, effect1) == 44);
static_assert(offsetof(BattleUnit, attackPct) == 48);
static_assert(offsetof(BattleUnit, hitMarks) == 52);
static_assert(offsetof(BattleUnit, actionMarks) == 54);
static_assert(offsetof(BattleUnit, damagePct) == 56);
static_assert(offsetof(BattleUnit, reload) == 58);
static_assert(offsetof(BattleUnit, shownValue) == 62);
static_assert(offsetof(BattleUnit, copyMark) == 68);
static_assert(offsetof(BattleUnit, onField) == 76);
static_assert(offsetof(BattleUnit, commander) == 77);
static_assert(sizeof(BattleSide) == 516);
static_assert(offsetof(BattleSide, clan) == 480);
static_assert(offsetof(BattleSide, soldiers) == 482);
static_assert(offsetof(BattleSide, status) == 488);
static_assert(offsetof(BattleSide, siegeRate1) == 490);
static_assert(offsetof(BattleSide, assaultBonus) == 500);
static_assert(offsetof(BattleSide, cutOff) == 504);
static_assert(offsetof(BattleSide, countdown) == 512);
static_assert(offsetof(BattleSide, marker) == 514);
static_assert(sizeof(BattleFieldSlot) == 4);

// What the battle scene shows of one unit; it moves with the unit when the records are re-sorted.
struct BattleUnitView {
  int status = 0;  // 1 reserve, 2..6 lane + 2, 7 detached, 8 routed
  bool acted = false;
  int orderIndex = -1;
  int orderBonus = 0;
};

struct BattleOrderEntry {
  uint8_t side;
  uint8_t unit;
  uint16_t general;
  bool detached;
};

// The values the battle reads from the settings and the system tables; the program fills them
// before each battle, tests set them directly.
struct BattleConfig {
  int animation = 1;      // battle animation on
  int surrenderTest = 1;  // defenders must pass a test before they surrender
  int startOption = 0;    // 0 by hand, 1 automatic, 2 ask
  int turnLimit = 0;      // the player never takes part
  int debugAutoWin = 0;
  int debugWeather = -1;    // forced weather (debug), -1 none
  int debugSkillRate = -1;  // 0 always, 1 doubled, 2 never; -1 as drawn
  int eventBlock = 0;       // scenario events blocked
  int32_t params[36];       // system parameter table (melee percentages by kind pair)
  BattleConfig();
};

// The shared battle block.
struct BattleState {
  // Registered in the save file (see BattleRegisterFields).
  uint8_t mode = 0;  // 0 hidden, 1 shown on the map, 2 the player takes part
  uint16_t targetSiro = 0;
  uint8_t siroLevel = 0;  // siege strength
  uint8_t weather = 0;    // 0 clear, 1 rain, 2 fog
  uint8_t attackerSide = 0;
  uint8_t defenderSide = 1;
  BattleSide sides[kBattleSides];
  BattleFieldSlot slots[kBattleSides][kBattleUnits];
  // Derived from the castle and the lists when the battle opens (and again after a load).
  uint8_t siroSize = 0;
  uint8_t laneCount = 0;
  uint8_t siroFlag = 0;
  uint8_t roadLinked = 0;
  uint8_t attackerClan = 255, defenderClan = 255;
  uint32_t enemyClan = 255;
  uint32_t outcome = 0;
  uint8_t kuni = 255;
  uint8_t siroCopy[82] = {};
  uint16_t groupA[6], groupB[6];
  // Round state.
  uint8_t round = 0;
  uint8_t roundLimit = 20;
  uint8_t routFlag = 0;
  uint8_t loserSide = 0;
  uint32_t fieldBattle = 0;
  uint8_t defenderChoice = 0;
  // Siege work values.
  uint8_t siegeOrder = 0;
  uint8_t preSiegeDefenderStatus = 0;
  uint8_t defendersLeft = 0;
  // The board: unit views and the action order of a round.
  BattleUnitView views[kBattleSides][kBattleUnits];
  std::vector<BattleOrderEntry> order;
  int currentActor = -1;
  int orderMode = 0;
  // Results.
  int playerRole = -1;
  uint32_t crtRand = 1;  // run-time-library generator (order mode 2, treasure)
  bool needsRederive = false;
  BattleState();
};

extern BattleState g_Battle;
extern BattleConfig g_BattleConfig;

// Fresh unit and side values.
void ClearBattleUnit(BattleUnit& u);
void ClearBattleSide(BattleSide& s);

// Facing of a side: side 0 advances toward higher columns.
inline int Facing(int side) { return side == 0 ? 1 : -1; }
inline int Opposite(int side) { return side == 0 ? 1 : 0; }

// The run-time library's generator (214013 / 2531011, bits 16..30), seedable apart from the game's.
int CrtRand();

// ---- Save block ----
// The battle's fields in the order slg.dat stores them: mode 1, target 2, level 1, weather 1,
// attacker side 1, defender side 1, the two sides 1032, the first 32 bytes of the field slots.
inline constexpr int32_t kBattleSaveBytes = 1071;
// A registration for a load marks the battle to rebuild the rest on its next step.
using BattleFieldRegistrar = void (*)(void* address, int32_t size);
void BattleRegisterFields(BattleFieldRegistrar reg, bool forLoad);
// The same fields as one byte image, and back (false for a wrong size; nothing changes then).
void BattleSaveToBytes(uint8_t (&out)[kBattleSaveBytes]);
bool BattleSaveFromBytes(const uint8_t* data, size_t size);
// Rebuilds what the save block does not hold from the castle record and its lists.
void RederiveBattleState();

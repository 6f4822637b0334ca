// The strategy world: flat global tables of fixed-size records indexed by small ids.
// The records are the scenario-file and save-file layout, so every size and offset is fixed.
#pragma once
#include <cstddef>
#include <cstdint>

// Id spaces and the values that mean "none".
constexpr uint16_t kNoBusyo = 0xFFFF;
constexpr uint16_t NullBusyoId = 1999;  // a clan's head field when it has none
constexpr uint16_t kNoSiro = 0xFFFF;
constexpr uint16_t KakuuSiroId = 513;  // the player's fictional castle; never an index
constexpr uint8_t kNoDaimyo = 255;     // also "independent"
constexpr uint8_t kNoKuni = 255;
constexpr uint8_t kNoSlot = 255;

constexpr int kBusyoCount = 2000;
constexpr int kKuniSlots = 256;
constexpr int kKuniCount = 67;
constexpr int kDaimyoSlots = 256;
constexpr int kDaimyoFileCount = 64;
constexpr int kDaimyoInPlay = 60;
constexpr int kSiroSlots = 512;
constexpr int kSiroCount = 400;
constexpr int kDokuSlots = 254;
constexpr int kVassalSlots = 254;
constexpr int kVassalScan = 252;  // several scans cover only the first 252 vassal slots
constexpr int kItemCount = 128;
constexpr int kSkillCount = 255;
constexpr int kSkillDocCount = 41;
constexpr int kSiroListLen = 6;
constexpr int kBusyoNameLen = 26;
constexpr int kDaimyoNameLen = 10;
constexpr int kKuniNameLen = 8;
constexpr int kSiroNameLen = 8;

#pragma pack(push, 1)

struct BusyoStatBlock {
  uint8_t stat[4];   // stats 1 to 4
  uint8_t skill[4];  // skill ids, 0 none
};

struct BusyoRecord {
  uint16_t patron;               // 0x00
  uint16_t siro;                 // 0x02 castle, 513 fictional, 0xFFFF unplaced
  uint16_t siro2;                // 0x04 march target
  char name[kBusyoNameLen];      // 0x06
  uint16_t kind;                 // 0x20
  uint16_t stage;                // 0x22
  uint16_t experience;           // 0x24
  uint16_t progress;             // 0x26
  BusyoStatBlock cur;            // 0x28
  BusyoStatBlock stageBlock[3];  // 0x30, 0x38, 0x40
  uint8_t loyalty;               // 0x48
  uint8_t soldiers;              // 0x49
  uint8_t guns;                  // 0x4a
  uint8_t appearYear;            // 0x4b
  uint8_t appearKuni;            // 0x4c
  uint8_t appearDaimyo;          // 0x4d
  uint8_t marchFlag;             // 0x4e
  uint8_t cmdFlags;              // 0x4f
  uint8_t kizuna;                // 0x50
  uint8_t reserved51;            // 0x51
  uint16_t reserved52;           // 0x52
  uint16_t charFlag;             // 0x54
  uint16_t picture;              // 0x56
  uint16_t items[3];             // 0x58
  uint16_t flagWord;             // 0x5e
  uint16_t voice;                // 0x60
  uint16_t militaryWord;         // 0x62
  uint16_t growthMark;           // 0x64
  uint16_t seasonWord;           // 0x66
  int16_t listValue;             // 0x68
  uint16_t carryWord;            // 0x6a
  uint16_t trainingChoice;       // 0x6c
  uint16_t grownWord;            // 0x6e
  uint16_t contactDaimyo;        // 0x70
  uint8_t reserved72[4];         // 0x72
};

struct KuniRecord {
  char name[kKuniNameLen];  // 0x00
  uint8_t holder;           // 0x08
  uint8_t playerShare;      // 0x09
  uint16_t total;           // 0x0a
  uint16_t land;            // 0x0c
  uint16_t landLimit;       // 0x0e
  uint16_t town;            // 0x10
  uint16_t townLimit;       // 0x12
  uint16_t firstSiro;       // 0x14
  uint16_t lastSiro;        // 0x16
  uint8_t neighbours[8];    // 0x18
  uint8_t mood;             // 0x20
  uint8_t region;           // 0x21
  uint8_t eventState;       // 0x22 (5 = closed by weather)
  uint8_t recruitBase;      // 0x23
  uint8_t doneFlags;        // 0x24
  uint8_t applicants;       // 0x25
  uint8_t frontier;         // 0x26
  uint8_t dokuMode;         // 0x27
  uint8_t passFlags;        // 0x28
  uint8_t reserved29[5];    // 0x29
};

struct DaimyoRecord {
  char name[kDaimyoNameLen];       // 0x000
  uint16_t head;                   // 0x00a
  uint8_t rank;                    // 0x00c
  uint8_t prestige;                // 0x00d
  uint16_t heirs[16];              // 0x00e
  uint16_t revenue;                // 0x02e
  uint16_t soldiers;               // 0x030
  uint16_t money;                  // 0x032
  uint16_t vassals[kVassalSlots];  // 0x034
  uint8_t allies[5];               // 0x230
  uint8_t allyStanding[5];         // 0x235
  uint8_t gunRate;                 // 0x23a
  uint8_t gunsPerPurchase;         // 0x23b
  uint8_t cp;                      // 0x23c
  uint8_t renown;                  // 0x23d
  uint8_t reserved23e;             // 0x23e
  uint8_t targets[5];              // 0x23f
  uint8_t turnFlags;               // 0x244
  uint8_t gunsLeft;                // 0x245
  uint8_t homeKuni;                // 0x246
  uint8_t truce;                   // 0x247
  uint16_t actingHead;             // 0x248
  uint8_t successor;               // 0x24a
  uint8_t title;                   // 0x24b
  uint8_t titleKuni;               // 0x24c
  uint8_t clanSet[5];              // 0x24d
  uint8_t reserved252[4];          // 0x252
};

struct SiroBusyoRef {
  uint8_t force;  // clan id, or 255 for the independents' list
  uint8_t slot;   // 255 = empty entry
};

struct SiroRecord {
  char name[kSiroNameLen];           // 0x00
  uint16_t neighbours[5];            // 0x08
  uint8_t links[5];                  // 0x12 bit 0 = road
  uint8_t level;                     // 0x17
  uint8_t maxLevel;                  // 0x18
  uint8_t owner;                     // 0x19
  uint8_t lord;                      // 0x1a
  uint8_t turnFlags;                 // 0x1b
  SiroBusyoRef list1[kSiroListLen];  // 0x1c stationed
  SiroBusyoRef list2[kSiroListLen];  // 0x28 held here while marching
  uint8_t aiState;                   // 0x34
  uint8_t allyMark;                  // 0x35
  uint8_t pathMark;                  // 0x36
  uint8_t reserved37;                // 0x37
  uint8_t kuni;                      // 0x38 (255 = slot not in use)
  uint8_t battlefield;               // 0x39
  uint8_t battleFlag;                // 0x3a
  uint8_t treasureChance;            // 0x3b
  uint8_t reserved3c[2];             // 0x3c
  uint16_t treasure[10];             // 0x3e
};

struct ItemRecord {
  char name[32];      // 0x00
  uint16_t cls;       // 0x20 usable-by class 1 to 6
  uint16_t statKind;  // 0x22
  uint16_t bonus;     // 0x24
  uint8_t reserved26[4];
  char text[48];  // 0x2a
};

struct SkillEffect {
  uint16_t kind;
  uint16_t value;
};

struct SkillRecord {
  char name[16];           // 0x00
  SkillEffect effects[7];  // 0x10
  uint8_t cutin;           // 0x2c non-zero: the battle shows the skill's cut-in with its pictures
  uint8_t reserved2d[3];   // 0x2d
  char text[68];           // 0x30
};

struct SkillDocRecord {
  char text[7][33];
  uint8_t spare;
};

#pragma pack(pop)

static_assert(sizeof(BusyoStatBlock) == 8);
static_assert(sizeof(BusyoRecord) == 118);
static_assert(offsetof(BusyoRecord, siro) == 0x02);
static_assert(offsetof(BusyoRecord, siro2) == 0x04);
static_assert(offsetof(BusyoRecord, name) == 0x06);
static_assert(offsetof(BusyoRecord, kind) == 0x20);
static_assert(offsetof(BusyoRecord, stage) == 0x22);
static_assert(offsetof(BusyoRecord, experience) == 0x24);
static_assert(offsetof(BusyoRecord, progress) == 0x26);
static_assert(offsetof(BusyoRecord, cur) == 0x28);
static_assert(offsetof(BusyoRecord, stageBlock) == 0x30);
static_assert(offsetof(BusyoRecord, loyalty) == 0x48);
static_assert(offsetof(BusyoRecord, soldiers) == 0x49);
static_assert(offsetof(BusyoRecord, guns) == 0x4a);
static_assert(offsetof(BusyoRecord, appearYear) == 0x4b);
static_assert(offsetof(BusyoRecord, appearKuni) == 0x4c);
static_assert(offsetof(BusyoRecord, appearDaimyo) == 0x4d);
static_assert(offsetof(BusyoRecord, marchFlag) == 0x4e);
static_assert(offsetof(BusyoRecord, cmdFlags) == 0x4f);
static_assert(offsetof(BusyoRecord, kizuna) == 0x50);
static_assert(offsetof(BusyoRecord, reserved52) == 0x52);
static_assert(offsetof(BusyoRecord, charFlag) == 0x54);
static_assert(offsetof(BusyoRecord, picture) == 0x56);
static_assert(offsetof(BusyoRecord, items) == 0x58);
static_assert(offsetof(BusyoRecord, flagWord) == 0x5e);
static_assert(offsetof(BusyoRecord, voice) == 0x60);
static_assert(offsetof(BusyoRecord, militaryWord) == 0x62);
static_assert(offsetof(BusyoRecord, growthMark) == 0x64);
static_assert(offsetof(BusyoRecord, seasonWord) == 0x66);
static_assert(offsetof(BusyoRecord, listValue) == 0x68);
static_assert(offsetof(BusyoRecord, carryWord) == 0x6a);
static_assert(offsetof(BusyoRecord, trainingChoice) == 0x6c);
static_assert(offsetof(BusyoRecord, grownWord) == 0x6e);
static_assert(offsetof(BusyoRecord, contactDaimyo) == 0x70);
static_assert(offsetof(BusyoRecord, reserved72) == 0x72);

static_assert(sizeof(KuniRecord) == 46);
static_assert(offsetof(KuniRecord, holder) == 0x08);
static_assert(offsetof(KuniRecord, playerShare) == 0x09);
static_assert(offsetof(KuniRecord, total) == 0x0a);
static_assert(offsetof(KuniRecord, land) == 0x0c);
static_assert(offsetof(KuniRecord, landLimit) == 0x0e);
static_assert(offsetof(KuniRecord, town) == 0x10);
static_assert(offsetof(KuniRecord, townLimit) == 0x12);
static_assert(offsetof(KuniRecord, firstSiro) == 0x14);
static_assert(offsetof(KuniRecord, lastSiro) == 0x16);
static_assert(offsetof(KuniRecord, neighbours) == 0x18);
static_assert(offsetof(KuniRecord, mood) == 0x20);
static_assert(offsetof(KuniRecord, region) == 0x21);
static_assert(offsetof(KuniRecord, eventState) == 0x22);
static_assert(offsetof(KuniRecord, recruitBase) == 0x23);
static_assert(offsetof(KuniRecord, doneFlags) == 0x24);
static_assert(offsetof(KuniRecord, applicants) == 0x25);
static_assert(offsetof(KuniRecord, frontier) == 0x26);
static_assert(offsetof(KuniRecord, dokuMode) == 0x27);
static_assert(offsetof(KuniRecord, passFlags) == 0x28);
static_assert(offsetof(KuniRecord, reserved29) == 0x29);

static_assert(sizeof(DaimyoRecord) == 598);
static_assert(offsetof(DaimyoRecord, head) == 0x00a);
static_assert(offsetof(DaimyoRecord, rank) == 0x00c);
static_assert(offsetof(DaimyoRecord, prestige) == 0x00d);
static_assert(offsetof(DaimyoRecord, heirs) == 0x00e);
static_assert(offsetof(DaimyoRecord, revenue) == 0x02e);
static_assert(offsetof(DaimyoRecord, soldiers) == 0x030);
static_assert(offsetof(DaimyoRecord, money) == 0x032);
static_assert(offsetof(DaimyoRecord, vassals) == 0x034);
static_assert(offsetof(DaimyoRecord, allies) == 0x230);
static_assert(offsetof(DaimyoRecord, allyStanding) == 0x235);
static_assert(offsetof(DaimyoRecord, gunRate) == 0x23a);
static_assert(offsetof(DaimyoRecord, gunsPerPurchase) == 0x23b);
static_assert(offsetof(DaimyoRecord, cp) == 0x23c);
static_assert(offsetof(DaimyoRecord, renown) == 0x23d);
static_assert(offsetof(DaimyoRecord, reserved23e) == 0x23e);
static_assert(offsetof(DaimyoRecord, targets) == 0x23f);
static_assert(offsetof(DaimyoRecord, turnFlags) == 0x244);
static_assert(offsetof(DaimyoRecord, gunsLeft) == 0x245);
static_assert(offsetof(DaimyoRecord, homeKuni) == 0x246);
static_assert(offsetof(DaimyoRecord, truce) == 0x247);
static_assert(offsetof(DaimyoRecord, actingHead) == 0x248);
static_assert(offsetof(DaimyoRecord, successor) == 0x24a);
static_assert(offsetof(DaimyoRecord, title) == 0x24b);
static_assert(offsetof(DaimyoRecord, titleKuni) == 0x24c);
static_assert(offsetof(DaimyoRecord, clanSet) == 0x24d);
static_assert(offsetof(DaimyoRecord, reserved252) == 0x252);

static_assert(sizeof(SiroBusyoRef) == 2);
static_assert(sizeof(SiroRecord) == 82);
static_assert(offsetof(SiroRecord, neighbours) == 0x08);
static_assert(offsetof(SiroRecord, links) == 0x12);
static_assert(offsetof(SiroRecord, level) == 0x17);
static_assert(offsetof(SiroRecord, maxLevel) == 0x18);
static_assert(offsetof(SiroRecord, owner) == 0x19);
static_assert(offsetof(SiroRecord, lord) == 0x1a);
static_assert(offsetof(SiroRecord, turnFlags) == 0x1b);
static_assert(offsetof(SiroRecord, list1) == 0x1c);
static_assert(offsetof(SiroRecord, list2) == 0x28);
static_assert(offsetof(SiroRecord, aiState) == 0x34);
static_assert(offsetof(SiroRecord, allyMark) == 0x35);
static_assert(offsetof(SiroRecord, pathMark) == 0x36);
static_assert(offsetof(SiroRecord, kuni) == 0x38);
static_assert(offsetof(SiroRecord, battlefield) == 0x39);
static_assert(offsetof(SiroRecord, battleFlag) == 0x3a);
static_assert(offsetof(SiroRecord, treasureChance) == 0x3b);
static_assert(offsetof(SiroRecord, treasure) == 0x3e);

static_assert(sizeof(ItemRecord) == 90);
static_assert(offsetof(ItemRecord, cls) == 0x20);
static_assert(offsetof(ItemRecord, statKind) == 0x22);
static_assert(offsetof(ItemRecord, bonus) == 0x24);
static_assert(offsetof(ItemRecord, text) == 0x2a);
static_assert(sizeof(SkillRecord) == 116);
static_assert(offsetof(SkillRecord, effects) == 0x10);
static_assert(offsetof(SkillRecord, cutin) == 0x2c);
static_assert(offsetof(SkillRecord, text) == 0x30);
static_assert(sizeof(SkillDocRecord) == 232);

// The tables (all zeroed with the world and saved whole).
extern BusyoRecord BusyoTable[kBusyoCount];
extern KuniRecord KuniTable[kKuniSlots];
extern DaimyoRecord DaimyoTable[kDaimyoSlots];
extern SiroRecord SiroTable[kSiroSlots];
extern uint16_t DokuBusyoList[kDokuSlots];
extern ItemRecord ItemTable[kItemCount];
extern int32_t ItemStock[kItemCount + 1];  // entry 0 is the path search's result word
extern SkillRecord SkillTable[kSkillCount];
extern SkillDocRecord SkillDocTable[kSkillDocCount];
extern uint8_t BusyoFlagTable[kBusyoCount];
extern uint8_t KuniDaimyoSet[kKuniCount][5];
extern uint8_t KuniDaimyoCount[kKuniCount];

// Single values of the world (saved with it).
extern uint8_t PlayerDaimyoId;
extern uint8_t CurrentKuniId;
extern uint8_t SeasonIndex;
extern uint16_t GameYear;
extern uint16_t TurnCounter;
extern uint8_t TurnSubPhase;
extern uint8_t ActingSideFlag;
// The clan-order position of the military, politics or strategy phase under way (60 once the
// phase has walked every clan); in the world file, so a load resumes at the same clan.
extern uint8_t SlgPhaseIndex;
extern int32_t ScenarioNumber;
extern int32_t FirstTurnFlag;
extern int32_t UnificationStage;
extern int32_t UnificationDeclared;
extern int32_t StoryEventBlockFlag;  // while set, story events do not start
extern int32_t GameStartTime;
extern uint8_t ClanOrderList[64];
extern uint8_t MarchOrderList[254];
extern int32_t TurnWords[2];          // two further turn words cleared with the world
extern uint8_t NoKakuuSiroFlag;       // auto-run's byte; read and set it through IsAutoRun / SetAutoRun
extern int32_t PreferredStartDaimyo;  // -1: clan 0
extern int32_t StartSlot;             // -1: none

// Convenience views; null for ids outside the table or a sentinel.
BusyoRecord* BusyoPtr(uint32_t id);
SiroRecord* SiroPtr(uint32_t id);      // null for 0xFFFF, 513 and >= 512
DaimyoRecord* DaimyoPtr(uint32_t id);  // null for >= 256
KuniRecord* KuniPtr(uint32_t id);      // null for >= 256
// A castle slot in use: id below 512 and its country byte is not 255.
bool IsSiroInUse(uint32_t id);

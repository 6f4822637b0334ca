#include "world/world_tables.h"

BusyoRecord BusyoTable[kBusyoCount];
KuniRecord KuniTable[kKuniSlots];
DaimyoRecord DaimyoTable[kDaimyoSlots];
SiroRecord SiroTable[kSiroSlots];
uint16_t DokuBusyoList[kDokuSlots];
ItemRecord ItemTable[kItemCount];
int32_t ItemStock[kItemCount + 1];
SkillRecord SkillTable[kSkillCount];
SkillDocRecord SkillDocTable[kSkillDocCount];
uint8_t BusyoFlagTable[kBusyoCount];
uint8_t KuniDaimyoSet[kKuniCount][5];
uint8_t KuniDaimyoCount[kKuniCount];

uint8_t PlayerDaimyoId = 0;
uint8_t CurrentKuniId = 0;
uint8_t SeasonIndex = 0;
uint16_t GameYear = 0;
uint16_t TurnCounter = 0;
uint8_t TurnSubPhase = 0;
uint8_t ActingSideFlag = 0;
uint8_t SlgPhaseIndex = 0;
int32_t ScenarioNumber = 0;
int32_t FirstTurnFlag = 1;
int32_t UnificationStage = 0;
int32_t UnificationDeclared = 0;
int32_t StoryEventBlockFlag = 0;
int32_t GameStartTime = 0;
uint8_t ClanOrderList[64];
uint8_t MarchOrderList[254];
int32_t TurnWords[2];
uint8_t NoKakuuSiroFlag = 0;
int32_t PreferredStartDaimyo = -1;
int32_t StartSlot = -1;

BusyoRecord* BusyoPtr(uint32_t id) { return id < kBusyoCount ? &BusyoTable[id] : nullptr; }
SiroRecord* SiroPtr(uint32_t id) { return id < kSiroSlots ? &SiroTable[id] : nullptr; }
DaimyoRecord* DaimyoPtr(uint32_t id) { return id < kDaimyoSlots ? &DaimyoTable[id] : nullptr; }
KuniRecord* KuniPtr(uint32_t id) { return id < kKuniSlots ? &KuniTable[id] : nullptr; }
bool IsSiroInUse(uint32_t id) { return id < kSiroSlots && SiroTable[id].kuni != kNoKuni; }

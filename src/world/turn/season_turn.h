// The season turn: calendar, growth of the countries, income every season and upkeep once a year,
// random events, clan ranks, growth of generals, new generals, successions, the clan order, and
// the season's income message.
#pragma once
#include <cstdint>

int RunSeasonTurn();  // step routine
void AnnounceTurn();
int UpdateDaimyoRank();    // step routine
int RunBusyoAppearance();  // step routine
int RunGrowBusyo();        // step routine: generals' growth and the grown-generals dialog
int RunUpkeep();           // step routine: the yearly upkeep with the debt stages
void SeasonStart();
void GrowKuni();
void PayIncome();
void ShuffleClanOrder();
void SeasonEndWork();  // command points .. loyalty drift, in one frame

void RecalcAllRevenues();
void RecalcKuniOwners();
void RecalcPlayerShares();
void RecalcSoldierTotals();
void RecalcCommandPoints();
void RecalcRecruitBases();
void RecalcGunRates();
void MoveIndependentGenerals();
void DriftLoyalty();

// The growth rule for one general; true when he rose a stage.
bool StageUpBusyo(uint32_t busyo);
// The head's third stat / 5 plus the rank bonus (the bonus is one less when the quotient is 10 or
// more).
int BaseCommandPoints(int clan);
// The clan's upkeep of the year.
int DaimyoUpkeep(int clan);

uint8_t MoveHeirToEnd(uint32_t clan, uint32_t busyo);
uint8_t FindHeirIndex(uint32_t clan, uint32_t busyo);
uint8_t FindFreeClanOfBusyo(uint32_t busyo);
uint8_t GetKuniIdByName(const char* name);
const char* GetRegionName(int region);

// Cost, cap and yield rules of the player's commands, as pure functions of the world tables (the
// command routines, the menus and the AI use the same numbers). Fractions follow the world's float
// rule (world/float_rules.h). Every figure that lands in a narrow field is kept in its range here:
// callers never see a wrapped value.
#pragma once
#include <cstdint>

// ---- Military ----
// Share of the clan's koku it may keep as soldiers.
float GetRecruitRatio(uint32_t clan);
// Soldiers the player's clan may still hire: koku x ratio - soldiers, never below 0, and never above
// what 252 vassals of 50 soldiers can hold.
int GetHireLimit(uint32_t clan);
// Applicants of a country for the player's first recruitment there this turn: recruit base x share
// / 100, raised by the best skill-26 strength among the player's generals there. At most 254 (255
// means "not recruited here yet"). busyoOut (optional) gets the skilled general, 0xFFFF none.
int GetKuniApplicants(uint8_t kuni, uint16_t* busyoOut = nullptr);
// Money price of one gun for the player in a country (skill-25 discount); at least 1.
int GetGunPrice(uint8_t kuni);
int GetRewardCost(int choice);
inline int GetRewardMinChoice() { return 0; }
bool IsCommandCostAffordable(int choice);
int GetInfoCost(int rank);
inline int GetVisitCpCost(int met) { return met == 0 ? 1 : 0; }

// ---- Domestic ----
inline constexpr int kFloodControlCost = 100;
inline constexpr int kFloodControlCp = 2;
inline constexpr int kFreeMarketCp = 1;
inline constexpr int kLevyCp = 2;
inline constexpr int kCastleWorksCp = 1;
inline constexpr int kMoveCp = 1;
int FloodControlCost();
int FreeMarketCost();  // the current country's town size / 10
int SiroWorkCost(uint16_t busyo, int levels);
int GetSiroLevelCap(uint32_t clan, uint16_t siro);
bool IsSiroWorkCostAffordable(uint16_t busyo, int levels);
int MoveCostPerBusyo(int rank);

// Yields of one carried-out command, from the general's third stat, the skill strength and the
// draws; each truncated toward zero and not yet capped by the country's limits.
int FloodControlGain(int stat3, int draw01, int skill30);
int FreeMarketGain(int stat3, int town, int draw01, int skill31);
// The levy's money: (5 x koku + 2 x town) x 0.25 x (draw + 100) / 1000, draw 0..200; saturates
// at 255.
int LevyAmount(int koku, int town, int draw200);
// The levy's mood drop: (20 - x) x ((draw + 50) / 100) x ((100 - skill28) / 100), draw 0..99.
int LevyMoodDrop(int x, int draw100, int skill28);
// The mood drop of recruiting v soldiers into a country of that value (0 when the value is 0).
int RecruitMoodDrop(int mood, int v, int value);

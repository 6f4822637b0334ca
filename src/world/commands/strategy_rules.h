// Rules of the strategy and diplomacy commands as functions of the world tables: attack and plot
// prices, the chance tests, and the alliance bookkeeping shared with the AI. Draws go through
// SlgRandom, so tests script them with the game's random override.
#pragma once
#include <cstdint>

#include "world/ai/ai_common.h"  // DaimyoTier, shared with the clans' thinking

inline constexpr int kPoachCost = 50;  // poaching, and the base price of a plot
inline constexpr int kSecretContactCost = 20;
inline constexpr int kDiplomacyCost = 40;
inline constexpr int kPlotCp = 3;
inline constexpr int kPoachCp = 3;
inline constexpr int kAllianceCounter = 20;
inline constexpr int kPoachedLoyalty = 5;
inline constexpr int kSiroLevelCap = 40;

// Set from the debug menu: every plot succeeds and takes its castle.
extern uint8_t DebugPlotSwitch;

// Money one general costs to send against a castle (the player's clan's koku sets the factor).
int InvadeCostPerBusyo(uint16_t busyo);
// The player's generals ordered to march on the castle.
int CountBusyoMarchingTo(uint16_t siro);
// Plot price for a general: 50 - x - x * r / 4 with x = second stat / 5, r drawn 0..3; at least 0.
int PlotCost(uint16_t busyo);
bool PlotSucceeds(int x);
// The castle level after a successful plot from level, with the general's skill-34 strength (0
// none); draws 0..9 without the skill. 0 means the castle falls.
int PlotNewLevel(int level, int skill34);
// Whether the target general answers a secret contact; sets his contact word and bit 3 (and the
// general's ordered bit), spends 1 CP and 20 money of the general's clan.
bool TrySecretContact(uint16_t busyo, uint16_t target);
// The secret-contact score before the roll (exposed for the score tables).
int SecretContactScore(uint16_t busyo, uint16_t target);

bool IsAllied(uint32_t a, uint32_t b);
void FormAlliance(uint32_t a, uint32_t b);
// Ends the alliance between the player and clan t: ids and their counters move up together.
void BreakAlliance(uint32_t t);
// Every neighbour of every country t holds is held by t, the player or one of t's allies.
bool IsDaimyoEnclosed(uint32_t t);
bool DiplomacySucceeds(uint32_t t, uint16_t busyo);
// Gauge value of the poaching dialog (0..200), also given to the open dialog as value slot 3.
int SetPoachGauge(int keep, int a, int b);
// The poaching score before the roll (clan c of target T, general G).
double PoachScore(uint32_t c, uint16_t target, uint16_t busyo);
bool PoachSucceeds(uint32_t c, uint16_t target, uint16_t busyo);

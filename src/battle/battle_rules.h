// The rules of the lane battle: field geometry, strength and morale, deployment, rounds and
// combat, the battle AI, the castle siege and the results. Every function works on g_Battle and
// the world tables; random draws go through SlgRandom.
#pragma once
#include <cstdint>
#include <string>

#include "battle/battle_state.h"

// ---- Field geometry (side, lane of the unit standing there) ----
// The unit in a field slot, or null.
BattleUnit* SlotUnit(int side, int lane);
int SlotColumn(int side, int lane);
bool EnemyAhead(int side, int lane);
bool EnemyBehindLane(int side, int lane);
bool EnemyNextLane(int side, int lane);
bool EnemyTwoAhead(int side, int lane);
bool EnemyAheadBehindLane(int side, int lane);
bool EnemyAheadNextLane(int side, int lane);
bool FriendBehindLane(int side, int lane);
bool FriendNextLane(int side, int lane);

// ---- Strength and morale ----
int GeneralLeaning(int side, int lane);
int UnitStrength(int side, int unit);
int SlotStrength(int side, int lane);
bool StrengthCheck(int side, int lane);
int EffectiveMorale(int side, int unit);
int BattleParam(int attackerKind, int targetKind);
int MoraleRatioMultiplier(int ratio, bool random);
int DistanceFactor(int d);
int SiegeEndurance(int side);
int SideClanMoney(int side);
// Current morale total x 100 / starting total; 0 when the side started without morale.
int SideMoraleRatio(int side);
void ResetUnitRound(int side, int unit);
void ApplyPendingMorale(int side, int unit);
void SideMoraleTotal(int side);
void SideSoldierTotal(int side);
void CountdownRound();
bool MoraleCollapse(int side);
void MergeSameGeneral();
// Clan morale of a general's side (50 for independents).
int ClanMorale(int clan);

// ---- Deployment and the board ----
void SplitUnits();
void SplitUnit(int side, int dest, int src, int pieces);
// Start columns of side 0 (side 1 uses 7 - value).
int FormationColumn(int sizeClass, int formation, int lane);
void AiDeploy(int side);
void RefreshBattlePlacement();
void BuildBattleOrder();
// Moves the current actor to the first entry that has not acted; -1 when none is left.
int AdvanceActor();
int CommanderUnit(int side);  // last unit with the commander mark, -1 none

// ---- Rounds ----
void ResetBattleCounters();
void SkillPhase();
bool SkillEffectAllowed(int effectKind);
// Units receiving a skill's effect (side, unit pairs packed as side * 8 + unit).
int SkillTargets(int side, int unit, int targetKind, int* out);
void ApplySkillEffect(int side, int unit, int effectKind, int value);
// One unit's turn with the order given (AI or player); runs the action and the after-checks.
void UnitTurn(int side, int unit, int order);
void UnitAction(int side, int unit, int order);
void RoundEnd();
// The field battle after deployment, all rounds to the final status. Returns when it ended.
void BeginBattleRounds();
// One round (true when the round loop is over).
bool BattleRoundStep();
// The close of the field battle; false while the player still chooses for a beaten defender.
bool FinishBattleRounds();
void ClanMoraleAfterBattle();

// ---- Battle AI ----
int SideRetreatChoice(int side, int deflt, int mode);
int AiStance(int side);
int GunScore(int side, int lane);
int AttackScore(int side, int lane);
int ChargeScore(int side, int lane);
bool KeepPlace(int side, int lane);
// The order the AI gives the unit in the lane (255 nothing).
int BattleAiOrder(int side, int lane);
// The side's hold-or-retreat after the acting unit's order.
void BattleAiSideDecision(int side, int lane);

// ---- Siege and results ----
void BeginBattleSiege();
// One siege round (true when the siege is over).
bool BattleSiegeStep();
int BattleSiegeAiOrder();
void SiegeAction(int order);
void SiegeSurrender();
void FinishBattleSiege();
// The results written back to the world; false while the player decides on a surrendering
// general. BattleResults runs the steps to the end.
bool BattleResultsStep();
void BattleResults();
// The castle treasure the player finds in a taken castle; the item, or 0.
int BattleAftermathFind();
int BusyoGainExperience2(uint32_t busyo);
int BusyoGainExperience3(uint32_t busyo);
int BusyoGainExperience4(uint32_t busyo, int several, int count);

// ---- Set-up ----
int DecideBattleMode(int siro);
void BattleBuildRosters();
void DrawBattleWeather();
void ClearBattleGroups();
void BuildBattleGroups();

// The battle is fought by hand in its scene (BattleMode 2); with the battle animation setting on.
bool BattleShownInScene();
bool BattleAnimated();
// The short wait after an action shown without its animation.
void BattleShortWait();
// The unit's general speaks a voice line in the scene (nothing for an empty unit or elsewhere).
void PlayBattleVoice(int side, int unit, int line);

// Messages and waits, shown only when the battle is not hidden.
void BattleMessage(const char* text);
// A message that tells how the battle ended (a side routed, retreated or was wiped out, the castle
// fell, held or opened): shown as BattleMessage and kept for the map afterwards.
void BattleResultMessage(const char* text);
// The last two result lines of the current battle, one a line (empty before any).
const std::string& BattleResultText();
void BattleWait();
// The battle scene has been left: later messages of the battle go to the map.
void BattleSceneLeft();

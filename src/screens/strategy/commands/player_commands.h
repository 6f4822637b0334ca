// The player's command routines: the two command phases, their dispatchers and the commands.
// Every routine is a step routine (core/step_machine.h) driven once per logic step; waits for the
// player are returns with the routine left at its waiting step. Everything the player sees or
// answers goes through the strategy scene port (SlgScene()).
#pragma once
#include <cstdint>
#include <span>

#include "world/commands/command_work.h"

// Wait after a command shows its result.
inline constexpr int kResultWait = 200;
inline constexpr int kRefusalWait = 100;

// Scene results the commands read.
inline constexpr int kResultBack = 2;      // back out of a map choice
inline constexpr int kResultConfirm = 18;  // dialog confirmed
inline constexpr int kResultDialogBack = 19;

// Phases.
int PlayerMilitaryPhase();
int PlayerCommandPhase();
int RunMilitaryCommand();
int DomesticCommandDispatch();
void BeginPoliticsCommandPhase();
void ResetPoliticsCommandMarks();
void EndCommandPhaseDisplay();
void ResetPlayerTurnMarks();
void EnterMilitaryMenu();
void LeaveMilitaryMenu();

// Military menu and information.
int CmdRecruitSoldiers();
int CmdTrain();
int CmdReward();
int CmdDistributeGuns();
int CmdBusyoInfo();
int CmdSelectKuniInfo();
int CmdDaimyoInfo();
int CmdVisitBusyo();
// Domestic.
int CmdFloodControl();
int CmdFreeMarket();
int CmdLevy();
int CmdExtendCastle();
int CmdMoveBusyo();
int CmdStationBusyo();
// Diplomacy commands of the politics menu, run by the dispatcher; built with the diplomacy rules.
int CmdDiplomacy();
int CmdPoach();
// Strategy phase (menu 3).
void BeginStrategyCommandPhase();
int StrategyCommandDispatch();
int CmdDeclareUnification();
int CmdInvade();
int CmdPlot();
int CmdSecretContact();

// Shared pieces of the command routines.
namespace cmd {
// The step's first pass (sub-step 0 -> 1): true once.
bool FirstPass();
// The routine's command is greyed now: shows the refusal message.
bool Refused(int command);
// The same, then waits `wait` frames and jumps to `step` (true: the caller returns and runs on).
bool RefuseAndJump(int command, int wait, int step);
// The refusal line: `why`, or the general one when there is no reason.
void ShowRefusal(const char* why);
// The open dialog's answer: true once confirmed. Backing out closes the dialog and jumps to
// `backStep`; until then, and after that, false.
bool DialogConfirmed(int backStep);
// The common way out: marks cleared, nothing selectable, dialog closed, empty message, no panel
// subject, the current country selected again (when reselect), the map focus restored.
void LeaveCommand(bool reselect);
// LeaveCommand, then the routine's end (its return value).
int FinishCommand(bool reselect);
// Waits for one marked general of the player's clan that the command may take: 1 chosen (in
// g_CommandWork.busyo), 0 waiting, -1 backed out. A general the availability check refuses is
// unmarked and the reason is shown.
int ChooseBusyo(int command, int selMode, const char* prompt);
// The marked general, checked as ChooseBusyo does but without its prompt: the Pick says what came
// of this frame (a refused general is unmarked and the reason shown).
enum class Pick { kBack, kNone, kRefused, kChosen };
Pick TakeMarkedBusyo(int command);
// Start of a command on the current country: panel subject `id`, the map focus remembered and
// moved to the current country.
void BeginOnCurrentKuni(int id);
// The answer to an open confirmation dialog: confirmed moves to the next step; backing out closes
// the dialog, selects `backCastle` again and jumps to `backStep`.
void AwaitConfirm(uint16_t backCastle, int backStep);
// The dismissal question over the general list dialog, for g_CommandWork.target: true once
// answered. A yes dismisses him when `mayDismiss` allows it and refreshes the list.
bool DismissalAnswered(bool (*mayDismiss)(uint16_t busyo));
// The general list dialog's dismiss button: true when one was pressed, his number then in
// g_CommandWork.target.
bool DismissalAsked();
// Scene set-up of a command phase: `clearFocus` drops the country focus, `clearPanel` the panel
// subject.
void SetUpPhaseScene(int phase, bool clearFocus, bool clearPanel);
// A menu code and the routine it runs.
struct MenuEntry {
  uint8_t code;
  int (*routine)();
};
// The dispatcher of command menu `menu`: runs the chosen code's routine (then `afterCommand`, when
// given) and takes the next code from the scene; code 15 leaves the menu.
int DispatchMenu(int menu, std::span<const MenuEntry> entries, void (*afterCommand)(uint8_t code));
void Voice(uint16_t busyo, int line);
void SpendMoney(int amount);
void SpendCp(int amount);
}  // namespace cmd

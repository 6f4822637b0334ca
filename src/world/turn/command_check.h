// Command availability: one check decides whether a strategy command can run now and, if not, why.
// It fills a short list of refusal reason codes (texts from one fixed table) and the greyed flag;
// the menus show the text of the last code. RefreshCommandMenus re-runs the check for every command
// of one menu and keeps the greyed entries in CommandGreyBits.
#pragma once
#include <cstddef>
#include <cstdint>

// Command ids with a rule or a label.
enum SlgCommandId : uint8_t {
  kCmdReward = 0,
  kCmdRecruit = 1,
  kCmdGuns = 2,
  kCmdCastleWorks = 4,
  kCmdFloodControl = 5,
  kCmdFreeMarket = 6,
  kCmdLevy = 7,
  kCmdMove = 8,
  kCmdPlot = 9,
  kCmdAlliance = 10,
  kCmdPoach = 11,
  kCmdInvade = 13,
  kCmdClanInfo = 14,
  kCmdEndPhase = 15,
  kCmdTitle = 17,
  kCmdSave = 28,
  kCmdVisit = 32,
  kCmdSecretContact = 33,
  kCmdTraining = 34,
  kCmdReserve = 35,
  kCmdBusyoInfo = 36,
  kCmdContactChosen = 37,
  kCmdKuniInfo = 40,
  kCmdQuickSave = 41,
  kCmdQuickLoad = 42,
  kCmdSystem = 43,
  kCmdInfo = 44,
  kCmdBack = 45,
  kCmdSettings = 46,
  kCmdLoad = 47,
  kCmdDeclareUnification = 48,
};

inline constexpr int kReasonCount = 86;
inline constexpr int kReasonTextBytes = 80;
inline constexpr int kReasonListCapacity = 16;
// Reason codes used outside the check.
inline constexpr uint8_t kReasonNotHead = 4;

extern uint8_t CommandReasonList[kReasonListCapacity];
extern uint8_t CommandReasonCount;
extern uint8_t CommandUnavailable;
extern uint16_t CommandSourceSiro;
extern uint8_t CommandSelCount;
extern uint8_t CommandGreyBits[32];
extern uint16_t CommandMenuWord;

// The reason text of a code (80 bytes, "" for empty entries and codes out of range).
const char* CommandRefusalReason(int code);
// Returns 1 when refused.
int CheckCommandAvailable(int command, uint16_t busyo, uint16_t siro, uint8_t clan, uint16_t other);
void SetCommandReason(uint8_t code);
void ClearCommandReasons();
// The text of the last code, or null when the list is empty.
const char* GetCommandReasonText();
void RefreshCommandMenus(int menu);
bool IsCommandGreyed(int command);
// Menu label: "%s：CP%d" for commands that cost CP, the plain name for the others, "" without one.
void FormatCommandLabel(int command, char* out, size_t size);
bool CanTargetSiroFromBusyo(uint16_t busyo, uint16_t siro, int command);
bool HasTargetSiroNearBusyo(uint16_t busyo, int command);
// Command ids tested by RefreshCommandMenus for menu 0..5 (255 ends or skips).
const uint8_t* CommandMenuList(int menu, int& count);

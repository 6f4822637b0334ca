// The state of the player's command flows that a save carries: the menu item being run and the
// running command's loop positions. It lives with the world so every program that saves or loads a
// game (the game, the tools) keeps the same play-state blocks.
#pragma once
#include <cstdint>

// Code of the menu item being run (255 none); the world file keeps it.
extern uint8_t SlgCommandCode;

// Loop positions and choices of the running command (none of it outlives a command).
struct CommandWork {
  uint16_t busyo = 0xFFFF;   // chosen general
  uint16_t siro = 0xFFFF;    // chosen / source castle
  uint16_t target = 0xFFFF;  // destination castle or target general
  int32_t levels = 0;        // castle works levels; stationing free places
  int32_t count = 0;         // recruit / gun count; marked generals
  int32_t hireLimit = 0;
  uint8_t kuni = 255;   // country the command works on
  int32_t speaker = 0;  // training: who speaks
  int32_t trained[10] = {};
  int32_t trainedCount = 0;
  int32_t value = 0;         // last value read back from a dialog
  uint8_t chosenKuni = 255;  // information commands
  uint8_t chosenClan = 255;
  bool focused = false;
};
extern CommandWork g_CommandWork;
void ResetCommandWork();

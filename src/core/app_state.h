// Process-wide game state words that several subsystems read and write.
#pragma once
#include <atomic>
#include <cstdint>

// Which logic the frame steps (`GameMode`). Read and written on the frame thread only.
namespace game_mode {
inline constexpr int32_t kMainScript = 0;     // the main scenario script runs (story from the title)
inline constexpr int32_t kIdle = 1;           // idle: the frame sends the scene manager to the title
inline constexpr int32_t kScriptEnded = 2;    // the script has finished (the title is on)
inline constexpr int32_t kFrontScreen = 5;    // a settings, save, load or extras screen is open
inline constexpr int32_t kEventEnded = 6;     // an event has ended
inline constexpr int32_t kStartSlg = 7;       // start the strategy game directly
inline constexpr int32_t kEventScript = 10;   // an event script (or an extras replay) runs
inline constexpr int32_t kSlg = 11;           // the strategy game (turn loop)
inline constexpr int32_t kPairedEnding = 12;  // the paired ending
inline constexpr int32_t kDialog = 13;        // the dialog scene is open
inline constexpr int32_t kOtherScript = 14;   // another script run (a tutorial chapter)
inline constexpr int32_t kLabelJump1 = 46;    // debug label jump, first part
inline constexpr int32_t kLabelJump2 = 47;    // debug label jump, second part
inline constexpr int32_t kBackToTitle = 48;   // back to the title screen
}  // namespace game_mode
extern int32_t GameMode;

// Set when the program should end after the current frame (an error box answered "quit", the
// close question answered OK, a termination signal). Read by the main thread.
extern std::atomic<bool> g_QuitRequested;

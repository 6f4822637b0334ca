// Process-wide game state words that several subsystems read and write.
#pragma once
#include <atomic>
#include <cstdint>

// Which logic the frame steps: 1 idle (title), 0/10/14 a scenario script runs, 2 script finished,
// 7 start the strategy game directly, 11 strategy game, 13 dialog open, 46/47 debug label jump,
// 48 back to the title. Read and written on the frame thread only.
extern int32_t GameMode;

// Set when the program should end after the current frame (an error box answered "quit", the
// close question answered OK, a termination signal). Read by the main thread.
extern std::atomic<bool> g_QuitRequested;

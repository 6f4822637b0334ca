// The debug menu's words (debug mode only): set from the debug window on the main thread, read
// by the strategy and battle rules on the frame thread. Outside debug mode they keep their
// defaults, so the rules behave as they always do.
#pragma once
#include <atomic>
#include <cstdint>

struct DebugWords {
  static constexpr uint8_t kNone = 255;           // not forced
  std::atomic<uint8_t> debugMode{0};              // 1 in debug mode (the marker file was found)
  std::atomic<uint8_t> forcedWeather{kNone};      // 0 clear, 1 rain, 2 fog
  std::atomic<uint8_t> skillRate{kNone};          // 0 always, 1 doubled, 2 never
  std::atomic<uint8_t> forcedSeasonEvent{kNone};  // 0 bad harvest, 1 good harvest, 2 plague, 3 drought
  std::atomic<int32_t> imageView{0};              // 0 normal, 1/2 scenario pages, 3/4 strategy pages
  // Toggle words (0 or 1) of the menu's check items.
  std::atomic<uint8_t> mapLinks{0};       // show the province map's contact lines
  std::atomic<uint8_t> minimalWait{0};    // minimal waits
  std::atomic<uint8_t> forcedMessage{0};  // message output test
  std::atomic<uint8_t> fieldGunCheck{0};  // field battle gun check
  std::atomic<uint8_t> autoWin{0};        // the player's side wins every battle at once
  std::atomic<uint8_t> castleNumbers{0};  // show castle numbers
  std::atomic<uint8_t> statusDisplay{0};  // show levels, skills and attributes
  std::atomic<uint8_t> mapBrowse{0};      // map browsing
};
DebugWords& GetDebugWords();

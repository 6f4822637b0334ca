// Working state of the rules that lasts from one logic step to the next and that no save format
// holds (AI positions, the turn work, the player's command work...). Each owner registers its block;
// a save slot carries the blocks in its own file, so a loaded game plays on exactly as the saved one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct PlayStateBlock {
  const char* name;  // unique and stable: the saved bytes are matched by it
  void* data;
  size_t size;
  // Null when saved bytes (size of them) may be copied over data; otherwise why not.
  const char* (*check)(const uint8_t* bytes);
};

// Registered at static initialisation by the block's owner; true, for the registering constant.
bool RegisterPlayStateBlock(const PlayStateBlock& block);
const std::vector<PlayStateBlock>& PlayStateBlocks();

// A byte that holds a bool must be 0 or 1.
inline bool IsBoolByte(const uint8_t* bytes, size_t offset) { return bytes[offset] <= 1; }

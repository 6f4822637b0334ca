#include "world/turn/play_state_blocks.h"

namespace {

std::vector<PlayStateBlock>& Blocks() {
  static std::vector<PlayStateBlock> blocks;
  return blocks;
}

}  // namespace

bool RegisterPlayStateBlock(const PlayStateBlock& block) {
  Blocks().push_back(block);
  return true;
}

const std::vector<PlayStateBlock>& PlayStateBlocks() { return Blocks(); }

// Helpers of the rendering tests: the image scramble written out independently of the program's
// own. The temporary program folder, the manager on the null device and generated pictures are the
// shared fixtures of tests/support.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/game_file.h"
#include "tests/support/null_graphics.h"
#include "tests/support/temp_module_dir.h"

// The "tig"/"tds" scramble computed from its definition: state = state * 214013 + 2531011,
// stream byte = bits 16..23 of the new state, added to each data byte; seed 0x5C3A91E7.
std::vector<uint8_t> ReferenceImageStream(size_t n);
std::vector<uint8_t> ReferenceScramble(std::vector<uint8_t> data);

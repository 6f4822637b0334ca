// One 64-bit fingerprint of a game: the world tables, the turn words and the random state — what
// the world file keeps, so a saved game and the same game loaded again give the same value.
#pragma once
#include <cstdint>

uint64_t WorldHash();

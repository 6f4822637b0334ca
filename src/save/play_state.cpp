#include "save/play_state.h"

std::vector<uint8_t> SavePlayState() { return {}; }

const char* CheckPlayState(const std::vector<uint8_t>& bytes) { return nullptr; }

void LoadPlayState(const std::vector<uint8_t>& bytes) {}

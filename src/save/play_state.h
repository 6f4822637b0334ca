// The play state a slot's four files have no room for, carried in the slot's own ext.dat, so that a
// loaded game plays on exactly as the saved one would have.
#pragma once
#include <cstdint>
#include <vector>

std::vector<uint8_t> SavePlayState();
// Null when the bytes can be applied; otherwise why not. Nothing changes.
const char* CheckPlayState(const std::vector<uint8_t>& bytes);
// Applies bytes that passed CheckPlayState.
void LoadPlayState(const std::vector<uint8_t>& bytes);

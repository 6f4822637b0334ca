// File access of the world: scenario and common tables, system.dat, cbl.dat.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Seed of every scrambled table file.
constexpr uint32_t kWorldTableSeed = 271945638u;

// Module directory + a relative program path ("Data\scenario\0").
std::string WorldDataPath(const char* relative);
// Whole file through the game file reader, descrambled when asked; false when it is missing.
bool ReadWorldFile(const char* path, std::vector<uint8_t>& out, bool descramble);
// Whole file straight from disk (no archive lookup), plain.
bool ReadDiskFile(const char* path, std::vector<uint8_t>& out);

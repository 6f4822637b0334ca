// Sound packs and whole-sound decoding: a ".voi" is read loose, or from the ".SPL"/".SPD" pack of
// its folder, and decoded into a WAVE image in memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decodes the ".voi" at `path` (CP932, normally the module directory + a relative path) into a WAVE
// image (46-byte header, then samples of 1 or 2 bytes: 8-bit unsigned or 16-bit signed). Returns the
// image size in bytes, or -1 when the sound is found nowhere or cannot be decoded (the reason goes to
// the log only).
int32_t LoadSoundPack(const char* path, int bytesPerSample, std::vector<uint8_t>& image);

// Looks the file-name part of `name` up in a ".SPL" index image (letter case ignored; first match in
// table order). spdSize bounds the entries (UINT64_MAX: not checked). False for no match or a
// damaged index.
bool FindSoundPackEntry(const char* name, const uint8_t* index, size_t indexSize, uint64_t spdSize, uint64_t* position,
                        uint32_t* size);

// The program paths of the pack that holds `path`: its folder (relative to the module directory,
// resolved under it) followed by ".SPL" and ".SPD". False when the path has no folder part.
bool SoundPackNames(const char* path, std::string& splPath, std::string& spdPath);

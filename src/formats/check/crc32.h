// CRC-32 (the reflected 0xEDB88320 polynomial, as zlib and PNG use it): the check value our own
// files carry for the bytes they describe (save slots, script sets).
#pragma once
#include <cstddef>
#include <cstdint>

namespace v4fmt {

// crc continues an earlier value (0 to start).
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

}  // namespace v4fmt

// Names from data used as patterns ("btn_%02d") are formatted here and nowhere else: only integer
// conversions (%d %i %u %x %X %o with flags, width and precision; h/l length letters ignored) take
// the number, "%%" gives '%', anything else is copied as it stands. The output is always ended
// and never longer than outSize - 1 bytes.
#pragma once
#include <cstddef>
#include <cstdint>

// Returns the length written.
size_t SafeFormatInt(char* out, size_t outSize, const char* pattern, int32_t value);

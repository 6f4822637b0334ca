// Shift-JIS (CP932) <-> UTF-8 conversion at the platform boundary, and lead-byte rules.
// Text inside the program is CP932; convert only where the OS or a library wants UTF-8.
#pragma once
#include <string>
#include <string_view>

namespace plat {

// Lead bytes of a double-byte character: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Converts; bytes that cannot be converted become '?' (never fails, never throws).
std::string Cp932ToUtf8(std::string_view cp932);
std::string Utf8ToCp932(std::string_view utf8);

// Strict variants: false when any byte sequence cannot be converted.
bool Cp932ToUtf8Strict(std::string_view cp932, std::string& out);
bool Utf8ToCp932Strict(std::string_view utf8, std::string& out);

}  // namespace plat

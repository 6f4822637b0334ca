// The one colour notation of the tools' descriptions: "#RRGGBB" or "#RRGGBBAA" in hexadecimal
// (the leading '#' may be left out); alpha is 255 when not given.
#pragma once
#include <cstdint>
#include <string>

struct ToolColor {
  uint8_t r = 0, g = 0, b = 0, a = 255;
};

// False (out untouched) for anything else.
bool ParseToolColor(const std::string& text, ToolColor* out);

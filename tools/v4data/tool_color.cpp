#include "tool_color.h"

#include <cctype>

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1;
}

}  // namespace

bool ParseToolColor(const std::string& text, ToolColor* out) {
  const std::string hex = !text.empty() && text[0] == '#' ? text.substr(1) : text;
  if (hex.size() != 6 && hex.size() != 8) return false;
  uint8_t parts[4] = {0, 0, 0, 255};
  for (size_t i = 0; i * 2 < hex.size(); ++i) {
    const int hi = HexDigit(hex[i * 2]), lo = HexDigit(hex[i * 2 + 1]);
    if (hi < 0 || lo < 0) return false;
    parts[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  *out = ToolColor{parts[0], parts[1], parts[2], parts[3]};
  return true;
}

#include "ui/widgets/safe_format.h"

#include <cstdio>
#include <cstring>

namespace {
bool IsFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

size_t SafeFormatInt(char* out, size_t outSize, const char* pattern, int32_t value) {
  if (!out || outSize == 0) return 0;
  size_t n = 0;
  auto put = [&](const char* s, size_t len) {
    for (size_t i = 0; i < len && n + 1 < outSize; ++i) out[n++] = s[i];
  };
  if (!pattern) {
    out[0] = 0;
    return 0;
  }
  const char* p = pattern;
  while (*p) {
    if (*p != '%') {
      put(p, 1);
      ++p;
      continue;
    }
    if (p[1] == '%') {
      put("%", 1);
      p += 2;
      continue;
    }
    // Parse %[flags][width][.precision][h|l|ll]conv with bounded widths.
    const char* q = p + 1;
    char spec[24] = "%";
    size_t sl = 1;
    while (IsFlag(*q) && sl < 8) spec[sl++] = *q++;
    int digits = 0;
    while (IsDigit(*q)) {
      if (digits < 3) spec[sl++] = *q;  // widths above 999 are cut: nothing in data needs more
      ++digits;
      ++q;
    }
    if (*q == '.') {
      spec[sl++] = *q++;
      int pd = 0;
      while (IsDigit(*q)) {
        if (pd < 3) spec[sl++] = *q;
        ++pd;
        ++q;
      }
    }
    while (*q == 'h' || *q == 'l') ++q;
    const char conv = *q;
    if (conv == 'd' || conv == 'i' || conv == 'u' || conv == 'x' || conv == 'X' || conv == 'o') {
      spec[sl++] = conv;
      spec[sl] = 0;
      char buf[1100];
      int len;
      if (conv == 'd' || conv == 'i')
        len = std::snprintf(buf, sizeof buf, spec, static_cast<int>(value));
      else
        len = std::snprintf(buf, sizeof buf, spec, static_cast<unsigned>(value));
      if (len > 0) put(buf, static_cast<size_t>(len) < sizeof buf ? static_cast<size_t>(len) : sizeof buf - 1);
      p = q + 1;
      continue;
    }
    // Not an integer conversion: the '%' and what follows stay literal.
    put(p, 1);
    ++p;
  }
  out[n] = 0;
  return n;
}

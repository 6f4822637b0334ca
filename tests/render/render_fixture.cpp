#include "render_fixture.h"

std::vector<uint8_t> ReferenceImageStream(size_t n) {
  std::vector<uint8_t> s(n);
  uint32_t state = 0x5C3A91E7u;
  for (size_t i = 0; i < n; ++i) {
    state = state * 214013u + 2531011u;
    s[i] = static_cast<uint8_t>((state >> 16) & 0xFFu);
  }
  return s;
}

std::vector<uint8_t> ReferenceScramble(std::vector<uint8_t> data) {
  const std::vector<uint8_t> s = ReferenceImageStream(data.size());
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(data[i] + s[i]);
  return data;
}

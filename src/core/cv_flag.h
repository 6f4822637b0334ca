// A word of 32 flag bits; bit numbers wrap at 32 (n & 31).
#pragma once
#include <cstdint>

class CVFlag {
 public:
  virtual ~CVFlag() = default;

  void Set(int n, int on) {
    const uint32_t bit = 1u << (static_cast<uint32_t>(n) & 31u);
    bits = on ? (bits | bit) : (bits & ~bit);
  }
  bool Test(int n) const { return (bits >> (static_cast<uint32_t>(n) & 31u)) & 1u; }
  void Clear() { bits = 0; }

  uint32_t bits = 0;
};

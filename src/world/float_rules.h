// Arithmetic of the rules that use fractions: each named term is held as a 32-bit float, the
// product is taken in double precision and the result truncated toward zero. This reproduces the
// stated results (a factor 0.9 on 10 gives 8, a factor 1.3 on 20 gives 25), which single-precision
// products would not.
#pragma once
#include <cstdint>

// (100 - p) / 100 and (p + 100) / 100 as 32-bit float terms.
inline float SkillFactorDown(int p) { return static_cast<float>((100.0 - p) / 100.0); }
inline float SkillFactorUp(int p) { return static_cast<float>((p + 100.0) / 100.0); }
inline float FloatTerm(double value) { return static_cast<float>(value); }

// value x term, computed in double and truncated toward zero.
inline int32_t TruncProduct(double value, float term) {
  return static_cast<int32_t>(value * static_cast<double>(term));
}

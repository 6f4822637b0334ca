// A test suite whose tests share one offscreen OpenGL context: made current before the first test,
// released after the last. Each test's SetUp asserts Context() != nullptr, so a machine without a
// context fails the tests clearly instead of drawing into nothing.
#pragma once
#include <gtest/gtest.h>

#include "platform/gl/gl_context.h"

namespace v4test {

template <int Width = 64, int Height = 64>
class OffscreenGlSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ctx_ = plat::OffscreenGlContext::Create(Width, Height).release(); }
  static void TearDownTestSuite() {
    delete ctx_;
    ctx_ = nullptr;
  }
  static plat::OffscreenGlContext* Context() { return ctx_; }

 private:
  static inline plat::OffscreenGlContext* ctx_ = nullptr;
};

}  // namespace v4test

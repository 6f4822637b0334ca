#include "core/display_layout.h"

#include <mutex>

namespace {
std::mutex g_mutex;
DisplayLayout g_layout;

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}
}  // namespace

void FitWindowClient(int32_t usableW, int32_t usableH, int32_t& w, int32_t& h) {
  w = kBackBufferW;
  h = kBackBufferH;
  if (usableW < 1 || usableH < 1) return;
  int64_t fitW = w;
  if (usableW < fitW) fitW = usableW;
  if (static_cast<int64_t>(usableH) * kBackBufferW < fitW * kBackBufferH) {
    fitW = static_cast<int64_t>(usableH) * kBackBufferW / kBackBufferH;
  }
  // Whole 16 × 9 steps: the picture then fills the client exactly, with no one-pixel bars.
  fitW = fitW / 16 * 16;
  if (fitW < 16) fitW = 16;
  w = static_cast<int32_t>(fitW);
  h = static_cast<int32_t>(fitW / 16 * 9);
}

DisplayLayout ComputeDisplayLayout(bool fullscreen, int32_t drawableW, int32_t drawableH) {
  DisplayLayout l;
  if (drawableW < 1 || drawableH < 1) {
    drawableW = kBackBufferW;
    drawableH = kBackBufferH;
  }
  l.windowMode = fullscreen ? 2 : 0;
  l.displayW = drawableW;
  l.displayH = drawableH;
  const int64_t w = drawableW, h = drawableH;
  if (w * kBackBufferH <= h * kBackBufferW) {
    // 16:9 or taller: full width, bars above and below.
    l.pictureW = drawableW;
    l.pictureH = static_cast<int32_t>(w * kBackBufferH / kBackBufferW);
    l.pictureX = 0;
    l.pictureY = static_cast<int32_t>((h - l.pictureH) / 2);
  } else {
    // Wider than 16:9: full height, bars left and right.
    l.pictureH = drawableH;
    l.pictureW = static_cast<int32_t>(h * kBackBufferW / kBackBufferH);
    l.pictureY = 0;
    l.pictureX = static_cast<int32_t>((w - l.pictureW) / 2);
  }
  l.scaled = (l.pictureW != kBackBufferW) ? 1 : 0;
  return l;
}

void MapToBackBuffer(const DisplayLayout& l, int32_t px, int32_t py, int32_t& bx, int32_t& by) {
  int32_t pw = l.pictureW > 0 ? l.pictureW : kBackBufferW;
  int32_t ph = l.pictureH > 0 ? l.pictureH : kBackBufferH;
  // Pixel centres, so the last screen pixel of a scaled picture maps to the last back-buffer pixel.
  bx = static_cast<int32_t>(FloorDiv((2 * (static_cast<int64_t>(px) - l.pictureX) + 1) * kBackBufferW, 2 * pw));
  by = static_cast<int32_t>(FloorDiv((2 * (static_cast<int64_t>(py) - l.pictureY) + 1) * kBackBufferH, 2 * ph));
}

void SetDisplayLayout(const DisplayLayout& layout) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_layout = layout;
}

DisplayLayout GetDisplayLayout() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_layout;
}

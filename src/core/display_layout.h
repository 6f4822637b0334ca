// Where the 1280 × 720 picture sits in the window's drawable area: in a window it fills the client
// area; in desktop full screen it is fitted into the screen at 16:9 with signed offsets, bars above
// and below (taller screens) or left and right (wider screens).
#pragma once
#include <cstdint>

struct DisplayLayout {
  int32_t windowMode = 0;   // 0 window, 2 full screen
  int32_t displayW = 1280;  // drawable size
  int32_t displayH = 720;
  int32_t pictureX = 0;  // the picture's rectangle inside the drawable
  int32_t pictureY = 0;
  int32_t pictureW = 1280;
  int32_t pictureH = 720;
  int32_t scaled = 0;  // 1 when the picture is not shown 1:1
};

constexpr int32_t kBackBufferW = 1280;
constexpr int32_t kBackBufferH = 720;

// Client size of the window on a desktop whose usable area (decorations taken off) is
// usableW × usableH: 1280 × 720, or the largest exact 16:9 size (whole 16 × 9 steps, at least
// 16 × 9) that fits when the area is smaller, so a small screen shows the whole picture scaled
// down. Unknown sizes (below 1) give 1280 × 720.
void FitWindowClient(int32_t usableW, int32_t usableH, int32_t& w, int32_t& h);

// Sizes below 1 are treated as 1280 × 720.
DisplayLayout ComputeDisplayLayout(bool fullscreen, int32_t drawableW, int32_t drawableH);

// Drawable pixel -> back-buffer pixel through the picture rectangle, by pixel centres (the picture's
// corner pixels map to the back buffer's corners); points left of or above the picture stay negative.
void MapToBackBuffer(const DisplayLayout& layout, int32_t px, int32_t py, int32_t& bx, int32_t& by);

// The current layout, written by the main thread, read by the frame thread.
void SetDisplayLayout(const DisplayLayout& layout);
DisplayLayout GetDisplayLayout();

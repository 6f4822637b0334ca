// The least drawing the frame needs before the graphics device exists: clear the window, fill
// rectangles (scissored clears, no shaders) and read pixels back. Runs on the thread whose GL
// context is current. Coordinates are window pixels with y down.
#pragma once
#include <cstdint>
#include <vector>

namespace plat {

void GlClearAll(int drawableW, int drawableH, float r, float g, float b);
void GlFillRect(int drawableW, int drawableH, int x, int y, int w, int h, float r, float g, float b);
// RGBA rows top first; false without a current context.
bool GlReadPixels(int drawableW, int drawableH, int x, int y, int w, int h, std::vector<uint8_t>& rgba);
// True when a GL error was raised since the last call (clears the error state).
bool GlTakeError();
void GlFinish();

}  // namespace plat

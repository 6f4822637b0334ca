// The program's picture: the graphics device (`CDGManager`) made on the frame thread, the drawing
// demo with a line of Japanese text and a bitmap-font line until the scenes draw for themselves, and
// the full-screen movie while one owns the display.
#pragma once

#include "app/shell/window_graphics.h"

// The one picture source of the executable.
WindowPictureSource& GetGamePicture();
// Shutdown, after the frame stopped, with the GL context current: frees every device resource.
void ReleaseGamePicture();

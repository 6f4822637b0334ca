// The program's picture: the graphics device (`CDGManager`), made at start-up and then drawn on
// the frame thread, draws the
// scenes' render list; while a full-screen movie owns the display, the movie's picture instead.
#pragma once

#include "shell/window_graphics.h"

// The one picture source of the executable.
WindowPictureSource& GetGamePicture();
// Shutdown, after the frame stopped, with the GL context current: frees every device resource.
void ReleaseGamePicture();
// The device's default render states: smooth (linear filtering, Gouraud) or plain. Any thread; the
// frame thread applies it to the device when it is made and whenever it changes.
void SetGamePictureSmooth(bool smooth);

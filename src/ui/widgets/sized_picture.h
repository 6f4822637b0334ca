// Pictures drawn per size. A picture named by a pattern ("Data\Image\face\f%02d.png") may come with
// copies drawn at the sizes the screens show it, named "<stem>_<w>x<h>.<ext>" beside it. A window
// shows the copy drawn at its own size when the data holds one, else the picture itself scaled: an
// enlarged portrait turns blocky and a reduced one loses its lines, so the data draws each size.
#pragma once
#include <cstdint>
#include <string>

class CVMenuWindow;

// The name of a picture's (or pattern's) copy drawn at w x h: "_<w>x<h>" before the extension of
// the file name. Empty when the name has no extension or the size is not positive.
std::string SizedPictureName(const char* name, int32_t w, int32_t h);
// The pattern to show picture n of pattern at w x h: the sized copy's pattern when the game data
// holds picture n's copy of that size (each name is looked up once), else pattern itself.
std::string PatternForSize(const char* pattern, int32_t n, int32_t w, int32_t h);
// Shows picture n of pattern in win at the size the window draws it, from the copy of that size
// when there is one. The window's cell becomes the whole picture shown.
bool ShowPictureAtSize(CVMenuWindow* win, const char* pattern, int32_t n);
// Forgets the looked-up names (tests that change the game data under one folder).
void ForgetSizedPictures();

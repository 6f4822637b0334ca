// Error boxes: data and script errors are reported here; the player goes on or quits.
#pragma once
#include <cstddef>

// Shows the message (CP932) in the error dialog; while a script runs (GameMode 0 or 10) the last
// executed script position is appended. Title defaults to "FILE LOAD ERROR". Returns true when
// the player chose to go on; false requests the normal shutdown (g_QuitRequested).
bool ShowErrorBox(const char* message, const char* title = nullptr);

// The error dialog itself: keeps both texts in its buffers (the text cut to 2,031 bytes on a
// character boundary) and shows them, the caption as its title; true when the player goes on.
// The second form shows the buffered text again under the caption it already has.
bool ShowErrDialog(const char* text, const char* caption);
bool ShowErrDialog();

// Same text and default title in a plain error message box; returns the presenter's answer.
int ShowErrorMessageBox(const char* message, const char* title = nullptr);

// Where boxes appear. The application shell installs one that asks the main thread to show an SDL
// message box; tests install recorders. Without a presenter the text is logged and the answer is
// "go on". Both strings are CP932; the presenter converts.
struct ErrorBoxPresenter {
  virtual ~ErrorBoxPresenter() = default;
  // true = go on, false = quit.
  virtual bool ShowErrorDialog(const char* text, const char* title) = 0;
  virtual int ShowMessageBox(const char* text, const char* title) = 0;
};
void SetErrorBoxPresenter(ErrorBoxPresenter* presenter);

// The scenario engine installs the formatter of the last executed script position
// ("%s\n直前に実行されたスクリプト\n..."); it writes at most outSize bytes including the terminator.
using LastScriptFormatter = void (*)(char* out, size_t outSize, const char* message);
void SetLastScriptFormatter(LastScriptFormatter formatter);

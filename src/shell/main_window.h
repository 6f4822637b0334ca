// The main thread's side of the window: questions and boxes shown on the main thread on behalf of
// any thread, the close question, activation with the sound hooks, and the window mode.
#pragma once
#include <atomic>
#include <cstddef>
#include <functional>
#include <cstdint>
#include <string>
#include <vector>

// One box to show. Texts are CP932; the showing side converts.
struct BoxRequest {
  enum Kind {
    kErrorDialog,  // "続行" / "終了": 1 go on, 0 quit
    kMessage,      // OK only: 1
    kOkCancel,     // 1 OK, 2 Cancel
  };
  Kind kind = kMessage;
  std::string title;
  std::string text;
  bool errorIcon = false;
};
// What a box answers when it cannot be shown (OK for a message, go on for an error dialog, Cancel
// for a question), or when the program is shutting down.
int DefaultBoxAnswer(BoxRequest::Kind kind);
int QuitBoxAnswer(BoxRequest::Kind kind);

// Shows a box on the main thread and returns the answer (the main loop installs it; tests
// install scripted answers). Null: every box gets its default answer and is logged.
using BoxShower = std::function<int(const BoxRequest&)>;
void SetBoxShower(BoxShower shower);

// Marks the calling thread as the main thread (the one that services box requests).
void SetMainThreadHere();
// Shows the box: directly on the main thread; from another thread the request is queued, the
// main loop shows it and the caller waits for the answer. After ShutdownBoxes, answers QuitBoxAnswer.
int AskBox(const BoxRequest& request);
// Main loop: shows every queued request.
void ServiceBoxRequests();
// Answers every pending and later request with its quit answer (shutdown), or opens the queue again.
void ShutdownBoxes(bool shut);

struct ErrorBoxPresenter;
// Shows error boxes through AskBox (so from any thread on the main thread); the error dialog
// offers "続行" (go on) and "終了" (quit). Texts are cut to 2,031 bytes on a character boundary.
ErrorBoxPresenter& GetShellErrorBoxPresenter();

// A box as the window layer shows it: UTF-8 texts (cut to 2,031 CP932 bytes on a character
// boundary before converting), the buttons left to right, which answers Enter and Escape give,
// and the answer each button stands for.
struct BoxUtf8 {
  std::string title;
  std::string text;
  std::vector<std::string> buttons;
  std::vector<int> answers;
  int enterButton = 0;
  int escapeButton = 0;
};
BoxUtf8 MakeBoxUtf8(const BoxRequest& request);
// The answer for what the window layer reported: a button index; kBoxChoiceDismissed when the box
// was closed without a button (it answers as Escape does: Cancel, or quit for the error dialog);
// anything else means the box could not be shown, which gives the default answer.
constexpr int kBoxChoiceDismissed = -2;
int BoxAnswerForChoice(BoxRequest::Kind kind, const BoxUtf8& box, int chosen);

// Text for a box: at most maxBytes bytes of CP932, cut on a character boundary.
std::string BoundedBoxText(const char* cp932, size_t maxBytes);

// 1 while the close question (or an error dialog) is up.
extern std::atomic<bool> g_CloseBoxUp;
// 0 while the window is minimised or hidden.
extern std::atomic<bool> g_WindowShown;

// "終了しますか？" / "終了確認" with OK and Cancel; true on OK.
bool ConfirmExit();
// The window's close button: pauses the frame and asks; true when the program is to end (the
// pause then stays); Cancel resumes the frame.
bool OnCloseRequested();

// Sound hooks for activation changes (the sound layer installs them).
struct SoundFocusHooks {
  void (*silenceAll)() = nullptr;  // window deactivated
  void (*restoreAll)() = nullptr;  // window activated: configured volumes back
};
void SetSoundFocusHooks(const SoundFocusHooks& hooks);
// active: the input-active flag and the sound hooks.
void OnActivateApp(bool active, bool minimized);

// The window mode setting (word 5 of the settings: 1 full screen, else window). Until the settings
// file is read the source answers 0.
void SetWindowModeSettingSource(int (*source)());
int GetWindowModeSetting();

// What the window-mode code needs of the window (the SDL window; tests use a fake).
struct WindowModeHost {
  virtual ~WindowModeHost() = default;
  // Full screen, or a window with the given client size centred on the desktop.
  virtual bool SetFullscreen(bool on, int clientW, int clientH) = 0;
  virtual void GetDrawableSize(int& w, int& h) = 0;
  // The desktop's usable area less the window's decorations; false when unknown.
  virtual bool GetUsableClientSize(int& w, int& h) { return false; }
};
void SetWindowModeHost(WindowModeHost* host);
// 0 window, 2 full screen.
int GetWindowMode();
// Switches, recomputes the fitted picture; 1 on success, 0 when the switch failed (mode kept).
// A window is 1280 × 720, reduced at 16:9 when the desktop cannot hold that.
int SetWindowMode(bool fullScreen);
// Applies the setting; unless forced, nothing happens when it equals the current mode.
void ApplyWindowModeSetting(bool force);
// The drawable size changed: recompute the fitted picture for the current mode.
void UpdateDisplayLayoutFromWindow();

// The wheel word for a number of notches: the delta (120 per notch) in the high 16 bits.
int32_t MakeWheelWord(int notches);

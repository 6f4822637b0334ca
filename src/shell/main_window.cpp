#include "shell/main_window.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "core/cv_input.h"
#include "core/display_layout.h"
#include "core/error_box.h"
#include "shell/frame.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"

std::atomic<bool> g_CloseBoxUp{false};
std::atomic<bool> g_WindowShown{true};

namespace {
struct Pending {
  BoxRequest request;
  int answer = 0;
  bool done = false;
};

std::mutex g_boxMutex;
std::condition_variable g_boxCv;
std::deque<Pending*> g_queue;
bool g_boxesShut = false;
BoxShower g_shower;
std::thread::id g_mainThread = std::this_thread::get_id();

SoundFocusHooks g_soundHooks;
int (*g_windowModeSource)() = nullptr;
WindowModeHost* g_windowHost = nullptr;
std::atomic<int> g_windowMode{0};

int Show(const BoxRequest& r) {
  BoxShower shower;
  {
    std::lock_guard<std::mutex> lock(g_boxMutex);
    shower = g_shower;
  }
  if (!shower) {
    plat::Log("box", "%s: %s", r.title.c_str(), r.text.c_str());
    return DefaultBoxAnswer(r.kind);
  }
  return shower(r);
}
}  // namespace

// A question nobody could see is not taken as a yes: the close question keeps the game running.
int DefaultBoxAnswer(BoxRequest::Kind kind) { return kind == BoxRequest::kOkCancel ? 2 : 1; }

int QuitBoxAnswer(BoxRequest::Kind kind) {
  switch (kind) {
    case BoxRequest::kErrorDialog:
      return 0;
    case BoxRequest::kOkCancel:
      return 1;  // OK: the program is ending anyway
    case BoxRequest::kMessage:
      return 1;
  }
  return 0;
}

void SetBoxShower(BoxShower shower) {
  std::lock_guard<std::mutex> lock(g_boxMutex);
  g_shower = std::move(shower);
}

void SetMainThreadHere() { g_mainThread = std::this_thread::get_id(); }

int AskBox(const BoxRequest& request) {
  if (std::this_thread::get_id() == g_mainThread) return Show(request);
  Pending p;
  p.request = request;
  std::unique_lock<std::mutex> lock(g_boxMutex);
  if (g_boxesShut) return QuitBoxAnswer(request.kind);
  g_queue.push_back(&p);
  g_boxCv.wait(lock, [&] { return p.done; });
  return p.answer;
}

void ServiceBoxRequests() {
  for (;;) {
    Pending* p = nullptr;
    {
      std::lock_guard<std::mutex> lock(g_boxMutex);
      if (g_queue.empty()) return;
      p = g_queue.front();
      g_queue.pop_front();
    }
    int answer = Show(p->request);
    {
      std::lock_guard<std::mutex> lock(g_boxMutex);
      p->answer = answer;
      p->done = true;
    }
    g_boxCv.notify_all();
  }
}

void ShutdownBoxes(bool shut) {
  std::lock_guard<std::mutex> lock(g_boxMutex);
  g_boxesShut = shut;
  if (!shut) return;
  // A frame blocked in a box must not hold up the shutdown that waits for the frame.
  for (Pending* p : g_queue) {
    p->answer = QuitBoxAnswer(p->request.kind);
    p->done = true;
  }
  g_queue.clear();
  g_boxCv.notify_all();
}

std::string BoundedBoxText(const char* cp932, size_t maxBytes) {
  if (!cp932) return {};
  size_t n = 0;
  while (cp932[n] != '\0') {
    unsigned char c = static_cast<unsigned char>(cp932[n]);
    size_t len = (plat::IsSjisLead(c) && cp932[n + 1] != '\0') ? 2 : 1;
    if (n + len > maxBytes) break;
    n += len;
  }
  return std::string(cp932, n);
}

BoxUtf8 MakeBoxUtf8(const BoxRequest& r) {
  auto u8 = [](const char8_t* t) { return std::string(reinterpret_cast<const char*>(t)); };
  BoxUtf8 b;
  b.title = plat::Cp932ToUtf8(BoundedBoxText(r.title.c_str(), 255));
  b.text = plat::Cp932ToUtf8(BoundedBoxText(r.text.c_str(), 2031));
  switch (r.kind) {
    case BoxRequest::kErrorDialog:
      // Escape declines, as closing the dialog does: the program ends.
      b.buttons = {u8(u8"続行"), u8(u8"終了")};
      b.answers = {1, 0};
      b.enterButton = 0;
      b.escapeButton = 1;
      break;
    case BoxRequest::kOkCancel:
      b.buttons = {"OK", u8(u8"キャンセル")};
      b.answers = {1, 2};
      b.enterButton = 0;
      b.escapeButton = 1;
      break;
    case BoxRequest::kMessage:
      b.buttons = {"OK"};
      b.answers = {1};
      break;
  }
  return b;
}

int BoxAnswerForChoice(BoxRequest::Kind kind, const BoxUtf8& b, int chosen) {
  if (chosen == kBoxChoiceDismissed) chosen = b.escapeButton;
  if (chosen < 0 || chosen >= static_cast<int>(b.answers.size())) {
    plat::Log("box", "the box could not be shown; it answers %d", DefaultBoxAnswer(kind));
    return DefaultBoxAnswer(kind);
  }
  return b.answers[static_cast<size_t>(chosen)];
}

bool ConfirmExit() {
  g_CloseBoxUp.store(true);
  BoxRequest r;
  r.kind = BoxRequest::kOkCancel;
  r.title = "終了確認";
  r.text = "終了しますか？";
  int answer = AskBox(r);
  g_CloseBoxUp.store(false);
  return answer == 1;
}

bool OnCloseRequested() {
  SetFramePause(true);
  if (ConfirmExit()) return true;
  SetFramePause(false);
  return false;
}

void SetSoundFocusHooks(const SoundFocusHooks& hooks) { g_soundHooks = hooks; }

void OnActivateApp(bool active, bool minimized) {
  g_InputActive.store(active);
  if (active) {
    if (g_soundHooks.restoreAll) g_soundHooks.restoreAll();
  } else {
    if (g_soundHooks.silenceAll) g_soundHooks.silenceAll();
  }
}

void SetWindowModeSettingSource(int (*source)()) { g_windowModeSource = source; }
int GetWindowModeSetting() { return g_windowModeSource ? g_windowModeSource() : 0; }

void SetWindowModeHost(WindowModeHost* host) { g_windowHost = host; }
int GetWindowMode() { return g_windowMode.load(); }

void UpdateDisplayLayoutFromWindow() {
  int w = kBackBufferW, h = kBackBufferH;
  if (g_windowHost) g_windowHost->GetDrawableSize(w, h);
  SetDisplayLayout(ComputeDisplayLayout(g_windowMode.load() == 2, w, h));
}

int SetWindowMode(bool fullScreen) {
  int32_t clientW = kBackBufferW, clientH = kBackBufferH;
  int usableW = 0, usableH = 0;
  if (!fullScreen && g_windowHost && g_windowHost->GetUsableClientSize(usableW, usableH)) {
    FitWindowClient(usableW, usableH, clientW, clientH);
  }
  if (g_windowHost && !g_windowHost->SetFullscreen(fullScreen, clientW, clientH)) return 0;
  // Switching between window and full screen goes through the device recovery: the device is
  // reset and every scene re-creates its resources before the next drawn frame.
  if ((g_windowMode.load() == 2) != fullScreen) g_DeviceLost.store(true);
  g_windowMode.store(fullScreen ? 2 : 0);
  UpdateDisplayLayoutFromWindow();
  return 1;
}

void ApplyWindowModeSetting(bool force) {
  bool wanted = GetWindowModeSetting() == 1;
  if (!force && wanted == (g_windowMode.load() == 2)) return;
  SetWindowMode(wanted);
}

int32_t MakeWheelWord(int notches) {
  int64_t delta = static_cast<int64_t>(notches) * 120;
  if (delta > 32767) delta = 32767;
  if (delta < -32768) delta = -32768;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(delta))) << 16);
}

namespace {
constexpr size_t kBoxTextBytes = 2031;

class ShellErrorBoxPresenter : public ErrorBoxPresenter {
 public:
  bool ShowErrorDialog(const char* text, const char* title) override {
    BoxRequest r;
    r.kind = BoxRequest::kErrorDialog;
    r.title = title ? title : "";
    r.text = BoundedBoxText(text, kBoxTextBytes);
    r.errorIcon = true;
    g_CloseBoxUp.store(true);
    int answer = AskBox(r);
    g_CloseBoxUp.store(false);
    return answer == 1;
  }
  int ShowMessageBox(const char* text, const char* title) override {
    BoxRequest r;
    r.kind = BoxRequest::kMessage;
    r.title = title ? title : "";
    r.text = BoundedBoxText(text, kBoxTextBytes);
    r.errorIcon = true;
    return AskBox(r);
  }
};
}  // namespace

ErrorBoxPresenter& GetShellErrorBoxPresenter() {
  static ShellErrorBoxPresenter presenter;
  return presenter;
}

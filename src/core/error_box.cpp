#include "core/error_box.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "core/app_state.h"
#include "platform/text/log.h"

int32_t GameMode = game_mode::kIdle;
std::atomic<bool> g_QuitRequested{false};

namespace {
ErrorBoxPresenter* g_presenter = nullptr;
LastScriptFormatter g_formatter = nullptr;
constexpr size_t kTextSize = 2032;
constexpr const char* kDefaultTitle = "FILE LOAD ERROR";

// Cuts a CP932 text at its buffer end without splitting a double-byte character.
void CopyBounded(char* out, size_t size, const char* text) {
  size_t n = 0;
  while (text[n] != '\0' && n + 1 < size) {
    unsigned char c = static_cast<unsigned char>(text[n]);
    bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    if (lead) {
      if (text[n + 1] == '\0' || n + 2 >= size) break;
      n += 2;
    } else {
      ++n;
    }
  }
  std::memcpy(out, text, n);
  out[n] = '\0';
}

void BuildText(char* out, const char* message) {
  const char* msg = message ? message : "";
  if ((GameMode == game_mode::kMainScript || GameMode == game_mode::kEventScript) && g_formatter) {
    g_formatter(out, kTextSize, msg);
    out[kTextSize - 1] = '\0';
  } else {
    CopyBounded(out, kTextSize, msg);
  }
}
}  // namespace

namespace {
// The error dialog's two buffers. Boxes come from any thread; each shows its own copy, so the lock
// is never held while a box is up.
std::mutex g_errMutex;
char g_errText[kTextSize] = {};
char g_errCaption[kTextSize] = {};

bool ShowBufferedErrDialog() {
  std::string text, caption;
  {
    std::lock_guard<std::mutex> lock(g_errMutex);
    text = g_errText;
    caption = g_errCaption;
  }
  if (!g_presenter) {
    plat::Log("error", "%s: %s", caption.c_str(), text.c_str());
    return true;
  }
  return g_presenter->ShowErrorDialog(text.c_str(), caption.c_str());
}
}  // namespace

bool ShowErrDialog(const char* text, const char* caption) {
  {
    std::lock_guard<std::mutex> lock(g_errMutex);
    CopyBounded(g_errText, kTextSize, text ? text : "");
    CopyBounded(g_errCaption, kTextSize, caption ? caption : "");
  }
  return ShowBufferedErrDialog();
}

bool ShowErrDialog() { return ShowBufferedErrDialog(); }

void SetErrorBoxPresenter(ErrorBoxPresenter* presenter) { g_presenter = presenter; }
void SetLastScriptFormatter(LastScriptFormatter formatter) { g_formatter = formatter; }

bool ShowErrorBox(const char* message, const char* title) {
  char text[kTextSize];
  BuildText(text, message);
  const char* t = title ? title : kDefaultTitle;
  bool goOn = ShowErrDialog(text, t);
  if (!goOn) g_QuitRequested = true;
  return goOn;
}

int ShowErrorMessageBox(const char* message, const char* title) {
  char text[kTextSize];
  BuildText(text, message);
  const char* t = title ? title : kDefaultTitle;
  if (g_presenter) return g_presenter->ShowMessageBox(text, t);
  plat::Log("error", "%s: %s", t, text);
  return 1;
}

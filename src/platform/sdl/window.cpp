#include "platform/sdl/window.h"

#include <SDL.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/sdl/process.h"
#include "platform/text/log.h"

namespace plat {

namespace {
std::once_flag g_videoOnce;
bool g_videoOk = false;
}  // namespace

bool InitVideo() {
  std::call_once(g_videoOnce, [] {
    // Termination signals are the program's own business (they end it like the close box's OK).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The close button asks first; SDL must not turn it into a quit by itself.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // A full-screen window that loses focus (to the close question, an error box or another
    // program) stays where it is rather than being minimised.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    g_videoOk = SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
    if (!g_videoOk) Log("sdl", "video init failed: %s", SDL_GetError());
  });
  return g_videoOk;
}

bool DisplayUsable(const char* chosen, const char* requested) {
  if (!chosen) return false;
  if (requested && *requested) return true;
  const std::string driver = chosen;
  return driver != "offscreen" && driver != "dummy" && driver != "evdev";
}

bool DisplayAvailable(std::string* why) {
  const char* requested = std::getenv("SDL_VIDEODRIVER");
  const char* chosen = InitVideo() ? SDL_GetCurrentVideoDriver() : nullptr;
  if (DisplayUsable(chosen, requested)) return true;
  if (why) {
    *why = chosen ? std::string("no display to show a window on (only SDL's \"") + chosen + "\" video driver started)"
                  : std::string("no display to show a window on (") + SDL_GetError() + ")";
  }
  return false;
}

struct Window::Impl {
  SDL_Window* window = nullptr;
  SDL_GLContext gl = nullptr;
  bool fullscreen = false;
  // Buttons pressed since the last snapshot: a press and release within one pump still reach it.
  bool leftPressed = false;
  bool rightPressed = false;
};

std::unique_ptr<Window> Window::Create(const Options& options) {
  if (!InitVideo()) return nullptr;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  Uint32 flags = SDL_WINDOW_OPENGL | (options.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN);
  SDL_Window* w = SDL_CreateWindow(options.titleUtf8.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   options.width, options.height, flags);
  if (!w) {
    Log("sdl", "window creation failed: %s", SDL_GetError());
    return nullptr;
  }
  std::unique_ptr<Window> out(new Window());
  out->impl_ = std::make_unique<Impl>();
  out->impl_->window = w;
  return out;
}

Window::~Window() {
  if (!impl_) return;
  DestroyGlContext();
  if (impl_->window) SDL_DestroyWindow(impl_->window);
}

bool Window::SetFullscreenDesktop(bool on, int windowWidth, int windowHeight) {
  SDL_Window* w = impl_->window;
  if (SDL_SetWindowFullscreen(w, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
    Log("sdl", "full screen switch failed: %s", SDL_GetError());
    return false;
  }
  impl_->fullscreen = on;
  if (!on) {
    SDL_SetWindowSize(w, windowWidth, windowHeight);
    SDL_SetWindowPosition(w, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  return true;
}

bool Window::IsFullscreen() const { return impl_->fullscreen; }

void Window::GetDrawableSize(int& w, int& h) const { SDL_GL_GetDrawableSize(impl_->window, &w, &h); }

bool Window::GetDesktopSize(int& w, int& h) const {
  int index = SDL_GetWindowDisplayIndex(impl_->window);
  SDL_DisplayMode mode;
  if (index < 0 || SDL_GetDesktopDisplayMode(index, &mode) != 0) return false;
  w = mode.w;
  h = mode.h;
  return true;
}

bool Window::GetUsableClientSize(int& w, int& h) const {
  int index = SDL_GetWindowDisplayIndex(impl_->window);
  SDL_Rect r;
  if (index < 0 || SDL_GetDisplayUsableBounds(index, &r) != 0 || r.w < 1 || r.h < 1) return false;
  // Decorations are known only once the window manager has framed the window; unknown counts as none.
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(impl_->window, &top, &left, &bottom, &right) != 0) top = left = bottom = right = 0;
  w = r.w - left - right;
  h = r.h - top - bottom;
  return w > 0 && h > 0;
}

bool Window::CreateGlContext() {
  if (impl_->gl) return true;
  impl_->gl = SDL_GL_CreateContext(impl_->window);
  if (!impl_->gl) {
    Log("sdl", "OpenGL 3.3 core context failed: %s", SDL_GetError());
    return false;
  }
  // Presentation paces itself by the frame timer, not by the display.
  SDL_GL_SetSwapInterval(0);
  return true;
}

bool Window::HasGlContext() const { return impl_->gl != nullptr; }

bool Window::MakeCurrent() { return impl_->gl && SDL_GL_MakeCurrent(impl_->window, impl_->gl) == 0; }

void Window::ReleaseCurrent() { SDL_GL_MakeCurrent(impl_->window, nullptr); }

void Window::DestroyGlContext() {
  if (!impl_->gl) return;
  SDL_GL_DeleteContext(impl_->gl);
  impl_->gl = nullptr;
}

void Window::SwapBuffers() { SDL_GL_SwapWindow(impl_->window); }

namespace {
ForeignEventSink g_foreignSink = nullptr;
void* g_foreignContext = nullptr;
}  // namespace

void SetForeignEventSink(ForeignEventSink sink, void* context) {
  g_foreignSink = sink;
  g_foreignContext = context;
}

void Window::PumpEvents(std::vector<WindowEvent>& events, int waitMs) {
  SDL_Event e;
  bool have = waitMs > 0 ? SDL_WaitEventTimeout(&e, waitMs) != 0 : SDL_PollEvent(&e) != 0;
  Uint32 myId = SDL_GetWindowID(impl_->window);
  while (have) {
    if (g_foreignSink && e.type != SDL_QUIT) g_foreignSink(&e, g_foreignContext);
    switch (e.type) {
      case SDL_QUIT:
        events.push_back({WindowEvent::kCloseRequested});
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.windowID == myId) {
          if (e.button.button == SDL_BUTTON_LEFT) impl_->leftPressed = true;
          if (e.button.button == SDL_BUTTON_RIGHT) impl_->rightPressed = true;
        }
        break;
      case SDL_MOUSEWHEEL:
        if (e.wheel.windowID == myId) {
          int y = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
          if (y != 0) events.push_back({WindowEvent::kWheel, y});
        }
        break;
      case SDL_WINDOWEVENT:
        if (e.window.windowID != myId) break;
        switch (e.window.event) {
          case SDL_WINDOWEVENT_CLOSE:
            events.push_back({WindowEvent::kCloseRequested});
            break;
          case SDL_WINDOWEVENT_FOCUS_GAINED:
            events.push_back({WindowEvent::kFocusGained});
            break;
          case SDL_WINDOWEVENT_FOCUS_LOST:
            events.push_back({WindowEvent::kFocusLost});
            break;
          case SDL_WINDOWEVENT_MINIMIZED:
          case SDL_WINDOWEVENT_HIDDEN:
            events.push_back({WindowEvent::kMinimized});
            break;
          case SDL_WINDOWEVENT_RESTORED:
          case SDL_WINDOWEVENT_SHOWN:
            events.push_back({WindowEvent::kRestored});
            break;
          case SDL_WINDOWEVENT_EXPOSED:
            events.push_back({WindowEvent::kExposed});
            break;
          case SDL_WINDOWEVENT_SIZE_CHANGED:
            events.push_back({WindowEvent::kResized});
            break;
          default:
            break;
        }
        break;
      default:
        break;
    }
    have = SDL_PollEvent(&e) != 0;
  }
}

InputSnapshot Window::TakeInputSnapshot() const {
  InputSnapshot s;
  SDL_PumpEvents();
  const Uint8* k = SDL_GetKeyboardState(nullptr);
  s.keys[0x11] = k[SDL_SCANCODE_LCTRL] || k[SDL_SCANCODE_RCTRL];
  s.keys[0x25] = k[SDL_SCANCODE_LEFT];
  s.keys[0x27] = k[SDL_SCANCODE_RIGHT];
  s.keys[0x20] = k[SDL_SCANCODE_SPACE];
  s.keys[0x0D] = k[SDL_SCANCODE_RETURN] || k[SDL_SCANCODE_KP_ENTER];
  s.keys[0x1B] = k[SDL_SCANCODE_ESCAPE];
  s.keys[0x70] = k[SDL_SCANCODE_F1];
  int x = 0, y = 0;
  Uint32 buttons;
  if (SDL_GetMouseFocus() == impl_->window) {
    buttons = SDL_GetMouseState(&x, &y);
  } else {
    // Outside the window: global position relative to the client area, possibly negative.
    int gx = 0, gy = 0, wx = 0, wy = 0;
    buttons = SDL_GetGlobalMouseState(&gx, &gy);
    SDL_GetWindowPosition(impl_->window, &wx, &wy);
    x = gx - wx;
    y = gy - wy;
  }
  s.keys[0x01] = (buttons & SDL_BUTTON_LMASK) != 0 || impl_->leftPressed;
  s.keys[0x02] = (buttons & SDL_BUTTON_RMASK) != 0 || impl_->rightPressed;
  impl_->leftPressed = impl_->rightPressed = false;
  // Window coordinates to drawable pixels (they differ on high-density screens).
  int ww = 0, wh = 0, dw = 0, dh = 0;
  SDL_GetWindowSize(impl_->window, &ww, &wh);
  SDL_GL_GetDrawableSize(impl_->window, &dw, &dh);
  if (ww > 0 && wh > 0 && dw > 0 && dh > 0 && (ww != dw || wh != dh)) {
    x = static_cast<int>(static_cast<long long>(x) * dw / ww);
    y = static_cast<int>(static_cast<long long>(y) * dh / wh);
  }
  s.cursorX = x;
  s.cursorY = y;
  return s;
}

namespace {
// Exit codes of the box's process besides the button index.
constexpr int kBoxExitDismissed = 250;
constexpr int kBoxExitNotShown = 251;

int ShowBox(SDL_Window* owner, const std::string& title, const std::string& text,
            const std::vector<std::string>& buttons, bool errorIcon, int defaultButton, int escapeButton) {
  std::vector<SDL_MessageBoxButtonData> data;
  for (size_t i = 0; i < buttons.size(); ++i) {
    SDL_MessageBoxButtonData b{};
    b.buttonid = static_cast<int>(i);
    b.text = buttons[i].c_str();
    if (static_cast<int>(i) == defaultButton) b.flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (static_cast<int>(i) == escapeButton) b.flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    data.push_back(b);
  }
  SDL_MessageBoxData box{};
  box.flags = errorIcon ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  box.window = owner;
  box.title = title.c_str();
  box.message = text.c_str();
  box.numbuttons = static_cast<int>(data.size());
  box.buttons = data.data();
  // The box runs in a child process of its own group, so that it can never outlive the game: the
  // child dies with its parent (and takes the box's own helper process with it), and a termination
  // request while the box is up closes it at once.
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child < 0) {
    Log("sdl", "message box unavailable: cannot start its process");
    return kBoxNotShown;
  }
  if (child == 0) {
    setpgid(0, 0);
    struct sigaction sa {};
    sa.sa_handler = [](int) { kill(0, SIGKILL); };  // the whole group: this process and its helpers
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(kBoxExitNotShown);  // the game ended before the line above
    int chosen = -1;
    if (SDL_ShowMessageBox(&box, &chosen) != 0) {
      Log("sdl", "message box unavailable: %s", SDL_GetError());
      _exit(kBoxExitNotShown);
    }
    // SDL reports -1 when the box was closed by its frame rather than a button.
    _exit(chosen < 0 ? kBoxExitDismissed : chosen);
  }
  setpgid(child, child);  // also from here: no race with the child's own call
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (done < 0 && errno != EINTR) return kBoxNotShown;
    if (TerminationRequested()) {
      kill(-child, SIGKILL);
      while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
      Log("sdl", "message box closed: the program is ending");
      return kBoxDismissed;
    }
    usleep(20000);
  }
  if (!WIFEXITED(status)) return kBoxNotShown;
  const int code = WEXITSTATUS(status);
  if (code == kBoxExitNotShown) return kBoxNotShown;
  if (code == kBoxExitDismissed) return kBoxDismissed;
  return code;
}
}  // namespace

int Window::ShowMessageBox(const std::string& titleUtf8, const std::string& textUtf8,
                           const std::vector<std::string>& buttonsUtf8, bool errorIcon, int defaultButton,
                           int escapeButton) const {
  return ShowBox(impl_->window, titleUtf8, textUtf8, buttonsUtf8, errorIcon, defaultButton, escapeButton);
}

int ShowStandaloneMessageBox(const std::string& titleUtf8, const std::string& textUtf8, bool errorIcon) {
  return ShowBox(nullptr, titleUtf8, textUtf8, {"OK"}, errorIcon, 0, 0);
}

}  // namespace plat

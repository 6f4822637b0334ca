#include "platform/debugui/debug_ui.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <imgui.h>
#include <imgui_impl_opengl3.h>
#include <imgui_impl_sdl.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/sdl/window.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"

namespace plat {

struct DebugWindow::Impl {
  SDL_Window* window = nullptr;
  SDL_GLContext gl = nullptr;
  ImGuiContext* context = nullptr;
  Uint32 id = 0;
  std::vector<std::string> clicks;
  std::map<std::string, std::pair<int, bool>> selects;
  std::map<std::string, std::string> texts;
  std::vector<std::string> drawn;
  bool inMenuBar = false;
  std::vector<bool> menus;  // per open BeginMenu: whether ImGui opened it

  bool TakeClick(const std::string& label) {
    auto it = std::find(clicks.begin(), clicks.end(), label);
    if (it == clicks.end()) return false;
    clicks.erase(it);
    return true;
  }
};

namespace {

// The Japanese face for the dialogs' texts; ImGui's own font has no kana or kanji.
const char* const kFontFiles[] = {
    "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
    "/usr/share/fonts/truetype/fonts-japanese-gothic.ttf",
};

std::string U8(const char* cp932) { return Cp932ToUtf8(cp932 ? cp932 : ""); }

Uint32 EventWindowId(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT:
      return e.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      return e.key.windowID;
    case SDL_TEXTINPUT:
      return e.text.windowID;
    case SDL_TEXTEDITING:
      return e.edit.windowID;
    case SDL_MOUSEMOTION:
      return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      return e.button.windowID;
    case SDL_MOUSEWHEEL:
      return e.wheel.windowID;
    default:
      return 0;
  }
}

}  // namespace

DebugWindow::DebugWindow() : impl_(std::make_unique<Impl>()) {}

std::unique_ptr<DebugWindow> DebugWindow::Create(const Options& o) {
  if (!InitVideo()) return nullptr;
  std::unique_ptr<DebugWindow> w(new DebugWindow());
  Impl& m = *w->impl_;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | (o.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN);
  m.window =
      SDL_CreateWindow(o.titleUtf8.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, o.width, o.height, flags);
  if (!m.window) {
    Log("debug", "debug window: %s", SDL_GetError());
    return nullptr;
  }
  m.id = SDL_GetWindowID(m.window);
  m.gl = SDL_GL_CreateContext(m.window);
  if (!m.gl) {
    Log("debug", "debug window context: %s", SDL_GetError());
    return nullptr;  // the destructor takes the window down
  }
  SDL_GL_MakeCurrent(m.window, m.gl);
  // The message loop must not wait for the display's refresh here; the caller paces the passes.
  SDL_GL_SetSwapInterval(0);
  IMGUI_CHECKVERSION();
  ImGuiContext* previous = ImGui::GetCurrentContext();
  m.context = ImGui::CreateContext();
  ImGui::SetCurrentContext(m.context);
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;  // nothing written beside the game
  // The cursor belongs to the game window; ImGui must not change it.
  io.ConfigFlags |= ImGuiConfigFlags_NoMouseCursorChange;
  for (const char* f : kFontFiles) {
    if (SDL_RWops* probe = SDL_RWFromFile(f, "rb")) {
      SDL_RWclose(probe);
      io.Fonts->AddFontFromFileTTF(f, 15.0f, nullptr, io.Fonts->GetGlyphRangesJapanese());
      break;
    }
  }
  ImGui::StyleColorsDark();
  bool ok = ImGui_ImplSDL2_InitForOpenGL(m.window, m.gl) && ImGui_ImplOpenGL3_Init("#version 330 core");
  SDL_GL_MakeCurrent(m.window, nullptr);
  if (previous) ImGui::SetCurrentContext(previous);
  if (!ok) {
    Log("debug", "debug window: the ImGui backends did not start");
    return nullptr;
  }
  SetForeignEventSink([](const void* e, void* self) { static_cast<DebugWindow*>(self)->HandleEvent(e); }, w.get());
  return w;
}

DebugWindow::~DebugWindow() {
  Impl& m = *impl_;
  SetForeignEventSink(nullptr, nullptr);
  if (m.context) {
    if (m.gl) SDL_GL_MakeCurrent(m.window, m.gl);
    ImGui::SetCurrentContext(m.context);
    if (ImGui::GetIO().BackendRendererUserData) ImGui_ImplOpenGL3_Shutdown();
    if (ImGui::GetIO().BackendPlatformUserData) ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext(m.context);
  }
  if (m.gl) {
    SDL_GL_MakeCurrent(m.window, nullptr);
    SDL_GL_DeleteContext(m.gl);
  }
  if (m.window) SDL_DestroyWindow(m.window);
}

void DebugWindow::HandleEvent(const void* sdlEvent) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(sdlEvent);
  if (EventWindowId(e) != impl_->id) return;
  ImGui::SetCurrentContext(impl_->context);
  ImGui_ImplSDL2_ProcessEvent(&e);
}

void DebugWindow::BeginFrame() {
  Impl& m = *impl_;
  SDL_GL_MakeCurrent(m.window, m.gl);
  ImGui::SetCurrentContext(m.context);
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  ImGui::NewFrame();
  m.drawn.clear();
  // The whole window is the menu bar's host; dialogs float above it.
  const ImGuiViewport* vp = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(vp->Pos);
  ImGui::SetNextWindowSize(vp->Size);
  ImGui::Begin("##debughost", nullptr,
               ImGuiWindowFlags_MenuBar | ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                   ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoSavedSettings);
  m.inMenuBar = ImGui::BeginMenuBar();
}

void DebugWindow::EndFrame() {
  Impl& m = *impl_;
  if (m.inMenuBar) ImGui::EndMenuBar();
  m.inMenuBar = false;
  ImGui::End();
  ImGui::Render();
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(m.window, &w, &h);
  glViewport(0, 0, w, h);
  glClearColor(0.1f, 0.1f, 0.12f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
  SDL_GL_SwapWindow(m.window);
  SDL_GL_MakeCurrent(m.window, nullptr);
  // What a test queued and no widget took does not linger into later passes.
  m.clicks.clear();
  m.selects.clear();
  m.texts.clear();
}

void DebugWindow::QueueClick(const std::string& label) { impl_->clicks.push_back(label); }
void DebugWindow::QueueSelect(const std::string& listId, int row, bool activate) {
  impl_->selects[listId] = {row, activate};
}
void DebugWindow::QueueText(const std::string& editId, const std::string& text) { impl_->texts[editId] = text; }
const std::vector<std::string>& DebugWindow::DrawnLabels() const { return impl_->drawn; }

bool DebugWindow::BeginMenu(const char* label) {
  Impl& m = *impl_;
  m.drawn.push_back(label);
  bool open = m.inMenuBar && ImGui::BeginMenu(U8(label).c_str());
  m.menus.push_back(open);
  // A queued click reaches the items of a menu nobody opened by hand.
  return open || !m.clicks.empty();
}

void DebugWindow::EndMenu() {
  Impl& m = *impl_;
  if (m.menus.empty()) return;
  if (m.menus.back()) ImGui::EndMenu();
  m.menus.pop_back();
}

bool DebugWindow::MenuItem(const char* label, bool checked) {
  Impl& m = *impl_;
  m.drawn.push_back(label);
  bool hit = m.TakeClick(label);
  bool open = !m.menus.empty() && m.menus.back();
  return (open && ImGui::MenuItem(U8(label).c_str(), nullptr, checked)) || hit;
}

bool DebugWindow::BeginDialog(const char* id, const char* title, bool modal) {
  impl_->drawn.push_back(title);
  std::string name = U8(title) + "##" + id;
  ImGui::SetNextWindowSize(ImVec2(640, 420), ImGuiCond_FirstUseEver);
  ImGuiWindowFlags flags = ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoCollapse;
  if (modal) ImGui::SetNextWindowFocus();
  bool shown = ImGui::Begin(name.c_str(), nullptr, flags);
  if (!shown) ImGui::End();
  return shown;
}

void DebugWindow::EndDialog() { ImGui::End(); }

void DebugWindow::Text(const std::string& text) {
  impl_->drawn.push_back(text);
  ImGui::TextUnformatted(U8(text.c_str()).c_str());
}

bool DebugWindow::List(const char* id, const std::vector<std::string>& rows, int* selected, bool* activated,
                       int visibleRows) {
  Impl& m = *impl_;
  if (activated) *activated = false;
  int before = *selected;
  std::string boxId = std::string("##") + id;
  float h = ImGui::GetTextLineHeightWithSpacing() * static_cast<float>(std::max(visibleRows, 3)) + 4.0f;
  if (ImGui::BeginListBox(boxId.c_str(), ImVec2(-1.0f, h))) {
    ImGuiListClipper clip;
    clip.Begin(static_cast<int>(rows.size()));
    while (clip.Step()) {
      for (int i = clip.DisplayStart; i < clip.DisplayEnd; ++i) {
        ImGui::PushID(i);
        if (ImGui::Selectable(U8(rows[i].c_str()).c_str(), i == *selected, ImGuiSelectableFlags_AllowDoubleClick)) {
          *selected = i;
          if (activated && ImGui::IsMouseDoubleClicked(0)) *activated = true;
        }
        ImGui::PopID();
      }
    }
    ImGui::EndListBox();
  }
  auto q = m.selects.find(id);
  if (q != m.selects.end()) {
    if (q->second.first >= 0 && q->second.first < static_cast<int>(rows.size())) *selected = q->second.first;
    if (activated) *activated = q->second.second;
    m.selects.erase(q);
  }
  return *selected != before;
}

bool DebugWindow::Button(const char* label) {
  impl_->drawn.push_back(label);
  bool hit = impl_->TakeClick(label);
  return ImGui::Button(U8(label).c_str()) || hit;
}

void DebugWindow::SameLine() { ImGui::SameLine(); }

bool DebugWindow::InputText(const char* id, std::string* text) {
  Impl& m = *impl_;
  char buf[256];
  std::string shown = U8(text->c_str());
  std::snprintf(buf, sizeof buf, "%s", shown.c_str());
  bool changed = ImGui::InputText((std::string("##") + id).c_str(), buf, sizeof buf);
  if (changed) *text = Utf8ToCp932(buf);
  auto q = m.texts.find(id);
  if (q != m.texts.end()) {
    *text = q->second;
    m.texts.erase(q);
    changed = true;
  }
  return changed;
}

}  // namespace plat

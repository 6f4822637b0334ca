// The debug window's widgets, as the layers above draw their menu and dialogs with them: an
// immediate-mode set (called every pass, answering what the user did since the last pass).
// Texts are CP932; the implementation converts them for display.
#pragma once
#include <memory>
#include <string>
#include <vector>

namespace plat {

class DebugUi {
 public:
  virtual ~DebugUi() = default;
  // The menu bar of the debug window.
  virtual bool BeginMenu(const char* label) = 0;
  virtual void EndMenu() = 0;
  virtual bool MenuItem(const char* label, bool checked) = 0;
  // A dialog; *open false when the user closed it with its close box. Every dialog drawn with
  // modal set keeps the others from input while it is up.
  virtual bool BeginDialog(const char* id, const char* title, bool modal) = 0;
  virtual void EndDialog() = 0;
  virtual void Text(const std::string& text) = 0;
  // A list box: true when the selection changed; *activated set on a double click.
  virtual bool List(const char* id, const std::vector<std::string>& rows, int* selected, bool* activated,
                    int visibleRows) = 0;
  virtual bool Button(const char* label) = 0;
  virtual void SameLine() = 0;
  // A one-line edit; the text is CP932 in and out.
  virtual bool InputText(const char* id, std::string* text) = 0;
};

// The second window (debug mode only): its own SDL window and GL context on the main thread,
// with ImGui drawing into it.
class DebugWindow : public DebugUi {
 public:
  struct Options {
    std::string titleUtf8 = "Debug";
    int width = 720;
    int height = 640;
    bool hidden = false;
  };
  // Null when the window or its context cannot be made (logged).
  static std::unique_ptr<DebugWindow> Create(const Options& options);
  ~DebugWindow() override;

  // Offers one SDL event (an SDL_Event*); the window takes only its own.
  void HandleEvent(const void* sdlEvent);
  // One pass: begin, the caller's widgets, end (draws and swaps).
  void BeginFrame();
  void EndFrame();

  // Seam for tests: the next pass acts as if the user had pressed the button (or chosen the menu
  // item) with this label, or chosen row n of a list, or typed text into an edit.
  void QueueClick(const std::string& label);
  void QueueSelect(const std::string& listId, int row, bool activate);
  void QueueText(const std::string& editId, const std::string& text);
  // Labels drawn in the last pass (tests check what the window shows).
  const std::vector<std::string>& DrawnLabels() const;

  bool BeginMenu(const char* label) override;
  void EndMenu() override;
  bool MenuItem(const char* label, bool checked) override;
  bool BeginDialog(const char* id, const char* title, bool modal) override;
  void EndDialog() override;
  void Text(const std::string& text) override;
  bool List(const char* id, const std::vector<std::string>& rows, int* selected, bool* activated,
            int visibleRows) override;
  bool Button(const char* label) override;
  void SameLine() override;
  bool InputText(const char* id, std::string* text) override;

  struct Impl;

 private:
  DebugWindow();
  std::unique_ptr<Impl> impl_;
};

}  // namespace plat

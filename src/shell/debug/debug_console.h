// The debug menu and its dialogs, drawn every main-loop pass into the debug window. Changes to
// the game's state run through the exclusive hook, which holds the frame off while they happen.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shell/debug/debug_rows.h"

class AdvScript;
namespace plat {
class DebugUi;
}

struct DebugConsoleHooks {
  // Runs fn while no frame runs (the program pauses the frame and waits for it); tests call it.
  std::function<void(const std::function<void()>&)> exclusive;
  void (*setFramePause)(bool on) = nullptr;
  void (*stopAllSound)() = nullptr;
  // The event jump: reopen the scenario window, reload the switch file, go to the event.
  void (*reopenAdvWindow)() = nullptr;
  // Menu items that act on other subsystems (the program's wiring); called between frames with
  // the item's check mark after the command (the save-data clear only after its question).
  void (*programCommand)(int id, bool checked) = nullptr;
};

class DebugConsole {
 public:
  DebugConsole(AdvScript& script, DebugConsoleHooks hooks);
  ~DebugConsole();

  // One pass: the menu bar and every open dialog.
  void Draw(plat::DebugUi& ui);
  // A menu command by its id, as the menu item does.
  void Command(int id);

  // The check mark of an item.
  bool IsChecked(int id) const;
  // The watch window asks for a refresh (a watched switch changed); any thread.
  void RequestWatchRefresh() { watchDirty_.store(true); }

  enum class Dialog {
    kNone,
    kSwitchList,
    kSwitchEdit,
    kLabelList,
    kFileLabelList,
    kEventList,
    kSelectList,
    kAutoRun,
    kSaveClearQuestion,
    kNotice
  };
  Dialog OpenDialog() const { return dialog_; }
  bool WatchWindowOpen() const { return watchOpen_; }
  // True while a modal dialog is up (the close question is held off meanwhile).
  bool ModalUp() const { return dialog_ != Dialog::kNone; }
  const std::string& AutoRunMessage() const { return autoRunMessage_; }
  // The text of the open notice (a plain box in the window).
  const std::string& NoticeText() const { return noticeText_; }

 private:
  void RunExclusive(const std::function<void()>& fn);
  void DrawMenu(plat::DebugUi& ui);
  void DrawSwitchList(plat::DebugUi& ui);
  void DrawSwitchEdit(plat::DebugUi& ui);
  void DrawLabelList(plat::DebugUi& ui);
  void DrawFileLabelList(plat::DebugUi& ui);
  void DrawSaveClearQuestion(plat::DebugUi& ui);
  void DrawNotice(plat::DebugUi& ui);
  void FillFileLabels();
  void DrawSelectList(plat::DebugUi& ui);
  void DrawAutoRun(plat::DebugUi& ui);
  void DrawFrameRecord(plat::DebugUi& ui);
  void DrawWatch(plat::DebugUi& ui);
  void OpenSwitchList();
  void OpenLabelList(bool eventMode);
  void OpenLabelJump();
  void OpenSelectList(int mode);
  void Close();

  AdvScript& script_;
  DebugConsoleHooks hooks_;
  Dialog dialog_ = Dialog::kNone;
  std::vector<std::string> rows_;
  std::vector<int32_t> rowValues_;
  int selected_ = -1;
  int lastSwitch_ = -1, lastLabel_ = -1, lastEvent_ = -1;  // restored when a dialog opens again
  int listMode_ = 0;
  int editSwitch_ = -1;
  std::string editName_, editText_, editMessage_;
  std::string autoRunText_, autoRunMessage_;
  bool watchOpen_ = false;
  std::vector<std::string> frameRecordLines_;
  unsigned frameRecordAge_ = 0;
  int watchSelected_ = -1;
  std::vector<std::string> watchRows_;
  std::atomic<bool> watchDirty_{true};
  // The two-level label jump: files, the chosen file's labels, the last choices.
  std::vector<ScriptFileEntry> files_;
  std::vector<std::string> fileRows_, fileLabelRows_;
  int fileSelected_ = -1, fileLabelSelected_ = -1, shownFile_ = -1;
  int lastFile_ = -1, lastFileLabel_ = -1;
  std::string noticeTitle_, noticeText_;
};

// The console of the running program (null outside debug mode); the watch notifier reaches it.
DebugConsole* GetDebugConsole();
void SetDebugConsole(DebugConsole* console);

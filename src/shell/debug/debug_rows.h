// What the debug window shows and does, apart from drawing: the row texts of its lists, the
// switch editor's value rule, the label jumps, the auto-run limit and the debug words the rules
// read. Everything here works on the tables and the script state, so it runs headless.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/debug_words.h"

class AdvScript;

// Menu ids of the debug menu.
namespace debug_menu {
inline constexpr int kLabelJump = 40001;
inline constexpr int kSwitchList = 40002;
inline constexpr int kEventJump = 40003;
inline constexpr int kWatchWindow = 40011;
inline constexpr int kClearWatch = 40015;
inline constexpr int kAutoRun = 40016;
inline constexpr int kSelectDaimyo = 40032;
inline constexpr int kClearSaveData = 40035;
inline constexpr int kCharFlagStats = 40036;
}  // namespace debug_menu

// "%05d: %6d : %s": switch number, value, name (switch and watch lists).
std::string FormatSwitchRow(int32_t number, int32_t value, const std::string& name);
// "%4d : %-32s : %s": label index, name, comment (the plain label list).
std::string FormatLabelRow(int32_t index, const std::string& name, const std::string& comment);
// "%s    ---  %s": label, comment (the labels of one script file).
std::string FormatFileLabelRow(const std::string& name, const std::string& comment);

// The switch rows of the loaded set (none without a set).
std::vector<std::string> SwitchRows(const AdvScript& script);
// The watched switches' rows, in watch-list order.
std::vector<std::string> WatchRows(const AdvScript& script);
// The label rows of the loaded set: every named label, with its index.
struct LabelRowList {
  std::vector<std::string> rows;
  std::vector<int32_t> labels;  // label index of each row
};
LabelRowList LabelRows(const AdvScript& script);
// The event rows of the loaded set: every event with a start, as "%4d : %-32s : %s" (number,
// name, "").
LabelRowList EventRows(const AdvScript& script);
// The comment stored with label n ("" for none).
std::string LabelComment(const AdvScript& script, uint32_t label);

// The switch editor: a whole signed 32-bit decimal number (blanks around it allowed); anything
// else, or a value out of range, is refused.
bool ParseSwitchValue(const std::string& text, int32_t* value);
// Stores a value into switch 0..8192 of the loaded set and tells the watch window; false (nothing
// stored) for another number or no set.
bool StoreSwitchValue(AdvScript& script, int32_t number, int32_t value);

// Selection dialog: list mode 0 clans, 1 castles, 2 generals, 3 countries.
const char* SelectListTitle(int mode);
const char* SelectListHeader(int mode);
int SelectListRowCount(int mode);
std::string FormatSelectRow(int mode, int row);

// Auto-run turn limit: accepted when currentTurn < value < 999. Refused: false and the message
// "入力値(%d)が不正です。%d～998です。".
bool CheckAutoRunLimit(int32_t currentTurn, int32_t value, std::string* message);
bool ParseAutoRunLimit(const std::string& text, int32_t* value);

// The file → labels jump. Unknown label: the error box "ラベルが見つかりませんでした" /
// "ラベルジャンプエラー" and false. Known: stops all sound, resets the position, then jumps to
// "DEB_ALL_DEL" first (GameMode 46, the chosen label follows in 47) when the set has one, else
// straight to the label (GameMode 47).
struct LabelJumpHooks {
  void (*stopAllSound)() = nullptr;
};
bool DebugJumpToLabelName(AdvScript& script, const std::string& name, const LabelJumpHooks& hooks = {});
// The label jump's script-file list: every source file of the loaded set that holds a named label,
// in file order, with its labels in label order (a label belongs to the file of the instruction
// it marks). Empty without a set.
struct ScriptFileLabel {
  std::string name, comment;
  int32_t index = -1;
};
struct ScriptFileEntry {
  std::string file;
  std::vector<ScriptFileLabel> labels;
};
std::vector<ScriptFileEntry> ScriptFileList(const AdvScript& script);
// The two-level jump: when the script has finished (GameMode 2) the loaded set is loaded again
// first; then the jump by name as above.
bool DebugJumpToFileLabel(AdvScript& script, const std::string& name, const LabelJumpHooks& hooks = {});
// The plain list's jump to a label index.
bool DebugJumpToLabelIndex(AdvScript& script, int32_t label);

// What the debug window shows and does, apart from drawing: the row texts of its lists, the
// switch editor's value rule, the label jumps, the auto-run limit and the debug words the rules
// read. Everything here works on the tables and the script state, so it runs headless.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

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
}  // namespace debug_menu

// Debug words the strategy and battle rules read (255: not forced).
struct DebugWords {
  uint8_t forcedWeather = 255;      // 0 clear, 1 rain, 2 fog
  uint8_t skillRate = 255;          // 0 always, 1 doubled, 2 never
  uint8_t forcedSeasonEvent = 255;  // 0 bad harvest, 1 good harvest, 2 plague, 3 drought
  int32_t imageView = 0;            // 0 normal, 1/2 scenario pages, 3/4 strategy pages
};
DebugWords& GetDebugWords();

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
// The plain list's jump to a label index.
bool DebugJumpToLabelIndex(AdvScript& script, int32_t label);

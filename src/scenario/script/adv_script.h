// The script state: the loaded script set's areas, the program counter, the subroutine stack,
// switches and their save-point copies, voice bookkeeping, the backlog, the persistent
// read-message flags, the wait state, the error context and the debug watch lists.
//
// One global instance (GetAdvScript) serves the game; tests construct their own. Offsets are
// byte offsets into the bytecode area; the program counter is one (never a raw pointer).
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "core/fixed_path.h"
#include "formats/script/script_set_layout.h"

// 72 bytes in adv.dat: file name, voice number (the named switch's value), parameter.
struct AdvVoiceRecord {
  char fileName[64] = {};
  int32_t number = 0;
  int32_t param = 0;
};

// One read message, newest first in the backlog. Texts are cut at character boundaries.
struct AdvBacklogEntry {
  char speaker[21] = {};
  char text[160] = {};
  char voiceName[64] = {};
  int32_t voiceNumber = 0;
  int32_t voiceParam = 0;
};

// What the script state needs of the scenario scene while one exists.
class AdvScenePort {
 public:
  virtual ~AdvScenePort() = default;
  // The message window's saved state for adv.dat (block 8); false or empty: none.
  virtual bool SaveWindowState(std::vector<uint8_t>& out) = 0;
  // A choice is shown: the save point's page was read to its end.
  virtual bool IsChoiceOpen() const { return false; }
};

class AdvScript {
 public:
  static constexpr size_t kCallStackSize = 16;
  static constexpr size_t kWatchListSize = 80;
  static constexpr size_t kBacklogMax = 200;
  static constexpr uint32_t kAdvFixedSize = 557340;  // adv.dat blocks 1..7

  AdvScript();
  ~AdvScript();
  AdvScript(const AdvScript&) = delete;
  AdvScript& operator=(const AdvScript&) = delete;

  // --- Script sets -----------------------------------------------------------------------------
  // Loads set 0 (main story) or 1 (tutorial) named by its set-name file. Writes the loaded set's
  // read-message file first. False for another set number (nothing changes) or an unreadable
  // set-name file (no set stays loaded).
  bool LoadScriptFiles(int set);
  // Resets the state and reads the nine files of baseName; missing or short files leave zeros.
  void LoadScriptSet(const char* baseName);
  // Start-up check: true when the set's .bl header equals the program's signature.
  bool LoadStartLabelList(int set);
  // Why the last LoadStartLabelList failed: the file and what was expected of it.
  const std::string& StartFailure() const { return startFailure; }
  // Reads the loaded set's .sw again into the switches (and the watch snapshot).
  bool LoadSwitchFile();
  void Reset();

  // --- Position ----------------------------------------------------------------------------------
  // False when no set is loaded or the offset is above 15,999,999.
  bool SetPc(uint32_t offset);
  // False when no set is loaded or the label is outside 0..4095.
  bool GotoLabelIndex(int32_t label);
  // Label number of a name (compared within its 64-byte field); -1 for an empty name or none.
  // Record 4096 can be found but is never a jump target.
  int32_t FindLabelByName(const char* name) const;
  // Jumps to a named label; an unknown name shows the event error and leaves pc as it was. No
  // set loaded or no name: false, nothing shown.
  bool GotoLabelName(const char* name);
  // Starts event n at its .ev offset (GameMode 10) through SetPc's bounds; a missing event shows
  // "ラベル[%d]がありません" and gives false.
  bool GotoEvent(int32_t event, int32_t argument);

  // --- Subroutines -------------------------------------------------------------------------------
  // Pushes the return offset. A 17th nested call is refused (reported, nothing pushed): the
  // caller then goes on after the call instead of jumping.
  bool ScriptGosub(uint32_t returnOffset);
  // Pops a return offset; -1 (reported) when the stack is empty.
  int64_t ScriptReturn();

  // --- Save point, switches, read messages -------------------------------------------------------
  // Taken at every #TalkStart: message number, switches, pending voice and the call stack.
  void MarkSavePoint(uint32_t message);
  void SaveSystemSwitches();
  void LoadSystemSwitches();
  bool IsMessageReadFlag(int64_t n) const;
  void SetMessageRead(uint32_t n);
  void SnapshotSwitches();
  // The first switch named name; *value 0 and false when none (or no set, or an empty name).
  bool FindSwitchByName(const char* name, int32_t* value) const;

  // --- Error context -----------------------------------------------------------------------------
  // "%s\n直前に実行されたスクリプト\nファイル:%s\n行番号:%d\nスクリプト:%s", bounded by outSize.
  void FormatLastScript(char* out, size_t outSize, const char* message) const;

  // --- Backlog -----------------------------------------------------------------------------------
  void AddBacklogEntry(const char* speaker, const char* text, const char* voiceName, int32_t voiceNumber,
                       int32_t voiceParam);
  void ClearBacklog() { backlog.clear(); }
  uint32_t GetBacklogCount() const { return static_cast<uint32_t>(backlog.size()); }
  const AdvBacklogEntry* GetBacklogEntry(int64_t i) const;

  // --- Debug watch -------------------------------------------------------------------------------
  void AddWatchSwitch(int32_t n);
  void RemoveWatchSwitch(int32_t n);
  void ClearWatchList();
  bool IsSwitchWatched(int32_t n) const;
  // Shows a box for every watched switch whose value changed since the snapshot, then snapshots.
  void CheckWatchedSwitches();

  // --- adv.dat -----------------------------------------------------------------------------------
  // Writes the save point's state (and the scene's window state) as one block file.
  bool SaveAdvData(const FixedPath& path);
  // Reads and validates every field before anything changes; a bad file gives false and leaves
  // the state as it was. Resumes at the saved message's #TalkStart; the window state waits in
  // TakePendingWindowState for the scenario scene. A save made with no set loaded (set -1)
  // leaves the game with no set loaded.
  bool LoadAdvData(const FixedPath& path);
  // Why the last LoadAdvData refused its file (empty after a success).
  const std::string& AdvDataFailure() const { return advFailure; }
  bool HasPendingWindowState() const { return windowStatePending; }
  // The loaded save was made at a choice: its page is shown again without waits until the choice.
  bool SavedAtChoice() const { return savePointReserved[kReservedAtChoice] != 0; }
  bool TakePendingWindowState(std::vector<uint8_t>& out);

  void SetScene(AdvScenePort* s) { scene = s; }
  AdvScenePort* GetScene() const { return scene; }

  // --- Bounded views of the name areas -----------------------------------------------------------
  std::string LabelName(uint32_t label) const;
  std::string SwitchName(uint32_t sw) const;
  std::string SourceFileName(uint32_t index) const;
  uint32_t EventOffset(uint32_t event) const;

  // --- State (fields in the order of the data model) ---------------------------------------------
  uint32_t loaded = 0;
  int32_t setNumber = -1;
  char baseName[262] = {};
  std::string startFailure;
  std::string advFailure;
  std::vector<uint8_t> bytecode;  // kBytecodeAreaSize bytes
  uint32_t bytecodeSize = 0;      // bytes read from .sd
  uint32_t pc = 0;
  std::vector<int32_t> switches;
  std::vector<int32_t> savePointSwitches;
  std::vector<uint8_t> switchNames;  // 8193 x 64
  std::vector<uint32_t> labelOffsets;
  std::vector<uint8_t> labelNames;  // 4097 x 128
  std::vector<uint8_t> events;      // 3840 x 68
  uint32_t callDepth = 0;
  uint32_t returnStack[kCallStackSize] = {};
  std::vector<uint32_t> messageOffsets;
  std::vector<uint8_t> sourceFileNames;  // 512 x 64
  uint8_t voicePending = 0;
  AdvVoiceRecord pendingVoice;
  AdvVoiceRecord savePointVoice;
  char blockLabel[64] = {};
  uint8_t blHeader[v4fmt::kSignatureSize] = {};
  std::vector<int32_t> watchSnapshot;
  std::vector<uint32_t> watchFlags;
  int32_t watchList[kWatchListSize + 1];
  std::deque<AdvBacklogEntry> backlog;
  std::vector<uint8_t> readMessages;
  uint32_t savePointMessage = 0;
  uint32_t savePointReserved[16] = {};
  // The first reserved word: 1 when the game was saved while the page's choice was shown.
  static constexpr size_t kReservedAtChoice = 0;
  // The call stack as it stood at the save point: saved with it, so that a loaded game resumes
  // at the #TalkStart with the return positions that were live there.
  uint32_t savePointCallDepth = 0;
  uint32_t savePointReturnStack[kCallStackSize] = {};
  uint32_t operandKind = 0;
  uint32_t opcode = 0;
  uint32_t fileIndex = 0;
  uint32_t lineNumber = 0;
  AdvScenePort* scene = nullptr;
  uint32_t lastTick = 0;
  uint32_t waitRemaining = 0;
  int32_t waitJumpLabel = -1;
  uint32_t messageId = 0;
  uint32_t namedGeneral = 0;
  int32_t eventArgument = 0;
  std::vector<uint8_t> pendingWindowState;
  bool windowStatePending = false;

 private:
  FixedPath ModulePath(const char* relative) const;
  FixedPath SetFilePath(const char* extension) const;
  bool ReadSetName(int set, char* out, size_t outSize) const;
};

// The program's script state; the first use installs its error-context formatter.
AdvScript& GetAdvScript();

// Watch window refresh (debug): called after switch writes of watched switches.
using WatchWindowNotifier = void (*)(int32_t sw);
void SetWatchWindowNotifier(WatchWindowNotifier notifier);
void NotifyWatchWindow(int32_t sw);

// The operations on the program's script state under the names the rest of the game uses.
bool LoadScriptFiles(int set);
void LoadScriptSet(const char* baseName);
bool LoadStartLabelList(int set);
const char* StartLabelListFailure();
bool SetPc(uint32_t offset);
bool ScriptGosub(uint32_t returnOffset);
int64_t ScriptReturn();
void MarkSavePoint(uint32_t message);
bool IsMessageReadFlag(int64_t n);
uint32_t GetBacklogCount();
const AdvBacklogEntry* GetBacklogEntry(int64_t i);
bool FindSwitchByName(const char* name, int32_t* value);
bool SaveAdvData(const FixedPath& path);
bool LoadAdvData(const FixedPath& path);
// Why the program's script state refused its last adv.dat.
const char* AdvDataFailure();

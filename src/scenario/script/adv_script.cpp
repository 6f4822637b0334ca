#include "scenario/script/adv_script.h"

#include <cstdio>
#include <algorithm>
#include <cstring>

#include "core/error_box.h"
#include "core/file_io.h"
#include "core/game_file.h"
#include "core/app_state.h"
#include "formats/script/adv_opcodes.h"
#include "platform/fs/fs.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"

using namespace v4fmt;

namespace {

WatchWindowNotifier g_watchNotifier = nullptr;

// Length of text cut to at most max bytes without splitting a double-byte character.
size_t SjisCutLength(const char* text, size_t max) {
  size_t n = 0;
  while (text[n] != '\0') {
    size_t step = plat::IsSjisLead(static_cast<unsigned char>(text[n])) && text[n + 1] != '\0' ? 2 : 1;
    if (n + step > max) break;
    n += step;
  }
  return n;
}

void CopySjis(char* out, size_t outSize, const char* text) {
  if (!text) text = "";
  size_t n = SjisCutLength(text, outSize - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

// Equality of a text with a fixed field that need not hold a NUL.
bool FieldEquals(const uint8_t* field, size_t fieldSize, const char* name) {
  size_t len = std::strlen(name);
  if (len == 0 || len > fieldSize) return false;
  if (std::memcmp(field, name, len) != 0) return false;
  return len == fieldSize || field[len] == 0;
}

void FormatLastScriptThunk(char* out, size_t outSize, const char* message) {
  GetAdvScript().FormatLastScript(out, outSize, message);
}

// Reader of adv.dat's descrambled fixed part.
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) { return le::Get32(&b[at]); }

}  // namespace

AdvScript::AdvScript()
    : bytecode(kBytecodeAreaSize, 0),
      switches(kSwitchCount, 0),
      savePointSwitches(kSwitchCount, 0),
      switchNames(kSwitchCount * kScriptNameField, 0),
      labelOffsets(kLabelCount, 0),
      labelNames(kLabelNameRecords * kLabelNameRecordSize, 0),
      events(kEventCount * kEventRecordSize, 0),
      messageOffsets(kMessageCount, 0),
      sourceFileNames(kSourceFileCount * kScriptNameField, 0),
      watchSnapshot(kSwitchCount, 0),
      watchFlags(kSwitchCount, 0),
      readMessages(kReadMessageFileSize, 0) {
  for (int32_t& w : watchList) w = -1;
}

AdvScript::~AdvScript() = default;

// ---------------------------------------------------------------------------------------------
// Script sets

FixedPath AdvScript::ModulePath(const char* relative) const {
  FixedPath p(GetModuleDir());
  p.Append(relative);
  return p;
}

FixedPath AdvScript::SetFilePath(const char* extension) const {
  FixedPath p(GetModuleDir());
  p.Append(baseName);
  p.Append(extension);
  return p;
}

bool AdvScript::ReadSetName(int set, char* out, size_t outSize) const {
  // The set-name file is resolved against the module folder like every other data file, so the
  // program finds its data wherever it is started from.
  uint8_t buf[262] = {};
  int32_t n = ReadFileInto(ModulePath(kScriptSetNameFile[set]), buf, sizeof buf);
  if (n < 0) return false;
  ParseScriptSetName(buf, static_cast<size_t>(n), out, outSize);
  return true;
}

void AdvScript::Reset() {
  std::fill(bytecode.begin(), bytecode.end(), 0);
  bytecodeSize = 0;
  std::fill(switches.begin(), switches.end(), 0);
  std::fill(switchNames.begin(), switchNames.end(), 0);
  std::fill(labelOffsets.begin(), labelOffsets.end(), 0);
  std::fill(labelNames.begin(), labelNames.end(), 0);
  std::fill(events.begin(), events.end(), 0);
  callDepth = 0;
  std::memset(returnStack, 0, sizeof returnStack);
  savePointCallDepth = 0;
  std::memset(savePointReturnStack, 0, sizeof savePointReturnStack);
  std::fill(messageOffsets.begin(), messageOffsets.end(), 0);
  std::fill(sourceFileNames.begin(), sourceFileNames.end(), 0);
  std::memset(blockLabel, 0, sizeof blockLabel);
  std::memset(blHeader, 0, sizeof blHeader);
  std::fill(watchFlags.begin(), watchFlags.end(), 0);
  for (int32_t w : watchList) {
    if (w >= 0 && static_cast<size_t>(w) < kSwitchCount) watchFlags[w] = 1;
  }
  backlog.clear();
  voicePending = 0;
  pendingVoice = AdvVoiceRecord{};
  loaded = 0;
  lastTick = 0;
  waitRemaining = 0;
  waitJumpLabel = -1;
  pc = 0;
}

bool AdvScript::LoadScriptFiles(int set) {
  if (loaded && (setNumber == 0 || setNumber == 1)) SaveSystemSwitches();
  if (set < 0 || set > 1) return false;
  setNumber = -1;
  loaded = 0;
  std::memset(baseName, 0, sizeof baseName);
  if (!ReadSetName(set, baseName, sizeof baseName)) {
    plat::Log("script", "set-name file %s cannot be read", kScriptSetNameFile[set]);
    return false;
  }
  setNumber = set;
  char name[sizeof baseName];
  std::memcpy(name, baseName, sizeof name);
  LoadScriptSet(name);
  if (!loaded) {
    setNumber = -1;
    return false;
  }
  LoadSystemSwitches();
  return true;
}

void AdvScript::LoadScriptSet(const char* name) {
  Reset();
  if (name != baseName) CopySjis(baseName, sizeof baseName, name);
  int32_t n =
      ReadFileDescrambled(SetFilePath(".sd"), bytecode.data(), static_cast<int32_t>(bytecode.size()), kScriptSeed);
  bytecodeSize = n > 0 ? static_cast<uint32_t>(n) : 0;
  uint8_t* areas[kScriptFileCount] = {
      bytecode.data(),
      reinterpret_cast<uint8_t*>(switches.data()),
      reinterpret_cast<uint8_t*>(labelOffsets.data()),
      reinterpret_cast<uint8_t*>(messageOffsets.data()),
      labelNames.data(),
      switchNames.data(),
      sourceFileNames.data(),
      events.data(),
      nullptr,
  };
  // The areas are little-endian integer arrays on a little-endian host.
  static_assert(sizeof(int32_t) == 4 && sizeof(uint32_t) == 4);
  for (int i = kFileSw; i < kFileBl; ++i) {
    ReadFileDescrambled(SetFilePath(kScriptFiles[i].extension), areas[i],
                        static_cast<int32_t>(kScriptFiles[i].areaSize), kScriptSeed);
    if (i == kFileSw) SnapshotSwitches();
  }
  std::memset(blHeader, 0, sizeof blHeader);
  ReadFileDescrambled(SetFilePath(".bl"), blHeader, sizeof blHeader, kScriptSeed);
  // A set without bytecode or made for another program is refused; offsets past the bytecode are
  // reported (the interpreter bounds every read, so they stop the script where they are used).
  if (n <= 0) {
    plat::Log("script", "script set %s refused: no bytecode", baseName);
    return;
  }
  if (std::memcmp(blHeader, kScriptSignature.data(), kSignatureSize) != 0) {
    plat::Log("script", "script set %s refused: its signature is not this program's", baseName);
    return;
  }
  // The assembler's check of the bytecode (sets made before it carry none).
  if (VerifyBytecodeCheck(labelNames.data(), bytecode.data(), bytecodeSize) < 0) {
    plat::Log("script", "script set %s refused: its bytecode does not match the set's check value", baseName);
    return;
  }
  size_t pastEnd = 0;
  for (uint32_t offset : labelOffsets) pastEnd += offset > bytecodeSize;
  for (uint32_t offset : messageOffsets) pastEnd += offset > bytecodeSize;
  if (pastEnd)
    plat::Log("script", "script set %s: %zu label or message offsets lie past its bytecode", baseName, pastEnd);
  loaded = 1;
}

bool AdvScript::LoadStartLabelList(int set) {
  startFailure.clear();
  if (set < 0 || set > 1) return false;
  setNumber = -1;
  loaded = 0;
  std::memset(baseName, 0, sizeof baseName);
  if (!ReadSetName(set, baseName, sizeof baseName)) {
    startFailure = std::string(kScriptSetNameFile[set]) + ": cannot be read (it names the script set)";
    return false;
  }
  if (!baseName[0]) {
    startFailure = std::string(kScriptSetNameFile[set]) + ": names no script set";
    plat::Log("script", "%s", startFailure.c_str());
    return false;
  }
  // A damaged name file must not become a path: the name is a relative path of printable bytes.
  for (const char* p = baseName; *p; ++p) {
    if (static_cast<unsigned char>(*p) < 0x20 || *p == ':') {
      startFailure = std::string(kScriptSetNameFile[set]) + ": the script set's name is damaged";
      plat::Log("script", "%s", startFailure.c_str());
      return false;
    }
  }
  uint8_t header[kSignatureSize] = {};
  const FixedPath blPath = SetFilePath(".bl");
  if (ReadFileDescrambled(blPath, header, sizeof header, kScriptSeed) < 0) {
    plat::Log("script", "%s cannot be read", blPath.CStr());
    startFailure = std::string(blPath.CStr()) + ": cannot be read";
    return false;
  }
  // A cut block-label file still carries its signature; its labels read as far as they go.
  plat::FileInfo info;
  if (plat::StatPath(blPath.CStr(), info) && info.size != kScriptFiles[kFileBl].areaSize) {
    plat::Log("script", "%s is %llu bytes, not %zu: damaged or from another build", blPath.CStr(),
              static_cast<unsigned long long>(info.size), kScriptFiles[kFileBl].areaSize);
  }
  if (std::memcmp(header, kScriptSignature.data(), kSignatureSize) != 0) {
    startFailure = std::string(blPath.CStr()) + ": does not begin with this version's script signature";
    plat::Log("script", "%s", startFailure.c_str());
    return false;
  }
  return true;
}

bool AdvScript::LoadSwitchFile() {
  if (!loaded) return false;
  int32_t n =
      ReadFileDescrambled(SetFilePath(".sw"), switches.data(), static_cast<int32_t>(kSwitchCount * 4), kScriptSeed);
  SnapshotSwitches();
  return n >= 0;
}

// ---------------------------------------------------------------------------------------------
// Position

bool AdvScript::SetPc(uint32_t offset) {
  if (!loaded || offset > kMaxJumpOffset) return false;
  pc = offset;
  return true;
}

bool AdvScript::GotoLabelIndex(int32_t label) {
  if (!loaded || label < 0 || static_cast<size_t>(label) >= kLabelCount) return false;
  return SetPc(labelOffsets[label]);
}

int32_t AdvScript::FindLabelByName(const char* name) const {
  // An empty name would match every unused record: it names nothing.
  if (!loaded || !name || !*name) return -1;
  for (size_t i = 0; i < kLabelNameRecords; ++i) {
    if (FieldEquals(&labelNames[i * kLabelNameRecordSize], kScriptNameField, name)) return static_cast<int32_t>(i);
  }
  return -1;
}

bool AdvScript::GotoLabelName(const char* name) {
  if (!loaded || !name) return false;
  int32_t label = FindLabelByName(name);
  if (label < 0) {
    char text[256];
    char shown[80];
    CopySjis(shown, sizeof shown, name);
    std::snprintf(text, sizeof text, "ラベル[%s]がシナリオの中にありません", shown);
    ShowErrorBox(text, "EVENT ERR!");
    return false;
  }
  return GotoLabelIndex(label);
}

bool AdvScript::GotoEvent(int32_t event, int32_t argument) {
  if (!loaded) return false;
  uint32_t offset = event >= 0 ? EventOffset(static_cast<uint32_t>(event)) : kNoEvent;
  if (offset == kNoEvent || !SetPc(offset)) {
    char text[128];
    std::snprintf(text, sizeof text, "ラベル[%d]がありません", event);
    ShowErrorBox(text, "EVENT ERR!");
    return false;
  }
  GameMode = game_mode::kEventScript;
  eventArgument = argument;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Subroutines

bool AdvScript::ScriptGosub(uint32_t returnOffset) {
  if (callDepth >= kCallStackSize) {
    // Overwriting the top entry would send a later return to the wrong place: refuse the call.
    char text[128];
    std::snprintf(text, sizeof text, "サブルーチンの深さが%dを超えました", static_cast<int>(kCallStackSize));
    ShowErrorMessageBox(text, "ERROR");
    return false;
  }
  returnStack[callDepth++] = returnOffset;
  return true;
}

int64_t AdvScript::ScriptReturn() {
  if (callDepth < 1 || callDepth > kCallStackSize) {
    ShowErrorMessageBox("サブルーチンの戻り位置が不明です", "ERROR");
    return -1;
  }
  --callDepth;
  return returnStack[callDepth];
}

// ---------------------------------------------------------------------------------------------
// Save point, switches, read messages

void AdvScript::MarkSavePoint(uint32_t message) {
  savePointMessage = message;
  savePointSwitches = switches;
  savePointVoice = pendingVoice;
  savePointCallDepth = callDepth;
  std::memcpy(savePointReturnStack, returnStack, sizeof returnStack);
}

void AdvScript::SaveSystemSwitches() {
  if (setNumber != 0 && setNumber != 1) return;
  if (!WriteWholeFile(ModulePath(kReadMessageFile[setNumber]), readMessages.data(),
                      static_cast<int32_t>(readMessages.size()), FileWrite::kAtomic)) {
    plat::Log("script", "read-message file %s cannot be written", kReadMessageFile[setNumber]);
  }
}

void AdvScript::LoadSystemSwitches() {
  if (setNumber != 0 && setNumber != 1) return;
  std::fill(readMessages.begin(), readMessages.end(), 0);
  FixedPath path = ModulePath(kReadMessageFile[setNumber]);
  if (ReadFileInto(path, readMessages.data(), static_cast<int32_t>(readMessages.size())) < 0) {
    WriteWholeFile(path, readMessages.data(), static_cast<int32_t>(readMessages.size()), FileWrite::kAtomic);
  }
}

bool AdvScript::IsMessageReadFlag(int64_t n) const {
  return n >= 0 && static_cast<size_t>(n) < kReadMessageFileSize && readMessages[static_cast<size_t>(n)] != 0;
}

void AdvScript::SetMessageRead(uint32_t n) {
  if (n < kReadMessageFileSize) readMessages[n] = 1;
}

void AdvScript::SnapshotSwitches() { watchSnapshot = switches; }

bool AdvScript::FindSwitchByName(const char* name, int32_t* value) const {
  if (value) *value = 0;
  if (!loaded || !name || !*name) return false;
  for (size_t i = 0; i < kSwitchCount; ++i) {
    if (FieldEquals(&switchNames[i * kScriptNameField], kScriptNameField, name)) {
      if (value) *value = switches[i];
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Error context and bounded views

std::string AdvScript::LabelName(uint32_t label) const {
  if (label >= kLabelNameRecords) return {};
  char buf[kScriptNameField + 1];
  CopyNameField(&labelNames[label * kLabelNameRecordSize], kScriptNameField, buf, sizeof buf);
  return buf;
}

std::string AdvScript::SwitchName(uint32_t sw) const {
  if (sw >= kSwitchCount) return {};
  char buf[kScriptNameField + 1];
  CopyNameField(&switchNames[sw * kScriptNameField], kScriptNameField, buf, sizeof buf);
  return buf;
}

std::string AdvScript::SourceFileName(uint32_t index) const {
  if (index >= kSourceFileCount) return {};
  char buf[kScriptNameField + 1];
  CopyNameField(&sourceFileNames[index * kScriptNameField], kScriptNameField, buf, sizeof buf);
  return buf;
}

uint32_t AdvScript::EventOffset(uint32_t event) const {
  if (event >= kEventCount) return kNoEvent;
  return le::Get32(&events[event * kEventRecordSize + kScriptNameField]);
}

void AdvScript::FormatLastScript(char* out, size_t outSize, const char* message) const {
  if (!out || outSize == 0) return;
  if (!message) {
    out[0] = '\0';
    return;
  }
  std::string file = SourceFileName(fileIndex);
  std::string text = message;
  char line[16];
  std::snprintf(line, sizeof line, "%d", static_cast<int>(lineNumber));
  text += "\n直前に実行されたスクリプト\nファイル:";
  text += file;
  text += "\n行番号:";
  text += line;
  text += "\nスクリプト:";
  text += GetAdvOpcodeInfo(opcode).name;
  CopySjis(out, outSize, text.c_str());
}

// ---------------------------------------------------------------------------------------------
// Backlog

void AdvScript::AddBacklogEntry(const char* speaker, const char* text, const char* voiceName, int32_t voiceNumber,
                                int32_t voiceParam) {
  AdvBacklogEntry e;
  CopySjis(e.speaker, sizeof e.speaker, speaker);
  CopySjis(e.text, sizeof e.text, text);
  CopySjis(e.voiceName, sizeof e.voiceName, voiceName);
  e.voiceNumber = voiceNumber;
  e.voiceParam = voiceParam;
  backlog.push_front(e);
  while (backlog.size() > kBacklogMax) backlog.pop_back();
}

const AdvBacklogEntry* AdvScript::GetBacklogEntry(int64_t i) const {
  if (i < 0 || static_cast<size_t>(i) >= backlog.size()) return nullptr;
  return &backlog[static_cast<size_t>(i)];
}

// ---------------------------------------------------------------------------------------------
// Debug watch

void AdvScript::AddWatchSwitch(int32_t n) {
  if (n < 0 || static_cast<size_t>(n) >= kSwitchCount) return;
  for (size_t i = 0; i < kWatchListSize; ++i) {
    if (watchList[i] == n) return;
  }
  for (size_t i = 0; i < kWatchListSize; ++i) {
    if (watchList[i] == -1) {
      watchList[i] = n;
      watchFlags[n] = 1;
      return;
    }
  }
}

void AdvScript::RemoveWatchSwitch(int32_t n) {
  if (n < 0 || static_cast<size_t>(n) >= kSwitchCount) return;
  watchFlags[n] = 0;
  size_t out = 0;
  for (size_t i = 0; i < kWatchListSize; ++i) {
    if (watchList[i] != n) watchList[out++] = watchList[i];
  }
  while (out <= kWatchListSize) watchList[out++] = -1;
}

void AdvScript::ClearWatchList() {
  std::fill(watchFlags.begin(), watchFlags.end(), 0);
  for (int32_t& w : watchList) w = -1;
}

bool AdvScript::IsSwitchWatched(int32_t n) const {
  return n >= 0 && static_cast<size_t>(n) < kSwitchCount && watchFlags[n] != 0;
}

void AdvScript::CheckWatchedSwitches() {
  for (size_t i = 0; i < kSwitchCount; ++i) {
    if (!watchFlags[i] || switches[i] == watchSnapshot[i]) continue;
    char text[256];
    std::snprintf(text, sizeof text, "変数[ %s ]   [ %d ] --> [ %d ]", SwitchName(static_cast<uint32_t>(i)).c_str(),
                  watchSnapshot[i], switches[i]);
    ShowErrorMessageBox(text, "WatchSw 変数の変化");
  }
  SnapshotSwitches();
}

// ---------------------------------------------------------------------------------------------
// adv.dat

bool AdvScript::SaveAdvData(const FixedPath& path) {
  std::vector<uint8_t> b1(4), b2(kSwitchCount * 4), b4(68), b5(68), b6(72), b7(4), b8;
  le::Put32(b1.data(), static_cast<uint32_t>(setNumber));
  for (size_t i = 0; i < kSwitchCount; ++i) le::Put32(&b2[i * 4], static_cast<uint32_t>(savePointSwitches[i]));
  le::Put32(b4.data(), savePointCallDepth);
  for (size_t i = 0; i < kCallStackSize; ++i) le::Put32(&b4[4 + i * 4], savePointReturnStack[i]);
  le::Put32(b5.data(), savePointMessage);
  savePointReserved[kReservedAtChoice] = scene && scene->IsChoiceOpen() ? 1 : 0;
  for (size_t i = 0; i < 16; ++i) le::Put32(&b5[4 + i * 4], savePointReserved[i]);
  std::memcpy(b6.data(), savePointVoice.fileName, 64);
  le::Put32(&b6[64], static_cast<uint32_t>(savePointVoice.number));
  le::Put32(&b6[68], static_cast<uint32_t>(savePointVoice.param));
  if (scene && !scene->SaveWindowState(b8)) b8.clear();
  le::Put32(b7.data(), static_cast<uint32_t>(b8.size()));
  SaveBlockList list;
  list.Append(b1.data(), 4);
  list.Append(b2.data(), static_cast<int32_t>(b2.size()));
  list.Append(switchNames.data(), static_cast<int32_t>(switchNames.size()));
  list.Append(b4.data(), 68);
  list.Append(b5.data(), 68);
  list.Append(b6.data(), 72);
  list.Append(b7.data(), 4);
  if (!b8.empty()) list.Append(b8.data(), static_cast<int32_t>(b8.size()));
  return WriteBlockFile(path, &list, kScriptSeed, FileWrite::kAtomic) == static_cast<int>(list.Count());
}

bool AdvScript::LoadAdvData(const FixedPath& path) {
  uint8_t* raw = nullptr;
  int32_t size = ReadAllBytes(path, &raw);
  advFailure.clear();
  if (size < 0) {
    advFailure = "cannot be read";
    return false;
  }
  std::vector<uint8_t> file(raw, raw + size);
  FreeFileBuffer(raw);
  auto refuse = [&](const char* why) {
    plat::Log("script", "adv.dat refused: %s", why);
    advFailure = why;
    return false;
  };
  if (file.size() < kAdvFixedSize) return refuse("shorter than its fixed blocks");
  // Each block and the rest were scrambled by themselves.
  static constexpr uint32_t kBlockSizes[7] = {4, kSwitchCount * 4, kSwitchCount * kScriptNameField, 68, 68, 72, 4};
  size_t at = 0;
  size_t blockAt[7];
  for (int i = 0; i < 7; ++i) {
    blockAt[i] = at;
    DescrambleBytes(&file[at], static_cast<int32_t>(kBlockSizes[i]), kScriptSeed);
    at += kBlockSizes[i];
  }
  size_t restSize = file.size() - at;
  if (restSize) DescrambleBytes(&file[at], static_cast<int32_t>(restSize), kScriptSeed);

  int32_t savedSet = static_cast<int32_t>(Le32(file, blockAt[0]));
  if (savedSet < -1 || savedSet > 1) return refuse("set number");
  uint32_t depth = Le32(file, blockAt[3]);
  if (depth > kCallStackSize) return refuse("call depth");
  uint32_t stack[kCallStackSize];
  for (size_t i = 0; i < kCallStackSize; ++i) stack[i] = Le32(file, blockAt[3] + 4 + i * 4);
  for (size_t i = 0; i < depth; ++i) {
    if (stack[i] > kMaxJumpOffset) return refuse("return position");
  }
  uint32_t message = Le32(file, blockAt[4]);
  if (message >= kMessageCount) return refuse("message number");
  const uint8_t* voice = &file[blockAt[5]];
  if (!std::memchr(voice, 0, 64)) return refuse("voice name without its terminator");
  uint32_t stateSize = Le32(file, blockAt[6]);
  if (stateSize > restSize) return refuse("window state longer than the file");
  if (stateSize < restSize) return refuse("bytes after the window state");

  if (savedSet == -1) {
    // Saved before any script set was loaded (the strategy game started from the title): there
    // is no scenario position to restore, and the game goes on with no set, as it was saved.
    if (loaded) SaveSystemSwitches();
    loaded = 0;
    setNumber = -1;
    voicePending = 0;
    pendingVoice = AdvVoiceRecord{};
    waitRemaining = 0;
    waitJumpLabel = -1;
    backlog.clear();
    pendingWindowState.clear();
    windowStatePending = false;
    return true;
  }

  // Everything is checked before the game changes: the resume offset comes from the saved set's
  // message table, read on its own while another set (or none) is loaded.
  const bool changeSet = !loaded || savedSet != setNumber;
  uint32_t resume = 0;
  uint32_t codeSize = bytecodeSize;
  if (changeSet) {
    char savedName[sizeof baseName] = {};
    if (!ReadSetName(savedSet, savedName, sizeof savedName)) return refuse("the saved script set cannot be found");
    FixedPath table(GetModuleDir());
    table.Append(savedName);
    table.Append(kScriptFiles[kFileTko].extension);
    std::vector<uint32_t> offsets(kMessageCount, 0);
    if (ReadFileDescrambled(table, offsets.data(), static_cast<int32_t>(kMessageCount * 4), kScriptSeed) < 0)
      return refuse("the saved script set's message table cannot be read");
    resume = offsets[message];
    // The saved set's bytecode, as its loader will read it (at most the bytecode area).
    FixedPath code(GetModuleDir());
    code.Append(savedName);
    code.Append(".sd");
    uint8_t* bytes = nullptr;
    const int32_t n = ReadAllBytes(code, &bytes);
    if (bytes) FreeFileBuffer(bytes);
    if (n <= 0) return refuse("the saved script set has no bytecode");
    codeSize = static_cast<uint32_t>(std::min(static_cast<size_t>(n), bytecode.size()));
  } else {
    resume = messageOffsets[message];
  }
  if (resume > kMaxJumpOffset) return refuse("resume offset");
  // The position must lie inside its set: a flipped message number or return position that
  // still fits its field would otherwise run whatever bytes it lands on.
  if (resume >= codeSize) return refuse("the saved message lies past the script set's bytecode");
  for (size_t i = 0; i < depth; ++i) {
    if (stack[i] > codeSize) return refuse("a return position lies past the script set's bytecode");
  }
  // The file is sound; the saved set comes first, then the state.
  if (changeSet && !LoadScriptFiles(savedSet)) return refuse("the saved script set cannot be loaded");

  for (size_t i = 0; i < kSwitchCount; ++i) {
    switches[i] = static_cast<int32_t>(Le32(file, blockAt[1] + i * 4));
  }
  savePointSwitches = switches;
  std::memcpy(switchNames.data(), &file[blockAt[2]], switchNames.size());
  callDepth = depth;
  std::memcpy(returnStack, stack, sizeof stack);
  savePointCallDepth = depth;
  std::memcpy(savePointReturnStack, stack, sizeof stack);
  savePointMessage = message;
  for (size_t i = 0; i < 16; ++i) savePointReserved[i] = Le32(file, blockAt[4] + 4 + i * 4);
  AdvVoiceRecord v;
  std::memcpy(v.fileName, voice, 64);
  v.number = static_cast<int32_t>(le::Get32(voice + 64));
  v.param = static_cast<int32_t>(le::Get32(voice + 68));
  pendingVoice = v;
  savePointVoice = v;
  voicePending = v.fileName[0] != 0 ? 1 : 0;
  SetPc(resume);
  waitRemaining = 0;
  waitJumpLabel = -1;
  backlog.clear();
  pendingWindowState.assign(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at + stateSize));
  windowStatePending = stateSize > 0;
  return true;
}

bool AdvScript::TakePendingWindowState(std::vector<uint8_t>& out) {
  if (!windowStatePending) return false;
  out.swap(pendingWindowState);
  pendingWindowState.clear();
  windowStatePending = false;
  return true;
}

// ---------------------------------------------------------------------------------------------
// The program's instance

AdvScript& GetAdvScript() {
  static AdvScript* script = [] {
    auto* s = new AdvScript();
    SetLastScriptFormatter(&FormatLastScriptThunk);
    return s;
  }();
  return *script;
}

void SetWatchWindowNotifier(WatchWindowNotifier notifier) { g_watchNotifier = notifier; }
void NotifyWatchWindow(int32_t sw) {
  if (g_watchNotifier && GetAdvScript().IsSwitchWatched(sw)) g_watchNotifier(sw);
}

bool LoadScriptFiles(int set) { return GetAdvScript().LoadScriptFiles(set); }
void LoadScriptSet(const char* name) { GetAdvScript().LoadScriptSet(name); }
bool LoadStartLabelList(int set) { return GetAdvScript().LoadStartLabelList(set); }
const char* StartLabelListFailure() { return GetAdvScript().StartFailure().c_str(); }
bool SetPc(uint32_t offset) { return GetAdvScript().SetPc(offset); }
bool ScriptGosub(uint32_t returnOffset) { return GetAdvScript().ScriptGosub(returnOffset); }
int64_t ScriptReturn() { return GetAdvScript().ScriptReturn(); }
void MarkSavePoint(uint32_t message) { GetAdvScript().MarkSavePoint(message); }
bool IsMessageReadFlag(int64_t n) { return GetAdvScript().IsMessageReadFlag(n); }
uint32_t GetBacklogCount() { return GetAdvScript().GetBacklogCount(); }
const AdvBacklogEntry* GetBacklogEntry(int64_t i) { return GetAdvScript().GetBacklogEntry(i); }
bool FindSwitchByName(const char* name, int32_t* value) { return GetAdvScript().FindSwitchByName(name, value); }
bool SaveAdvData(const FixedPath& path) { return GetAdvScript().SaveAdvData(path); }
bool LoadAdvData(const FixedPath& path) { return GetAdvScript().LoadAdvData(path); }
const char* AdvDataFailure() { return GetAdvScript().AdvDataFailure().c_str(); }

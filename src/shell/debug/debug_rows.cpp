#include "shell/debug/debug_rows.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>

#include "core/app_state.h"
#include "core/error_box.h"
#include "formats/script/script_set_layout.h"
#include "scenario/interp/adv_step.h"
#include "scenario/script/adv_script.h"
#include "world/ai/random_events.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

constexpr int32_t kLastSwitch = 8192;
constexpr uint32_t kLabelRecord = 128;
constexpr uint32_t kLabelNameLen = 64;
constexpr int32_t kJumpLabels = 4096;

template <typename... A>
std::string Fmt(const char* pattern, A... args) {
  char buf[512];
  std::snprintf(buf, sizeof buf, pattern, args...);
  return buf;
}

// A name field of a table record: up to its length, without a terminator when it is full.
std::string Field(const char* p, size_t len) { return std::string(p, strnlen(p, len)); }

std::string DaimyoName(uint32_t id) {
  const DaimyoRecord* d = DaimyoPtr(id);
  return d ? Field(d->name, kDaimyoNameLen) : std::string();
}
std::string BusyoName(uint32_t id) {
  const BusyoRecord* b = id < kBusyoCount ? &BusyoTable[id] : nullptr;
  return b ? Field(b->name, kBusyoNameLen) : std::string();
}
std::string KuniName(uint32_t id) {
  const KuniRecord* k = id < kKuniCount ? &KuniTable[id] : nullptr;
  return k ? Field(k->name, kKuniNameLen) : std::string();
}

// A clan has generals while its head is placed or its vassal list holds anyone.
bool ClanHasGenerals(int clan) {
  const DaimyoRecord& d = DaimyoTable[clan];
  if (d.head < kBusyoCount && d.head != NullBusyoId && BusyoTable[d.head].siro != kNoSiro) return true;
  return CountDaimyoVassals(clan) > 0;
}

// A general's place: its castle's name, "架空" for the fictional castle, else blank.
std::string BusyoPlace(const BusyoRecord& b) {
  if (b.siro == KakuuSiroId) return "架空";
  const SiroRecord* s = SiroPtr(b.siro);
  return s ? Field(s->name, kSiroNameLen) : std::string();
}

}  // namespace

std::string FormatSwitchRow(int32_t number, int32_t value, const std::string& name) {
  return Fmt("%05d: %6d : %s", number, value, name.c_str());
}

std::string FormatLabelRow(int32_t index, const std::string& name, const std::string& comment) {
  return Fmt("%4d : %-32s : %s", index, name.c_str(), comment.c_str());
}

std::string FormatFileLabelRow(const std::string& name, const std::string& comment) {
  return Fmt("%s    ---  %s", name.c_str(), comment.c_str());
}

std::vector<std::string> SwitchRows(const AdvScript& script) {
  std::vector<std::string> rows;
  if (!script.loaded) return rows;
  int32_t n = static_cast<int32_t>(std::min<size_t>(script.switches.size(), kLastSwitch + 1));
  rows.reserve(n);
  for (int32_t i = 0; i < n; ++i) rows.push_back(FormatSwitchRow(i, script.switches[i], script.SwitchName(i)));
  return rows;
}

std::vector<std::string> WatchRows(const AdvScript& script) {
  std::vector<std::string> rows;
  for (size_t i = 0; i < AdvScript::kWatchListSize && script.watchList[i] >= 0; ++i) {
    int32_t n = script.watchList[i];
    int32_t v = n < static_cast<int32_t>(script.switches.size()) ? script.switches[n] : 0;
    rows.push_back(FormatSwitchRow(n, v, script.SwitchName(n)));
  }
  return rows;
}

std::string LabelComment(const AdvScript& script, uint32_t label) {
  size_t at = static_cast<size_t>(label) * kLabelRecord + kLabelNameLen;
  if (at + kLabelNameLen > script.labelNames.size()) return {};
  return Field(reinterpret_cast<const char*>(&script.labelNames[at]), kLabelNameLen);
}

LabelRowList LabelRows(const AdvScript& script) {
  LabelRowList out;
  if (!script.loaded) return out;
  for (int32_t i = 0; i < kJumpLabels; ++i) {
    std::string name = script.LabelName(i);
    if (name.empty()) continue;
    out.rows.push_back(FormatLabelRow(i, name, LabelComment(script, i)));
    out.labels.push_back(i);
  }
  return out;
}

LabelRowList EventRows(const AdvScript& script) {
  LabelRowList out;
  if (!script.loaded) return out;
  for (uint32_t i = 0; i < v4fmt::kEventCount; ++i) {
    if (script.EventOffset(i) == v4fmt::kNoEvent) continue;
    size_t at = static_cast<size_t>(i) * v4fmt::kEventRecordSize;
    std::string name = at + v4fmt::kScriptNameField <= script.events.size()
                           ? Field(reinterpret_cast<const char*>(&script.events[at]), v4fmt::kScriptNameField)
                           : std::string();
    out.rows.push_back(FormatLabelRow(static_cast<int32_t>(i), name, ""));
    out.labels.push_back(static_cast<int32_t>(i));
  }
  return out;
}

bool ParseSwitchValue(const std::string& text, int32_t* value) {
  const char* s = text.c_str();
  while (*s == ' ' || *s == '\t') ++s;
  if (!*s) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(s, &end, 10);
  if (end == s || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

bool StoreSwitchValue(AdvScript& script, int32_t number, int32_t value) {
  if (!script.loaded || number < 0 || number > kLastSwitch) return false;
  if (number >= static_cast<int32_t>(script.switches.size())) return false;
  script.switches[number] = value;
  NotifyWatchWindow(number);
  return true;
}

const char* SelectListTitle(int mode) {
  switch (mode) {
    case 0:
      return "大名選択ダイアログ";
    case 1:
      return "城選択ダイアログ";
    case 2:
      return "武将選択ダイアログ";
    case 3:
      return "国情報ダイアログ";
    default:
      return "";
  }
}

const char* SelectListHeader(int mode) {
  switch (mode) {
    case 0:
      return "       当主名    レベル  威信  総石高 兵士数  残金";
    case 1:
      return "    城名      レベル 支配        城主                存在国 ";
    case 2:
      return "    武将名            所在地点      年齢";
    case 3:
      return "    国名         共同作戦　　支配率  イベントフラグ";
    default:
      return "";
  }
}

int SelectListRowCount(int mode) {
  switch (mode) {
    case 0:
      return kDaimyoInPlay;
    case 1:
      return kSiroCount;
    case 2:
      return kBusyoCount;
    case 3:
      return kKuniCount;
    default:
      return 0;
  }
}

std::string FormatSelectRow(int mode, int row) {
  if (row < 0 || row >= SelectListRowCount(mode)) return {};
  switch (mode) {
    case 0: {
      const DaimyoRecord& d = DaimyoTable[row];
      std::string s = Fmt("[%2d]%-10s%16s  %5d  %5d  %5d  %5d  %5d", row, DaimyoName(row).c_str(),
                          BusyoName(d.head).c_str(), d.rank, d.prestige, d.revenue, d.soldiers, d.money);
      if (!ClanHasGenerals(row)) s += " -----滅亡";
      return s;
    }
    case 1: {
      const SiroRecord& c = SiroTable[row];
      // The lord byte names the holding clan of an owned castle, else the independent lord's
      // entry in the independents' list.
      std::string lord;
      if (c.owner != kNoDaimyo)
        lord = DaimyoName(c.lord);
      else if (c.lord < kDokuSlots)
        lord = BusyoName(DokuBusyoList[c.lord]);
      return Fmt("[%2d]%-10s  %5d%10s%16s%10s", row, Field(c.name, kSiroNameLen).c_str(), c.level,
                 DaimyoName(c.owner).c_str(), lord.c_str(), KuniName(c.kuni).c_str());
    }
    case 2: {
      const BusyoRecord& b = BusyoTable[row];
      // The tables keep no birth year: the column shows the years since his appearance year
      // (0 when he has none).
      int age = b.appearYear != 255 && GameYear >= 1500u + b.appearYear ? GameYear - 1500 - b.appearYear : 0;
      return Fmt("[%2d]%-16s%7s  %5d", row, BusyoName(row).c_str(), BusyoPlace(b).c_str(), age);
    }
    case 3: {
      const KuniRecord& k = KuniTable[row];
      std::string joint = k.dokuMode != 0 ? Fmt("共同作戦 (%3d)", k.dokuMode) : Fmt("    単独 (%3d)", k.dokuMode);
      char events[24];
      GetKuniEventLabel(static_cast<uint32_t>(row), events, sizeof events);
      return Fmt("[%2d]%-16s%s  %5d  %s", row, KuniName(row).c_str(), joint.c_str(), k.playerShare, events);
    }
    default:
      return {};
  }
}

bool CheckAutoRunLimit(int32_t currentTurn, int32_t value, std::string* message) {
  if (currentTurn < value && value < 999) return true;
  if (message) *message = Fmt("入力値(%d)が不正です。%d～998です。", value, currentTurn + 1);
  return false;
}

bool ParseAutoRunLimit(const std::string& text, int32_t* value) { return ParseSwitchValue(text, value); }

bool DebugJumpToLabelName(AdvScript& script, const std::string& name, const LabelJumpHooks& hooks) {
  int32_t label = script.loaded ? script.FindLabelByName(name.c_str()) : -1;
  if (label < 0 || label >= kJumpLabels) {
    ShowErrorBox("ラベルが見つかりませんでした", "ラベルジャンプエラー");
    return false;
  }
  if (hooks.stopAllSound) hooks.stopAllSound();
  script.SetPc(0);
  int32_t clear = script.FindLabelByName("DEB_ALL_DEL");
  if (clear >= 0 && clear < kJumpLabels) {
    AdvDebugLabel = label;
    GameMode = game_mode::kLabelJump1;
    return script.GotoLabelIndex(clear);
  }
  GameMode = game_mode::kLabelJump2;
  return script.GotoLabelIndex(label);
}

std::vector<ScriptFileEntry> ScriptFileList(const AdvScript& script) {
  std::vector<ScriptFileEntry> out;
  if (!script.loaded) return out;
  std::vector<int> entryOfFile(v4fmt::kSourceFileCount, -1);
  for (int32_t i = 0; i < kJumpLabels && static_cast<size_t>(i) < script.labelOffsets.size(); ++i) {
    std::string name = script.LabelName(i);
    if (name.empty()) continue;
    // The instruction header at the label: opcode, then the u16 source file index.
    uint32_t at = script.labelOffsets[i];
    if (at >= script.bytecodeSize || static_cast<size_t>(at) + 3 > script.bytecode.size()) continue;
    uint32_t file = script.bytecode[at + 1] | script.bytecode[at + 2] << 8;
    if (file >= v4fmt::kSourceFileCount) continue;
    std::string fileName = script.SourceFileName(file);
    if (fileName.empty()) continue;
    if (entryOfFile[file] < 0) {
      entryOfFile[file] = static_cast<int>(out.size());
      out.push_back({fileName, {}});
    }
    out[entryOfFile[file]].labels.push_back({name, LabelComment(script, i), i});
  }
  // File order, as the set lists its source files.
  std::vector<ScriptFileEntry> sorted;
  for (uint32_t f = 0; f < v4fmt::kSourceFileCount; ++f)
    if (entryOfFile[f] >= 0) sorted.push_back(std::move(out[entryOfFile[f]]));
  return sorted;
}

bool DebugJumpToFileLabel(AdvScript& script, const std::string& name, const LabelJumpHooks& hooks) {
  if (GameMode == game_mode::kScriptEnded && script.setNumber >= 0) script.LoadScriptFiles(script.setNumber);
  return DebugJumpToLabelName(script, name, hooks);
}

bool DebugJumpToLabelIndex(AdvScript& script, int32_t label) { return script.GotoLabelIndex(label); }

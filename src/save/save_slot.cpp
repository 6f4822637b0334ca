#include "save/save_slot.h"

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "core/file_io.h"
#include "core/game_file.h"
#include "core/game_rand.h"
#include "core/step_machine.h"
#include "formats/check/crc32.h"
#include "save/play_state.h"
#include "save/slg_words.h"
#include "save/system_files.h"
#include "save/war_save_registry.h"
#include "sound/busyo_voice.h"
#include "platform/fs/fs.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"
#include "scenario/script/adv_script.h"
#include "world/ai/ai_entry.h"
#include "world/record_lists.h"
#include "world/scenario_tables.h"
#include "world/turn/turn_loop.h"
#include "world/turn/turn_state.h"
#include "world/turn/war_phase.h"
#include "world/world_ports.h"
#include "world/world_check.h"
#include "world/world_queries.h"
#include "world/world_tables.h"
#include "world/ai/random_events.h"
#include "platform/byte_order.h"

// The tables and words are copied to and from the file as they lie in memory.
static_assert(std::endian::native == std::endian::little);

uint8_t ProgressReserved[kProgressReservedBytes];

namespace {

constexpr const char* kHeadFile = "head.dat";
constexpr const char* kAdvFile = "adv.dat";
constexpr const char* kSlgFile = "slg.dat";
constexpr const char* kPrgFile = "prg.dat";
// Our own file beside the four: the size and CRC-32 of each, and the play state the four have no
// room for. A slot without it (written before it existed) still loads.
constexpr const char* kExtFile = "ext.dat";
// The commit of a save: present while the slot's "*.new" files are complete and replace the old
// ones. Whoever finds it finishes the swap; without it, "*.new" files are leftovers.
constexpr const char* kSwapFile = "swap.dat";
constexpr const char* kSlotFiles[] = {kHeadFile, kAdvFile, kSlgFile, kPrgFile, kExtFile};
// A new slot file is complete under this name before it replaces the old one.
constexpr const char* kNewSuffix = ".new";

std::string g_lastRefusal;

bool ReadWhole(const FixedPath& path, std::vector<uint8_t>& out) {
  uint8_t* raw = nullptr;
  int32_t n = ReadAllBytes(path, &raw);
  if (n < 0) return false;
  out.assign(raw, raw + n);
  FreeFileBuffer(raw);
  return true;
}

bool Refuse(const char* file, int slot, const char* why) {
  plat::Log("save", "slot %d %s refused: %s", slot, file, why);
  char line[160];
  std::snprintf(line, sizeof line, "slot %d %s refused: %s", slot, file, why);
  g_lastRefusal = line;
  return false;
}

bool NewFilePath(int slot, const char* fileName, FixedPath& out) {
  if (!GetSlotFilePath(slot, fileName, out)) return false;
  out.Append(kNewSuffix);
  return out.IsValid();
}

bool SwapPending(int slot) {
  FixedPath swap;
  return GetSlotFilePath(slot, kSwapFile, swap) && plat::FileExists(swap.CStr());
}

// The file a reader takes: during an unfinished swap a slot file's complete ".new" stands for it.
bool ReadablePath(int slot, const char* fileName, FixedPath& out) {
  if (!GetSlotFilePath(slot, fileName, out)) return false;
  FixedPath fresh;
  if (SwapPending(slot) && NewFilePath(slot, fileName, fresh) && plat::FileExists(fresh.CStr())) out = fresh;
  return true;
}

// Size and CRC-32 of a slot file as it lies on disk.
struct FileSum {
  uint32_t size = 0;
  uint32_t crc = 0;
  bool operator==(const FileSum&) const = default;
};
FileSum SumOf(const std::vector<uint8_t>& bytes) {
  return {static_cast<uint32_t>(bytes.size()), v4fmt::Crc32(bytes.data(), bytes.size())};
}

// ext.dat: "V4SX", u32 version, four (u32 size, u32 crc) for head, adv, slg and prg, u32 n and n
// bytes of play state, then the CRC-32 of everything before it. Little-endian, not scrambled.
constexpr char kExtMagic[4] = {'V', '4', 'S', 'X'};
constexpr uint32_t kExtVersion = 1;
constexpr int kSummedFiles = 4;  // head, adv, slg, prg, in kSlotFiles order
constexpr uint32_t kMaxPlayStateBytes = 1u << 20;

struct SlotExt {
  FileSum sums[kSummedFiles];
  std::vector<uint8_t> playState;
};

std::vector<uint8_t> ExtToBytes(const SlotExt& e) {
  std::vector<uint8_t> out(8 + kSummedFiles * 8 + 4 + e.playState.size() + 4);
  std::memcpy(out.data(), kExtMagic, 4);
  le::Put32(&out[4], kExtVersion);
  for (int i = 0; i < kSummedFiles; ++i) {
    le::Put32(&out[8 + i * 8], e.sums[i].size);
    le::Put32(&out[12 + i * 8], e.sums[i].crc);
  }
  const size_t at = 8 + kSummedFiles * 8;
  le::Put32(&out[at], static_cast<uint32_t>(e.playState.size()));
  if (!e.playState.empty()) std::memcpy(&out[at + 4], e.playState.data(), e.playState.size());
  const size_t end = out.size() - 4;
  le::Put32(&out[end], v4fmt::Crc32(out.data(), end));
  return out;
}

const char* ExtFromBytes(const std::vector<uint8_t>& in, SlotExt& e) {
  const size_t fixed = 8 + kSummedFiles * 8 + 4;
  if (in.size() < fixed + 4) return "check file too short";
  if (std::memcmp(in.data(), kExtMagic, 4) != 0) return "check file without its mark";
  const size_t end = in.size() - 4;
  if (le::Get32(&in[end]) != v4fmt::Crc32(in.data(), end)) return "check file damaged";
  if (le::Get32(&in[4]) != kExtVersion) return "check file of another version";
  for (int i = 0; i < kSummedFiles; ++i) e.sums[i] = {le::Get32(&in[8 + i * 8]), le::Get32(&in[12 + i * 8])};
  const uint32_t n = le::Get32(&in[fixed - 4]);
  if (n > kMaxPlayStateBytes || fixed + n != end) return "check file length";
  e.playState.assign(in.begin() + static_cast<std::ptrdiff_t>(fixed), in.begin() + static_cast<std::ptrdiff_t>(end));
  return nullptr;
}

// Reads the slot's ext.dat: false with present unset when there is none, false with present set
// (and the slot refused) when it is damaged.
bool ReadSlotExt(int slot, SlotExt& e, bool& present) {
  present = false;
  FixedPath path;
  if (!ReadablePath(slot, kExtFile, path)) return false;
  std::vector<uint8_t> bytes;
  if (!plat::FileExists(path.CStr()) || !ReadWhole(path, bytes)) return false;
  present = true;
  if (const char* why = ExtFromBytes(bytes, e)) return Refuse(kExtFile, slot, why);
  return true;
}

// ---- slg.dat field list ----

// Values whose width in the file differs from the variable's, or that live behind accessors.
struct SlgScratch {
  uint8_t unificationDeclared = 0;
  uint32_t randState = 0;
};

// The fixed blocks in file order. For a save the scratch is filled from the game first; for a
// load the war-phase fields are registered for loading and the scratch is applied afterwards.
void BuildSlgFixedList(SaveBlockList& list, SlgScratch& s, bool forSave) {
  list.Clear();
  list.Append(KuniTable, sizeof KuniTable);
  list.Append(SiroTable, sizeof SiroTable);
  list.Append(DaimyoTable, sizeof DaimyoTable);
  list.Append(BusyoTable, sizeof BusyoTable);
  list.Append(DokuBusyoList, sizeof DokuBusyoList);
  list.Append(&ItemStock[1], kItemCount * sizeof ItemStock[0]);
  list.Append(&TurnCounter, 2);
  list.Append(&GameYear, 2);
  list.Append(&SeasonIndex, 1);
  list.Append(&PlayerDaimyoId, 1);
  list.Append(&TurnSubPhase, 1);
  list.Append(ClanOrderList, sizeof ClanOrderList);
  list.Append(MarchOrderList, sizeof MarchOrderList);
  list.Append(&FirstTurnFlag, 4);
  list.Append(&CurrentKuniId, 1);
  list.Append(&SlgPhaseIndex, 1);
  list.Append(&SlgCommandCode, 1);
  list.Append(&UnificationStage, 4);
  list.Append(&s.unificationDeclared, 1);
  list.Append(&ScenarioNumber, 4);
  list.Append(&StoryEventBlockFlag, 4);
  list.Append(&ScriptSavedWord, 4);
  list.Append(&SlgSavedWord, 2);
  list.Append(&s.randState, 4);
  if (forSave) {
    s.unificationDeclared = static_cast<uint8_t>(UnificationDeclared);
    s.randState = GetGameRandState();
    RegisterWarStateForSave(&list);
  } else {
    RegisterWarStateForLoad(&list);
  }
}

// A checked slg.dat: the descrambled file and where its blocks lie.
struct StagedSlg {
  std::vector<uint8_t> file;
  FileSum sum;
  SaveBlockList list;
  SlgScratch scratch;
  size_t restAt = 0;
};

// A world never set up (no strategy game yet this run, as before the first game of a story):
// no year and empty clan and march orders. The other words must still lie in their ranges.
const char* CheckUnstartedTurnWords(const LoadedTurnWords& w) {
  if (w.year != 0 || !w.clanOrder || !w.marchOrder) return "not an unstarted world";
  for (int i = 0; i < kDaimyoInPlay; ++i)
    if (w.clanOrder[i] != 0) return "clan order is not a permutation";
  for (int i = 0; i < kDokuSlots; ++i)
    if (w.marchOrder[i] != 0) return "march order is not a permutation";
  static const auto identity = [] {
    std::array<uint8_t, kDokuSlots> order{};
    for (int i = 0; i < kDokuSlots; ++i) order[i] = static_cast<uint8_t>(i);
    return order;
  }();
  LoadedTurnWords rest = w;
  rest.year = 1500;
  rest.clanOrder = identity.data();
  rest.marchOrder = identity.data();
  return CheckLoadedTurnWords(rest);
}

// The turn words and the registered war-phase fields as the file holds them, checked before
// anything is loaded. A save outside the strategy game may hold a world never set up.
const char* CheckStagedTurnWords(const StagedSlg& st, bool mayBeUnstarted) {
  size_t at = 0, warAt = 0;
  auto staged = [&](const void* address) -> const uint8_t* {
    size_t off = 0;
    for (const SaveBlock& b : st.list.Blocks()) {
      if (b.data == address) return &st.file[off];
      off += static_cast<size_t>(b.size);
    }
    return nullptr;
  };
  for (const SaveBlock& b : st.list.Blocks()) {
    at += static_cast<size_t>(b.size);
    if (b.data == &st.scratch.randState) warAt = at;
  }
  LoadedTurnWords w;
  const uint8_t* p = nullptr;
  if ((p = staged(&TurnCounter))) w.turn = le::Get16(p);
  if ((p = staged(&GameYear))) w.year = le::Get16(p);
  if ((p = staged(&SeasonIndex))) w.season = *p;
  if ((p = staged(&PlayerDaimyoId))) w.player = *p;
  if ((p = staged(&TurnSubPhase))) w.subPhase = *p;
  w.clanOrder = staged(ClanOrderList);
  w.marchOrder = staged(MarchOrderList);
  if ((p = staged(&FirstTurnFlag))) w.firstTurn = static_cast<int32_t>(le::Get32(p));
  if ((p = staged(&CurrentKuniId))) w.currentKuni = *p;
  if ((p = staged(&SlgPhaseIndex))) w.phaseIndex = *p;
  if ((p = staged(&UnificationStage))) w.unificationStage = static_cast<int32_t>(le::Get32(p));
  if ((p = staged(&st.scratch.unificationDeclared))) w.declared = *p;
  if (const char* why = CheckLoadedTurnWords(w)) {
    if (!mayBeUnstarted || CheckUnstartedTurnWords(w)) return why;
  }
  if (warAt == 0 || warAt > at) return "war-phase fields missing";
  return UsesWarPhaseRegistrar() ? CheckWarStateBytes(&st.file[warAt], at - warAt) : nullptr;
}

bool StageSlg(int slot, StagedSlg& st, bool mayBeUnstarted) {
  FixedPath path;
  if (!ReadablePath(slot, kSlgFile, path)) return false;
  if (!ReadWhole(path, st.file)) return Refuse(kSlgFile, slot, "missing");
  st.sum = SumOf(st.file);
  BuildSlgFixedList(st.list, st.scratch, false);
  const int64_t fixed = st.list.TotalSize();
  const int64_t size = static_cast<int64_t>(st.file.size());
  if (size < fixed + 4 + kSlgFlagTableBytes) return Refuse(kSlgFile, slot, "shorter than its fixed blocks");
  size_t at = 0;
  for (const SaveBlock& b : st.list.Blocks()) {
    DescrambleBytes(&st.file[at], b.size, kSaveSeed);
    at += static_cast<size_t>(b.size);
  }
  st.restAt = at;
  if (const char* why = CheckStagedTurnWords(st, mayBeUnstarted)) return Refuse(kSlgFile, slot, why);
  const size_t restSize = st.file.size() - at;
  DescrambleBytes(&st.file[at], static_cast<int32_t>(restSize), kSaveSeed);
  const uint64_t count = le::Get32(&st.file[at]);
  if (4 + count * kSlgEventEntryBytes + kSlgFlagTableBytes != restSize) {
    return Refuse(kSlgFile, slot, "event map count does not match the file");
  }
  return true;
}

void CommitSlg(StagedSlg& st) {
  ClearWorldTables();
  SeedGameRandFromTime();
  size_t at = 0;
  for (const SaveBlock& b : st.list.Blocks()) {
    std::memcpy(b.data, &st.file[at], static_cast<size_t>(b.size));
    at += static_cast<size_t>(b.size);
  }
  UnificationDeclared = st.scratch.unificationDeclared;
  ClearSlgEventMap();
  LoadSlgEventData(&st.file[st.restAt], st.file.size() - st.restAt);
  LoadCommonTables();
  FixupBusyoVariants();
  // The countries of the season's uprising, mine and port events, found by name as a new game does.
  ResolveKuniNameTables();
  SetGameRandState(st.scratch.randState);
  ClearLastVoiceName();
  if (SlgScene().HasScene()) SlgScene().SetLoadFlag(0);
}

// The running game's world, as a staged slg.dat replaces it: every block the load writes, the event
// map and flags, and the words the commit sets besides. A load refused after the commit puts it back.
struct WorldBackup {
  std::vector<uint8_t> blocks;
  std::vector<uint8_t> events;
  uint32_t rand = 0;
  int32_t declared = 0;
  int32_t turnWords[2] = {};
  uint8_t ikko[sizeof IkkoKuniList], mine[sizeof MineKuniList], port[sizeof PortKuniList];

  void Take(const SaveBlockList& list) {
    for (const SaveBlock& b : list.Blocks()) {
      const auto* p = static_cast<const uint8_t*>(b.data);
      blocks.insert(blocks.end(), p, p + b.size);
    }
    events = SaveSlgEventData();
    rand = GetGameRandState();
    declared = UnificationDeclared;
    std::memcpy(turnWords, TurnWords, sizeof turnWords);
    std::memcpy(ikko, IkkoKuniList, sizeof ikko);
    std::memcpy(mine, MineKuniList, sizeof mine);
    std::memcpy(port, PortKuniList, sizeof port);
  }
  void Restore(const SaveBlockList& list) const {
    size_t at = 0;
    for (const SaveBlock& b : list.Blocks()) {
      std::memcpy(b.data, &blocks[at], static_cast<size_t>(b.size));
      at += static_cast<size_t>(b.size);
    }
    ClearSlgEventMap();
    LoadSlgEventData(events.data(), events.size());
    SetGameRandState(rand);
    UnificationDeclared = declared;
    std::memcpy(TurnWords, turnWords, sizeof turnWords);
    std::memcpy(IkkoKuniList, ikko, sizeof ikko);
    std::memcpy(MineKuniList, mine, sizeof mine);
    std::memcpy(PortKuniList, port, sizeof port);
  }
};

// The loaded world as a whole: the castle check and the invariants the rules keep. A clan whose head
// fell waits headless for the season's succession; that is play, not damage.
// Inside the war phase a marching general has left his castle's lists for a while, so the castle
// check's findings are part of play there too.
std::string LoadedWorldProblem(bool atWar) {
  for (const BusyoRecord& b : BusyoTable) atWar = atWar || b.marchFlag != 0;
  std::vector<std::string> problems = CollectWorldProblems();
  for (std::string& p : CollectSiroDataProblems()) problems.push_back(std::move(p));
  for (std::string& p : problems) {
    if (p.find("is not among its vassals") != std::string::npos) continue;
    if (atWar && p.rfind("siro err", 0) == 0) continue;
    while (!p.empty() && p.back() == ' ') p.pop_back();
    return "world check: " + p;
  }
  return {};
}

bool WriteSlgFile(const FixedPath& path) {
  SaveBlockList list;
  SlgScratch scratch;
  BuildSlgFixedList(list, scratch, true);
  std::vector<uint8_t> rest = SaveSlgEventData();
  list.Append(rest.data(), static_cast<int32_t>(rest.size()));
  return WriteBlockFile(path, &list, kSaveSeed, FileWrite::kAtomic) == static_cast<int>(list.Count());
}

// ---- prg.dat ----

constexpr int32_t kPrgBlockSizes[5] = {4, kStepLevels, kStepLevels * 4, kStepLevels * 4, kProgressBlockBytes};
constexpr size_t kRecordBytes = sizeof(SoundChannelRecord);

struct StagedPrg {
  std::vector<uint8_t> file;
  FileSum sum;
  size_t at[5] = {};
};

int32_t StagedGameMode(const StagedPrg& st) { return static_cast<int32_t>(le::Get32(&st.file[st.at[0]])); }

bool StagePrg(int slot, StagedPrg& st) {
  FixedPath path;
  if (!ReadablePath(slot, kPrgFile, path)) return false;
  if (!ReadWhole(path, st.file)) return Refuse(kPrgFile, slot, "missing");
  st.sum = SumOf(st.file);
  if (st.file.size() != static_cast<size_t>(kPrgBytes)) return Refuse(kPrgFile, slot, "not 3900 bytes");
  size_t at = 0;
  for (int i = 0; i < 5; ++i) {
    st.at[i] = at;
    DescrambleBytes(&st.file[at], kPrgBlockSizes[i], kSaveSeed);
    at += static_cast<size_t>(kPrgBlockSizes[i]);
  }
  for (int i = 0; i < kStepLevels; ++i) {
    if (st.file[st.at[1] + i] > kStepStateRunning) return Refuse(kPrgFile, slot, "step state out of range");
  }
  uint32_t steps[kStepLevels];
  for (int i = 0; i < kStepLevels; ++i) steps[i] = le::Get32(&st.file[st.at[3] + i * 4]);
  if (const char* why = CheckLoadedTurnSteps(StagedGameMode(st), steps, kStepLevels))
    return Refuse(kPrgFile, slot, why);
  return true;
}

void CommitPrg(const StagedPrg& st) {
  const uint8_t* f = st.file.data();
  GameMode = static_cast<int32_t>(le::Get32(f + st.at[0]));
  std::memcpy(g_StepMachine.state, f + st.at[1], kStepLevels);
  for (int i = 0; i < kStepLevels; ++i) {
    g_StepMachine.subStep[i] = le::Get32(f + st.at[2] + i * 4);
    g_StepMachine.step[i] = le::Get32(f + st.at[3] + i * 4);
  }
  const uint8_t* progress = f + st.at[4];
  for (int ch = 0; ch < kSoundChannelCount; ++ch) {
    const uint8_t* r = progress + ch * kRecordBytes;
    SoundChannelRecord& rec = GetSoundChannelRecord(ch);
    rec.loop = le::Get32(r);
    std::memcpy(rec.file, r + 4, kSoundNameSize);
    std::memcpy(rec.second, r + 4 + kSoundNameSize, kSoundNameSize);
    // Names come from the file: each ends inside its field.
    rec.file[kSoundNameSize - 1] = '\0';
    rec.second[kSoundNameSize - 1] = '\0';
    rec.wasPlaying = le::Get32(r + 4 + 2 * kSoundNameSize);
  }
  std::memcpy(ProgressReserved, progress + kSoundChannelCount * kRecordBytes, kProgressReservedBytes);
  // Copies: PlaySoundFile records the channel's names itself.
  SoundChannelRecord music = GetSoundChannelRecord(kSoundChannelBgm);
  if (music.file[0]) {
    PlaySoundFile(kSoundChannelBgm, music.file, music.second[0] ? music.second : nullptr, static_cast<int>(music.loop),
                  1, 0);
  } else {
    StopChannel(kSoundChannelBgm);
  }
  ActingSideFlag = 0;
}

bool WritePrgFile(const FixedPath& path, int gameMode) {
  uint8_t mode[4], states[kStepLevels], subSteps[kStepLevels * 4], steps[kStepLevels * 4];
  static uint8_t progress[kProgressBlockBytes];  // timer thread only
  le::Put32(mode, static_cast<uint32_t>(gameMode));
  std::memcpy(states, g_StepMachine.state, kStepLevels);
  for (int i = 0; i < kStepLevels; ++i) {
    le::Put32(subSteps + i * 4, g_StepMachine.subStep[i]);
    le::Put32(steps + i * 4, g_StepMachine.step[i]);
  }
  ProgressBlockToBytes(progress);
  SaveBlockList list;
  list.Append(mode, 4);
  list.Append(states, sizeof states);
  list.Append(subSteps, sizeof subSteps);
  list.Append(steps, sizeof steps);
  list.Append(progress, kProgressBlockBytes);
  return WriteBlockFile(path, &list, kSaveSeed, FileWrite::kAtomic) == 5;
}

// ---- Whole slots ----

void RemoveIfPresent(const FixedPath& path) {
  if (plat::FileExists(path.CStr())) plat::RemoveFile(path.CStr());
}

// The header as head.dat holds it: byte 0 plain, the rest scrambled.
void HeaderFileBytes(const SlotHeader& header, uint8_t (&bytes)[kSlotHeaderBytes]) {
  SlotHeaderToBytes(header, bytes);
  ScrambleBytes(bytes + 1, kSlotHeaderBytes - 1, kSaveSeed);
}

void RemoveNewFiles(int slot) {
  FixedPath p;
  for (const char* name : kSlotFiles) {
    if (NewFilePath(slot, name, p)) RemoveIfPresent(p);
  }
  plat::InvalidateDirectoryCache();
}

// Temporary files of an atomic write that never reached its rename (".<name>.tmp-...").
void RemoveTempFiles(int slot) {
  FixedPath dir;
  std::vector<std::string> names;
  if (!GetSlotFilePath(slot, "", dir) || !plat::ListDirectory(dir.CStr(), names)) return;
  for (const std::string& n : names) {
    if (n.empty() || n[0] != '.' || n.find(".tmp-") == std::string::npos) continue;
    FixedPath p;
    if (GetSlotFilePath(slot, n.c_str(), p)) plat::RemoveFile(p.CStr());
  }
  plat::InvalidateDirectoryCache();
}

// Brings the slot to one whole save: a committed swap is finished (each ".new" still there
// replaces its file, then the commit mark goes); without a commit, ".new" and temporary files are
// what an interrupted save left and, when asked, are removed. False when the swap cannot be
// finished; the slot then still reads as the new save.
bool FinishSlotSwap(int slot, bool removeLeftovers) {
  FixedPath swap;
  if (!GetSlotFilePath(slot, kSwapFile, swap)) return false;
  if (plat::FileExists(swap.CStr())) {
    for (const char* name : kSlotFiles) {
      FixedPath from, to;
      if (!NewFilePath(slot, name, from) || !GetSlotFilePath(slot, name, to)) return false;
      if (plat::FileExists(from.CStr()) && !plat::RenameFile(from.CStr(), to.CStr())) {
        plat::InvalidateDirectoryCache();
        return false;
      }
    }
    if (!plat::RemoveFile(swap.CStr())) return false;
    plat::InvalidateDirectoryCache();
  } else if (removeLeftovers) {
    RemoveNewFiles(slot);
  }
  if (removeLeftovers) RemoveTempFiles(slot);
  return true;
}

// The commit: with every ".new" complete on disk, the mark makes them the slot's content; the
// files are then moved into place. True once the mark is written, even when moving failed twice
// (the next access finishes it).
bool CommitSlotSwap(int slot) {
  static constexpr char kMark[] = "V4SWAP\n";
  FixedPath swap;
  if (!GetSlotFilePath(slot, kSwapFile, swap) || !WriteWholeFileAtomic(swap, kMark, sizeof kMark - 1)) {
    RemoveNewFiles(slot);
    return false;
  }
  if (!FinishSlotSwap(slot, false) && !FinishSlotSwap(slot, false)) {
    plat::Log("save", "slot %d: saved, but its files could not all be moved into place yet", slot);
  }
  plat::InvalidateDirectoryCache();
  return true;
}

void RecordSlot(int slot) {
  switch (GetSaveSlotKind(slot)) {
    case SaveSlotKind::kOrdinary:
      PlayRecordBlock.lastSlot = static_cast<uint8_t>(slot);
      break;
    case SaveSlotKind::kQuick:
      PlayRecordBlock.lastQuick = static_cast<uint8_t>(slot - kQuickSlotBase);
      break;
    case SaveSlotKind::kAuto:
      PlayRecordBlock.lastAuto = static_cast<uint8_t>(slot - kAutoSlotBase);
      break;
    case SaveSlotKind::kNone:
      break;
  }
}

int NextRingIndex(uint8_t last) { return last < kSaveRingSize ? (last + 1) % kSaveRingSize : 0; }

bool LoadRingSlot(int base, uint8_t last, int index) {
  if (index == -1) index = last;
  if (index < 0 || index >= kSaveRingSize) return false;
  SlotHeader h;
  if (!ReadSlotHeader(base + index, h) || !CheckSaveVersion(h)) return false;
  return LoadGameSlot(base + index);
}

bool AnyValidSlot(int from, int to) {
  SlotHeader h;
  for (int slot = from; slot < to; ++slot) {
    if (ReadSlotHeader(slot, h) && CheckSaveVersion(h)) return true;
  }
  return false;
}

}  // namespace

SaveSlotKind GetSaveSlotKind(int slot) {
  if (slot >= 0 && slot < kQuickSlotBase) return SaveSlotKind::kOrdinary;
  if (slot >= kQuickSlotBase && slot < kAutoSlotBase) return SaveSlotKind::kQuick;
  if (slot >= kAutoSlotBase && slot < kSaveSlotCount) return SaveSlotKind::kAuto;
  return SaveSlotKind::kNone;
}

bool GetSlotFilePath(int slot, const char* fileName, FixedPath& out) {
  char rel[64];
  switch (GetSaveSlotKind(slot)) {
    case SaveSlotKind::kOrdinary:
      std::snprintf(rel, sizeof rel, "SaveData\\d%02d\\", slot);
      break;
    case SaveSlotKind::kQuick:
      std::snprintf(rel, sizeof rel, "SaveData\\q%02d\\", slot - kQuickSlotBase);
      break;
    case SaveSlotKind::kAuto:
      std::snprintf(rel, sizeof rel, "SaveData\\a%02d\\", slot - kAutoSlotBase);
      break;
    case SaveSlotKind::kNone:
      out.Clear();
      return false;
  }
  out.Assign(GetModuleDir());
  out.Append(rel);
  out.Append(fileName);
  return out.IsValid();
}

// ---- Header ----

void SlotHeaderToBytes(const SlotHeader& h, uint8_t (&out)[kSlotHeaderBytes]) {
  std::memset(out, 0, sizeof out);
  out[0] = h.valid;
  std::memcpy(out + kHeadTagOffset, h.tag, kSaveVersionTagBytes);
  le::Put32(out + 29, h.reserved29);
  out[kHeadEventOffset] = h.eventBlock;
  out[kHeadSubPhaseOffset] = h.subPhase;
  le::Put16(out + kHeadPictureOffset, h.picture);
  le::Put16(out + kHeadKokuOffset, h.koku);
  const uint64_t t = static_cast<uint64_t>(h.saveTime);
  le::Put32(out + kHeadTimeOffset, static_cast<uint32_t>(t));
  le::Put32(out + kHeadTimeOffset + 4, static_cast<uint32_t>(t >> 32));
  std::memcpy(out + kHeadNameOffset, h.clanName, kSlotClanNameBytes);
  std::memcpy(out + kHeadCommentOffset, h.comment, kSlotCommentBytes);
  out[kHeadClearedOffset] = h.cleared;
  le::Put32(out + kHeadRunIdOffset, h.runId);
}

void SlotHeaderFromBytes(const uint8_t (&in)[kSlotHeaderBytes], SlotHeader& h) {
  h.valid = in[0];
  std::memcpy(h.tag, in + kHeadTagOffset, kSaveVersionTagBytes);
  h.reserved29 = le::Get32(in + 29);
  h.eventBlock = in[kHeadEventOffset];
  h.subPhase = in[kHeadSubPhaseOffset];
  h.picture = le::Get16(in + kHeadPictureOffset);
  h.koku = le::Get16(in + kHeadKokuOffset);
  h.saveTime = static_cast<int64_t>(uint64_t(le::Get32(in + kHeadTimeOffset)) |
                                    uint64_t(le::Get32(in + kHeadTimeOffset + 4)) << 32);
  std::memcpy(h.clanName, in + kHeadNameOffset, kSlotClanNameBytes);
  h.clanName[kSlotClanNameBytes - 1] = '\0';
  std::memcpy(h.comment, in + kHeadCommentOffset, kSlotCommentBytes);
  h.cleared = in[kHeadClearedOffset];
  h.runId = le::Get32(in + kHeadRunIdOffset);
}

void BuildSlotHeader(SlotHeader& out, int gameMode) {
  out = SlotHeader{};
  out.valid = 1;
  std::memcpy(out.tag, kSaveVersionTag, kSaveVersionTagBytes);
  out.eventBlock = static_cast<uint8_t>(StoryEventBlockFlag);
  // A save made in the story or in a tutorial chapter (a script run, not a strategy turn) is marked
  // as a story save.
  out.subPhase = gameMode == game_mode::kMainScript || gameMode == game_mode::kOtherScript ? 255 : TurnSubPhase;
  // A save made in a pure scenario has no player clan; a clan may have no head general.
  if (const DaimyoRecord* clan = PlayerDaimyoId != kNoDaimyo ? DaimyoPtr(PlayerDaimyoId) : nullptr) {
    if (const BusyoRecord* head = BusyoPtr(clan->head)) out.picture = head->picture;
    out.koku = clan->revenue;
    // At most 15 bytes, never cutting a two-byte character.
    const size_t len = strnlen(clan->name, kDaimyoNameLen);
    size_t n = 0;
    while (n < len) {
      size_t step = plat::IsSjisLead(static_cast<unsigned char>(clan->name[n])) ? 2 : 1;
      if (n + step > len || n + step > kSlotClanNameBytes - 1) break;
      n += step;
    }
    std::memcpy(out.clanName, clan->name, n);
  }
  out.saveTime = static_cast<int64_t>(std::time(nullptr));
  out.cleared = CurrentRunCleared();
  out.runId = static_cast<uint32_t>(RunId);
}

bool WriteSlotHeader(int slot, const SlotHeader& header) {
  FixedPath path, fresh;
  if (!GetSlotFilePath(slot, kHeadFile, path) || !NewFilePath(slot, kHeadFile, fresh)) return false;
  if (!FinishSlotSwap(slot, true)) return false;
  uint8_t bytes[kSlotHeaderBytes];
  HeaderFileBytes(header, bytes);
  SlotExt ext;
  bool present = false;
  if (!ReadSlotExt(slot, ext, present)) {
    // No check file (an empty slot, or one written before it existed): the header alone changes.
    // A damaged one is left for the load to refuse.
    return WriteWholeFileAtomic(path, bytes, kSlotHeaderBytes);
  }
  // The header and its check value change together, through the same swap as a save.
  ext.sums[0] = SumOf(std::vector<uint8_t>(bytes, bytes + kSlotHeaderBytes));
  const std::vector<uint8_t> extBytes = ExtToBytes(ext);
  FixedPath extFresh;
  const bool ok = NewFilePath(slot, kExtFile, extFresh) && WriteWholeFileAtomic(fresh, bytes, kSlotHeaderBytes) &&
                  WriteWholeFileAtomic(extFresh, extBytes.data(), static_cast<int32_t>(extBytes.size()));
  if (!ok) {
    RemoveNewFiles(slot);
    return false;
  }
  return CommitSlotSwap(slot);
}

bool ReadSlotHeader(int slot, SlotHeader& out) {
  FixedPath path;
  if (!ReadablePath(slot, kHeadFile, path)) return false;
  uint8_t bytes[kSlotHeaderBytes];
  uint8_t* raw = nullptr;
  int32_t n = ReadAllBytes(path, &raw);
  if (n < 0) return false;
  const bool whole = n == kSlotHeaderBytes;
  if (whole) std::memcpy(bytes, raw, kSlotHeaderBytes);
  FreeFileBuffer(raw);
  if (!whole) return Refuse(kHeadFile, slot, "not 324 bytes");
  DescrambleBytes(bytes + 1, kSlotHeaderBytes - 1, kSaveSeed);
  SlotHeaderFromBytes(bytes, out);
  return true;
}

bool CheckSaveVersion(const SlotHeader& header) {
  return header.valid != 0 && std::memcmp(header.tag, kSaveVersionTag, kSaveVersionTagBytes) == 0;
}

// ---- Progress block ----

void ProgressBlockToBytes(uint8_t (&out)[kProgressBlockBytes]) {
  std::memset(out, 0, sizeof out);
  for (int ch = 0; ch < kSoundChannelCount; ++ch) {
    const SoundChannelRecord& rec = GetSoundChannelRecord(ch);
    uint8_t* r = out + ch * kRecordBytes;
    le::Put32(r, rec.loop);
    std::memcpy(r + 4, rec.file, kSoundNameSize);
    std::memcpy(r + 4 + kSoundNameSize, rec.second, kSoundNameSize);
    le::Put32(r + 4 + 2 * kSoundNameSize, rec.wasPlaying);
  }
  std::memcpy(out + kSoundChannelCount * kRecordBytes, ProgressReserved, kProgressReservedBytes);
}

// ---- Single files ----

bool SaveSlotAdvFile(int slot) {
  FixedPath path;
  return GetSlotFilePath(slot, kAdvFile, path) && SaveAdvData(path);
}

bool SaveSlgData(int slot) {
  FixedPath path;
  return GetSlotFilePath(slot, kSlgFile, path) && WriteSlgFile(path);
}

bool SavePrgData(int slot, int gameMode) {
  FixedPath path;
  return GetSlotFilePath(slot, kPrgFile, path) && WritePrgFile(path, gameMode);
}

bool LoadSlotAdvFile(int slot) {
  FixedPath path;
  return GetSlotFilePath(slot, kAdvFile, path) && LoadAdvData(path);
}

bool LoadSlgData(int slot) {
  StagedSlg st;
  if (!StageSlg(slot, st, false)) return false;
  CommitSlg(st);
  return true;
}

bool LoadPrgData(int slot) {
  StagedPrg st;
  if (!StagePrg(slot, st)) return false;
  CommitPrg(st);
  return true;
}

// ---- Whole slots ----

bool SaveGameSlot(int slot, int gameMode, const SlotHeader* header) {
  if (GetSaveSlotKind(slot) == SaveSlotKind::kNone) return false;
  SlotHeader built;
  if (!header) {
    BuildSlotHeader(built, gameMode);
    header = &built;
  }
  // An earlier save of this slot that was cut off: finished when committed, cleared otherwise.
  if (!FinishSlotSwap(slot, true)) {
    plat::Log("save", "slot %d: an interrupted save cannot be finished; nothing written", slot);
    return false;
  }
  FixedPath fresh[kSummedFiles + 1];
  for (int i = 0; i <= kSummedFiles; ++i) {
    if (!NewFilePath(slot, kSlotFiles[i], fresh[i])) return false;
  }
  SlotHeader committed = *header;
  committed.valid = 1;
  uint8_t head[kSlotHeaderBytes];
  HeaderFileBytes(committed, head);
  // 1. The new files, complete, beside the old ones; the check file from what reached the disk.
  bool ok = WriteWholeFileAtomic(fresh[0], head, kSlotHeaderBytes) && SaveAdvData(fresh[1]) && WriteSlgFile(fresh[2]) &&
            WritePrgFile(fresh[3], gameMode);
  SlotExt ext;
  for (int i = 0; ok && i < kSummedFiles; ++i) {
    std::vector<uint8_t> bytes;
    ok = ReadWhole(fresh[i], bytes);
    if (ok) ext.sums[i] = SumOf(bytes);
  }
  if (ok) {
    ext.playState = SavePlayState();
    const std::vector<uint8_t> extBytes = ExtToBytes(ext);
    ok = WriteWholeFileAtomic(fresh[kSummedFiles], extBytes.data(), static_cast<int32_t>(extBytes.size()));
  }
  if (!ok) {
    RemoveNewFiles(slot);
    plat::Log("save", "slot %d: writing failed; the slot keeps its previous save", slot);
    return false;
  }
  // 2. The commit mark, then the swap. Until the mark is on disk the old save stands whole.
  if (!CommitSlotSwap(slot)) {
    plat::Log("save", "slot %d: the save cannot be committed; the slot keeps its previous save", slot);
    return false;
  }
  RecordSlot(slot);
  SaveSystemFiles();
  return true;
}

bool LoadGameSlot(int slot) {
  g_lastRefusal.clear();
  if (GetSaveSlotKind(slot) == SaveSlotKind::kNone) return Refuse("slot", slot, "out of range");
  SlotHeader h;
  FixedPath headPath;
  if (!ReadablePath(slot, kHeadFile, headPath) || !plat::FileExists(headPath.CStr()))
    return Refuse(kHeadFile, slot, "empty slot");
  if (!ReadSlotHeader(slot, h)) return Refuse(kHeadFile, slot, "cannot be read");
  if (!CheckSaveVersion(h)) return Refuse(kHeadFile, slot, "not a save of this version");
  SlotExt ext;
  bool hasExt = false;
  if (!ReadSlotExt(slot, ext, hasExt) && hasExt) return false;
  std::vector<uint8_t> advBytes, headBytes;
  FixedPath advPath;
  if (!ReadablePath(slot, kAdvFile, advPath) || !ReadWhole(advPath, advBytes)) return Refuse(kAdvFile, slot, "missing");
  if (hasExt) {
    if (!ReadWhole(headPath, headBytes) || !(SumOf(headBytes) == ext.sums[0]))
      return Refuse(kHeadFile, slot, "does not match its check value");
    if (!(SumOf(advBytes) == ext.sums[1])) return Refuse(kAdvFile, slot, "does not match its check value");
  }
  StagedSlg slg;
  StagedPrg prg;
  if (!StagePrg(slot, prg)) return false;
  if (hasExt && !(prg.sum == ext.sums[3])) return Refuse(kPrgFile, slot, "does not match its check value");
  // A story or tutorial save may come from before any strategy game of the run.
  if (!StageSlg(slot, slg, StagedGameMode(prg) != game_mode::kSlg)) return false;
  if (hasExt && !(slg.sum == ext.sums[2])) return Refuse(kSlgFile, slot, "does not match its check value");
  if (hasExt) {
    if (const char* why = CheckPlayState(ext.playState)) return Refuse(kExtFile, slot, why);
  }
  // The world is committed and checked as a whole; a world that breaks the rules' invariants is
  // refused and the running one put back. A world never set up (a story save) holds nothing to check.
  WorldBackup backup;
  backup.Take(slg.list);
  CommitSlg(slg);
  if (GameYear != 0) {
    const bool atWar = le::Get32(&prg.file[prg.at[3] + 4]) == kSlgStepWar;  // the main strategy step
    const std::string problem = LoadedWorldProblem(atWar);
    if (!problem.empty()) {
      backup.Restore(slg.list);
      return Refuse(kSlgFile, slot, problem.c_str());
    }
  }
  // The scenario state checks its own file before it changes; after it, nothing can fail.
  if (!LoadAdvData(advPath)) {
    backup.Restore(slg.list);
    return Refuse(kAdvFile, slot, AdvDataFailure());
  }
  CommitPrg(prg);
  // A slot with its play state holds the phase's clan position as it was; only an older one needs
  // the position settled.
  if (hasExt) {
    LoadPlayState(ext.playState);
    // Outside auto-run the load hands the phase back to the player: his phase enters its menus
    // again, as after any load.
    if (!IsAutoRun()) ActingSideFlag = 0;
  } else {
    SettleLoadedPhaseIndex();
  }
  RunId = static_cast<int32_t>(h.runId);
  SetRunCleared(h.cleared);
  return true;
}

const char* LastSlotRefusal() { return g_lastRefusal.c_str(); }

bool QuickSave(int gameMode) {
  return SaveGameSlot(kQuickSlotBase + NextRingIndex(PlayRecordBlock.lastQuick), gameMode);
}

bool AutoSave(int gameMode) { return SaveGameSlot(kAutoSlotBase + NextRingIndex(PlayRecordBlock.lastAuto), gameMode); }

bool QuickLoad(int index) { return LoadRingSlot(kQuickSlotBase, PlayRecordBlock.lastQuick, index); }
bool AutoLoad(int index) { return LoadRingSlot(kAutoSlotBase, PlayRecordBlock.lastAuto, index); }

bool HasQuickSave() { return AnyValidSlot(kQuickSlotBase, kAutoSlotBase); }
bool HasNormalOrAutoSave() { return AnyValidSlot(0, kQuickSlotBase) || AnyValidSlot(kAutoSlotBase, kSaveSlotCount); }

void MarkRunCleared() {
  for (int slot = 0; slot < kSaveSlotCount; ++slot) {
    SlotHeader h;
    if (!ReadSlotHeader(slot, h) || !CheckSaveVersion(h)) continue;
    if (h.runId != static_cast<uint32_t>(RunId) || h.cleared != 0) continue;
    h.cleared = 1;
    WriteSlotHeader(slot, h);
  }
  SetRunCleared(1);
}

void RecordGameCleared() {
  if (CurrentRunCleared()) return;
  if (PlayRecordBlock.clearCount != 0xFFFF) ++PlayRecordBlock.clearCount;
  SetPlcWord(kPlcClearCount32Word, PlayRecordBlock.clearCount);
  SaveSystemFiles();
  MarkRunCleared();
}

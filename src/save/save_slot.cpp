#include "save/save_slot.h"

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "core/app_state.h"
#include "core/file_io.h"
#include "core/game_file.h"
#include "core/game_rand.h"
#include "core/step_machine.h"
#include "save/slg_words.h"
#include "save/system_files.h"
#include "save/war_save_registry.h"
#include "sound/busyo_voice.h"
#include "platform/fs/fs.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"
#include "scenario/script/adv_script.h"
#include "world/record_lists.h"
#include "world/scenario_tables.h"
#include "world/turn/turn_loop.h"
#include "world/turn/war_phase.h"
#include "world/world_ports.h"
#include "world/world_tables.h"
#include "platform/byte_order.h"

// The tables and words are copied to and from the file as they lie in memory.
static_assert(std::endian::native == std::endian::little);

uint8_t ProgressReserved[kProgressReservedBytes];

namespace {

constexpr const char* kHeadFile = "head.dat";
constexpr const char* kAdvFile = "adv.dat";
constexpr const char* kSlgFile = "slg.dat";
constexpr const char* kPrgFile = "prg.dat";
// A new slot file is complete under this name before it replaces the old one.
constexpr const char* kNewSuffix = ".new";

bool ReadWhole(const FixedPath& path, std::vector<uint8_t>& out) {
  uint8_t* raw = nullptr;
  int32_t n = ReadAllBytes(path, &raw);
  if (n < 0) return false;
  out.assign(raw, raw + n);
  FreeFileBuffer(raw);
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
  SaveBlockList list;
  SlgScratch scratch;
  size_t restAt = 0;
};

bool Refuse(const char* file, int slot, const char* why) {
  plat::Log("save", "slot %d %s refused: %s", slot, file, why);
  return false;
}

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
  if (!GetSlotFilePath(slot, kSlgFile, path)) return false;
  if (!ReadWhole(path, st.file)) return Refuse(kSlgFile, slot, "missing");
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
  SetGameRandState(st.scratch.randState);
  ClearLastVoiceName();
  if (SlgScene().HasScene()) SlgScene().SetLoadFlag(0);
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
  size_t at[5] = {};
};

int32_t StagedGameMode(const StagedPrg& st) { return static_cast<int32_t>(le::Get32(&st.file[st.at[0]])); }

bool StagePrg(int slot, StagedPrg& st) {
  FixedPath path;
  if (!GetSlotFilePath(slot, kPrgFile, path)) return false;
  if (!ReadWhole(path, st.file)) return Refuse(kPrgFile, slot, "missing");
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

bool NewFilePath(int slot, const char* fileName, FixedPath& out) {
  if (!GetSlotFilePath(slot, fileName, out)) return false;
  out.Append(kNewSuffix);
  return out.IsValid();
}

void RemoveIfPresent(const FixedPath& path) {
  if (plat::FileExists(path.CStr())) plat::RemoveFile(path.CStr());
}

bool RenameInto(const FixedPath& from, const FixedPath& to) { return plat::RenameFile(from.CStr(), to.CStr()); }

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
  FixedPath path;
  if (!GetSlotFilePath(slot, kHeadFile, path)) return false;
  uint8_t bytes[kSlotHeaderBytes];
  SlotHeaderToBytes(header, bytes);
  ScrambleBytes(bytes + 1, kSlotHeaderBytes - 1, kSaveSeed);
  return WriteWholeFileAtomic(path, bytes, kSlotHeaderBytes);
}

bool ReadSlotHeader(int slot, SlotHeader& out) {
  FixedPath path;
  if (!GetSlotFilePath(slot, kHeadFile, path)) return false;
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
  const char* files[3] = {kAdvFile, kSlgFile, kPrgFile};
  FixedPath finalPath[3], newPath[3];
  for (int i = 0; i < 3; ++i) {
    if (!GetSlotFilePath(slot, files[i], finalPath[i]) || !NewFilePath(slot, files[i], newPath[i])) return false;
  }
  // 1. The new files, complete, beside the old ones.
  bool ok = SaveAdvData(newPath[0]) && WriteSlgFile(newPath[1]) && WritePrgFile(newPath[2], gameMode);
  if (!ok) {
    for (const FixedPath& p : newPath) RemoveIfPresent(p);
    plat::Log("save", "slot %d: writing failed; the slot keeps its previous save", slot);
    return false;
  }
  // 2. The header is cleared before the files change, so an interrupted swap never shows a
  // slot whose header describes other files; 3. the swap; 4. the header commits the slot.
  SlotHeader pending = *header;
  pending.valid = 0;
  if (!WriteSlotHeader(slot, pending)) {
    for (const FixedPath& p : newPath) RemoveIfPresent(p);
    plat::Log("save", "slot %d: header cannot be written; the slot keeps its previous save", slot);
    return false;
  }
  for (int i = 0; i < 3 && ok; ++i) ok = RenameInto(newPath[i], finalPath[i]);
  plat::InvalidateDirectoryCache();
  if (!ok) {
    // The files not moved yet go: the slot is refused (its header is cleared) either way.
    for (const FixedPath& p : newPath) RemoveIfPresent(p);
    plat::Log("save", "slot %d: files cannot be moved into place", slot);
    return false;
  }
  SlotHeader committed = *header;
  committed.valid = 1;
  if (!WriteSlotHeader(slot, committed)) return false;
  RecordSlot(slot);
  SaveSystemFiles();
  return true;
}

bool LoadGameSlot(int slot) {
  SlotHeader h;
  if (!ReadSlotHeader(slot, h) || !CheckSaveVersion(h)) return false;
  StagedSlg slg;
  StagedPrg prg;
  if (!StagePrg(slot, prg)) return false;
  // A story or tutorial save may come from before any strategy game of the run.
  if (!StageSlg(slot, slg, StagedGameMode(prg) != game_mode::kSlg)) return false;
  // The scenario state checks its own file before it changes; after it, nothing can fail.
  if (!LoadSlotAdvFile(slot)) return Refuse(kAdvFile, slot, "not loaded");
  CommitSlg(slg);
  CommitPrg(prg);
  SettleLoadedPhaseIndex();
  RunId = static_cast<int32_t>(h.runId);
  SetRunCleared(h.cleared);
  return true;
}

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

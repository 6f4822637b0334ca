// Save slots: 120 folders under "%sSaveData\" of four files each. Slots 0..99 are the player's
// ("d%02d"), 100..109 the quick-save ring ("q%02d"), 110..119 the auto-save ring ("a%02d").
//
// head.dat (324 bytes) is what the save and load screens show; adv.dat is the scenario state;
// slg.dat the world; prg.dat the game mode, the step machine and the progress block. All are
// scrambled with kSaveSeed, the slot files block by block.
//
// A save writes all four files, and ext.dat (their check values and the play state the formats
// have no room for), as "*.new" beside the old ones; swap.dat then commits them and they are
// renamed into place. Whenever the process stops, the slot holds the whole old save or the whole
// new one: readers take a committed "*.new" for its file, and the next save of the slot finishes
// or clears what an interrupted one left. A load checks every file completely before anything
// changes; a missing, short, damaged or mismatching file refuses the load with the game untouched.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/fixed_path.h"
#include "sound/sound.h"
#include "world/world_ports.h"

inline constexpr int kSaveSlotCount = 120;
inline constexpr int kQuickSlotBase = 100;
inline constexpr int kAutoSlotBase = 110;
inline constexpr int kSaveRingSize = 10;

enum class SaveSlotKind { kOrdinary, kQuick, kAuto, kNone };
SaveSlotKind GetSaveSlotKind(int slot);

// "%sSaveData\d%02d\<file>" etc.; false (out empty) for a slot outside 0..119.
bool GetSlotFilePath(int slot, const char* fileName, FixedPath& out);

// ---- Header ----
inline constexpr char kSaveVersionTag[] = "VORNAKESTIL4_TRIAL_VER1.0.0";
inline constexpr size_t kSaveVersionTagBytes = 28;
static_assert(sizeof kSaveVersionTag == kSaveVersionTagBytes);
inline constexpr int32_t kSlotHeaderBytes = 324;
inline constexpr size_t kSlotClanNameBytes = 16;
inline constexpr size_t kSlotCommentBytes = 256;

struct SlotHeader {
  uint8_t valid = 0;
  char tag[kSaveVersionTagBytes] = {};
  uint32_t reserved29 = 0;
  uint8_t eventBlock = 0;  // low byte of the story-event block word
  uint8_t subPhase = 0;    // turn sub-phase, 255 for a save made in game mode 0
  uint16_t picture = 0;    // the player's clan head
  uint16_t koku = 0;       // the player's clan revenue
  int64_t saveTime = 0;    // seconds since 1970-01-01 UTC
  char clanName[kSlotClanNameBytes] = {};
  uint8_t comment[kSlotCommentBytes] = {};
  uint8_t cleared = 0;  // RunClearedFlag of the run that saved
  uint32_t runId = 0;   // RunId of that run
};
// Field offsets in head.dat.
inline constexpr size_t kHeadTagOffset = 1, kHeadEventOffset = 33, kHeadSubPhaseOffset = 34, kHeadPictureOffset = 35,
                        kHeadKokuOffset = 37, kHeadTimeOffset = 39, kHeadNameOffset = 47, kHeadCommentOffset = 63,
                        kHeadClearedOffset = 319, kHeadRunIdOffset = 320;
// Unscrambled bytes of a header, and back.
void SlotHeaderToBytes(const SlotHeader& h, uint8_t (&out)[kSlotHeaderBytes]);
void SlotHeaderFromBytes(const uint8_t (&in)[kSlotHeaderBytes], SlotHeader& h);

// Fills the header from the running game. With no player clan (255) or a clan without a head
// general, the picture, koku and name stay zero or take what exists.
void BuildSlotHeader(SlotHeader& out, int gameMode);
bool WriteSlotHeader(int slot, const SlotHeader& header);
// False when the slot is out of range or head.dat is missing or not 324 bytes.
bool ReadSlotHeader(int slot, SlotHeader& out);
// Valid flag set and the tag equal to kSaveVersionTag.
bool CheckSaveVersion(const SlotHeader& header);

// ---- slg.dat ----
// Fixed part: the world tables, the turn words and the registered war-phase fields.
inline constexpr int32_t kSlgFixedBytes = 445329;
// Then u32 n, n x (u32 key + 68-byte record) of the strategy event map, then 2000 flag bytes.
inline constexpr int32_t kSlgEventEntryBytes = 72;
inline constexpr int32_t kSlgFlagTableBytes = 2000;

// ---- prg.dat ----
inline constexpr int32_t kPrgBytes = 3900;
// The progress block: one record per sound channel (loop flag, file, second file, was playing),
// then bytes kept for the scenario engine.
inline constexpr int32_t kProgressBlockBytes = 3716;
inline constexpr int32_t kProgressReservedBytes = kProgressBlockBytes - kSoundChannelCount * 528;  // 20
extern uint8_t ProgressReserved[kProgressReservedBytes];
void ProgressBlockToBytes(uint8_t (&out)[kProgressBlockBytes]);

// ---- Single files (each load checks its file whole before it changes anything) ----
bool SaveSlotAdvFile(int slot);
bool SaveSlgData(int slot);
bool SavePrgData(int slot, int gameMode);
bool LoadSlotAdvFile(int slot);
bool LoadSlgData(int slot);
bool LoadPrgData(int slot);

// ---- Whole slots ----
// Writes adv, slg and prg, then the header (the given one, or one built now), records the slot in
// the play record and writes the system files. False when anything could not be written; the
// slot's previous content is then still there.
bool SaveGameSlot(int slot, int gameMode, const SlotHeader* header = nullptr);
// Header (must pass CheckSaveVersion), then slg, prg and adv, all checked before the game changes.
// RunClearedFlag and RunId take the header's. False with the game untouched on any failure.
bool LoadGameSlot(int slot);
// Why the last LoadGameSlot refused ("slot 5 slg.dat refused: ..."), empty after a success.
const char* LastSlotRefusal();
// Next ring position after the last one recorded (position 0 when none), header built and written.
bool QuickSave(int gameMode);
bool AutoSave(int gameMode);
// index 0..9, or -1 for the last one saved; only a slot whose header passes the version check.
bool QuickLoad(int index);
bool AutoLoad(int index);
bool HasQuickSave();
bool HasNormalOrAutoSave();
// Marks every valid slot of the running run as cleared, then RunClearedFlag := 1.
void MarkRunCleared();
// The play record's part of a cleared game (after cbl.dat is updated): unless this run is cleared
// already, the clear count rises (stopping at 65535), the system files are written and the run's
// slots are marked cleared.
void RecordGameCleared();

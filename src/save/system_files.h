// The player's settings (sys.dat), the play record across all games (plc.dat), the read-only
// system tables (basic.dat, system.dat) with the system parameter table, and the start-up and
// shutdown routines that read and write them.
//
// sys.dat and plc.dat are scrambled with kSaveSeed and written through a temporary file renamed
// into place; missing folders are created. Values read from them are checked: a settings word out
// of its range takes its default, a slot index out of range reads as "none".
#pragma once
#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kSaveSeed = 271945638u;

// ---- Settings ----
inline constexpr int kSysConfigWords = 28;
inline constexpr int32_t kSysConfigBytes = kSysConfigWords * 4;  // 112
// Word numbers.
enum SysConfigWord : int {
  kCfgTextSpeed = 0,      // 0..9
  kCfgAutoSpeed = 1,      // 0..9
  kCfgWindowOpacity = 2,  // 0..9
  kCfgWindowOption = 3,
  kCfgBattleAnimation = 4,
  kCfgWindowMode = 5,  // 1 full screen, else window
  kCfgBattleResults = 6,
  kCfgAdvMusicOn = 7,
  kCfgAdvMusicLevel = 8,
  kCfgAdvEffectsOn = 9,
  kCfgAdvEffectsLevel = 10,
  kCfgVoiceMode = 11,
  kCfgAdvVoiceOn = 12,
  kCfgAdvVoiceLevel = 13,
  kCfgSlgMusicOn = 14,
  kCfgSlgMusicLevel = 15,
  kCfgSlgEffectsOn = 16,
  kCfgSlgEffectsLevel = 17,
  kCfgSlgSpare = 18,
  kCfgSlgVoiceOn = 19,
  kCfgSlgVoiceLevel = 20,
  kCfgSkipMode = 21,  // 1 skips every message, 0 only read ones
  kCfgSpare22 = 22,
  kCfgSpare23 = 23,
  kCfgRenderOption = 24,
  kCfgSpare25 = 25,
  kCfgBattleStart = 26,  // 0 by hand, 1 automatic, 2 ask
  kCfgSpare27 = 27,
};
extern uint32_t SysConfigBlock[kSysConfigWords];

// Words 0..26 := their defaults; word 27 keeps its value.
void SetDefaultSysConfig();
// Replaces every word outside its range by its default (spare words are kept as they are).
void ClampSysConfig();
// Window mode for the main window: 1 full screen, 0 window.
int GetSysConfigWindowMode();
bool SaveSysData();

// ---- Play record ----
inline constexpr int32_t kPlcBytes = 306455;
inline constexpr int kPlcWordBytes = 256;
inline constexpr int kPlcEventFlagBytes = 2048;
inline constexpr int kOmakeSceneCount = 3840;
inline constexpr int kGalleryRecords = 150;
inline constexpr int kGalleryCategories = 10;
inline constexpr int kGalleryItems = 200;
inline constexpr int kGalleryGenerals = 2000;
inline constexpr uint16_t kGalleryFree = 0xFFFF;
inline constexpr uint8_t kPlcNone = 255;

struct GalleryRecord {
  uint16_t general = kGalleryFree;
  uint8_t seen[kGalleryCategories][kGalleryItems] = {};
};

struct PlcData {
  uint8_t lastSlot = kPlcNone;   // last ordinary slot saved, 0..99
  uint8_t lastAuto = kPlcNone;   // last auto-save index, 0..9
  uint8_t lastQuick = kPlcNone;  // last quick-save index, 0..9
  uint32_t optionFlags = 1;      // single bits owned by the map and battle screens
  uint8_t words[kPlcWordBytes] = {};
  uint8_t eventFlags[kPlcEventFlagBytes] = {};
  uint8_t sceneSeen[kOmakeSceneCount] = {};
  GalleryRecord gallery[kGalleryRecords];
  uint16_t startCounter = 0;  // saturates at 65535
  uint16_t clearCount = 0;
};
extern PlcData PlayRecordBlock;

// Byte offsets in plc.dat.
inline constexpr size_t kPlcOptionOffset = 3;
inline constexpr size_t kPlcWordsOffset = 7;
inline constexpr size_t kPlcEventFlagsOffset = 263;
inline constexpr size_t kPlcSceneSeenOffset = 2311;
inline constexpr size_t kPlcGalleryOffset = 6151;
inline constexpr size_t kGalleryRecordBytes = 2 + kGalleryCategories * kGalleryItems;  // 2002
inline constexpr size_t kPlcStartCounterOffset = 306451;
inline constexpr size_t kPlcClearCountOffset = 306453;

// plc.dat bytes (unscrambled) of a record, and back. PlcFromBytes checks the slot indexes.
void PlcToBytes(const PlcData& plc, uint8_t (&out)[kPlcBytes]);
void PlcFromBytes(const uint8_t (&in)[kPlcBytes], PlcData& plc);

// The last extras word holds a 32-bit copy of the clear count, written with every clear.
inline constexpr int kPlcClearCount32Word = 63;

// 32-bit word n (0..63) of the extras words, little-endian; 0 / nothing outside the range.
uint32_t GetPlcWord(int n);
void SetPlcWord(int n, uint32_t value);

void ClearPlayRecord();
bool SavePlcData();
// Shutdown (and after every slot save): plc.dat, then the loaded script set's read-message file.
void SaveSystemFiles();

// Marks the extras scene of a script label (0..3839; any other value asks with no name, which
// finds nothing) as seen. Scene numbers past the seen table are ignored.
void UnlockOmakeSceneByLabel(int32_t label);
// General 0..1999, category 0..9: marks all 200 items of the category as seen in the general's
// gallery record (taking the first free record when he has none; none free: no record changes).
// plc.dat is written in every case.
void UnlockGalleryCategory(int32_t general, int32_t category);
bool IsGalleryItemSeen(int32_t general, int32_t category, int32_t item);

// ---- System tables ----
inline constexpr int32_t kBasicDataBytes = 80;
inline constexpr int32_t kSystemDataBytes = 184;
inline constexpr int kSystemParamWords = 36;
extern uint8_t BasicDataBlock[kBasicDataBytes];
extern uint8_t SystemDataBlock[kSystemDataBytes];
extern int32_t SystemParamTable[kSystemParamWords];
// Reads basic.dat and system.dat (plain; a missing file leaves its block zero and the parameter
// words at their defaults) and fills the parameter table. system.dat also becomes the world's.
void LoadSystemTables();

// ---- Sound ----
// Ten-entry volume table: 0, 7600, 7900, ... 10000.
void InitVolumeTable();
// Channels from the first (scenario) or second (strategy) sound set of the settings.
void ApplySoundConfig();
void ApplySlgSoundConfig();

// ---- Start-up and shutdown ----
// Settings and play record (created with their defaults when missing), the start counter, the
// system tables, the extras tables, the volume table and the sound settings. Before the timer.
void LoadSystemData();

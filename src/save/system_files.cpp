#include "save/system_files.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/game_file.h"
#include "platform/fs/fs.h"
#include "save/omake_tables.h"
#include "sound/sound.h"
#include "platform/text/log.h"
#include "scenario/script/adv_script.h"
#include "world/world_queries.h"
#include "platform/byte_order.h"

uint32_t SysConfigBlock[kSysConfigWords];
PlcData PlayRecordBlock;
uint8_t BasicDataBlock[kBasicDataBytes];
uint8_t SystemDataBlock[kSystemDataBytes];
int32_t SystemParamTable[kSystemParamWords];

namespace {

// Default and largest valid value of each word; a spare word (max 0xFFFFFFFF) is never changed.
struct WordRule {
  uint32_t def;
  uint32_t max;
};
constexpr uint32_t kAny = 0xFFFFFFFFu;
constexpr WordRule kWordRules[kSysConfigWords] = {
    {4, 9}, {4, 9},    {7, 9}, {1, 1},    {1, 1},    {0, 1}, {1, 1},  // 0..6
    {1, 1}, {4, 9},    {1, 1}, {4, 9},    {1, 1},    {1, 1}, {4, 9},  // 7..13
    {1, 1}, {4, 9},    {1, 1}, {4, 9},    {0, kAny},                  // 14..18
    {1, 1}, {4, 9},    {0, 1}, {1, kAny}, {0, kAny},                  // 19..23
    {0, 1}, {0, kAny}, {0, 2}, {0, kAny},                             // 24..27
};

FixedPath ModulePath(const char* relative) {
  FixedPath path(GetModuleDir());
  path.Append(relative);
  return path;
}

constexpr const char* kSysDatFile = "SaveData\\sys\\sys.dat";
constexpr const char* kPlcDatFile = "SaveData\\sys\\plc.dat";

void SysConfigToBytes(uint8_t (&out)[kSysConfigBytes]) {
  for (int i = 0; i < kSysConfigWords; ++i) le::Put32(out + i * 4, SysConfigBlock[i]);
}

// Scrambled file read over a buffer that already holds the defaults; false when unreadable.
bool ReadScrambledOver(const char* relative, uint8_t* buffer, int32_t size) {
  uint8_t* raw = nullptr;
  int32_t n = ReadAllBytes(ModulePath(relative), &raw);
  if (n < 0) return false;
  int32_t used = std::min(n, size);
  DescrambleBytes(raw, used, kSaveSeed);
  std::memcpy(buffer, raw, static_cast<size_t>(used));
  FreeFileBuffer(raw);
  if (n != size) plat::Log("save", "%s: %d bytes instead of %d", relative, n, size);
  return true;
}

int32_t LevelOrOff(uint32_t on, uint32_t level) { return on ? static_cast<int32_t>(level) : -1; }

void ApplySoundSet(int musicOn, int effectsOn, int voiceOn) {
  const uint32_t* w = SysConfigBlock;
  SetChannelVolumeLevel(kSoundChannelBgm, LevelOrOff(w[musicOn], w[musicOn + 1]));
  for (int ch = kSoundChannelSe0; ch < kSoundChannelCount; ++ch) {
    SetChannelVolumeLevel(ch, LevelOrOff(w[effectsOn], w[effectsOn + 1]));
  }
  SetChannelVolumeLevel(kSoundChannelVoice, LevelOrOff(w[voiceOn], w[voiceOn + 1]));
  SoundSettings s;
  s.voiceMode = static_cast<int32_t>(w[kCfgVoiceMode]);
  s.voiceLevel = LevelOrOff(w[voiceOn], w[voiceOn + 1]);
  s.effectsOn = w[kCfgSlgEffectsOn] != 0;
  s.voicesOn = w[kCfgSlgVoiceOn] != 0;
  SetSoundSettings(s);
  ApplyBgmVolume();
}

}  // namespace

// ---- Settings ----

void SetDefaultSysConfig() {
  for (int i = 0; i < kCfgSpare27; ++i) SysConfigBlock[i] = kWordRules[i].def;
}

void ClampSysConfig() {
  for (int i = 0; i < kSysConfigWords; ++i) {
    if (SysConfigBlock[i] > kWordRules[i].max) SysConfigBlock[i] = kWordRules[i].def;
  }
}

int GetSysConfigWindowMode() { return SysConfigBlock[kCfgWindowMode] == 1 ? 1 : 0; }

bool SaveSysData() {
  uint8_t bytes[kSysConfigBytes];
  SysConfigToBytes(bytes);
  return WriteFileScrambled(ModulePath(kSysDatFile), bytes, kSysConfigBytes, kSaveSeed, FileWrite::kAtomic);
}

// ---- Play record ----

void PlcToBytes(const PlcData& plc, uint8_t (&out)[kPlcBytes]) {
  out[0] = plc.lastSlot;
  out[1] = plc.lastAuto;
  out[2] = plc.lastQuick;
  le::Put32(out + kPlcOptionOffset, plc.optionFlags);
  std::memcpy(out + kPlcWordsOffset, plc.words, sizeof plc.words);
  std::memcpy(out + kPlcEventFlagsOffset, plc.eventFlags, sizeof plc.eventFlags);
  std::memcpy(out + kPlcSceneSeenOffset, plc.sceneSeen, sizeof plc.sceneSeen);
  for (int i = 0; i < kGalleryRecords; ++i) {
    uint8_t* r = out + kPlcGalleryOffset + i * kGalleryRecordBytes;
    r[0] = static_cast<uint8_t>(plc.gallery[i].general);
    r[1] = static_cast<uint8_t>(plc.gallery[i].general >> 8);
    std::memcpy(r + 2, plc.gallery[i].seen, sizeof plc.gallery[i].seen);
  }
  out[kPlcStartCounterOffset] = static_cast<uint8_t>(plc.startCounter);
  out[kPlcStartCounterOffset + 1] = static_cast<uint8_t>(plc.startCounter >> 8);
  out[kPlcClearCountOffset] = static_cast<uint8_t>(plc.clearCount);
  out[kPlcClearCountOffset + 1] = static_cast<uint8_t>(plc.clearCount >> 8);
}

void PlcFromBytes(const uint8_t (&in)[kPlcBytes], PlcData& plc) {
  // Slot indexes select folders and ring positions: anything out of range means "none".
  plc.lastSlot = in[0] < 100 ? in[0] : kPlcNone;
  plc.lastAuto = in[1] < 10 ? in[1] : kPlcNone;
  plc.lastQuick = in[2] < 10 ? in[2] : kPlcNone;
  plc.optionFlags = le::Get32(in + kPlcOptionOffset);
  std::memcpy(plc.words, in + kPlcWordsOffset, sizeof plc.words);
  std::memcpy(plc.eventFlags, in + kPlcEventFlagsOffset, sizeof plc.eventFlags);
  std::memcpy(plc.sceneSeen, in + kPlcSceneSeenOffset, sizeof plc.sceneSeen);
  for (int i = 0; i < kGalleryRecords; ++i) {
    const uint8_t* r = in + kPlcGalleryOffset + i * kGalleryRecordBytes;
    plc.gallery[i].general = le::Get16(r);
    std::memcpy(plc.gallery[i].seen, r + 2, sizeof plc.gallery[i].seen);
  }
  plc.startCounter = le::Get16(in + kPlcStartCounterOffset);
  plc.clearCount = le::Get16(in + kPlcClearCountOffset);
}

uint32_t GetPlcWord(int n) {
  if (n < 0 || n >= kPlcWordBytes / 4) return 0;
  return le::Get32(PlayRecordBlock.words + n * 4);
}

void SetPlcWord(int n, uint32_t value) {
  if (n < 0 || n >= kPlcWordBytes / 4) return;
  le::Put32(PlayRecordBlock.words + n * 4, value);
}

void ClearPlayRecord() { PlayRecordBlock = PlcData{}; }

bool SavePlcData() {
  static uint8_t bytes[kPlcBytes];  // timer thread or shutdown only
  PlcToBytes(PlayRecordBlock, bytes);
  bool ok = WriteFileScrambled(ModulePath(kPlcDatFile), bytes, kPlcBytes, kSaveSeed, FileWrite::kAtomic);
  if (!ok) plat::Log("save", "plc.dat cannot be written");
  return ok;
}

void SaveSystemFiles() {
  // Temporary files of a write that a kill cut off before its rename are never read; they go.
  std::vector<std::string> names;
  if (plat::ListDirectory(ModulePath("SaveData\\sys\\").CStr(), names)) {
    for (const std::string& n : names) {
      if (!n.empty() && n[0] == '.' && n.find(".tmp-") != std::string::npos)
        plat::RemoveFile(ModulePath(("SaveData\\sys\\" + n).c_str()).CStr());
    }
    plat::InvalidateDirectoryCache();
  }
  SavePlcData();
  GetAdvScript().SaveSystemSwitches();
}

void UnlockOmakeSceneByLabel(int32_t label) {
  std::string name;
  if (label >= 0 && label < kOmakeSceneCount) name = GetAdvScript().LabelName(static_cast<uint32_t>(label));
  int32_t scene = -1;
  if (!FindOmakeSceneByLabel(name.c_str(), &scene)) return;
  if (scene < 0 || scene >= kOmakeSceneCount) {
    plat::Log("save", "extras scene %d of label %d is outside the seen table", scene, label);
    return;
  }
  PlayRecordBlock.sceneSeen[scene] = 1;
}

void UnlockGalleryCategory(int32_t general, int32_t category) {
  if (general < 0 || general >= kGalleryGenerals || category < 0 || category >= kGalleryCategories) return;
  GalleryRecord* found = nullptr;
  for (GalleryRecord& r : PlayRecordBlock.gallery) {
    if (r.general == general) {
      found = &r;
      break;
    }
  }
  if (!found) {
    for (GalleryRecord& r : PlayRecordBlock.gallery) {
      if (r.general == kGalleryFree) {
        found = &r;
        break;
      }
    }
  }
  if (found) {
    found->general = static_cast<uint16_t>(general);
    std::memset(found->seen[category], 1, kGalleryItems);
  } else {
    plat::Log("save", "gallery full: general %d not recorded", general);
  }
  SavePlcData();
}

bool IsGalleryItemSeen(int32_t general, int32_t category, int32_t item) {
  if (general < 0 || general >= kGalleryGenerals || category < 0 || category >= kGalleryCategories || item < 0 ||
      item >= kGalleryItems) {
    return false;
  }
  for (const GalleryRecord& r : PlayRecordBlock.gallery) {
    if (r.general == general) return r.seen[category][item] != 0;
  }
  return false;
}

// ---- System tables ----

void LoadSystemTables() {
  std::memset(BasicDataBlock, 0, sizeof BasicDataBlock);
  std::memset(SystemDataBlock, 0, sizeof SystemDataBlock);
  const int32_t basic = ReadFileInto(ModulePath("Data\\sys\\basic.dat"), BasicDataBlock, kBasicDataBytes);
  if (basic != kBasicDataBytes) plat::Log("save", "basic.dat cannot be read whole (%d bytes)", basic);
  int32_t n = ReadFileInto(ModulePath("Data\\sys\\system.dat"), SystemDataBlock, kSystemDataBytes);
  SetWorldSystemTable(SystemDataBlock, sizeof SystemDataBlock);

  std::fill(std::begin(SystemParamTable), std::end(SystemParamTable), 0);
  for (int i = 0; i < 16; ++i) SystemParamTable[i] = 100;
  for (int i = 20; i < 36; ++i) SystemParamTable[i] = 100;
  // Words copied from system.dat only when it was read whole: a missing file keeps the defaults.
  if (n != kSystemDataBytes) {
    plat::Log("save", "system.dat cannot be read whole (%d bytes)", n);
    return;
  }
  static constexpr int kTargets[12] = {26, 29, 31, 34, 33, 27, 6, 9, 11, 14, 13, 7};
  for (int i = 0; i < 12; ++i) {
    SystemParamTable[kTargets[i]] = static_cast<int32_t>(le::Get32(SystemDataBlock + (13 + i) * 4));
  }
}

// ---- Sound ----

void InitVolumeTable() {
  SoundVolumeTable[0] = 0;
  for (int i = 1; i < 10; ++i) SoundVolumeTable[i] = 7600 + (i - 1) * 300;
}

void ApplySoundConfig() { ApplySoundSet(kCfgAdvMusicOn, kCfgAdvEffectsOn, kCfgAdvVoiceOn); }
void ApplySlgSoundConfig() { ApplySoundSet(kCfgSlgMusicOn, kCfgSlgEffectsOn, kCfgSlgVoiceOn); }

// ---- Start-up ----

void LoadSystemData() {
  SetDefaultSysConfig();
  uint8_t sys[kSysConfigBytes];
  SysConfigToBytes(sys);
  if (ReadScrambledOver(kSysDatFile, sys, kSysConfigBytes)) {
    for (int i = 0; i < kSysConfigWords; ++i) SysConfigBlock[i] = le::Get32(sys + i * 4);
    ClampSysConfig();
  } else if (!SaveSysData()) {
    plat::Log("save", "sys.dat cannot be created");
  }

  ClearPlayRecord();
  static uint8_t plc[kPlcBytes];
  PlcToBytes(PlayRecordBlock, plc);
  if (ReadScrambledOver(kPlcDatFile, plc, kPlcBytes)) {
    PlcFromBytes(plc, PlayRecordBlock);
  } else {
    SavePlcData();
  }
  if (PlayRecordBlock.startCounter != 0xFFFF) ++PlayRecordBlock.startCounter;

  LoadSystemTables();
  LoadOmakeTables();
  InitVolumeTable();
  ApplySoundConfig();
}

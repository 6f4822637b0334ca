#include "save/omake_tables.h"

#include <cstring>

#include "core/file_io.h"
#include "core/game_file.h"
#include "platform/byte_order.h"

uint16_t OmakeSelection = 65535;

uint8_t OmakeCgTable[kOmakeCgRecords * kOmakeCgRecordBytes];
uint8_t OmakeEventTable[kOmakeEventRecords * kOmakeEventRecordBytes];
uint8_t OmakeSoundTable[kOmakeSoundRecords * kOmakeSoundRecordBytes];
uint8_t OmakeSoundScriptTable[kOmakeSoundScriptRecords * kOmakeSoundScriptRecordBytes];
uint8_t OmakeBgmTable[kOmakeBgmRecords * kOmakeBgmRecordBytes];

namespace {

void LoadTable(const char* relative, uint8_t* table, size_t size) {
  std::memset(table, 0, size);
  FixedPath path(GetModuleDir());
  path.Append(relative);
  ReadFileInto(path, table, static_cast<int32_t>(size));
}

}  // namespace

void LoadOmakeTables() {
  LoadTable(kOmakeCgFile, OmakeCgTable, sizeof OmakeCgTable);
  LoadTable(kOmakeEventFile, OmakeEventTable, sizeof OmakeEventTable);
  LoadTable(kOmakeSoundFile, OmakeSoundTable, sizeof OmakeSoundTable);
  LoadTable(kOmakeSoundScriptFile, OmakeSoundScriptTable, sizeof OmakeSoundScriptTable);
  LoadTable(kOmakeBgmFile, OmakeBgmTable, sizeof OmakeBgmTable);
}

bool PutOmakeEventRecord(uint8_t* record, uint16_t scene, const char* label) {
  if (!record || !label || std::strlen(label) >= kOmakeEventLabelBytes) return false;
  std::memset(record, 0, kOmakeEventRecordBytes);
  record[0] = static_cast<uint8_t>(scene);
  record[1] = static_cast<uint8_t>(scene >> 8);
  std::memcpy(record + kOmakeEventLabelOffset, label, std::strlen(label));
  return true;
}

bool FindOmakeSceneByLabel(const char* name, int32_t* scene) {
  if (!name || !name[0]) return false;
  const size_t nameLen = std::strlen(name);
  for (size_t i = 0; i < kOmakeEventRecords; ++i) {
    const uint8_t* rec = OmakeEventTable + i * kOmakeEventRecordBytes;
    const char* label = reinterpret_cast<const char*>(rec + kOmakeEventLabelOffset);
    // A label that fills its field without a terminator ends at the field's end.
    const size_t labelLen = strnlen(label, kOmakeEventLabelBytes);
    if (labelLen == 0 || labelLen != nameLen || std::memcmp(label, name, labelLen) != 0) continue;
    if (scene) *scene = static_cast<int32_t>(le::Get16(rec));
    return true;
  }
  return false;
}

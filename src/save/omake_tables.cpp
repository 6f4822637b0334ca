#include "save/omake_tables.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/file_io.h"
#include "core/game_file.h"
#include "platform/byte_order.h"
#include "platform/fs/fs.h"
#include "platform/text/log.h"

uint16_t OmakeSelection = 65535;

uint8_t OmakeCgTable[kOmakeCgRecords * kOmakeCgRecordBytes];
uint8_t OmakeEventTable[kOmakeEventRecords * kOmakeEventRecordBytes];
uint8_t OmakeSoundTable[kOmakeSoundRecords * kOmakeSoundRecordBytes];
uint8_t OmakeSoundScriptTable[kOmakeSoundScriptRecords * kOmakeSoundScriptRecordBytes];
uint8_t OmakeBgmTable[kOmakeBgmRecords * kOmakeBgmRecordBytes];

namespace {

// Missing is allowed (the table stays empty). A file that is there but unreadable or empty, or cut
// inside a record, is damage: the table keeps the whole records before the cut (none for an
// unreadable file) and the refusal is logged. A longer file is cut at the table's size.
void LoadTable(const char* relative, uint8_t* table, size_t size, size_t recordBytes) {
  std::memset(table, 0, size);
  FixedPath path(GetModuleDir());
  path.Append(relative);
  uint8_t* data = nullptr;
  const int32_t read = ReadAllBytes(path, &data);
  if (read < 0) {
    std::string host;
    std::error_code ec;
    if (plat::ResolvePath(path.CStr(), host) && std::filesystem::exists(host, ec))
      plat::LogRefusedFile("save", path.CStr(), "extras table cannot be read");
    return;
  }
  const size_t bytes = std::min(static_cast<size_t>(read), size);
  const size_t whole = bytes - bytes % recordBytes;
  if (whole > 0) std::memcpy(table, data, whole);
  if (data) FreeFileBuffer(data);
  char why[160];
  if (read == 0) {
    plat::LogRefusedFile("save", path.CStr(), "extras table is empty");
  } else if (whole != bytes) {
    std::snprintf(why, sizeof why, "extras table of %d bytes ends inside record %zu (%zu bytes each); it is left out",
                  read, whole / recordBytes, recordBytes);
    plat::LogRefusedFile("save", path.CStr(), why);
  }
}

}  // namespace

void LoadOmakeTables() {
  LoadTable(kOmakeCgFile, OmakeCgTable, sizeof OmakeCgTable, kOmakeCgRecordBytes);
  LoadTable(kOmakeEventFile, OmakeEventTable, sizeof OmakeEventTable, kOmakeEventRecordBytes);
  LoadTable(kOmakeSoundFile, OmakeSoundTable, sizeof OmakeSoundTable, kOmakeSoundRecordBytes);
  LoadTable(kOmakeSoundScriptFile, OmakeSoundScriptTable, sizeof OmakeSoundScriptTable, kOmakeSoundScriptRecordBytes);
  LoadTable(kOmakeBgmFile, OmakeBgmTable, sizeof OmakeBgmTable, kOmakeBgmRecordBytes);
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

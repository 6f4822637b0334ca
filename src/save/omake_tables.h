// The five extras tables, read once at start-up: picture gallery (cg.bin), extras scenes (ev.bin),
// sound gallery (sf.bin, sf_scr.dat) and music room (bgm.bin). Each is zeroed and then filled as
// far as its file reaches; a missing file leaves it zero. The front end reads the records.
#pragma once
#include <cstddef>
#include <cstdint>

inline constexpr size_t kOmakeCgRecords = 300, kOmakeCgRecordBytes = 16;
inline constexpr size_t kOmakeEventRecords = 1000, kOmakeEventRecordBytes = 78;
inline constexpr size_t kOmakeSoundRecords = 3000, kOmakeSoundRecordBytes = 298;
inline constexpr size_t kOmakeSoundScriptRecords = 2000, kOmakeSoundScriptRecordBytes = 234;
inline constexpr size_t kOmakeBgmRecords = 50, kOmakeBgmRecordBytes = 64;
// An extras-scene record: u16 scene number, then its label from byte 2 (zero-terminated within
// the rest of the record).
inline constexpr size_t kOmakeEventLabelOffset = 2;
inline constexpr size_t kOmakeEventLabelBytes = kOmakeEventRecordBytes - kOmakeEventLabelOffset;

extern uint8_t OmakeCgTable[kOmakeCgRecords * kOmakeCgRecordBytes];
extern uint8_t OmakeEventTable[kOmakeEventRecords * kOmakeEventRecordBytes];
extern uint8_t OmakeSoundTable[kOmakeSoundRecords * kOmakeSoundRecordBytes];
extern uint8_t OmakeSoundScriptTable[kOmakeSoundScriptRecords * kOmakeSoundScriptRecordBytes];
extern uint8_t OmakeBgmTable[kOmakeBgmRecords * kOmakeBgmRecordBytes];

// Program paths of the files, relative to the module directory.
inline constexpr const char* kOmakeCgFile = "Data\\sys\\cg.bin";
inline constexpr const char* kOmakeEventFile = "Data\\sys\\ev.bin";
inline constexpr const char* kOmakeSoundFile = "Data\\sys\\sf.bin";
inline constexpr const char* kOmakeSoundScriptFile = "Data\\sys\\sf_scr.dat";
inline constexpr const char* kOmakeBgmFile = "Data\\sys\\bgm.bin";

// The extra the extras scene opens (1..5), 65535 for none; the title sets it before the change.
extern uint16_t OmakeSelection;

// Clears the five tables and reads the files into them (plain, at most each table's size).
void LoadOmakeTables();

// Writes one extras-scene record (kOmakeEventRecordBytes at record): the scene number, then the
// label zero-filled to the record's end. False (record untouched) when the label does not fit
// with its terminator. Used by the data tool and the tests.
bool PutOmakeEventRecord(uint8_t* record, uint16_t scene, const char* label);

// False for a null or empty name. Otherwise the first extras-scene record (in table order, empty
// labels skipped) whose label equals name: its scene number goes to *scene (when given), true.
bool FindOmakeSceneByLabel(const char* name, int32_t* scene);

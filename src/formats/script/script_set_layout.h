// The compiled script set: nine scrambled files sharing one base name, each loaded whole into a
// fixed area of the script state, and the version signature that heads the block-label file.
#pragma once
#include "platform/byte_order.h"
#include <array>
#include <cstddef>
#include <cstdint>

namespace v4fmt {

inline constexpr uint32_t kScriptSeed = 271945638u;

inline constexpr size_t kScriptNameField = 64;  // every name field, NUL included
inline constexpr size_t kBytecodeAreaSize = 16000000;
inline constexpr uint32_t kMaxJumpOffset = 15999999;  // highest offset a jump may take
inline constexpr size_t kSwitchCount = 8193;          // switches 0..8192
inline constexpr size_t kLabelCount = 4096;           // jumpable labels 0..4095
inline constexpr size_t kLabelNameRecords = 4097;     // .lbn records (the last is never jumpable)
inline constexpr size_t kLabelNameRecordSize = 128;   // name[64] + comment[64]
inline constexpr size_t kMessageCount = 160000;       // message numbers 0..159999
inline constexpr size_t kSourceFileCount = 512;
inline constexpr size_t kEventCount = 3840;
inline constexpr size_t kEventRecordSize = 68;  // name[64] + u32 offset
inline constexpr uint32_t kNoEvent = 0xFFFFFFFFu;
inline constexpr size_t kBlockLabelCount = 4096;
inline constexpr size_t kBlockLabelRecordSize = 68;  // name[64] + u32 value
inline constexpr size_t kSignatureSize = 128;
inline constexpr size_t kReadMessageFileSize = 160000;

// The nine files in load order, with the size of the area each fills.
enum ScriptFile {
  kFileSd,
  kFileSw,
  kFileLb,
  kFileTko,
  kFileLbn,
  kFileSwn,
  kFileSfn,
  kFileEv,
  kFileBl,
  kScriptFileCount
};
struct ScriptFileInfo {
  const char* extension;  // ".sd" ...
  size_t areaSize;
};
inline constexpr ScriptFileInfo kScriptFiles[kScriptFileCount] = {
    {".sd", kBytecodeAreaSize},
    {".sw", kSwitchCount * 4},                                          // 32,772
    {".lb", kLabelCount * 4},                                           // 16,384
    {".tko", kMessageCount * 4},                                        // 640,000
    {".lbn", kLabelNameRecords* kLabelNameRecordSize},                  // 524,416
    {".swn", kSwitchCount* kScriptNameField},                           // 524,352
    {".sfn", kSourceFileCount* kScriptNameField},                       // 32,768
    {".ev", kEventCount* kEventRecordSize},                             // 261,120
    {".bl", kSignatureSize + kBlockLabelCount* kBlockLabelRecordSize},  // 278,656
};

// Set-name files (plain text, one CRLF-terminated line holding the base name) and the persistent
// read-message files, per set (0 main story, 1 tutorial). Paths are relative to the module folder.
inline constexpr const char* kScriptSetNameFile[2] = {"Data\\sys\\sin_01.dat", "Data\\sys\\sin_tu.dat"};
inline constexpr const char* kReadMessageFile[2] = {"SaveData\\sys\\tksw00.dat", "SaveData\\sys\\tkswTU.dat"};
// The base name occupies at most this many bytes of the set-name file.
inline constexpr size_t kSetNameMaxBytes = 260;

// The assembler's check of the bytecode: "sdcrc <CRC-32 in 8 hex digits> <size>" in the comment
// field of the last label-name record, which is never a label (its name stays empty).
inline constexpr size_t kBytecodeCheckRecord = kLabelNameRecords - 1;
// Writes the check of the bytecode into that record of a .lbn image.
void PutBytecodeCheck(uint8_t* lbn, const uint8_t* bytecode, size_t size);
// 1 when the record's check matches the bytecode, 0 when the set carries none (made before it
// existed), -1 when it does not match.
int VerifyBytecodeCheck(const uint8_t* lbn, const uint8_t* bytecode, size_t size);

// The 128-byte version signature: written by the assembler at the head of every .bl file and
// compared byte for byte by the program's start-up check.
extern const std::array<uint8_t, kSignatureSize> kScriptSignature;

// The base name in a set-name file's bytes: up to the first CR, LF or NUL within the first 260
// bytes. Never reads past size.
size_t ParseScriptSetName(const uint8_t* data, size_t size, char* out, size_t outSize);

// Copies a fixed name field (which need not hold a NUL) into out as a terminated string.
void CopyNameField(const uint8_t* field, size_t fieldSize, char* out, size_t outSize);

}  // namespace v4fmt

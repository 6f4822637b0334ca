#include "formats/script/script_set_layout.h"

#include <cstdio>
#include <cstring>

#include "formats/check/crc32.h"

namespace v4fmt {
namespace {

// A readable tag, then a fixed byte pattern; the tag's version changes whenever the bytecode
// encoding or the set layout changes, so old sets are refused at start-up.
constexpr char kSignatureTag[] = "Vornakest4 scenario script set, encoding 1";

constexpr std::array<uint8_t, kSignatureSize> MakeSignature() {
  std::array<uint8_t, kSignatureSize> s{};
  size_t n = sizeof(kSignatureTag) - 1;
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<uint8_t>(kSignatureTag[i]);
  s[n] = 0;
  for (size_t i = n + 1; i < kSignatureSize; ++i) s[i] = static_cast<uint8_t>((i * 73u + 0x35u) & 0xFFu);
  return s;
}

}  // namespace

const std::array<uint8_t, kSignatureSize> kScriptSignature = MakeSignature();

namespace {
uint8_t* CheckField(uint8_t* lbn) { return lbn + kBytecodeCheckRecord * kLabelNameRecordSize + kScriptNameField; }
const uint8_t* CheckField(const uint8_t* lbn) {
  return lbn + kBytecodeCheckRecord * kLabelNameRecordSize + kScriptNameField;
}
constexpr char kCheckTag[] = "sdcrc ";
}  // namespace

void PutBytecodeCheck(uint8_t* lbn, const uint8_t* bytecode, size_t size) {
  char text[kScriptNameField] = {};
  std::snprintf(text, sizeof text, "%s%08x %zu", kCheckTag, Crc32(bytecode, size), size);
  std::memcpy(CheckField(lbn), text, sizeof text);
}

int VerifyBytecodeCheck(const uint8_t* lbn, const uint8_t* bytecode, size_t size) {
  char text[kScriptNameField + 1] = {};
  std::memcpy(text, CheckField(lbn), kScriptNameField);
  if (std::strncmp(text, kCheckTag, sizeof kCheckTag - 1) != 0) return 0;
  char expect[kScriptNameField] = {};
  std::snprintf(expect, sizeof expect, "%s%08x %zu", kCheckTag, Crc32(bytecode, size), size);
  return std::strcmp(text, expect) == 0 ? 1 : -1;
}

size_t ParseScriptSetName(const uint8_t* data, size_t size, char* out, size_t outSize) {
  if (!out || outSize == 0) return 0;
  size_t limit = size < kSetNameMaxBytes ? size : kSetNameMaxBytes;
  if (limit > outSize - 1) limit = outSize - 1;
  size_t n = 0;
  // LF ends the name too: a name with a trailing LF could never name a file.
  while (n < limit && data[n] != '\r' && data[n] != '\n' && data[n] != 0) ++n;
  if (n) std::memcpy(out, data, n);
  out[n] = '\0';
  return n;
}

void CopyNameField(const uint8_t* field, size_t fieldSize, char* out, size_t outSize) {
  if (!out || outSize == 0) return;
  size_t n = 0;
  while (n < fieldSize && n + 1 < outSize && field[n] != 0) ++n;
  if (n) std::memcpy(out, field, n);
  out[n] = '\0';
}

}  // namespace v4fmt

#include "formats/subst/code_subst.h"

#include <cstring>
#include <vector>

#include "platform/text/cp932.h"
#include "platform/byte_order.h"

uint16_t CodeSubstTable::Lookup(uint16_t code) const {
  auto it = map_.find(code);
  return it == map_.end() ? code : it->second;
}

void ParseCodeSubstTable(CodeSubstTable& table, const uint8_t* data, size_t size) {
  table.Clear();
  std::vector<uint8_t> buf(kScodeDefBytes, 0);
  if (data && size) std::memcpy(buf.data(), data, size < kScodeDefBytes ? size : kScodeDefBytes);
  for (size_t i = 0; i < kScodeDefRecords; ++i) {
    uint32_t from = le::Get32(&buf[i * 8]);
    if (from == 0) continue;
    uint32_t to = le::Get32(&buf[i * 8 + 4]);
    table.Insert(static_cast<uint16_t>(from & 0xFFFF), static_cast<uint16_t>(to & 0xFFFF));
  }
}

void ParseLineDefTable(LineDefTable& set, const uint8_t* data, size_t size) {
  set.clear();
  std::vector<uint8_t> buf(kLineDefBytes, 0);
  if (data && size) std::memcpy(buf.data(), data, size < kLineDefBytes ? size : kLineDefBytes);
  for (size_t i = 0; i < kLineDefRecords; ++i) {
    const char* rec = reinterpret_cast<const char*>(&buf[i * kLineDefRecordBytes]);
    if (rec[0] == '\0') continue;
    // A record without a terminator is bounded by its own ten bytes.
    set.insert(std::string(rec, strnlen(rec, kLineDefRecordBytes)));
  }
}

void SubstituteSjisCodes(const CodeSubstTable& table, char* text, size_t fieldSize) {
  if (!text || fieldSize == 0) return;
  size_t len = strnlen(text, fieldSize);
  size_t i = 0;
  while (i < len) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (plat::IsSjisLead(c)) {
      if (i + 1 >= len) break;  // no trail byte: never pair a lead byte with the terminator
      uint16_t code = static_cast<uint16_t>(c << 8 | static_cast<unsigned char>(text[i + 1]));
      uint16_t rep = table.Lookup(code);
      text[i] = static_cast<char>(rep >> 8);
      text[i + 1] = static_cast<char>(rep & 0xFF);
      i += 2;
    } else {
      ++i;
    }
  }
}

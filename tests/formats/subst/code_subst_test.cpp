#include "formats/subst/code_subst.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// One 8-byte record: source and replacement codes as little-endian 32-bit words.
void Put(std::vector<uint8_t>& file, uint16_t from, uint16_t to) {
  uint8_t rec[8] = {static_cast<uint8_t>(from), static_cast<uint8_t>(from >> 8), 0, 0,
                    static_cast<uint8_t>(to),   static_cast<uint8_t>(to >> 8),   0, 0};
  file.insert(file.end(), rec, rec + 8);
}

TEST(CodeSubst, RecordBytesAreLittleEndianCodes) {
  // The character 0x82 0xA0 is stored as A0 82 00 00.
  const uint8_t file[] = {0xA0, 0x82, 0x00, 0x00, 0xA2, 0x82, 0x00, 0x00};
  CodeSubstTable t;
  ParseCodeSubstTable(t, file, sizeof file);
  EXPECT_EQ(t.Size(), 1u);
  EXPECT_EQ(t.Lookup(0x82A0), 0x82A2);
  EXPECT_EQ(t.Lookup(0x82A4), 0x82A4);  // no entry: unchanged
}

TEST(CodeSubst, TextCases) {
  std::vector<uint8_t> file;
  Put(file, 0x82A0, 0x82A2);
  Put(file, 0x8200, 0x8341);  // would pair a trailing lead byte with the terminator
  Put(file, 0x82A0, 0x9999);  // a second pair for one source: the first stays
  Put(file, 0x00B1, 0x82A0);  // half-width katakana is never looked up
  CodeSubstTable t;
  ParseCodeSubstTable(t, file.data(), file.size());
  struct Case {
    std::vector<uint8_t> in, out;
  } cases[] = {
      {{0x41, 0x82, 0xA0}, {0x41, 0x82, 0xA2}},
      {{0x82, 0xA0, 0x82, 0xA0}, {0x82, 0xA2, 0x82, 0xA2}},
      {{0x41, 0x82}, {0x41, 0x82}},  // trailing lead byte: the terminator is never written
      {{0xB1, 0x82, 0xA0}, {0xB1, 0x82, 0xA2}},
      {{0x82, 0xA4}, {0x82, 0xA4}},
  };
  for (const Case& c : cases) {
    char buf[8] = {};
    std::memcpy(buf, c.in.data(), c.in.size());
    buf[c.in.size()] = '\0';
    buf[c.in.size() + 1] = 0x55;  // the byte after the terminator stays
    SubstituteSjisCodes(t, buf, sizeof buf);
    EXPECT_EQ(0, std::memcmp(buf, c.out.data(), c.out.size()));
    EXPECT_EQ(buf[c.in.size()], '\0');
    EXPECT_EQ(buf[c.in.size() + 1], 0x55);
  }
}

TEST(CodeSubst, FieldBoundsAndEmptyTables) {
  std::vector<uint8_t> file;
  Put(file, 0x82A0, 0x82A2);
  CodeSubstTable t;
  ParseCodeSubstTable(t, file.data(), file.size());
  // An unterminated 4-byte field followed by more characters: only the field changes.
  char buf[6] = {'\x82', '\xA0', '\x82', '\xA0', '\x82', '\xA0'};
  SubstituteSjisCodes(t, buf, 4);
  EXPECT_EQ(0, std::memcmp(buf, "\x82\xA2\x82\xA2\x82\xA0", 6));
  // A missing file (no bytes) gives an empty table that changes nothing.
  CodeSubstTable empty;
  ParseCodeSubstTable(empty, nullptr, 0);
  EXPECT_EQ(empty.Size(), 0u);
  SubstituteSjisCodes(empty, nullptr, 8);
  // Records past the 300th are cut.
  std::vector<uint8_t> longFile(kScodeDefBytes, 0);
  Put(longFile, 0x82A0, 0x82A2);
  ParseCodeSubstTable(t, longFile.data(), longFile.size());
  EXPECT_EQ(t.Size(), 0u);
}

TEST(LineDef, RecordsBecomeASetOfStrings) {
  std::vector<uint8_t> file(30, 0);
  std::memcpy(&file[0], "ABCDEFGHI", 9);  // nine characters and a zero: a 9-byte string
  std::memcpy(&file[10], "xyz", 3);
  std::memcpy(&file[20], "xyz", 3);  // duplicates collapse
  LineDefTable set;
  ParseLineDefTable(set, file.data(), file.size());  // short file: the rest reads as zero
  EXPECT_EQ(set.size(), 2u);
  EXPECT_TRUE(set.count("ABCDEFGHI"));
  EXPECT_TRUE(set.count("xyz"));
  std::vector<uint8_t> unterminated(10, 'Q');
  ParseLineDefTable(set, unterminated.data(), unterminated.size());
  ASSERT_EQ(set.size(), 1u);
  EXPECT_EQ(set.begin()->size(), 10u);  // bounded by its record
}

}  // namespace

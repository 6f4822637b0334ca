// SZS archive layout, name normalisation and directory validation.
#include "formats/szs/szs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

void PutU64(std::vector<uint8_t>& v, size_t at, uint64_t x) {
  for (int i = 0; i < 8; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}
void PutU32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

std::vector<uint8_t> TwoEntryArchive() {
  std::vector<uint8_t> out;
  EXPECT_TRUE(v4fmt::BuildSzsArchive({{"zenkoku\\map.tig", Bytes("MAP")}, {"表\\ア.png", Bytes("")}}, out));
  return out;
}

TEST(Szs, LayoutOfABuiltArchive) {
  std::vector<uint8_t> a = TwoEntryArchive();
  ASSERT_EQ(a.size(), 16u + 2 * 272 + 3);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(a[i], 0) << i;
  EXPECT_EQ(a[12], 2);
  EXPECT_EQ(a[13] | a[14] | a[15], 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(&a[16]), "zenkoku\\map.tig");
  EXPECT_EQ(a[16 + 256] | a[16 + 257] << 8, 16 + 2 * 272);  // offset, little-endian
  EXPECT_EQ(a[16 + 258] | a[16 + 259] | a[16 + 263], 0);
  EXPECT_EQ(a[16 + 264], 3);  // size
  const size_t data = 16 + 2 * 272;
  EXPECT_EQ(a[data], 'M' ^ 0xB7);
  EXPECT_EQ(a[data + 2], 'P' ^ 0xB7);

  std::vector<v4fmt::SzsDirEntry> dir;
  std::string error;
  ASSERT_TRUE(v4fmt::ParseSzsDirectory(a.data(), a.size(), a.size(), dir, &error)) << error;
  ASSERT_EQ(dir.size(), 2u);
  EXPECT_EQ(dir[0].name, "zenkoku\\map.tig");
  EXPECT_EQ(dir[1].name, "表\\ア.png");
  EXPECT_EQ(dir[1].size, 0u);
}

TEST(Szs, BuildRejectsBadNames) {
  std::vector<uint8_t> out;
  EXPECT_FALSE(v4fmt::BuildSzsArchive({{"", Bytes("x")}}, out));
  EXPECT_FALSE(v4fmt::BuildSzsArchive({{std::string(256, 'a'), Bytes("x")}}, out));
  EXPECT_TRUE(v4fmt::BuildSzsArchive({{std::string(255, 'a'), Bytes("x")}}, out));
}

TEST(Szs, NormaliseLowersAsciiOnlyOutsideTwoByteCharacters) {
  struct {
    const char* in;
    const char* out;
  } const cases[] = {
      {"Zenkoku/Map.TIG", "zenkoku\\map.tig"},
      {"a;B/c", "a\\b\\c"},
      {"ア", "ア"},       // 83 41 stays; lower-casing the trail byte would make it ヂ (83 61)
      {"表/X", "表\\x"},  // 95 5C: the trail byte is not touched, the '/' after it is
      {"ＡＢ", "ＡＢ"},   // full-width letters are not ASCII
  };
  for (const auto& c : cases) {
    EXPECT_EQ(v4fmt::NormalizeSzsName(std::string_view(c.in)), c.out) << c.in;
    std::string s = c.in;
    v4fmt::NormalizeSzsName(s.data());
    EXPECT_EQ(s, c.out) << c.in;
  }
  EXPECT_NE(v4fmt::NormalizeSzsName(std::string_view("ア")), v4fmt::NormalizeSzsName(std::string_view("ヂ")));
}

TEST(Szs, DamagedDirectoriesAreRejected) {
  struct Damage {
    const char* what;
    void (*apply)(std::vector<uint8_t>&);
    bool valid;
    size_t entries;
  };
  const Damage cases[] = {
      {"intact", [](std::vector<uint8_t>&) {}, true, 2},
      {"count zero", [](std::vector<uint8_t>& a) { PutU32(a, 12, 0); }, true, 0},
      {"count negative", [](std::vector<uint8_t>& a) { PutU32(a, 12, 0x80000000u); }, false, 0},
      {"count minus one", [](std::vector<uint8_t>& a) { PutU32(a, 12, 0xFFFFFFFFu); }, false, 0},
      {"count huge", [](std::vector<uint8_t>& a) { PutU32(a, 12, 0x7FFFFFFFu); }, false, 0},
      {"count one too many", [](std::vector<uint8_t>& a) { PutU32(a, 12, 3); }, false, 0},
      {"offset past the end", [](std::vector<uint8_t>& a) { PutU64(a, 16 + 256, a.size() + 1); }, false, 0},
      {"size past the end", [](std::vector<uint8_t>& a) { PutU64(a, 16 + 264, 4); }, false, 0},
      {"offset high word is not read", [](std::vector<uint8_t>& a) { PutU32(a, 16 + 260, 0xFFFFFFFFu); }, true, 2},
      {"offset plus size wraps",
       [](std::vector<uint8_t>& a) {
         PutU64(a, 16 + 256, ~0ull);
         PutU64(a, 16 + 264, 2);
       },
       false, 0},
      {"name not terminated", [](std::vector<uint8_t>& a) { std::memset(&a[16], 'x', 256); }, false, 0},
      {"empty name", [](std::vector<uint8_t>& a) { a[16] = 0; }, false, 0},
      {"header cut", [](std::vector<uint8_t>& a) { a.resize(15); }, false, 0},
      {"directory cut", [](std::vector<uint8_t>& a) { a.resize(16 + 272); }, false, 0},
  };
  for (const Damage& c : cases) {
    std::vector<uint8_t> a = TwoEntryArchive();
    c.apply(a);
    std::vector<v4fmt::SzsDirEntry> dir;
    std::string error;
    EXPECT_EQ(v4fmt::ParseSzsDirectory(a.data(), a.size(), a.size(), dir, &error), c.valid) << c.what;
    EXPECT_EQ(dir.size(), c.valid ? c.entries : 0u) << c.what;
    if (!c.valid) {
      EXPECT_FALSE(error.empty()) << c.what;
    }
  }
}

TEST(Szs, OnlyTheLowWordOfAnOffsetPlacesTheData) {
  std::vector<uint8_t> a = TwoEntryArchive();
  PutU32(a, 16 + 260, 0xDEADBEEFu);        // high word of the first record's offset
  PutU32(a, 16 + 272 + 260, 0x00000001u);  // and of the second's
  std::vector<v4fmt::SzsDirEntry> dir;
  std::string error;
  ASSERT_TRUE(v4fmt::ParseSzsDirectory(a.data(), a.size(), a.size(), dir, &error)) << error;
  ASSERT_EQ(dir.size(), 2u);
  EXPECT_EQ(dir[0].offset, 16u + 2 * 272);
  EXPECT_EQ(dir[1].offset, 16u + 2 * 272 + 3);
  EXPECT_EQ(dir[0].size, 3u);
}

}  // namespace

// .voi header and .SPL index: validation of every field a damaged file could carry.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/sound_formats.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct VoiCase {
  const char* name;
  size_t total;
  int8_t extra;
  bool ok;
  size_t offset;
};

class VoiHeader : public ::testing::TestWithParam<VoiCase> {};

TEST_P(VoiHeader, GivesTheOggOffsetOrRejects) {
  const VoiCase& c = GetParam();
  Bytes b(std::max<size_t>(c.total, 32), 0);
  b[30] = uint8_t(c.extra);
  size_t off = 12345;
  EXPECT_EQ(plat::ParseVoiHeader(b.data(), c.total, off), c.ok);
  if (c.ok) {
    EXPECT_EQ(off, c.offset);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, VoiHeader,
                         ::testing::Values(VoiCase{"extra0", 100, 0, true, 32}, VoiCase{"extra10", 100, 10, true, 42},
                                           VoiCase{"exactlyHeader", 32, 0, true, 32},
                                           VoiCase{"negativeExtra", 100, -4, false, 0},
                                           VoiCase{"basePastEnd", 40, 20, false, 0},
                                           VoiCase{"shorterThanHeader", 31, 0, false, 0}),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(VoiFile, BuiltFileHasExtraZeroAndTheStreamAt32) {
  const Bytes ogg = {'O', 'g', 'g', 'S', 1, 2, 3};
  const Bytes voi = plat::BuildVoiFile(ogg);
  ASSERT_EQ(voi.size(), 32u + ogg.size());
  EXPECT_EQ(voi[30], 0);
  size_t off = 0;
  ASSERT_TRUE(plat::ParseVoiHeader(voi.data(), voi.size(), off));
  EXPECT_EQ(Bytes(voi.begin() + long(off), voi.end()), ogg);
}

void Put32(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4);
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// A hand-written index (not from our writer): two entries, block size 16.
Bytes HandIndex() {
  Bytes b(32, 0);
  Put32(b, 12, 16);
  // entry 0: name at 64, 5 bytes, block 0; entry 1: name at 71, 7 bytes, block 1
  Put32(b, 32, 64);
  Put32(b, 36, 5);
  Put32(b, 40, 0);
  Put32(b, 48, 71);
  Put32(b, 52, 7);
  Put32(b, 56, 1);
  const char names[] = "a.voi\0B.VOI";  // 6 + 6 bytes with terminators
  b.resize(64);
  b.insert(b.end(), names, names + 12);
  // pad entry 1's name offset: "a.voi\0" is 6 bytes -> B.VOI at 70; use 71 with one filler byte
  b.insert(b.begin() + 70, 'x');
  return b;
}

TEST(SoundPackIndex, ReadsAHandWrittenIndex) {
  const Bytes idx = HandIndex();
  std::vector<plat::SoundPackEntry> e;
  ASSERT_TRUE(plat::ParseSoundPackIndex(idx.data(), idx.size(), 23, e));
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].name, "a.voi");
  EXPECT_EQ(e[0].offset, 0u);
  EXPECT_EQ(e[0].size, 5u);
  EXPECT_EQ(e[1].name, "B.VOI");
  EXPECT_EQ(e[1].offset, 16u);
  EXPECT_EQ(e[1].size, 7u);
}

struct BadIndex {
  const char* name;
  Bytes (*make)();
};

Bytes NameUnterminated() {
  Bytes b = HandIndex();
  b.pop_back();  // the last name loses its terminator
  return b;
}
Bytes NameOffsetOutside() {
  Bytes b = HandIndex();
  Put32(b, 48, 5000);
  return b;
}
Bytes NameInsideTable() {
  Bytes b = HandIndex();
  Put32(b, 48, 40);
  return b;
}
Bytes TableLongerThanIndex() {
  Bytes b(40, 0);
  Put32(b, 32, 32 + 16 * 1000);
  return b;
}
Bytes FirstOffsetMisaligned() {
  Bytes b = HandIndex();
  Put32(b, 32, 63);
  return b;
}
Bytes EntryPastData() {
  Bytes b = HandIndex();
  Put32(b, 56, 2);  // block 2 x 16 + 7 > 23
  return b;
}
Bytes HugeBlock() {
  Bytes b = HandIndex();
  Put32(b, 56, 0xFFFFFFFFu);  // 64-bit product, far past the data
  return b;
}
Bytes Short() { return Bytes(20, 0); }

class SoundPackIndexBad : public ::testing::TestWithParam<BadIndex> {};

TEST_P(SoundPackIndexBad, IsRejected) {
  const Bytes idx = GetParam().make();
  std::vector<plat::SoundPackEntry> e;
  std::string why;
  EXPECT_FALSE(plat::ParseSoundPackIndex(idx.data(), idx.size(), 23, e, &why));
  EXPECT_FALSE(why.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, SoundPackIndexBad,
                         ::testing::Values(BadIndex{"nameUnterminated", &NameUnterminated},
                                           BadIndex{"nameOffsetOutside", &NameOffsetOutside},
                                           BadIndex{"nameInsideTable", &NameInsideTable},
                                           BadIndex{"tableLongerThanIndex", &TableLongerThanIndex},
                                           BadIndex{"firstOffsetMisaligned", &FirstOffsetMisaligned},
                                           BadIndex{"entryPastData", &EntryPastData}, BadIndex{"hugeBlock", &HugeBlock},
                                           BadIndex{"short", &Short}),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(SoundPackIndex, FirstNameOffset32MeansNoEntries) {
  Bytes b(36, 0);
  Put32(b, 32, 32);
  std::vector<plat::SoundPackEntry> e;
  ASSERT_TRUE(plat::ParseSoundPackIndex(b.data(), b.size(), 0, e));
  EXPECT_TRUE(e.empty());
  // Our writer produces the same for an empty folder.
  Bytes spl, spd;
  plat::BuildSoundPack({}, 2048, spl, spd);
  ASSERT_TRUE(plat::ParseSoundPackIndex(spl.data(), spl.size(), spd.size(), e));
  EXPECT_TRUE(e.empty());
}

TEST(SoundPackIndex, WriterRoundTripsAndAlignsToBlocks) {
  std::vector<plat::SoundPackInput> in = {{"one.voi", Bytes(5, 1)}, {"two.voi", Bytes(3000, 2)}, {"3.voi", {}}};
  Bytes spl, spd;
  plat::BuildSoundPack(in, 2048, spl, spd);
  std::vector<plat::SoundPackEntry> e;
  ASSERT_TRUE(plat::ParseSoundPackIndex(spl.data(), spl.size(), spd.size(), e));
  ASSERT_EQ(e.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(e[i].name, in[i].name);
    EXPECT_EQ(e[i].size, in[i].data.size());
    EXPECT_EQ(e[i].offset % 2048, 0u);
    EXPECT_EQ(Bytes(spd.begin() + long(e[i].offset), spd.begin() + long(e[i].offset + e[i].size)), in[i].data);
  }
}

struct LookupCase {
  const char* query;
  const char* expect;  // entry name, or null for no match
};

class SoundPackLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(SoundPackLookup, MatchesTheFileNameIgnoringCase) {
  // "\x83\x41" and "\x83\x61" are two different katakana: a trail byte is never case-folded.
  const std::vector<plat::SoundPackEntry> entries = {{"005a.voi", 1, 0},
                                                     {"005A.VOI", 2, 0},
                                                     {"\x83\x41.voi", 3, 0},
                                                     {"\x83\x5C"
                                                      "b.voi",
                                                      4, 0}};
  const plat::SoundPackEntry* e = plat::FindPackEntry(entries, GetParam().query);
  if (!GetParam().expect) {
    EXPECT_EQ(e, nullptr);
    return;
  }
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->name, GetParam().expect);
  if (std::string(GetParam().expect) == "005a.voi") {
    EXPECT_EQ(e->size, 1u);  // first match in table order
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SoundPackLookup,
                         ::testing::Values(LookupCase{"Data\\slg_v\\005\\005A.VOI", "005a.voi"},
                                           LookupCase{"Data/slg_v/005/005a.voi", "005a.voi"},
                                           LookupCase{"005a.voi", "005a.voi"},
                                           LookupCase{"x\\\x83\x41.VOI", "\x83\x41.voi"},
                                           LookupCase{"x\\\x83\x61.voi", nullptr},
                                           // 0x5C as a trail byte is not a separator.
                                           LookupCase{"d\\\x83\x5C"
                                                      "B.voi",
                                                      "\x83\x5C"
                                                      "b.voi"},
                                           LookupCase{"005b.voi", nullptr}));

}  // namespace

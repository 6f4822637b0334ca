// Standing-picture definitions: parsing, placement, the cache and malformed files.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "screens/scenario/char_def.h"

namespace {

using adv::CharDef;

CharDef Sample() {
  CharDef d;
  d.body = "hana_body.png";
  d.width = 400;
  d.height = 600;
  d.anchor = 100;
  d.face = "hana_face.png";
  d.faceX = 120;
  d.faceY = 80;
  d.faceW = 160;
  d.faceH = 160;
  d.offsets[3][0] = -300;
  d.offsets[3][1] = 20;
  d.offsets[10][0] = 7;
  return d;
}

TEST(CharDefTest, ParsesAndPlaces) {
  const std::vector<uint8_t> bytes = adv::EncodeCharDef(Sample());
  ASSERT_EQ(bytes.size(), 244u);
  CharDef d;
  ASSERT_TRUE(adv::ParseCharDef(bytes.data(), bytes.size(), d));
  EXPECT_EQ(d.body, "hana_body.png");
  EXPECT_EQ(d.face, "hana_face.png");
  EXPECT_EQ(d.faceW, 160);
  struct {
    int32_t pos;
    float x, y;
  } places[] = {{-1, 540, 120}, {0, 540, 120}, {3, 240, 140}, {10, 547, 120}, {11, 540, 120}, {99, 540, 120}};
  for (const auto& p : places) {
    float x = 0, y = 0;
    adv::CharPlacement(d, p.pos, x, y);
    EXPECT_FLOAT_EQ(x, p.x) << p.pos;
    EXPECT_FLOAT_EQ(y, p.y) << p.pos;
  }
}

TEST(CharDefTest, MalformedDefinitionsAreRefused) {
  const std::vector<uint8_t> good = adv::EncodeCharDef(Sample());
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  auto with = [&](size_t at, int32_t v) {
    std::vector<uint8_t> b = good;
    std::memcpy(b.data() + at, &v, 4);
    return b;
  };
  std::vector<uint8_t> noNul = good;
  std::memset(noNul.data(), 'a', 64);  // a body name without its terminator
  std::vector<uint8_t> emptyBody = good;
  emptyBody[0] = 0;
  const Case cases[] = {
      {"short", std::vector<uint8_t>(good.begin(), good.begin() + 243)},
      {"long",
       [&] {
         auto b = good;
         b.push_back(0);
         return b;
       }()},
      {"empty", {}},
      {"no body", emptyBody},
      {"zero width", with(64, 0)},
      {"negative height", with(68, -600)},
      {"huge width", with(64, 1 << 30)},
      {"anchor out of range", with(72, 1 << 20)},
      {"face outside", with(140, 300)},
      {"negative face", with(148, -5)},
      {"offset out of range", with(156 + 8 * 4, 1 << 24)},
  };
  for (const Case& c : cases) {
    CharDef d;
    std::string why;
    EXPECT_FALSE(adv::ParseCharDef(c.bytes.data(), c.bytes.size(), d, &why)) << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
  }
  // A name field with no terminator is cut at 63 bytes, never read into the next field.
  CharDef d;
  ASSERT_TRUE(adv::ParseCharDef(noNul.data(), noNul.size(), d));
  EXPECT_EQ(d.body, std::string(63, 'a'));
}

TEST(CharDefTest, CacheReadsEachNameOnceAndRejectsPathNames) {
  std::map<std::string, std::vector<uint8_t>> files = {{"Data\\char\\hana.dat", adv::EncodeCharDef(Sample())},
                                                       {"Data\\char\\bad.dat", {1, 2, 3}}};
  std::vector<std::string> asked;
  adv::CharDefCache cache([&](const std::string& path, std::vector<uint8_t>& out) {
    asked.push_back(path);
    auto it = files.find(path);
    if (it == files.end()) return false;
    out = it->second;
    return true;
  });
  EXPECT_NE(cache.Get("hana"), nullptr);
  EXPECT_NE(cache.Get("hana"), nullptr);
  EXPECT_EQ(cache.Reads(), 1u);
  std::string why;
  EXPECT_EQ(cache.Get("missing", &why), nullptr);
  EXPECT_EQ(why, "missing");
  EXPECT_EQ(cache.Get("bad", &why), nullptr);
  EXPECT_NE(why, "missing");
  const std::string names[] = {"", "..\\..\\save", "a/b", "c:x", std::string(64, 'n')};
  const size_t before = asked.size();
  for (const std::string& n : names) EXPECT_EQ(cache.Get(n), nullptr) << n;
  EXPECT_EQ(asked.size(), before) << "bad names never reach the file system";
}

TEST(CharDefTest, CacheStaysBounded) {
  const std::vector<uint8_t> bytes = adv::EncodeCharDef(Sample());
  adv::CharDefCache cache([&](const std::string&, std::vector<uint8_t>& out) {
    out = bytes;
    return true;
  });
  for (size_t i = 0; i < adv::CharDefCache::kMaxEntries * 3; ++i) {
    ASSERT_NE(cache.Get("c" + std::to_string(i)), nullptr);
    EXPECT_LE(cache.Size(), adv::CharDefCache::kMaxEntries);
  }
  // A name still cached is not read again; one dropped with the rest is read once more.
  const size_t reads = cache.Reads();
  const std::string last = "c" + std::to_string(adv::CharDefCache::kMaxEntries * 3 - 1);
  EXPECT_NE(cache.Get(last), nullptr);
  EXPECT_EQ(cache.Reads(), reads);
  EXPECT_NE(cache.Get("c0"), nullptr);
  EXPECT_EQ(cache.Reads(), reads + 1);
}

}  // namespace

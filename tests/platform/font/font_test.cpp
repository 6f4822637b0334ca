// The system font layer on the installed Japanese font: face resolution, cell metrics, glyph
// images and the Shift-JIS code mapping.
#include "platform/font/font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

TEST(FontFace, DataFaceNamesResolveToAnInstalledJapaneseFont) {
  struct Case {
    const char* face;
    bool substituted;
  };
  const Case cases[] = {
      {"ＭＳ ゴシック", true},  // the data's default face, not installed here
      {"no such face at all", true},
      {"", true},
      {"IPAGothic", false},  // installed: used as named
  };
  for (const Case& c : cases) {
    const plat::FontMatch m = plat::ResolveFontFace(c.face);
    EXPECT_FALSE(m.file.empty()) << c.face;
    EXPECT_TRUE(m.japanese) << c.face;
    EXPECT_EQ(m.substituted, c.substituted) << c.face;
  }
}

TEST(FontFace, OpenRefusesNonPositiveHeightsAndSharesInstances) {
  EXPECT_EQ(plat::OpenFont("ＭＳ ゴシック", 0, false, false), nullptr);
  EXPECT_EQ(plat::OpenFont("ＭＳ ゴシック", -24, false, false), nullptr);
  auto a = plat::OpenFont("ＭＳ ゴシック", 24, false, false);
  auto b = plat::OpenFont("ＭＳ ゴシック", 24, false, false);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, plat::OpenFont("ＭＳ ゴシック", 24, true, false));
}

TEST(FontCodes, ShiftJisCodesMapToUnicode) {
  struct Case {
    uint16_t code;
    uint32_t unicode;
  };
  const Case cases[] = {
      {0x41, 0x41},                              // ASCII
      {0x82A0, 0x3042},                          // あ
      {0x8ABF, 0x6F22},                          // 漢
      {0x8140, 0x3000},                          // full-width space
      {0xB1, 0xFF71},                            // half-width katakana ｱ
      {0x835C, 0x30BD},                          // ソ: trail byte 0x5C
      {0x80, 0},                                 // undefined single bytes
      {0xA0, 0},        {0xFD, 0}, {0x8100, 0},  // a lead byte with an impossible trail byte
  };
  for (const Case& c : cases) EXPECT_EQ(plat::SjisCodeToUnicode(c.code), c.unicode) << std::hex << c.code;
}

TEST(FontGlyphs, FixedPitchCellsAtTwentyFourPixels) {
  auto f = plat::OpenFont("ＭＳ ゴシック", 24, false, false);
  ASSERT_NE(f, nullptr);
  const plat::FontMetrics& m = f->Metrics();
  // The cell holds the em and the baseline lies inside it.
  EXPECT_GE(m.height, 24);
  EXPECT_GT(m.ascent, 0);
  EXPECT_LT(m.ascent, m.height);
  struct Case {
    uint16_t code;
    int advance;
    bool ink;
  };
  const Case cases[] = {
      {0x82A0, 24, true},   // あ: full width
      {0x8ABF, 24, true},   // 漢
      {0x41, 12, true},     // A: half width
      {0xB1, 12, true},     // ｱ: half-width katakana
      {0x20, 12, false},    // space
      {0x8140, 24, false},  // full-width space
      {0x80, 12, false},    // undefined byte: blank with a half-width advance
      {0x8100, 24, false},  // undefined pair: blank with a full-width advance
  };
  for (const Case& c : cases) {
    plat::GlyphImage g;
    EXPECT_TRUE(f->RenderGlyph(c.code, &g)) << std::hex << c.code;
    EXPECT_EQ(g.advance, c.advance) << std::hex << c.code;
    EXPECT_EQ(g.width > 0 && g.height > 0, c.ink) << std::hex << c.code;
    ASSERT_EQ(g.levels.size(), static_cast<size_t>(g.width) * g.height);
    if (!c.ink) continue;
    // 17 levels, fully covered strokes reach 16; the ink lies on the baseline within the cell.
    EXPECT_LE(*std::max_element(g.levels.begin(), g.levels.end()), 16);
    EXPECT_EQ(*std::max_element(g.levels.begin(), g.levels.end()), 16) << std::hex << c.code;
    EXPECT_LE(g.originY, m.ascent + 1);
    EXPECT_GE(g.originY - g.height, -(m.height - m.ascent) - 1);
  }
}

TEST(FontGlyphs, BoldWidensAndItalicLeansTheInk) {
  auto plain = plat::OpenFont("ＭＳ ゴシック", 32, false, false);
  auto bold = plat::OpenFont("ＭＳ ゴシック", 32, true, false);
  auto italic = plat::OpenFont("ＭＳ ゴシック", 32, false, true);
  ASSERT_TRUE(plain && bold && italic);
  plat::GlyphImage p, b, i;
  ASSERT_TRUE(plain->RenderGlyph(0x8CFB, &p));  // 口
  ASSERT_TRUE(bold->RenderGlyph(0x8CFB, &b));
  ASSERT_TRUE(italic->RenderGlyph(0x8CFB, &i));
  auto ink = [](const plat::GlyphImage& g) {
    int sum = 0;
    for (uint8_t v : g.levels) sum += v;
    return sum;
  };
  EXPECT_GT(ink(b), ink(p));
  EXPECT_GT(b.width, p.width);
  EXPECT_GT(i.width, p.width);  // the slanted box is wider
}

// Runs in a fresh process: fontconfig reads its configuration once.
TEST(FontMissingDeathTest, NoInstalledFontIsReportedOnceAndOpensFail) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        char dir[] = "/tmp/v4font_XXXXXX";
        if (!mkdtemp(dir)) std::exit(3);
        const std::string conf = std::string(dir) + "/empty.conf";
        if (std::FILE* f = std::fopen(conf.c_str(), "w")) {
          std::fputs("<?xml version=\"1.0\"?><fontconfig><cachedir>", f);
          std::fputs(dir, f);
          std::fputs("</cachedir></fontconfig>", f);
          std::fclose(f);
        }
        setenv("FONTCONFIG_FILE", conf.c_str(), 1);
        const bool none = plat::OpenFont("ＭＳ ゴシック", 24, false, false) == nullptr &&
                          plat::OpenFont("Other", 12, false, false) == nullptr &&
                          plat::ResolveFontFace("Other").file.empty();
        std::exit(none ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "no font is installed");
}

TEST(FontLevels, CoverageQuantisesToSeventeenLevels) {
  struct Case {
    uint8_t coverage, level;
  };
  const Case cases[] = {{0, 0}, {7, 0}, {128, 8}, {255, 16}, {248, 16}, {247, 15}, {8, 1}};
  for (const Case& c : cases) EXPECT_EQ(plat::CoverageToLevel(c.coverage), c.level) << int(c.coverage);
}

}  // namespace

// Bitmap fonts: ".fnt" parsing, the font cache's name rules, glyphs cut from the picture, and
// bitmap faces in the glyph cache (per glyph and whole text).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "render/dg_texture.h"
#include "render/text/bitmap_font.h"
#include "render/text/glyph_cache.h"
#include "render/text/text_renderer.h"
#include "tests/support/log_lines.h"
#include "text_fixture.h"

namespace {

TEST(FntParse, LayoutsAndBounds) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string picture;
    size_t glyphs;
  };
  std::vector<uint8_t> twenty = MakeFnt("", {{"A", 1, 2, 3, 4}}, false);
  twenty.resize(20, 0xEE);  // bytes 12..19: a partial record
  std::vector<uint8_t> unterminated(32, 'p');
  const Case cases[] = {
      {"20 bytes: no name, one record", twenty, "", 1},
      {"exactly 32 bytes: a name, no records", MakeFnt("pic.png", {}), "pic.png", 0},
      {"name without terminator is bounded", unterminated, std::string(32, 'p'), 0},
      {"trailing partial record ignored",
       [] {
         auto b = MakeFnt("p.png", {{"A", 0, 0, 1, 1}});
         b.resize(b.size() + 11, 1);
         return b;
       }(),
       "p.png", 1},
      {"empty", {}, "", 0},
  };
  for (const Case& c : cases) {
    FntFile f;
    ParseFntFile(c.bytes.data(), c.bytes.size(), &f);
    EXPECT_EQ(f.pictureName, c.picture) << c.what;
    EXPECT_EQ(f.glyphs.size(), c.glyphs) << c.what;
  }
  FntFile f;
  ParseFntFile(twenty.data(), twenty.size(), &f);
  ASSERT_EQ(f.glyphs.count("A"), 1u);
  const DGRect r = f.glyphs["A"];
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.top, 2);
  EXPECT_EQ(r.right, 4);
  EXPECT_EQ(r.bottom, 6);
}

TEST(FntParse, KeysAreBoundedByTheirFieldAndTheFirstDuplicateWins) {
  const auto bytes =
      MakeFnt("p.png", {{"ab", 0, 0, 8, 8}, {"ab", 9, 9, 1, 1}, {"\x82\xA0", 8, 0, 8, 8}, {"wxyz", 500, 0, 0x1234, 2}});
  FntFile f;
  ParseFntFile(bytes.data(), bytes.size(), &f);
  ASSERT_EQ(f.glyphs.size(), 3u);
  EXPECT_EQ(f.glyphs["ab"].left, 0);
  EXPECT_EQ(f.glyphs["ab"].right, 8);
  EXPECT_EQ(f.glyphs["\x82\xA0"].left, 8);
  // Four key bytes and no terminator: the key is those four bytes, never more.
  ASSERT_EQ(f.glyphs.count("wxyz"), 1u);
  EXPECT_EQ(f.glyphs["wxyz"].right, 500 + 0x1234);
}

// A picture of two 4 x 4 glyphs, red and blue, plus a bitmap font naming it.
class BitmapFontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("Data/font/pic.png", v4test::PngOf(8, 4, [](int x, int) { return x < 4 ? 0xFF0000FFu : 0x0000FFFFu; }));
    // "d" is a damaged record: a rectangle of 65535 x 65535 texels.
    dir.Write(
        "Data/font/two.fnt",
        MakeFnt("pic.png", {{"a", 0, 0, 4, 4}, {"b", 4, 0, 4, 4}, {"c", 6, 0, 4, 4}, {"d", 0, 0, 0xFFFF, 0xFFFF}}));
    fntPath = dir.ProgramPath("Data/font/two.fnt");
    cache.SetGlyphSource(&src);
  }
  std::vector<uint8_t> Pixels(CDGTexture* t) {
    std::vector<uint8_t> px;
    EXPECT_TRUE(t && env.dev->ReadTexture(t->DeviceId(), &px));
    return px;
  }

  v4test::TempModuleDir dir;
  v4test::NullDeviceManager env{v4test::ManagerScope::kLocal};
  FakeGlyphSource src;
  CDGTextTextureManager cache;
  std::string fntPath;
};

TEST_F(BitmapFontTest, OnlyExactDotFntNamesAreFonts) {
  CDGFontManager fonts;
  fonts.SetDevice(env.mgr);
  EXPECT_EQ(fonts.GetFont(nullptr), nullptr);
  EXPECT_EQ(fonts.GetFont("nodot"), nullptr);
  EXPECT_EQ(fonts.GetFont(dir.ProgramPath("Data/font/TWO.FNT").c_str()), nullptr);
  EXPECT_EQ(fonts.GetFont("x.fnt.png"), nullptr);
  // A missing file still gives a (cached, empty) font that answers false.
  CDGFont* missing = fonts.GetFont(dir.ProgramPath("Data/font/none.fnt").c_str());
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(fonts.GetFont(dir.ProgramPath("Data/font/none.fnt").c_str()), missing);
  CDGTexture* t = nullptr;
  EXPECT_FALSE(fonts.GetGlyph(dir.ProgramPath("Data/font/none.fnt").c_str(), "a", &t));
  EXPECT_EQ(t, nullptr);
  EXPECT_TRUE(fonts.HasFont(fntPath.c_str()));
}

// A font that cannot draw is refused with one log line naming it and why, however often its glyphs
// are asked for.
TEST_F(BitmapFontTest, DamagedFontsAreLoggedOncePerFileWithTheReason) {
  std::vector<uint8_t> noise(200);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 77 + 3);
  dir.Write("Data/font/noise.png", noise);
  struct Case {
    const char* file;
    std::vector<uint8_t> bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"short.fnt", std::vector<uint8_t>(10, 'x'), "names no picture"},
      {"nochars.fnt", MakeFnt("pic.png", {}), "no characters"},
      {"badpic.fnt", MakeFnt("noise.png", {{"a", 0, 0, 4, 4}}), "noise.png cannot be used"},
  };
  CDGFontManager fonts;
  fonts.SetDevice(env.mgr);
  for (const Case& c : cases) {
    dir.Write(std::string("Data/font/") + c.file, c.bytes);
    const std::string path = dir.ProgramPath(std::string("Data/font/") + c.file);
    testing::internal::CaptureStderr();
    for (int frame = 0; frame < 3; ++frame) {
      CDGTexture* t = nullptr;
      EXPECT_FALSE(fonts.GetGlyph(path.c_str(), "a", &t)) << c.file;
      EXPECT_EQ(t, nullptr);
    }
    const std::vector<std::string> lines = v4test::LogLinesNaming(testing::internal::GetCapturedStderr(), path);
    ASSERT_EQ(lines.size(), 1u) << c.file;
    EXPECT_NE(lines[0].find(c.reason), std::string::npos) << lines[0];
  }
}

TEST_F(BitmapFontTest, GlyphIsExactlyItsRectangleOfThePicture) {
  CDGFontManager fonts;
  fonts.SetDevice(env.mgr);
  struct Case {
    const char* key;
    uint8_t r, b;
  } cases[] = {{"a", 255, 0}, {"b", 0, 255}};
  for (const Case& c : cases) {
    CDGTexture* t = nullptr;
    ASSERT_TRUE(fonts.GetGlyph(fntPath.c_str(), c.key, &t)) << c.key;
    uint32_t w = 0, h = 0;
    t->GetSurfaceSize(&w, &h);
    EXPECT_EQ(w, 4u);
    EXPECT_EQ(h, 4u);
    const auto px = Pixels(t);
    ASSERT_EQ(px.size(), 64u);
    for (size_t i = 0; i < px.size(); i += 4) {
      EXPECT_EQ(px[i], c.r) << c.key << i;
      EXPECT_EQ(px[i + 2], c.b) << c.key << i;
      EXPECT_EQ(px[i + 3], 255) << c.key << i;
    }
    t->Release();
  }
  // A key the font lacks, and rectangles reaching outside the picture: no glyph, no texture.
  for (const char* key : {"z", "c", "d"}) {
    CDGTexture* t = nullptr;
    EXPECT_FALSE(fonts.GetGlyph(fntPath.c_str(), key, &t)) << key;
    EXPECT_EQ(t, nullptr) << key;
  }
}

TEST_F(BitmapFontTest, PictureIsLookedUpInTheFontsFolderPastTrailBytes) {
  // 表 is 0x95 0x5C in Shift-JIS: its trail byte is no separator.
  const std::string hyo = reinterpret_cast<const char*>(u8"表");
  struct Case {
    std::string hostFolder, hostFile;  // UTF-8, where the font and its picture are written
    std::string programPath;           // how the game names the font (Shift-JIS)
  } cases[] = {
      {"Data/font", hyo + ".fnt", dir.ProgramPath("Data/font/") + "表.fnt"},
      {"Data/x", hyo + hyo + ".fnt", dir.ProgramPath("Data/x/") + "表表.fnt"},
      {"Data/" + hyo, "two.fnt", dir.ProgramPath("Data/") + "表\\two.fnt"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(dir.Write(c.hostFolder + "/pic.png", v4test::PngOf(8, 4, [](int, int) { return 0x00FF00FFu; })));
    ASSERT_TRUE(dir.Write(c.hostFolder + "/" + c.hostFile, MakeFnt("pic.png", {{"a", 0, 0, 4, 4}})));
    CDGFontManager fonts;
    fonts.SetDevice(env.mgr);
    CDGTexture* t = nullptr;
    ASSERT_TRUE(fonts.GetGlyph(c.programPath.c_str(), "a", &t)) << c.hostFolder << "/" << c.hostFile;
    EXPECT_EQ(Pixels(t)[1], 255) << c.hostFolder;  // green, from the picture beside the font
    t->Release();
  }
}

TEST_F(BitmapFontTest, GlyphCacheUsesTheBitmapFontPerGlyphAndForWholeText) {
  std::vector<GlyphListEntry> list;
  cache.BuildGlyphList(&list, "ab", fntPath, 24, 0, 0, 0, env.mgr);
  ASSERT_EQ(list.size(), 2u);
  ASSERT_NE(list[0].texture, nullptr);
  ASSERT_NE(list[1].texture, nullptr);
  EXPECT_EQ(src.renders, 0);  // no system font involved
  EXPECT_EQ(Pixels(list[0].texture)[0], 255);
  EXPECT_EQ(Pixels(list[1].texture)[2], 255);
  for (auto& e : list)
    if (e.texture->Release()) cache.ForgetTexture(e.texture);
  CDGTexture* whole = cache.RenderTextTexture("ab", fntPath, 24, 0, 0, 0, 1, 0, env.mgr);
  ASSERT_NE(whole, nullptr);
  uint32_t w = 0, h = 0;
  whole->GetSurfaceSize(&w, &h);
  EXPECT_EQ(w, 4u + 1 + 4 + 1);
  EXPECT_EQ(h, 4u);
  const auto px = Pixels(whole);
  EXPECT_EQ(px[0], 255);            // a: red
  EXPECT_EQ(px[(5) * 4 + 2], 255);  // b (after a and one spacing): blue
  EXPECT_EQ(px[(4) * 4 + 3], 0);    // the spacing stays clear
  EXPECT_EQ(src.renders, 0);
  whole->Release();
}

TEST_F(BitmapFontTest, RendererDrawsBitmapGlyphCells) {
  auto* r = new CDGTextRenderer(env.mgr, 10, 20, 0, "", fntPath, 4, 0, 0, 1, 0xFFFFFFFF);
  r->SetGlyphCache(&cache);
  r->SetText("ab", true);
  ASSERT_EQ(r->MainGlyphs().size(), 2u);
  EXPECT_FLOAT_EQ(r->MainGlyphs()[1].world[0].x - r->MainGlyphs()[0].world[0].x, 4);
  r->Draw(false, false, false);
  EXPECT_EQ(env.dev->draws.size(), 2u);
  r->Release();
}

}  // namespace

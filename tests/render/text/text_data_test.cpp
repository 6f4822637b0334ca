// The sample data's bitmap font (made by "v4data font" from the installed font) drawn on the
// OpenGL device offscreen.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "core/game_file.h"
#include "platform/gl/gl_context.h"
#include "render/dg_manager.h"
#include "render/text/bitmap_font.h"
#include "render/text/glyph_cache.h"
#include "render/text/text_renderer.h"
#include "tests/support/null_graphics.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_module_dir.h"

namespace {

std::vector<uint8_t> ReadHostFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
  }
  return bytes;
}

TEST(SampleBitmapFont, KeyFileNamesItsPictureAndEveryDigit) {
  const auto bytes = ReadHostFile(std::string(V4_TEST_GAME_DIR) + "/Data/font/gold.fnt");
  ASSERT_FALSE(bytes.empty());
  FntFile fnt;
  ParseFntFile(bytes.data(), bytes.size(), &fnt);
  EXPECT_EQ(fnt.pictureName, "gold.png");
  for (char c = '0'; c <= '9'; ++c) {
    ASSERT_EQ(fnt.glyphs.count(std::string(1, c)), 1u) << c;
    const DGRect& r = fnt.glyphs[std::string(1, c)];
    EXPECT_GT(r.right - r.left, 12) << c;  // a half-width cell plus the outline
    EXPECT_GT(r.bottom - r.top, 24) << c;
  }
  EXPECT_EQ(fnt.glyphs.count("石"), 1u);
}

TEST(SampleBitmapFont, StringDrawsGoldGlyphsWithDarkOutlinesInItsCells) {
  auto ctx = plat::OffscreenGlContext::Create(64, 64);
  ASSERT_NE(ctx, nullptr);
  const std::string oldDir = GetModuleDir();
  ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  auto* mgr = new CDGManager();
  ASSERT_TRUE(mgr->CreateDeviceWith([](int w, int h) { return plat::CreateGlDevice(w, h); }, true, 640, 360));
  mgr->SetDefaultRenderStates(true);
  plat::GfxDevice* dev = mgr->Device();
  dev->Clear(true, true, 0xFF000000u, 1.0f);
  const std::string face = std::string(GetModuleDir()) + "Data\\font\\gold.fnt";
  auto* r = new CDGTextRenderer(mgr, 100, 100, 0.5f, "", face, 24, 0, 0, 1, 0xFFFFFFFF);
  r->SetDrawMode(CDGTextRenderer::kScreen, false);
  r->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0), false);
  ASSERT_TRUE(r->SetText("12石", true));
  ASSERT_EQ(r->MainGlyphs().size(), 3u);
  r->Draw(false, false, false);
  dev->Flush();
  std::vector<uint8_t> px;
  ASSERT_TRUE(dev->ReadBackBuffer(plat::Rect{0, 0, 640, 360}, &px));
  int x = 100;
  for (const GlyphQuad& q : r->MainGlyphs()) {
    ASSERT_NE(q.texture, nullptr);
    uint32_t w = 0, h = 0;
    q.texture->GetSurfaceSize(&w, &h);
    int gold = 0, dark = 0;
    for (int y = 101; y < 101 + static_cast<int>(h); ++y)
      for (int xx = x; xx < x + static_cast<int>(w); ++xx) {
        const uint8_t* p = &px[(static_cast<size_t>(y) * 640 + xx) * 4];
        gold += p[0] > 200 && p[1] > 150 && p[2] < 120;
        dark += p[0] > 30 && p[0] < 110 && p[1] < 60 && p[2] < 40;
      }
    EXPECT_GT(gold, 10) << "cell at " << x;
    EXPECT_GT(dark, 10) << "cell at " << x;
    x += static_cast<int>(w);
  }
  r->Release();
  TextTextureManagerInstance().ReleaseAll();
  mgr->Release();
  SetModuleDir(oldDir.c_str());
}

// The data tool's font command as the sample data uses it, with the names a description may hold.
TEST(FontTool, KeyFileNamesItsPictureInShiftJisAndBadDescriptionsAreRefused) {
  v4test::TempModuleDir dir("v4font");
  ASSERT_TRUE(dir.Installed());
  const std::string tool = std::string(V4_TEST_BINARY_DIR) + "/bin/v4data";
  auto u8 = [](const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); };
  struct Case {
    const char* what;
    std::string json;
    std::string picture;  // Shift-JIS, as the key file must name it; empty: refused
  } cases[] = {
      {"a picture name outside ASCII", u8(u8R"({"picture": "金字.png", "height": 16, "characters": "1金"})"),
       "金字.png"},
      {"31 bytes in Shift-JIS (37 in UTF-8)",
       u8(u8R"({"picture": "金金金金金金金金金金金.png", "height": 16, "characters": "1金"})"),
       "金金金金金金金金金金金.png"},
      {"32 bytes in Shift-JIS",
       u8(u8R"({"picture": "金金金金金金金金金金金金金金.png", "height": 16, "characters": "1"})"), ""},
      {"a picture name the code page lacks",
       "{\"picture\": \"\\u00e9\\u0100.png\", \"height\": 16, \"characters\": \"1\"}", ""},
      {"a height of the wrong type", R"({"picture": "p.png", "height": "16", "characters": "1"})", ""},
  };
  ASSERT_TRUE(dir.Write("Data/font/keep", {}));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    ASSERT_TRUE(dir.Write("spec.json", std::vector<uint8_t>(c.json.begin(), c.json.end())));
    const std::string fnt = "Data/font/t" + std::to_string(i) + ".fnt";
    std::string out;
    const int status =
        v4test::RunCommand("'" + tool + "' font '" + dir.File("spec.json") + "' '" + dir.File(fnt) + "' 2>&1", &out);
    EXPECT_EQ(status, c.picture.empty() ? 1 : 0) << c.what << ": " << out;
    EXPECT_EQ(dir.Read(fnt).empty(), c.picture.empty()) << c.what;
  }
  // The game finds the picture through the name in the key file.
  v4test::NullDeviceManager env{v4test::ManagerScope::kLocal};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    if (c.picture.empty()) continue;
    const std::string fnt = "Data/font/t" + std::to_string(i) + ".fnt";
    const std::vector<uint8_t> bytes = dir.Read(fnt);
    FntFile parsed;
    ParseFntFile(bytes.data(), bytes.size(), &parsed);
    EXPECT_EQ(parsed.pictureName, c.picture) << c.what;
    CDGFontManager fonts;
    fonts.SetDevice(env.mgr);
    CDGTexture* t = nullptr;
    ASSERT_TRUE(fonts.GetGlyph(dir.ProgramPath(fnt).c_str(), "金", &t)) << c.what;
    t->Release();
  }
}

}  // namespace

// Textures, the named cache, image decoding (PNG, DDS) and the texture holders.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "render/dds_image.h"
#include "render/file_load.h"
#include "render/texture_holder.h"
#include "render_fixture.h"
#include "tests/support/log_lines.h"

namespace {

uint32_t Checker(int x, int y) { return ((x / 10 + y / 10) & 1) ? 0xFF0000FFu : 0x00FF00FFu; }
uint32_t LeftRight(int x, int) { return x < 50 ? 0xFF0000FFu : 0x0000FFFFu; }

class TextureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("Data/Test/pic.png", v4test::PngOf(100, 60, LeftRight));
    dir.Write("Data/Test/other.png", v4test::PngOf(4, 4, Checker));
  }
  std::string DataPath(const char* name) { return std::string(GetModuleDir()) + "Data\\Test\\" + name; }
  v4test::TempModuleDir dir;
  v4test::NullDeviceManager nm;
};

TEST_F(TextureTest, SameNameIsSharedUntilTheLastReleaseThenReadAgain) {
  const std::string name = DataPath("pic.png");
  auto* loader = new CDGFileLoad_QZT();
  CDGTexture* a = nm.mgr->LoadTextureFromLoader(name.c_str(), loader, 1);
  ASSERT_NE(a, nullptr);
  CDGTexture* b = nm.mgr->LoadTextureFromLoader(name.c_str(), loader, 0);  // a later mode is ignored
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->RefCount(), 2);
  EXPECT_EQ(nm.dev->LiveTextures(), 1u);
  // A name differing only in case is another entry.
  std::string upper = name;
  upper.replace(upper.size() - 7, 3, "PIC");
  CDGTexture* c = nm.mgr->LoadTextureFromLoader(upper.c_str(), loader, 1);
  ASSERT_NE(c, nullptr);
  EXPECT_NE(c, a);
  EXPECT_EQ(nm.mgr->TextureManager().NamedCount(), 2u);
  c->Release();
  EXPECT_FALSE(nm.mgr->TextureManager().ReleaseTexture(a));
  EXPECT_TRUE(nm.mgr->TextureManager().ReleaseTexture(b));
  EXPECT_EQ(nm.mgr->TextureManager().NamedCount(), 0u);
  EXPECT_EQ(nm.dev->LiveTextures(), 0u);
  CDGTexture* d = nm.mgr->LoadTextureFromLoader(name.c_str(), loader, 1);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(nm.dev->LiveTextures(), 1u);
  d->Release();
  EXPECT_EQ(nm.mgr->LoadTextureFromLoader(DataPath("missing.png").c_str(), loader, 1), nullptr);
  loader->Release();
}

TEST_F(TextureTest, CacheForgetsATextureWhateverItWasLastMadeAs) {
  CDGTextureManager& cache = nm.mgr->TextureManager();
  // A render target emptied by its user, then dropped.
  CDGTexture* target = nm.mgr->CreateRenderTarget(8, 8);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(cache.RenderTargetCount(), 1u);
  target->ReleaseTexture();
  EXPECT_TRUE(target->Release());
  EXPECT_EQ(cache.RenderTargetCount(), 0u);
  // A named texture made again as a render target, then dropped.
  const std::string name = DataPath("pic.png");
  auto* loader = new CDGFileLoad_QZT();
  CDGTexture* named = nm.mgr->LoadTextureFromLoader(name.c_str(), loader, 1);
  loader->Release();
  ASSERT_NE(named, nullptr);
  ASSERT_TRUE(named->CreateRenderTarget(4, 4));
  EXPECT_TRUE(named->Release());
  EXPECT_EQ(cache.NamedCount(), 0u);
  EXPECT_EQ(cache.Find(name), nullptr);
}

TEST_F(TextureTest, ExactSizeAgainstDefaultSizeStretchedToPowersOfTwo) {
  struct Case {
    int mode;
    uint32_t surfaceW, surfaceH;
  };
  for (const Case& c : {Case{1, 100, 60}, Case{0, 128, 64}}) {
    auto* loader = new CDGFileLoad_QZT(DataPath("pic.png").c_str());
    auto* t = new CDGTexture(nm.mgr);
    ASSERT_TRUE(t->LoadFromMemory(loader, c.mode));
    uint32_t w = 0, h = 0, sw = 0, sh = 0;
    ASSERT_TRUE(t->GetSize(&w, &h));
    ASSERT_TRUE(t->GetSurfaceSize(&sw, &sh));
    EXPECT_EQ(w, 100u);
    EXPECT_EQ(h, 60u);
    EXPECT_EQ(sw, c.surfaceW);
    EXPECT_EQ(sh, c.surfaceH);
    std::vector<uint8_t> px;
    ASSERT_TRUE(nm.dev->ReadTexture(t->DeviceId(), &px));
    // The image fills the surface: red up to its middle, blue after, whatever the size.
    const size_t row = static_cast<size_t>(sw) * 4 * (sh / 2);
    EXPECT_EQ(px[row + (sw / 2 - 4) * 4], 255);
    EXPECT_EQ(px[row + (sw / 2 + 4) * 4 + 2], 255);
    EXPECT_EQ(px[row + (sw - 1) * 4 + 2], 255);
    t->Release();
    loader->Release();
  }
}

TEST_F(TextureTest, LoadFromFileIsRelativeToTheProgramDirectory) {
  auto* t = new CDGTexture(nm.mgr);
  EXPECT_TRUE(t->LoadFromFile("Data\\Test\\other.png"));
  uint32_t w = 0;
  EXPECT_TRUE(t->GetSize(&w, nullptr));
  EXPECT_EQ(w, 4u);
  EXPECT_FALSE(t->LoadFromFile("Data\\Test\\nothing.png"));
  EXPECT_FALSE(t->HasTexture());
  EXPECT_FALSE(t->GetSize(&w, nullptr));
  t->Release();
}

TEST_F(TextureTest, UpdateFromMemoryChecksRectanglesAndConvertsFormats) {
  auto* t = new CDGTexture(nm.mgr);
  ASSERT_TRUE(t->CreateEmpty(8, 4));
  std::vector<uint8_t> px;
  ASSERT_TRUE(nm.dev->ReadTexture(t->DeviceId(), &px));
  EXPECT_EQ(px, std::vector<uint8_t>(8 * 4 * 4, 0));  // blank means transparent
  // A size the device cannot hold fails cleanly, before any memory is set aside for it.
  auto* huge = new CDGTexture(nm.mgr);
  EXPECT_FALSE(huge->CreateEmpty(1 << 20, 1 << 20));
  EXPECT_FALSE(huge->CreateEmpty(nm.dev->Caps().maxTextureSize + 1, 1));
  EXPECT_FALSE(huge->HasTexture());
  huge->Release();
  const uint8_t bgra[2 * 4] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80};  // two A8R8G8B8 texels
  const uint8_t bgr[2 * 3] = {1, 2, 3, 4, 5, 6};
  // Three YUY2 texels take two pairs: 8 bytes a row, not 6.
  const uint8_t yuy2[8] = {128, 128, 128, 128, 128, 128, 128, 128};
  struct Case {
    const char* what;
    const void* bits;
    int pitch, w, h;
    DGRect dst;
    uint32_t format;
    bool ok;
  };
  const Case cases[] = {
      {"argb into (6,3)", bgra, 8, 2, 1, DGRect{6, 3, 8, 4}, kFmtA8R8G8B8, true},
      {"rgb24", bgr, 8, 2, 1, DGRect{0, 0, 2, 1}, kFmtR8G8B8, true},
      {"stretched 2x1 onto 4x2", bgra, 8, 2, 1, DGRect{0, 1, 4, 3}, kFmtA8R8G8B8, true},
      {"outside on the right", bgra, 8, 2, 1, DGRect{7, 0, 9, 1}, kFmtA8R8G8B8, false},
      {"negative", bgra, 8, 2, 1, DGRect{-1, 0, 1, 1}, kFmtA8R8G8B8, false},
      {"empty destination", bgra, 8, 2, 1, DGRect{2, 2, 2, 3}, kFmtA8R8G8B8, false},
      {"pitch too small", bgra, 4, 2, 1, DGRect{0, 0, 2, 1}, kFmtA8R8G8B8, false},
      {"null bits", nullptr, 8, 2, 1, DGRect{0, 0, 2, 1}, kFmtA8R8G8B8, false},
      {"unknown format", bgra, 8, 2, 1, DGRect{0, 0, 2, 1}, 99, false},
      {"yuy2, odd width, whole pairs", yuy2, 8, 3, 1, DGRect{0, 2, 3, 3}, kFmtYUY2, true},
      {"yuy2, odd width, pitch cuts the last pair", yuy2, 6, 3, 1, DGRect{0, 2, 3, 3}, kFmtYUY2, false},
      {"row size overflowing 32 bits", bgra, 8, 0x7FFFFFFF, 1, DGRect{0, 0, 2, 1}, kFmtA8R8G8B8, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(t->UpdateFromMemory(c.bits, c.pitch, c.w, c.h, nullptr, &c.dst, c.format), c.ok) << c.what;
  ASSERT_TRUE(nm.dev->ReadTexture(t->DeviceId(), &px));
  const uint8_t* at63 = &px[(3 * 8 + 6) * 4];
  EXPECT_EQ(at63[0], 0x30);  // R
  EXPECT_EQ(at63[1], 0x20);
  EXPECT_EQ(at63[2], 0x10);
  EXPECT_EQ(at63[3], 0x40);  // A
  EXPECT_EQ(px[0], 3);       // rgb24: B,G,R in memory
  EXPECT_EQ(px[3], 255);
  uint8_t alpha = 0;
  EXPECT_TRUE(t->GetTexelAlpha(6, 3, &alpha));  // the CPU copy follows
  EXPECT_EQ(alpha, 0x40);
  EXPECT_FALSE(t->GetTexelAlpha(8, 0, &alpha));
  t->Release();
}

TEST_F(TextureTest, UpdatesFromAnotherThreadReachTheDeviceAtTheNextFrame) {
  auto* t = new CDGTexture(nm.mgr);
  ASSERT_TRUE(t->CreateEmpty(4, 4));
  const uint8_t texel[4] = {0x11, 0x22, 0x33, 0xFF};  // B, G, R, A
  const DGRect one{1, 1, 2, 2}, outside{3, 3, 5, 5};
  bool ok = false, bad = true;
  std::thread decoder([&] {
    ok = t->UpdateFromMemory(texel, 4, 1, 1, nullptr, &one, kFmtA8R8G8B8);
    bad = t->UpdateFromMemory(texel, 4, 1, 1, nullptr, &outside, kFmtA8R8G8B8);
  });
  decoder.join();
  EXPECT_TRUE(ok);
  EXPECT_FALSE(bad);  // rectangles are still checked at once
  std::vector<uint8_t> px;
  ASSERT_TRUE(nm.dev->ReadTexture(t->DeviceId(), &px));
  EXPECT_EQ(px[(1 * 4 + 1) * 4], 0);  // nothing touched the device off its thread
  ASSERT_TRUE(nm.mgr->RenderFrame());
  ASSERT_TRUE(nm.dev->ReadTexture(t->DeviceId(), &px));
  EXPECT_EQ(px[(1 * 4 + 1) * 4], 0x33);
  // A texture released with an update still waiting leaves nothing behind.
  std::thread([&] { t->UpdateFromMemory(texel, 4, 1, 1, nullptr, &one, kFmtA8R8G8B8); }).join();
  t->Release();
  EXPECT_TRUE(nm.mgr->RenderFrame());
}

TEST_F(TextureTest, CopyFromTextureReplacesARectangle) {
  auto* src = new CDGTexture(nm.mgr);
  auto* loader = new CDGFileLoad_QZT(DataPath("other.png").c_str());
  ASSERT_TRUE(src->LoadFromMemory(loader, 1));
  auto* dst = new CDGTexture(nm.mgr);
  ASSERT_TRUE(dst->CreateEmpty(8, 8));
  const DGRect s{0, 0, 4, 4}, d{4, 4, 8, 8}, bad{6, 6, 10, 10};
  EXPECT_TRUE(dst->CopyFromTexture(src, &s, &d));
  EXPECT_FALSE(dst->CopyFromTexture(src, &s, &bad));
  EXPECT_FALSE(dst->CopyFromTexture(nullptr, &s, &d));
  uint8_t a = 0;
  ASSERT_TRUE(dst->GetTexelAlpha(4, 4, &a));
  EXPECT_EQ(a, 0xFF);
  src->Release();
  dst->Release();
  loader->Release();
}

// --- DDS ---

std::vector<uint8_t> DdsHeader(int w, int h, uint32_t pfFlags, uint32_t fourCC, uint32_t bits,
                               std::array<uint32_t, 4> masks) {
  std::vector<uint8_t> f(128, 0);
  auto put = [&](size_t at, uint32_t v) { std::memcpy(&f[at], &v, 4); };
  std::memcpy(f.data(), "DDS ", 4);
  put(4, 124);
  put(12, static_cast<uint32_t>(h));
  put(16, static_cast<uint32_t>(w));
  put(76, 32);
  put(80, pfFlags);
  put(84, fourCC);
  put(88, bits);
  for (int i = 0; i < 4; ++i) put(92 + 4 * i, masks[i]);
  return f;
}

uint32_t Four(const char* s) { return s[0] | s[1] << 8 | s[2] << 16 | static_cast<uint32_t>(s[3]) << 24; }

TEST(Dds, BlocksAndMasksDecodeAsTheFormatDefinesThem) {
  // DXT1, c0 = pure red (0xF800) > c1 = pure blue (0x001F): index 0 red, 1 blue.
  std::vector<uint8_t> dxt1 = DdsHeader(4, 4, 0x4, Four("DXT1"), 0, {0, 0, 0, 0});
  const uint8_t block1[8] = {0x00, 0xF8, 0x1F, 0x00, 0x04, 0x00, 0x00, 0x00};  // texel 1 uses index 1
  dxt1.insert(dxt1.end(), block1, block1 + 8);
  // DXT1 with c0 <= c1: index 3 is transparent black.
  std::vector<uint8_t> dxt1a = DdsHeader(4, 4, 0x4, Four("DXT1"), 0, {0, 0, 0, 0});
  const uint8_t block1a[8] = {0x1F, 0x00, 0x00, 0xF8, 0xFF, 0xFF, 0xFF, 0xFF};
  dxt1a.insert(dxt1a.end(), block1a, block1a + 8);
  // DXT3: explicit alpha 4 bits per texel (texel 0: 0x3 -> 51), colour red everywhere.
  std::vector<uint8_t> dxt3 = DdsHeader(4, 4, 0x4, Four("DXT3"), 0, {0, 0, 0, 0});
  const uint8_t block3[16] = {0x03, 0, 0, 0, 0, 0, 0, 0xF0, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
  dxt3.insert(dxt3.end(), block3, block3 + 16);
  // DXT5: a0 = 200, a1 = 100, texel 0 index 1 (100), the rest index 0 (200).
  std::vector<uint8_t> dxt5 = DdsHeader(4, 4, 0x4, Four("DXT5"), 0, {0, 0, 0, 0});
  const uint8_t block5[16] = {200, 100, 0x01, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
  dxt5.insert(dxt5.end(), block5, block5 + 16);
  // Uncompressed 32-bit X8R8G8B8 without alpha: opaque.
  std::vector<uint8_t> x8 = DdsHeader(1, 1, 0x40, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0});
  const uint8_t texel[4] = {0x11, 0x22, 0x33, 0x00};
  x8.insert(x8.end(), texel, texel + 4);

  struct Case {
    const char* what;
    const std::vector<uint8_t>* file;
    int texel;
    std::array<uint8_t, 4> want;
  };
  const Case cases[] = {
      {"dxt1 index 0", &dxt1, 0, {255, 0, 0, 255}},  {"dxt1 index 1", &dxt1, 1, {0, 0, 255, 255}},
      {"dxt1 transparent", &dxt1a, 5, {0, 0, 0, 0}}, {"dxt3 alpha", &dxt3, 0, {255, 0, 0, 51}},
      {"dxt3 alpha F", &dxt3, 15, {255, 0, 0, 255}}, {"dxt5 a1", &dxt5, 0, {255, 0, 0, 100}},
      {"dxt5 a0", &dxt5, 1, {255, 0, 0, 200}},       {"x8r8g8b8", &x8, 0, {0x33, 0x22, 0x11, 255}},
  };
  for (const Case& c : cases) {
    int w = 0, h = 0;
    std::vector<uint8_t> px;
    ASSERT_TRUE(DecodeDds(c.file->data(), c.file->size(), &w, &h, &px)) << c.what;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(px[c.texel * 4 + i], c.want[i]) << c.what << " channel " << i;
  }
}

TEST(Dds, WriterRoundTripsAndDamagedFilesFail) {
  const std::vector<uint8_t> px = v4test::PixelsOf(5, 3, Checker);
  const std::vector<uint8_t> file = EncodeDdsArgb(5, 3, px);
  int w = 0, h = 0;
  std::vector<uint8_t> back;
  ASSERT_TRUE(DecodeDds(file.data(), file.size(), &w, &h, &back));
  EXPECT_EQ(back, px);
  std::vector<uint8_t> huge = file;
  huge[16] = huge[17] = 0xFF;  // width 65535: too large
  std::vector<uint8_t> badSize = file;
  badSize[4] = 100;
  std::vector<uint8_t> dxt = DdsHeader(8, 8, 0x4, Four("DXT5"), 0, {0, 0, 0, 0});
  dxt.resize(dxt.size() + 16 * 3);  // 4 blocks needed, 3 present
  const std::vector<uint8_t> cases[] = {std::vector<uint8_t>(file.begin(), file.end() - 1),
                                        std::vector<uint8_t>(file.begin(), file.begin() + 100),
                                        huge,
                                        badSize,
                                        dxt,
                                        DdsHeader(4, 4, 0x4, Four("ATI2"), 0, {0, 0, 0, 0})};
  for (const auto& c : cases) EXPECT_FALSE(DecodeDds(c.data(), c.size(), &w, &h, &back));
}

// --- texture holders ---

TEST_F(TextureTest, HolderLoadsOncePerPathAndSharesOnRequest) {
  const std::string name = DataPath("pic.png");
  CVTextureMgr mgr;
  CVTexture* a = mgr.GetTexture(name.c_str(), false, false);
  ASSERT_NE(a, nullptr);
  CDGTexture* first = a->GetTexture();
  EXPECT_TRUE(a->Load(name.c_str(), false));  // unchanged: nothing reloaded
  EXPECT_EQ(a->GetTexture(), first);
  EXPECT_EQ(a->GetWidth(), 100);
  EXPECT_STREQ(a->Name().CStr(), "pic.png");
  EXPECT_EQ(mgr.GetTexture(name.c_str(), true, false), a);
  EXPECT_EQ(a->Users(), 2);
  CVTexture* b = mgr.GetTexture(name.c_str(), false, false);
  EXPECT_NE(b, a);
  EXPECT_EQ(b->GetTexture(), first);  // one device texture behind both holders
  EXPECT_EQ(mgr.GetTexture(DataPath("missing.png").c_str(), false, false), nullptr);
  EXPECT_EQ(mgr.Count(), 2);
  // Released holders have no size and reload even for the same path.
  a->Release();
  EXPECT_EQ(a->GetTexture(), nullptr);
  EXPECT_EQ(a->GetWidth(), 0);
  EXPECT_EQ(a->GetHeight(), 0);
  EXPECT_TRUE(a->Load(name.c_str(), false));
  EXPECT_NE(a->GetTexture(), nullptr);
  // An empty path gives a holder without a texture.
  CVTexture* blank = mgr.GetTexture("", false, false);
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(blank->GetTexture(), nullptr);
  EXPECT_TRUE(blank->CreateEmpty(16, 8));
  EXPECT_EQ(blank->GetWidth(), 16);
  // A failed create leaves it without a texture, so without a size.
  EXPECT_FALSE(blank->CreateEmpty(0, 8));
  EXPECT_EQ(blank->GetWidth(), 0);
  EXPECT_EQ(blank->GetHeight(), 0);
  // Shared holders go with their last user.
  a->Drop();
  EXPECT_EQ(mgr.Count(), 3);
  a->Drop();
  EXPECT_EQ(mgr.Count(), 2);
}

TEST_F(TextureTest, FirstLoadsSizeModeServesLaterLoadsOfThatName) {
  const std::string name = DataPath("pic.png");
  CVTextureMgr mgr;
  CVTexture* mip = mgr.GetTexture(name.c_str(), false, true);
  ASSERT_NE(mip, nullptr);
  EXPECT_EQ(mip->GetWidth(), 128);  // the surface size
  CVTexture* exact = mgr.GetTexture(name.c_str(), false, false);
  EXPECT_EQ(exact->GetWidth(), 128);
  // A flagged load reports the texture's size, not the cell size it was given (which may be -1).
  struct Case {
    int32_t w, h;
  };
  for (const Case& c : {Case{2, 3}, Case{-1, -1}}) {
    CVTexture* flagged = mgr.GetTextureFlagged(DataPath("other.png").c_str(), 0, 0, c.w, c.h);
    ASSERT_NE(flagged, nullptr);
    EXPECT_EQ(flagged->GetWidth(), 4) << c.w;
    EXPECT_EQ(flagged->GetHeight(), 4) << c.h;
  }
}

}  // namespace

namespace {

// A damaged picture is refused with one log line naming it and what is wrong, however often the
// game asks for it again (holders are reloaded every frame while their texture is missing).
TEST(TextureRefusal, DamagedPicturesAreLoggedOncePerFileWithTheReason) {
  v4test::TempModuleDir dir;
  v4test::NullDeviceManager nm;
  const std::vector<uint8_t> png = v4test::PngOf(16, 16, Checker);
  const std::vector<uint8_t> dds = EncodeDdsArgb(4, 4, std::vector<uint8_t>(4 * 4 * 4, 0x80));
  std::vector<uint8_t> noise(300);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 131 + 7);
  struct Case {
    const char* file;
    std::vector<uint8_t> bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"empty.png", {}, "empty file"},
      {"cut.png", std::vector<uint8_t>(png.begin(), png.begin() + static_cast<long>(png.size() / 2)), "damaged PNG"},
      {"noise.png", noise, "not a PNG or DDS"},
      {"cut.dds", std::vector<uint8_t>(dds.begin(), dds.begin() + 100), "DDS picture"},
      {"noise.tig", noise, "not a PNG or DDS"},
  };
  for (const Case& c : cases) {
    dir.Write(std::string("Data/Test/") + c.file, c.bytes);
    const std::string path = std::string(GetModuleDir()) + "Data\\Test\\" + c.file;
    testing::internal::CaptureStderr();
    for (int frame = 0; frame < 3; ++frame) {
      CDGFileLoad_QZT* loader = new CDGFileLoad_QZT();
      EXPECT_EQ(nm.mgr->LoadTextureFromLoader(path.c_str(), loader, 1), nullptr) << c.file;
      loader->Release();
      CVTexture holder;
      EXPECT_FALSE(holder.Load(path.c_str(), false)) << c.file;
    }
    const std::vector<std::string> lines = v4test::LogLinesNaming(testing::internal::GetCapturedStderr(), path);
    ASSERT_EQ(lines.size(), 1u) << c.file;
    EXPECT_NE(lines[0].find(c.reason), std::string::npos) << lines[0];
  }
}

}  // namespace

// Helpers of the text tests: a manager on the null device, a fake glyph source with fixed
// metrics, and a temporary program folder for font files.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "render/text/glyph_cache.h"

// Cell of every fake font: ascent 20, height 24; advance 24 for two-byte characters, 12 for one
// byte. Ink: a solid box of levels 16, by default the whole advance wide and 16 high, top at the
// ascent (origin (0, 20)). `shape` may change a glyph; `fail` makes Render report failure.
class FakeGlyphSource : public GlyphSource {
 public:
  static constexpr int kAscent = 20, kHeight = 24;
  bool Metrics(const GlyphFontKey& key, plat::FontMetrics* out) override;
  bool Render(const GlyphFontKey& key, uint16_t code, plat::GlyphImage* out) override;
  std::function<void(uint16_t code, plat::GlyphImage*)> shape;
  std::function<bool(uint16_t code)> fail;
  int renders = 0;
};

// A manager on a fresh null device with the flat default camera.
struct NullTextEnv {
  NullTextEnv();
  ~NullTextEnv();
  CDGManager* mgr = nullptr;
  plat::NullDevice* dev = nullptr;  // owned by mgr
};

// A fresh folder used as the program directory while it lives.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }
  // Program-style path ("<module dir>rel" with '\' separators).
  std::string ProgramPath(const std::string& rel) const;
  void Write(const std::string& rel, const std::vector<uint8_t>& bytes) const;

 private:
  std::string path_, oldModuleDir_;
};

// A ".fnt" file: picture name then 12-byte records (key, left, top, width, height).
struct FntRecord {
  std::string key;
  uint16_t l, t, w, h;
};
std::vector<uint8_t> MakeFnt(const std::string& picture, const std::vector<FntRecord>& records, bool withName = true);
// A PNG of w x h whose texel colour (RGBA) is f(x, y).
std::vector<uint8_t> MakePngOf(int w, int h, const std::function<uint32_t(int, int)>& f);

// Alpha of texel (x, y) of a texture (0 when unknown).
uint8_t AlphaAt(CDGTexture* t, int x, int y);

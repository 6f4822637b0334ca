// Helpers of the text tests: a fake glyph source with fixed metrics and bitmap-font files. The
// manager on the null device and the temporary program folder are the shared fixtures of
// tests/support (text tests keep the manager local: ManagerScope::kLocal).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "render/text/glyph_cache.h"
#include "tests/support/null_graphics.h"
#include "tests/support/temp_module_dir.h"

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

// A ".fnt" file: picture name then 12-byte records (key, left, top, width, height).
struct FntRecord {
  std::string key;
  uint16_t l, t, w, h;
};
std::vector<uint8_t> MakeFnt(const std::string& picture, const std::vector<FntRecord>& records, bool withName = true);

// Alpha of texel (x, y) of a texture (0 when unknown).
uint8_t AlphaAt(CDGTexture* t, int x, int y);

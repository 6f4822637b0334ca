#include "text_fixture.h"

#include <algorithm>
#include <cstring>

bool FakeGlyphSource::Metrics(const GlyphFontKey& key, plat::FontMetrics* out) {
  if (key.face.empty()) return false;
  out->ascent = kAscent;
  out->height = kHeight;
  return true;
}

bool FakeGlyphSource::Render(const GlyphFontKey& key, uint16_t code, plat::GlyphImage* out) {
  ++renders;
  *out = plat::GlyphImage{};
  out->advance = code > 0xFF ? 24 : 12;
  out->originX = 0;
  out->originY = kAscent;
  out->width = out->advance;
  out->height = 16;
  out->levels.assign(static_cast<size_t>(out->width) * out->height, 16);
  if (shape) shape(code, out);
  if (fail && fail(code)) return false;
  return true;
}

std::vector<uint8_t> MakeFnt(const std::string& picture, const std::vector<FntRecord>& records, bool withName) {
  std::vector<uint8_t> out;
  if (withName) {
    out.assign(32, 0);
    std::memcpy(out.data(), picture.data(), std::min<size_t>(picture.size(), 32));
  }
  for (const FntRecord& r : records) {
    uint8_t rec[12] = {};
    std::memcpy(rec, r.key.data(), std::min<size_t>(r.key.size(), 4));
    const uint16_t v[4] = {r.l, r.t, r.w, r.h};
    for (int i = 0; i < 4; ++i) {
      rec[4 + i * 2] = static_cast<uint8_t>(v[i] & 0xFF);
      rec[5 + i * 2] = static_cast<uint8_t>(v[i] >> 8);
    }
    out.insert(out.end(), rec, rec + 12);
  }
  return out;
}

uint8_t AlphaAt(CDGTexture* t, int x, int y) {
  uint8_t a = 0;
  return t && t->GetTexelAlpha(x, y, &a) ? a : 0;
}

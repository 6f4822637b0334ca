#include "render/text/glyph_cache.h"

#include <algorithm>

#include "platform/text/cp932.h"
#include "platform/text/log.h"
#include "render/dg_manager.h"
#include "render/dg_texture.h"

namespace {

constexpr size_t kMaxFaceBytes = 30;
// Larger glyph images than this are not believed (a failed rasteriser's garbage sizes).
constexpr int kMaxGlyphSide = 4096;

bool Flag(uint8_t v) { return v != 0; }

}  // namespace

bool GlyphFontKey::operator<(const GlyphFontKey& o) const {
  if (height != o.height) return height < o.height;
  if (border != o.border) return border < o.border;
  if (Flag(italic) != Flag(o.italic)) return Flag(italic);
  if (Flag(bold) != Flag(o.bold)) return Flag(bold);
  return face < o.face;  // std::string compares bytes as unsigned, a prefix first
}

size_t SjisCharLength(std::string_view text, size_t i) {
  return plat::IsSjisLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

std::vector<std::string> SplitSjisChars(std::string_view text) {
  std::vector<std::string> out;
  for (size_t i = 0; i < text.size();) {
    const size_t n = SjisCharLength(text, i);
    out.emplace_back(text.substr(i, n));
    i += n;
  }
  return out;
}

uint16_t SjisCharCode(std::string_view ch) {
  if (ch.empty()) return 0;
  const auto b0 = static_cast<unsigned char>(ch[0]);
  if (ch.size() < 2) return b0;
  return static_cast<uint16_t>(b0 << 8 | static_cast<unsigned char>(ch[1]));
}

bool IsBlankGlyphCode(uint16_t code) { return code == 9 || code == 10 || code == 32 || code == 0x8140; }

std::vector<uint8_t> GlyphCoverage(const plat::GlyphImage& g, int border, int* width, int* height) {
  const int b = std::max(0, border);
  const int w = g.width + 2 * b, h = g.height + 2 * b;
  *width = w;
  *height = h;
  std::vector<uint8_t> out(static_cast<size_t>(w) * h, 0);
  if (b == 0) {
    for (size_t i = 0; i < out.size(); ++i) out[i] = GrayLevelToAlpha(g.levels[i]);
    return out;
  }
  // Adding every contribution with saturation equals saturating their total, and the texels that
  // reach (X, Y) are the source box [X - 2b, X] x [Y - 2b, Y]: box sums from a summed-area table
  // keep the cost at one pass over the image whatever the border.
  const size_t sw = static_cast<size_t>(g.width) + 1;
  std::vector<uint64_t> area(sw * (static_cast<size_t>(g.height) + 1), 0);
  for (int y = 0; y < g.height; ++y) {
    uint64_t row = 0;
    for (int x = 0; x < g.width; ++x) {
      row += GrayLevelToAlpha(g.levels[static_cast<size_t>(y) * g.width + x]);
      area[(y + 1) * sw + x + 1] = area[y * sw + x + 1] + row;
    }
  }
  for (int y = 0; y < h; ++y) {
    const int y0 = std::max(0, y - 2 * b), y1 = std::min(g.height, y + 1);
    if (y0 >= y1) continue;
    for (int x = 0; x < w; ++x) {
      const int x0 = std::max(0, x - 2 * b), x1 = std::min(g.width, x + 1);
      if (x0 >= x1) continue;
      const uint64_t sum = area[y1 * sw + x1] - area[y0 * sw + x1] - area[y1 * sw + x0] + area[y0 * sw + x0];
      out[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(std::min<uint64_t>(255, sum));
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// System fonts

bool SystemGlyphSource::Metrics(const GlyphFontKey& key, plat::FontMetrics* out) {
  auto font = plat::OpenFont(key.face, key.height, key.bold != 0, key.italic != 0);
  if (!font) return false;
  *out = font->Metrics();
  return true;
}

bool SystemGlyphSource::Render(const GlyphFontKey& key, uint16_t code, plat::GlyphImage* out) {
  auto font = plat::OpenFont(key.face, key.height, key.bold != 0, key.italic != 0);
  if (!font) return false;
  return font->RenderGlyph(code, out);
}

// ---------------------------------------------------------------------------------------------
// CDGTextTextureManager

CDGTextTextureManager::CDGTextTextureManager() = default;

CDGTextTextureManager::~CDGTextTextureManager() { ReleaseAll(); }

size_t CDGTextTextureManager::GlyphCount(const GlyphFontKey& key) const {
  auto it = cache_.find(key);
  return it == cache_.end() ? 0 : it->second.size();
}

CDGTexture*& CDGTextTextureManager::FindGlyphSlot(const std::string& ch, const GlyphFontKey& key) {
  return cache_[key][ch];
}

// A cached glyph made on another device manager (or whose device went away) cannot be drawn:
// the slot is emptied so that it is made anew. Holders keep their own references to it.
CDGTexture* CDGTextTextureManager::TakeSlot(CDGTexture*& slot, CDGManager* manager) {
  if (slot && (!slot->HasTexture() || slot->GetManager() != manager)) {
    if (owned_.erase(slot)) slot->Release();
    slot = nullptr;
  }
  return slot;
}

bool CDGTextTextureManager::RasterizeGlyph(CDGManager* manager, const std::string& ch, const GlyphFontKey& key,
                                           CDGTexture** slot) {
  if (!slot || *slot) return false;
  if (key.face.empty() || key.face.size() > kMaxFaceBytes || ch.empty()) return false;
  plat::FontMetrics fm;
  if (!source_->Metrics(key, &fm)) return false;
  const uint16_t code = SjisCharCode(ch);
  const bool blank = IsBlankGlyphCode(code);
  plat::GlyphImage g;
  const bool rendered = source_->Render(key, code, &g);
  const bool sane = g.width >= 0 && g.height >= 0 && g.width <= kMaxGlyphSide && g.height <= kMaxGlyphSide &&
                    g.levels.size() == static_cast<size_t>(g.width) * static_cast<size_t>(g.height);
  if (!rendered || !sane || blank) {
    // No ink: a blank character, or a glyph the rasteriser could not make (drawn as an empty cell
    // with its advance rather than sized from whatever the failed call left behind).
    g.width = g.height = 0;
    g.levels.clear();
  }
  if (g.advance < 0 || g.advance > kMaxGlyphSide) g.advance = code > 0xFF ? key.height : key.height / 2;
  const int b = std::max(0, key.border);
  // A cell beyond the device's largest texture cannot be made; checked before any image of that
  // size is allocated or dilated (a border comes from layout data).
  const int64_t cellW = int64_t{g.advance} + 2 * int64_t{b} + 1, cellH = int64_t{fm.height} + 2 * int64_t{b} + 1;
  const int maxSide = manager && manager->Device() ? manager->Device()->Caps().maxTextureSize : 0;
  if (fm.height < 0 || cellW > maxSide || cellH > maxSide) return false;
  const int texW = static_cast<int>(cellW), texH = static_cast<int>(cellH);
  auto* t = new CDGTexture(manager);
  if (!t->CreateEmpty(texW, texH)) {
    t->Release();
    return false;
  }
  ++rasterized_;
  if (g.width > 0 && g.height > 0) {
    int w = 0, h = 0;
    const std::vector<uint8_t> cov = GlyphCoverage(g, b, &w, &h);
    // Ink that overhangs the cell (left of the pen, above the ascent, past the advance) is
    // clipped to the texture instead of failing the whole glyph.
    const int left = g.originX, top = fm.ascent - g.originY;
    const int x0 = std::max(0, left), y0 = std::max(0, top);
    const int x1 = std::min(texW, left + w), y1 = std::min(texH, top + h);
    if (x0 < x1 && y0 < y1) {
      std::vector<uint8_t> bgra(static_cast<size_t>(w) * h * 4);
      for (size_t i = 0; i < cov.size(); ++i) {
        bgra[i * 4 + 0] = bgra[i * 4 + 1] = bgra[i * 4 + 2] = 0xFF;
        bgra[i * 4 + 3] = cov[i];
      }
      const DGRect src{x0 - left, y0 - top, x1 - left, y1 - top};
      const DGRect dst{x0, y0, x1, y1};
      if (!t->UpdateFromMemory(bgra.data(), w * 4, w, h, &src, &dst, kFmtA8R8G8B8)) {
        t->Release();
        return false;
      }
    }
  }
  *slot = t;
  return true;
}

bool CDGTextTextureManager::MakeGlyph(CDGManager* manager, const std::string& ch, const GlyphFontKey& key,
                                      bool bitmapFont, CDGTexture** slot) {
  if (bitmapFont) return fontManager_.GetGlyph(key.face.c_str(), ch, slot) && *slot;
  return RasterizeGlyph(manager, ch, key, slot);
}

void CDGTextTextureManager::BuildGlyphList(std::vector<GlyphListEntry>* out, std::string_view text,
                                           const std::string& face, int32_t height, uint8_t italic, uint8_t bold,
                                           int32_t border, CDGManager* manager) {
  if (!out) return;
  out->clear();
  const GlyphFontKey key{face, height, border, italic, bold};
  fontManager_.SetDevice(manager);
  const bool bitmapFont = fontManager_.HasFont(face.c_str());
  auto& glyphs = cache_[key];
  out->reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t n = SjisCharLength(text, i);
    const std::string ch(text.substr(i, n));
    i += n;
    CDGTexture*& slot = glyphs[ch];
    if (TakeSlot(slot, manager)) {
      slot->AddRef();
    } else if (!MakeGlyph(manager, ch, key, bitmapFont, &slot)) {
      slot = nullptr;
    }
    out->push_back(GlyphListEntry{slot, static_cast<uint8_t>(ch.size() == 1 && ch[0] == '\n')});
  }
}

bool CDGTextTextureManager::PreloadText(CDGManager* manager, std::string_view text, const std::string& face,
                                        int32_t height, uint8_t italic, uint8_t bold) {
  const GlyphFontKey key{face, height, 0, italic, bold};
  for (size_t i = 0; i < text.size();) {
    const size_t n = SjisCharLength(text, i);
    const std::string ch(text.substr(i, n));
    i += n;
    CDGTexture*& slot = FindGlyphSlot(ch, key);
    if (!TakeSlot(slot, manager) && RasterizeGlyph(manager, ch, key, &slot)) owned_.insert(slot);
  }
  return true;
}

CDGTexture* CDGTextTextureManager::RenderTextTexture(std::string_view text, const std::string& face, int32_t height,
                                                     uint8_t italic, uint8_t bold, int32_t border, int32_t charSpacing,
                                                     int32_t lineSpacing, CDGManager* manager) {
  const GlyphFontKey key{face, height, border, italic, bold};
  fontManager_.SetDevice(manager);
  // Bitmap fonts draw here too: handing a ".fnt" name to the system fonts would only give a
  // substitute face.
  const bool bitmapFont = fontManager_.HasFont(face.c_str());
  const int b = std::max(0, border);
  struct Placed {
    CDGTexture* glyph;
    int w, h;
    bool lineFeed;
  };
  std::vector<Placed> placed;
  int64_t lineW = 0, lineH = 0, widest = 0, total = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t n = SjisCharLength(text, i);
    const std::string ch(text.substr(i, n));
    i += n;
    CDGTexture*& slot = FindGlyphSlot(ch, key);
    if (!TakeSlot(slot, manager)) {
      if (!MakeGlyph(manager, ch, key, bitmapFont, &slot)) {
        slot = nullptr;
        return nullptr;
      }
      owned_.insert(slot);
    }
    uint32_t w = 0, h = 0;
    if (!slot->GetSurfaceSize(&w, &h)) return nullptr;
    const bool lineFeed = ch.size() == 1 && ch[0] == '\n';
    placed.push_back(Placed{slot, static_cast<int>(w), static_cast<int>(h), lineFeed});
    lineW += (static_cast<int64_t>(w) - 2 * b) + charSpacing;
    lineH = std::max<int64_t>(lineH, static_cast<int64_t>(h) - 2 * b);
    if (lineFeed || i >= text.size()) {
      widest = std::max(widest, lineW);
      total += lineH;
      lineW = lineH = 0;
      if (lineFeed) total += lineSpacing;
    }
  }
  const int64_t texW64 = widest + 2 * b, texH64 = total + 2 * b;
  const int maxSide = manager && manager->Device() ? manager->Device()->Caps().maxTextureSize : 0;
  if (placed.empty() || texW64 <= 0 || texH64 <= 0 || texW64 > maxSide || texH64 > maxSide) return nullptr;
  const int texW = static_cast<int>(texW64), texH = static_cast<int>(texH64);
  auto* out = new CDGTexture(manager);
  if (!out->CreateEmpty(texW, texH)) {
    out->Release();
    return nullptr;
  }
  // System glyphs are white coverage: they are merged by the larger alpha, so that the margin of
  // one bordered glyph never erases the outline of the glyph before it. Bitmap glyphs carry their
  // own colours and are copied in afterwards.
  std::vector<uint8_t> bgra(static_cast<size_t>(texW) * texH * 4, 0);
  struct Copy {
    CDGTexture* glyph;
    DGRect src, dst;
  };
  std::vector<Copy> copies;
  int64_t px = 0, py = 0;
  for (const Placed& p : placed) {
    const int64_t x0 = std::max<int64_t>(0, px), y0 = std::max<int64_t>(0, py);
    const int64_t x1 = std::min<int64_t>(texW, px + p.w), y1 = std::min<int64_t>(texH, py + p.h);
    if (x0 < x1 && y0 < y1) {
      if (bitmapFont) {
        copies.push_back(Copy{p.glyph,
                              DGRect{static_cast<int32_t>(x0 - px), static_cast<int32_t>(y0 - py),
                                     static_cast<int32_t>(x1 - px), static_cast<int32_t>(y1 - py)},
                              DGRect{static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1),
                                     static_cast<int32_t>(y1)}});
      } else {
        for (int64_t y = y0; y < y1; ++y) {
          for (int64_t x = x0; x < x1; ++x) {
            uint8_t a = 0;
            if (!p.glyph->GetTexelAlpha(static_cast<int>(x - px), static_cast<int>(y - py), &a) || a == 0) continue;
            uint8_t* d = &bgra[(static_cast<size_t>(y) * texW + static_cast<size_t>(x)) * 4];
            d[3] = std::max(d[3], a);
          }
        }
      }
    }
    if (p.lineFeed) {
      px = 0;
      py += (p.h - 2 * b) + lineSpacing;
    } else {
      px += (p.w - 2 * b) + charSpacing;
    }
  }
  if (!bitmapFont) {
    for (size_t i = 0; i < bgra.size(); i += 4) bgra[i] = bgra[i + 1] = bgra[i + 2] = 0xFF;
    if (!out->UpdateFromMemory(bgra.data(), texW * 4, texW, texH, nullptr, nullptr, kFmtA8R8G8B8)) {
      out->Release();
      return nullptr;
    }
  }
  for (const Copy& c : copies) {
    if (!out->CopyFromTexture(c.glyph, &c.src, &c.dst)) {
      out->Release();
      return nullptr;
    }
  }
  return out;
}

void CDGTextTextureManager::ForgetTexture(CDGTexture* texture) {
  if (!texture) return;
  owned_.erase(texture);
  for (auto it = cache_.begin(); it != cache_.end();) {
    auto& glyphs = it->second;
    for (auto g = glyphs.begin(); g != glyphs.end();) {
      if (g->second == texture)
        g = glyphs.erase(g);
      else
        ++g;
    }
    if (glyphs.empty())
      it = cache_.erase(it);
    else
      ++it;
  }
}

void CDGTextTextureManager::ReleaseAll() {
  std::set<CDGTexture*> owned;
  owned.swap(owned_);
  cache_.clear();
  for (CDGTexture* t : owned) t->Release();
}

CDGTextTextureManager& TextTextureManagerInstance() {
  static CDGTextTextureManager instance;
  return instance;
}

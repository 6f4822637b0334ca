// The glyph texture cache: one texture per (font key, Shift-JIS character), rasterised once and
// shared by every text on screen through reference counts.
//
// A glyph texture is white with the glyph's coverage in alpha, (advance + 2 * border + 1) by
// (cell height + 2 * border + 1) texels, the ink placed on the font's baseline. With a border the
// ink is thickened by `border` texels on every side (a saturating square dilation).
//
// References: a glyph made for a glyph list is created with one reference that passes to the list
// entry; every later entry for the same glyph adds one. The cache's own pointers are weak, so a
// holder whose Release deletes a glyph calls ForgetTexture with it. Glyphs made for whole-text
// textures or by PreloadText keep their one reference in the cache until ReleaseAll.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/font/font.h"
#include "render/dg_base.h"
#include "render/text/bitmap_font.h"

class CDGManager;
class CDGTexture;

struct GlyphFontKey {
  std::string face;  // Shift-JIS face name or bitmap-font file name
  int32_t height = 0;
  int32_t border = 0;
  uint8_t italic = 0;
  uint8_t bold = 0;

  // By height, border, italic and bold (a set flag sorts first), then the face name byte-wise.
  bool operator<(const GlyphFontKey& o) const;
};

struct GlyphListEntry {
  CDGTexture* texture = nullptr;  // one reference owned by the list's holder; null: not made
  uint8_t lineFeed = 0;           // the character is the single byte 10
};

// Length (1 or 2) of the Shift-JIS character starting at byte i: a lead byte (0x81-0x9F,
// 0xE0-0xFC) with a byte after it starts a two-byte character; anything else is one byte.
size_t SjisCharLength(std::string_view text, size_t i);
// The text cut into characters.
std::vector<std::string> SplitSjisChars(std::string_view text);
// The character code: lead * 256 + trail, or the byte.
uint16_t SjisCharCode(std::string_view ch);
// Characters that get a cell and no ink: tab, line feed, space and the full-width space.
bool IsBlankGlyphCode(uint16_t code);
// Grey level 0..16 -> alpha ((level * 255) >> 4; levels above 16 count as 16).
constexpr uint8_t GrayLevelToAlpha(uint8_t level) {
  return static_cast<uint8_t>(((level > 16 ? 16 : level) * 255) >> 4);
}
// Alpha of a glyph image with a border: (width + 2b) x (height + 2b) values. Border 0 converts
// the levels; a border adds every ink texel's alpha at all offsets 0..2b on both axes,
// saturating at 255.
std::vector<uint8_t> GlyphCoverage(const plat::GlyphImage& glyph, int border, int* width, int* height);

// Where the cache's glyph images come from: the system fonts, or a fake in tests.
class GlyphSource {
 public:
  virtual ~GlyphSource() = default;
  // Cell metrics of the key's font; false when no font can be had.
  virtual bool Metrics(const GlyphFontKey& key, plat::FontMetrics* out) = 0;
  // False when rasterising failed; `out` then holds at least an advance.
  virtual bool Render(const GlyphFontKey& key, uint16_t code, plat::GlyphImage* out) = 0;
};

class SystemGlyphSource final : public GlyphSource {
 public:
  bool Metrics(const GlyphFontKey& key, plat::FontMetrics* out) override;
  bool Render(const GlyphFontKey& key, uint16_t code, plat::GlyphImage* out) override;
};

class CDGTextTextureManager : public CDGReferenceObject {
 public:
  CDGTextTextureManager();
  ~CDGTextTextureManager() override;

  // Rasterises (border 0) every character of the text not yet cached; the cache keeps them.
  virtual bool PreloadText(CDGManager* manager, std::string_view text, const std::string& face, int32_t height,
                           uint8_t italic, uint8_t bold);
  // One entry per character, each with its own reference (see above). Nothing for a null list.
  virtual void BuildGlyphList(std::vector<GlyphListEntry>* out, std::string_view text, const std::string& face,
                              int32_t height, uint8_t italic, uint8_t bold, int32_t border, CDGManager* manager);
  // The whole text in one new texture (one reference, the caller's), or null.
  virtual CDGTexture* RenderTextTexture(std::string_view text, const std::string& face, int32_t height, uint8_t italic,
                                        uint8_t bold, int32_t border, int32_t charSpacing, int32_t lineSpacing,
                                        CDGManager* manager);
  // Erases every slot holding the texture (only the pointer is compared) and keys left empty.
  virtual void ForgetTexture(CDGTexture* texture);
  // Releases the references the cache owns and empties it. Glyphs held by renderers stay theirs.
  virtual void ReleaseAll();
  // Makes a glyph into an empty slot; false (slot left empty) on failure or a full slot.
  virtual bool RasterizeGlyph(CDGManager* manager, const std::string& ch, const GlyphFontKey& key, CDGTexture** slot);
  virtual CDGTexture*& FindGlyphSlot(const std::string& ch, const GlyphFontKey& key);

  // Null restores the system fonts. The source must outlive its use.
  void SetGlyphSource(GlyphSource* source) { source_ = source ? source : &systemSource_; }
  CDGFontManager& FontManager() { return fontManager_; }
  size_t KeyCount() const { return cache_.size(); }
  size_t GlyphCount(const GlyphFontKey& key) const;
  // Glyphs rasterised so far (statistics for tests and benchmarks).
  uint64_t RasterizedCount() const { return rasterized_; }

 protected:
  CDGTexture* TakeSlot(CDGTexture*& slot, CDGManager* manager);
  bool MakeGlyph(CDGManager* manager, const std::string& ch, const GlyphFontKey& key, bool bitmapFont,
                 CDGTexture** slot);

 private:
  std::map<GlyphFontKey, std::map<std::string, CDGTexture*>> cache_;
  std::set<CDGTexture*> owned_;  // glyphs whose one reference belongs to the cache
  CDGFontManager fontManager_;
  SystemGlyphSource systemSource_;
  GlyphSource* source_ = &systemSource_;
  uint64_t rasterized_ = 0;
};

// The program's one glyph cache.
CDGTextTextureManager& TextTextureManagerInstance();

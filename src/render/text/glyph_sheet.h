// A texture holding copies of the glyphs a text renderer shows, so that its whole text draws as
// one batch instead of one draw per character. The sheet keeps one reference on every glyph it
// holds, so a relayout of the same text neither loses nor re-rasterises its glyphs; glyphs no
// longer shown are dropped when the sheet is rebuilt (when new glyphs no longer fit).
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

class CDGManager;
class CDGTexture;
class CDGTextTextureManager;

class GlyphSheet {
 public:
  GlyphSheet() = default;
  GlyphSheet(const GlyphSheet&) = delete;
  GlyphSheet& operator=(const GlyphSheet&) = delete;
  ~GlyphSheet();

  // Makes sure every glyph of the list (nulls skipped) is on the sheet. False when they cannot all
  // be placed (a glyph without a CPU copy, a sheet beyond the device's largest texture): the caller
  // then draws each glyph from its own texture.
  bool Place(CDGManager* manager, const std::vector<CDGTexture*>& glyphs, CDGTextTextureManager& cache);
  // The glyph's texture coordinates on the sheet (u0, v0, u1, v1); false when it is not on it.
  bool Find(CDGTexture* glyph, float uv[4]) const;
  CDGTexture* Texture() const { return texture_; }
  size_t GlyphCount() const { return slots_.size(); }
  // Drops the texture and every glyph reference (deleted glyphs are forgotten by the cache).
  void Release(CDGTextTextureManager& cache);

 private:
  struct Slot {
    int x, y, w, h;
  };
  // Next free place for a w x h glyph by shelf packing; false when the sheet is full.
  bool Allocate(int w, int h, int sheetW, int sheetH, int* penX, int* penY, int* shelf, Slot* out) const;
  bool Rebuild(CDGManager* manager, const std::vector<CDGTexture*>& needed, CDGTextTextureManager& cache);

  CDGTexture* texture_ = nullptr;
  CDGManager* manager_ = nullptr;
  int width_ = 0, height_ = 0;
  int penX_ = 1, penY_ = 1, shelf_ = 0;
  std::map<CDGTexture*, Slot> slots_;  // each holds one reference on its glyph
};

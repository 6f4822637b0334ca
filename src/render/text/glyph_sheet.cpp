#include "render/text/glyph_sheet.h"

#include <algorithm>
#include <set>

#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "render/text/glyph_cache.h"

namespace {

constexpr int kSheetWidth = 1024;
constexpr int kMinSheetHeight = 64;

bool HasPixels(CDGTexture* t) {
  uint8_t a = 0;
  return t->GetTexelAlpha(0, 0, &a);
}

// The glyph's texels as white with its alpha (A8R8G8B8 memory order).
void CopyGlyph(CDGTexture* glyph, int w, int h, uint8_t* dst, int dstPitch) {
  for (int y = 0; y < h; ++y) {
    uint8_t* row = dst + static_cast<size_t>(y) * dstPitch;
    for (int x = 0; x < w; ++x) {
      uint8_t a = 0;
      glyph->GetTexelAlpha(x, y, &a);
      row[x * 4 + 0] = row[x * 4 + 1] = row[x * 4 + 2] = 0xFF;
      row[x * 4 + 3] = a;
    }
  }
}

}  // namespace

GlyphSheet::~GlyphSheet() {
  // Owners release with their cache first; what is left here only needs its references dropped.
  if (texture_) texture_->Release();
  for (auto& [glyph, slot] : slots_) glyph->Release();
}

void GlyphSheet::Release(CDGTextTextureManager& cache) {
  if (texture_) texture_->Release();
  texture_ = nullptr;
  manager_ = nullptr;
  std::map<CDGTexture*, Slot> slots;
  slots.swap(slots_);
  for (auto& [glyph, slot] : slots)
    if (glyph->Release()) cache.ForgetTexture(glyph);
  width_ = height_ = 0;
  penX_ = penY_ = 1;
  shelf_ = 0;
}

bool GlyphSheet::Find(CDGTexture* glyph, float uv[4]) const {
  auto it = slots_.find(glyph);
  if (it == slots_.end() || !texture_) return false;
  const Slot& s = it->second;
  uv[0] = static_cast<float>(s.x) / static_cast<float>(width_);
  uv[1] = static_cast<float>(s.y) / static_cast<float>(height_);
  uv[2] = static_cast<float>(s.x + s.w) / static_cast<float>(width_);
  uv[3] = static_cast<float>(s.y + s.h) / static_cast<float>(height_);
  return true;
}

// Shelves left to right, one clear texel around every glyph so filtering never reads a neighbour.
bool GlyphSheet::Allocate(int w, int h, int sheetW, int sheetH, int* penX, int* penY, int* shelf, Slot* out) const {
  if (w + 2 > sheetW) return false;
  if (*penX + w + 1 > sheetW) {
    *penX = 1;
    *penY += *shelf + 1;
    *shelf = 0;
  }
  if (*penY + h + 1 > sheetH) return false;
  *out = Slot{*penX, *penY, w, h};
  *penX += w + 1;
  *shelf = std::max(*shelf, h);
  return true;
}

bool GlyphSheet::Place(CDGManager* manager, const std::vector<CDGTexture*>& glyphs, CDGTextTextureManager& cache) {
  plat::GfxDevice* dev = manager ? manager->Device() : nullptr;
  if (!dev) {
    Release(cache);
    return false;
  }
  if (manager != manager_ || (texture_ && !texture_->HasTexture())) Release(cache);
  std::vector<CDGTexture*> needed;
  std::set<CDGTexture*> seen;
  for (CDGTexture* g : glyphs) {
    if (!g || !seen.insert(g).second) continue;
    uint32_t w = 0, h = 0;
    if (!g->GetSurfaceSize(&w, &h) || !HasPixels(g)) return false;
    needed.push_back(g);
  }
  std::vector<CDGTexture*> missing;
  for (CDGTexture* g : needed)
    if (!slots_.count(g)) missing.push_back(g);
  if (missing.empty()) return texture_ != nullptr || needed.empty();
  if (texture_) {
    // Into the free space of the current sheet, when all of them fit.
    int penX = penX_, penY = penY_, shelf = shelf_;
    std::vector<Slot> placed;
    for (CDGTexture* g : missing) {
      uint32_t w = 0, h = 0;
      g->GetSurfaceSize(&w, &h);
      Slot s{};
      if (!Allocate(static_cast<int>(w), static_cast<int>(h), width_, height_, &penX, &penY, &shelf, &s)) break;
      placed.push_back(s);
    }
    if (placed.size() == missing.size()) {
      std::vector<uint8_t> bgra;
      for (size_t i = 0; i < missing.size(); ++i) {
        const Slot& s = placed[i];
        bgra.assign(static_cast<size_t>(s.w) * s.h * 4, 0);
        CopyGlyph(missing[i], s.w, s.h, bgra.data(), s.w * 4);
        const DGRect dst{s.x, s.y, s.x + s.w, s.y + s.h};
        if (!texture_->UpdateFromMemory(bgra.data(), s.w * 4, s.w, s.h, nullptr, &dst, kFmtA8R8G8B8)) {
          return Rebuild(manager, needed, cache);
        }
        missing[i]->AddRef();
        slots_[missing[i]] = s;
      }
      penX_ = penX, penY_ = penY, shelf_ = shelf;
      return true;
    }
  }
  return Rebuild(manager, needed, cache);
}

// A fresh sheet with only the glyphs needed now.
bool GlyphSheet::Rebuild(CDGManager* manager, const std::vector<CDGTexture*>& needed, CDGTextTextureManager& cache) {
  plat::GfxDevice* dev = manager->Device();
  const int maxSide = dev->Caps().maxTextureSize;
  const int width = std::min(kSheetWidth, maxSide);
  // Measure the height the glyphs need, then round it up so that later glyphs find room.
  int penX = 1, penY = 1, shelf = 0;
  std::vector<Slot> slots;
  for (CDGTexture* g : needed) {
    uint32_t w = 0, h = 0;
    g->GetSurfaceSize(&w, &h);
    Slot s{};
    if (!Allocate(static_cast<int>(w), static_cast<int>(h), width, maxSide, &penX, &penY, &shelf, &s)) {
      Release(cache);
      return false;
    }
    slots.push_back(s);
  }
  int height = kMinSheetHeight;
  while (height < penY + shelf + 1) height *= 2;
  // Twice what is needed now leaves room for appended text.
  if (height < 2 * (penY + shelf + 1)) height *= 2;
  height = std::min(height, maxSide);
  std::vector<uint8_t> bgra(static_cast<size_t>(width) * height * 4, 0);
  for (size_t i = 0; i < needed.size(); ++i) {
    const Slot& s = slots[i];
    CopyGlyph(needed[i], s.w, s.h, &bgra[(static_cast<size_t>(s.y) * width + s.x) * 4], width * 4);
  }
  auto* texture = new CDGTexture(manager);
  if (!texture->CreateEmpty(width, height) ||
      !texture->UpdateFromMemory(bgra.data(), width * 4, width, height, nullptr, nullptr, kFmtA8R8G8B8)) {
    texture->Release();
    Release(cache);
    return false;
  }
  // Take the new references before the old ones go, so shared glyphs never reach zero.
  for (CDGTexture* g : needed) g->AddRef();
  Release(cache);
  texture_ = texture;
  manager_ = manager;
  width_ = width;
  height_ = height;
  penX_ = penX, penY_ = penY, shelf_ = shelf;
  for (size_t i = 0; i < needed.size(); ++i) slots_[needed[i]] = slots[i];
  return true;
}

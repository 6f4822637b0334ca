#include "render/text/text_renderer.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "render/text/glyph_cache.h"

namespace {

constexpr float kEpsilon = 1.1920929e-7f;

Vector3 Normalized(const Vector3& v) {
  Vector3 out;
  v.Normalize(out);
  return out;
}

uint32_t Channel(uint32_t c, int shift) { return (c >> shift) & 0xFF; }

}  // namespace

float TextAlignOffset(int32_t alignment, float box, float size) {
  switch (alignment) {
    case 1:
      return (box - size) / 2;
    case 2:
      return box - size;
    default:
      return 0;
  }
}

CDGTextRenderer::CDGTextRenderer(CDGManager* manager, float x, float y, float z, std::string_view text,
                                 std::string_view face, int32_t height, int32_t lineSpacing, int32_t charSpacing,
                                 uint8_t perGlyph, uint32_t color)
    : CDGRendererBase(manager),
      lineSpacing_(lineSpacing),
      charSpacing_(charSpacing),
      position_(x, y, z),
      color_(color),
      perGlyph_(perGlyph) {
  Setup(text, face, height, true);
}

CDGTextRenderer::~CDGTextRenderer() {
  ReleaseGlyphs();
  sheet_.Release(Cache());
}

CDGTextTextureManager& CDGTextRenderer::Cache() const { return cache_ ? *cache_ : TextTextureManagerInstance(); }

void CDGTextRenderer::SetGlyphCache(CDGTextTextureManager* cache) {
  ReleaseGlyphs();
  sheet_.Release(Cache());
  cache_ = cache;
}

void CDGTextRenderer::OnManagerGone() {
  ReleaseGlyphs();
  sheet_.Release(Cache());
  CDGRendererBase::OnManagerGone();
}

// ---------------------------------------------------------------------------------------------
// Setters

bool CDGTextRenderer::Setup(std::string_view text, std::string_view face, int32_t height, bool relayout) {
  text_.assign(text);
  face_ = face.empty() ? std::string(kDefaultFace) : std::string(face);
  height_ = height;
  return Finish(relayout);
}

bool CDGTextRenderer::SetText(std::string_view text, bool relayout) {
  const std::string face = face_;
  return Setup(text, face, height_, relayout);
}

bool CDGTextRenderer::SetFont(std::string_view face, int32_t height, bool relayout) {
  const std::string text = text_;
  return Setup(text, face, height, relayout);
}

bool CDGTextRenderer::SetItalic(uint8_t italic, bool relayout) {
  italic_ = italic;
  return Finish(relayout);
}

bool CDGTextRenderer::SetBold(uint8_t bold, bool relayout) {
  bold_ = bold;
  return Finish(relayout);
}

bool CDGTextRenderer::SetColor(uint32_t argb, bool relayout) {
  color_ = argb;
  return Finish(relayout);
}

bool CDGTextRenderer::SetPosition(float x, float y, float z, bool relayout) {
  position_ = Vector3(x, y, z);
  return Finish(relayout);
}

bool CDGTextRenderer::SetPositionXY(float x, float y, bool relayout) {
  position_.x = x;
  position_.y = y;
  return Finish(relayout);
}

bool CDGTextRenderer::SetShadow(const Vector3& direction, float distance, uint32_t argb, bool relayout) {
  shadowDir_ = Normalized(direction);
  shadowDistance_ = distance;
  decorationColor_ = argb;
  outlineWidth_ = 0;
  return Finish(relayout);
}

bool CDGTextRenderer::SetOutline(uint32_t width, uint32_t argb, bool relayout) {
  outlineWidth_ = width;
  decorationColor_ = argb;
  shadowDir_ = Vector3(0, 0, 0);
  shadowDistance_ = 0;
  return Finish(relayout);
}

bool CDGTextRenderer::ClearDecoration(bool relayout) {
  shadowDir_ = Vector3(0, 0, 0);
  shadowDistance_ = 0;
  outlineWidth_ = 0;
  decorationColor_ = 0;
  return Finish(relayout);
}

bool CDGTextRenderer::SetPerGlyph(uint8_t perGlyph, bool relayout) {
  perGlyph_ = perGlyph;
  return Finish(relayout);
}

bool CDGTextRenderer::SetAxes(const Vector3& xAxis, const Vector3& yAxis, bool relayout) {
  xAxis_ = Normalized(xAxis);
  yAxis_ = Normalized(yAxis);
  return Finish(relayout);
}

bool CDGTextRenderer::SetDrawMode(int32_t mode, bool relayout) {
  drawMode_ = mode;
  return Finish(relayout);
}

bool CDGTextRenderer::HasShadow() const { return shadowDistance_ > kEpsilon || shadowDistance_ < -kEpsilon; }

// ---------------------------------------------------------------------------------------------
// Glyphs

void CDGTextRenderer::ReleaseQuads(std::vector<GlyphQuad>& quads) {
  for (GlyphQuad& q : quads) {
    if (q.texture) {
      CDGTexture* t = q.texture;
      q.texture = nullptr;
      if (t->Release()) Cache().ForgetTexture(t);
    }
    q.built = false;
  }
  quads.clear();
}

void CDGTextRenderer::PlaceOnSheet() {
  std::vector<CDGTexture*> glyphs;
  glyphs.reserve(main_.size() + decoration_.size());
  for (const std::vector<GlyphQuad>* quads : {&main_, &decoration_})
    for (const GlyphQuad& q : *quads) glyphs.push_back(q.texture);
  // Bitmap-font glyphs carry colours of their own; the sheet holds white coverage only.
  const bool ok = perGlyph_ && !Cache().FontManager().HasFont(face_.c_str()) && sheet_.Place(manager_, glyphs, Cache());
  if (!ok) sheet_.Release(Cache());
  for (std::vector<GlyphQuad>* quads : {&main_, &decoration_})
    for (GlyphQuad& q : *quads) {
      float uv[4];
      q.inSheet = ok && q.texture && sheet_.Find(q.texture, uv);
      if (q.inSheet) {
        q.u0 = uv[0], q.v0 = uv[1], q.u1 = uv[2], q.v1 = uv[3];
      } else {
        q.u0 = q.v0 = 0, q.u1 = q.v1 = 1;
      }
    }
}

void CDGTextRenderer::ReleaseGlyphs() {
  ReleaseQuads(main_);
  ReleaseQuads(decoration_);
  fades_.clear();
  std::fill(std::begin(textOffset_), std::end(textOffset_), 0.0f);
  std::fill(std::begin(textSize_), std::end(textSize_), 0.0f);
}

bool CDGTextRenderer::Relayout() {
  ReleaseGlyphs();
  if (text_.empty()) {
    sheet_.Release(Cache());
    return true;
  }
  CDGTextTextureManager& cache = Cache();
  if (!perGlyph_) {
    CDGTexture* t =
        cache.RenderTextTexture(text_, face_, height_, italic_, bold_, 0, charSpacing_, lineSpacing_, manager_);
    main_.push_back(GlyphQuad{t});
    if (HasShadow()) {
      if (t) t->AddRef();
      decoration_.push_back(GlyphQuad{t});
    } else if (HasOutline()) {
      decoration_.push_back(
          GlyphQuad{cache.RenderTextTexture(text_, face_, height_, italic_, bold_, static_cast<int32_t>(outlineWidth_),
                                            charSpacing_, lineSpacing_, manager_)});
    }
    fades_.push_back(GlyphFade{});
  } else {
    std::vector<GlyphListEntry> list;
    cache.BuildGlyphList(&list, text_, face_, height_, italic_, bold_, 0, manager_);
    for (const GlyphListEntry& e : list) {
      main_.push_back(GlyphQuad{e.texture, false, e.lineFeed});
      if (HasShadow()) {
        if (e.texture) e.texture->AddRef();
        decoration_.push_back(GlyphQuad{e.texture, false, e.lineFeed});
      }
      fades_.push_back(GlyphFade{});
    }
    if (HasOutline()) {
      cache.BuildGlyphList(&list, text_, face_, height_, italic_, bold_, static_cast<int32_t>(outlineWidth_), manager_);
      for (const GlyphListEntry& e : list) decoration_.push_back(GlyphQuad{e.texture, false, e.lineFeed});
    }
  }
  PlaceOnSheet();
  return Layout();
}

bool CDGTextRenderer::AppendText(const char* text, uint32_t from, uint32_t to, float durationMs, bool relayout) {
  if (!text) return false;
  const std::string_view piece(text);
  text_.append(piece);
  if (!perGlyph_) return relayout ? Relayout() : true;
  if (text_.empty()) return Layout();
  CDGTextTextureManager& cache = Cache();
  std::vector<GlyphListEntry> list;
  cache.BuildGlyphList(&list, piece, face_, height_, italic_, bold_, 0, manager_);
  for (const GlyphListEntry& e : list) {
    main_.push_back(GlyphQuad{e.texture, false, e.lineFeed});
    if (HasShadow()) {
      if (e.texture) e.texture->AddRef();
      decoration_.push_back(GlyphQuad{e.texture, false, e.lineFeed});
    }
    fades_.push_back(GlyphFade{durationMs, 0, from, to});
  }
  if (HasOutline()) {
    cache.BuildGlyphList(&list, piece, face_, height_, italic_, bold_, static_cast<int32_t>(outlineWidth_), manager_);
    for (const GlyphListEntry& e : list) decoration_.push_back(GlyphQuad{e.texture, false, e.lineFeed});
  }
  PlaceOnSheet();
  return Layout();
}

// ---------------------------------------------------------------------------------------------
// Layout

uint32_t CDGTextRenderer::FadeColor(const GlyphFade& fade, uint32_t passColor, bool alphaOnly) const {
  const float away = fade.duration >= 0 ? fade.duration + kEpsilon : fade.duration - kEpsilon;
  if (static_cast<int32_t>(away) == 0) return passColor;
  const float r = fade.elapsed / fade.duration;
  const uint32_t a = fade.from ? fade.from : passColor;
  const uint32_t b = fade.to ? fade.to : passColor;
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    uint32_t ch;
    if (alphaOnly && shift != 24) {
      ch = Channel(passColor, shift);
    } else {
      const int ca = static_cast<int>(Channel(a, shift)), cb = static_cast<int>(Channel(b, shift));
      ch = static_cast<uint32_t>(ca + static_cast<int>(r * static_cast<float>(cb - ca))) & 0xFF;
    }
    out |= ch << shift;
  }
  return out;
}

bool CDGTextRenderer::BuildVertices() {
  if (!manager_ || !manager_->Device()) return true;
  const bool shadow = HasShadow();
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<GlyphQuad>& quads = pass == 0 ? main_ : decoration_;
    const uint32_t passColor = pass == 0 ? color_ : decorationColor_;
    Vector3 offset(0, 0, 0);
    float zOffset = 0;
    if (pass == 1) {
      zOffset = -0.1f;
      if (shadow) {
        // The shadow sits beside the glyphs, moved by its direction along the text's own axes.
        const float sx = shadowDir_.x * shadowDistance_, sy = shadowDir_.y * shadowDistance_;
        offset = Vector3(sx * xAxis_.x + sy * yAxis_.x, sx * xAxis_.y + sy * yAxis_.y, sx * xAxis_.z + sy * yAxis_.z);
      } else {
        const float b = -static_cast<float>(outlineWidth_);
        offset = Vector3(b * (xAxis_.x + yAxis_.x), b * (xAxis_.y + yAxis_.y), b * (xAxis_.z + yAxis_.z));
      }
    }
    const float shrink = pass == 1 ? 2.0f * static_cast<float>(outlineWidth_) : 0.0f;
    float px = position_.x, py = position_.y;
    int line = 0;
    // Vertical writing: upright glyphs run along the y axis; columns follow one another against
    // the x axis, the first at the far end, so the block starts at the position like a line does.
    int columns = 1;
    if (vertical_)
      for (const GlyphQuad& q : quads) columns += q.lineFeed ? 1 : 0;
    const float columnStep = static_cast<float>(lineSpacing_) + static_cast<float>(height_) - shrink;
    auto columnStart = [&](int column) {
      const float d = static_cast<float>(columns - 1 - column) * columnStep;
      px = position_.x + d * xAxis_.x;
      py = position_.y + d * xAxis_.y;
    };
    float along = 0, longest = 0;
    if (vertical_) columnStart(0);
    const size_t count = std::min(quads.size(), fades_.size());
    for (size_t i = 0; i < count; ++i) {
      GlyphQuad& q = quads[i];
      const uint32_t c = FadeColor(fades_[i], passColor, pass == 1);
      uint32_t w = static_cast<uint32_t>(height_), h = static_cast<uint32_t>(height_);
      if (!q.texture || !q.texture->GetSurfaceSize(&w, &h)) w = h = static_cast<uint32_t>(height_);
      const float fw = static_cast<float>(w), fh = static_cast<float>(h);
      const Vector3 o(px + offset.x, py + offset.y, position_.z + zOffset + offset.z);
      const Vector3 corner[4] = {
          o,
          Vector3(o.x + fw * xAxis_.x, o.y + fw * xAxis_.y, o.z + fw * xAxis_.z),
          Vector3(o.x + fh * yAxis_.x, o.y + fh * yAxis_.y, o.z + fh * yAxis_.z),
          Vector3(o.x + fw * xAxis_.x + fh * yAxis_.x, o.y + fw * xAxis_.y + fh * yAxis_.y,
                  o.z + fw * xAxis_.z + fh * yAxis_.z),
      };
      const float kU[4] = {q.u0, q.u1, q.u0, q.u1}, kV[4] = {q.v0, q.v0, q.v1, q.v1};
      for (int k = 0; k < 4; ++k) {
        if (drawMode_ == kScreen)
          q.screen[k] = plat::ScreenVertex{corner[k].x - 0.5f, corner[k].y + 0.5f, 0.5f, 1.0f, c, kU[k], kV[k]};
        else
          q.world[k] = plat::WorldVertex{corner[k].x - 0.5f, corner[k].y + 0.5f, corner[k].z + 0.5f, c, kU[k], kV[k]};
      }
      q.built = true;
      const float advW = fw - shrink, advH = fh - shrink;
      if (vertical_) {
        if (q.lineFeed) {
          columnStart(++line);
          along = 0;
        } else {
          along += static_cast<float>(charSpacing_) + advH;
          longest = std::max(longest, along);
          px += (static_cast<float>(charSpacing_) + advH) * yAxis_.x;
          py += (static_cast<float>(charSpacing_) + advH) * yAxis_.y;
        }
        if (pass == 0) {
          textOffset_[0] = px - position_.x;
          textOffset_[1] = py - position_.y;
          textOffset_[2] = zOffset;
          // In the text's own axes: the longest column, then the columns' breadth.
          textSize_[0] = longest;
          textSize_[1] = static_cast<float>(columns) * columnStep;
        }
        continue;
      }
      if (q.lineFeed) {
        ++line;
        const float step = static_cast<float>(line) * (static_cast<float>(lineSpacing_) + advH);
        px = position_.x + step * yAxis_.x;
        py = position_.y + step * yAxis_.y;
      } else {
        px += (static_cast<float>(charSpacing_) + advW) * xAxis_.x;
        py += (static_cast<float>(charSpacing_) + advW) * xAxis_.y;
      }
      if (pass == 0) {
        textOffset_[0] = px - position_.x;
        textOffset_[1] = py - position_.y;
        textOffset_[2] = zOffset;
        textSize_[0] = std::max(textSize_[0], std::fabs(px - position_.x));
        textSize_[1] = std::max(textSize_[1], std::fabs((advH + static_cast<float>(lineSpacing_)) * yAxis_.y *
                                                        static_cast<float>(line + 1)));
      }
    }
  }
  builtMode_ = drawMode_;
  return true;
}

void CDGTextRenderer::ReleaseVertexBuffers() {
  for (GlyphQuad& q : main_) q.built = false;
  for (GlyphQuad& q : decoration_) q.built = false;
}

// ---------------------------------------------------------------------------------------------
// Frame

void CDGTextRenderer::Update(float elapsedMs) {
  bool moved = false;
  for (GlyphFade& f : fades_) {
    const float next = std::min(f.elapsed + elapsedMs, f.duration);
    if (next != f.elapsed && f.from != f.to) moved = true;
    f.elapsed = next;
  }
  if (moved) BuildVertices();
  UpdateSortKey();
}

void CDGTextRenderer::FinishFades() {
  bool moved = false;
  for (GlyphFade& f : fades_) {
    if (f.elapsed != f.duration && f.from != f.to) moved = true;
    f.elapsed = f.duration;
  }
  if (moved) BuildVertices();
}

void CDGTextRenderer::UpdateSortKey() {
  if (drawMode_ == kScreen) {
    sortKey_ = position_.z;
    return;
  }
  if (!manager_) return;
  Vector3 v;
  manager_->ViewMatrix().TransformCoord(position_, v);
  sortKey_ = -v.z;
}

void CDGTextRenderer::BeginDraw(plat::GfxDevice* device) {
  savedZ_ = device->GetZEnable();
  device->SetZEnable(false);
}

void CDGTextRenderer::EndDraw(plat::GfxDevice* device) { device->SetZEnable(savedZ_); }

void CDGTextRenderer::Draw(bool, bool, bool) {
  plat::GfxDevice* dev = manager_ ? manager_->Device() : nullptr;
  if (!dev || main_.empty()) return;
  // Vertices laid out for the other draw mode are redone rather than drawn wrongly.
  if (builtMode_ != drawMode_ && !BuildVertices()) return;
  const bool screen = drawMode_ == kScreen;
  if (screen) BeginDraw(dev);
  const Matrix44 identity;
  if (!screen) dev->SetWorld(&identity.m[0][0]);
  for (const std::vector<GlyphQuad>* quads : {&decoration_, &main_}) {
    for (const GlyphQuad& q : *quads) {
      if (!q.built) continue;
      // A character without a glyph (missing from the font) keeps its place and is not drawn.
      CDGTexture* t = q.inSheet ? sheet_.Texture() : q.texture;
      if (!t || !t->HasTexture()) continue;
      dev->BindTexture(t->DeviceId());
      if (screen)
        dev->DrawScreenQuad(q.screen);
      else
        dev->DrawQuad(q.world);
      dev->BindTexture(0);
    }
  }
  if (screen) EndDraw(dev);
}

bool CDGTextRenderer::SetVertical(bool vertical, bool relayout) {
  vertical_ = vertical;
  return relayout ? Relayout() : true;
}

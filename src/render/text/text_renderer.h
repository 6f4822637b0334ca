// One block of Shift-JIS text drawn as textured quads, in the world (draw mode 0) or in
// back-buffer pixels (draw mode 1). Per-glyph mode gives each character its own quad (text can be
// appended with a colour fade on the new characters); whole-texture mode draws the text into one
// texture first. A decoration is drawn behind the text: a drop shadow (the glyphs again in the
// decoration colour, moved along the text's axes by the shadow direction and distance) or an
// outline (the glyphs thickened by the outline width).
//
// Every setter takes a relayout flag: when set, it ends with Relayout and returns its result.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/vmath.h"
#include "platform/gl/gfx_device.h"
#include "render/dg_base.h"
#include "render/text/glyph_sheet.h"

class CDGManager;
class CDGTexture;
class CDGTextTextureManager;

struct GlyphQuad {
  CDGTexture* texture = nullptr;  // one reference; null for a missing glyph (not drawn)
  bool built = false;             // the vertices below are valid for the built draw mode
  uint8_t lineFeed = 0;
  plat::WorldVertex world[4] = {};
  plat::ScreenVertex screen[4] = {};
  // Where the glyph lies in the renderer's glyph sheet (0..1 when drawn from its own texture).
  float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
  bool inSheet = false;
};

struct GlyphFade {
  float duration = 0;  // ms
  float elapsed = 0;   // ms, never beyond the duration
  uint32_t from = 0;   // ARGB; 0 stands for the colour of the pass
  uint32_t to = 0;
};

// Offset that places a laid-out text of `size` pixels in a box of `box` pixels along one axis:
// alignment 0 = start, 1 = centred, 2 = end; any other value = start.
float TextAlignOffset(int32_t alignment, float box, float size);

class CDGTextRenderer : public CDGRendererBase {
 public:
  enum DrawMode : int32_t { kWorld = 0, kScreen = 1 };

  // Face "" means the default face. Lays the text out at once.
  CDGTextRenderer(CDGManager* manager, float x, float y, float z, std::string_view text, std::string_view face,
                  int32_t height, int32_t lineSpacing, int32_t charSpacing, uint8_t perGlyph, uint32_t color);

  void Update(float elapsedMs) override;
  void Draw(bool first, bool notFirst, bool notLast) override;
  float GetSortKey() override { return sortKey_; }
  void OnManagerGone() override;

  virtual bool Setup(std::string_view text, std::string_view face, int32_t height, bool relayout);
  virtual bool SetText(std::string_view text, bool relayout);
  // Null text (nullptr) is refused. In per-glyph mode the new characters fade from `from` to `to`
  // over `durationMs` and are laid out at once; in whole-texture mode they show at the next relayout.
  virtual bool AppendText(const char* text, uint32_t from, uint32_t to, float durationMs, bool relayout);
  virtual void FinishFades();
  virtual bool SetFont(std::string_view face, int32_t height, bool relayout);
  virtual bool SetItalic(uint8_t italic, bool relayout);
  virtual bool SetBold(uint8_t bold, bool relayout);
  virtual bool SetColor(uint32_t argb, bool relayout);
  virtual bool SetPosition(float x, float y, float z, bool relayout);
  virtual bool SetPositionXY(float x, float y, bool relayout);
  virtual bool SetShadow(const Vector3& direction, float distance, uint32_t argb, bool relayout);
  virtual bool SetOutline(uint32_t width, uint32_t argb, bool relayout);
  virtual bool ClearDecoration(bool relayout);
  virtual bool SetPerGlyph(uint8_t perGlyph, bool relayout);
  // Vertical writing: glyphs stay upright and run along the y axis; each line feed starts a new
  // column, the columns following one another against the x axis (right to left on screen). The
  // text size is then given along the columns first, then across them.
  bool SetVertical(bool vertical, bool relayout);
  bool IsVertical() const { return vertical_; }
  uint8_t PerGlyph() const { return perGlyph_; }
  virtual bool Relayout();
  virtual bool Layout() { return BuildVertices(); }
  virtual const float* GetTextOffset() const { return textOffset_; }
  virtual const float* GetTextSize() const { return textSize_; }
  virtual void ReleaseGlyphs();
  virtual bool BuildVertices();
  virtual void ReleaseVertexBuffers();
  virtual bool HasShadow() const;
  virtual bool HasOutline() const { return outlineWidth_ != 0; }
  virtual void UpdateSortKey();
  virtual void BeginDraw(plat::GfxDevice* device);
  virtual void EndDraw(plat::GfxDevice* device);

  bool SetAxes(const Vector3& xAxis, const Vector3& yAxis, bool relayout);
  bool SetDrawMode(int32_t mode, bool relayout);

  // Read-outs.
  const std::string& Text() const { return text_; }
  const std::string& Face() const { return face_; }
  int32_t Height() const { return height_; }
  int32_t DrawModeValue() const { return drawMode_; }
  int32_t BuiltMode() const { return builtMode_; }
  uint32_t Color() const { return color_; }
  const std::vector<GlyphQuad>& MainGlyphs() const { return main_; }
  const std::vector<GlyphQuad>& DecorationGlyphs() const { return decoration_; }
  const std::vector<GlyphFade>& Fades() const { return fades_; }

  // The cache glyphs come from (tests use their own); default: the program's one.
  void SetGlyphCache(CDGTextTextureManager* cache);
  // The sheet the glyphs are drawn from (null: each glyph from its own texture).
  CDGTexture* SheetTexture() const { return sheet_.Texture(); }

  static constexpr const char* kDefaultFace = "ＭＳ ゴシック";

 protected:
  ~CDGTextRenderer() override;

 private:
  bool Finish(bool relayout) { return relayout ? Relayout() : true; }
  CDGTextTextureManager& Cache() const;
  uint32_t FadeColor(const GlyphFade& fade, uint32_t passColor, bool alphaOnly) const;
  void ReleaseQuads(std::vector<GlyphQuad>& quads);
  // Puts every glyph of both arrays on the sheet and points the quads at it; without a sheet
  // (bitmap fonts, no room) each glyph draws from its own texture.
  void PlaceOnSheet();

  std::string text_;
  std::string face_;
  int32_t height_ = 0;
  uint8_t italic_ = 0, bold_ = 0;
  int32_t lineSpacing_ = 0, charSpacing_ = 0;
  Vector3 shadowDir_{0, 0, 0};
  float shadowDistance_ = 0;
  uint32_t outlineWidth_ = 0;
  uint32_t decorationColor_ = 0;
  Vector3 position_{0, 0, 0};
  Vector3 xAxis_{1, 0, 0}, yAxis_{0, -1, 0};
  float sortKey_ = 0;
  float textOffset_[3] = {0, 0, 0};
  float textSize_[3] = {0, 0, 0};
  std::vector<GlyphQuad> main_, decoration_;
  std::vector<GlyphFade> fades_;
  uint32_t color_ = 0;
  uint8_t perGlyph_ = 1;
  bool vertical_ = false;
  int32_t builtMode_ = 0;
  int32_t drawMode_ = kWorld;
  bool savedZ_ = true;
  CDGTextTextureManager* cache_ = nullptr;
  GlyphSheet sheet_;
};

// The text widget: one Shift-JIS text (lines split by '\n') drawn by a text renderer created on
// first use. It lays out only when the text changed and aligns the text inside its area by
// setting its own offset. Screen texts are placed like every other widget; with widget bit 11 the
// renderer draws in back-buffer pixels at the world position.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "core/fixed_path.h"
#include "ui/widgets/widget_base.h"

class CDGManager;
class CDGTextRenderer;

// Makes the renderer of a text widget; tests install one that counts layouts.
using TextRendererFactory = CDGTextRenderer* (*)(CDGManager* manager, float x, float y, float z, std::string_view text,
                                                 std::string_view face, int32_t height, int32_t lineSpacing,
                                                 int32_t charSpacing, uint8_t perGlyph, uint32_t argb);
void SetTextRendererFactory(TextRendererFactory factory);

class CVMenuText : public CVMenuBase {
 public:
  CVMenuText();
  ~CVMenuText() override;

  void Release() override;
  // Draw submits the text (as a window's Draw submits its sprite), then the children.
  void Draw(int32_t arg) override;
  bool IsDrawable(int32_t arg) override;
  bool SetColour(const Color& c) override;
  void SetFlagAll(int bit, bool on) override;
  void SetFlag(int bit, bool on) override;
  void SetFlagByType(uint32_t type, int bit, bool on) override;
  CDGRendererBase* GetRenderer() override;
  virtual void GetTextOffset(Vector3& out) const;
  virtual void GetTextSize(Vector3& out) const;

  // null counts as "". Without apply only marks the text for the next draw.
  void SetText(const char* text, bool apply);
  // Sets the text and lays it out at once; its result. a, b, c are kept in rawArgs (the renderer
  // takes the text alone).
  bool SetTextRaw(const char* text, int32_t a, int32_t b, int32_t c);
  // "%d" for kinds 0 and 1, "%2d".."%6d" for kinds 2..6; other kinds leave the text unchanged.
  void SetNumber(int32_t value, int32_t widthKind);
  void SetFrameColour(const Color& c);
  void Redraw();
  void AlignText();
  const char* Text() const { return text.CStr(); }
  CDGTextRenderer* Renderer() const { return renderer; }
  // The text as the renderer gets it: the first shownChars characters (all when 0).
  std::string ShownText() const;

  FixedPath fontName;
  int32_t fontSize = 24;
  int32_t layoutValues[3] = {0, 0, 0};  // line spacing, character spacing, per-glyph drawing
  int32_t frameValue = 0;               // outline width of the frame (edge); 0 none
  Color frameColour{255, 255, 255, 255};
  int32_t reserved0 = 0;
  FixedPath text;
  int32_t reserved1 = 0;
  int32_t lineBreaks = 1;
  int32_t alignH = 0;
  int32_t alignV = 0;
  Vector3 lastPosition{0, 0, 0};
  Color lastColour{0, 0, 0, 255};
  CDGTextRenderer* renderer = nullptr;
  uint8_t textDirty = 0;
  uint8_t lookDirty = 0;
  int32_t shownChars = 0;
  int32_t rawArgs[3] = {0, 0, 0};

 private:
  bool EnsureRenderer();
  void PassLook(const Vector3& p, const Color& c);
  uint32_t FrameArgb() const;
  void StoreText(const char* t);
};

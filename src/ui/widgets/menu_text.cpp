#include "ui/widgets/menu_text.h"

#include <cstdio>
#include <cstring>

#include "platform/text/cp932.h"
#include "platform/text/log.h"
#include "render/dg_manager.h"
#include "render/sprite.h"
#include "render/text/text_renderer.h"

namespace {
TextRendererFactory g_textFactory = nullptr;

CDGTextRenderer* MakeRenderer(CDGManager* mgr, float x, float y, float z, std::string_view text, std::string_view face,
                              int32_t height, int32_t ls, int32_t cs, uint8_t perGlyph, uint32_t argb) {
  if (g_textFactory) return g_textFactory(mgr, x, y, z, text, face, height, ls, cs, perGlyph, argb);
  if (!mgr) return nullptr;
  return new CDGTextRenderer(mgr, x, y, z, text, face, height, ls, cs, perGlyph, argb);
}

// Bytes of text that fit in n bytes without splitting a double-byte character.
size_t CutAtCharBoundary(const char* t, size_t n) {
  size_t i = 0;
  while (t[i] && i < n) {
    const size_t step = plat::IsSjisLead(static_cast<unsigned char>(t[i])) && t[i + 1] ? 2 : 1;
    if (i + step > n) break;
    i += step;
  }
  return i;
}
}  // namespace

void SetTextRendererFactory(TextRendererFactory factory) { g_textFactory = factory; }

CVMenuText::CVMenuText() { colour = Color(255, 255, 255, 255); }

CVMenuText::~CVMenuText() { CVMenuText::Release(); }

void CVMenuText::Release() {
  if (renderer) renderer->Release();
  renderer = nullptr;
  CVMenuBase::Release();
}

CDGRendererBase* CVMenuText::GetRenderer() { return renderer; }

void CVMenuText::StoreText(const char* t) {
  const size_t len = std::strlen(t);
  const size_t keep = CutAtCharBoundary(t, FixedPath::kCapacity - 1);
  if (keep < len) plat::Log("ui", "text of %zu bytes cut to %zu", len, keep);
  std::string s(t, keep);
  text.Assign(s.c_str());
  int32_t n = 0;
  for (const char* p = text.CStr(); *p; ++p) {
    if (plat::IsSjisLead(static_cast<unsigned char>(*p)) && p[1]) {
      ++p;
      continue;
    }
    if (*p == '\n') ++n;
  }
  lineBreaks = n;
}

std::string CVMenuText::ShownText() const {
  const char* t = text.CStr();
  if (shownChars <= 0) return t;
  size_t i = 0;
  for (int32_t c = 0; t[i] && c < shownChars; ++c)
    i += plat::IsSjisLead(static_cast<unsigned char>(t[i])) && t[i + 1] ? 2 : 1;
  return std::string(t, i);
}

uint32_t CVMenuText::FrameArgb() const {
  Color f = frameColour;
  f.a = effectiveAlpha * frameColour.a / 255.0f;
  return PackSpriteColor(f);
}

bool CVMenuText::EnsureRenderer() {
  if (renderer) return true;
  Vector3 p;
  worldMatrix.TransformCoord(Vector3(0, 0, 0), p);
  Color c;
  GetColour(c);
  renderer = MakeRenderer(GetDGManager(), p.x, p.y, p.z, ShownText(), fontName.CStr(), fontSize, layoutValues[0],
                          layoutValues[1], static_cast<uint8_t>(layoutValues[2]), PackSpriteColor(c));
  if (!renderer) return false;
  PassLook(p, c);
  lookDirty = 1;
  if (frameValue != 0) textDirty = 1;
  return true;
}

void CVMenuText::PassLook(const Vector3& p, const Color& c) {
  Matrix44 r;
  worldMatrix.RemoveTranslationScale(r);
  Vector3 ax, ay;
  r.TransformCoord(Vector3(1, 0, 0), ax);
  r.TransformCoord(Vector3(0, 1, 0), ay);
  bool ok;
  if (!flags.Test(kWfScreen)) {
    // Screen texts use the flat camera's centred coordinates, with the axes mirrored to match.
    renderer->SetDrawMode(0, false);
    renderer->SetPosition(640.0f - p.x, 360.0f - p.y, p.z, false);
    ok = renderer->SetAxes(Vector3(-ax.x, -ax.y, ax.z), Vector3(-ay.x, -ay.y, ay.z), false);
  } else {
    renderer->SetDrawMode(1, false);
    renderer->SetPosition(p.x, p.y, p.z, false);
    ok = renderer->SetAxes(ax, ay, false);
  }
  ok = renderer->SetColor(PackSpriteColor(c), false) && ok;
  // Vertical writing (bit 13): the glyphs run down in columns; AlignText works in the text's axes.
  renderer->SetVertical(flags.Test(kWfAltLoader), false);
  if (frameValue > 0)
    ok = renderer->SetOutline(static_cast<uint32_t>(frameValue), FrameArgb(), false) && ok;
  else
    ok = renderer->ClearDecoration(false) && ok;
  ok = renderer->Layout() && ok;
  if (ok) lookDirty = 0;
  lastPosition = p;
  lastColour = c;
}

void CVMenuText::SetText(const char* t, bool apply) {
  if (!t) t = "";
  if (text.Equals(t)) return;
  StoreText(t);
  if (!apply) {
    textDirty = 1;
    return;
  }
  if (!EnsureRenderer()) {
    textDirty = 1;
    return;
  }
  const bool ok = renderer->Setup(ShownText(), fontName.CStr(), fontSize, false) &&
                  (frameValue > 0 ? renderer->SetOutline(static_cast<uint32_t>(frameValue), FrameArgb(), false)
                                  : renderer->ClearDecoration(false)) &&
                  renderer->Relayout();
  textDirty = ok ? 0 : 1;
  AlignText();
}

bool CVMenuText::SetTextRaw(const char* t, int32_t a, int32_t b, int32_t c) {
  if (!t) return false;
  StoreText(t);
  if (!EnsureRenderer()) return false;
  // Our renderer's text setter takes the text alone; a, b and c are kept for the callers' sake.
  rawArgs[0] = a;
  rawArgs[1] = b;
  rawArgs[2] = c;
  const bool ok = renderer->SetText(ShownText(), true);
  textDirty = 0;
  AlignText();
  return ok;
}

void CVMenuText::SetNumber(int32_t value, int32_t kind) {
  if (kind < 0 || kind > 6) return;
  char buf[32];
  if (kind <= 1)
    std::snprintf(buf, sizeof buf, "%d", static_cast<int>(value));
  else
    std::snprintf(buf, sizeof buf, "%*d", static_cast<int>(kind), static_cast<int>(value));
  if (text.Equals(buf)) return;
  StoreText(buf);
  textDirty = 1;
}

void CVMenuText::SetFrameColour(const Color& c) {
  if (!(c != frameColour)) return;
  frameColour = c;
  textDirty = 1;
}

void CVMenuText::Redraw() {
  if (renderer) renderer->Relayout();
}

void CVMenuText::GetTextOffset(Vector3& out) const {
  out = Vector3(0, 0, 0);
  if (!renderer) return;
  const float* o = renderer->GetTextOffset();
  out = Vector3(o[0], o[1], o[2]);
  if (!flags.Test(kWfScreen)) {
    out.x = -out.x;
    out.y = -out.y;
  }
}

void CVMenuText::GetTextSize(Vector3& out) const {
  out = Vector3(0, 0, 0);
  if (!renderer) return;
  const float* s = renderer->GetTextSize();
  out = Vector3(s[0], s[1], s[2]);
}

void CVMenuText::AlignText() {
  Vector3 ts;
  GetTextSize(ts);
  auto along = [](int32_t align, float area, float used) {
    if (align == 1) return (area - used) / 2.0f;
    if (align == 2) return area - used;
    return 0.0f;
  };
  const float h = along(alignH, size.x, ts.x);
  const float v = along(alignV, size.y, ts.y);
  if (flags.Test(kWfAltLoader)) {
    offset.x = v;
    offset.y = h;
  } else {
    offset.x = h;
    offset.y = v;
  }
}

bool CVMenuText::SetColour(const Color& c) {
  const bool changed = CVMenuBase::SetColour(c);
  if (changed) lookDirty = 1;
  return changed;
}

void CVMenuText::SetFlagAll(int bit, bool on) {
  const bool was = flags.Test(kWfScreen);
  CVMenuBase::SetFlagAll(bit, on);
  if (was != flags.Test(kWfScreen)) lookDirty = 1;
}

void CVMenuText::SetFlag(int bit, bool on) {
  const bool was = flags.Test(kWfScreen);
  CVMenuBase::SetFlag(bit, on);
  if (was != flags.Test(kWfScreen)) lookDirty = 1;
}

void CVMenuText::SetFlagByType(uint32_t type, int bit, bool on) {
  const bool was = flags.Test(kWfScreen);
  CVMenuBase::SetFlagByType(type, bit, on);
  if (was != flags.Test(kWfScreen)) lookDirty = 1;
}

bool CVMenuText::IsDrawable(int32_t arg) {
  if (!CVMenuBase::IsDrawable(arg) || text.Length() == 0) return false;
  Vector3 p;
  worldMatrix.TransformCoord(Vector3(0, 0, 0), p);
  if (!EnsureRenderer()) return false;
  Color c;
  GetColour(c);
  if (textDirty) {
    const bool ok = renderer->Setup(ShownText(), fontName.CStr(), fontSize, false) &&
                    (frameValue > 0 ? renderer->SetOutline(static_cast<uint32_t>(frameValue), FrameArgb(), false)
                                    : renderer->ClearDecoration(false)) &&
                    renderer->Relayout();
    if (ok) {
      textDirty = 0;
      AlignText();
    }
  }
  if (p.x != lastPosition.x || p.y != lastPosition.y || p.z != lastPosition.z || lookDirty || c != lastColour)
    PassLook(p, c);
  renderer->Queue(true);
  return true;
}

void CVMenuText::Draw(int32_t arg) {
  IsDrawable(arg);
  CVMenuBase::Draw(arg);
}

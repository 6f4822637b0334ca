#include "screens/front/cover_backdrop.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

#include "platform/gl/gfx_device.h"
#include "platform/text/log.h"
#include "render/board_renderer.h"
#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "render/effect/shader.h"
#include "render/sprite.h"
#include "render/texture_holder.h"
#include "ui/scenes/cv_scene.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/widget_base.h"

namespace {

CVSprite* SpriteOf(CVMenuBase* w) {
  auto* win = dynamic_cast<CVMenuWindow*>(w);
  return win ? win->GetSprite() : nullptr;
}

CDGTexture* PictureOf(CVMenuBase* w) {
  CVSprite* s = SpriteOf(w);
  return s && s->texture ? s->texture->GetTexture() : nullptr;
}

bool Compiled(const CVShader& s) { return s.GetEffect() && s.GetEffect()->HasEffect(); }

// A screen-space board showing the whole texture at (0, 0) in w x h pixels.
CDGBoardRenderer* MakeBoard(CDGManager* mgr, CDGTexture* texture, int w, int h) {
  auto* b = new CDGBoardRenderer(mgr);
  b->SetMode(CDGBoardRenderer::kScreen);
  b->SetTexture(texture);
  b->SetPosition(0, 0, 0);
  b->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0));
  b->SetSize(static_cast<float>(w), static_cast<float>(h));
  b->SetColors(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, true);
  return b;
}

CDGTexture* RenderAlone(CDGManager* mgr, CDGRendererBase* r, int w, int h) {
  mgr->ClearOverlayList();
  mgr->AddToOverlayList(r);
  CDGTexture* t = mgr->RenderToTexture(w, h);
  mgr->ClearOverlayList();
  return t;
}

// The look the panel asks for: saturation and value shifts (-1..1) and the blend pattern.
struct Look {
  float saturation = 0, value = 0;
  const char* pattern = nullptr;
  CDGTexture* patternPicture = nullptr;  // the blend widget's own picture, when it has one
};

// The picture read back, made opaque and put into a plain texture holder (render targets lose
// their contents when the device is reset; a plain texture keeps a copy). Nothing lies behind the
// backdrop, so the pattern's fade towards black is kept in the colour alone.
CVTexture* OpaqueCopy(CDGManager* mgr, CDGTexture* picture, int w, int h) {
  std::vector<uint8_t> rgba;
  if (!mgr->Device()->ReadTexture(picture->DeviceId(), &rgba) || rgba.size() != size_t(w) * size_t(h) * 4u)
    return nullptr;
  for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
  CVTexture* holder = GetTextureMgr()->CreateTexture();
  if (holder && holder->CreateEmpty(w, h) && holder->GetTexture() &&
      holder->GetTexture()->ApplyUpload(plat::Rect{0, 0, w, h}, rgba))
    return holder;
  if (holder) holder->Drop();
  return nullptr;
}

// One reference to each effect of the chain, per device manager, so that their programs stay
// compiled between backdrops (a file's program lives while any effect made from it does).
void KeepCompiled(CDGManager* mgr, const std::initializer_list<CVShader*>& chain) {
  static CDGManager* owner = nullptr;
  static std::vector<CDGEffect*> kept;
  if (owner == mgr && !kept.empty() && kept.front()->HasEffect()) return;
  for (CDGEffect* e : kept) e->Release();
  kept.clear();
  owner = mgr;
  for (CVShader* s : chain)
    if (CDGEffect* e = s->GetEffect(); e && e->HasEffect()) {
      e->AddRef();
      kept.push_back(e);
    }
}

// The cover drawn small, then blurred (two passes), faded by the pattern, shifted in HSV and
// premultiplied, through the board's own targets (a render to texture draws every pass with
// premultiplied blending, so each middle pass hands its colour and alpha on unchanged). Null when
// the device cannot.
CVTexture* FilterCover(CDGManager* mgr, CDGTexture* cover, const Look& look, int w, int h, bool* tinted) {
  CDGBoardRenderer* board = MakeBoard(mgr, cover, w, h);
  CDGTexture* small = RenderAlone(mgr, board, w, h);
  CVTexture* holder = nullptr;
  if (small) {
    board->SetTexture(small);
    board->BuildVertices();
    CVShaderGaussFilter gauss;
    // No pattern (a blend widget without a picture) leaves the pattern unbound, which reads white.
    CVShaderTexBlendBy blend(look.pattern);
    CVShaderHSV hsv;
    CVShaderMultipleAlpha premultiply;
    gauss.SetUserData2(small);
    hsv.SetUserData2(small);
    // The pattern spans the whole picture, as the blend widget spans the panel: its tiling rate is
    // measured against a picture of the pattern's own size.
    blend.SetUserData2(look.patternPicture ? look.patternPicture : small);
    const std::initializer_list<CVShader*> chain = {&gauss, &blend, &hsv, &premultiply};
    for (CVShader* s : chain) {
      s->Load();
      s->Enable();
    }
    KeepCompiled(mgr, chain);
    gauss.SetDispersion(kCoverBlurDispersion);
    hsv.SetS(look.saturation);  // both 0: the shader disables itself and its pass is skipped
    hsv.SetV(look.value);
    *tinted = Compiled(hsv);
    for (CVShader* s : chain) {
      s->SetParams();
      // The passes are counted once, at the end: each count re-makes the board's targets.
      if (s->GetEffect()) board->AttachResource(s->GetEffect(), false, true);
    }
    board->RecountPasses();
    if (CDGTexture* filtered = RenderAlone(mgr, board, w, h)) {
      holder = OpaqueCopy(mgr, filtered, w, h);
      filtered->Release();
    }
    // The board lets go of the effects before the shaders that made them go.
    board->ReleaseResources();
    small->Release();
  }
  board->Release();
  return holder;
}

}  // namespace

bool BuildCoverBackdrop(CVScene& scene, CVMenuBase* panel, CVMenuBase* blend) {
  if (blend) blend->SetFlagAll(kWfShown, false);
  CVMenuBase* cover = scene.GetMainMenu();
  auto* window = dynamic_cast<CVMenuWindow*>(panel);
  if (!cover || !window) return false;
  Look look;
  look.saturation = panel->GetRefParam(0);
  look.value = panel->GetRefParam(1);
  auto* blendWindow = dynamic_cast<CVMenuWindow*>(blend);
  if (blendWindow && blendWindow->pictureName.Length() > 0) {
    look.pattern = blendWindow->pictureName.CStr();
    look.patternPicture = PictureOf(blend);
  }
  const int w = std::max(1, (RoundNudged(panel->size.x) + kCoverBackdropReduction - 1) / kCoverBackdropReduction);
  const int h = std::max(1, (RoundNudged(panel->size.y) + kCoverBackdropReduction - 1) / kCoverBackdropReduction);
  CDGManager* mgr = GetDGManager();
  CDGTexture* picture = PictureOf(cover);
  // A blend widget whose picture is loaded only when shown has none yet: the pattern's own
  // picture gives the size then.
  CVTexture* patternSize = nullptr;
  if (look.pattern && !look.patternPicture && mgr && GetTextureMgr()) {
    patternSize = GetTextureMgr()->GetTexture(look.pattern, false, false);
    look.patternPicture = patternSize ? patternSize->GetTexture() : nullptr;
  }
  bool tinted = false;
  CVTexture* filtered = mgr && picture && panel->size.x >= 1 && panel->size.y >= 1
                            ? FilterCover(mgr, picture, look, w, h, &tinted)
                            : nullptr;
  if (patternSize) patternSize->Drop();
  bool made = false;
  if (filtered) {
    made = window->SetTextureObject(filtered, false);
    if (!made) filtered->Drop();
  }
  if (CVSprite* s = made ? window->GetSprite() : nullptr) {
    // The small picture, whole, stretched over the panel (whatever cell its own picture had).
    s->sizeFixed = true;
    s->SetCell(0);
    s->SetSourceX(0);
    s->SetSourceY(0);
    s->SetCellWidth(static_cast<float>(w));
    s->SetCellHeight(static_cast<float>(h));
    s->SetWidth(panel->size.x);
    s->SetHeight(panel->size.y);
  }
  if (made && !tinted) {
    // Without the HSV effect the value shift still darkens (or lightens) the picture as a whole.
    const float v = 255.0f * std::clamp(1.0f + (std::isfinite(look.value) ? look.value : 0.0f), 0.0f, 1.0f);
    panel->SetColour(Color(v, v, v, 255.0f));
  }
  if (!made) plat::Log("front", "cover backdrop not made; the panel keeps its own picture");
  scene.DeleteMainMenu();
  return made;
}

#include "screens/front/cover_backdrop.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
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
  if (texture) b->SetTexture(texture);
  b->SetPosition(0, 0, 0);
  b->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0));
  b->SetSize(static_cast<float>(w), static_cast<float>(h));
  b->SetColors(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, true);
  return b;
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

// The chain's device objects, kept between backdrops so that a backdrop only draws: a board that
// draws the cover small, the small picture, the board of the filter passes (with its effects,
// their compiled programs and its two pass targets) and the target of the result. Made again when
// the manager, the size or the pattern changes, or when any of them lost its device object (a
// manager that went detaches them); a device reset only empties the targets, and every backdrop
// draws them afresh. Never destroyed: it may outlive the manager, which detaches it.
class Chain {
 public:
  CDGBoardRenderer* cover = nullptr;
  CDGBoardRenderer* board = nullptr;
  CDGTexture* small = nullptr;
  CDGTexture* result = nullptr;
  std::unique_ptr<CVShaderGaussFilter> gauss;
  std::unique_ptr<CVShaderTexBlendBy> blend;
  std::unique_ptr<CVShaderHSV> hsv;
  std::unique_ptr<CVShaderMultipleAlpha> premultiply;
  int hsvCounted = -1;  // whether the passes were counted with the HSV pass on (-1 not counted)

  bool Fits(CDGManager* mgr, int w, int h, const char* pattern) const {
    return mgr_ == mgr && w_ == w && h_ == h && pattern_ == (pattern ? pattern : "") && cover && cover->IsBuilt() &&
           board && board->IsBuilt() && small && small->HasTexture() && result && result->HasTexture() &&
           Compiled(*gauss) && Compiled(*blend) && Compiled(*hsv) && Compiled(*premultiply);
  }

  bool Make(CDGManager* mgr, int w, int h, const char* pattern) {
    Drop();
    mgr_ = mgr;
    w_ = w;
    h_ = h;
    pattern_ = pattern ? pattern : "";
    cover = MakeBoard(mgr, nullptr, w, h);
    small = mgr->CreateRenderTarget(w, h);
    result = mgr->CreateRenderTarget(w, h);
    if (!small || !result) return false;
    board = MakeBoard(mgr, small, w, h);
    board->BuildVertices();
    gauss = std::make_unique<CVShaderGaussFilter>();
    // No pattern (a blend widget without a picture) leaves the pattern unbound, which reads white.
    blend = std::make_unique<CVShaderTexBlendBy>(pattern);
    hsv = std::make_unique<CVShaderHSV>();
    premultiply = std::make_unique<CVShaderMultipleAlpha>();
    const std::initializer_list<CVShader*> chain = {gauss.get(), blend.get(), hsv.get(), premultiply.get()};
    for (CVShader* s : chain) {
      s->Load();
      s->Enable();
    }
    gauss->SetDispersion(kCoverBlurDispersion);
    gauss->SetUserData2(small);
    hsv->SetUserData2(small);
    // The passes are counted once all are attached: each count re-makes the board's targets.
    for (CVShader* s : chain)
      if (s->GetEffect()) board->AttachResource(s->GetEffect(), false, true);
    hsvCounted = -1;
    return true;
  }

  void Drop() {
    // The board lets go of the effects before the shaders that made them go.
    if (board) {
      board->ReleaseResources();
      board->Release();
    }
    board = nullptr;
    gauss.reset();
    blend.reset();
    hsv.reset();
    premultiply.reset();
    if (cover) cover->Release();
    cover = nullptr;
    for (CDGTexture** t : {&small, &result}) {
      if (*t) (*t)->Release();
      *t = nullptr;
    }
    mgr_ = nullptr;
  }

 private:
  CDGManager* mgr_ = nullptr;
  int w_ = 0, h_ = 0;
  std::string pattern_;
};

Chain& KeptChain() {
  static Chain* chain = new Chain;
  return *chain;
}

bool RenderAlone(CDGManager* mgr, CDGRendererBase* r, CDGTexture* target) {
  mgr->ClearOverlayList();
  mgr->AddToOverlayList(r);
  const bool ok = mgr->RenderToTarget(target);
  mgr->ClearOverlayList();
  return ok;
}

// The cover drawn small, then blurred (two passes), faded by the pattern, shifted in HSV and
// premultiplied, through the board's own targets (a render to texture draws every pass with
// premultiplied blending, so each middle pass hands its colour and alpha on unchanged). Null when
// the device cannot.
CVTexture* FilterCover(CDGManager* mgr, CDGTexture* cover, const Look& look, int w, int h, bool* tinted) {
  Chain& c = KeptChain();
  if (!c.Fits(mgr, w, h, look.pattern) && !c.Make(mgr, w, h, look.pattern)) {
    c.Drop();
    return nullptr;
  }
  c.cover->SetTexture(cover);
  c.cover->BuildVertices();
  const bool drawn = RenderAlone(mgr, c.cover, c.small);
  c.cover->SetTexture(nullptr);  // the cover is deleted next
  if (!drawn) return nullptr;
  // The pattern spans the whole picture, as the blend widget spans the panel: its tiling rate is
  // measured against a picture of the pattern's own size.
  c.blend->SetUserData2(look.patternPicture ? look.patternPicture : c.small);
  c.hsv->SetS(look.saturation);  // both 0: the shader disables itself and its pass is skipped
  c.hsv->SetV(look.value);
  *tinted = Compiled(*c.hsv);
  for (CVShader* s : {static_cast<CVShader*>(c.gauss.get()), static_cast<CVShader*>(c.blend.get()),
                      static_cast<CVShader*>(c.hsv.get()), static_cast<CVShader*>(c.premultiply.get())})
    s->SetParams();
  const int hsvOn = c.hsv->IsActive() ? 1 : 0;
  if (hsvOn != c.hsvCounted) {
    c.board->RecountPasses();
    c.hsvCounted = hsvOn;
  }
  const bool filtered = RenderAlone(mgr, c.board, c.result);
  c.blend->SetUserData2(nullptr);  // the pattern's picture may go with its widget
  return filtered ? OpaqueCopy(mgr, c.result, w, h) : nullptr;
}

}  // namespace

void ReleaseCoverBackdropChain() { KeptChain().Drop(); }

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

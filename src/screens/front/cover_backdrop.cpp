#include "screens/front/cover_backdrop.h"

#include <algorithm>
#include <cmath>
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

// The whole filter as one effect of two passes at the backdrop's small size: the cover read small
// and blurred across, then the blur down with the pattern's fade, the HSV shift and the
// premultiply. Its weights and shifts are those the Gauss
// filter and HSV shaders work out (held here unloaded, for their arithmetic alone).
class CoverFilter : public CVShader {
 public:
  explicit CoverFilter(const char* patternFile) { pattern_ = LoadPattern(patternFile); }
  ~CoverFilter() override { FreePattern(pattern_); }
  void Load() override { LoadEffect("Data\\effect\\coverFilter.cfx", "COVER_FILTER"); }

  // The picture's size and look; patternRef (or, without one, the picture) is what the pattern's
  // tiling is measured against.
  void SetLook(int w, int h, float saturation, float value, CDGTexture* patternRef) {
    w_ = static_cast<float>(w);
    h_ = static_cast<float>(h);
    patternRef_ = patternRef;
    tint_.SetS(saturation);  // clamped to -1..1; a value that is not a number is no shift
    tint_.SetV(value);
  }

  void SetParams() override {
    if (!effect_) return;
    blur_.SetDispersion(kCoverBlurDispersion);
    effect_->SetValue("weight", blur_.Weights(), 8 * sizeof(float));
    const bool on = tint_.IsActive();
    effect_->SetFloat("tint", on ? 1.0f : 0.0f);
    effect_->SetFloat("dH", on ? tint_.H() : 0.0f);
    effect_->SetFloat("dS", on ? tint_.S() : 0.0f);
    effect_->SetFloat("dV", on ? tint_.V() : 0.0f);
    if (w_ <= 0 || h_ <= 0) return;
    // In texels of the small picture, whatever the size of the cover read in the first pass.
    CVShaderGaussFilter::SetTapOffsets(effect_, w_, h_);
    // No pattern (a blend widget without a picture) leaves the pattern unbound, which reads white.
    float rw = w_, rh = h_, pw = 0, ph = 0;
    if ((!patternRef_ || TextureSize(patternRef_, &rw, &rh)) && HolderSize(pattern_, &pw, &ph)) {
      effect_->SetTexture("PatternTex", pattern_->GetTexture());
      const float rate[2] = {rw / pw, rh / ph};
      effect_->SetValue("whRate", rate, sizeof rate);
    } else {
      effect_->SetTexture("PatternTex", nullptr);
    }
  }

  // The pattern's picture may go with its widget.
  void ForgetPatternRef() { patternRef_ = nullptr; }

 private:
  CVTexture* pattern_ = nullptr;
  CDGTexture* patternRef_ = nullptr;
  float w_ = 0, h_ = 0;
  CVShaderGaussFilter blur_;
  CVShaderHSV tint_;
};

// The chain's device objects, kept between backdrops so that a backdrop only draws: the board of
// the filter's two passes, which reads the cover and draws at the small size (with its effect,
// the compiled programs and its pass target), and the target of the result. Made again
// when the manager, the size or the pattern changes, or when any of them lost its device object
// (a manager that went detaches them); a device reset only empties the targets, and every
// backdrop draws them afresh. Never destroyed: it may outlive the manager, which detaches it.
class Chain {
 public:
  CDGBoardRenderer* board = nullptr;
  CDGTexture* result = nullptr;
  std::unique_ptr<CoverFilter> filter;

  bool Fits(CDGManager* mgr, int w, int h, const char* pattern) const {
    return mgr_ == mgr && w_ == w && h_ == h && pattern_ == (pattern ? pattern : "") && board && board->IsBuilt() &&
           result && result->HasTexture() && filter && Compiled(*filter);
  }

  bool Make(CDGManager* mgr, int w, int h, const char* pattern) {
    Drop();
    mgr_ = mgr;
    w_ = w;
    h_ = h;
    pattern_ = pattern ? pattern : "";
    result = mgr->CreateRenderTarget(w, h);
    if (!result) return false;
    board = MakeBoard(mgr, nullptr, w, h);
    // The whole of whatever texture it reads, into pass targets of the small size.
    board->SetSourceRect(-1, -1, static_cast<float>(w), static_cast<float>(h), true);
    filter = std::make_unique<CoverFilter>(pattern);
    filter->Load();
    filter->Enable();
    if (filter->GetEffect()) board->AttachResource(filter->GetEffect(), false, false);
    return true;
  }

  void Drop() {
    // The board lets go of the effect before the shader that made it goes.
    if (board) {
      board->ReleaseResources();
      board->Release();
    }
    board = nullptr;
    filter.reset();
    if (result) result->Release();
    result = nullptr;
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

// The cover read small and filtered in two passes through the board's own target (a render to
// texture draws every pass with premultiplied blending, so the first pass hands its colour and
// alpha on unchanged). Null when the device cannot.
CVTexture* FilterCover(CDGManager* mgr, CDGTexture* cover, const Look& look, int w, int h, bool* tinted) {
  Chain& c = KeptChain();
  if (!c.Fits(mgr, w, h, look.pattern) && !c.Make(mgr, w, h, look.pattern)) {
    c.Drop();
    return nullptr;
  }
  // The pattern spans the whole picture, as the blend widget spans the panel: its tiling rate is
  // measured against a picture of the pattern's own size.
  c.filter->SetLook(w, h, look.saturation, look.value, look.patternPicture);
  *tinted = Compiled(*c.filter);
  c.filter->SetParams();
  c.board->SetTexture(cover);
  c.board->BuildVertices();
  const bool filtered = RenderAlone(mgr, c.board, c.result);
  c.board->SetTexture(nullptr);  // the cover is deleted next
  c.filter->ForgetPatternRef();
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

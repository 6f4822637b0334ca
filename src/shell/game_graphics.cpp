#include "shell/game_graphics.h"

#include <atomic>
#include <cstdlib>
#include <memory>

#include "movie/movie_display.h"
#include "movie/movie_mgr.h"
#include "platform/text/log.h"
#include "render/dg_manager.h"
#include "render/text/glyph_cache.h"

namespace {

// Graphics objects are reference-counted: the owner drops its reference.
struct ReleaseRef {
  void operator()(CDGReferenceObject* o) const {
    if (o) o->Release();
  }
};
template <class T>
using RefPtr = std::unique_ptr<T, ReleaseRef>;

class GamePicture : public WindowPictureSource {
 public:
  bool DrawPicture(const DisplayLayout& l) override {
    if (!EnsureDevice()) return false;
    manager_->SetDrawableSize(l.displayW, l.displayH);
    manager_->SetViewRect(l.pictureX, l.pictureY, l.pictureW, l.pictureH);
    return manager_->RenderFrame();
  }

  bool PictureDrawn() const override { return !manager_ || manager_->LastFrameDrawn(); }

  bool DrawMovie(const DisplayLayout& l) override {
    if (!EnsureDevice()) return false;
    return movie_.Present({l.pictureX, l.pictureY, l.pictureW, l.pictureH}, l.displayW, l.displayH);
  }

  void UpdateRenderers() override {
    if (!EnsureDevice()) return;
    ApplySmooth();
    manager_->UpdateRenderers();
  }

  void SetSmooth(bool smooth) { wantedSmooth_.store(smooth ? 1 : 0); }

  void SwapRenderQueues() override {
    if (manager_) manager_->SwapRenderQueues();
  }

  bool CreateDevice() override {
    if (manager_) return true;
    RefPtr<CDGManager> mgr(new CDGManager());
    if (!mgr->CreateDevice(nullptr, true, 1280, 720, 32)) {
      plat::Log("gfx", "the drawing device could not be made");
      return false;
    }
    manager_ = std::move(mgr);
    // An unchanged picture is not drawn and presented again: an idle screen leaves the processor
    // nearly idle. V4_DRAW_EVERY_FRAME=1 draws every frame (for measuring the drawing).
    const char* every = std::getenv("V4_DRAW_EVERY_FRAME");
    manager_->SetSkipUnchangedFrames(!(every && *every && every[0] != '0'));
    SetDGManager(manager_.get());
    SetDefaultCamera();
    appliedSmooth_ = -1;
    ApplySmooth();
    movie_.SetDevice(manager_->Device());
    movie_.Attach(GetMovieMgr());
    resetFailed_ = false;
    return true;
  }

  void AdoptFrameThread() override {
    if (manager_) manager_->AdoptCurrentThread();
  }

  bool HasDevice() override { return manager_ != nullptr; }

  DeviceCoop TestCooperativeLevel() override {
    if (!manager_ || resetFailed_) return DeviceCoop::kNeedsRecreate;
    return manager_->IsDeviceLost() ? DeviceCoop::kNeedsReset : DeviceCoop::kOk;
  }

  // Render targets lose their pictures; textures and renderers stay. The scenes then re-create
  // what they drew into targets (the frame broadcasts the reset).
  bool ResetDevice() override {
    if (!manager_) return false;
    resetFailed_ = manager_->ResetDevice(true) != 0;
    if (resetFailed_) plat::Log("gfx", "the drawing device could not be reset");
    return !resetFailed_;
  }

  // A fresh device under the same manager: every texture and renderer moves onto it.
  bool RecreateDevice() override {
    if (!manager_) return CreateDevice();
    movie_.SetDevice(nullptr);  // its texture belongs to the old device
    bool ok = manager_->RecreateDevice();
    movie_.SetDevice(manager_->Device());
    if (ok) resetFailed_ = false;
    return ok;
  }

  void Release() {
    movie_.Detach(GetMovieMgr());
    movie_.SetDevice(nullptr);  // its texture goes with the manager's device
    TextTextureManagerInstance().ReleaseAll();
    if (manager_) {
      SetDGManager(nullptr);
      manager_.reset();
    }
    resetFailed_ = false;
  }

 private:
  // The device is made at start-up (CreateDevice); without one nothing is drawn.
  bool EnsureDevice() { return manager_ != nullptr; }

  void ApplySmooth() {
    int wanted = wantedSmooth_.load();
    if (wanted == appliedSmooth_) return;
    manager_->SetDefaultRenderStates(wanted != 0);
    appliedSmooth_ = wanted;
  }

  RefPtr<CDGManager> manager_;
  bool resetFailed_ = false;  // frame thread
  std::atomic<int> wantedSmooth_{1};
  int appliedSmooth_ = -1;  // frame thread
  MovieDisplay movie_;
};

GamePicture g_picture;

}  // namespace

WindowPictureSource& GetGamePicture() { return g_picture; }
void ReleaseGamePicture() { g_picture.Release(); }
void SetGamePictureSmooth(bool smooth) { g_picture.SetSmooth(smooth); }

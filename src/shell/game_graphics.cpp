#include "shell/game_graphics.h"

#include <atomic>
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

  void Release() {
    movie_.Detach(GetMovieMgr());
    movie_.SetDevice(nullptr);  // its texture goes with the manager's device
    TextTextureManagerInstance().ReleaseAll();
    if (manager_) {
      SetDGManager(nullptr);
      manager_.reset();
    }
    failed_ = false;
  }

 private:
  // The device needs the GL context, which only the frame thread holds: made on first use there.
  bool EnsureDevice() {
    if (manager_) return true;
    if (failed_) return false;
    RefPtr<CDGManager> mgr(new CDGManager());
    if (!mgr->CreateDevice(nullptr, true, 1280, 720, 32)) {
      plat::Log("gfx", "the drawing device could not be made");
      failed_ = true;
      return false;
    }
    mgr->SetCameraByDistance(100000, Vector3(0, 0, -1), Vector3(0, 0, 0), 0, 1, 200000, 1);
    manager_ = std::move(mgr);
    SetDGManager(manager_.get());
    appliedSmooth_ = -1;
    ApplySmooth();
    movie_.SetDevice(manager_->Device());
    movie_.Attach(GetMovieMgr());
    return true;
  }

  void ApplySmooth() {
    int wanted = wantedSmooth_.load();
    if (wanted == appliedSmooth_) return;
    manager_->SetDefaultRenderStates(wanted != 0);
    appliedSmooth_ = wanted;
  }

  RefPtr<CDGManager> manager_;
  bool failed_ = false;
  std::atomic<int> wantedSmooth_{1};
  int appliedSmooth_ = -1;  // frame thread
  MovieDisplay movie_;
};

GamePicture g_picture;

}  // namespace

WindowPictureSource& GetGamePicture() { return g_picture; }
void ReleaseGamePicture() { g_picture.Release(); }
void SetGamePictureSmooth(bool smooth) { g_picture.SetSmooth(smooth); }

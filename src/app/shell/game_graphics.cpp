#include "app/shell/game_graphics.h"

#include <memory>
#include <string>

#include "app/core/game_file.h"
#include "app/movie/movie_display.h"
#include "app/movie/movie_mgr.h"
#include "platform/text/log.h"
#include "render/dg_manager.h"
#include "render/render_demo.h"
#include "render/text/glyph_cache.h"
#include "render/text/text_renderer.h"

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
    if (demo_) demo_->Step();
    manager_->UpdateRenderers();
  }

  void SwapRenderQueues() override {
    if (!manager_) return;
    if (demo_) demo_->Queue();
    if (japanese_) japanese_->Queue(true);
    if (bitmap_) bitmap_->Queue(true);
    manager_->SwapRenderQueues();
  }

  void Release() {
    movie_.Detach(GetMovieMgr());
    movie_.SetDevice(nullptr);  // its texture goes with the manager's device
    japanese_.reset();
    bitmap_.reset();
    demo_.reset();
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
    demo_ = std::make_unique<RenderDemo>();
    if (!demo_->Load()) plat::Log("gfx", "the drawing demo's pictures are missing");
    MakeTextLines();
    movie_.SetDevice(manager_->Device());
    movie_.Attach(GetMovieMgr());
    return true;
  }

  // Screen-mode text: position in back-buffer pixels.
  RefPtr<CDGTextRenderer> MakeLine(float x, float y, const char* text, const std::string& face, int height,
                                            uint32_t color) {
    RefPtr<CDGTextRenderer> t(new CDGTextRenderer(manager_.get(), x, y, 0, text, face, height, 0, 0, 1, color));
    t->SetDrawMode(CDGTextRenderer::kScreen, false);
    t->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0), true);
    return t;
  }

  void MakeTextLines() {
    japanese_ = MakeLine(80, 600, "戦国の世、天下統一を目指せ", "", 32, 0xFFFFFFFF);
    japanese_->SetOutline(2, 0xFF202040, true);
    bitmap_ = MakeLine(80, 650, "VORNAKEST 4", std::string(GetModuleDir()) + "Data\\font\\gold.fnt", 24, 0xFFFFFFFF);
  }

  RefPtr<CDGManager> manager_;
  bool failed_ = false;
  std::unique_ptr<RenderDemo> demo_;
  RefPtr<CDGTextRenderer> japanese_;
  RefPtr<CDGTextRenderer> bitmap_;
  MovieDisplay movie_;
};

GamePicture g_picture;

}  // namespace

WindowPictureSource& GetGamePicture() { return g_picture; }
void ReleaseGamePicture() { g_picture.Release(); }

// One textured quad ("board"): in the world (origin + width * x axis + height * y axis, optionally
// turned to face the camera about a pivot) or in back-buffer pixels. With a multi-pass effect it
// draws through render targets of its own: pass 0 into a target, middle passes from one target
// into the other (never reading the target being drawn), the last pass shows the result.
#pragma once
#include <cstdint>

#include "core/vmath.h"
#include "platform/gl/gfx_device.h"
#include "render/dg_base.h"

class CDGBoardRenderer : public CDGRendererBase {
 public:
  enum Mode : uint32_t { kWorld = 0, kScreen = 1 };

  explicit CDGBoardRenderer(CDGManager* manager);

  // Each setter rebuilds at once when `rebuild` is set; it returns true when no rebuild was asked,
  // else the rebuild's result.
  bool SetPosition(float x, float y, float z, bool rebuild = false);
  bool SetAxes(const Vector3& xAxis, const Vector3& yAxis, bool rebuild = false);
  bool SetSize(float width, float height, bool rebuild = false);
  bool SetColors(uint32_t c0, uint32_t c1, uint32_t c2, uint32_t c3, bool rebuild = false);
  // In texels; a left (top) below zero means the whole width (height).
  bool SetSourceRect(float left, float top, float width, float height, bool rebuild = false);
  bool SetMode(uint32_t mode, bool rebuild = false);
  bool SetFacing(bool on, float pivotX, float pivotY, float pivotZ, bool rebuild = false);

  bool BuildVertices();
  virtual void UpdateWorld();

  void Update(float elapsedMs) override { UpdateWorld(); }
  void Draw(bool first, bool notFirst, bool notLast) override;
  float GetSortKey() override { return sortKey_; }
  CDGTexture* GetTexture() override { return texture_; }
  void SetTexture(CDGTexture* texture) override;
  // Whether screen pixel (x, y) lies on the board (the drawn area, pixel centres).
  bool HitTest(float x, float y) override;
  // As HitTest, and the texel there is not fully transparent (when the texture's pixels are
  // known; otherwise the geometric answer).
  bool HitTestPixel(float x, float y);
  void ReleaseResources() override;
  void ReleaseDeviceObjects();
  void OnMultiPass() override;
  void OnSinglePass() override;
  void OnManagerGone() override;

  void DisableZ();
  void RestoreZ();
  void SetAlphaBlend();
  void SetAddBlend();

  // Written directly by the owner: 1 = additive blending; 0 = no depth test while drawing.
  uint32_t additive = 0;
  uint8_t depthTestKept = 1;
  uint8_t flag2 = 0;

  // Read-outs for the owner and tests.
  const Matrix44& World() const { return world_; }
  uint32_t BuiltMode() const { return builtMode_; }
  bool IsBuilt() const { return built_; }
  uint32_t GetMode() const { return mode_; }
  CDGTexture* RenderTarget(int i) const { return targets_[i]; }
  const plat::WorldVertex* WorldQuad() const { return mainWorld_; }
  const plat::ScreenVertex* ScreenQuad() const { return mainScreen_; }

 protected:
  ~CDGBoardRenderer() override;

 private:
  // Solves the point against the board; s, t along the x and y edges.
  bool Locate(float x, float y, float* s, float* t);
  void TargetSize(int* w, int* h) const;
  CDGTexture* EnsureTarget(int i);
  bool DrawIntoTarget(CDGTexture* target, bool clear, plat::TextureId source, const plat::ScreenVertex* quad);

  Matrix44 world_;
  Vector3 position_{0, 0, 0};
  Vector3 xAxis_{1, 0, 0}, yAxis_{0, -1, 0};
  float width_ = 0, height_ = 0;
  float src_[4] = {-1, -1, 0, 0};
  uint32_t colors_[4] = {0, 0, 0, 0};
  float sortKey_ = 0;
  bool facing_ = false;
  Vector3 pivot_{0, 0, 0};
  CDGTexture* texture_ = nullptr;
  CDGTexture* targets_[2] = {nullptr, nullptr};
  int current_ = 0;  // target holding the latest multi-pass result
  // What the first pass last drew into target 0 (0: nothing known). The same key again means the
  // target still holds that picture, so the pass is not drawn again.
  uint64_t firstPassKey_ = 0;
  uint64_t FirstPassKey(plat::TextureId source, const CDGTexture* target) const;
  uint32_t builtMode_ = 0, mode_ = kWorld;
  bool built_ = false;
  bool savedZ_ = true;
  float u_[2] = {0, 1}, v_[2] = {0, 1};

  plat::WorldVertex mainWorld_[4] = {};
  plat::ScreenVertex mainScreen_[4] = {};
  plat::WorldVertex copyWorld_[4] = {};
  plat::ScreenVertex copyScreen_[4] = {};
  plat::ScreenVertex targetQuad_[4] = {};
  plat::ScreenVertex middleQuad_[4] = {};
};

#include "render/board_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "render/dg_manager.h"
#include "render/dg_math.h"
#include "render/dg_texture.h"

CDGBoardRenderer::CDGBoardRenderer(CDGManager* manager) : CDGRendererBase(manager) { BuildVertices(); }

CDGBoardRenderer::~CDGBoardRenderer() { ReleaseDeviceObjects(); }

bool CDGBoardRenderer::SetPosition(float x, float y, float z, bool rebuild) {
  position_ = Vector3(x, y, z);
  return rebuild ? BuildVertices() : true;
}

bool CDGBoardRenderer::SetAxes(const Vector3& xAxis, const Vector3& yAxis, bool rebuild) {
  xAxis.Normalize(xAxis_);
  yAxis.Normalize(yAxis_);
  return rebuild ? BuildVertices() : true;
}

bool CDGBoardRenderer::SetSize(float width, float height, bool rebuild) {
  width_ = width;
  height_ = height;
  return rebuild ? BuildVertices() : true;
}

bool CDGBoardRenderer::SetColors(uint32_t c0, uint32_t c1, uint32_t c2, uint32_t c3, bool rebuild) {
  colors_[0] = c0, colors_[1] = c1, colors_[2] = c2, colors_[3] = c3;
  return rebuild ? BuildVertices() : true;
}

bool CDGBoardRenderer::SetSourceRect(float left, float top, float width, float height, bool rebuild) {
  src_[0] = left, src_[1] = top, src_[2] = width, src_[3] = height;
  return rebuild ? BuildVertices() : true;
}

bool CDGBoardRenderer::SetMode(uint32_t mode, bool rebuild) {
  mode_ = mode;
  return rebuild ? BuildVertices() : true;
}

bool CDGBoardRenderer::SetFacing(bool on, float px, float py, float pz, bool rebuild) {
  facing_ = on;
  pivot_ = Vector3(px, py, pz);
  return rebuild ? BuildVertices() : true;
}

void CDGBoardRenderer::SetTexture(CDGTexture* texture) {
  if (texture == texture_) return;
  if (texture) texture->AddRef();
  if (texture_) texture_->Release();
  texture_ = texture;
}

bool CDGBoardRenderer::BuildVertices() {
  u_[0] = 0, u_[1] = 1, v_[0] = 0, v_[1] = 1;
  uint32_t tw = 0, th = 0;
  if (texture_ && texture_->GetSurfaceSize(&tw, &th) && tw && th) {
    if (std::lround(src_[0]) >= 0) {
      u_[0] = src_[0] / static_cast<float>(tw);
      u_[1] = (src_[0] + src_[2]) / static_cast<float>(tw);
    }
    if (std::lround(src_[1]) >= 0) {
      v_[0] = src_[1] / static_cast<float>(th);
      v_[1] = (src_[1] + src_[3]) / static_cast<float>(th);
    }
  }
  const Vector3 X(width_ * xAxis_.x, width_ * xAxis_.y, width_ * xAxis_.z);
  const Vector3 Y(height_ * yAxis_.x, height_ * yAxis_.y, height_ * yAxis_.z);
  const Vector3 off[4] = {Vector3(0, 0, 0), X, Y, Vector3(X.x + Y.x, X.y + Y.y, X.z + Y.z)};
  const float us[4] = {u_[0], u_[1], u_[0], u_[1]}, vs[4] = {v_[0], v_[0], v_[1], v_[1]};
  const float cu[4] = {0, 1, 0, 1}, cv[4] = {0, 0, 1, 1};
  for (int i = 0; i < 4; ++i) {
    mainWorld_[i] = plat::WorldVertex{off[i].x, off[i].y, off[i].z, colors_[i], us[i], vs[i]};
    // Pixel centres lie on integers: -0.5 puts texel edges on pixel edges.
    mainScreen_[i] = plat::ScreenVertex{
        position_.x + off[i].x - 0.5f, position_.y + off[i].y - 0.5f, 0.5f, 1.0f, colors_[i], us[i], vs[i]};
    copyWorld_[i] = mainWorld_[i];
    copyWorld_[i].u = cu[i], copyWorld_[i].v = cv[i];
    copyScreen_[i] = mainScreen_[i];
    copyScreen_[i].u = cu[i], copyScreen_[i].v = cv[i];
  }
  int rw = 0, rh = 0;
  TargetSize(&rw, &rh);
  const float xs[4] = {-0.5f, rw - 0.5f, -0.5f, rw - 0.5f}, ys[4] = {-0.5f, -0.5f, rh - 0.5f, rh - 0.5f};
  for (int i = 0; i < 4; ++i) {
    targetQuad_[i] = plat::ScreenVertex{xs[i], ys[i], 0.5f, 1.0f, 0xFFFFFFFFu, us[i], vs[i]};
    middleQuad_[i] = plat::ScreenVertex{xs[i], ys[i], 0.5f, 1.0f, 0xFFFFFFFFu, cu[i], cv[i]};
  }
  builtMode_ = mode_;
  if (!manager_ || !manager_->Device()) {
    built_ = false;
    return false;
  }
  built_ = true;
  if (mode_ == kWorld)
    UpdateWorld();
  else
    world_.Identity();
  if (mode_ != kWorld) sortKey_ = position_.z;
  return true;
}

void CDGBoardRenderer::UpdateWorld() {
  world_.Identity();
  if (mode_ != kWorld) {
    sortKey_ = position_.z;
    return;
  }
  if (facing_ && manager_) {
    Matrix44 t;
    t.Translation(pivot_.x, pivot_.y, pivot_.z);
    t.Multiply(manager_->CameraFacingMatrix(), world_);
    world_.m[3][0] = position_.x - pivot_.x + world_.m[3][0];
    world_.m[3][1] = position_.y - pivot_.y + world_.m[3][1];
    world_.m[3][2] = position_.z - pivot_.z + world_.m[3][2];
  } else {
    world_.m[3][0] = position_.x;
    world_.m[3][1] = position_.y;
    world_.m[3][2] = position_.z;
  }
  if (manager_) {
    Matrix44 wv;
    world_.Multiply(manager_->ViewMatrix(), wv);
    sortKey_ = -wv.m[3][2];
  } else {
    sortKey_ = position_.z;
  }
}

void CDGBoardRenderer::DisableZ() {
  plat::GfxDevice* dev = manager_ ? manager_->Device() : nullptr;
  if (!dev) return;
  savedZ_ = dev->GetZEnable();
  dev->SetZEnable(false);
}

void CDGBoardRenderer::RestoreZ() {
  if (plat::GfxDevice* dev = manager_ ? manager_->Device() : nullptr) dev->SetZEnable(savedZ_);
}

void CDGBoardRenderer::SetAlphaBlend() {
  if (plat::GfxDevice* dev = manager_ ? manager_->Device() : nullptr)
    dev->SetBlend(plat::BlendFactor::SrcAlpha, plat::BlendFactor::InvSrcAlpha);
}

void CDGBoardRenderer::SetAddBlend() {
  if (plat::GfxDevice* dev = manager_ ? manager_->Device() : nullptr)
    dev->SetBlend(plat::BlendFactor::SrcAlpha, plat::BlendFactor::One);
}

// The multi-pass target covers the source rectangle: |width| x |height| (a mirrored rectangle has
// a negative size), or the texture's size when no rectangle is set.
void CDGBoardRenderer::TargetSize(int* w, int* h) const {
  *w = static_cast<int>(std::lround(std::fabs(src_[2])));
  *h = static_cast<int>(std::lround(std::fabs(src_[3])));
  uint32_t tw = 0, th = 0;
  if ((*w == 0 || *h == 0) && texture_ && texture_->GetSurfaceSize(&tw, &th)) {
    *w = static_cast<int>(tw);
    *h = static_cast<int>(th);
  }
}

CDGTexture* CDGBoardRenderer::EnsureTarget(int i) {
  if (targets_[i] && targets_[i]->HasTexture()) return targets_[i];
  if (!manager_) return nullptr;
  int w = 0, h = 0;
  TargetSize(&w, &h);
  if (w <= 0 || h <= 0) return nullptr;
  if (targets_[i]) targets_[i]->Release();
  targets_[i] = manager_->CreateRenderTarget(w, h);
  return targets_[i];
}

bool CDGBoardRenderer::DrawIntoTarget(CDGTexture* target, bool clear, plat::TextureId source,
                                      const plat::ScreenVertex* quad) {
  plat::GfxDevice* dev = manager_->Device();
  const plat::TextureId old = dev->GetRenderTarget();
  if (!dev->SetRenderTarget(target->DeviceId())) {
    dev->SetRenderTarget(old);
    return false;
  }
  if (clear) dev->Clear(true, true, 0x00000000u, 1.0f);
  dev->BindTexture(source);
  DisableZ();
  dev->DrawScreenQuad(quad);
  RestoreZ();
  dev->BindTexture(0);
  dev->SetRenderTarget(old);
  manager_->ApplyCameraToDevice();
  return true;
}

void CDGBoardRenderer::Draw(bool first, bool notFirst, bool notLast) {
  plat::GfxDevice* dev = manager_ ? manager_->Device() : nullptr;
  if (!dev || !built_) return;
  if (additive == 1) SetAddBlend();
  const plat::TextureId own = texture_ && texture_->HasTexture() ? texture_->DeviceId() : 0;
  CDGTexture* cur = targets_[current_];
  const bool multi = cur && cur->HasTexture() && (notFirst || notLast);

  if (multi && notLast) {
    if (!notFirst) {
      // Pass 0: the board's texture into the first target, unless the target still holds what
      // the same pass drew from the same picture (a blurred backdrop that stands still).
      current_ = 0;
      if (CDGTexture* t = EnsureTarget(0)) {
        const uint64_t key = FirstPassKey(own, t);
        plat::FrameHashDevice* front = manager_->HashDevice();
        if (key == 0 || key != firstPassKey_) {
          if (front->InDryFrame()) {
            DrawIntoTarget(t, true, own, targetQuad_);  // fingerprinted only: the target is not drawn
          } else {
            firstPassKey_ = DrawIntoTarget(t, true, own, targetQuad_) ? key : 0;
          }
        }
      }
    } else {
      // Middle pass: read the latest result, write the other target.
      const int next = 1 - current_;
      if (next == 0) firstPassKey_ = 0;  // the first pass's picture is drawn over
      CDGTexture* dst = EnsureTarget(next);
      if (dst && DrawIntoTarget(dst, true, targets_[current_]->DeviceId(), middleQuad_)) current_ = next;
    }
  } else {
    const bool showTarget = multi && notFirst;  // last of several passes
    dev->BindTexture(showTarget ? targets_[current_]->DeviceId() : own);
    if (mode_ == kWorld) {
      const bool noZ = !depthTestKept;
      if (noZ) DisableZ();
      dev->SetWorld(&world_.m[0][0]);
      dev->DrawQuad(showTarget ? copyWorld_ : mainWorld_);
      const Matrix44 identity;
      dev->SetWorld(&identity.m[0][0]);
      if (noZ) RestoreZ();
    } else {
      DisableZ();
      dev->DrawScreenQuad(showTarget ? copyScreen_ : mainScreen_);
      RestoreZ();
    }
    dev->BindTexture(0);
  }
  if (additive) SetAlphaBlend();
}

uint64_t CDGBoardRenderer::FirstPassKey(plat::TextureId source, const CDGTexture* target) const {
  plat::FrameHashDevice* front = manager_->HashDevice();
  // Only inside a frame do draws into targets leave the content count alone, and only a picture
  // that is not itself a render target changes nowhere but through the count.
  if (!front->InFrame() || (texture_ && texture_->IsRenderTarget())) return 0;
  struct {
    uint64_t state;
    uint64_t source, target;
    plat::ScreenVertex quad[4];
  } key{};
  key.state = front->DrawStateKey();
  key.source = source;
  key.target = target->DeviceId();
  std::memcpy(key.quad, targetQuad_, sizeof key.quad);
  uint64_t h = 0xCBF29CE484222325ull;
  const auto* p = reinterpret_cast<const uint8_t*>(&key);
  for (size_t i = 0; i < sizeof key; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
  return h == 0 ? 1 : h;
}

void CDGBoardRenderer::OnMultiPass() {
  OnSinglePass();
  if (!manager_ || !manager_->Device()) return;
  EnsureTarget(0);
  current_ = 0;
  BuildVertices();
}

void CDGBoardRenderer::OnSinglePass() {
  firstPassKey_ = 0;
  for (CDGTexture*& t : targets_) {
    if (t) t->Release();
    t = nullptr;
  }
  current_ = 0;
}

void CDGBoardRenderer::ReleaseDeviceObjects() {
  SetTexture(nullptr);
  OnSinglePass();
  built_ = false;
}

void CDGBoardRenderer::ReleaseResources() { CDGRendererBase::ReleaseResources(); }

void CDGBoardRenderer::OnManagerGone() {
  ReleaseDeviceObjects();
  CDGRendererBase::OnManagerGone();
}

bool CDGBoardRenderer::Locate(float x, float y, float* s, float* t) {
  if (!manager_) return false;
  const Vector3 X(width_ * xAxis_.x, width_ * xAxis_.y, width_ * xAxis_.z);
  const Vector3 Y(height_ * yAxis_.x, height_ * yAxis_.y, height_ * yAxis_.z);
  if (mode_ != kWorld) {
    // Drawn corners are at position - 0.5 + s X + t Y; pixel (x, y) has its centre at (x, y).
    const float dx = x - (position_.x - 0.5f), dy = y - (position_.y - 0.5f);
    const float det = X.x * Y.y - X.y * Y.x;
    if (det == 0.0f) return false;
    *s = (dx * Y.y - dy * Y.x) / det;
    *t = (X.x * dy - X.y * dx) / det;
    return true;
  }
  // Unproject the pixel into a ray and meet the board's plane (a box probe would need sorted
  // corners, which the default axes do not give).
  Matrix44 vp, vpv, inv;
  manager_->ViewMatrix().Multiply(manager_->ProjectionMatrix(), vp);
  vp.Multiply(manager_->ViewportMatrix(), vpv);
  if (!vpv.Inverse(inv)) return false;
  Vector3 p0, p1;
  inv.TransformCoord(Vector3(x, y, 0.0f), p0);
  inv.TransformCoord(Vector3(x, y, 1.0f), p1);
  const Vector3 o = TransformPoint(Vector3(0, 0, 0), world_);
  const Vector3 ex = TransformNormal(X, world_), ey = TransformNormal(Y, world_);
  const Vector3 n = Cross(ex, ey);
  const Vector3 dir(p1.x - p0.x, p1.y - p0.y, p1.z - p0.z);
  const float denom = Dot(n, dir);
  if (std::fabs(denom) < 1e-12f) return false;
  const float k = Dot(n, Vector3(o.x - p0.x, o.y - p0.y, o.z - p0.z)) / denom;
  const Vector3 d(p0.x + k * dir.x - o.x, p0.y + k * dir.y - o.y, p0.z + k * dir.z - o.z);
  const float a = Dot(ex, ex), b = Dot(ex, ey), c = Dot(ey, ey);
  const float det = a * c - b * b;
  if (det == 0.0f) return false;
  const float dx = Dot(ex, d), dy = Dot(ey, d);
  *s = (dx * c - dy * b) / det;
  *t = (a * dy - b * dx) / det;
  return true;
}

bool CDGBoardRenderer::HitTest(float x, float y) {
  float s = 0, t = 0;
  if (!Locate(x, y, &s, &t)) return false;
  // Half-open, as the drawn area is: the far edges belong to the next pixel.
  const float eps = 1e-5f;
  return s >= -eps && s < 1.0f - eps && t >= -eps && t < 1.0f - eps;
}

bool CDGBoardRenderer::HitTestPixel(float x, float y) {
  float s = 0, t = 0;
  if (!Locate(x, y, &s, &t)) return false;
  const float eps = 1e-5f;
  if (!(s >= -eps && s < 1.0f - eps && t >= -eps && t < 1.0f - eps)) return false;
  uint32_t tw = 0, th = 0;
  if (!texture_ || !texture_->GetSurfaceSize(&tw, &th)) return true;
  // The texel the rasteriser samples for this pixel.
  const float u = u_[0] + (u_[1] - u_[0]) * s;
  const float v = v_[0] + (v_[1] - v_[0]) * t;
  const int tx = std::clamp(static_cast<int>(std::floor(u * static_cast<float>(tw))), 0, static_cast<int>(tw) - 1);
  const int ty = std::clamp(static_cast<int>(std::floor(v * static_cast<float>(th))), 0, static_cast<int>(th) - 1);
  uint8_t alpha = 0;
  if (!texture_->GetTexelAlpha(tx, ty, &alpha)) return true;
  return alpha != 0;
}

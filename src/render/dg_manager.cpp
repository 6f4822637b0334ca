#include "render/dg_manager.h"

#include <algorithm>
#include <cfloat>
#include <ctime>
#include <cmath>
#include <vector>

#include "platform/text/log.h"
#include "render/dg_math.h"

namespace {
CDGManager* g_dgManager = nullptr;
}

CDGManager* GetDGManager() { return g_dgManager; }
void SetDGManager(CDGManager* manager) { g_dgManager = manager; }

bool SetDefaultCamera() {
  if (!g_dgManager) return false;
  return g_dgManager->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0.0f, 1.0f, 200000.0f,
                                          CDGManager::kOrthographic);
}

void SetTextureAddressClamp(int flag) {
  if (!g_dgManager) return;
  if (flag == 0) {
    g_dgManager->SetTextureWrap();
  } else {
    g_dgManager->SetTextureClamp();
  }
}

CDGManager::CDGManager() {}

CDGManager::~CDGManager() {
  // Renderers and textures are owned by their users, who may outlive the manager: detach them so
  // that they never reach a dead device, rather than deleting them under their owners.
  std::vector<CDGRendererBase*> renderers(updateList_.begin(), updateList_.end());
  updateList_.clear();
  queues_[0].clear();
  queues_[1].clear();
  overlay_.clear();
  for (CDGRendererBase* r : renderers) r->OnManagerGone();
  effectManager_.DetachAll();
  textureManager_.DeleteAll();
  std::vector<CDGTexture*> textures(textures_.begin(), textures_.end());
  textures_.clear();
  for (CDGTexture* t : textures) t->OnManagerGone();
  device_.reset();
  if (g_dgManager == this) g_dgManager = nullptr;
}

uint32_t CDGManager::Now() const {
  if (clock_) return clock_();
  // <chrono> does not compile with the CP932 execution charset; the monotonic clock does the same.
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

void CDGManager::SetClock(std::function<uint32_t()> clock) {
  clock_ = std::move(clock);
  lastUpdate_ = Now();
}

bool CDGManager::CreateDevice(void* /*window*/, bool windowed, int width, int height, int /*bpp*/) {
  return CreateDeviceWith([](int w, int h) { return plat::CreateGlDevice(w, h); }, windowed, width, height);
}

bool CDGManager::CreateDeviceWith(DeviceFactory factory, bool windowed, int width, int height) {
  if (ready_ || !factory || width <= 0 || height <= 0) return false;
  std::unique_ptr<plat::GfxDevice> made = factory(width, height);
  if (!made) return false;
  device_ = std::make_unique<plat::FrameHashDevice>(std::move(made));
  factory_ = std::move(factory);
  deviceThread_ = std::this_thread::get_id();
  width_ = width;
  height_ = height;
  updateList_.clear();
  screen_[0] = screen_[1] = 0;
  screen_[2] = static_cast<float>(width);
  screen_[3] = static_cast<float>(height);
  // Viewport (0, 0, width, height, 0, 1) as a matrix from normalised coordinates to pixels.
  viewportMatrix_.Identity();
  viewportMatrix_.m[0][0] = static_cast<float>(width) * 0.5f;
  viewportMatrix_.m[1][1] = -static_cast<float>(height / 2);
  viewportMatrix_.m[2][2] = 1.0f;
  viewportMatrix_.m[3][0] = static_cast<float>(width / 2);
  viewportMatrix_.m[3][1] = static_cast<float>(height / 2);
  viewportMatrix_.m[3][2] = 0.0f;
  ready_ = true;
  SetDefaultRenderStates(true);
  SetViewRect(0, 0, width, height);
  if (drawableW_ == 0) SetDrawableSize(width, height);
  presentSource_ = plat::Rect{0, 0, width, height};
  lastUpdate_ = Now();
  presentWhole_ = !windowed;
  return true;
}

int32_t CDGManager::ResetDevice(bool notFullScreen) {
  if (!device_) return static_cast<int32_t>(0x80004005u);
  textureManager_.OnLostDevice();
  effectManager_.OnLostDevice();
  const bool ok = device_->Reset();
  forceRedraw_ = true;
  effectManager_.OnResetDevice();
  SetDefaultRenderStates(smooth_);
  ApplyCameraToDevice();
  presentWhole_ = !notFullScreen;
  return ok ? 0 : static_cast<int32_t>(0x80004005u);
}

bool CDGManager::RecreateDevice() {
  if (!ready_ || !factory_) return false;
  std::unique_ptr<plat::GfxDevice> made = factory_(width_, height_);
  if (!made) return false;
  auto fresh = std::make_unique<plat::FrameHashDevice>(std::move(made));
  bool ok = true;
  // Programs belong to the old device: drop them while it lives, compile again on the new one.
  effectManager_.OnLostDevice();
  effectManager_.ClearCache();
  for (CDGTexture* t : textures_)
    if (t->HasTexture() && !t->MoveToDevice(fresh.get())) ok = false;
  // The old device's objects go with it.
  device_ = std::move(fresh);
  forceRedraw_ = true;
  SetDefaultRenderStates(smooth_);
  ApplyCameraToDevice();
  effectManager_.OnResetDevice();
  if (!ok) plat::Log("gl", "some textures could not be moved to the new device");
  return true;
}

void CDGManager::SetDefaultRenderStates(bool smooth) {
  smooth_ = smooth;
  if (!device_) return;
  device_->SetFlatShading(!smooth);
  device_->SetLinearFilter(smooth);
  device_->SetBlend(plat::BlendFactor::SrcAlpha, plat::BlendFactor::InvSrcAlpha);
  device_->SetZEnable(true);
  SetTextureClamp();
}

void CDGManager::SetTextureWrap() {
  wrap_ = true;
  if (device_) device_->SetTextureWrap(true);
}

void CDGManager::SetTextureClamp() {
  wrap_ = false;
  if (device_) device_->SetTextureWrap(false);
}

void CDGManager::SetViewRect(int left, int top, int width, int height) {
  viewRect_[0] = left;
  viewRect_[1] = top;
  viewRect_[2] = left + width;
  viewRect_[3] = top + height;
}

void CDGManager::SetDrawableSize(int width, int height) {
  drawableW_ = width;
  drawableH_ = height;
}

void CDGManager::SetPresentSource(int left, int top, int width, int height) {
  presentSource_ = plat::Rect{left, top, width, height};
}

Vector3 CDGManager::UpVector(const Vector3& direction, float roll) {
  Vector3 d;
  direction.Normalize(d);
  Vector3 a(-d.z, 0.0f, d.x);
  if (a.x == 0.0f && a.y == 0.0f && a.z == 0.0f) return Vector3(0.0f, 0.0f, 1.0f);
  Vector3 an;
  a.Normalize(an);
  Vector3 up = RotateAboutAxis(d, an, 1.5707964f);
  Vector3 n;
  up.Normalize(n);
  up = RotateAboutAxis(n, d, roll);
  up.Normalize(n);
  return n;
}

bool CDGManager::SetView(const Vector3& eye, const Vector3& lookAt, const Vector3& up) {
  if (!ready_ || !device_) return false;
  view_ = LookAtLH(eye, lookAt, up);
  const Vector3 back(eye.x - lookAt.x, eye.y - lookAt.y, eye.z - lookAt.z);
  Matrix44 look = LookAtLH(Vector3(0, 0, 0), back, up);
  Matrix44 inv;
  if (look.Inverse(inv)) facing_ = inv;
  device_->SetView(&view_.m[0][0]);
  return true;
}

void CDGManager::SetNearFar(float nearZ, float farZ) {
  if (!ready_) return;
  near_ = nearZ - 0.5f;
  far_ = farZ + 0.5f;
  if (far_ < near_) near_ = farZ;
  near_ = std::max(near_, 1.0f);
}

bool CDGManager::SetProjection(int kind, float fov) {
  if (!ready_ || !device_) return false;
  const float w = screen_[2] - screen_[0], h = screen_[3] - screen_[1];
  if (kind == kPerspective)
    projection_ = PerspectiveFovLH(fov, w / h, near_, far_);
  else if (kind == kOrthographic)
    projection_ = OrthoLH(w, h, near_, far_);
  else
    return false;
  device_->SetProjection(&projection_.m[0][0]);
  return true;
}

bool CDGManager::SetCamera(const Vector3& eye, const Vector3& lookAt, float roll, float fov, float nearZ, float farZ,
                           int kind) {
  const Vector3 d(lookAt.x - eye.x, lookAt.y - eye.y, lookAt.z - eye.z);
  const Vector3 up = UpVector(d, roll);
  if (!SetView(eye, lookAt, up)) return false;
  SetNearFar(nearZ, farZ);
  return SetProjection(kind, fov);
}

bool CDGManager::SetCameraByDistance(float distance, const Vector3& direction, const Vector3& lookAt, float roll,
                                     float nearZ, float farZ, int kind) {
  if (distance == 0.0f) return false;
  const float h = screen_[3] - screen_[1];
  const float fov = 2.0f * std::atan((h / 2.0f) / distance);
  Vector3 d;
  direction.Normalize(d);
  const Vector3 eye(lookAt.x - distance * d.x, lookAt.y - distance * d.y, lookAt.z - distance * d.z);
  const Vector3 up = UpVector(d, roll);
  if (!SetView(eye, lookAt, up)) return false;
  SetNearFar(nearZ, farZ);
  return SetProjection(kind, fov);
}

void CDGManager::ApplyCameraToDevice() {
  if (!device_) return;
  device_->SetView(&view_.m[0][0]);
  device_->SetProjection(&projection_.m[0][0]);
  device_->SetViewport(0, 0, width_, height_, 0.0f, 1.0f);
}

bool CDGManager::AddToUpdateList(CDGRendererBase* renderer) {
  if (!ready_ || !renderer) return false;
  updateList_.push_back(renderer);
  if (updating_) leftDuringUpdate_.erase(renderer);
  return true;
}

bool CDGManager::QueueRender(CDGRendererBase* renderer) {
  if (!ready_ || !renderer) return false;
  queues_[(current_ + 1) % 2].push_back(renderer);
  return true;
}

bool CDGManager::RemoveRenderer(CDGRendererBase* renderer) {
  if (!renderer) return false;
  // Every entry goes: a renderer queued twice and then destroyed must leave nothing behind.
  updateList_.remove(renderer);
  if (updating_) leftDuringUpdate_.insert(renderer);
  queues_[0].remove(renderer);
  queues_[1].remove(renderer);
  overlay_.remove(renderer);
  return ready_;
}

void CDGManager::AddToOverlayList(CDGRendererBase* renderer) { overlay_.push_back(renderer); }
void CDGManager::ClearOverlayList() { overlay_.clear(); }

void CDGManager::UpdateRenderers() {
  overlay_.clear();
  const uint32_t now = Now();
  const float elapsed = static_cast<float>(static_cast<uint32_t>(now - lastUpdate_)) * timeScale_;
  // A renderer may remove others while updating: walk a copy and skip those that left (and did
  // not come back). The leavers are noted as they go; searching the list for each entry made the
  // walk quadratic in the number of renderers.
  std::vector<CDGRendererBase*> list(updateList_.begin(), updateList_.end());
  leftDuringUpdate_.clear();
  updating_ = true;
  for (CDGRendererBase* r : list)
    if (!leftDuringUpdate_.count(r)) r->Update(elapsed);
  updating_ = false;
  leftDuringUpdate_.clear();
  lastUpdate_ = now;
}

void CDGManager::SwapRenderQueues() {
  queues_[current_].clear();
  current_ = (current_ + 1) % 2;
}

void CDGManager::SortQueue(std::list<CDGRendererBase*>& queue) {
  // std::list::sort is a stable merge sort: equal keys keep their queueing order.
  queue.sort([](CDGRendererBase* a, CDGRendererBase* b) {
    const float ka = a ? a->GetSortKey() : -FLT_MAX;
    const float kb = b ? b->GetSortKey() : -FLT_MAX;
    return ka < kb;
  });
}

void CDGManager::QueueUpload(CDGTexture* texture, const plat::Rect& dst, std::vector<uint8_t> rgba) {
  std::lock_guard<std::mutex> lock(uploadMutex_);
  uploads_.push_back(Upload{texture, dst, std::move(rgba)});
}

void CDGManager::DropUploads(CDGTexture* texture) {
  std::lock_guard<std::mutex> lock(uploadMutex_);
  uploads_.erase(
      std::remove_if(uploads_.begin(), uploads_.end(), [texture](const Upload& u) { return u.texture == texture; }),
      uploads_.end());
}

void CDGManager::ApplyUploads() {
  std::vector<Upload> pending;
  {
    std::lock_guard<std::mutex> lock(uploadMutex_);
    pending.swap(uploads_);
  }
  for (Upload& u : pending) u.texture->ApplyUpload(u.dst, u.rgba);
}

bool CDGManager::RenderFrame() {
  // A lost device presents nothing until it is reset; the frame treats false as "lost".
  lastFrameDrawn_ = false;
  if (!ready_ || !device_ || device_->IsLost()) return false;
  ApplyUploads();
  auto& queue = queues_[current_];
  SortQueue(queue);
  if (!skipUnchanged_) {
    lastFrameDrawn_ = true;
    ++frameStats_.drawn;
    // Inside a frame, draws into render targets are the frame's own and count as no content change.
    device_->BeginFrame(false);
    const bool ok = DrawQueue(queue);
    device_->EndFrame();
    return ok;
  }
  const uint32_t now = Now();
  const bool due = forceRedraw_ || static_cast<uint32_t>(now - lastDrawnMs_) >= kKeepAliveMs;
  if (steady_ && !due) {
    device_->BeginFrame(true);
    DrawQueue(queue);
    const uint64_t hash = device_->EndFrame();
    ++frameStats_.dryRuns;
    if (!device_->Spoiled() && hash == lastHash_) {
      ++frameStats_.skipped;
      return true;
    }
  }
  device_->BeginFrame(false);
  const bool ok = DrawQueue(queue);
  const uint64_t hash = device_->EndFrame();
  steady_ = hash == lastHash_;
  lastHash_ = hash;
  lastDrawnMs_ = now;
  forceRedraw_ = !ok;
  lastFrameDrawn_ = true;
  ++frameStats_.drawn;
  return ok;
}

bool CDGManager::DrawQueue(const std::list<CDGRendererBase*>& queue) {
  device_->SetRenderTarget(0);
  ApplyCameraToDevice();
  device_->Clear(true, true, 0xFF000000u, 1.0f);
  std::vector<CDGRendererBase*> order(queue.begin(), queue.end());
  for (CDGRendererBase* r : order)
    if (r) r->Render();
  device_->Flush();
  plat::Rect dst{viewRect_[0], viewRect_[1], viewRect_[2] - viewRect_[0], viewRect_[3] - viewRect_[1]};
  plat::Rect src = presentWhole_ ? plat::Rect{0, 0, width_, height_} : presentSource_;
  return device_->Present(src, dst, drawableW_, drawableH_);
}

CDGTexture* CDGManager::RenderToTexture(int width, int height) {
  if (!ready_ || !device_) return nullptr;
  CDGTexture* target = textureManager_.CreateRenderTarget(this, width, height);
  if (!target) return nullptr;
  if (!RenderToTarget(target)) {
    target->Release();
    return nullptr;
  }
  return target;
}

bool CDGManager::RenderToTarget(CDGTexture* target) {
  if (!ready_ || !device_ || !target || !target->IsRenderTarget() || !target->HasTexture()) return false;
  const plat::TextureId old = device_->GetRenderTarget();
  if (!device_->SetRenderTarget(target->DeviceId())) {
    device_->SetRenderTarget(old);
    return false;
  }
  SortQueue(overlay_);
  device_->Clear(true, true, 0x00000000u, 1.0f);
  std::vector<CDGRendererBase*> order(overlay_.begin(), overlay_.end());
  // The picture is composited later: it holds premultiplied colour, so a translucent part is as
  // bright in it as on the screen.
  device_->SetPremultipliedOutput(true);
  for (CDGRendererBase* r : order) {
    if (!r) continue;
    device_->SetBlend(plat::BlendFactor::One, plat::BlendFactor::InvSrcAlpha);
    r->Render();
  }
  device_->Flush();
  device_->SetPremultipliedOutput(false);
  device_->SetRenderTarget(old);
  ApplyCameraToDevice();
  device_->SetBlend(plat::BlendFactor::SrcAlpha, plat::BlendFactor::InvSrcAlpha);
  return true;
}

CDGTexture* CDGManager::LoadTextureFromFile(const char* name) {
  if (!ready_) return nullptr;
  return textureManager_.LoadFromFile(this, name);
}

CDGTexture* CDGManager::LoadTextureFromLoader(const char* name, CDGFileLoad* loader, int mode) {
  if (!ready_) return nullptr;
  return textureManager_.LoadFromLoader(this, name, loader, mode);
}

CDGTexture* CDGManager::CreateRenderTarget(int width, int height) {
  if (!ready_) return nullptr;
  return textureManager_.CreateRenderTarget(this, width, height);
}

// The graphics device manager: the drawing device, the camera, the renderer lists (update list,
// two render queues, overlay list), the frame, and the texture and effect caches.
#pragma once
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <string>
#include <memory>
#include <mutex>
#include <set>
#include <unordered_set>
#include <thread>
#include <vector>

#include "core/vmath.h"
#include "platform/gl/frame_hash_device.h"
#include "platform/gl/gfx_device.h"
#include "render/dg_base.h"
#include "render/dg_texture.h"

struct CompiledEffect;

// Every live effect, so that device loss and re-creation reach them all, and the cache of compiled
// effect files (one compile per file text and device).
class CDGEffectManager {
 public:
  void OnLostDevice();
  void OnResetDevice();
  // False for null; else inserts (an effect is held once).
  bool Add(CDGEffect* effect);
  // Drops one reference; true (and out of the set) only when that deleted the effect.
  bool ReleaseEffect(CDGEffect* effect);
  bool Remove(CDGEffect* effect);
  void Register(CDGEffect* effect) { Add(effect); }
  void Unregister(CDGEffect* effect) { Remove(effect); }
  size_t Count() const { return effects_.size(); }
  bool Contains(CDGEffect* effect) const { return effects_.count(effect) != 0; }
  // The manager is going away: every effect forgets it.
  void DetachAll();

  // The compiled form of an effect file's text on the device, from the cache or compiled now.
  std::shared_ptr<CompiledEffect> Compile(plat::GfxDevice* device, const std::string& text, std::string* error);
  void ClearCache() { cache_.clear(); }
  size_t CachedCount() const { return cache_.size(); }

 private:
  std::set<CDGEffect*> effects_;
  std::map<std::string, std::weak_ptr<CompiledEffect>> cache_;
};

using DeviceFactory = std::function<std::unique_ptr<plat::GfxDevice>(int width, int height)>;

class CDGManager : public CDGReferenceObject {
 public:
  enum ProjectionKind { kPerspective = 0, kOrthographic = 1 };

  CDGManager();  // Init
  ~CDGManager() override;

  // An OpenGL device on the context current on this thread (the window and bits per pixel are
  // the frame's business). False when the device cannot be made.
  bool CreateDevice(void* window, bool windowed, int width, int height, int bpp);
  // The same with any device maker (tests use the null device); kept for re-creation.
  bool CreateDeviceWith(DeviceFactory factory, bool windowed, int width, int height);
  // Clears a lost state: render targets lose their contents, every object stays valid.
  // 0 on success, 0x80004005 without a device.
  int32_t ResetDevice(bool notFullScreen);
  // Builds a fresh device in place of the current one and moves every texture, render target and
  // renderer onto it; every pointer held elsewhere stays valid. False (device kept) on failure.
  bool RecreateDevice();
  bool IsDeviceLost() const { return device_ && device_->IsLost(); }

  void SetDefaultRenderStates(bool smooth);
  void SetTextureWrap();
  void SetTextureClamp();
  // Where the back buffer is shown: a rectangle of the drawable (may have negative offsets).
  void SetViewRect(int left, int top, int width, int height);
  void SetDrawableSize(int width, int height);
  // Windowed only: show just this part of the back buffer (default: all of it).
  void SetPresentSource(int left, int top, int width, int height);

  bool SetCamera(const Vector3& eye, const Vector3& lookAt, float roll, float fov, float nearZ, float farZ, int kind);
  bool SetCameraByDistance(float distance, const Vector3& direction, const Vector3& lookAt, float roll, float nearZ,
                           float farZ, int kind);
  bool SetView(const Vector3& eye, const Vector3& lookAt, const Vector3& up);
  void SetNearFar(float nearZ, float farZ);
  bool SetProjection(int kind, float fov);
  // Up vector from a view direction and a roll angle in radians.
  static Vector3 UpVector(const Vector3& direction, float roll);

  bool AddToUpdateList(CDGRendererBase* renderer);
  bool QueueRender(CDGRendererBase* renderer);
  // Removes every entry of the renderer from the update list, both queues and the overlay list.
  bool RemoveRenderer(CDGRendererBase* renderer);
  void AddToOverlayList(CDGRendererBase* renderer);
  void ClearOverlayList();
  void UpdateRenderers();
  void SwapRenderQueues();
  // Sorts, clears, draws the queue and presents. With unchanged frames skipped, a frame whose
  // fingerprint (every draw, state and content change; see FrameHashDevice) matches the last drawn
  // one is not drawn or presented again: once two drawn frames in a row matched, each frame is
  // first run dry (hashed, not drawn) and drawn only when it differs. A frame is drawn at least
  // every kKeepAliveMs, and after a reset or re-creation.
  bool RenderFrame();
  void SetSkipUnchangedFrames(bool on) { skipUnchanged_ = on; }
  void ForceRedraw() { forceRedraw_ = true; }
  static constexpr uint32_t kKeepAliveMs = 1000;
  struct FrameStats {
    uint64_t drawn = 0, skipped = 0, dryRuns = 0;
  };
  const FrameStats& GetFrameStats() const { return frameStats_; }
  // Whether the last RenderFrame drew and presented.
  bool LastFrameDrawn() const { return lastFrameDrawn_; }
  // Draws the overlay list into a new render target; null on failure. The caller owns it.
  CDGTexture* RenderToTexture(int width, int height);
  // The same into a render target the caller keeps (cleared first); false on failure.
  bool RenderToTarget(CDGTexture* target);

  CDGTexture* LoadTextureFromFile(const char* name);
  CDGTexture* LoadTextureFromLoader(const char* name, CDGFileLoad* loader, int mode);
  CDGTexture* CreateRenderTarget(int width, int height);
  void RegisterEffect(CDGEffect* effect) { effectManager_.Register(effect); }
  void UnregisterEffect(CDGEffect* effect) { effectManager_.Unregister(effect); }

  // Milliseconds (wrapping u32) for UpdateRenderers; tests inject their own.
  void SetClock(std::function<uint32_t()> clock);
  void SetTimeScale(float scale) { timeScale_ = scale; }

  bool IsReady() const { return ready_; }
  plat::GfxDevice* Device() const { return device_.get(); }
  // The same device as its fingerprinting front (draw and upload counts).
  plat::FrameHashDevice* HashDevice() const { return device_.get(); }
  CDGTextureManager& TextureManager() { return textureManager_; }
  CDGEffectManager& EffectManager() { return effectManager_; }
  const Matrix44& ViewMatrix() const { return view_; }
  const Matrix44& ProjectionMatrix() const { return projection_; }
  const Matrix44& CameraFacingMatrix() const { return facing_; }
  const Matrix44& ViewportMatrix() const { return viewportMatrix_; }
  float NearPlane() const { return near_; }
  float FarPlane() const { return far_; }
  int BackBufferWidth() const { return width_; }
  int BackBufferHeight() const { return height_; }
  const std::list<CDGRendererBase*>& UpdateList() const { return updateList_; }
  const std::list<CDGRendererBase*>& CurrentQueue() const { return queues_[current_]; }
  const std::list<CDGRendererBase*>& FillingQueue() const { return queues_[(current_ + 1) % 2]; }

  // Puts the manager's transforms and viewport back on the device (after drawing into a target).
  void ApplyCameraToDevice();
  // Texture updates from other threads (movie decoders) wait here and reach the device at the
  // start of the next frame, on the thread that made the device.
  bool OnDeviceThread() const { return std::this_thread::get_id() == deviceThread_; }
  // The device was made on one thread and is drawn on another (the context moved with it).
  void AdoptCurrentThread() { deviceThread_ = std::this_thread::get_id(); }
  void QueueUpload(CDGTexture* texture, const plat::Rect& dst, std::vector<uint8_t> rgba);
  void DropUploads(CDGTexture* texture);
  void ApplyUploads();
  // Textures register so that a re-created device can take them over.
  void RegisterTexture(CDGTexture* texture) { textures_.insert(texture); }
  void UnregisterTexture(CDGTexture* texture) { textures_.erase(texture); }

 private:
  static void SortQueue(std::list<CDGRendererBase*>& queue);
  bool DrawQueue(const std::list<CDGRendererBase*>& queue);
  uint32_t Now() const;

  bool ready_ = false;
  bool presentWhole_ = false;
  int width_ = 0, height_ = 0;
  int viewRect_[4] = {0, 0, 0, 0};  // left, top, right, bottom in the drawable
  int drawableW_ = 0, drawableH_ = 0;
  plat::Rect presentSource_{};
  std::unique_ptr<plat::FrameHashDevice> device_;
  DeviceFactory factory_;
  bool skipUnchanged_ = false;
  bool forceRedraw_ = true;
  bool steady_ = false;  // the last two drawn frames had the same fingerprint
  bool lastFrameDrawn_ = false;
  uint64_t lastHash_ = 0;
  uint32_t lastDrawnMs_ = 0;
  FrameStats frameStats_;
  bool smooth_ = true;
  bool wrap_ = false;
  float near_ = 0.0f, far_ = 0.0f;
  Matrix44 view_, facing_, projection_, viewportMatrix_;
  float screen_[4] = {0, 0, 0, 0};
  std::list<CDGRendererBase*> updateList_;
  // While UpdateRenderers walks its copy: the renderers removed so far (and not added again).
  std::unordered_set<CDGRendererBase*> leftDuringUpdate_;
  bool updating_ = false;
  std::list<CDGRendererBase*> queues_[2];
  int current_ = 0;
  std::list<CDGRendererBase*> overlay_;
  std::set<CDGTexture*> textures_;
  CDGTextureManager textureManager_;
  CDGEffectManager effectManager_;
  uint32_t lastUpdate_ = 0;
  float timeScale_ = 1.0f;
  std::function<uint32_t()> clock_;
  std::thread::id deviceThread_;
  struct Upload {
    CDGTexture* texture;
    plat::Rect dst;
    std::vector<uint8_t> rgba;
  };
  std::mutex uploadMutex_;
  std::vector<Upload> uploads_;
};

// The program's one device manager (null before the frame made it).
CDGManager* GetDGManager();
void SetDGManager(CDGManager* manager);

// The flat default camera on the program's manager: (px, py) on screen is world (640 - px, 360 - py).
// False without a manager. Screens that move the camera call it to put it back.
bool SetDefaultCamera();
// Sampler 0 addressing on the program's manager: 0 wraps, anything else clamps.
void SetTextureAddressClamp(int flag);

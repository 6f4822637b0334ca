// Textures of the drawing device and the per-device cache that shares them by name.
//
// A texture made from an image or blank keeps a CPU copy of its pixels (as a managed texture
// does), so a re-created device can take it over and hit tests can read its alpha. Render
// targets live only on the device and lose their contents on a reset.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/gl/gfx_device.h"
#include "render/dg_base.h"

class CDGFileLoad;
class CDGTextureManager;

// Image information of a texture (all 0 while it has none).
struct DGImageInfo {
  uint32_t width = 0, height = 0, depth = 0, mipLevels = 0, format = 0, resourceType = 0, imageFileFormat = 0;
};

enum DGFormat : uint32_t { kFmtR8G8B8 = 20, kFmtA8R8G8B8 = 21, kFmtX8R8G8B8 = 22, kFmtYUY2 = 0x32595559 };
enum DGImageFileFormat : uint32_t { kImagePng = 3, kImageDds = 4 };

struct DGRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class CDGTexture : public CDGReferenceObject {
 public:
  explicit CDGTexture(CDGManager* manager);

  void ReleaseTexture();
  // An image file (png, dds; path relative to the program directory unless absolute), exact size.
  // On failure `why` (when given) says what was wrong with the file or the device.
  bool LoadFromFile(const char* path, std::string* why = nullptr);
  // The loader's buffer: mode 1 at the image's exact size; other modes round the size up to
  // powers of two and stretch the image over it.
  bool LoadFromMemory(CDGFileLoad* loader, int mode, std::string* why = nullptr);
  bool LoadFromMemory(const uint8_t* data, size_t size, int mode, std::string* why = nullptr);
  // Zero-filled (transparent) A8R8G8B8.
  bool CreateEmpty(int width, int height);
  bool CreateRenderTarget(int width, int height);
  // Source pixels in srcFormat (A8R8G8B8 / X8R8G8B8: B,G,R,A bytes; R8G8B8: B,G,R; YUY2), the
  // source rectangle scaled onto the destination rectangle (null = whole). False for a
  // destination outside the texture or a source outside the given width and height. From
  // another thread (a movie decoder) the pixels are converted at once and reach the texture at
  // the start of the next frame.
  bool UpdateFromMemory(const void* bits, int32_t pitch, int32_t width, int32_t height, const DGRect* srcRect,
                        const DGRect* dstRect, uint32_t srcFormat);
  // Puts converted pixels (RGBA) into the texture and its CPU copy; device thread only.
  bool ApplyUpload(const plat::Rect& dst, const std::vector<uint8_t>& rgba);
  // Copies (replace, no filtering) a rectangle of another texture.
  bool CopyFromTexture(CDGTexture* source, const DGRect* srcRect, const DGRect* dstRect);

  // Image size as stored in the file (or as created).
  bool GetSize(uint32_t* width, uint32_t* height) const;
  // Size of the device texture (rounded up for default-size loads).
  bool GetSurfaceSize(uint32_t* width, uint32_t* height) const;
  // Alpha of the texel at (x, y) of the surface; false when unknown (no CPU copy, outside).
  bool GetTexelAlpha(int x, int y, uint8_t* alpha) const;

  bool HasTexture() const { return id_ != 0; }
  bool IsRenderTarget() const { return renderTarget_; }
  plat::TextureId DeviceId() const { return id_; }
  const DGImageInfo& Info() const { return info_; }
  CDGManager* GetManager() const { return manager_; }

  // Used by the manager and the cache.
  void SetOwner(CDGTextureManager* owner, bool renderTarget) {
    owner_ = owner;
    renderTarget_ = renderTarget;
  }
  void OnDeviceLost();                            // render targets lose their contents
  bool MoveToDevice(plat::GfxDevice* newDevice);  // re-create on a new device
  void OnManagerGone();                           // the device is going away for good

 protected:
  ~CDGTexture() override;

 private:
  bool Upload(std::vector<uint8_t> pixels, int w, int h);
  plat::GfxDevice* Device() const;

  CDGManager* manager_;
  CDGTextureManager* owner_ = nullptr;
  bool renderTarget_ = false;
  DGImageInfo info_;
  plat::TextureId id_ = 0;
  int surfaceW_ = 0, surfaceH_ = 0;
  std::vector<uint8_t> pixels_;  // CPU copy (RGBA), empty for render targets
};

class CDGTextureManager : public CDGReferenceObject {
 public:
  CDGTextureManager() = default;
  ~CDGTextureManager() override;

  CDGTexture* LoadFromFile(CDGManager* manager, const char* name);
  CDGTexture* LoadFromLoader(CDGManager* manager, const char* name, CDGFileLoad* loader, int mode);
  CDGTexture* CreateRenderTarget(CDGManager* manager, int width, int height);
  bool ReleaseTexture(CDGTexture* texture);
  bool ForgetTexture(CDGTexture* texture);
  bool ForgetRenderTarget(CDGTexture* texture);
  void OnLostDevice();
  // Detaches every texture from the cache (the device is going away). Textures still referenced
  // stay valid objects; they just no longer draw.
  void DeleteAll();

  CDGTexture* Find(const std::string& name) const;
  size_t NamedCount() const { return named_.size(); }
  size_t RenderTargetCount() const { return renderTargets_.size(); }

 private:
  std::map<std::string, CDGTexture*> named_;
  std::set<CDGTexture*> renderTargets_;
};

// Image decoding shared with the tools: PNG or DDS (uncompressed, DXT1/3/5) into RGBA.
struct DGDecodedImage {
  int width = 0, height = 0;
  uint32_t fileFormat = 0;
  std::vector<uint8_t> pixels;
};
bool DecodeImage(const uint8_t* data, size_t size, DGDecodedImage* out, std::string* why = nullptr);
// Stretches an RGBA image to w x h (bilinear over texel centres).
std::vector<uint8_t> ResizeRgba(const std::vector<uint8_t>& src, int sw, int sh, int dw, int dh);

#include "render/dg_texture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/file_io.h"
#include "core/game_file.h"
#include "platform/png/png_image.h"
#include "platform/text/log.h"
#include "render/dds_image.h"
#include "render/dg_manager.h"
#include "render/file_load.h"

// ---------------------------------------------------------------------------------------------
// Decoding

bool DecodeImage(const uint8_t* data, size_t size, DGDecodedImage* out, std::string* why) {
  *out = DGDecodedImage{};
  auto fail = [why](std::string reason) {
    if (why) *why = std::move(reason);
    return false;
  };
  if (!data) return fail("no data");
  plat::RgbaImage png;
  if (size >= 8 && std::memcmp(data, "\x89PNG", 4) == 0) {
    std::string error;
    if (!plat::DecodePng(data, size, &png, &error)) return fail("damaged PNG picture (" + error + ")");
    out->width = png.width;
    out->height = png.height;
    out->pixels = std::move(png.pixels);
    out->fileFormat = kImagePng;
    return true;
  }
  if (size >= 4 && std::memcmp(data, "DDS ", 4) == 0) {
    if (!DecodeDds(data, size, &out->width, &out->height, &out->pixels))
      return fail("damaged or unsupported DDS picture");
    out->fileFormat = kImageDds;
    return true;
  }
  return fail(size == 0 ? "empty file" : "not a PNG or DDS picture");
}

std::vector<uint8_t> ResizeRgba(const std::vector<uint8_t>& src, int sw, int sh, int dw, int dh) {
  std::vector<uint8_t> out(static_cast<size_t>(dw) * dh * 4);
  if (sw == dw && sh == dh) return src;
  for (int y = 0; y < dh; ++y) {
    const float fy = std::max(0.0f, (y + 0.5f) * sh / dh - 0.5f);
    const int y0 = std::min(static_cast<int>(fy), sh - 1), y1 = std::min(y0 + 1, sh - 1);
    const float ty = fy - static_cast<float>(y0);
    for (int x = 0; x < dw; ++x) {
      const float fx = std::max(0.0f, (x + 0.5f) * sw / dw - 0.5f);
      const int x0 = std::min(static_cast<int>(fx), sw - 1), x1 = std::min(x0 + 1, sw - 1);
      const float tx = fx - static_cast<float>(x0);
      for (int c = 0; c < 4; ++c) {
        auto at = [&](int xx, int yy) { return static_cast<float>(src[(static_cast<size_t>(yy) * sw + xx) * 4 + c]); };
        const float top = at(x0, y0) + (at(x1, y0) - at(x0, y0)) * tx;
        const float bot = at(x0, y1) + (at(x1, y1) - at(x0, y1)) * tx;
        out[(static_cast<size_t>(y) * dw + x) * 4 + c] = static_cast<uint8_t>(std::lround(top + (bot - top) * ty));
      }
    }
  }
  return out;
}

namespace {

int NextPow2(int v) {
  int p = 1;
  while (p < v) p <<= 1;
  return p;
}

bool IsAbsolutePath(const char* p) { return p[0] == '/' || p[0] == '\\' || (p[0] && p[1] == ':'); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// CDGTexture

CDGTexture::CDGTexture(CDGManager* manager) : manager_(manager) {
  if (manager_) manager_->RegisterTexture(this);
}

CDGTexture::~CDGTexture() {
  // Both containers: the render-target byte follows what the texture was last made as
  // (ReleaseTexture clears it), so it cannot tell which one holds the pointer.
  if (owner_) {
    owner_->ForgetRenderTarget(this);
    owner_->ForgetTexture(this);
  }
  ReleaseTexture();
  if (manager_) {
    manager_->DropUploads(this);
    manager_->UnregisterTexture(this);
  }
}

plat::GfxDevice* CDGTexture::Device() const { return manager_ ? manager_->Device() : nullptr; }

void CDGTexture::ReleaseTexture() {
  if (id_ && Device()) Device()->DestroyTexture(id_);
  id_ = 0;
  info_ = DGImageInfo{};
  renderTarget_ = false;
  surfaceW_ = surfaceH_ = 0;
  pixels_.clear();
}

bool CDGTexture::Upload(std::vector<uint8_t> pixels, int w, int h) {
  plat::GfxDevice* dev = Device();
  if (!dev) return false;
  id_ = dev->CreateTexture(w, h, pixels.data());
  if (!id_) return false;
  surfaceW_ = w;
  surfaceH_ = h;
  pixels_ = std::move(pixels);
  return true;
}

bool CDGTexture::LoadFromFile(const char* path, std::string* why) {
  ReleaseTexture();
  if (!Device() || !path || !*path) return false;
  // Relative names are taken from the program directory, never the working directory.
  std::string full = IsAbsolutePath(path) ? std::string(path) : std::string(GetModuleDir()) + path;
  if (full.size() > kMaxGamePath) return false;
  uint8_t* data = nullptr;
  const int32_t size = ReadWholeFile(full.c_str(), &data);
  if (size < 0 || !data) {
    if (why) *why = "cannot be read";
    return false;
  }
  DGDecodedImage img;
  const bool ok = DecodeImage(data, static_cast<size_t>(size), &img, why);
  FreeFileBuffer(data);
  if (!ok) return false;
  const int w = img.width, h = img.height;
  if (!Upload(std::move(img.pixels), w, h)) {
    if (why) *why = "the device could not make the texture";
    return false;
  }
  info_ = DGImageInfo{static_cast<uint32_t>(w), static_cast<uint32_t>(h), 1, 1, kFmtA8R8G8B8, 3, img.fileFormat};
  return true;
}

bool CDGTexture::LoadFromMemory(CDGFileLoad* loader, int mode, std::string* why) {
  if (!loader) {
    ReleaseTexture();
    return false;
  }
  return LoadFromMemory(loader->Data(), loader->Size(), mode, why);
}

bool CDGTexture::LoadFromMemory(const uint8_t* data, size_t size, int mode, std::string* why) {
  ReleaseTexture();
  plat::GfxDevice* dev = Device();
  if (!dev) return false;
  if (!data && size == 0) {
    if (why) *why = "empty file";
    return false;
  }
  DGDecodedImage img;
  if (!DecodeImage(data, size, &img, why)) return false;
  const int w = img.width, h = img.height;
  int sw = w, sh = h;
  uint32_t levels = 1;
  if (mode != 1) {
    // Default size: powers of two, the image stretched to fill them. Lower levels would never be
    // sampled, so none are made; the count is reported as a full chain would have it.
    sw = NextPow2(w);
    sh = NextPow2(h);
    if (sw > dev->Caps().maxTextureSize || sh > dev->Caps().maxTextureSize) {
      if (why) *why = "picture " + std::to_string(w) + "x" + std::to_string(h) + " is larger than the device allows";
      return false;
    }
    img.pixels = ResizeRgba(img.pixels, w, h, sw, sh);
    levels = mode == 0 ? 1 + static_cast<uint32_t>(std::log2(std::max(sw, sh))) : static_cast<uint32_t>(mode);
  }
  if (!Upload(std::move(img.pixels), sw, sh)) {
    if (why) *why = "the device could not make the texture";
    return false;
  }
  info_ = DGImageInfo{static_cast<uint32_t>(w), static_cast<uint32_t>(h), 1, levels, kFmtA8R8G8B8, 3, img.fileFormat};
  return true;
}

bool CDGTexture::CreateEmpty(int width, int height) {
  ReleaseTexture();
  plat::GfxDevice* dev = Device();
  // Sizes come from layouts and text: refuse what the device cannot hold before allocating.
  if (!dev || width <= 0 || height <= 0 || width > dev->Caps().maxTextureSize || height > dev->Caps().maxTextureSize)
    return false;
  if (!Upload(std::vector<uint8_t>(static_cast<size_t>(width) * height * 4, 0), width, height)) return false;
  info_ = DGImageInfo{static_cast<uint32_t>(width), static_cast<uint32_t>(height), 1, 1, kFmtA8R8G8B8, 1, 0};
  return true;
}

bool CDGTexture::CreateRenderTarget(int width, int height) {
  ReleaseTexture();
  plat::GfxDevice* dev = Device();
  if (!dev || width <= 0 || height <= 0) return false;
  id_ = dev->CreateRenderTarget(width, height);
  if (!id_) return false;
  surfaceW_ = width;
  surfaceH_ = height;
  renderTarget_ = true;
  info_ = DGImageInfo{static_cast<uint32_t>(width), static_cast<uint32_t>(height), 1, 1, kFmtA8R8G8B8, 1, 0};
  return true;
}

namespace {

// One source texel as RGBA.
void SourceTexel(const uint8_t* row, int x, uint32_t format, uint8_t out[4]) {
  switch (format) {
    case kFmtR8G8B8: {
      const uint8_t* p = row + x * 3;
      out[0] = p[2], out[1] = p[1], out[2] = p[0], out[3] = 255;
      break;
    }
    case kFmtYUY2: {
      const uint8_t* p = row + (x / 2) * 4;
      const float yv = p[(x & 1) ? 2 : 0], u = p[1] - 128.0f, v = p[3] - 128.0f;
      const float c = 1.164f * (yv - 16.0f);
      auto clamp = [](float f) { return static_cast<uint8_t>(std::clamp(std::lround(f), 0L, 255L)); };
      out[0] = clamp(c + 1.596f * v);
      out[1] = clamp(c - 0.392f * u - 0.813f * v);
      out[2] = clamp(c + 2.017f * u);
      out[3] = 255;
      break;
    }
    default: {  // A8R8G8B8 / X8R8G8B8: B, G, R, A in memory
      const uint8_t* p = row + x * 4;
      out[0] = p[2], out[1] = p[1], out[2] = p[0];
      out[3] = format == kFmtX8R8G8B8 ? 255 : p[3];
      break;
    }
  }
}

// Bytes one source row of `width` texels occupies. YUY2 stores texels in pairs, so an odd width
// still reads the whole last pair.
int64_t RowBytes(uint32_t format, int32_t width) {
  if (format == kFmtYUY2) return (static_cast<int64_t>(width) + 1) / 2 * 4;
  return static_cast<int64_t>(width) * (format == kFmtR8G8B8 ? 3 : 4);
}

}  // namespace

bool CDGTexture::UpdateFromMemory(const void* bits, int32_t pitch, int32_t width, int32_t height, const DGRect* srcRect,
                                  const DGRect* dstRect, uint32_t srcFormat) {
  plat::GfxDevice* dev = Device();
  if (!bits || !id_ || !dev || renderTarget_ || width <= 0 || height <= 0) return false;
  if (srcFormat != kFmtA8R8G8B8 && srcFormat != kFmtX8R8G8B8 && srcFormat != kFmtR8G8B8 && srcFormat != kFmtYUY2)
    return false;
  const DGRect src = srcRect ? *srcRect : DGRect{0, 0, width, height};
  const DGRect dst = dstRect ? *dstRect : DGRect{0, 0, surfaceW_, surfaceH_};
  if (src.left < 0 || src.top < 0 || src.right > width || src.bottom > height || src.left >= src.right ||
      src.top >= src.bottom)
    return false;
  if (dst.left < 0 || dst.top < 0 || dst.right > surfaceW_ || dst.bottom > surfaceH_ || dst.left >= dst.right ||
      dst.top >= dst.bottom)
    return false;
  if (pitch < RowBytes(srcFormat, width)) return false;
  const int sw = src.right - src.left, sh = src.bottom - src.top;
  std::vector<uint8_t> part(static_cast<size_t>(sw) * sh * 4);
  const auto* base = static_cast<const uint8_t*>(bits);
  for (int y = 0; y < sh; ++y) {
    const uint8_t* row = base + static_cast<size_t>(src.top + y) * pitch;
    for (int x = 0; x < sw; ++x)
      SourceTexel(row, src.left + x, srcFormat, &part[(static_cast<size_t>(y) * sw + x) * 4]);
  }
  const int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  if (dw != sw || dh != sh) part = ResizeRgba(part, sw, sh, dw, dh);
  const plat::Rect r{dst.left, dst.top, dw, dh};
  if (!manager_->OnDeviceThread()) {
    manager_->QueueUpload(this, r, std::move(part));
    return true;
  }
  return ApplyUpload(r, part);
}

bool CDGTexture::ApplyUpload(const plat::Rect& r, const std::vector<uint8_t>& rgba) {
  plat::GfxDevice* dev = Device();
  // The texture may have been re-made at another size since the update was queued.
  if (!dev || !id_ || renderTarget_ || r.x < 0 || r.y < 0 || r.x + r.w > surfaceW_ || r.y + r.h > surfaceH_ ||
      rgba.size() != static_cast<size_t>(r.w) * r.h * 4)
    return false;
  if (!dev->UpdateTexture(id_, r, rgba.data(), r.w * 4)) return false;
  for (int y = 0; y < r.h; ++y)
    std::memcpy(&pixels_[(static_cast<size_t>(r.y + y) * surfaceW_ + r.x) * 4], &rgba[static_cast<size_t>(y) * r.w * 4],
                static_cast<size_t>(r.w) * 4);
  return true;
}

bool CDGTexture::CopyFromTexture(CDGTexture* source, const DGRect* srcRect, const DGRect* dstRect) {
  plat::GfxDevice* dev = Device();
  if (!source || !source->id_ || !id_ || !dev || source->Device() != dev || source == this) return false;
  const DGRect src = srcRect ? *srcRect : DGRect{0, 0, source->surfaceW_, source->surfaceH_};
  const DGRect dst = dstRect ? *dstRect : DGRect{0, 0, surfaceW_, surfaceH_};
  std::vector<uint8_t> srcPixels = source->pixels_;
  if (srcPixels.empty() && !dev->ReadTexture(source->id_, &srcPixels)) return false;
  // Read it as A8R8G8B8 memory so the common path scales and bounds-checks.
  std::vector<uint8_t> bgra(srcPixels.size());
  for (size_t i = 0; i < srcPixels.size(); i += 4) {
    bgra[i] = srcPixels[i + 2], bgra[i + 1] = srcPixels[i + 1], bgra[i + 2] = srcPixels[i],
    bgra[i + 3] = srcPixels[i + 3];
  }
  if (renderTarget_) return false;
  return UpdateFromMemory(bgra.data(), source->surfaceW_ * 4, source->surfaceW_, source->surfaceH_, &src, &dst,
                          kFmtA8R8G8B8);
}

bool CDGTexture::GetSize(uint32_t* width, uint32_t* height) const {
  if (!id_) return false;
  if (width) *width = info_.width;
  if (height) *height = info_.height;
  return true;
}

bool CDGTexture::GetSurfaceSize(uint32_t* width, uint32_t* height) const {
  if (!id_) return false;
  if (width) *width = static_cast<uint32_t>(surfaceW_);
  if (height) *height = static_cast<uint32_t>(surfaceH_);
  return true;
}

bool CDGTexture::GetTexelAlpha(int x, int y, uint8_t* alpha) const {
  if (pixels_.empty() || x < 0 || y < 0 || x >= surfaceW_ || y >= surfaceH_) return false;
  *alpha = pixels_[(static_cast<size_t>(y) * surfaceW_ + x) * 4 + 3];
  return true;
}

void CDGTexture::OnDeviceLost() {
  // Nothing to do on the device itself: a reset clears render targets and keeps the handle.
}

bool CDGTexture::MoveToDevice(plat::GfxDevice* dev) {
  id_ = 0;
  if (!dev || surfaceW_ <= 0 || surfaceH_ <= 0) return false;
  if (renderTarget_)
    id_ = dev->CreateRenderTarget(surfaceW_, surfaceH_);
  else if (!pixels_.empty())
    id_ = dev->CreateTexture(surfaceW_, surfaceH_, pixels_.data());
  return id_ != 0;
}

void CDGTexture::OnManagerGone() {
  ReleaseTexture();
  manager_ = nullptr;
  owner_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// CDGTextureManager

CDGTextureManager::~CDGTextureManager() { DeleteAll(); }

CDGTexture* CDGTextureManager::Find(const std::string& name) const {
  auto it = named_.find(name);
  return it == named_.end() ? nullptr : it->second;
}

CDGTexture* CDGTextureManager::LoadFromFile(CDGManager* manager, const char* name) {
  if (!name) return nullptr;
  if (CDGTexture* t = Find(name)) {
    t->AddRef();
    return t;
  }
  auto* t = new CDGTexture(manager);
  std::string why;
  if (!t->LoadFromFile(name, &why)) {
    if (!why.empty()) plat::LogRefusedFile("gl", name, why.c_str());
    CDGReferenceObject::Destroy(t);
    return nullptr;
  }
  t->SetOwner(this, false);
  named_[name] = t;
  return t;
}

CDGTexture* CDGTextureManager::LoadFromLoader(CDGManager* manager, const char* name, CDGFileLoad* loader, int mode) {
  if (!name || !loader) return nullptr;
  if (CDGTexture* t = Find(name)) {
    t->AddRef();
    return t;
  }
  if (loader->Load(name) == -1) {
    plat::LogRefusedFile("gl", name, "picture not found or unreadable");
    return nullptr;
  }
  auto* t = new CDGTexture(manager);
  std::string why;
  if (!t->LoadFromMemory(loader, mode, &why)) {
    if (!why.empty()) plat::LogRefusedFile("gl", name, why.c_str());
    CDGReferenceObject::Destroy(t);
    return nullptr;
  }
  t->SetOwner(this, false);
  named_[name] = t;
  return t;
}

CDGTexture* CDGTextureManager::CreateRenderTarget(CDGManager* manager, int width, int height) {
  auto* t = new CDGTexture(manager);
  if (!t->CreateRenderTarget(width, height)) {
    t->Release();
    return nullptr;
  }
  t->SetOwner(this, true);
  renderTargets_.insert(t);
  return t;
}

bool CDGTextureManager::ReleaseTexture(CDGTexture* texture) {
  if (!texture) return false;
  // The destructor forgets the name itself.
  return texture->Release();
}

bool CDGTextureManager::ForgetTexture(CDGTexture* texture) {
  bool removed = false;
  for (auto it = named_.begin(); it != named_.end();) {
    if (it->second == texture) {
      it = named_.erase(it);
      removed = true;
    } else {
      ++it;
    }
  }
  return removed;
}

bool CDGTextureManager::ForgetRenderTarget(CDGTexture* texture) { return renderTargets_.erase(texture) > 0; }

void CDGTextureManager::OnLostDevice() {
  for (CDGTexture* t : renderTargets_) t->OnDeviceLost();
}

void CDGTextureManager::DeleteAll() {
  // Holders may still point at these textures: detach them instead of deleting under them.
  for (auto& [name, t] : named_) t->SetOwner(nullptr, false);
  for (CDGTexture* t : renderTargets_) t->SetOwner(nullptr, true);
  named_.clear();
  renderTargets_.clear();
}

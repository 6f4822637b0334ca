#include "platform/gl/null_device.h"

#include <cstring>

namespace plat {

TextureId NullDevice::CreateTexture(int w, int h, const uint8_t* rgba) {
  if (failTextureCreation || w <= 0 || h <= 0 || w > 8192 || h > 8192) return 0;
  Tex t;
  t.w = w;
  t.h = h;
  t.pixels.assign(static_cast<size_t>(w) * h * 4, 0);
  if (rgba) std::memcpy(t.pixels.data(), rgba, t.pixels.size());
  textures_[next_] = std::move(t);
  return next_++;
}

TextureId NullDevice::CreateRenderTarget(int w, int h) {
  const TextureId id = CreateTexture(w, h, nullptr);
  if (id) textures_[id].target = true;
  return id;
}

void NullDevice::DestroyTexture(TextureId id) {
  textures_.erase(id);
  if (target_ == id) target_ = 0;
  if (bound_ == id) bound_ = 0;
}

bool NullDevice::UpdateTexture(TextureId id, const Rect& d, const uint8_t* rgba, int pitch) {
  auto it = textures_.find(id);
  if (it == textures_.end() || !rgba || d.w <= 0 || d.h <= 0 || d.x < 0 || d.y < 0 || d.x + d.w > it->second.w ||
      d.y + d.h > it->second.h || pitch < d.w * 4)
    return false;
  for (int y = 0; y < d.h; ++y)
    std::memcpy(&it->second.pixels[(static_cast<size_t>(d.y + y) * it->second.w + d.x) * 4],
                rgba + static_cast<size_t>(y) * pitch, static_cast<size_t>(d.w) * 4);
  return true;
}

bool NullDevice::CopyTexture(TextureId src, const Rect& r, TextureId dst, int dx, int dy) {
  auto s = textures_.find(src);
  auto d = textures_.find(dst);
  if (s == textures_.end() || d == textures_.end() || src == dst || r.w <= 0 || r.h <= 0 || r.x < 0 || r.y < 0 ||
      r.x + r.w > s->second.w || r.y + r.h > s->second.h)
    return false;
  const int pitch = s->second.w * 4;
  return UpdateTexture(dst, Rect{dx, dy, r.w, r.h},
                       &s->second.pixels[(static_cast<size_t>(r.y) * s->second.w + r.x) * 4], pitch);
}

bool NullDevice::TextureSize(TextureId id, int* w, int* h) const {
  auto it = textures_.find(id);
  if (it == textures_.end()) return false;
  if (w) *w = it->second.w;
  if (h) *h = it->second.h;
  return true;
}

bool NullDevice::ReadTexture(TextureId id, std::vector<uint8_t>* rgba) {
  auto it = textures_.find(id);
  if (it == textures_.end() || !rgba) return false;
  *rgba = it->second.pixels;
  return true;
}

bool NullDevice::SetRenderTarget(TextureId target) {
  if (target != 0) {
    auto it = textures_.find(target);
    if (it == textures_.end() || !it->second.target) return false;
  }
  target_ = target;
  return true;
}

void NullDevice::Clear(bool color, bool, uint32_t argb, float) {
  if (!color) return;
  clears.push_back(ClearCall{target_, argb});
  if (target_) {
    auto& t = textures_[target_];
    for (size_t i = 0; i < t.pixels.size(); i += 4) {
      t.pixels[i] = static_cast<uint8_t>(argb >> 16);
      t.pixels[i + 1] = static_cast<uint8_t>(argb >> 8);
      t.pixels[i + 2] = static_cast<uint8_t>(argb);
      t.pixels[i + 3] = static_cast<uint8_t>(argb >> 24);
    }
  }
}

void NullDevice::SetWorld(const float m[16]) { std::memcpy(world_, m, sizeof world_); }

void NullDevice::Record(Draw d) {
  d.texture = bound_;
  d.target = target_;
  d.src = src_;
  d.dst = dst_;
  d.zEnable = zEnable_;
  draws.push_back(d);
}

void NullDevice::DrawQuad(const WorldVertex v[4]) {
  Draw d;
  for (int i = 0; i < 4; ++i) {
    const float* w = world_;
    d.world[i] = v[i];
    d.world[i].x = v[i].x * w[0] + v[i].y * w[4] + v[i].z * w[8] + w[12];
    d.world[i].y = v[i].x * w[1] + v[i].y * w[5] + v[i].z * w[9] + w[13];
    d.world[i].z = v[i].x * w[2] + v[i].y * w[6] + v[i].z * w[10] + w[14];
  }
  Record(d);
}

void NullDevice::DrawScreenQuad(const ScreenVertex v[4]) {
  Draw d;
  d.screen = true;
  for (int i = 0; i < 4; ++i) d.pixels[i] = v[i];
  Record(d);
}

bool NullDevice::Present(const Rect& s, const Rect& d, int, int) {
  ++presents;
  lastPresentSource = s;
  lastPresentDest = d;
  return !failPresent;
}

bool NullDevice::Reset() {
  for (auto& [id, t] : textures_)
    if (t.target) std::fill(t.pixels.begin(), t.pixels.end(), 0);
  lost_ = false;
  return true;
}

}  // namespace plat

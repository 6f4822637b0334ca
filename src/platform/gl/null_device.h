// A device that draws nothing: it records every draw call with the state it was made in and keeps
// texture pixels in memory, so the renderers' bookkeeping can be tested without a GPU.
#pragma once
#include <array>
#include <map>
#include <vector>

#include "platform/gl/gfx_device.h"

namespace plat {

class NullDevice final : public GfxDevice {
 public:
  struct Draw {
    bool screen = false;                 // pre-transformed quad
    std::array<WorldVertex, 4> world{};  // world quads: after the world matrix
    std::array<ScreenVertex, 4> pixels{};
    TextureId texture = 0;
    TextureId target = 0;
    BlendFactor src = BlendFactor::SrcAlpha, dst = BlendFactor::InvSrcAlpha;
    bool zEnable = true;
  };
  struct ClearCall {
    TextureId target;
    uint32_t argb;
  };

  NullDevice(int w = 1280, int h = 720) : width_(w), height_(h) {}

  int BackBufferWidth() const override { return width_; }
  int BackBufferHeight() const override { return height_; }
  DeviceCaps Caps() const override { return DeviceCaps{8192}; }

  TextureId CreateTexture(int w, int h, const uint8_t* rgba) override;
  TextureId CreateRenderTarget(int w, int h) override;
  void DestroyTexture(TextureId id) override;
  bool UpdateTexture(TextureId id, const Rect& dst, const uint8_t* rgba, int pitch) override;
  bool CopyTexture(TextureId src, const Rect& srcRect, TextureId dst, int dstX, int dstY) override;
  bool TextureSize(TextureId id, int* w, int* h) const override;
  bool ReadTexture(TextureId id, std::vector<uint8_t>* rgba) override;

  bool SetRenderTarget(TextureId target) override;
  TextureId GetRenderTarget() const override { return target_; }
  void SetViewport(int, int, int, int, float, float) override {}
  void Clear(bool color, bool depth, uint32_t argb, float z) override;
  void SetWorld(const float m[16]) override;
  void SetView(const float[16]) override {}
  void SetProjection(const float[16]) override {}
  void SetBlend(BlendFactor s, BlendFactor d) override { src_ = s, dst_ = d; }
  void SetZEnable(bool on) override { zEnable_ = on; }
  bool GetZEnable() const override { return zEnable_; }
  void SetFlatShading(bool) override {}
  void SetLinearFilter(bool) override {}
  void SetTextureWrap(bool wrap) override { textureWrap = wrap; }
  void BindTexture(TextureId id) override { bound_ = id; }
  void DrawQuad(const WorldVertex v[4]) override;
  void DrawScreenQuad(const ScreenVertex v[4]) override;
  void Flush() override {}
  void Finish() override {}
  bool Present(const Rect& s, const Rect& d, int, int) override;
  bool ReadBackBuffer(const Rect&, std::vector<uint8_t>*) override { return false; }
  bool IsLost() const override { return lost_; }
  void SimulateLoss() override { lost_ = true; }
  bool Reset() override;

  // Recorded calls.
  bool textureWrap = false;
  std::vector<Draw> draws;
  std::vector<ClearCall> clears;
  int presents = 0;
  Rect lastPresentSource, lastPresentDest;
  bool failPresent = false;          // makes Present report failure
  bool failTextureCreation = false;  // makes every texture creation fail
  size_t LiveTextures() const { return textures_.size(); }

 private:
  // Appends d with the texture, target, blend and depth state in effect now.
  void Record(Draw d);

  struct Tex {
    int w = 0, h = 0;
    bool target = false;
    std::vector<uint8_t> pixels;
  };
  int width_, height_;
  std::map<TextureId, Tex> textures_;
  TextureId next_ = 1;
  TextureId target_ = 0;
  TextureId bound_ = 0;
  float world_[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  BlendFactor src_ = BlendFactor::SrcAlpha, dst_ = BlendFactor::InvSrcAlpha;
  bool zEnable_ = true;
  bool lost_ = false;
};

}  // namespace plat

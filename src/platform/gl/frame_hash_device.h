// A drawing device in front of another that fingerprints each frame: every state change and draw
// between BeginFrame and EndFrame goes into a 64-bit hash, with the device state the frame started
// from and a count of every change to texture, mesh or program contents. Two frames with the same
// fingerprint show the same picture, so the manager can leave an unchanged frame undrawn.
//
// In a dry frame the draws and state changes are only hashed, not passed on (resource calls still
// are), and the state getters answer from the frame's own state; the device behind is left exactly
// as it was. A dry frame that reads pixels back is marked spoiled: it must be drawn for real.
#pragma once
#include <cstdint>
#include <map>
#include <memory>

#include "platform/gl/gfx_device.h"

namespace plat {

class FrameHashDevice : public GfxDevice {
 public:
  explicit FrameHashDevice(std::unique_ptr<GfxDevice> inner);
  GfxDevice* Inner() const { return inner_.get(); }

  void BeginFrame(bool dry);
  // The frame's fingerprint.
  uint64_t EndFrame();
  bool InFrame() const { return inFrame_; }
  bool InDryFrame() const { return inFrame_ && dry_; }
  // A fingerprint of what a draw issued now depends on besides its vertices and its own texture:
  // the program with its uniform values, the extra texture units, blend, filter, address mode,
  // depth and output state, and the content count. Equal keys draw equal pictures from equal
  // vertices and an unchanged texture (one that is not a render target).
  uint64_t DrawStateKey();
  bool Spoiled() const { return spoiled_; }
  // Texture, mesh or program contents changed (uploads, copies, creations, draws into targets
  // outside a frame): any change gives another count.
  uint64_t ContentGeneration() const { return generation_; }
  // What reached the device behind since the counters were cleared (draw calls and texture
  // uploads, dry frames not counted).
  struct Counts {
    uint64_t quads = 0, meshDraws = 0, uploads = 0, uploadBytes = 0, clears = 0, presents = 0;
  };
  const Counts& GetCounts() const { return counts_; }
  void ClearCounts() { counts_ = {}; }

  int BackBufferWidth() const override { return inner_->BackBufferWidth(); }
  int BackBufferHeight() const override { return inner_->BackBufferHeight(); }
  DeviceCaps Caps() const override { return inner_->Caps(); }

  TextureId CreateTexture(int w, int h, const uint8_t* rgba) override;
  TextureId CreateRenderTarget(int w, int h) override;
  void DestroyTexture(TextureId id) override;
  bool UpdateTexture(TextureId id, const Rect& dst, const uint8_t* rgba, int pitch) override;
  bool CopyTexture(TextureId src, const Rect& srcRect, TextureId dst, int dstX, int dstY) override;
  bool TextureSize(TextureId id, int* w, int* h) const override { return inner_->TextureSize(id, w, h); }
  bool ReadTexture(TextureId id, std::vector<uint8_t>* rgba) override;

  bool SetRenderTarget(TextureId target) override;
  TextureId GetRenderTarget() const override;
  void SetViewport(int x, int y, int w, int h, float minZ, float maxZ) override;
  void Clear(bool color, bool depth, uint32_t argb, float z) override;
  void SetWorld(const float m[16]) override;
  void SetView(const float m[16]) override;
  void SetProjection(const float m[16]) override;
  void SetBlend(BlendFactor src, BlendFactor dst) override;
  void SetPremultipliedOutput(bool on) override;
  void SetZEnable(bool on) override;
  bool GetZEnable() const override;
  void SetFlatShading(bool flat) override;
  void SetLinearFilter(bool linear) override;
  void SetTextureWrap(bool wrap) override;
  void BindTexture(TextureId id) override;

  void DrawQuad(const WorldVertex v[4]) override;
  void DrawScreenQuad(const ScreenVertex v[4]) override;

  ProgramId CreateProgram(const char* vertexSrc, const char* fragmentSrc, std::string* log) override;
  void DestroyProgram(ProgramId id) override;
  int UniformLocation(ProgramId id, const char* name) override { return inner_->UniformLocation(id, name); }
  void SetUniformFloats(ProgramId id, int location, int components, int count, const float* v) override;
  void SetUniformInts(ProgramId id, int location, int count, const int* v) override;
  void SetUniformMatrix(ProgramId id, int location, const float m[16]) override;
  void UseProgram(ProgramId id) override;
  ProgramId CurrentProgram() const override;
  void BindTextureUnit(int unit, TextureId id, bool linear, bool wrap) override;

  void GetBlend(BlendFactor* src, BlendFactor* dst) const override;
  bool GetLinearFilter() const override;
  bool GetTextureWrap() const override;
  TextureId BoundTexture() const override;

  MeshId CreateMesh(const MeshVertex* v, int vertexCount, const uint16_t* indices, int indexCount) override;
  void DestroyMesh(MeshId id) override;
  void DrawMesh(MeshId id, int firstIndex, int indexCount) override;

  void Flush() override;
  void Finish() override;
  bool Present(const Rect& source, const Rect& dst, int drawableW, int drawableH) override;
  bool ReadBackBuffer(const Rect& r, std::vector<uint8_t>* rgba) override;

  bool IsLost() const override { return inner_->IsLost(); }
  void SimulateLoss() override { inner_->SimulateLoss(); }
  bool Reset() override;

 private:
  // The state a frame's draws depend on besides their own arguments.
  struct State {
    TextureId target = 0, texture = 0;
    ProgramId program = 0;
    BlendFactor src = BlendFactor::SrcAlpha, dst = BlendFactor::InvSrcAlpha;
    bool zEnable = false, flat = false, linear = false, wrap = false, premultiplied = false;
    int viewport[4] = {0, 0, 0, 0};
    float viewportZ[2] = {0, 1};
    float world[16] = {}, view[16] = {}, projection[16] = {};
  };
  bool Passing() const { return !dry_; }
  void Mix(const void* data, size_t bytes);
  void MixTag(uint32_t tag) { Mix(&tag, sizeof tag); }
  // A state change or draw as its tag and words, counted only inside a frame.
  template <class... Words>
  void MixWords(uint32_t tag, Words... words) {
    if (!inFrame_) return;
    const uint32_t all[] = {tag, static_cast<uint32_t>(words)...};
    Mix(all, sizeof all);
  }
  // A draw outside a frame into a render target changes that target's contents.
  void Drew();

  std::unique_ptr<GfxDevice> inner_;
  State state_;  // as the draws see it (the frame's own state in a dry frame)
  State saved_;  // the device behind's state while a dry frame runs
  struct Unit {
    TextureId id = 0;
    bool linear = false, wrap = false;
  };
  Unit units_[kTextureUnits];
  // Each program's uniform values as hashes, by location.
  std::map<ProgramId, std::map<int, uint64_t>> uniforms_;
  static uint64_t HashBytes(const void* data, size_t bytes);
  uint64_t hash_ = 0;
  uint64_t generation_ = 1;
  bool inFrame_ = false, dry_ = false, spoiled_ = false;
  Counts counts_;
};

}  // namespace plat

#include "platform/gl/frame_hash_device.h"

#include <cstring>
#include <vector>

namespace plat {

namespace {
constexpr uint64_t kSeed = 0x9E3779B97F4A7C15ull;
constexpr uint64_t kMul = 0xBF58476D1CE4E5B9ull;

enum Tag : uint32_t {
  kTagTarget = 1,
  kTagViewport,
  kTagClear,
  kTagWorld,
  kTagView,
  kTagProjection,
  kTagBlend,
  kTagPremultiplied,
  kTagZ,
  kTagFlat,
  kTagLinear,
  kTagWrap,
  kTagTexture,
  kTagQuad,
  kTagScreenQuad,
  kTagUniformF,
  kTagUniformI,
  kTagUniformM,
  kTagProgram,
  kTagUnit,
  kTagMesh,
  kTagPresent,
  kTagGeneration,
};
}  // namespace

FrameHashDevice::FrameHashDevice(std::unique_ptr<GfxDevice> inner) : inner_(std::move(inner)) {
  state_.target = inner_->GetRenderTarget();
  state_.texture = inner_->BoundTexture();
  state_.program = inner_->CurrentProgram();
  inner_->GetBlend(&state_.src, &state_.dst);
  state_.zEnable = inner_->GetZEnable();
  state_.linear = inner_->GetLinearFilter();
  state_.wrap = inner_->GetTextureWrap();
}

uint64_t FrameHashDevice::HashBytes(const void* data, size_t bytes) {
  const auto* p = static_cast<const uint8_t*>(data);
  uint64_t h = kSeed;
  while (bytes >= 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    h = (h ^ w) * kMul;
    h ^= h >> 29;
    p += 8;
    bytes -= 8;
  }
  uint64_t w = 0;
  std::memcpy(&w, p, bytes);
  h = (h ^ w ^ (static_cast<uint64_t>(bytes) << 56)) * kMul;
  return h ^ (h >> 32);
}

uint64_t FrameHashDevice::DrawStateKey() {
  const State& s = state_;
  std::vector<uint64_t> words = {
      generation_, s.program, static_cast<uint64_t>(s.src) | static_cast<uint64_t>(s.dst) << 8,
      static_cast<uint64_t>(s.zEnable | s.flat << 1 | s.linear << 2 | s.wrap << 3 | s.premultiplied << 4)};
  for (const Unit& u : units_)
    words.push_back(u.id | static_cast<uint64_t>(u.linear) << 32 | static_cast<uint64_t>(u.wrap) << 33);
  auto it = uniforms_.find(s.program);
  if (it != uniforms_.end())
    for (const auto& [location, value] : it->second) {
      words.push_back(static_cast<uint64_t>(static_cast<uint32_t>(location)));
      words.push_back(value);
    }
  return HashBytes(words.data(), words.size() * sizeof(uint64_t));
}

void FrameHashDevice::Mix(const void* data, size_t bytes) {
  const auto* p = static_cast<const uint8_t*>(data);
  uint64_t h = hash_;
  while (bytes >= 8) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    h = (h ^ w) * kMul;
    h ^= h >> 29;
    p += 8;
    bytes -= 8;
  }
  uint64_t w = 0;
  std::memcpy(&w, p, bytes);
  h = (h ^ w ^ (static_cast<uint64_t>(bytes) << 56)) * kMul;
  hash_ = h ^ (h >> 32);
}

void FrameHashDevice::BeginFrame(bool dry) {
  inFrame_ = true;
  dry_ = dry;
  spoiled_ = false;
  saved_ = state_;
  hash_ = kSeed;
  // The state the frame starts from, field by field (no padding bytes).
  const State& s = state_;
  const uint32_t words[] = {
      s.target,
      s.texture,
      s.program,
      static_cast<uint32_t>(s.src),
      static_cast<uint32_t>(s.dst),
      static_cast<uint32_t>(s.zEnable | s.flat << 1 | s.linear << 2 | s.wrap << 3 | s.premultiplied << 4)};
  Mix(words, sizeof words);
  Mix(s.viewport, sizeof s.viewport);
  Mix(s.viewportZ, sizeof s.viewportZ);
  Mix(s.world, sizeof s.world);
  Mix(s.view, sizeof s.view);
  Mix(s.projection, sizeof s.projection);
  MixTag(kTagGeneration);
  Mix(&generation_, sizeof generation_);
}

uint64_t FrameHashDevice::EndFrame() {
  MixTag(kTagGeneration);
  Mix(&generation_, sizeof generation_);
  if (dry_) state_ = saved_;  // nothing reached the device behind
  inFrame_ = false;
  dry_ = false;
  return hash_;
}

void FrameHashDevice::Drew() {
  if (!inFrame_) ++generation_;
}

TextureId FrameHashDevice::CreateTexture(int w, int h, const uint8_t* rgba) {
  ++generation_;
  if (rgba) {
    ++counts_.uploads;
    counts_.uploadBytes += static_cast<uint64_t>(w) * static_cast<uint64_t>(h) * 4;
  }
  return inner_->CreateTexture(w, h, rgba);
}

TextureId FrameHashDevice::CreateRenderTarget(int w, int h) {
  ++generation_;
  return inner_->CreateRenderTarget(w, h);
}

void FrameHashDevice::DestroyTexture(TextureId id) {
  ++generation_;
  if (state_.texture == id) state_.texture = 0;
  for (Unit& u : units_)
    if (u.id == id) u = Unit{};
  inner_->DestroyTexture(id);
}

bool FrameHashDevice::UpdateTexture(TextureId id, const Rect& dst, const uint8_t* rgba, int pitch) {
  ++generation_;
  ++counts_.uploads;
  counts_.uploadBytes +=
      static_cast<uint64_t>(dst.w > 0 ? dst.w : 0) * static_cast<uint64_t>(dst.h > 0 ? dst.h : 0) * 4;
  return inner_->UpdateTexture(id, dst, rgba, pitch);
}

bool FrameHashDevice::CopyTexture(TextureId src, const Rect& srcRect, TextureId dst, int dstX, int dstY) {
  ++generation_;
  return inner_->CopyTexture(src, srcRect, dst, dstX, dstY);
}

bool FrameHashDevice::ReadTexture(TextureId id, std::vector<uint8_t>* rgba) {
  if (dry_) spoiled_ = true;  // what it reads was not drawn in this frame
  return inner_->ReadTexture(id, rgba);
}

bool FrameHashDevice::SetRenderTarget(TextureId target) {
  if (inFrame_) {
    MixTag(kTagTarget);
    Mix(&target, sizeof target);
  }
  if (dry_) {
    state_.target = target;
    int w = BackBufferWidth(), h = BackBufferHeight();
    if (target != 0 && !inner_->TextureSize(target, &w, &h)) return false;
    state_.viewport[0] = state_.viewport[1] = 0;
    state_.viewport[2] = w;
    state_.viewport[3] = h;
    state_.viewportZ[0] = 0.0f;
    state_.viewportZ[1] = 1.0f;
    return true;
  }
  const bool ok = inner_->SetRenderTarget(target);
  if (ok) {
    state_.target = target;
    int w = BackBufferWidth(), h = BackBufferHeight();
    if (target != 0) inner_->TextureSize(target, &w, &h);
    state_.viewport[0] = state_.viewport[1] = 0;
    state_.viewport[2] = w;
    state_.viewport[3] = h;
    state_.viewportZ[0] = 0.0f;
    state_.viewportZ[1] = 1.0f;
  }
  return ok;
}

TextureId FrameHashDevice::GetRenderTarget() const { return dry_ ? state_.target : inner_->GetRenderTarget(); }

void FrameHashDevice::SetViewport(int x, int y, int w, int h, float minZ, float maxZ) {
  state_.viewport[0] = x;
  state_.viewport[1] = y;
  state_.viewport[2] = w;
  state_.viewport[3] = h;
  state_.viewportZ[0] = minZ;
  state_.viewportZ[1] = maxZ;
  if (inFrame_) {
    MixTag(kTagViewport);
    Mix(state_.viewport, sizeof state_.viewport);
    Mix(state_.viewportZ, sizeof state_.viewportZ);
  }
  if (Passing()) inner_->SetViewport(x, y, w, h, minZ, maxZ);
}

void FrameHashDevice::Clear(bool color, bool depth, uint32_t argb, float z) {
  if (inFrame_) {
    const uint32_t words[] = {kTagClear, static_cast<uint32_t>(color | depth << 1), argb};
    Mix(words, sizeof words);
    Mix(&z, sizeof z);
  }
  if (!Passing()) return;
  Drew();
  ++counts_.clears;
  inner_->Clear(color, depth, argb, z);
}

void FrameHashDevice::SetWorld(const float m[16]) {
  std::memcpy(state_.world, m, sizeof state_.world);
  if (inFrame_) {
    MixTag(kTagWorld);
    Mix(m, sizeof state_.world);
  }
  if (Passing()) inner_->SetWorld(m);
}

void FrameHashDevice::SetView(const float m[16]) {
  std::memcpy(state_.view, m, sizeof state_.view);
  if (inFrame_) {
    MixTag(kTagView);
    Mix(m, sizeof state_.view);
  }
  if (Passing()) inner_->SetView(m);
}

void FrameHashDevice::SetProjection(const float m[16]) {
  std::memcpy(state_.projection, m, sizeof state_.projection);
  if (inFrame_) {
    MixTag(kTagProjection);
    Mix(m, sizeof state_.projection);
  }
  if (Passing()) inner_->SetProjection(m);
}

void FrameHashDevice::SetBlend(BlendFactor src, BlendFactor dst) {
  state_.src = src;
  state_.dst = dst;
  MixWords(kTagBlend, static_cast<uint32_t>(src), static_cast<uint32_t>(dst));
  if (Passing()) inner_->SetBlend(src, dst);
}

void FrameHashDevice::SetPremultipliedOutput(bool on) {
  state_.premultiplied = on;
  MixWords(kTagPremultiplied, on);
  if (Passing()) inner_->SetPremultipliedOutput(on);
}

void FrameHashDevice::SetZEnable(bool on) {
  state_.zEnable = on;
  MixWords(kTagZ, on);
  if (Passing()) inner_->SetZEnable(on);
}

bool FrameHashDevice::GetZEnable() const { return dry_ ? state_.zEnable : inner_->GetZEnable(); }

void FrameHashDevice::SetFlatShading(bool flat) {
  state_.flat = flat;
  MixWords(kTagFlat, flat);
  if (Passing()) inner_->SetFlatShading(flat);
}

void FrameHashDevice::SetLinearFilter(bool linear) {
  state_.linear = linear;
  MixWords(kTagLinear, linear);
  if (Passing()) inner_->SetLinearFilter(linear);
}

void FrameHashDevice::SetTextureWrap(bool wrap) {
  state_.wrap = wrap;
  MixWords(kTagWrap, wrap);
  if (Passing()) inner_->SetTextureWrap(wrap);
}

void FrameHashDevice::BindTexture(TextureId id) {
  state_.texture = id;
  MixWords(kTagTexture, id);
  if (Passing()) inner_->BindTexture(id);
}

void FrameHashDevice::DrawQuad(const WorldVertex v[4]) {
  if (inFrame_) {
    MixTag(kTagQuad);
    Mix(v, sizeof(WorldVertex) * 4);
  }
  if (!Passing()) return;
  Drew();
  ++counts_.quads;
  inner_->DrawQuad(v);
}

void FrameHashDevice::DrawScreenQuad(const ScreenVertex v[4]) {
  if (inFrame_) {
    MixTag(kTagScreenQuad);
    Mix(v, sizeof(ScreenVertex) * 4);
  }
  if (!Passing()) return;
  Drew();
  ++counts_.quads;
  inner_->DrawScreenQuad(v);
}

ProgramId FrameHashDevice::CreateProgram(const char* vertexSrc, const char* fragmentSrc, std::string* log) {
  ++generation_;
  return inner_->CreateProgram(vertexSrc, fragmentSrc, log);
}

void FrameHashDevice::DestroyProgram(ProgramId id) {
  ++generation_;
  uniforms_.erase(id);
  if (state_.program == id) state_.program = 0;
  inner_->DestroyProgram(id);
}

void FrameHashDevice::SetUniformFloats(ProgramId id, int location, int components, int count, const float* v) {
  if (inFrame_) {
    const uint32_t words[] = {kTagUniformF, id, static_cast<uint32_t>(location), static_cast<uint32_t>(components),
                              static_cast<uint32_t>(count)};
    Mix(words, sizeof words);
    if (v && components > 0 && count > 0) Mix(v, sizeof(float) * static_cast<size_t>(components) * count);
  }
  // A uniform is the program's own state, kept across frames: a dry frame must not change it.
  if (!Passing()) return;
  if (v && components > 0 && count > 0)
    uniforms_[id][location] = HashBytes(v, sizeof(float) * static_cast<size_t>(components) * count);
  inner_->SetUniformFloats(id, location, components, count, v);
}

void FrameHashDevice::SetUniformInts(ProgramId id, int location, int count, const int* v) {
  if (inFrame_) {
    const uint32_t words[] = {kTagUniformI, id, static_cast<uint32_t>(location), static_cast<uint32_t>(count)};
    Mix(words, sizeof words);
    if (v && count > 0) Mix(v, sizeof(int) * static_cast<size_t>(count));
  }
  if (!Passing()) return;
  if (v && count > 0) uniforms_[id][location] = HashBytes(v, sizeof(int) * static_cast<size_t>(count));
  inner_->SetUniformInts(id, location, count, v);
}

void FrameHashDevice::SetUniformMatrix(ProgramId id, int location, const float m[16]) {
  if (inFrame_) {
    const uint32_t words[] = {kTagUniformM, id, static_cast<uint32_t>(location)};
    Mix(words, sizeof words);
    Mix(m, sizeof(float) * 16);
  }
  if (!Passing()) return;
  uniforms_[id][location] = HashBytes(m, sizeof(float) * 16);
  inner_->SetUniformMatrix(id, location, m);
}

void FrameHashDevice::UseProgram(ProgramId id) {
  state_.program = id;
  MixWords(kTagProgram, id);
  if (Passing()) inner_->UseProgram(id);
}

ProgramId FrameHashDevice::CurrentProgram() const { return dry_ ? state_.program : inner_->CurrentProgram(); }

void FrameHashDevice::BindTextureUnit(int unit, TextureId id, bool linear, bool wrap) {
  MixWords(kTagUnit, static_cast<uint32_t>(unit), id, static_cast<uint32_t>(linear | wrap << 1));
  if (!Passing()) return;
  if (unit >= 0 && unit < kTextureUnits) units_[unit] = Unit{id, linear, wrap};
  inner_->BindTextureUnit(unit, id, linear, wrap);
}

void FrameHashDevice::GetBlend(BlendFactor* src, BlendFactor* dst) const {
  if (dry_) {
    *src = state_.src;
    *dst = state_.dst;
    return;
  }
  inner_->GetBlend(src, dst);
}

bool FrameHashDevice::GetLinearFilter() const { return dry_ ? state_.linear : inner_->GetLinearFilter(); }
bool FrameHashDevice::GetTextureWrap() const { return dry_ ? state_.wrap : inner_->GetTextureWrap(); }
TextureId FrameHashDevice::BoundTexture() const { return dry_ ? state_.texture : inner_->BoundTexture(); }

MeshId FrameHashDevice::CreateMesh(const MeshVertex* v, int vertexCount, const uint16_t* indices, int indexCount) {
  ++generation_;
  return inner_->CreateMesh(v, vertexCount, indices, indexCount);
}

void FrameHashDevice::DestroyMesh(MeshId id) {
  ++generation_;
  inner_->DestroyMesh(id);
}

void FrameHashDevice::DrawMesh(MeshId id, int firstIndex, int indexCount) {
  MixWords(kTagMesh, id, static_cast<uint32_t>(firstIndex), static_cast<uint32_t>(indexCount));
  if (!Passing()) return;
  Drew();
  ++counts_.meshDraws;
  inner_->DrawMesh(id, firstIndex, indexCount);
}

void FrameHashDevice::Flush() {
  if (Passing()) inner_->Flush();
}

void FrameHashDevice::Finish() {
  if (Passing()) inner_->Finish();
}

bool FrameHashDevice::Present(const Rect& source, const Rect& dst, int drawableW, int drawableH) {
  if (inFrame_) {
    const int32_t words[] = {kTagPresent, source.x, source.y, source.w,  source.h, dst.x,
                             dst.y,       dst.w,    dst.h,    drawableW, drawableH};
    Mix(words, sizeof words);
  }
  if (!Passing()) return true;
  ++counts_.presents;
  return inner_->Present(source, dst, drawableW, drawableH);
}

bool FrameHashDevice::ReadBackBuffer(const Rect& r, std::vector<uint8_t>* rgba) {
  if (dry_) spoiled_ = true;
  return inner_->ReadBackBuffer(r, rgba);
}

bool FrameHashDevice::Reset() {
  ++generation_;
  return inner_->Reset();
}

}  // namespace plat

#include <cstring>

#include "core/vmath.h"
#include "platform/text/log.h"
#include "render/dg_base.h"
#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "render/effect/compiled_effect.h"
#include "render/file_load.h"

// ---------------------------------------------------------------------------------------------
// Compiled effects

CompiledEffect::~CompiledEffect() {
  if (!device) return;
  for (auto& t : techniques)
    for (Pass& p : t)
      if (p.program) device->DestroyProgram(p.program);
}

bool CompiledEffect::Build(plat::GfxDevice* dev, const std::string& text, std::string* error) {
  device = dev;
  if (!ParseEffectFile(text.data(), text.size(), &desc, error)) return false;
  for (const EffectTechnique& t : desc.techniques) {
    techniques.emplace_back();
    for (const EffectPass& p : t.passes) {
      Pass out;
      const std::string fs = BuildFragmentSource(desc, p);
      const std::string vs = BuildVertexSource(desc, p);
      std::string log;
      out.program = dev->CreateProgram(vs.empty() ? nullptr : vs.c_str(), fs.c_str(), &log);
      if (!out.program) {
        *error = "technique " + t.name + ", pass " + p.name + ": " + log;
        return false;
      }
      for (const EffectParam& prm : desc.params)
        out.locations.push_back(dev->UniformLocation(out.program, prm.name.c_str()));
      techniques.back().push_back(out);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Effect manager

void CDGEffectManager::OnLostDevice() {
  std::vector<CDGEffect*> all(effects_.begin(), effects_.end());
  for (CDGEffect* e : all) e->OnLostDevice();
}

void CDGEffectManager::OnResetDevice() {
  std::vector<CDGEffect*> all(effects_.begin(), effects_.end());
  for (CDGEffect* e : all) e->OnResetDevice();
}

bool CDGEffectManager::Add(CDGEffect* effect) {
  if (!effect) return false;
  effects_.insert(effect);
  return true;
}

bool CDGEffectManager::ReleaseEffect(CDGEffect* effect) {
  if (!effect) return false;
  // A deleted effect unregisters itself from its own manager; erase here too for effects that
  // were added by hand.
  const bool held = effects_.count(effect) != 0;
  if (!effect->Release()) return false;
  if (held) effects_.erase(effect);
  return true;
}

bool CDGEffectManager::Remove(CDGEffect* effect) {
  effects_.erase(effect);
  return true;
}

void CDGEffectManager::DetachAll() {
  std::vector<CDGEffect*> all(effects_.begin(), effects_.end());
  effects_.clear();
  for (CDGEffect* e : all) e->OnManagerGone();
  cache_.clear();
}

std::shared_ptr<CompiledEffect> CDGEffectManager::Compile(plat::GfxDevice* device, const std::string& text,
                                                          std::string* error) {
  auto it = cache_.find(text);
  if (it != cache_.end()) {
    if (auto live = it->second.lock(); live && live->device == device) return live;
  }
  auto fresh = std::make_shared<CompiledEffect>();
  if (!fresh->Build(device, text, error)) return nullptr;
  cache_[text] = fresh;
  return fresh;
}

// ---------------------------------------------------------------------------------------------
// Effect

CDGEffect::CDGEffect(CDGManager* manager) : manager_(manager) {
  if (manager_) manager_->EffectManager().Add(this);
}

CDGEffect::~CDGEffect() {
  ReleaseEffect();
  if (manager_) manager_->EffectManager().Remove(this);
}

bool CDGEffect::HasEffect() const { return compiled_ != nullptr; }

void CDGEffect::DropValues() {
  for (Value& v : values_)
    if (v.texture) v.texture->Release();
  values_.clear();
}

void CDGEffect::ReleaseEffect() {
  if (begun_) End();
  DropValues();
  compiled_.reset();
  source_.clear();
  technique_.clear();
  techniqueIndex_ = 0;
}

bool CDGEffect::Compile() {
  plat::GfxDevice* dev = manager_ ? manager_->Device() : nullptr;
  if (!dev) {
    error_ = "no device";
    return false;
  }
  compiled_ = manager_->EffectManager().Compile(dev, source_, &error_);
  if (!compiled_) return false;
  error_.clear();
  if (values_.size() != compiled_->desc.params.size()) {
    DropValues();
    values_.resize(compiled_->desc.params.size());
    for (size_t i = 0; i < values_.size(); ++i) values_[i].data.assign(compiled_->desc.params[i].Slots(), 0.0f);
  }
  techniqueIndex_ = 0;
  if (!technique_.empty())
    for (size_t i = 0; i < compiled_->desc.techniques.size(); ++i)
      if (compiled_->desc.techniques[i].name == technique_) techniqueIndex_ = static_cast<int>(i);
  return true;
}

bool CDGEffect::Create(CDGFileLoad* loader) {
  ReleaseEffect();
  if (!manager_ || !manager_->Device()) return false;
  if (!loader || !loader->Data()) {
    error_ = "no effect file";
    return false;
  }
  source_.assign(reinterpret_cast<const char*>(loader->Data()), loader->Size());
  path_ = loader->Path();
  if (!Compile()) {
    plat::Log("effect", "%s: %s", path_.c_str(), error_.c_str());
    source_.clear();
    return false;
  }
  return true;
}

// type: the EffectParamType wanted, or -1 for any non-texture type.
CDGEffect::Value* CDGEffect::FindValue(const char* name, int type) {
  if (!compiled_ || !name) return nullptr;
  const auto& params = compiled_->desc.params;
  for (size_t i = 0; i < params.size(); ++i) {
    if (params[i].name != name) continue;
    const bool isTexture = params[i].type == EffectParamType::Texture;
    if (type == -1 ? isTexture : static_cast<int>(params[i].type) != type) return nullptr;
    return &values_[i];
  }
  return nullptr;
}

bool CDGEffect::SetVector(const char* name, const float v[4]) {
  Value* val = FindValue(name, -1);
  if (!val || !v) return false;
  const size_t n = std::min<size_t>(4, val->data.size());
  const EffectParam* p = compiled_->desc.FindParam(name);
  if (p->type == EffectParamType::Int || p->type == EffectParamType::Matrix) return false;
  std::memcpy(val->data.data(), v, n * sizeof(float));
  return true;
}

bool CDGEffect::SetMatrix(const char* name, const Matrix44& m) {
  Value* val = FindValue(name, static_cast<int>(EffectParamType::Matrix));
  if (!val) return false;
  std::memcpy(val->data.data(), &m.m[0][0], 16 * sizeof(float));
  return true;
}

bool CDGEffect::SetTexture(const char* name, CDGTexture* texture) {
  Value* val = FindValue(name, static_cast<int>(EffectParamType::Texture));
  if (!val) return false;
  if (texture) texture->AddRef();
  if (val->texture) val->texture->Release();
  val->texture = texture;
  return true;
}

bool CDGEffect::SetFloat(const char* name, float value) {
  Value* val = FindValue(name, static_cast<int>(EffectParamType::Float));
  if (!val) return false;
  val->data[0] = value;
  return true;
}

bool CDGEffect::SetValue(const char* name, const void* data, uint32_t byteCount) {
  Value* val = FindValue(name, -1);
  if (!val || !data || byteCount == 0 || byteCount % 4 != 0 || byteCount > val->data.size() * 4) return false;
  std::memcpy(val->data.data(), data, byteCount);
  return true;
}

bool CDGEffect::SetTechnique(const char* name) {
  if (!compiled_ || !name) return false;
  for (size_t i = 0; i < compiled_->desc.techniques.size(); ++i)
    if (compiled_->desc.techniques[i].name == name) {
      techniqueIndex_ = static_cast<int>(i);
      technique_ = name;
      return true;
    }
  return false;
}

bool CDGEffect::OnLostDevice() {
  if (!compiled_) return false;
  if (begun_) End();
  compiled_.reset();
  return true;
}

bool CDGEffect::OnResetDevice() {
  if (compiled_ || source_.empty()) return compiled_ != nullptr;
  return Compile();
}

void CDGEffect::OnManagerGone() {
  ReleaseEffect();
  manager_ = nullptr;
}

int CDGEffect::Begin() {
  if (!compiled_ || !manager_ || !manager_->Device()) return 0;
  plat::GfxDevice* dev = manager_->Device();
  if (!begun_) {
    plat::BlendFactor s, d;
    dev->GetBlend(&s, &d);
    saved_.src = static_cast<uint8_t>(s);
    saved_.dst = static_cast<uint8_t>(d);
    saved_.z = dev->GetZEnable();
    saved_.linear = dev->GetLinearFilter();
    saved_.wrap = dev->GetTextureWrap();
    saved_.program = dev->CurrentProgram();
    begun_ = true;
    unitsUsed_ = false;
  }
  return static_cast<int>(compiled_->techniques[techniqueIndex_].size());
}

void CDGEffect::BeginPass(int pass) {
  if (!compiled_ || !begun_ || !manager_ || !manager_->Device()) return;
  const auto& passes = compiled_->techniques[techniqueIndex_];
  if (pass < 0 || pass >= static_cast<int>(passes.size())) return;
  plat::GfxDevice* dev = manager_->Device();
  const CompiledEffect::Pass& cp = passes[pass];
  const EffectPass& desc = compiled_->desc.techniques[techniqueIndex_].passes[pass];
  // Each pass starts from the state the effect found, then applies its own.
  dev->SetBlend(static_cast<plat::BlendFactor>(saved_.src), static_cast<plat::BlendFactor>(saved_.dst));
  dev->SetZEnable(saved_.z);
  dev->SetLinearFilter(saved_.linear);
  dev->SetTextureWrap(saved_.wrap);
  if (desc.setsBlend)
    dev->SetBlend(static_cast<plat::BlendFactor>(desc.blendSrc), static_cast<plat::BlendFactor>(desc.blendDst));
  if (desc.zEnable >= 0) dev->SetZEnable(desc.zEnable == 1);
  dev->UseProgram(cp.program);
  const auto& params = compiled_->desc.params;
  int unit = 1;
  for (size_t i = 0; i < params.size(); ++i) {
    const EffectParam& p = params[i];
    const int loc = cp.locations[i];
    if (p.type == EffectParamType::Texture) {
      const int u = unit++;
      if (loc < 0) continue;
      bool linear = false, wrap = false;
      for (const EffectSampler& s : desc.samplers)
        if (s.texture == p.name) linear = s.linear, wrap = s.wrap;
      CDGTexture* t = values_[i].texture;
      dev->BindTextureUnit(u, t && t->HasTexture() ? t->DeviceId() : 0, linear, wrap);
      dev->SetUniformInts(cp.program, loc, 1, &u);
      unitsUsed_ = true;
      continue;
    }
    if (loc < 0) continue;
    const float* d = values_[i].data.data();
    switch (p.type) {
      case EffectParamType::Int: {
        std::vector<int> ints(p.count);
        for (int k = 0; k < p.count; ++k) std::memcpy(&ints[k], d + k, 4);
        dev->SetUniformInts(cp.program, loc, p.count, ints.data());
        break;
      }
      case EffectParamType::Matrix:
        dev->SetUniformMatrix(cp.program, loc, d);
        break;
      default:
        dev->SetUniformFloats(cp.program, loc, p.Components(), p.count, d);
        break;
    }
  }
  for (const EffectSampler& s : desc.samplers)
    if (s.texture == "Tex0") {
      dev->SetLinearFilter(s.linear);
      dev->SetTextureWrap(s.wrap);
    }
}

void CDGEffect::End() {
  if (!begun_) return;
  begun_ = false;
  plat::GfxDevice* dev = manager_ ? manager_->Device() : nullptr;
  if (!dev) return;
  dev->UseProgram(saved_.program);
  dev->SetBlend(static_cast<plat::BlendFactor>(saved_.src), static_cast<plat::BlendFactor>(saved_.dst));
  dev->SetZEnable(saved_.z);
  dev->SetLinearFilter(saved_.linear);
  dev->SetTextureWrap(saved_.wrap);
  if (unitsUsed_)
    for (int u = 1; u < plat::GfxDevice::kTextureUnits; ++u) dev->BindTextureUnit(u, 0, false, false);
  unitsUsed_ = false;
}

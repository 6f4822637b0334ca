#include "render/model/model_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "platform/model/x_model.h"
#include "platform/text/log.h"
#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "render/file_load.h"

namespace {

constexpr float kPi = 3.14159265358979f;

Matrix44 FromRowMajor(const float* f) {
  Matrix44 m;
  std::memcpy(&m.m[0][0], f, sizeof m.m);
  return m;
}

// Row-vector rotation matrix of an animation key's quaternion (w, x, y, z) as the model reader
// hands it over (the same rotation as the file's key in its own row-vector convention).
Matrix44 QuaternionMatrix(const float* q) {
  const float w = q[0], x = q[1], y = q[2], z = q[3];
  Matrix44 m;
  m.m[0][0] = 1 - 2 * (y * y + z * z), m.m[0][1] = 2 * (x * y - w * z), m.m[0][2] = 2 * (x * z + w * y);
  m.m[1][0] = 2 * (x * y + w * z), m.m[1][1] = 1 - 2 * (x * x + z * z), m.m[1][2] = 2 * (y * z - w * x);
  m.m[2][0] = 2 * (x * z - w * y), m.m[2][1] = 2 * (y * z + w * x), m.m[2][2] = 1 - 2 * (x * x + y * y);
  return m;
}

template <typename Key>
size_t KeyBefore(const std::vector<Key>& keys, double t) {
  size_t i = 0;
  while (i + 1 < keys.size() && keys[i + 1].time <= t) ++i;
  return i;
}

void LerpVector(const std::vector<plat::XVectorKey>& keys, double t, float* out) {
  const size_t i = KeyBefore(keys, t);
  const plat::XVectorKey& a = keys[i];
  if (i + 1 >= keys.size() || t <= a.time) {
    std::copy(a.v, a.v + 3, out);
    return;
  }
  const plat::XVectorKey& b = keys[i + 1];
  const float f = static_cast<float>((t - a.time) / (b.time - a.time));
  for (int k = 0; k < 3; ++k) out[k] = a.v[k] + (b.v[k] - a.v[k]) * f;
}

void SlerpQuat(const std::vector<plat::XQuatKey>& keys, double t, float* out) {
  const size_t i = KeyBefore(keys, t);
  const plat::XQuatKey& a = keys[i];
  if (i + 1 >= keys.size() || t <= a.time) {
    std::copy(a.q, a.q + 4, out);
    return;
  }
  const plat::XQuatKey& b = keys[i + 1];
  const float f = static_cast<float>((t - a.time) / (b.time - a.time));
  float bq[4] = {b.q[0], b.q[1], b.q[2], b.q[3]};
  float dot = a.q[0] * bq[0] + a.q[1] * bq[1] + a.q[2] * bq[2] + a.q[3] * bq[3];
  if (dot < 0) {
    dot = -dot;
    for (float& v : bq) v = -v;
  }
  float wa = 1 - f, wb = f;
  if (dot < 0.9995f) {
    const float th = std::acos(dot), s = std::sin(th);
    wa = std::sin((1 - f) * th) / s;
    wb = std::sin(f * th) / s;
  }
  float len = 0;
  for (int k = 0; k < 4; ++k) {
    out[k] = a.q[k] * wa + bq[k] * wb;
    len += out[k] * out[k];
  }
  len = std::sqrt(len);
  if (len > 0)
    for (int k = 0; k < 4; ++k) out[k] /= len;
}

void ForEachFrame(ModelFrame* f, const std::function<void(ModelFrame*)>& fn) {
  for (; f; f = f->sibling) {
    fn(f);
    ForEachFrame(f->firstChild, fn);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Hierarchy

ModelFrame* CDGAllocateHierarchy::CreateFrame(const char* name) {
  auto* f = new ModelFrame();
  if (name) f->name = name;
  return f;
}

ModelMeshContainer* CDGAllocateHierarchy::CreateMeshContainer(const char* name) {
  auto* c = new ModelMeshContainer();
  c->name = name ? name : "";
  return c;
}

void CDGAllocateHierarchy::DestroyFrame(ModelFrame* frame) {
  // Siblings iteratively, children recursively: a long chain of siblings never deepens the stack.
  while (frame) {
    ModelFrame* next = frame->sibling;
    DestroyFrame(frame->firstChild);
    for (CDGTexture* t : frame->textures)
      if (t) t->Release();
    for (CDGEffect* e : frame->effects)
      if (e) e->Release();
    delete frame;
    frame = next;
  }
}

void CDGWorldMatrixStack::Build(ModelFrame* root) {
  stack_.clear();
  drawList_.clear();
  if (!root) return;
  stack_.push_back(&base_);
  Walk(root);
  stack_.clear();
}

void CDGWorldMatrixStack::Walk(ModelFrame* frame) {
  for (ModelFrame* f = frame; f; f = f->sibling) {
    if (!stack_.empty()) {
      f->transformation.Multiply(*stack_.back(), f->combined);
      // Depth extent of the frame's mesh under its combined matrix.
      f->minZ = 3.4028235e38f;
      f->maxZ = -3.4028235e38f;
      if (f->meshContainer)
        for (const ModelSubset& s : f->meshContainer->subsets)
          for (uint16_t i : s.indices) {
            if (i >= s.vertices.size()) continue;
            Vector3 p;
            f->combined.TransformCoord(Vector3(s.vertices[i].x, s.vertices[i].y, s.vertices[i].z), p);
            f->minZ = std::min(f->minZ, p.z);
            f->maxZ = std::max(f->maxZ, p.z);
          }
    }
    if (f->meshContainer) drawList_.push_back(f);
    if (f->firstChild) {
      stack_.push_back(&f->combined);
      Walk(f->firstChild);
      stack_.pop_back();
    }
  }
}

void CDGWorldMatrixStack::Sort(int mode, bool descending) {
  if (mode != 0 && mode != 1) return;
  drawList_.sort([&](const ModelFrame* a, const ModelFrame* b) {
    const float ka = mode == 0 ? a->minZ : a->maxZ, kb = mode == 0 ? b->minZ : b->maxZ;
    return descending ? ka > kb : ka < kb;
  });
}

// ---------------------------------------------------------------------------------------------
// Animation

ModelAnimController::ModelAnimController(std::vector<plat::XAnimationSet> sets, ModelFrame* root)
    : sets_(std::move(sets)) {
  if (sets_.empty()) return;
  const auto& channels = sets_[0].channels;
  for (size_t c = 0; c < channels.size(); ++c)
    ForEachFrame(root, [&](ModelFrame* f) {
      if (f->name == channels[c].frame) bindings_.emplace_back(static_cast<int>(c), f);
    });
}

ModelAnimController::~ModelAnimController() = default;

int ModelAnimController::NumAnimationSets() const { return static_cast<int>(sets_.size()); }

double ModelAnimController::Period(int set) const {
  if (set < 0 || set >= NumAnimationSets()) return 0;
  const plat::XAnimationSet& s = sets_[set];
  return s.ticksPerSecond > 0 ? s.durationTicks / s.ticksPerSecond : 0;
}

void ModelAnimController::ResetTime() {
  time_ = 0;
  Pose();
}

void ModelAnimController::AdvanceTime(double dt) {
  time_ += dt * speed_;
  Pose();
}

void ModelAnimController::Pose() {
  if (sets_.empty()) return;
  const plat::XAnimationSet& s = sets_[0];
  const double period = Period(0);
  double t = time_;
  if (period > 0) {
    t = std::fmod(t, period);
    if (t < 0) t += period;
  }
  const double ticks = t * s.ticksPerSecond;
  for (auto& [c, frame] : bindings_) {
    const plat::XChannel& ch = s.channels[c];
    float sc[3] = {1, 1, 1}, pos[3] = {0, 0, 0}, q[4] = {1, 0, 0, 0};
    if (!ch.scale.empty()) LerpVector(ch.scale, ticks, sc);
    if (!ch.position.empty()) LerpVector(ch.position, ticks, pos);
    if (!ch.rotation.empty()) SlerpQuat(ch.rotation, ticks, q);
    Matrix44 S, R = QuaternionMatrix(q), T, SR;
    S.Scaling(sc[0], sc[1], sc[2]);
    T.Translation(pos[0], pos[1], pos[2]);
    S.Multiply(R, SR);
    SR.Multiply(T, frame->transformation);
  }
}

// ---------------------------------------------------------------------------------------------
// Renderer

CDGModelRenderer::CDGModelRenderer(CDGManager* manager) : CDGRendererBase(manager) {}

CDGModelRenderer::~CDGModelRenderer() { ReleaseModel(); }

void CDGModelRenderer::DestroyDeviceMeshes() {
  plat::GfxDevice* dev = manager_ && manager_->Device() == meshDevice_ ? meshDevice_ : nullptr;
  auto drop = [&](ModelSubset& s) {
    if (dev && s.mesh) dev->DestroyMesh(s.mesh);
    s.mesh = 0;
  };
  for (ModelSubset& s : staticSubsets_) drop(s);
  ForEachFrame(root_, [&](ModelFrame* f) {
    if (f->meshContainer)
      for (ModelSubset& s : f->meshContainer->subsets) drop(s);
  });
}

void CDGModelRenderer::ReleaseModel() {
  DestroyDeviceMeshes();
  staticMaterials_.clear();
  staticSubsets_.clear();
  staticCount_ = 0;
  for (CDGTexture* t : materialTextures_)
    if (t) t->Release();
  materialTextures_.clear();
  for (CDGEffect* e : materialEffects_)
    if (e) e->Release();
  materialEffects_.clear();
  textureNames_.clear();
  materialCount_ = 0;
  controller_.reset();
  allocator_.DestroyFrame(root_);
  root_ = nullptr;
  animationSet_ = -1;
  materialOrder_.clear();
  stack_.Build(nullptr);
  meshDevice_ = nullptr;
  flags_ = 0;
}

void CDGModelRenderer::ReleaseResources() { CDGRendererBase::ReleaseResources(); }

void CDGModelRenderer::OnManagerGone() {
  ReleaseModel();
  CDGRendererBase::OnManagerGone();
}

namespace {
ModelSubset MakeSubset(plat::GfxDevice* dev, const plat::XMeshPart& p) {
  ModelSubset s;
  s.vertices = p.vertices;
  s.indices = p.indices;
  s.indexCount = static_cast<int>(p.indices.size());
  if (dev && !s.vertices.empty() && !s.indices.empty())
    s.mesh = dev->CreateMesh(s.vertices.data(), static_cast<int>(s.vertices.size()), s.indices.data(), s.indexCount);
  return s;
}

ModelMaterial ToMaterial(const plat::XMaterial& x) {
  ModelMaterial m;
  std::copy(x.diffuse, x.diffuse + 4, m.diffuse);
  std::copy(x.diffuse, x.diffuse + 4, m.ambient);
  std::copy(x.specular, x.specular + 3, m.specular);
  std::copy(x.emissive, x.emissive + 3, m.emissive);
  m.power = x.power;
  m.textureFile = x.textureFile;
  return m;
}

void CollectStatic(const plat::XModel& x, int index, const Matrix44& parent,
                   std::vector<std::vector<plat::XMeshPart>>* out) {
  const plat::XFrame& f = x.frames[index];
  Matrix44 combined;
  FromRowMajor(f.transform).Multiply(parent, combined);
  for (const plat::XMeshPart& p : f.parts) {
    if (p.material >= out->size()) continue;
    // Merged into the material's subset, moved by the frame's matrix.
    plat::XMeshPart moved = p;
    for (plat::MeshVertex& v : moved.vertices) {
      Vector3 q;
      combined.TransformCoord(Vector3(v.x, v.y, v.z), q);
      v.x = q.x, v.y = q.y, v.z = q.z;
    }
    auto& dst = (*out)[p.material];
    if (dst.empty()) dst.emplace_back();
    plat::XMeshPart& merged = dst.back();
    const size_t base = merged.vertices.size();
    if (base + moved.vertices.size() > 65535) continue;
    merged.vertices.insert(merged.vertices.end(), moved.vertices.begin(), moved.vertices.end());
    for (uint16_t i : moved.indices) merged.indices.push_back(static_cast<uint16_t>(i + base));
  }
  for (int c : f.children) CollectStatic(x, c, combined, out);
}
}  // namespace

void CDGModelRenderer::BuildStatic(const plat::XModel& x) {
  plat::GfxDevice* dev = manager_ ? manager_->Device() : nullptr;
  std::vector<std::vector<plat::XMeshPart>> perMaterial(x.materials.size());
  CollectStatic(x, 0, Matrix44(), &perMaterial);
  staticSubsets_.clear();
  for (auto& parts : perMaterial) staticSubsets_.push_back(parts.empty() ? ModelSubset{} : MakeSubset(dev, parts[0]));
  staticCount_ = static_cast<uint32_t>(staticSubsets_.size());
}

ModelFrame* CDGModelRenderer::BuildFrames(const plat::XModel& x, int index, const std::string& dir,
                                          CDGFileLoad* loader) {
  const plat::XFrame& xf = x.frames[index];
  ModelFrame* f = allocator_.CreateFrame(xf.name.c_str());
  f->transformation = FromRowMajor(xf.transform);
  f->bindPose = f->transformation;
  plat::GfxDevice* dev = manager_->Device();
  if (!xf.parts.empty()) {
    f->meshContainer.reset(allocator_.CreateMeshContainer(xf.name.c_str()));
    for (const plat::XMeshPart& p : xf.parts) {
      const plat::XMaterial mat = p.material < x.materials.size() ? x.materials[p.material] : plat::XMaterial{};
      f->meshContainer->materials.push_back(ToMaterial(mat));
      f->meshContainer->subsets.push_back(MakeSubset(dev, p));
      // Through the same loader as the static materials (program directory, archives); the frame
      // keeps its own reference.
      const std::string path = dir + mat.textureFile;
      f->textures.push_back(mat.textureFile.empty() ? nullptr
                                                    : manager_->LoadTextureFromLoader(path.c_str(), loader, 1));
    }
    f->effects.assign(f->textures.size(), nullptr);
  }
  ModelFrame* last = nullptr;
  for (int c : xf.children) {
    ModelFrame* child = BuildFrames(x, c, dir, loader);
    if (last)
      last->sibling = child;
    else
      f->firstChild = child;
    last = child;
  }
  return f;
}

void CDGModelRenderer::LoadModel(CDGFileLoad* source) {
  ReleaseModel();
  if (!manager_ || !manager_->Device() || !source || !source->Data()) return;
  plat::XModel x;
  std::string error;
  if (!plat::LoadXModel(source->Data(), source->Size(), &x, &error)) {
    plat::Log("model", "%s: %s", source->Path().c_str(), error.c_str());
    return;
  }
  meshDevice_ = manager_->Device();
  BuildStatic(x);
  // Directory of the model file: up to and including its last '\' or '/'.
  const std::string& p = source->Path();
  const size_t cut = p.find_last_of("\\/");
  const std::string dir = cut == std::string::npos ? std::string() : p.substr(0, cut + 1);
  auto* loader = new CDGFileLoad_QZT();
  if (x.hasFrames) {
    root_ = BuildFrames(x, 0, dir, loader);
    controller_ = std::make_unique<ModelAnimController>(x.animations, root_);
  }
  UpdateWorldMatrix();
  materialCount_ = static_cast<uint32_t>(x.materials.size());
  materialEffects_.assign(materialCount_, nullptr);
  materialOrder_.clear();
  for (uint32_t i = 0; i < materialCount_; ++i) {
    const plat::XMaterial& m = x.materials[i];
    staticMaterials_.push_back(ToMaterial(m));
    // A material without a texture asks for the directory itself, which gives no texture.
    const std::string path = dir + m.textureFile;
    materialTextures_.push_back(m.textureFile.empty() ? nullptr
                                                      : manager_->LoadTextureFromLoader(path.c_str(), loader, 1));
    textureNames_.push_back(m.textureFile);
    if (!root_) {
      // Depth key: minus the largest z among the first vertices of the material's faces.
      float best = -3.4028235e38f;
      const ModelSubset& s = staticSubsets_[i];
      for (size_t k = 0; k + 2 < s.indices.size(); k += 3)
        if (s.indices[k] < s.vertices.size()) best = std::max(best, s.vertices[s.indices[k]].z);
      materialOrder_.push_back(MaterialOrderEntry{s.indices.empty() ? 0.0f : -best, i, m.textureFile});
    }
  }
  loader->Release();
  materialOrder_.sort([](const MaterialOrderEntry& a, const MaterialOrderEntry& b) { return a.key < b.key; });
}

void CDGModelRenderer::RestartAnimation(bool loop) {
  flags_ = static_cast<uint16_t>(1 | (loop ? 2 : 0));
  if (controller_) {
    animationSet_ = controller_->NumAnimationSets() > 0 ? 0 : -1;
    // Milliseconds advance the animation in seconds.
    if (animationSet_ >= 0) controller_->SetTrackSpeed(0.001f);
  }
  time_ = 0;
  delta_ = 0;
  if (controller_) controller_->ResetTime();
}

void CDGModelRenderer::UpdateWorldMatrix() {
  Matrix44 S, R, rx, ry, rz, T, tmp;
  S.Scaling(scale_.x, scale_.y, scale_.z);
  const float toDeg = 180.0f / kPi;
  rx.RotationX(rotation_.x * toDeg);
  ry.RotationY(rotation_.y * toDeg);
  rz.RotationZ(rotation_.z * toDeg);
  rx.Multiply(ry, tmp);
  tmp.Multiply(rz, R);
  T.Translation(position_.x, position_.y, position_.z);
  S.Multiply(R, tmp);
  tmp.Multiply(T, world_);
  stack_.SetWorldMatrix(world_);
  stack_.Build(root_);
  stack_.Sort(0, false);
}

void CDGModelRenderer::SetTextureAll(CDGTexture* texture) {
  for (uint32_t i = 0; i < materialTextures_.size(); ++i) {
    if (materialTextures_[i]) materialTextures_[i]->Release();
    textureNames_[i].clear();
    materialTextures_[i] = texture;
    if (texture) texture->AddRef();
  }
  // Frames hold their own references.
  ForEachFrame(root_, [&](ModelFrame* f) {
    for (CDGTexture*& t : f->textures) {
      if (texture) texture->AddRef();
      if (t) t->Release();
      t = texture;
    }
  });
}

void CDGModelRenderer::SetMaterialTexture(uint32_t i, CDGTexture* texture) {
  if (i >= materialTextures_.size()) return;
  CDGTexture* old = materialTextures_[i];
  ForEachFrame(root_, [&](ModelFrame* f) {
    for (CDGTexture*& t : f->textures)
      if (t == old && old) {
        if (texture) texture->AddRef();
        t->Release();
        t = texture;
      }
  });
  if (texture) texture->AddRef();
  if (old) old->Release();
  materialTextures_[i] = texture;
}

CDGTexture* CDGModelRenderer::ReplaceTexture(const char* name, const std::vector<CDGEffect*>& effects) {
  if (!name) return nullptr;
  CDGTexture* last = nullptr;
  bool matched = false;
  size_t k = 0;
  for (uint32_t i = 0; i < materialCount_; ++i) {
    if (textureNames_[i] != name) continue;
    matched = true;
    last = materialTextures_[i];
    if (!effects.empty()) {
      CDGEffect* e = effects[k % effects.size()];
      if (e) e->AddRef();
      if (materialEffects_[i]) materialEffects_[i]->Release();
      materialEffects_[i] = e;
    }
    ++k;
  }
  if (!matched || effects.empty() || !last) return last;
  size_t m = 0;
  const std::list<ModelFrame*>& list = stack_.DrawList();
  for (ModelFrame* f : list)
    for (size_t j = 0; j < f->textures.size(); ++j) {
      if (f->textures[j] != last) continue;
      CDGEffect* e = effects[m % effects.size()];
      if (e) e->AddRef();
      if (f->effects[j]) f->effects[j]->Release();
      f->effects[j] = e;
      ++m;
    }
  return last;
}

void CDGModelRenderer::Update(float elapsedMs) {
  delta_ = 0;
  if (flags_ & 1) {
    delta_ = elapsedMs;
    time_ += elapsedMs;
    if (animationSet_ >= 0 && controller_) {
      const float period = static_cast<float>(controller_->Period(animationSet_) * 1000.0);
      if (time_ >= period) {
        if (flags_ & 2) {
          time_ = period > 0 ? std::fmod(time_, period) : 0.0f;
        } else {
          flags_ &= static_cast<uint16_t>(~1u);
          time_ = 0;
        }
      }
    } else {
      flags_ &= static_cast<uint16_t>(~1u);
      time_ = 0;
    }
  }
  Matrix44 wv;
  if (manager_) {
    world_.Multiply(manager_->ViewMatrix(), wv);
    sortKey_ = -wv.m[3][2];
  }
}

// The controller advances once per frame (not once per effect pass), and the combined matrices
// follow the new pose at once.
void CDGModelRenderer::Render() {
  if (controller_ && (flags_ & 1) && delta_ != 0.0f) {
    controller_->AdvanceTime(delta_);
    stack_.Build(root_);
    stack_.Sort(0, false);
  }
  delta_ = 0;
  CDGRendererBase::Render();
}

void CDGModelRenderer::DrawSubset(const ModelSubset& s, CDGTexture* texture, CDGEffect* effect) {
  plat::GfxDevice* dev = manager_->Device();
  if (!s.mesh || s.indexCount <= 0) return;
  dev->BindTexture(texture && texture->HasTexture() ? texture->DeviceId() : 0);
  if (effect && effect->IsEnabled()) {
    const int passes = effect->Begin();
    for (int p = 0; p < passes; ++p) {
      effect->BeginPass(p);
      dev->DrawMesh(s.mesh, 0, s.indexCount);
      effect->EndPass();
    }
    effect->End();
    if (passes > 0) return;
  }
  dev->DrawMesh(s.mesh, 0, s.indexCount);
}

void CDGModelRenderer::Draw(bool, bool, bool) {
  plat::GfxDevice* dev = manager_ ? manager_->Device() : nullptr;
  if (!dev || dev != meshDevice_) return;
  if (root_) {
    for (ModelFrame* f : stack_.DrawList()) {
      dev->SetWorld(&f->combined.m[0][0]);
      const auto& subsets = f->meshContainer->subsets;
      for (size_t j = 0; j < subsets.size(); ++j)
        DrawSubset(subsets[j], j < f->textures.size() ? f->textures[j] : nullptr,
                   j < f->effects.size() ? f->effects[j] : nullptr);
    }
  } else {
    dev->SetWorld(&world_.m[0][0]);
    for (const MaterialOrderEntry& e : materialOrder_)
      if (e.index < materialCount_ && e.index < staticSubsets_.size())
        DrawSubset(staticSubsets_[e.index], materialTextures_[e.index], materialEffects_[e.index]);
  }
  const Matrix44 identity;
  dev->SetWorld(&identity.m[0][0]);
  dev->BindTexture(0);
}

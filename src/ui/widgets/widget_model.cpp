#include "ui/widgets/widget_model.h"

#include <cstdlib>
#include <cstring>

#include "core/game_file.h"
#include "core/vmath.h"
#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "render/file_load.h"
#include "render/model/model_renderer.h"

namespace {
// A loader over bytes already read (the widget reads the file through the game reader).
class BytesLoader : public CDGFileLoad_QZT {
 public:
  BytesLoader(const uint8_t* data, int32_t size) {
    auto* copy = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)));
    if (copy) {
      std::memcpy(copy, data, static_cast<size_t>(size));
      Take(copy, static_cast<uint32_t>(size), GetModuleDir());
    }
  }
};
}  // namespace

RenderMenuModel::RenderMenuModel() {
  if (GetDGManager()) model_ = new CDGModelRenderer(GetDGManager());
}

RenderMenuModel::~RenderMenuModel() {
  if (model_) model_->Release();
}

bool RenderMenuModel::LoadModel(const uint8_t* data, int32_t size) {
  if (!model_ || !data || size <= 0) return false;
  auto* loader = new BytesLoader(data, size);
  model_->LoadModel(loader);
  loader->Release();
  return model_->HasModel();
}

bool RenderMenuModel::IsPlaying() const { return model_ && model_->IsPlaying(); }

void RenderMenuModel::RestartAnimation(int32_t n) {
  if (model_) model_->RestartAnimation(n != 0);
}

void RenderMenuModel::ReplaceTexture(const char* name, const std::vector<std::string>& textures) {
  if (!model_ || !name || textures.empty() || !GetDGManager()) return;
  size_t k = 0;
  for (uint32_t i = 0; i < model_->MaterialCount(); ++i) {
    if (model_->TextureNames()[i] != name) continue;
    const std::string path = std::string(GetModuleDir()) + textures[k++ % textures.size()];
    auto* loader = new CDGFileLoad_QZT();
    CDGTexture* t = GetDGManager()->LoadTextureFromLoader(path.c_str(), loader, 1);
    loader->Release();
    if (!t) continue;
    model_->SetMaterialTexture(i, t);
    t->Release();
  }
}

void RenderMenuModel::SetTransform(const Vector3& p, const Vector3& rotationRad, const Vector3& scale) {
  if (!model_) return;
  model_->SetPosition(Vector3(640.0f - p.x, 360.0f - p.y, p.z));
  model_->SetRotation(rotationRad);
  model_->SetScale(scale);
  model_->UpdateWorldMatrix();
}

bool RenderMenuModel::IsDrawable(float, float, float, float a, uint32_t) {
  if (!model_ || !model_->HasModel() || a <= 0.0f) return false;
  model_->Queue(true);
  return true;
}

void InstallRenderMenuModels() {
  SetMenuModelRendererFactory([]() -> MenuModelRenderer* { return new RenderMenuModel(); });
}

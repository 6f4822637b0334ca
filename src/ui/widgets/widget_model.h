// The model widget's renderer: a CDGModelRenderer on the program's device manager.
#pragma once
#include "ui/widgets/widget_services.h"

class CDGModelRenderer;

class RenderMenuModel : public MenuModelRenderer {
 public:
  RenderMenuModel();
  ~RenderMenuModel() override;
  bool LoadModel(const uint8_t* data, int32_t size) override;
  bool IsPlaying() const override;
  // A non-zero number plays the model's animation looping, zero plays it once.
  void RestartAnimation(int32_t n) override;
  // Materials whose texture is named `name` get the listed textures in turn (loaded through the
  // texture cache; a name that gives no texture leaves the material as it is).
  void ReplaceTexture(const char* name, const std::vector<std::string>& textures) override;
  // Widget coordinates (screen pixels) through the flat camera: (640 - x, 360 - y, z).
  void SetTransform(const Vector3& position, const Vector3& rotationRad, const Vector3& scale) override;
  // Queues the model for this frame unless it is fully transparent or has no model.
  bool IsDrawable(float r, float g, float b, float a, uint32_t widgetFlags) override;
  CDGModelRenderer* Model() const { return model_; }

 private:
  CDGModelRenderer* model_ = nullptr;
};

void InstallRenderMenuModels();

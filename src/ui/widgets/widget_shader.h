// Widget shaders backed by the renderer's shader classes: the widget is the shader's owner (time
// step, colour, the texture its sprite shows) and the shader's effect runs on the widget's
// sprite renderer.
#pragma once
#include <cstdint>

#include "render/effect/shader.h"
#include "ui/widgets/widget_services.h"

class CDGRendererBase;

class RenderWidgetShader : public WidgetShader, public ShaderOwner {
 public:
  // Takes ownership of the shader.
  RenderWidgetShader(int32_t id, CVShader* shader);
  ~RenderWidgetShader() override;

  void Attach(CVMenuBase* owner) override;
  void Apply() override;
  void Enable() override;
  void Disable() override;
  bool IsEnabled() const override;
  void SetParam(int32_t index, float value) override;

  float ShaderTimeStep() const override;
  CDGTexture* ShaderSourceTexture() const override;
  void ShaderColor(float* r, float* g, float* b, float* a) const override;

  CVShader* Shader() const { return shader_; }

 private:
  // Puts the effect on the owner's sprite renderer once there is one.
  void AttachEffect();
  void DetachEffect();

  CVShader* shader_;
  CVMenuBase* owner_ = nullptr;
  CDGRendererBase* renderer_ = nullptr;  // one reference while the effect is attached
};

// The factory widgets use: kinds 0 and 1 through the shader manager, the multiply-alpha kind.
WidgetShader* CreateRenderWidgetShader(int32_t kind);
// Installs it (SetWidgetShaderFactory).
void InstallRenderWidgetShaders();

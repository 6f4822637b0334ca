#include "ui/widgets/widget_shader.h"

#include "render/dg_base.h"
#include "render/sprite.h"
#include "render/texture_holder.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/widget_base.h"

namespace {
CVSprite* SpriteOf(CVMenuBase* w) {
  auto* win = dynamic_cast<CVMenuWindow*>(w);
  return win ? win->GetSprite() : nullptr;
}
}  // namespace

RenderWidgetShader::RenderWidgetShader(int32_t id, CVShader* shader) : WidgetShader(id), shader_(shader) {}

RenderWidgetShader::~RenderWidgetShader() {
  DetachEffect();
  delete shader_;
}

void RenderWidgetShader::Attach(CVMenuBase* owner) {
  DetachEffect();
  owner_ = owner;
  if (!shader_) return;
  shader_->SetUserData(this);
  shader_->Load();
  shader_->Enable();
  AttachEffect();
}

void RenderWidgetShader::AttachEffect() {
  if (renderer_ || !shader_ || !shader_->GetEffect()) return;
  CVSprite* sprite = SpriteOf(owner_);
  CDGRendererBase* r = sprite ? sprite->GetRenderer() : nullptr;
  if (!r) return;
  r->AddRef();
  renderer_ = r;
  renderer_->AttachResource(shader_->GetEffect(), false, false);
}

void RenderWidgetShader::DetachEffect() {
  if (!renderer_) return;
  if (shader_ && shader_->GetEffect()) renderer_->DetachResource(shader_->GetEffect());
  renderer_->Release();
  renderer_ = nullptr;
}

void RenderWidgetShader::Apply() {
  if (!shader_) return;
  // The sprite's renderer may be made (or re-made) after the shader was added.
  CVSprite* sprite = SpriteOf(owner_);
  if (renderer_ && (!sprite || sprite->GetRenderer() != renderer_)) DetachEffect();
  AttachEffect();
  shader_->SetParams();
}

void RenderWidgetShader::Enable() {
  WidgetShader::Enable();
  if (shader_) shader_->Enable();
}

void RenderWidgetShader::Disable() {
  WidgetShader::Disable();
  if (shader_) shader_->Disable();
}

bool RenderWidgetShader::IsEnabled() const { return shader_ ? shader_->IsActive() : WidgetShader::IsEnabled(); }

void RenderWidgetShader::SetParam(int32_t index, float value) {
  WidgetShader::SetParam(index, value);
  if (shader_) shader_->SetParam(index, value);
}

float RenderWidgetShader::ShaderTimeStep() const { return owner_ ? owner_->timeStep : 0.0f; }

CDGTexture* RenderWidgetShader::ShaderSourceTexture() const {
  CVSprite* sprite = SpriteOf(owner_);
  return sprite && sprite->texture ? sprite->texture->GetTexture() : nullptr;
}

void RenderWidgetShader::ShaderColor(float* r, float* g, float* b, float* a) const {
  if (!owner_) {
    *r = *g = *b = *a = 0;
    return;
  }
  *r = owner_->colour.r;
  *g = owner_->colour.g;
  *b = owner_->colour.b;
  *a = owner_->effectiveAlpha;
}

WidgetShader* CreateRenderWidgetShader(int32_t kind) {
  CVShader* s = kind == kMultiplyAlphaKind ? new CVShaderMultipleAlpha() : GetShaderMgr()->CreateShader(kind);
  if (!s) return nullptr;
  s->SetId(kind);
  return new RenderWidgetShader(kind, s);
}

void InstallRenderWidgetShaders() { SetWidgetShaderFactory(&CreateRenderWidgetShader); }

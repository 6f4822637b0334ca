// What widgets use of the world around them, behind small seams so that widget logic runs
// headless: the mouse buttons and wheel (the scene manager's input), the button sound, shaders and
// the model renderer. Each has a program default; tests and the scene manager install their own.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Vector3;

// Mouse buttons and wheel as widgets read them.
struct WidgetInput {
  virtual ~WidgetInput() = default;
  // 1 left down, else 2 right down, else 0.
  virtual int32_t GetMouseButton() = 0;
  // Signed wheel delta of this logic step (positive: rotated away from the user), 0 when none.
  virtual int32_t GetWheelDelta() = 0;
};
// Null restores the default, which reads the published mouse state and the wheel word.
void SetWidgetInput(WidgetInput* input);
WidgetInput& GetWidgetInput();

// Button state sounds.
struct WidgetSoundSink {
  virtual ~WidgetSoundSink() = default;
  // Effect `number` on `channel`, one-shot (the player adds one to the number for the file name).
  virtual void PlayEffect(int32_t channel, int32_t number) = 0;
};
// Null restores the default (the strategy sound effect player).
void SetWidgetSoundSink(WidgetSoundSink* sink);
WidgetSoundSink& GetWidgetSoundSink();

// A widget effect: three float parameters, an enable switch and its kind as id.
class CVMenuBase;
class WidgetShader {
 public:
  explicit WidgetShader(int32_t id) : id_(id) {}
  virtual ~WidgetShader() = default;
  // The widget took the shader into its table (it is the shader's owner from now on).
  virtual void Attach(CVMenuBase* owner) {}
  virtual void Apply() {}
  virtual void Enable() { enabled_ = true; }
  virtual void Disable() { enabled_ = false; }
  virtual bool IsEnabled() const { return enabled_; }
  virtual void SetParam(int32_t index, float value) {
    if (index >= 0 && index < 3) params_[index] = value;
  }
  float Param(int32_t index) const { return index >= 0 && index < 3 ? params_[index] : 0.0f; }
  int32_t Id() const { return id_; }

 private:
  int32_t id_;
  bool enabled_ = true;
  float params_[3] = {0, 0, 0};
};

// Kind 0 (vertex add colour) and kind 1 (HSV) make a shader, other kinds null. The shaders come
// from the installed factory (the renderer's shader classes); without one no widget has effects.
using WidgetShaderFactory = WidgetShader* (*)(int32_t kind);
void SetWidgetShaderFactory(WidgetShaderFactory factory);
WidgetShader* CreateWidgetShader(int32_t kind);
// The multiply-alpha shader used while widgets are drawn into one texture (the factory is asked
// for kind kMultiplyAlphaKind).
constexpr int32_t kMultiplyAlphaKind = 100;
WidgetShader* CreateMultiplyAlphaShader();

// The model renderer as the model widget uses it.
class MenuModelRenderer {
 public:
  virtual ~MenuModelRenderer() = default;
  virtual bool LoadModel(const uint8_t* data, int32_t size) = 0;
  virtual bool IsPlaying() const = 0;
  virtual void RestartAnimation(int32_t n) = 0;
  virtual void ReplaceTexture(const char* name, const std::vector<std::string>& textures) = 0;
  virtual void SetTransform(const Vector3& position, const Vector3& rotationRad, const Vector3& scale) = 0;
  virtual bool IsDrawable(float r, float g, float b, float a, uint32_t widgetFlags) = 0;
};
// Null until the model renderer is installed: model widgets then load nothing.
using MenuModelRendererFactory = MenuModelRenderer* (*)();
void SetMenuModelRendererFactory(MenuModelRendererFactory factory);
MenuModelRenderer* CreateMenuModelRenderer();

// Movies shown in a window's sprite. Null until installed: a movie then fails to open.
class CVTexture;
struct WidgetMoviePort {
  virtual ~WidgetMoviePort() = default;
  // Opens the file (program path) for drawing into a texture; the id, or -1 on failure.
  virtual int32_t Open(const char* path) = 0;
  virtual void GetVideoSize(int32_t id, uint32_t* w, uint32_t* h) = 0;
  virtual void SetTarget(int32_t id, CVTexture* texture) = 0;
  virtual void Play(int32_t id, bool loop) = 0;
  virtual bool IsFinished(int32_t id) = 0;
  virtual void Close(int32_t id) = 0;
};
void SetWidgetMoviePort(WidgetMoviePort* port);
WidgetMoviePort* GetWidgetMoviePort();

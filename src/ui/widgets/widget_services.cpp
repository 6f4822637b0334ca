#include "ui/widgets/widget_services.h"

#include "core/cv_input.h"
#include "sound/busyo_voice.h"

namespace {

// The published mouse state of the logic step and the wheel word.
class DefaultInput : public WidgetInput {
 public:
  int32_t GetMouseButton() override { return PublishedMouseLeft() ? 1 : (PublishedMouseRight() ? 2 : 0); }
  int32_t GetWheelDelta() override {
    const int32_t word = g_WheelWord.load();
    const int16_t delta = static_cast<int16_t>(static_cast<uint32_t>(word) >> 16);
    return delta;
  }
};

class DefaultSound : public WidgetSoundSink {
 public:
  void PlayEffect(int32_t channel, int32_t number) override { PlaySlgSe(channel, number, 0); }
};

DefaultInput g_defaultInput;
DefaultSound g_defaultSound;
WidgetInput* g_input = nullptr;
WidgetSoundSink* g_sound = nullptr;
WidgetShaderFactory g_shaderFactory = nullptr;
MenuModelRendererFactory g_modelFactory = nullptr;
WidgetMoviePort* g_moviePort = nullptr;

}  // namespace

void SetWidgetInput(WidgetInput* input) { g_input = input; }
WidgetInput& GetWidgetInput() { return g_input ? *g_input : g_defaultInput; }

void SetWidgetSoundSink(WidgetSoundSink* sink) { g_sound = sink; }
WidgetSoundSink& GetWidgetSoundSink() { return g_sound ? *g_sound : g_defaultSound; }

void SetWidgetShaderFactory(WidgetShaderFactory factory) { g_shaderFactory = factory; }
WidgetShader* CreateWidgetShader(int32_t kind) { return g_shaderFactory ? g_shaderFactory(kind) : nullptr; }
WidgetShader* CreateMultiplyAlphaShader() { return CreateWidgetShader(kMultiplyAlphaKind); }

void SetMenuModelRendererFactory(MenuModelRendererFactory factory) { g_modelFactory = factory; }
MenuModelRenderer* CreateMenuModelRenderer() { return g_modelFactory ? g_modelFactory() : nullptr; }

void SetWidgetMoviePort(WidgetMoviePort* port) { g_moviePort = port; }
WidgetMoviePort* GetWidgetMoviePort() { return g_moviePort; }

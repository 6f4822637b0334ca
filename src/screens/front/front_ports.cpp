#include "screens/front/front_ports.h"

#include "core/app_state.h"
#include "save/save_slot.h"
#include "save/system_files.h"
#include "scenario/script/adv_script.h"
#include "sound/sound.h"

namespace {

std::function<void()>& WindowModeHook() {
  static std::function<void()> hook;
  return hook;
}
std::function<void()>& RenderOptionHook() {
  static std::function<void()> hook;
  return hook;
}
std::function<void()>& WindowAlphaHook() {
  static std::function<void()> hook;
  return hook;
}

FrontPorts DefaultPorts() {
  FrontPorts p;
  p.saveSysData = [] { return SaveSysData(); };
  p.applySoundConfig = [] { ApplySoundConfig(); };
  p.applySlgSoundConfig = [] { ApplySlgSoundConfig(); };
  p.resetChannelVolumes = [] {
    for (int ch = 0; ch < kSoundChannelCount; ++ch) {
      SetChannelFade(ch, 0, -1);
      SetChannelVolume(ch, g_SoundChannelState.configured[ch]);
    }
  };
  p.applyWindowMode = [] {
    if (WindowModeHook()) WindowModeHook()();
  };
  p.applyRenderOption = [] {
    if (RenderOptionHook()) RenderOptionHook()();
  };
  p.applyWindowAlpha = [] {
    if (WindowAlphaHook()) WindowAlphaHook()();
  };
  p.readSlotHeader = [](int slot, SlotHeader& out) { return ReadSlotHeader(slot, out); };
  p.saveGameSlot = [](int slot, int mode, const SlotHeader& h) { return SaveGameSlot(slot, mode, &h); };
  p.buildSlotHeader = [](SlotHeader& out, int mode) { BuildSlotHeader(out, mode); };
  p.loadGameSlot = [](int slot) { return LoadGameSlot(slot); };
  p.quickLoad = [](int index) { return QuickLoad(index); };
  p.autoLoad = [](int index) { return AutoLoad(index); };
  p.snapshotSwitches = [] { GetAdvScript().SnapshotSwitches(); };
  p.loadTutorialScripts = [] { return LoadScriptFiles(1); };
  p.setSwitch0 = [](int32_t v) {
    AdvScript& s = GetAdvScript();
    if (!s.switches.empty()) s.switches[0] = v;
  };
  p.isMusicPlaying = [](const char* file) { return IsChannelFile(kSoundChannelBgm, file); };
  p.playMusic = [](const char* file, int fade) { PlaySound(kSoundChannelBgm, file, 1, fade, 0); };
  return p;
}

FrontPorts& Ports() {
  static FrontPorts ports = DefaultPorts();
  return ports;
}

}  // namespace

FrontPorts& GetFrontPorts() { return Ports(); }
void ResetFrontPorts() { Ports() = DefaultPorts(); }
void SetFrontShellHooks(std::function<void()> windowMode, std::function<void()> renderOption,
                        std::function<void()> windowAlpha) {
  WindowModeHook() = std::move(windowMode);
  RenderOptionHook() = std::move(renderOption);
  WindowAlphaHook() = std::move(windowAlpha);
}

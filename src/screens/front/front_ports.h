// What the settings, save and load screens reach outside the widget layer: the settings file,
// sound, the main window, the scenario's message window and the slot files, gathered in one table
// so that unit tests can watch and steer it. The defaults call the real services the layers below
// provide; the shell installs the window-mode hook (ResetFrontPorts restores the defaults).
#pragma once
#include <cstdint>
#include <functional>

struct SlotHeader;

struct FrontPorts {
  // ---- settings ----
  std::function<bool()> saveSysData;
  std::function<void()> applySoundConfig;
  std::function<void()> applySlgSoundConfig;
  // Every channel's fade stopped and its volume back to the configured one.
  std::function<void()> resetChannelVolumes;
  // Full screen or window from the settings; acts only when the mode differs from the window's.
  std::function<void()> applyWindowMode;
  std::function<void()> applyRenderOption;
  // The message window's opacity from the settings, when the scenario scene exists.
  std::function<void()> applyWindowAlpha;
  // ---- slots ----
  std::function<bool(int slot, SlotHeader& out)> readSlotHeader;
  // Whole slot through the atomic slot save (header last); false leaves the old slot.
  std::function<bool(int slot, int gameMode, const SlotHeader& header)> saveGameSlot;
  std::function<void(SlotHeader& out, int gameMode)> buildSlotHeader;
  std::function<bool(int slot)> loadGameSlot;
  std::function<bool(int index)> quickLoad;
  std::function<bool(int index)> autoLoad;
  // ---- tutorial ----
  std::function<void()> snapshotSwitches;
  std::function<bool()> loadTutorialScripts;
  std::function<void(int32_t value)> setSwitch0;
  std::function<bool(const char* file)> isMusicPlaying;
  std::function<void(const char* file, int fadeSpeed)> playMusic;
};

FrontPorts& GetFrontPorts();
void ResetFrontPorts();
// The program's window-mode and render-option switches and the message window's opacity, kept
// across ResetFrontPorts.
void SetFrontShellHooks(std::function<void()> windowMode, std::function<void()> renderOption,
                        std::function<void()> windowAlpha);

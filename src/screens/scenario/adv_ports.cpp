#include "screens/scenario/adv_ports.h"

#include <cstdlib>
#include <string>

#include "core/cv_input.h"
#include "core/error_box.h"
#include "core/file_io.h"
#include "core/game_file.h"
#include "movie/movie_mgr.h"
#include "save/save_slot.h"
#include "save/system_files.h"
#include "scenario/script/adv_script.h"
#include "sound/sound.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/widget_services.h"

namespace {

constexpr int kVoiceChannel = 2;

void InstallDefaults(AdvPorts& p) {
  p.keyHeld = [](int vk) { return GetSceneMgr().IsKeyDown(vk); };
  p.keyPressed = [](int vk) { return GetSceneMgr().IsKeyPressed(vk); };
  p.keyReleased = [](int vk) { return GetSceneMgr().IsKeyReleased(vk); };
  p.wheel = [] { return GetWidgetInput().GetWheelDelta(); };
  p.voicePlaying = [] { return IsChannelPlaying(kVoiceChannel); };
  p.fadeVoiceOut = [] {
    if (IsChannelPlaying(kVoiceChannel)) SetChannelFade(kVoiceChannel, -4, -1);
  };
  p.replayVoice = [](const char* file, int32_t number, int32_t param) {
    if (!file || !*file) return;
    ApplyVoiceVolumeSetting(number);
    PlaySound(kVoiceChannel, file, 0, 0, param);
  };
  p.stopMusic = [] { StopChannel(0); };
  p.playMovie = [](const char* path) { return GetMovieMgr().PlayFullScreen(path, false, false); };
  p.moviesFinished = [] { return GetMovieMgr().IsAllFinished(); };
  p.closeMovies = [] { GetMovieMgr().CloseAll(); };
  p.openDialog = [](int32_t kind) { return OpenDialogScene(kind, 1); };
  p.dialogResult = [] { return GetDialogResult(); };
  p.pushScreen = [](int32_t id) {
    // Only a screen the scene table knows how to show: a bare scene would trap the player.
    const SceneFlowRecord* r = GetSceneMgr().FindRecord(id);
    if (!r) return false;
    GetSceneMgr().RequestChangeWithCover(id, 1, -1.0f, -1.0f);
    return true;
  };
  p.requestScene = [](int32_t id, int32_t push) { GetSceneMgr().RequestChange(id, push); };
  p.quickSave = [](int32_t mode) { return QuickSave(mode); };
  p.quickLoad = [] { return QuickLoad(-1); };
  p.readFile = [](const std::string& path, std::vector<uint8_t>& out) {
    const std::string full = std::string(GetModuleDir()) + path;
    uint8_t* buf = nullptr;
    const int32_t n = ReadWholeFile(full.c_str(), &buf);
    if (n < 0) return false;
    out.assign(buf, buf + n);
    FreeFileBuffer(buf);
    return true;
  };
  p.errorBox = [](const char* text, const char* caption) { ShowErrorBox(text, caption); };
  p.setting = [](int index) {
    return index >= 0 && index < kSysConfigWords ? static_cast<int32_t>(SysConfigBlock[index]) : 0;
  };
  p.messageRead = [](int64_t id) { return GetAdvScript().IsMessageReadFlag(id); };
}

}  // namespace

AdvPorts& GetAdvPorts() {
  static AdvPorts ports = [] {
    AdvPorts p;
    InstallDefaults(p);
    return p;
  }();
  return ports;
}

void ResetAdvPorts() { InstallDefaults(GetAdvPorts()); }

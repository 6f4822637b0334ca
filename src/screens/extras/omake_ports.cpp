#include "screens/extras/omake_ports.h"

#include "core/app_state.h"
#include "movie/movie_mgr.h"
#include "save/system_files.h"
#include "scenario/script/adv_script.h"
#include "sound/sound.h"
#include "world/world_ports.h"
#include "world/world_tables.h"

namespace {

// The all-extras-unlocked flag: u32 at plc.dat byte 15, i.e. extras word 2.
constexpr int kAllUnlockedWord = 2;

OmakePorts DefaultPorts() {
  OmakePorts p;
  p.playMusicUnrecorded = [](const char* file, int loop, int fade) {
    PlaySoundUnrecorded(kSoundChannelBgm, file, loop, fade, 0);
  };
  p.fadeOutMusic = [] { SetChannelFade(kSoundChannelBgm, -1, -1); };
  p.setMusicLevel = [](int32_t level) {
    SetChannelVolumeLevel(kSoundChannelBgm, level);
    const int32_t l = level < 0 ? 0 : (level > 9 ? 9 : level);
    SetChannelFade(kSoundChannelBgm, 2, l == 0 ? kSoundVolumeAudible : SoundVolumeTable[l]);
  };
  p.configuredMusicLevel = [] { return static_cast<int32_t>(SysConfigBlock[kCfgAdvMusicLevel]); };
  p.applySoundConfig = [] { ApplySoundConfig(); };
  p.playMovie = [](const char* path) { return GetMovieMgr().PlayFullScreen(path, false, false); };
  p.movieFinished = [] { return GetMovieMgr().IsFinished(-1); };
  p.restartMovie = [] { GetMovieMgr().PlayFromStart(-1, false); };
  p.closeMovies = [] { GetMovieMgr().CloseAll(); };
  p.gotoLabel = [](const char* label) {
    AdvScript& s = GetAdvScript();
    if ((!s.loaded || s.setNumber != 0) && !s.LoadScriptFiles(0)) return false;
    if (s.FindLabelByName(label) < 0) return false;
    return s.GotoLabelName(label);
  };
  p.cgSeenWord = [](int32_t n) -> uint32_t {
    if (n < 1 || n > kPlcEventFlagBytes / 4) return 0;
    const uint8_t* b = &PlayRecordBlock.eventFlags[(n - 1) * 4];
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  };
  p.sceneSeen = [](int32_t n) { return n >= 0 && n < kOmakeSceneCount && PlayRecordBlock.sceneSeen[n] != 0; };
  p.allUnlocked = [] { return GetPlcWord(kAllUnlockedWord) != 0; };
  p.prepareReplayScript = [] {
    AdvScript& s = GetAdvScript();
    s.SnapshotSwitches();
    s.LoadScriptFiles(0);
  };
  p.galleryItemSeen = [](int32_t g, int32_t c, int32_t i) { return IsGalleryItemSeen(g, c, i); };
  p.playVoice = [](const char* file) { PlaySound(kSoundChannelVoice, file, 0, 0, 0); };
  p.resetWorld = [] {
    ScenarioNumber = 0;
    PreferredStartDaimyo = -1;
    SlgRules().ResetSlgTurnState();
  };
  return p;
}

OmakePorts& Ports() {
  static OmakePorts ports = DefaultPorts();
  return ports;
}

}  // namespace

OmakePorts& GetOmakePorts() { return Ports(); }
void ResetOmakePorts() { Ports() = DefaultPorts(); }

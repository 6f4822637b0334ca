#include "screens/front/scene_config.h"

#include <algorithm>
#include <cstring>

#include "core/app_state.h"
#include "platform/text/log.h"
#include "screens/front/cover_backdrop.h"
#include "screens/front/front_ports.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"

namespace {

struct ButtonEffect {
  int32_t id;
  int word;
  uint32_t value;
  bool enabled;
};
// On/off groups: the button that holds the copy's value shows selected.
constexpr ButtonEffect kButtons[] = {
    {10000, kCfgVoiceMode, 1, true},       {10001, kCfgVoiceMode, 0, true},       {10002, kCfgSkipMode, 0, true},
    {10003, kCfgSkipMode, 1, true},        {10004, kCfgWindowOption, 1, true},    {10005, kCfgWindowOption, 0, true},
    {10006, kCfgBattleAnimation, 1, true}, {10007, kCfgBattleAnimation, 0, true}, {10008, kCfgBattleStart, 2, true},
    {10009, kCfgBattleStart, 0, true},     {10010, kCfgBattleStart, 1, true},     {10011, kCfgBattleResults, 1, false},
    {10012, kCfgBattleResults, 0, false},  {10013, kCfgWindowMode, 0, true},      {10014, kCfgWindowMode, 1, true},
};

struct SliderWords {
  int level;
  int onOff;  // -1: none
};
constexpr SliderWords kSliders[CVMenuConfig::kSliderCount] = {
    {kCfgAdvMusicLevel, kCfgAdvMusicOn},
    {kCfgAdvEffectsLevel, kCfgAdvEffectsOn},
    {kCfgAdvVoiceLevel, kCfgAdvVoiceOn},
    {kCfgAutoSpeed, -1},
    {kCfgTextSpeed, -1},
    {kCfgWindowOpacity, -1},
    {kCfgSlgMusicLevel, kCfgSlgMusicOn},
    {kCfgSlgEffectsLevel, kCfgSlgEffectsOn},
    {kCfgSlgVoiceLevel, kCfgSlgVoiceOn},
};

const ButtonEffect* FindEffect(int32_t id) {
  for (const ButtonEffect& e : kButtons)
    if (e.id == id) return &e;
  return nullptr;
}

int32_t ClampLevel(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, CVMenuConfig::kMaxLevel)); }

}  // namespace

CVScene* CreateConfigScene(int32_t id) { return new CVSceneConfig(id); }
CVMenuSceneRoot* CreateConfigMenu(int32_t) { return new CVMenuConfig(); }

void CVMenuConfig::FindWidgets() {
  panel_ = FindChild(kWidgetSprite, 0);
  options_ = panel_ ? panel_->FindChild(kWidgetSprite, 5) : nullptr;
  buttonBox_ = options_ ? options_->FindChild(kWidgetWindow, 0) : nullptr;
  sliderBox_ = buttonBox_ ? buttonBox_->NextSibling() : nullptr;
  for (int i = 0; i < kSliderCount; ++i)
    sliders_[i] = sliderBox_ ? dynamic_cast<CVMenuSBar*>(sliderBox_->FindChild(kWidgetSBar, i)) : nullptr;
  if (!panel_ || !options_ || !buttonBox_ || !sliderBox_)
    plat::Log("config", "settings layout lacks its panel, options panel, button box or slider box");
  for (int i = 0; i < kSliderCount; ++i)
    if (sliderBox_ && !sliders_[i]) plat::Log("config", "settings layout has no slider %d", i + 1);
}

void CVMenuConfig::Open(int32_t a, int32_t b, int32_t c) {
  CVMenuSceneRoot::Open(a, b, c);
  std::memcpy(copy_, SysConfigBlock, sizeof copy_);
  FindWidgets();
  BuildBackdrop();
  SetFlagAll(kWfScreen, true);
  Refresh();
  cancelId = kCancel;
}

void CVMenuConfig::BuildBackdrop() {
  if (!scene || !panel_) return;
  BuildCoverBackdrop(*scene, panel_, panel_->FindChild(kWidgetSprite, 3));
}

bool CVMenuConfig::PressButton(int32_t id) {
  const ButtonEffect* e = FindEffect(id);
  if (!e || !e->enabled) return false;
  copy_[e->word] = e->value;
  return true;
}

void CVMenuConfig::SetSliderLevel(int i, int32_t level) {
  if (i < 0 || i >= kSliderCount) return;
  const int32_t v = ClampLevel(level);
  copy_[kSliders[i].level] = static_cast<uint32_t>(v);
  if (kSliders[i].onOff >= 0) copy_[kSliders[i].onOff] = v != 0 ? 1u : 0u;
}

int32_t CVMenuConfig::SliderLevel(int i) const {
  return i >= 0 && i < kSliderCount ? ClampLevel(copy_[kSliders[i].level]) : 0;
}

void CVMenuConfig::Refresh() {
  for (const ButtonEffect& e : kButtons) {
    CVMenuBtn* b = buttonBox_ ? buttonBox_->FindButtonById(e.id) : nullptr;
    if (!b) continue;
    b->SetFlag(kWfRest4, copy_[e.word] == e.value);
    if (!e.enabled) b->SetFlag(kWfEnabled, false);
  }
  for (int i = 0; i < kSliderCount; ++i)
    if (sliders_[i]) sliders_[i]->SetValue(SliderLevel(i));
}

bool CVMenuConfig::Apply() {
  FrontPorts& ports = GetFrontPorts();
  std::memcpy(SysConfigBlock, copy_, sizeof copy_);
  // Words this screen never writes may still be out of range (a damaged file read at start).
  ClampSysConfig();
  std::memcpy(copy_, SysConfigBlock, sizeof copy_);
  const bool saved = ports.saveSysData();
  if (!saved) plat::Log("config", "sys.dat could not be written; the settings hold for this run only");
  ports.applySoundConfig();
  ports.applyWindowMode();
  ports.applyRenderOption();
  if (GetSceneMgr().GetScene(2)) ports.applyWindowAlpha();
  return saved;
}

void CVMenuConfig::Update(int32_t x, int32_t y, uint32_t click) {
  bool changed = false;
  const int32_t decided = decidedId;
  if (decided == kApply) {
    Apply();
  } else if (decided != -1) {
    changed = PressButton(decided);
  }
  for (int i = 0; i < kSliderCount; ++i) {
    if (!sliders_[i]) continue;
    const int32_t level = ClampLevel(sliders_[i]->value);
    if (level != SliderLevel(i) || sliders_[i]->value != level) {
      SetSliderLevel(i, level);
      changed = true;
    }
  }
  if (changed) Refresh();
  CVMenuSceneRoot::Update(x, y, click);
}

bool CVSceneConfig::OnEnter() {
  savedGameMode_ = GameMode;
  GameMode = game_mode::kFrontScreen;
  return CVScene::OnEnter();
}

bool CVSceneConfig::OnLeave() {
  FrontPorts& ports = GetFrontPorts();
  GameMode = savedGameMode_;
  if (GameMode == game_mode::kSlg)
    ports.applySlgSoundConfig();
  else
    ports.applySoundConfig();
  ports.resetChannelVolumes();
  return CVScene::OnLeave();
}

#include "interp_test_support.h"

#include <cstdio>

#include "core/app_state.h"
#include "core/error_box.h"
#include "core/game_clock.h"
#include "formats/script/script_asm.h"
#include "platform/text/cp932.h"
#include "scenario/interp/adv_interp.h"
#include "scenario/interp/adv_step.h"
#include "scenario/script/adv_script.h"
#include "world/world_tables.h"

namespace v4test {
namespace {

std::string F(float v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}
std::string I(int64_t v) { return std::to_string(v); }
std::string U(const char* cp932) { return plat::Cp932ToUtf8(cp932 ? cp932 : ""); }
const char* V(AdvTweenVariant v) { return v == AdvTweenVariant::kPlain ? "" : v == AdvTweenVariant::kD ? "D" : "DA"; }

uint32_t ClockFn(void* user) { return *static_cast<uint32_t*>(user); }

}  // namespace

bool RecordingPresenter::SetMessage(int32_t readId, const char* sp, const std::vector<v4fmt::ScriptTextRecord>& records,
                                    bool newPage) {
  std::string t;
  for (const auto& r : records) t += U(r.text.c_str());
  Log("SetMessage(" + I(readId) + "," + U(sp) + "," + t + "," + I(static_cast<int64_t>(records.size())) + "," +
      B(newPage) + ")");
  speaker = sp ? sp : "";
  text = newPage ? t : text + t;
  finished = records.empty() || records.back().d < 0;
  return true;
}
void RecordingPresenter::SetBacklogVoice(const char* name, int32_t number, int32_t param) {
  Log("SetBacklogVoice(" + U(name) + "," + I(number) + "," + I(param) + ")");
}
bool RecordingPresenter::TakeFinishedMessage(std::string& sp, std::string& t) {
  if (!finished) return false;
  finished = false;
  sp = speaker;
  t = text;
  return true;
}
bool RecordingPresenter::SetChoices(const std::vector<AdvChoice>& choices) {
  std::string l = "SetChoices(";
  for (size_t i = 0; i < choices.size(); ++i)
    l += (i ? "," : "") + I(choices[i].label) + ":" + U(choices[i].text.c_str());
  Log(l + ")");
  return true;
}
bool RecordingPresenter::PlayMovie(const char* path) {
  std::string p = path;
  size_t cut = p.rfind("Data");
  Log("PlayMovie(" + (cut == std::string::npos ? p : p.substr(cut)) + ")");
  return true;
}
bool RecordingPresenter::LoadChar(int32_t slot, const char* name, int32_t position) {
  Log("LoadChar(" + I(slot) + "," + U(name) + "," + I(position) + ")");
  return true;
}
bool RecordingPresenter::ShowChar(int32_t slot, int32_t x0, int32_t y0, int32_t x1, int32_t y1, float time) {
  Log("ShowChar(" + I(slot) + "," + I(x0) + "," + I(y0) + "," + I(x1) + "," + I(y1) + "," + F(time) + ")");
  return true;
}
bool RecordingPresenter::HideChar(int32_t slot, int32_t x, int32_t y, float time) {
  Log("HideChar(" + I(slot) + "," + I(x) + "," + I(y) + "," + F(time) + ")");
  return true;
}
bool RecordingPresenter::MoveChar(int32_t slot, int32_t x, int32_t y, float time) {
  Log("MoveChar(" + I(slot) + "," + I(x) + "," + I(y) + "," + F(time) + ")");
  return true;
}
bool RecordingPresenter::LoadLayerImage(int32_t layer, const char* file, bool flag) {
  Log("LoadLayerImage(" + I(layer) + "," + U(file) + "," + B(flag) + ")");
  return true;
}
bool RecordingPresenter::SwapBgPage(int32_t time, const char* file) {
  Log("SwapBgPage(" + I(time) + "," + U(file) + ")");
  return true;
}
bool RecordingPresenter::SwapBgPageRot(int32_t a, int32_t b, int32_t c) {
  Log("SwapBgPageRot(" + I(a) + "," + I(b) + "," + I(c) + ")");
  return true;
}
bool RecordingPresenter::LoadEffectLayer(int32_t layer, const char* file, bool flag) {
  Log("LoadEffectLayer(" + I(layer) + "," + U(file) + "," + B(flag) + ")");
  return true;
}
bool RecordingPresenter::EffectIn(int32_t layer, int32_t time, const char* pattern) {
  Log("EffectIn(" + I(layer) + "," + I(time) + "," + U(pattern) + ")");
  return true;
}
bool RecordingPresenter::EffectOut(int32_t layer, int32_t time, const char* pattern) {
  Log("EffectOut(" + I(layer) + "," + I(time) + "," + U(pattern) + ")");
  return true;
}
bool RecordingPresenter::LensFlare(int32_t x, int32_t y, int32_t a, int32_t b, int32_t c) {
  Log("LensFlare(" + I(x) + "," + I(y) + "," + I(a) + "," + I(b) + "," + I(c) + ")");
  return true;
}
bool RecordingPresenter::Zoom(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
  Log("Zoom(" + I(a) + "," + I(b) + "," + I(c) + "," + I(d) + "," + I(e) + ")");
  return true;
}
bool RecordingPresenter::SetSprite(int32_t id, int32_t v) {
  Log("SetSprite(" + I(id) + "," + I(v) + ")");
  return true;
}
bool RecordingPresenter::SetSpriteImg(const char* file) {
  Log("SetSpriteImg(" + U(file) + ")");
  return true;
}
bool RecordingPresenter::SetAddBlend(bool on) {
  Log("SetAddBlend(" + B(on) + ")");
  return true;
}
bool RecordingPresenter::SetWaitCheck(bool on) {
  Log("SetWaitCheck(" + B(on) + ")");
  return true;
}
bool RecordingPresenter::StartSpriteMovie(bool on) {
  Log("StartSpriteMovie(" + B(on) + ")");
  return true;
}
bool RecordingPresenter::SpriteAnimeClear(int32_t id, int32_t v) {
  Log("SpriteAnimeClear(" + I(id) + "," + I(v) + ")");
  return true;
}
bool RecordingPresenter::SpriteAnimeMove(AdvTweenVariant var, int32_t id, float x, float y, float z, int32_t time,
                                         int32_t flag) {
  Log(std::string("SpriteAnimeMove") + V(var) + "(" + I(id) + "," + F(x) + "," + F(y) + "," + F(z) + "," + I(time) +
      "," + I(flag) + ")");
  return true;
}
bool RecordingPresenter::SpriteAnimeRot(AdvTweenVariant var, int32_t id, float a, float b, float c, float d,
                                        int32_t time, int32_t flag) {
  Log(std::string("SpriteAnimeRot") + V(var) + "(" + I(id) + "," + F(a) + "," + F(b) + "," + F(c) + "," + F(d) + "," +
      I(time) + "," + I(flag) + ")");
  return true;
}
bool RecordingPresenter::SpriteAnimeScale(AdvTweenVariant var, int32_t id, float x, float y, float z, int32_t time,
                                          int32_t flag) {
  Log(std::string("SpriteAnimeScale") + V(var) + "(" + I(id) + "," + F(x) + "," + F(y) + "," + F(z) + "," + I(time) +
      "," + I(flag) + ")");
  return true;
}
bool RecordingPresenter::SpriteAnimeColor(AdvTweenVariant var, int32_t id, float c2, float c3, float c4, float c1,
                                          float c5, int32_t time, int32_t flag) {
  Log(std::string("SpriteAnimeColor") + V(var) + "(" + I(id) + "," + F(c2) + "," + F(c3) + "," + F(c4) + "," + F(c1) +
      "," + F(c5) + "," + I(time) + "," + I(flag) + ")");
  return true;
}
bool RecordingPresenter::SpriteAnimeWait(int32_t id, float time, int32_t a, int32_t b) {
  Log("SpriteAnimeWait(" + I(id) + "," + F(time) + "," + I(a) + "," + I(b) + ")");
  return true;
}
bool RecordingPresenter::SpriteAnimeParts(int32_t id, int32_t a, float time, int32_t b, int32_t c) {
  Log("SpriteAnimeParts(" + I(id) + "," + I(a) + "," + F(time) + "," + I(b) + "," + I(c) + ")");
  return true;
}
bool RecordingPresenter::SpriteCut(int32_t id, int32_t a, float w, float h) {
  Log("SpriteCut(" + I(id) + "," + I(a) + "," + F(w) + "," + F(h) + ")");
  return true;
}
bool RecordingPresenter::SpriteAnimeStart(int32_t id) {
  Log("SpriteAnimeStart(" + I(id) + ")");
  return true;
}

void RecordingServices::PlayMusic(const char* file, const char* second, int32_t loop, int32_t fadeSpeed) {
  log_.push_back("PlayMusic(" + U(file) + "," + U(second) + "," + I(loop) + "," + I(fadeSpeed) + ")");
}
void RecordingServices::PlayEffect(int32_t channel, const char* file, int32_t loop, int32_t fadeSpeed, int32_t level) {
  log_.push_back("PlayEffect(" + I(channel) + "," + U(file) + "," + I(loop) + "," + I(fadeSpeed) + "," + I(level) +
                 ")");
}
void RecordingServices::FadeOutChannel(int32_t channel, int32_t speed) {
  log_.push_back("FadeOut(" + I(channel) + "," + I(speed) + ")");
}
void RecordingServices::ClearChannelFileName(int32_t channel) { log_.push_back("ClearFile(" + I(channel) + ")"); }
void RecordingServices::ApplyVoiceVolume(int32_t number) { log_.push_back("VoiceVolume(" + I(number) + ")"); }
void RecordingServices::PlayVoice(const char* file, int32_t param) {
  log_.push_back("PlayVoice(" + U(file) + "," + I(param) + ")");
}
void RecordingServices::UnlockOmakeSceneByLabel(int32_t label) { log_.push_back("UnlockScene(" + I(label) + ")"); }
void RecordingServices::SetCgFlag(uint32_t word, uint32_t bit) {
  log_.push_back("SetCgFlag(" + I(word) + "," + I(bit) + ")");
}
void RecordingServices::SetShareFlag(uint32_t index, uint32_t value) {
  log_.push_back("SetShareFlag(" + I(index) + "," + I(value) + ")");
}
void RecordingServices::UnlockGalleryCategory(int32_t general, int32_t category) {
  log_.push_back("UnlockGallery(" + I(general) + "," + I(category) + ")");
}
void RecordingServices::SetScenarioRoute(int32_t value) { log_.push_back("SetRoute(" + I(value) + ")"); }
void RecordingServices::SetScenarioHero(uint16_t value) { log_.push_back("SetHero(" + I(value) + ")"); }
bool RecordingServices::ChangeScene(int32_t id, int32_t push) {
  log_.push_back("ChangeScene(" + I(id) + "," + I(push) + ")");
  currentScene = id;
  return true;
}
void RecordingServices::RequestSceneChange(int32_t id, int32_t push) {
  log_.push_back("RequestScene(" + I(id) + "," + I(push) + ")");
}
void RecordingServices::SetSlgStartRequest(int32_t value) { log_.push_back("SlgStartRequest(" + I(value) + ")"); }
void RecordingServices::OpenUrl(const char* url) { log_.push_back("OpenUrl(" + U(url) + ")"); }
void RecordingServices::ShowDebugBox(const char* text, const char* title) {
  log_.push_back("DebugBox(" + U(text) + "|" + U(title) + ")");
}

void InterpTest::SetUp() {
  SetErrorBoxPresenter(&boxes_);
  SetAdvPresenter(&presenter_);
  SetAdvServices(&services_);
  SetGameClockOverride(&ClockFn, &clock_);
  g_QuitRequested.store(false);
  ClearScriptFault();
  ResetScriptFirstRunFlag();
  GameMode = game_mode::kMainScript;
  StoryEventBlockFlag = 0;
  ReturnToSlgFlag = 0;
  AdvEventNumber = 0;
}

void InterpTest::TearDown() {
  SetAdvPresenter(nullptr);
  SetAdvServices(nullptr);
  SetErrorBoxPresenter(nullptr);
  SetGameClockOverride(nullptr, nullptr);
  g_QuitRequested.store(false);
  StoryEventBlockFlag = 0;
  ReturnToSlgFlag = 0;
  GameMode = game_mode::kIdle;
  AdvScript& s = GetAdvScript();
  s.loaded = 0;
  s.eventArgument = 0;
}

v4fmt::CompiledScriptSet InterpTest::Load(const std::string& source) {
  v4fmt::CompiledScriptSet set;
  std::vector<std::string> errors;
  bool ok = v4fmt::AssembleScript(source, "test.v4s", set, errors);
  std::string all;
  for (const auto& e : errors) all += plat::Cp932ToUtf8(e) + "\n";
  EXPECT_TRUE(ok) << all << source;
  AdvScript& s = GetAdvScript();
  LoadBytes(set.bytecode);
  for (size_t i = 0; i < set.labelOffsets.size(); ++i) s.labelOffsets[i] = set.labelOffsets[i];
  for (size_t i = 0; i < v4fmt::kSwitchCount; ++i) {
    s.switches[i] = set.switchInit[i];
    std::string n = set.switchNames[i].substr(0, v4fmt::kScriptNameField - 1);
    std::copy(n.begin(), n.end(), s.switchNames.begin() + static_cast<long>(i * v4fmt::kScriptNameField));
  }
  for (const auto& [n, ev] : set.events) le::Put32(&s.events[n * v4fmt::kEventRecordSize + 64], ev.second);
  for (size_t i = 0; i < set.labelNames.size(); ++i) {
    std::string n = set.labelNames[i].substr(0, v4fmt::kScriptNameField - 1);
    std::copy(n.begin(), n.end(), s.labelNames.begin() + static_cast<long>(i * v4fmt::kLabelNameRecordSize));
  }
  return set;
}

void InterpTest::LoadBytes(const std::vector<uint8_t>& code) {
  AdvScript& s = GetAdvScript();
  s.Reset();
  for (size_t i = 0; i < v4fmt::kEventCount; ++i)
    le::Put32(&s.events[i * v4fmt::kEventRecordSize + 64], v4fmt::kNoEvent);
  std::copy(code.begin(), code.end(), s.bytecode.begin());
  s.bytecodeSize = static_cast<uint32_t>(code.size());
  s.loaded = 1;
  s.setNumber = -1;  // no read-message file is written for an in-memory set
  s.pc = 0;
  s.lastTick = clock_;
  s.waitRemaining = 0;
  s.waitJumpLabel = -1;
  s.eventArgument = 0;
}

int InterpTest::RunToEnd(int maxCalls, uint32_t stepMs) {
  int continued = 0;
  for (int i = 0; i < maxCalls; ++i) {
    clock_ += stepMs;
    if (!RunScript(GetAdvScript())) return continued;
    ++continued;
  }
  return continued;
}

std::string InterpTest::Log() const {
  std::string out;
  for (const auto& l : log_) out += (out.empty() ? "" : "; ") + l;
  return out;
}

uint32_t InterpTest::LabelOffset(const v4fmt::CompiledScriptSet& set, const std::string& name) const {
  for (size_t i = 0; i < set.labelNames.size(); ++i)
    if (set.labelNames[i] == name) return set.labelOffsets[i];
  ADD_FAILURE() << "no label " << name;
  return 0;
}

}  // namespace v4test

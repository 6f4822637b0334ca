#include "render/effect/shader.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/game_file.h"
#include "render/dg_base.h"
#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "render/file_load.h"
#include "render/texture_holder.h"

namespace {
ShaderMoviePort* g_moviePort = nullptr;
constexpr float kEpsilon = 1.1920929e-7f;
}  // namespace

void SetShaderMoviePort(ShaderMoviePort* port) { g_moviePort = port; }
ShaderMoviePort* GetShaderMoviePort() { return g_moviePort; }

// ---------------------------------------------------------------------------------------------
// Base

CVShader::~CVShader() { ReleaseEffect(); }

void CVShader::Disable() {
  enabled_ = 0;
  if (effect_) effect_->SetEnabled(false);
}

void CVShader::Enable() {
  enabled_ = 1;
  if (effect_) effect_->SetEnabled(true);
}

void CVShader::CreateEffect(CDGManager* manager) {
  ReleaseEffect();
  effect_ = new CDGEffect(manager);
  effect_->SetEnabled(enabled_ != 0);
}

void CVShader::ReleaseEffect() {
  if (effect_) effect_->Release();
  effect_ = nullptr;
}

void CVShader::SetEffect(CDGEffect* effect) {
  if (effect) effect->AddRef();
  ReleaseEffect();
  effect_ = effect;
}

void CVShader::LoadEffect(const char* file, const char* technique) {
  CreateEffect(GetDGManager());
  const std::string path = std::string(GetModuleDir()) + file;
  auto* loader = new CDGFileLoad_QZT(path.c_str());
  effect_->Create(loader);
  loader->Release();
  effect_->SetTechnique(technique);
}

CDGTexture* CVShader::Source() const {
  if (textureOverride_) return textureOverride_;
  return owner_ ? owner_->ShaderSourceTexture() : nullptr;
}

float CVShader::TimeStep() const { return owner_ ? owner_->ShaderTimeStep() : 0.0f; }

bool CVShader::TextureSize(CDGTexture* t, float* w, float* h) {
  uint32_t tw = 0, th = 0;
  if (!t || !t->GetSurfaceSize(&tw, &th) || !tw || !th) return false;
  *w = static_cast<float>(tw);
  *h = static_cast<float>(th);
  return true;
}

bool CVShader::HolderSize(CVTexture* t, float* w, float* h) {
  if (!t || !t->GetTexture()) return false;
  return TextureSize(t->GetTexture(), w, h);
}

CVTexture* CVShader::LoadPattern(const char* file) {
  if (!file || !*file || !GetTextureMgr()) return nullptr;
  return GetTextureMgr()->GetTexture(file, false, false);
}

void CVShader::FreePattern(CVTexture*& t) {
  if (t) t->Drop();
  t = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Gauss filter

void CVShaderGaussFilter::Load() { LoadEffect("Data\\effect\\gaussFilter.cfx", "GAUSS_FILTER"); }

void CVShaderGaussFilter::SetParam(int32_t index, float value) {
  if (index == 0) SetDispersion(value);
}

void CVShaderGaussFilter::SetDispersion(float d) {
  float sum = 0;
  for (int i = 0; i < 8; ++i) {
    const float x = 2.0f * static_cast<float>(i);
    weight_[i] = std::exp(-x * x * d);
    sum += weight_[i];
  }
  for (float& w : weight_) w = w / sum * 0.5f;
}

void CVShaderGaussFilter::SetParams() {
  if (!effect_) return;
  effect_->SetValue("weight", weight_, sizeof weight_);
  float w = 0, h = 0;
  if (!TextureSize(Source(), &w, &h)) return;
  const float ox[2] = {16.0f / w, 0.0f}, oy[2] = {0.0f, 16.0f / h};
  effect_->SetValue("offsetX", ox, sizeof ox);
  effect_->SetValue("offsetY", oy, sizeof oy);
  SetTapOffsets(effect_, w, h);
}

void CVShaderGaussFilter::SetTapOffsets(CDGEffect* effect, float w, float h) {
  if (!effect || w <= 0 || h <= 0) return;
  static const float kTaps[8] = {1, -1, -3, -5, -7, -9, -11, -13};
  float px[16], py[16];
  for (int i = 0; i < 8; ++i) {
    px[2 * i] = kTaps[i] / w, px[2 * i + 1] = 0;
    py[2 * i] = 0, py[2 * i + 1] = kTaps[i] / h;
  }
  effect->SetValue("TexDPosX", px, sizeof px);
  effect->SetValue("TexDPosY", py, sizeof py);
}

// ---------------------------------------------------------------------------------------------
// HSV

void CVShaderHSV::Load() { LoadEffect("Data\\effect\\HSV.cfx", "HSV"); }

void CVShaderHSV::SetParam(int32_t index, float value) {
  if (index == 0) SetH(value);
  if (index == 1) SetS(value);
  if (index == 2) SetV(value);
}

// Brought into (-1, 1] by steps of 2 (computed with fmod: a stepping loop never ends for an
// infinite value and takes forever for a huge one), then in sixths of the hue circle.
void CVShaderHSV::SetH(float x) {
  if (!std::isfinite(x)) x = 0.0f;
  float r = std::fmod(x + 1.0f, 2.0f);
  if (r <= 0.0f) r += 2.0f;
  h_ = (r - 1.0f) * 6.0f;
  if (effect_) effect_->SetFloat("dH", h_);
  Reevaluate();
}

void CVShaderHSV::SetS(float x) {
  s_ = std::isfinite(x) ? std::clamp(x, -1.0f, 1.0f) : 0.0f;
  if (effect_) effect_->SetFloat("dS", s_);
  Reevaluate();
}

void CVShaderHSV::SetV(float x) {
  v_ = std::isfinite(x) ? std::clamp(x, -1.0f, 1.0f) : 0.0f;
  if (effect_) effect_->SetFloat("dV", v_);
  Reevaluate();
}

void CVShaderHSV::Reevaluate() {
  if (std::fabs(h_) <= kEpsilon && std::fabs(s_) <= kEpsilon && std::fabs(v_) <= kEpsilon)
    Disable();
  else
    Enable();
}

// ---------------------------------------------------------------------------------------------
// Clouds, foam and waves

CVShaderKsnCloud::CVShaderKsnCloud(float periodA, int32_t kind, const char* patternFile)
    : CVShaderKsnCloud(periodA, 0.0f, kind, patternFile) {}

CVShaderKsnCloud::CVShaderKsnCloud(float periodA, float periodB, int32_t kind, const char* patternFile)
    : kind_(kind), periodA_(periodA), periodB_(periodB) {
  if (kind == 3) pattern_ = LoadPattern(patternFile);
}

CVShaderKsnCloud::~CVShaderKsnCloud() { FreePattern(pattern_); }

void CVShaderKsnCloud::Load() {
  timeA_ = timeB_ = 0;
  static const char* kFiles[4] = {"Data\\effect\\ksn_cloud.cfx", "Data\\effect\\ksn_koj_awa.cfx",
                                  "Data\\effect\\ksn_koj_wave.cfx", "Data\\effect\\ksn_riv_wave.cfx"};
  static const char* kTechniques[4] = {"KSNCLOUD", "KSNKOJAWA", "KSNKOJWAVE", "KSNRIVWAVE"};
  if (kind_ >= 0 && kind_ < 4) LoadEffect(kFiles[kind_], kTechniques[kind_]);
}

void CVShaderKsnCloud::SetParams() {
  CDGTexture* src = Source();
  if (!effect_ || !src) return;
  timeA_ += TimeStep();
  if (timeA_ >= periodA_) timeA_ -= periodA_;
  effect_->SetTexture("MeshTex", src);
  const float phase = std::trunc(periodA_) != 0.0f ? timeA_ / periodA_ : 0.0f;
  if (kind_ == 0 || kind_ == 1) {
    effect_->SetFloat("d", phase);
  } else if (kind_ == 2) {
    timeB_ += TimeStep();
    if (timeB_ >= periodB_) timeB_ -= periodB_;
    // A period below 1 has no wave: dA stays 0 rather than dividing by zero.
    float dA = 0.0f;
    if (std::trunc(periodB_) != 0.0f) {
      const float half = periodB_ * 0.5f;
      dA = timeB_ < half ? timeB_ / half : 1.0f - (timeB_ - half) / half;
    }
    effect_->SetFloat("dA", dA);
  } else if (kind_ == 3) {
    effect_->SetFloat("d", phase);
    float sw = 0, sh = 0, pw = 0, ph = 0;
    if (pattern_ && HolderSize(pattern_, &pw, &ph)) {
      effect_->SetTexture("PatternTex", pattern_->GetTexture());
      if (TextureSize(src, &sw, &sh)) {
        const float rate[2] = {sw / pw, sh / ph};
        effect_->SetValue("whRate", rate, sizeof rate);
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Cut-in and transition

CVShaderKsnCutin::CVShaderKsnCutin(const char* patternFile, float duration, bool reverse)
    : reverse_(reverse ? 1 : 0), duration_(duration) {
  pattern_ = LoadPattern(patternFile);
}

CVShaderKsnCutin::~CVShaderKsnCutin() { FreePattern(pattern_); }

void CVShaderKsnCutin::Load() { LoadEffect("Data\\effect\\ksn_cutin.cfx", "KSN_CUTIN"); }

void CVShaderKsnCutin::Reset() {
  time_ = 0;
  skip_ = 0;
  finished_ = 0;
}

namespace {
// The wipe's parameters at the current time (shared by the cut-in and the transition).
void SetWipe(CDGEffect* e, float time, float duration, bool reverse, CDGTexture* src, CVTexture* pattern) {
  uint32_t sw = 0, sh = 0, pw = 0, ph = 0;
  if (!e || !src || !pattern || !pattern->GetTexture() || !src->GetSurfaceSize(&sw, &sh) ||
      !pattern->GetTexture()->GetSurfaceSize(&pw, &ph) || !pw || !ph)
    return;
  float t = duration > 0.0f ? time / duration : 1.0f;
  if (reverse) t = 1.0f - t;
  e->SetFloat("T", t);
  e->SetTexture("MeshTex", src);
  e->SetTexture("PatternTex", pattern->GetTexture());
  e->SetFloat("widthRate", static_cast<float>(sw) / static_cast<float>(pw));
  e->SetFloat("heightRate", static_cast<float>(sh) / static_cast<float>(ph));
}
}  // namespace

void CVShaderKsnCutin::SetParams() {
  if (!effect_ || !IsActive()) return;
  if (time_ >= duration_ || finished_) {
    finished_ = 1;
    return;
  }
  if (owner_) time_ += TimeStep();
  if (time_ > duration_ || skip_) time_ = duration_;
  SetWipe(effect_, time_, duration_, reverse_ != 0, Source(), pattern_);
}

CVShaderTransition::CVShaderTransition(const char* patternFile, float duration, bool reverse)
    : reverse_(reverse ? 1 : 0), duration_(duration) {
  pattern_ = LoadPattern(patternFile);
}

CVShaderTransition::~CVShaderTransition() { FreePattern(pattern_); }

bool CVShaderTransition::HasPattern() const { return pattern_ && pattern_->GetTexture(); }

void CVShaderTransition::Load() { LoadEffect("Data\\effect\\transition.cfx", "TRANSIT"); }

void CVShaderTransition::SetParams() {
  if (!effect_) return;
  if (time_ >= duration_ || finished_) {
    finished_ = 1;
    return;
  }
  if (owner_) time_ += TimeStep();
  if (time_ > duration_) time_ = duration_;
  SetWipe(effect_, time_, duration_, reverse_ != 0, Source(), pattern_);
}

// ---------------------------------------------------------------------------------------------
// Fire flipbook

CVShaderKsnFire::CVShaderKsnFire(int32_t columns, int32_t rows, float period, float startTime)
    : columns_(columns), rows_(rows), period_(period), time_(startTime) {}

void CVShaderKsnFire::Load() { LoadEffect("Data\\effect\\ksn_koj_fire.cfx", "KSNRIVFIRE"); }

// The clock wraps with fmod: subtracting the period in a loop never ends for a period of 0 and
// crawls for a huge time step.
void CVShaderKsnFire::SetParams() {
  if (!effect_ || !owner_) return;
  time_ += TimeStep();
  float phase = 0.0f;
  if (std::trunc(period_) != 0.0f && period_ > 0.0f && std::isfinite(time_)) {
    time_ = std::fmod(time_, period_);
    if (time_ < 0.0f) time_ += period_;
    phase = time_ / period_;
  } else {
    time_ = 0.0f;
  }
  CDGTexture* src = Source();
  const int32_t cells = columns_ * rows_;
  if (!src || columns_ <= 0 || rows_ <= 0) return;
  const int32_t frame = static_cast<int32_t>(std::trunc(static_cast<float>(cells) * phase)) % cells;
  const float uv[2] = {static_cast<float>(frame % columns_) / static_cast<float>(columns_),
                       static_cast<float>(frame / columns_) / static_cast<float>(rows_)};
  effect_->SetValue("dUV", uv, sizeof uv);
  effect_->SetTexture("MeshTex", src);
}

// ---------------------------------------------------------------------------------------------
// Province cursor

CVShaderKuniCursor::CVShaderKuniCursor(const char* maskFile) {
  mask_ = LoadPattern(maskFile);
  if (mask_ && mask_->GetTexture()) {
    maskWidth_ = static_cast<uint32_t>(std::max(0, mask_->GetWidth()));
    maskHeight_ = static_cast<uint32_t>(std::max(0, mask_->GetHeight()));
  }
}

CVShaderKuniCursor::~CVShaderKuniCursor() { FreePattern(mask_); }

void CVShaderKuniCursor::Load() { LoadEffect("Data\\effect\\kuni_cursor.cfx", "KUNI_CURSOR"); }

void CVShaderKuniCursor::SetCursor(uint16_t code, uint16_t x, uint16_t y, uint16_t w, uint16_t h) {
  provinceCode_ = code;
  x_ = x, y_ = y, w_ = w, h_ = h;
}

void CVShaderKuniCursor::SetParams() {
  CDGTexture* src = Source();
  if (!effect_ || !src || !mask_ || !mask_->GetTexture() || !maskWidth_ || !maskHeight_) return;
  effect_->SetTexture("MeshTex", src);
  effect_->SetTexture("MaskTex", mask_->GetTexture());
  const uint16_t no[2] = {provinceCode_, 0};
  effect_->SetValue("No", no, sizeof no);
  const float mw = static_cast<float>(maskWidth_), mh = static_cast<float>(maskHeight_);
  const float start[2] = {x_ / mw, y_ / mh}, wh[2] = {w_ / mw, h_ / mh};
  effect_->SetValue("startUV", start, sizeof start);
  effect_->SetValue("whUV", wh, sizeof wh);
}

// ---------------------------------------------------------------------------------------------
// Movie transition

CVShaderMovieTransition::CVShaderMovieTransition(const char* movieFile) {
  movie_ = new CVTexture(-1);
  movie_->CreateEmpty(640, 360);
  const std::string path = std::string(GetModuleDir()) + (movieFile ? movieFile : "");
  if (g_moviePort && movieFile) movieId_ = g_moviePort->Open(path.c_str(), movie_);
}

// The movie is stopped before its texture goes: the decoder must not write into freed memory.
CVShaderMovieTransition::~CVShaderMovieTransition() {
  if (movieId_ >= 0 && g_moviePort) g_moviePort->Close(movieId_);
  movieId_ = -1;
  delete movie_;
}

void CVShaderMovieTransition::Load() { LoadEffect("Data\\effect\\movieTransition.cfx", "MVTRANSIT"); }

void CVShaderMovieTransition::SetParams() {
  CDGTexture* src = Source();
  if (!effect_ || !src || !movie_ || !movie_->GetTexture()) return;
  const bool movieDone = movieId_ < 0 || !g_moviePort || g_moviePort->IsFinished(movieId_);
  if (!finished_ && !movieDone) {
    effect_->SetTexture("MeshTex", src);
    effect_->SetTexture("PatternTex", movie_->GetTexture());
  } else {
    finished_ = 1;
  }
}

// ---------------------------------------------------------------------------------------------
// Plain filters

void CVShaderMultipleAlpha::Load() { LoadEffect("Data\\effect\\multiplealpha.cfx", "MULTIPLEALPHA"); }

void CVShaderSepia::Load() { LoadEffect("Data\\effect\\YIQ.cfx", "YIQ"); }

void CVShaderSepia::SetParams() {
  if (!effect_) return;
  effect_->SetFloat("I", GetDefaultParam(mode_));
  effect_->SetFloat("Q", GetDefaultParamQ(mode_));
}

CVShaderTexBlendBy::CVShaderTexBlendBy(const char* patternFile) { pattern_ = LoadPattern(patternFile); }

CVShaderTexBlendBy::~CVShaderTexBlendBy() { FreePattern(pattern_); }

void CVShaderTexBlendBy::Load() { LoadEffect("Data\\effect\\texBlend_By.cfx", "TEXBLEND_BY"); }

void CVShaderTexBlendBy::SetParams() {
  float sw = 0, sh = 0, pw = 0, ph = 0;
  if (!effect_ || !TextureSize(Source(), &sw, &sh) || !HolderSize(pattern_, &pw, &ph)) return;
  effect_->SetTexture("PatternTex", pattern_->GetTexture());
  const float rate[2] = {sw / pw, sh / ph};
  effect_->SetValue("whRate", rate, sizeof rate);
}

void CVShaderVerAddCol::Load() { LoadEffect("Data\\effect\\vertexAddCol.cfx", "VERTEXADDCOL"); }

void CVShaderVerAddCol::SetParams() {
  CDGTexture* src = Source();
  if (!effect_ || !src || !owner_) return;
  float c[4] = {0, 0, 0, 0};
  owner_->ShaderColor(&c[0], &c[1], &c[2], &c[3]);
  for (float& v : c) v = std::clamp(v, 0.0f, 255.0f) / 255.0f;
  effect_->SetVector("verCol", c);
  effect_->SetTexture("MeshTex", src);
}

// ---------------------------------------------------------------------------------------------
// Manager

CVShader* CVShaderMgr::CloneShader(const CVShader* shader) { return shader ? CreateShader(shader->GetId()) : nullptr; }

CVShader* CVShaderMgr::CreateShader(int32_t kind) {
  CVShader* s = nullptr;
  if (kind == 0) s = new CVShaderVerAddCol();
  if (kind == 1) s = new CVShaderHSV();
  if (s) s->SetId(kind);
  return s;
}

CVShaderMgr* GetShaderMgr() {
  static CVShaderMgr mgr;
  return &mgr;
}

// Animation tracks of CVMenuBase: numbered keys chained by with / next, a request queue stepped
// once per Update with the frame's time step.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <set>

#include "platform/text/log.h"
#include "ui/widgets/widget_base.h"

namespace {
constexpr float kEps = 1.1920929e-07f;
// Belt and braces beside the one-start-per-number rule: no step starts more keys than this.
constexpr int kMaxStartsPerStep = 4096;

bool IsDA(uint16_t kind) {
  return kind == kAnimeMoveDA || kind == kAnimeRotDA || kind == kAnimeScaleDA || kind == kAnimeColorDA;
}

// Brings an angle into 0..360 the way the tracks always did (subtract 360 while at or above 360,
// add 360 once when negative), without looping on huge or non-finite angles.
float NormaliseAngle(float a) {
  if (!std::isfinite(a)) return 0.0f;
  if (a >= 720.0f) a = std::fmod(a, 360.0f);
  while (a >= 360.0f) a -= 360.0f;
  if (a < 0.0f) a += 360.0f;
  return a;
}

// F(t) of the DA kinds: ease-in for a positive duration, ease-out otherwise.
float DaCurve(float p, float t, float d, bool positive) {
  const float q = t / d;
  return positive ? p * q * q : 2.0f * p * q - p * q * q;
}
// The values the animation keys of one step work on; written back to the widget at the end.
struct AnimeValues {
  Vector3 pos, rot, scl;
  float col[4];
  float state;
  float shader[3];
  bool closed = false;
};

// Where one key stands in this step: f moves a plain key the rest of the way, g advances a D key
// by its share of the whole duration; t0..t1 is the span covered (for the DA curve). t0 is the
// time elapsed before the step, e where this step measures from (an offset start), dt the step.
struct KeyStep {
  float f = 0, g = 0, t0 = 0, t1 = 0, leftover = 0;
  bool ends = false;
};

KeyStep StepKeyTime(float t0, float e, float dt, float d, bool zero) {
  KeyStep k;
  k.t0 = t0;
  if (d <= e + dt || zero) {
    k.ends = true;
    k.leftover = e + dt - d;
    dt = d - t0;
    e = 0.0f;
    k.f = 1.0f;
  } else {
    k.f = dt / (d - e);
  }
  k.g = d > kEps ? dt / d : 1.0f;
  k.t1 = k.ends ? d : e + dt;
  return k;
}

// Moves count components towards (plain), by (D) or along (DA) the key's values.
void ApplyKeyValues(int kind, const float* p, const KeyStep& k, float d, float duration, float* w, int count) {
  const bool zero = std::fabs(duration) <= kEps;
  switch (kind % 3) {
    case 0:  // plain
      for (int c = 0; c < count; ++c) w[c] += (p[c] - w[c]) * k.f;
      break;
    case 1:  // D
      for (int c = 0; c < count; ++c) w[c] += p[c] * k.g;
      break;
    default:  // DA; a zero duration moves by p at once
      for (int c = 0; c < count; ++c) {
        if (zero)
          w[c] += p[c];
        else
          w[c] += DaCurve(p[c], k.t1, d, duration > 0) - DaCurve(p[c], k.t0, d, duration > 0);
      }
      break;
  }
}

// One key's effect on the step's values.
void ApplyKey(const AnimeKey& key, const float* p, const KeyStep& k, float d, float duration, AnimeValues& v) {
  switch (key.kind) {
    case kAnimeMove:
    case kAnimeMoveD:
    case kAnimeMoveDA: {
      float w[3] = {v.pos.x, v.pos.y, v.pos.z};
      ApplyKeyValues(key.kind, p, k, d, duration, w, 3);
      v.pos = Vector3(w[0], w[1], w[2]);
      break;
    }
    case kAnimeRot:
    case kAnimeRotD:
    case kAnimeRotDA: {
      float w[3] = {v.rot.x, v.rot.y, v.rot.z};
      ApplyKeyValues(key.kind, p, k, d, duration, w, 3);
      v.rot = Vector3(w[0], w[1], w[2]);
      break;
    }
    case kAnimeScale:
    case kAnimeScaleD:
    case kAnimeScaleDA: {
      float w[2] = {v.scl.x, v.scl.y};
      ApplyKeyValues(key.kind, p, k, d, duration, w, 2);
      v.scl.x = w[0];
      v.scl.y = w[1];
      break;
    }
    case kAnimeColor:
    case kAnimeColorD:
    case kAnimeColorDA:
      ApplyKeyValues(key.kind, p, k, d, duration, v.col, 4);
      break;
    case kAnimeShader:
      for (int c = 0; c < 3; ++c) v.shader[c] += (p[c] - v.shader[c]) * k.f;
      break;
    case kAnimePattern: {
      const float target = static_cast<float>(RoundNudged(p[0]) + 1);
      v.state += (target - v.state) * k.f;
      if (k.ends) v.state = p[0];
      break;
    }
    case kAnimeClose:
      v.closed = true;
      break;
    default:  // Wait
      break;
  }
}

}  // namespace

void CVMenuBase::AddAnimeKey(uint32_t number, const AnimeKey& key) {
  animeKeys[number] = key;
  if (animeQueue.empty()) {
    AnimeRequest r;
    r.number = static_cast<int32_t>(number);
    animeQueue.push_back(r);
  }
}

namespace {
AnimeKey MakeKey(uint16_t kind, float a, float b, float c, float d, float dur, uint16_t with, uint16_t next,
                 uint8_t mask) {
  AnimeKey k;
  k.kind = kind;
  k.p[0] = a;
  k.p[1] = b;
  k.p[2] = c;
  k.p[3] = d;
  k.duration = dur;
  k.with = with;
  k.next = next;
  k.refMask = mask;
  k.accumulate = IsDA(kind) ? 1 : 0;
  return k;
}
}  // namespace

#define V4_ADD_ANIME3(Name, Kind)                                                                       \
  void CVMenuBase::Name(uint32_t n, float x, float y, float z, float dur, uint16_t with, uint16_t next, \
                        uint8_t mask) {                                                                 \
    AddAnimeKey(n, MakeKey(Kind, x, y, z, 0, dur, with, next, mask));                                   \
  }
V4_ADD_ANIME3(AddAnimeMove, kAnimeMove)
V4_ADD_ANIME3(AddAnimeMoveD, kAnimeMoveD)
V4_ADD_ANIME3(AddAnimeMoveDA, kAnimeMoveDA)
V4_ADD_ANIME3(AddAnimeRot, kAnimeRot)
V4_ADD_ANIME3(AddAnimeRotD, kAnimeRotD)
V4_ADD_ANIME3(AddAnimeRotDA, kAnimeRotDA)
V4_ADD_ANIME3(AddAnimeScale, kAnimeScale)
V4_ADD_ANIME3(AddAnimeScaleD, kAnimeScaleD)
V4_ADD_ANIME3(AddAnimeScaleDA, kAnimeScaleDA)
V4_ADD_ANIME3(AddAnimeShader, kAnimeShader)
#undef V4_ADD_ANIME3

#define V4_ADD_ANIME4(Name, Kind)                                                                                \
  void CVMenuBase::Name(uint32_t n, float r, float g, float b, float a, float dur, uint16_t with, uint16_t next, \
                        uint8_t mask) {                                                                          \
    AddAnimeKey(n, MakeKey(Kind, r, g, b, a, dur, with, next, mask));                                            \
  }
V4_ADD_ANIME4(AddAnimeColor, kAnimeColor)
V4_ADD_ANIME4(AddAnimeColorD, kAnimeColorD)
V4_ADD_ANIME4(AddAnimeColorDA, kAnimeColorDA)
#undef V4_ADD_ANIME4

void CVMenuBase::AddAnimePattern(uint32_t n, int32_t last, float dur, uint16_t with, uint16_t next, uint8_t mask) {
  AddAnimeKey(n, MakeKey(kAnimePattern, static_cast<float>(last), 0, 0, 0, dur, with, next, mask));
}

void CVMenuBase::AddAnimeWait(uint32_t n, float dur, uint16_t with, uint16_t next, uint8_t mask) {
  AddAnimeKey(n, MakeKey(kAnimeWait, 0, 0, 0, 0, dur, with, next, mask));
}

void CVMenuBase::AddAnimeClose(uint32_t n) { AddAnimeKey(n, MakeKey(kAnimeClose, 0, 0, 0, 0, 0, 0, 0, 0)); }

void CVMenuBase::CollectChain(int32_t n, std::vector<int32_t>& out) const {
  std::vector<int32_t> todo{n};
  std::set<int32_t> seen;
  while (!todo.empty()) {
    const int32_t k = todo.back();
    todo.pop_back();
    if (!seen.insert(k).second) continue;
    auto it = animeKeys.find(static_cast<uint32_t>(k));
    if (it == animeKeys.end()) continue;
    out.push_back(k);
    if (it->second.with) todo.push_back(it->second.with);
    if (it->second.next) todo.push_back(it->second.next);
  }
}

bool CVMenuBase::IsAnimePlaying(int32_t n) const {
  std::vector<int32_t> chain;
  CollectChain(n, chain);
  for (int32_t k : chain)
    for (const AnimeRequest& r : animeQueue)
      if (r.number == k) return true;
  return false;
}

void CVMenuBase::StopAnime(int32_t n) {
  std::vector<int32_t> chain;
  CollectChain(n, chain);
  animeQueue.erase(std::remove_if(animeQueue.begin(), animeQueue.end(),
                                  [&](const AnimeRequest& r) {
                                    return std::find(chain.begin(), chain.end(), r.number) != chain.end();
                                  }),
                   animeQueue.end());
}

void CVMenuBase::StepAnimeWith(float dt) {
  const float saved = timeStep;
  timeStep = dt;
  UpdateAnime();
  timeStep = saved;
}

int32_t CVMenuBase::PlayAnime(int32_t n) {
  if (IsAnimePlaying(n)) return 1;
  AnimeRequest r;
  r.number = n;
  animeQueue.push_back(r);
  StepAnimeWith(0.0f);
  return 0;
}

void CVMenuBase::PlayAnimeTree(int32_t n) {
  PlayAnime(n);
  ForEachChild(this, [&](CVMenuBase* c) { c->PlayAnimeTree(n); });
}

bool CVMenuBase::IsAnimeQueuedTree() {
  if (IsAnimeQueued()) return true;
  for (CVListBase* c = children.first; c; c = c->next)
    if (static_cast<CVMenuBase*>(c)->IsAnimeQueuedTree()) return true;
  return false;
}

void CVMenuBase::ClearAnimeQueueTree() {
  ClearAnimeQueue();
  ForEachChild(this, [](CVMenuBase* c) { c->ClearAnimeQueueTree(); });
}

void CVMenuBase::ResetAnime(float x, float y) {
  animeKeys.clear();
  animeQueue.clear();
  scalePivot = Vector3(x, y, 0);
  rotPivot = Vector3(x, y, 0);
}

void CVMenuBase::FinishAnime() { StepAnimeWith(FLT_MAX); }

void CVMenuBase::FinishAnimeTree() {
  FinishAnime();
  ForEachChild(this, [](CVMenuBase* c) { c->FinishAnimeTree(); });
}

void CVMenuBase::CopyAnimeFrom(const CVMenuBase* other) {
  if (!other || other == this) return;
  animeKeys = other->animeKeys;
  animeQueue = other->animeQueue;
  scalePivot = other->scalePivot;
  rotPivot = other->rotPivot;
  flags.Set(kWfAnimRunning, other->flags.Test(kWfAnimRunning));
}

void CVMenuBase::CopyAnimeData(const std::map<uint32_t, AnimeKey>& keys, const std::vector<AnimeRequest>& queue) {
  animeKeys = keys;
  animeQueue = queue;
}

void CVMenuBase::ChangeStateAnime(int32_t oldState, int32_t newState) {
  if (newState >= 0 && newState < 5 && stateAnimes[newState] != -1) {
    if (oldState >= 0 && oldState < 5 && stateAnimes[oldState] != -1) StopAnime(stateAnimes[oldState]);
    if (stateAnimes[newState] != 0) {
      PlayAnime(stateAnimes[newState]);
      flags.Set(kWfAnimRunning, 1);
    }
  }
  ForEachChild(this, [&](CVMenuBase* c) { c->ChangeStateAnime(oldState, newState); });
}

bool CVMenuBase::IsStateAnimePlayingTree(int32_t s) {
  if (s < 0 || s > 4) return false;
  const int32_t a = stateAnimes[s];
  if (a != -1 && a != 0 && IsAnimePlaying(a)) return true;
  for (CVListBase* c = children.first; c; c = c->next)
    if (static_cast<CVMenuBase*>(c)->IsStateAnimePlayingTree(s)) return true;
  return false;
}

void CVMenuBase::UpdateAnime() {
  if (!flags.Test(kWfShown) || !flags.Test(kWfActive) || !flags.Test(kWfAnimRunning) || animeQueue.empty()) return;

  AnimeValues v{position, rotation,
                scale,    {colour.r, colour.g, colour.b, alpha},
                state,    {shaderParams[0], shaderParams[1], shaderParams[2]}};

  // A number may start once per step: a cycle of zero-duration keys, or a looping chain under
  // FinishAnime, would otherwise never end the step. A number that a next link brings round again
  // waits for the next step as a fresh request (its leftover dropped), so a loop shorter than a
  // long frame (a hitch, or a fast-forwarded scene) keeps running instead of dying. A with link
  // that comes round again is dropped: it adds a request, and deferring it would grow the queue
  // every step.
  std::set<int32_t> started;
  std::vector<int32_t> deferred;
  int starts = 0;
  bool warned = false;
  auto start = [&](int32_t number, float offsetMs, bool byNext) {
    if (!started.insert(number).second) {
      if (byNext && std::find(deferred.begin(), deferred.end(), number) == deferred.end()) deferred.push_back(number);
      return;
    }
    if (++starts > kMaxStartsPerStep) {
      if (!warned) plat::Log("ui", "animation %d: too many starts within one step; chain stopped", number);
      warned = true;
      return;
    }
    AnimeRequest r;
    r.number = number;
    r.startOffset = offsetMs;
    r.flags = kAnimeReqApplyOffset;
    animeQueue.push_back(r);
  };

  for (size_t i = 0; i < animeQueue.size();) {
    auto it = animeKeys.find(static_cast<uint32_t>(animeQueue[i].number));
    if (it == animeKeys.end()) {
      animeQueue.erase(animeQueue.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    const AnimeKey key = it->second;
    float kv[5] = {key.p[0], key.p[1], key.p[2], key.p[3], key.duration};
    for (int b = 0; b < 5; ++b)
      if (key.refMask & (1u << b)) kv[b] = GetRefParam(RoundNudged(kv[b]));
    const float p[4] = {kv[0], kv[1], kv[2], kv[3]};
    const float duration = kv[4];
    const bool zero = std::fabs(duration) <= kEps;
    const float d = std::fabs(duration);

    AnimeRequest& rq = animeQueue[i];
    if (!(rq.flags & (kAnimeReqRunning | kAnimeReqFirstStep))) rq.flags |= kAnimeReqFirstStep;
    rq.flags |= kAnimeReqRunning;

    float dt = timeStep;
    float e = rq.elapsed;
    const float offsetRead = rq.startOffset;
    if (rq.flags & kAnimeReqApplyOffset) {
      e = rq.startOffset;
      dt = 0.0f;
      rq.startOffset = 0.0f;
      rq.flags &= static_cast<uint16_t>(~kAnimeReqApplyOffset);
    }
    const KeyStep k = StepKeyTime(rq.elapsed, e, dt, d, zero);
    const bool ends = k.ends;
    const float leftover = k.leftover;
    const float t1 = k.t1;
    ApplyKey(key, p, k, d, duration, v);

    AnimeRequest& r2 = animeQueue[i];
    r2.elapsed = t1;
    const bool first = (r2.flags & kAnimeReqFirstStep) != 0;
    r2.flags &= static_cast<uint16_t>(~kAnimeReqFirstStep);
    if (ends) r2.flags &= static_cast<uint16_t>(~(kAnimeReqRunning | kAnimeReqFirstStep));
    // Appending may move the queue: no reference into it is used after this point.
    if (first && key.with) start(key.with, offsetRead, false);
    if (ends) {
      if (key.next) start(key.next, leftover, true);
      animeQueue.erase(animeQueue.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    ++i;
  }
  for (int32_t number : deferred) {
    AnimeRequest r;
    r.number = number;
    animeQueue.push_back(r);
  }

  v.rot.x = NormaliseAngle(v.rot.x);
  v.rot.y = NormaliseAngle(v.rot.y);
  v.rot.z = NormaliseAngle(v.rot.z);
  SetPosXYZ(v.pos.x, v.pos.y, v.pos.z);
  SetScale(v.scl.x, v.scl.y, 1.0f);
  SetRotX(v.rot.x);
  SetRotY(v.rot.y);
  SetRotZ(v.rot.z);
  SetColour(Color(v.col[0], v.col[1], v.col[2], v.col[3]));
  SetAlpha(v.col[3]);
  SetState(RoundNudged(v.state), 0);
  state = v.state;
  for (int c = 0; c < 3; ++c) shaderParams[c] = v.shader[c];
  SetShaderParams(-1, shaderParams[0], shaderParams[1], shaderParams[2]);
  if (v.closed) Close();
}

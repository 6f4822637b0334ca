#include "screens/battle/field_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

FieldPoint KassenFieldPosition(int sizeClass, int shownLane, int column, FieldPoint current) {
  // Two- and three-lane fields are centred on the five-lane field. Every lane up to the reserve
  // place beyond the largest field is placed: limiting the lanes to the first four would leave the
  // fifth lane of a five-lane field and the reserve places where the models happened to stand.
  const float offset = sizeClass == 0 ? 410.1f : sizeClass == 1 ? kLaneSpacing : 0.0f;
  FieldPoint p = current;
  if (shownLane >= 1 && shownLane <= kLastPlacedLane)
    p.across = static_cast<float>(shownLane - 1) * kLaneSpacing + offset;
  if (column >= 0 && column < 8) p.along = -static_cast<float>(column) * kColumnSpacing;
  return p;
}

bool KassenFieldMoved(FieldPoint a, FieldPoint b) {
  const float eps = 1.1920929e-7f;
  return std::fabs(a.across - b.across) > eps || std::fabs(a.along - b.along) > eps;
}

int KassenWalkAnimation(int side, FieldPoint a, FieldPoint b) {
  const bool towardsHigherColumns = b.along < a.along;
  const bool back = side == 0 ? (!towardsHigherColumns && b.along != a.along) : towardsHigherColumns;
  return back ? 8 : 7;
}

int KassenBackgroundId(int r, bool roadLinked, bool siroFlag, int weather) {
  if (r < 0) r = -r;
  const bool wet = weather == 1 || weather == 2;
  if (roadLinked) return 200 + r % 2 + (wet ? 2 : 0);
  if (siroFlag) return 100 + r % 2 + (wet ? 2 : 0);
  return r % 4 + (wet ? 4 : 0);
}

int KassenWeatherModel(bool roadLinked, int weather) {
  if (weather == 1 || weather == 2) return roadLinked ? 1 : 0;
  return roadLinked ? 0 : -1;
}

int KassenUnitModelId(int kind, bool gunVolley, bool roadLinked, bool playerSide) {
  int n;
  if (gunVolley)
    n = 406;
  else if (kind == 2 || roadLinked)
    n = 404;
  else if (kind == 1)
    n = 400;
  else if (kind == 3)
    n = 402;
  else
    n = 404;
  return playerSide ? n : n + 1;
}

int KassenUnitMotionId(int kind, bool gunVolley, bool roadLinked, bool charge) {
  if (gunVolley) return 6;
  if (kind == 2 || roadLinked) return charge ? 1 : 0;
  if (kind == 1) return charge ? 3 : 2;
  if (kind == 3) return charge ? 5 : 4;
  return charge ? 1 : 0;
}

int KassenCastleNumber(int castleLevel, bool sideFlag, bool burning) {
  int n = castleLevel < 10 ? 0 : castleLevel < 20 ? 1 : 2;
  if (!sideFlag) n += 3;
  return burning ? n + 100 : n;
}

const char* KassenCastleTexture(int n) {
  static const char* const kNames[3] = {"shiro_s.dds", "shiro_m.dds", "shiro_b.dds"};
  if (n < 0) return kNames[0];
  return kNames[(n >= 100 ? n - 100 : n) % 3];
}

bool KassenCellPreset(int preset, int& shownLane, int& column) {
  if (preset < 13 || preset > 54) return false;
  shownLane = (preset - 13) / 8 + 1;
  column = (preset - 13) % 8;
  if (preset == 53) column = 0;
  if (preset == 54) column = 7;
  return true;
}

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kFieldCentreAlong = -3.5f * kColumnSpacing;
constexpr float kFieldCentreAcross = 2.0f * kLaneSpacing;  // every size is centred here

KassenCameraKey Key(float x, float y, float z, float pitch, float yaw, float distance, float fov) {
  KassenCameraKey k;
  k.target[0] = x, k.target[1] = y, k.target[2] = z;
  k.pitch = pitch, k.yaw = yaw, k.distance = distance, k.fov = fov;
  return k;
}

// The fixed views: 1 and 2 the whole field, 3 and 4 one side's half each, 5..8 side 0 and 9..12
// side 1 from close to far.
KassenCameraKey FixedPreset(int preset, bool closeUp) {
  if (preset == 1) return Key(kFieldCentreAlong, 0, kFieldCentreAcross, 17.0f, 0, 4125.86f, 16.8f);
  if (preset == 2) return Key(kFieldCentreAlong, 0, kFieldCentreAcross, 28.0f, 0, 3019.1f, 18.5f);
  if (preset == 3 || preset == 4) {
    const bool side0 = preset == 3 || closeUp;  // the close-up of the group is side 0's front
    const float along = side0 ? -2.0f * kColumnSpacing : -5.0f * kColumnSpacing;
    if (closeUp) return Key(-3.5f * kColumnSpacing, 40, kFieldCentreAcross, 12.0f, 0, 900.0f, 28.3f);
    return Key(along, 0, kFieldCentreAcross, 18.0f, side0 ? 30.0f : -30.0f, 1431.1f, 28.3f);
  }
  static const float kDistances[4] = {200.0f, 800.0f, 1600.0f, 3019.1f};
  const bool side0 = preset <= 8;
  int step = (preset - 5) % 4;
  if (closeUp) step = 1;  // the group's close-up: its second view, lower
  // The farthest view of a side takes in the whole field and what lies beyond its ends (the castle).
  const bool far = step == 3;
  const float along =
      far ? kFieldCentreAlong + (side0 ? -2.0f : 2.0f) * kColumnSpacing : (side0 ? -1.5f : -5.5f) * kColumnSpacing;
  const float pitch = closeUp ? 6.0f : far ? 18.0f : 8.0f + 5.0f * static_cast<float>(step);
  const float yaw = (side0 ? 1.0f : -1.0f) * (far ? 6.0f : 25.0f);
  return Key(along, 40, kFieldCentreAcross, pitch, yaw, kDistances[step], 20.5f);
}

}  // namespace

bool KassenCameraPreset(int preset, bool closeUp, int sizeClass, const FieldPoint (&panelUnits)[6],
                        KassenCameraKey& key) {
  if (preset >= 1 && preset <= 12) {
    key = FixedPreset(preset, closeUp);
    return true;
  }
  int lane = 0, column = 0;
  if (KassenCellPreset(preset, lane, column)) {
    const FieldPoint p = KassenFieldPosition(sizeClass, lane, column, FieldPoint{0, 0});
    const float pitch = std::atan2(672.82f, 2830.45f) * 180.0f / kPi;
    key = Key(p.along, -10.0f, p.across, pitch, 0, 1243.262f, 10.4f);
    return true;
  }
  if (preset >= 55 && preset <= 60) {
    const FieldPoint p = panelUnits[preset - 55];
    const float ox = -634.4f, oy = 442.8f, oz = 1030.5f;
    const float pitch = std::atan2(oy, std::sqrt(ox * ox + oz * oz)) * 180.0f / kPi;
    const float yaw = std::atan2(ox, oz) * 180.0f / kPi;
    key = Key(p.along, -10.0f, p.across, pitch, yaw, 1243.262f, 8.4f);
    return true;
  }
  return false;
}

void KassenCameraEye(const KassenCameraKey& k, float eye[3]) {
  const float p = k.pitch * kPi / 180.0f, y = k.yaw * kPi / 180.0f;
  eye[0] = k.target[0] + k.distance * std::cos(p) * std::sin(y);
  eye[1] = k.target[1] + k.distance * std::sin(p);
  eye[2] = k.target[2] + k.distance * std::cos(p) * std::cos(y);
}

void KassenCameraTrack::Jump(const KassenCameraKey& key) {
  current_ = from_ = key;
  count_ = 0;
  elapsed_ = 0;
}

void KassenCameraTrack::Append(const KassenCameraKey& key, float durationMs) {
  if (count_ == 0) {
    from_ = current_;
    elapsed_ = 0;
  }
  if (count_ == kMaxKeys) {
    // A full track drops its oldest pending key rather than the newest view.
    std::copy(keys_ + 1, keys_ + kMaxKeys, keys_);
    std::copy(durations_ + 1, durations_ + kMaxKeys, durations_);
    --count_;
  }
  keys_[count_] = key;
  durations_[count_] = std::max(0.0f, durationMs);
  ++count_;
  Advance(0);
}

void KassenCameraTrack::Advance(float ms) {
  elapsed_ += std::max(0.0f, ms);
  while (count_ > 0 && elapsed_ >= durations_[0]) {
    elapsed_ -= durations_[0];
    current_ = from_ = keys_[0];
    std::copy(keys_ + 1, keys_ + count_, keys_);
    std::copy(durations_ + 1, durations_ + count_, durations_);
    --count_;
  }
  if (count_ == 0) {
    elapsed_ = 0;
    return;
  }
  float t = elapsed_ / durations_[0];
  t = t * t * (3.0f - 2.0f * t);
  const KassenCameraKey& to = keys_[0];
  auto mix = [t](float a, float b) { return a + (b - a) * t; };
  for (int i = 0; i < 3; ++i) current_.target[i] = mix(from_.target[i], to.target[i]);
  current_.pitch = mix(from_.pitch, to.pitch);
  current_.yaw = mix(from_.yaw, to.yaw);
  current_.roll = mix(from_.roll, to.roll);
  current_.distance = mix(from_.distance, to.distance);
  current_.fov = mix(from_.fov, to.fov);
}

void KassenCameraTrack::Finish() {
  if (count_ > 0) current_ = from_ = keys_[count_ - 1];
  count_ = 0;
  elapsed_ = 0;
}

int KassenSkyLayers(int background, KassenSkyLayer (&out)[4]) {
  int n = 0;
  out[n++] = KassenSkyLayer{"cloud.dds", 0, 83333.0f, 0.0f, false};
  if (background >= 100 && background <= 103) {
    out[n++] = KassenSkyLayer{"wave_u.dds", 3, 22916.0f, 0.0f, true};
    out[n++] = KassenSkyLayer{"wave_d.dds", 3, 54166.0f, 0.0f, true};
  } else if (background >= 200 && background <= 203) {
    out[n++] = KassenSkyLayer{"wave.dds", 0, 83333.0f, 0.0f, false};
  } else if ((background >= 8 && background <= 99) || (background >= 104 && background <= 199) || background >= 204) {
    out[n++] = KassenSkyLayer{"awa.dds", 1, 3000.0f, 0.0f, false};
    out[n++] = KassenSkyLayer{"wave.dds", 2, 0.0f, 0.0f, false};
  }
  return n;
}

uint32_t KassenWithAttackPresentation(uint32_t options, bool on) {
  return on ? options & ~kPlcAttackPresentationOff : options | kPlcAttackPresentationOff;
}

uint32_t KassenWithOverviewCamera(uint32_t options, bool on) {
  return on ? options | kPlcOverviewCamera : options & ~kPlcOverviewCamera;
}

void KassenTogglePictures(bool overviewToggle, bool on, int& normal, int& lit) {
  normal = (overviewToggle ? 2 : 0) + (on ? 0 : 1);
  lit = normal + 5;
}

int KassenDamageStyle(int value, bool kindFlag, int& shown) {
  if (value < -2147483647) value = -2147483647;  // the magnitude must fit
  if (value >= 0) {
    shown = kindFlag ? -value : value;
    return kindFlag ? 6 : 8;
  }
  shown = kindFlag ? value : -value;
  return kindFlag ? 7 : 9;
}

void KassenFieldScreen(FieldPoint p, float& x, float& y) {
  x = 300.0f - p.along / kColumnSpacing * 75.0f;
  y = 140.0f + p.across / kLaneSpacing * 70.0f;
}

void KassenFreeCamera::Toggle(const KassenCameraKey& from) {
  on_ = !on_;
  if (on_) key_ = from;
}

float KassenFreeCamera::WrapYaw(float yaw) { return std::isfinite(yaw) ? std::fmod(yaw, 360.0f) : 0.0f; }
float KassenFreeCamera::ClampPitch(float pitch) {
  return std::isfinite(pitch) ? std::clamp(pitch, -89.0f, 89.0f) : 0.0f;
}
float KassenFreeCamera::ClampFov(float fov) { return std::isfinite(fov) ? std::clamp(fov, 0.1f, 179.0f) : 20.0f; }

void KassenFreeCamera::Drag(bool leftButton, bool ctrl, float dx, float dy) {
  if (!on_) return;
  const float y = key_.yaw * kPi / 180.0f;
  // Pans and moves scale with the distance, so a drag feels the same near and far.
  const float unit = std::max(key_.distance, 10.0f) / 1000.0f;
  if (ctrl && leftButton) {
    // Across the view (the eye's right lies at (cos yaw, 0, -sin yaw)) and up.
    key_.target[0] -= std::cos(y) * dx * unit;
    key_.target[2] += std::sin(y) * dx * unit;
    key_.target[1] += dy * unit;
  } else if (ctrl) {
    // Into the view: from the eye towards the target.
    key_.target[0] -= std::sin(y) * dy * unit;
    key_.target[2] -= std::cos(y) * dy * unit;
  } else if (leftButton) {
    key_.yaw = WrapYaw(key_.yaw + dx / 10.0f);
    key_.pitch = ClampPitch(key_.pitch + dy / 10.0f);
  } else {
    key_.distance = std::clamp(key_.distance + dy * 5.0f, 10.0f, 20000.0f);
  }
}

void KassenFreeCamera::Wheel(int steps, bool ctrl) {
  if (!on_ || steps == 0) return;
  key_.fov = ClampFov(key_.fov - static_cast<float>(steps) * (ctrl ? 1.0f : 0.1f));
}

int KassenFreeCamera::NextPreset() {
  constexpr int n = static_cast<int>(std::size(kKassenFreeCameraPresets));
  const int preset = kKassenFreeCameraPresets[presetStep_];
  presetStep_ = (presetStep_ + 1) % n;
  return preset;
}

std::string KassenDebugUnitLine(int lane, const char* name, int column) {
  char b[96];
  if (!name)
    std::snprintf(b, sizeof b, "%d : ----", lane);
  else
    std::snprintf(b, sizeof b, "%d : %s\t(x:%d)", lane, name, column);
  // The text layer draws no tab: it becomes blanks to the next multiple of 8 columns.
  std::string out;
  for (const char* p = b; *p; ++p) {
    if (*p != '\t') {
      out += *p;
      continue;
    }
    do out += ' ';
    while (out.size() % 8 != 0);
  }
  return out;
}

std::string KassenDebugCameraLines(const KassenCameraKey& k) {
  // The literal is CP932 in the program (the build's execution character set).
  char b[256];
  std::snprintf(b, sizeof b, "x:%f y:%f z:%f\nx:%f y:%f\n%f度", k.target[0], k.target[1], k.target[2], k.pitch, k.yaw,
                k.fov);
  return b;
}

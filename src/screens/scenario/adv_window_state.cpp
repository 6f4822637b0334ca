#include "screens/scenario/adv_window_state.h"

#include <cmath>
#include <cstring>
#include <set>

namespace adv {

namespace {

constexpr char kMagic[4] = {'A', 'D', 'V', 'W'};

class Writer {
 public:
  void U8(uint8_t v) { b.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void F32(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    U32(u);
  }
  void Str(const std::string& s) {
    const size_t n = std::min(s.size(), kMaxNameBytes);
    U16(static_cast<uint16_t>(n));
    b.insert(b.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
  }
  std::vector<uint8_t> b;
};

class Reader {
 public:
  Reader(const uint8_t* d, size_t n) : d_(d), n_(n) {}
  bool U8(uint8_t& v) {
    if (!Need(1)) return false;
    v = d_[p_++];
    return true;
  }
  bool U16(uint16_t& v) {
    if (!Need(2)) return false;
    v = static_cast<uint16_t>(d_[p_] | d_[p_ + 1] << 8);
    p_ += 2;
    return true;
  }
  bool U32(uint32_t& v) {
    if (!Need(4)) return false;
    v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(d_[p_ + i]) << (8 * i);
    p_ += 4;
    return true;
  }
  bool I32(int32_t& v) {
    uint32_t u;
    if (!U32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  // Finite floats only.
  bool F32(float& v) {
    uint32_t u;
    if (!U32(u)) return false;
    std::memcpy(&v, &u, 4);
    return std::isfinite(v);
  }
  bool Str(std::string& s) {
    uint16_t n;
    if (!U16(n) || n > kMaxNameBytes || !Need(n)) return false;
    s.assign(reinterpret_cast<const char*>(d_ + p_), n);
    p_ += n;
    return s.find('\0') == std::string::npos;
  }
  bool AtEnd() const { return p_ == n_; }

 private:
  bool Need(size_t k) const { return d_ && n_ - p_ >= k; }
  const uint8_t* d_;
  size_t n_;
  size_t p_ = 0;
};

bool Fail(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}

bool Flag(uint8_t v) { return v <= 1; }

}  // namespace

std::vector<uint8_t> EncodeWindowState(const WindowStateData& s) {
  Writer w;
  for (char c : kMagic) w.U8(static_cast<uint8_t>(c));
  w.U16(kWindowStateVersion);
  w.U16(0);
  w.U8(s.shownPage);
  w.U8(static_cast<uint8_t>(s.currentKind));
  w.I32(s.currentNumber);
  w.U32(static_cast<uint32_t>(s.layers.size()));
  for (const LayerRecord& l : s.layers) {
    w.U8(static_cast<uint8_t>(l.kind));
    w.I32(l.number);
    w.Str(l.image);
    w.Str(l.face);
    for (float v : l.faceRect) w.F32(v);
    for (float v : l.position) w.F32(v);
    for (float v : l.scale) w.F32(v);
    for (float v : l.rotation) w.F32(v);
    for (float v : l.colour) w.F32(v);
    w.F32(l.alpha);
    for (float v : l.size) w.F32(v);
    w.U8(l.visible);
    w.U8(l.addBlend);
    w.U8(l.waitCheck);
    w.U32(static_cast<uint32_t>(l.keys.size()));
    for (const auto& [n, k] : l.keys) {
      w.U32(n);
      w.U16(k.kind);
      for (float v : k.p) w.F32(v);
      w.F32(k.duration);
      w.U16(k.with);
      w.U16(k.next);
      w.U8(k.refMask);
      w.U8(k.accumulate);
    }
    w.U32(static_cast<uint32_t>(l.queue.size()));
    for (const AnimeRequest& q : l.queue) {
      w.I32(q.number);
      w.F32(q.elapsed);
      w.F32(q.startOffset);
      w.U16(q.flags);
    }
  }
  return std::move(w.b);
}

bool DecodeWindowState(const uint8_t* data, size_t size, WindowStateData& out, std::string* why) {
  Reader r(data, size);
  uint8_t magic[4];
  for (uint8_t& m : magic)
    if (!r.U8(m)) return Fail(why, "truncated header");
  if (std::memcmp(magic, kMagic, 4) != 0) return Fail(why, "not a window state");
  uint16_t version = 0, reserved = 0;
  if (!r.U16(version) || !r.U16(reserved)) return Fail(why, "truncated header");
  if (version != kWindowStateVersion) return Fail(why, "unknown version");
  if (reserved != 0) return Fail(why, "reserved field set");
  WindowStateData s;
  uint8_t kind = 0;
  uint32_t count = 0;
  if (!r.U8(s.shownPage) || !r.U8(kind) || !r.I32(s.currentNumber) || !r.U32(count))
    return Fail(why, "truncated header");
  if (s.shownPage > 1) return Fail(why, "shown page out of range");
  if (kind >= kLayerKinds) return Fail(why, "current element kind out of range");
  s.currentKind = static_cast<LayerKind>(kind);
  if (s.currentNumber < -1 || s.currentNumber > kMaxLayerNumber) return Fail(why, "current element out of range");
  if (count > kMaxLayers) return Fail(why, "too many layers");
  std::set<std::pair<uint8_t, int32_t>> seen;
  s.layers.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    LayerRecord l;
    uint8_t k = 0;
    if (!r.U8(k) || !r.I32(l.number)) return Fail(why, "truncated layer");
    if (k >= kLayerKinds) return Fail(why, "layer kind out of range");
    l.kind = static_cast<LayerKind>(k);
    const int32_t maxNumber = l.kind == LayerKind::kPage ? 1 : kMaxLayerNumber;
    if (l.number < 0 || l.number > maxNumber) return Fail(why, "layer number out of range");
    if (!seen.insert({k, l.number}).second) return Fail(why, "layer given twice");
    if (!r.Str(l.image) || !r.Str(l.face)) return Fail(why, "bad picture name");
    bool ok = true;
    for (float& v : l.faceRect) ok = ok && r.F32(v);
    for (float& v : l.position) ok = ok && r.F32(v);
    for (float& v : l.scale) ok = ok && r.F32(v);
    for (float& v : l.rotation) ok = ok && r.F32(v);
    for (float& v : l.colour) ok = ok && r.F32(v) && v >= 0.0f && v <= 255.0f;
    ok = ok && r.F32(l.alpha) && l.alpha >= 0.0f && l.alpha <= 255.0f;
    for (float& v : l.size) ok = ok && r.F32(v) && v >= 0.0f && v <= 65536.0f;
    if (!ok) return Fail(why, "bad layer values");
    if (!r.U8(l.visible) || !r.U8(l.addBlend) || !r.U8(l.waitCheck)) return Fail(why, "truncated layer");
    if (!Flag(l.visible) || !Flag(l.addBlend) || !Flag(l.waitCheck)) return Fail(why, "bad layer flag");
    uint32_t keys = 0;
    if (!r.U32(keys)) return Fail(why, "truncated keys");
    if (keys > kMaxKeys) return Fail(why, "too many animation keys");
    for (uint32_t j = 0; j < keys; ++j) {
      uint32_t n = 0;
      AnimeKey key;
      bool kok = r.U32(n) && r.U16(key.kind);
      for (float& v : key.p) kok = kok && r.F32(v);
      kok =
          kok && r.F32(key.duration) && r.U16(key.with) && r.U16(key.next) && r.U8(key.refMask) && r.U8(key.accumulate);
      if (!kok) return Fail(why, "bad animation key");
      if (key.kind > kAnimeClose || key.refMask > 31 || !Flag(key.accumulate)) return Fail(why, "bad animation key");
      for (const auto& e : l.keys)
        if (e.first == n) return Fail(why, "animation key given twice");
      l.keys.emplace_back(n, key);
    }
    uint32_t queued = 0;
    if (!r.U32(queued)) return Fail(why, "truncated queue");
    if (queued > kMaxQueue) return Fail(why, "too many queued animations");
    for (uint32_t j = 0; j < queued; ++j) {
      AnimeRequest q;
      if (!r.I32(q.number) || !r.F32(q.elapsed) || !r.F32(q.startOffset) || !r.U16(q.flags))
        return Fail(why, "bad queued animation");
      if (q.elapsed < 0.0f || q.flags > 7) return Fail(why, "bad queued animation");
      l.queue.push_back(q);
    }
    s.layers.push_back(std::move(l));
  }
  if (!r.AtEnd()) return Fail(why, "bytes after the last layer");
  out = std::move(s);
  return true;
}

}  // namespace adv

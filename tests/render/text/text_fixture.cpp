#include "text_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/core/game_file.h"
#include "platform/gl/png_image.h"

bool FakeGlyphSource::Metrics(const GlyphFontKey& key, plat::FontMetrics* out) {
  if (key.face.empty()) return false;
  out->ascent = kAscent;
  out->height = kHeight;
  return true;
}

bool FakeGlyphSource::Render(const GlyphFontKey& key, uint16_t code, plat::GlyphImage* out) {
  ++renders;
  *out = plat::GlyphImage{};
  out->advance = code > 0xFF ? 24 : 12;
  out->originX = 0;
  out->originY = kAscent;
  out->width = out->advance;
  out->height = 16;
  out->levels.assign(static_cast<size_t>(out->width) * out->height, 16);
  if (shape) shape(code, out);
  if (fail && fail(code)) return false;
  return true;
}

NullTextEnv::NullTextEnv() {
  mgr = new CDGManager();
  mgr->SetClock([] { return 1000u; });
  mgr->CreateDeviceWith(
      [this](int w, int h) {
        auto d = std::make_unique<plat::NullDevice>(w, h);
        dev = d.get();
        return d;
      },
      true, 1280, 720);
  mgr->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0.0f, 1.0f, 200000.0f,
                           CDGManager::kOrthographic);
}

NullTextEnv::~NullTextEnv() { mgr->Release(); }

namespace fs = std::filesystem;

TempDir::TempDir() {
  char tmpl[] = "/tmp/v4text_XXXXXX";
  const char* made = mkdtemp(tmpl);
  path_ = made ? made : "/tmp";
  oldModuleDir_ = GetModuleDir();
  SetModuleDirFromHost(path_);
  ClearSzsDirectoryCache();
}

TempDir::~TempDir() {
  SetModuleDir(oldModuleDir_.c_str());
  ClearSzsDirectoryCache();
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::ProgramPath(const std::string& rel) const {
  std::string p = std::string(GetModuleDir()) + rel;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

void TempDir::Write(const std::string& rel, const std::vector<uint8_t>& bytes) const {
  const fs::path p = fs::path(path_) / rel;
  fs::create_directories(p.parent_path());
  std::FILE* f = std::fopen(p.c_str(), "wb");
  if (!f) return;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::vector<uint8_t> MakeFnt(const std::string& picture, const std::vector<FntRecord>& records, bool withName) {
  std::vector<uint8_t> out;
  if (withName) {
    out.assign(32, 0);
    std::memcpy(out.data(), picture.data(), std::min<size_t>(picture.size(), 32));
  }
  for (const FntRecord& r : records) {
    uint8_t rec[12] = {};
    std::memcpy(rec, r.key.data(), std::min<size_t>(r.key.size(), 4));
    const uint16_t v[4] = {r.l, r.t, r.w, r.h};
    for (int i = 0; i < 4; ++i) {
      rec[4 + i * 2] = static_cast<uint8_t>(v[i] & 0xFF);
      rec[5 + i * 2] = static_cast<uint8_t>(v[i] >> 8);
    }
    out.insert(out.end(), rec, rec + 12);
  }
  return out;
}

std::vector<uint8_t> MakePngOf(int w, int h, const std::function<uint32_t(int, int)>& f) {
  plat::RgbaImage img;
  img.width = w;
  img.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = f(x, y);
      img.pixels.push_back(static_cast<uint8_t>(c >> 24));
      img.pixels.push_back(static_cast<uint8_t>(c >> 16));
      img.pixels.push_back(static_cast<uint8_t>(c >> 8));
      img.pixels.push_back(static_cast<uint8_t>(c));
    }
  std::vector<uint8_t> out;
  plat::EncodePng(img, &out);
  return out;
}

uint8_t AlphaAt(CDGTexture* t, int x, int y) {
  uint8_t a = 0;
  return t && t->GetTexelAlpha(x, y, &a) ? a : 0;
}

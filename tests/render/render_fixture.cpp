#include "render_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/core/game_file.h"
#include "platform/gl/png_image.h"

namespace fs = std::filesystem;

TempProgramDir::TempProgramDir() {
  char tmpl[] = "/tmp/v4render_XXXXXX";
  const char* made = mkdtemp(tmpl);
  path_ = made ? made : "/tmp";
  oldModuleDir_ = GetModuleDir();
  SetModuleDirFromHost(path_);
  ClearSzsDirectoryCache();
}

TempProgramDir::~TempProgramDir() {
  SetModuleDir(oldModuleDir_.c_str());
  ClearSzsDirectoryCache();
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempProgramDir::Write(const std::string& rel, const std::vector<uint8_t>& bytes) const {
  const fs::path p = fs::path(path_) / rel;
  fs::create_directories(p.parent_path());
  std::FILE* f = std::fopen(p.c_str(), "wb");
  if (!f) return;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::vector<uint8_t> MakePixels(int w, int h, uint32_t (*f)(int x, int y)) {
  std::vector<uint8_t> px;
  px.reserve(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t rgba = f(x, y);
      px.push_back(static_cast<uint8_t>(rgba >> 24));
      px.push_back(static_cast<uint8_t>(rgba >> 16));
      px.push_back(static_cast<uint8_t>(rgba >> 8));
      px.push_back(static_cast<uint8_t>(rgba));
    }
  return px;
}

std::vector<uint8_t> MakePng(int w, int h, const std::vector<uint8_t>& rgba) {
  plat::RgbaImage img;
  img.width = w;
  img.height = h;
  img.pixels = rgba;
  std::vector<uint8_t> out;
  plat::EncodePng(img, &out);
  return out;
}

std::vector<uint8_t> ReferenceImageStream(size_t n) {
  std::vector<uint8_t> s(n);
  uint32_t state = 0x5C3A91E7u;
  for (size_t i = 0; i < n; ++i) {
    state = state * 214013u + 2531011u;
    s[i] = static_cast<uint8_t>((state >> 16) & 0xFFu);
  }
  return s;
}

std::vector<uint8_t> ReferenceScramble(std::vector<uint8_t> data) {
  const std::vector<uint8_t> s = ReferenceImageStream(data.size());
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(data[i] + s[i]);
  return data;
}

NullManager::NullManager() {
  mgr = new CDGManager();
  mgr->SetClock([this] { return now; });
  mgr->CreateDeviceWith(
      [this](int w, int h) {
        auto d = std::make_unique<plat::NullDevice>(w, h);
        dev = d.get();
        return d;
      },
      true, 1280, 720);
  SetDefaultCamera(mgr);
  SetDGManager(mgr);
}

NullManager::~NullManager() {
  SetDGManager(nullptr);
  mgr->Release();
}

bool SetDefaultCamera(CDGManager* mgr) {
  return mgr->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0.0f, 1.0f, 200000.0f,
                                  CDGManager::kOrthographic);
}

#include "widget_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/core/game_file.h"
#include "platform/gl/null_device.h"
#include "platform/gl/png_image.h"

namespace fs = std::filesystem;

WidgetEnv::WidgetEnv() {
  SetWidgetInput(&input);
  SetWidgetSoundSink(&sound);
  ButtonClickLatch = 0;
  GetMenuMgr().SetDepthBound(0);
}

WidgetEnv::~WidgetEnv() {
  SetWidgetInput(nullptr);
  SetWidgetSoundSink(nullptr);
  ButtonClickLatch = 0;
  GetMenuMgr().SetDepthBound(0);
  GetMenuMgr().DeleteAllRoots();
}

TempGameDir::TempGameDir() {
  char tmpl[] = "/tmp/v4widgets_XXXXXX";
  const char* made = mkdtemp(tmpl);
  path_ = made ? made : "/tmp";
  oldModuleDir_ = GetModuleDir();
  SetModuleDirFromHost(path_);
  ClearSzsDirectoryCache();
}

TempGameDir::~TempGameDir() {
  SetModuleDir(oldModuleDir_.c_str());
  ClearSzsDirectoryCache();
  std::error_code ec;
  fs::remove_all(path_, ec);
}

static void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void TempGameDir::WritePng(const std::string& rel, int w, int h, uint32_t rgba) const {
  WriteStripPng(rel, w, h, {rgba});
}

void TempGameDir::WriteStripPng(const std::string& rel, int w, int cellH, const std::vector<uint32_t>& cells) const {
  plat::RgbaImage img;
  img.width = w;
  img.height = cellH * static_cast<int>(cells.size());
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = cells[static_cast<size_t>(y / cellH)];
      img.pixels.push_back(static_cast<uint8_t>(c >> 24));
      img.pixels.push_back(static_cast<uint8_t>(c >> 16));
      img.pixels.push_back(static_cast<uint8_t>(c >> 8));
      img.pixels.push_back(static_cast<uint8_t>(c));
    }
  std::vector<uint8_t> png;
  plat::EncodePng(img, &png);
  WriteFile(path_ + "/" + rel, png);
}

NullGraphics::NullGraphics() {
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
  SetDGManager(mgr);
}

NullGraphics::~NullGraphics() {
  GetMenuMgr().DeleteAllRoots();
  SetDGManager(nullptr);
  mgr->Release();
}

void RunFrame(CVMenuBase* root, int32_t x, int32_t y, uint32_t click, float dtMs) {
  ClearOneShotInput();
  root->timeStep = dtMs;
  root->clickState = click;
  root->Update(x, y, click);
}

SpriteWindowParams Cells(float x, float y, float cellW, float cellH, int32_t rows, const char* name) {
  SpriteWindowParams p;
  p.pictureName = name;
  p.position = Vector3(x, y, 0);
  p.width = cellW;
  p.height = cellH * static_cast<float>(rows);
  p.columns = 1;
  p.rows = rows;
  p.source = FRect(0, 0, cellW, cellH * static_cast<float>(rows));
  p.loadOnOpen = true;  // nothing is loaded at creation
  return p;
}

#include "layout_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/core/game_file.h"
#include "formats/layout/layout_compiler.h"
#include "platform/gl/null_device.h"
#include "platform/gl/png_image.h"
#include "render/dg_manager.h"
#include "ui/menus/menu_mgr.h"

namespace fs = std::filesystem;

namespace layout_test {

TempGameDir::TempGameDir() {
  char tmpl[] = "/tmp/v4layout_XXXXXX";
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

void TempGameDir::WriteFile(const std::string& rel, const std::vector<uint8_t>& bytes) const {
  const std::string path = path_ + "/" + rel;
  fs::create_directories(fs::path(path).parent_path());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void TempGameDir::WritePng(const std::string& rel, int w, int h, uint32_t rgba) const {
  plat::RgbaImage img;
  img.width = w;
  img.height = h;
  for (int i = 0; i < w * h; ++i) {
    img.pixels.push_back(static_cast<uint8_t>(rgba >> 24));
    img.pixels.push_back(static_cast<uint8_t>(rgba >> 16));
    img.pixels.push_back(static_cast<uint8_t>(rgba >> 8));
    img.pixels.push_back(static_cast<uint8_t>(rgba));
  }
  std::vector<uint8_t> png;
  plat::EncodePng(img, &png);
  WriteFile(rel, png);
}

bool TempGameDir::WriteLayout(const std::string& rel, const std::string& utf8, std::vector<std::string>* errors) const {
  std::vector<uint8_t> bytes;
  std::vector<std::string> messages;
  const bool ok = v4fmt::CompileLayout(utf8, bytes, messages);
  if (errors) *errors = messages;
  if (ok) WriteFile(rel, bytes);
  return ok;
}

NullGraphics::NullGraphics() {
  mgr = new CDGManager();
  mgr->SetClock([] { return 1000u; });
  mgr->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280, 720);
  mgr->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0.0f, 1.0f, 200000.0f,
                           CDGManager::kOrthographic);
  SetDGManager(mgr);
}

NullGraphics::~NullGraphics() {
  GetMenuMgr().DeleteAllRoots();
  SetDGManager(nullptr);
  mgr->Release();
}

}  // namespace layout_test

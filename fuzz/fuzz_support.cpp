#include "fuzz/fuzz_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/game_file.h"
#include "platform/fs/fs.h"
#include "tests/support/recording_boxes.h"
#include "tests/support/temp_module_dir.h"

namespace v4fuzz {
namespace {

std::unique_ptr<v4test::TempModuleDir> g_dir;
v4test::RecordingBoxes g_boxes;

std::filesystem::path Sample(const std::string& rel) { return std::filesystem::path(V4_FUZZ_GAME_DIR) / rel; }

}  // namespace

const std::string& ModuleFolder(const std::vector<std::string>& copied) {
  static std::string root;
  if (g_dir) return root;
  g_dir = std::make_unique<v4test::TempModuleDir>("v4fuzz");
  root = g_dir->Path();
  for (const std::string& rel : copied) {
    std::error_code ec;
    std::filesystem::create_directories((std::filesystem::path(root) / rel).parent_path(), ec);
    std::filesystem::copy(Sample(rel), std::filesystem::path(root) / rel,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing,
                          ec);
  }
  SetErrorBoxPresenter(&g_boxes);
  std::atexit([] {
    g_boxes.boxes.clear();
    g_dir.reset();
  });
  return root;
}

void PutFile(const std::string& rel, const uint8_t* data, size_t size) {
  const std::filesystem::path p = std::filesystem::path(g_dir->Path()) / rel;
  std::error_code ec;
  std::filesystem::create_directories(p.parent_path(), ec);
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  f.close();
  plat::InvalidateDirectoryCache();
  g_boxes.boxes.clear();
}

void RestoreFile(const std::string& rel) {
  const std::filesystem::path p = std::filesystem::path(g_dir->Path()) / rel;
  std::error_code ec;
  std::filesystem::remove(p, ec);
  if (std::filesystem::exists(Sample(rel), ec)) std::filesystem::copy_file(Sample(rel), p, ec);
  plat::InvalidateDirectoryCache();
}

}  // namespace v4fuzz

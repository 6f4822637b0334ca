// Save files: the input stands in for each file of slot 0 (head, adv, slg, prg) and for the
// settings and the play record (sys, plc) in turn, and the game loads it. The slot and the system
// files are first made by a real save, so every other file is whole. With V4_FUZZ_SEED_OUT set,
// the small files of that save are also written there as seeds.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/fuzz_support.h"
#include "save/save_slot.h"
#include "save/system_files.h"

namespace {

constexpr const char* kFiles[] = {
    "SaveData/d00/head.dat", "SaveData/d00/adv.dat", "SaveData/d00/slg.dat",
    "SaveData/d00/prg.dat",  "SaveData/sys/sys.dat", "SaveData/sys/plc.dat",
};

std::string g_root;

std::vector<uint8_t> Read(const std::string& rel) {
  std::ifstream f(g_root + "/" + rel, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool MakeSlot() {
  g_root = v4fuzz::ModuleFolder({"Data/sys"});
  SetDefaultSysConfig();
  if (!SaveGameSlot(0, 0) || !SaveSysData() || !SavePlcData()) std::abort();
  if (const char* out = std::getenv("V4_FUZZ_SEED_OUT")) {
    std::filesystem::create_directories(out);
    for (const char* rel : kFiles) {
      const std::vector<uint8_t> bytes = Read(rel);
      if (bytes.size() > 8192) continue;
      std::ofstream f(std::string(out) + "/" + std::filesystem::path(rel).filename().string(), std::ios::binary);
      f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
  }
  return true;
}

// Keeps the made files as they are: RestoreFile would take the sample data's (which has none).
struct Saved {
  std::string rel;
  std::vector<uint8_t> bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool made = MakeSlot();
  (void)made;
  for (const char* rel : kFiles) {
    Saved keep{rel, Read(rel)};
    v4fuzz::PutFile(rel, data, size);
    SlotHeader h;
    if (ReadSlotHeader(0, h)) (void)CheckSaveVersion(h);
    LoadSlgData(0);
    LoadPrgData(0);
    LoadSlotAdvFile(0);
    LoadGameSlot(0);
    LoadSystemData();
    v4fuzz::PutFile(keep.rel, keep.bytes.data(), keep.bytes.size());
  }
  return 0;
}

// Save files. The input stands in for each file of slot 0 (head, adv, slg, prg and the slot's own
// check file) and for the settings and the play record (sys, plc) in turn, and the game loads it.
// The slot and the system files are first made by a real save, so every other file is whole.
// Then the input goes into slot 1, a strategy save of the sample scenario, as each of its files in
// turn with the check file's values made to match it: one mutated file in an otherwise valid slot
// reaches the load's checks of the files and of the world as a whole. With V4_FUZZ_SEED_OUT set,
// the small files of the first save are also written there as seeds.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/app_state.h"
#include "formats/check/crc32.h"
#include "fuzz/fuzz_support.h"
#include "platform/byte_order.h"
#include "save/save_slot.h"
#include "save/system_files.h"
#include "world/scenario_tables.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

constexpr const char* kFiles[] = {
    "SaveData/d00/head.dat", "SaveData/d00/adv.dat", "SaveData/d00/slg.dat", "SaveData/d00/prg.dat",
    "SaveData/d00/ext.dat",  "SaveData/sys/sys.dat", "SaveData/sys/plc.dat",
};
// Slot 1's files in the check file's order; the check file last.
constexpr const char* kSlotFiles[] = {"head.dat", "adv.dat", "slg.dat", "prg.dat", "ext.dat"};

std::string g_root;

std::vector<uint8_t> Read(const std::string& rel) {
  std::ifstream f(g_root + "/" + rel, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A strategy game of the sample scenario, just begun.
void SetUpSampleGame() {
  SiroCheckReported = 0;
  if (!LoadScenarioTables(ScenarioDirectory(0).c_str()) || !LoadCommonTables()) std::abort();
  GameYear = 1551;
  TurnCounter = 1;
  PlayerDaimyoId = 0;
  FirstTurnFlag = 1;
  CurrentKuniId = kNoKuni;
  for (int i = 0; i < kDaimyoInPlay; ++i) ClanOrderList[i] = static_cast<uint8_t>(i);
  for (int i = 0; i < kDokuSlots; ++i) MarchOrderList[i] = static_cast<uint8_t>(i);
  GameMode = 11;
}

bool MakeSlots() {
  g_root = v4fuzz::ModuleFolder({"Data/sys", "Data/scenario"});
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
  SetUpSampleGame();
  if (!SaveGameSlot(1, GameMode) || !LoadGameSlot(1)) std::abort();
  return true;
}

// Keeps the made files as they are: RestoreFile would take the sample data's (which has none).
struct Saved {
  std::string rel;
  std::vector<uint8_t> bytes;
};

// The check file's trailing CRC-32 over the rest.
void Reseal(std::vector<uint8_t>& ext) {
  if (ext.size() < 4) return;
  le::Put32(&ext[ext.size() - 4], v4fmt::Crc32(ext.data(), ext.size() - 4));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool made = MakeSlots();
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
  // One mutated file in the valid slot 1, its check value made to match.
  const std::string dir = "SaveData/d01/";
  const std::vector<uint8_t> ext = Read(dir + "ext.dat");
  for (size_t i = 0; i < 5; ++i) {
    const std::string rel = dir + kSlotFiles[i];
    Saved keep{rel, Read(rel)};
    std::vector<uint8_t> check = ext;
    if (i < 4 && check.size() >= 8 + 8 * 4 + 8) {
      le::Put32(&check[8 + i * 8], static_cast<uint32_t>(size));
      le::Put32(&check[12 + i * 8], v4fmt::Crc32(data, size));
      Reseal(check);
      v4fuzz::PutFile(rel, data, size);
      v4fuzz::PutFile(dir + "ext.dat", check.data(), check.size());
    } else {
      std::vector<uint8_t> mutated(data, data + size);
      Reseal(mutated);
      v4fuzz::PutFile(rel, mutated.data(), mutated.size());
    }
    LoadGameSlot(1);
    v4fuzz::PutFile(keep.rel, keep.bytes.data(), keep.bytes.size());
    v4fuzz::PutFile(dir + "ext.dat", ext.data(), ext.size());
  }
  return 0;
}

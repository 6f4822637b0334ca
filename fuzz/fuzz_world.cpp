// The world's tables: the input (a file as stored, scrambled) stands in for each scenario and
// common table file in turn, and the world loads and checks itself; the input is also
// descrambled and unscrambled again, which must give it back.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formats/scramble/scramble.h"
#include "fuzz/fuzz_support.h"
#include "world/scenario_tables.h"
#include "world/world_check.h"
#include "world/world_file.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

constexpr const char* kFiles[] = {
    "Data/scenario/0/kuni21.bin",    "Data/scenario/0/daimyo21.bin",   "Data/scenario/0/siro21.bin",
    "Data/scenario/0/busyo2.bin",    "Data/scenario/0/doku21.bin",     "Data/scenario/0/hikitugi.bin",
    "Data/scenario/common/item.bin", "Data/scenario/common/skill.bin", "Data/scenario/common/skillDoc.bin",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  v4fuzz::ModuleFolder({"Data/scenario", "Data/sys"});

  std::vector<uint8_t> bytes(data, data + size);
  v4fmt::DescrambleInPlace(bytes.data(), bytes.size(), kWorldTableSeed);
  v4fmt::ScrambleInPlace(bytes.data(), bytes.size(), kWorldTableSeed);
  if (size > 0 && std::memcmp(bytes.data(), data, size) != 0) std::abort();

  for (const char* rel : kFiles) {
    v4fuzz::PutFile(rel, data, size);
    SiroCheckReported = 0;
    ScenarioNumber = 0;
    if (LoadScenarioTables(ScenarioDirectory(0).c_str())) (void)CollectWorldProblems();
    LoadCommonTables();
    HikitugiList carry;
    LoadHikitugi(carry);
    v4fuzz::RestoreFile(rel);
  }
  return 0;
}

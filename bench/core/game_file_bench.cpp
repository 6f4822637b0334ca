// Reading one 4 KiB entry from a ten-part archive set (1,000 entries per part), against reading
// the ten directories again, as a reader without a directory cache does on every call.
// Target: the median cached read costs at most 1/20 of the re-read. The program prints the ratio
// and exits non-zero when the target is missed (when both benchmarks ran).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/game_file.h"
#include "formats/szs/szs.h"

namespace fs = std::filesystem;

namespace {

constexpr int kParts = 10;
constexpr int kEntries = 1000;
constexpr size_t kEntrySize = 4096;

struct ArchiveSet {
  std::string root;
  std::string wanted;                  // full program path of the entry read
  std::vector<std::string> partPaths;  // program paths of the ten parts

  ArchiveSet() {
    std::string tmpl = (fs::temp_directory_path() / "v4bench-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    root = tmpl;
    fs::create_directories(root + "/Data");
    SetModuleDirFromHost(root);
    for (int part = 0; part < kParts; ++part) {
      std::vector<v4fmt::SzsSourceEntry> entries;
      for (int i = 0; i < kEntries; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "p%d\\e%04d.bin", part, i);
        entries.push_back({name, std::vector<uint8_t>(kEntrySize, static_cast<uint8_t>(i))});
      }
      std::vector<uint8_t> image;
      v4fmt::BuildSzsArchive(entries, image);
      const std::string file = part == 0 ? "Image.SZS" : "Image_" + std::to_string(part) + ".SZS";
      const std::string host = root + "/Data/" + file;
      if (FILE* f = std::fopen(host.c_str(), "wb")) {
        std::fwrite(image.data(), 1, image.size(), f);
        std::fclose(f);
      }
      struct timeval old[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
      utimes(host.c_str(), old);  // an installed game's files are not changing
      partPaths.push_back(std::string(GetModuleDir()) + "Data\\" + file);
    }
    struct timeval old[2] = {{1'600'000'000, 0}, {1'600'000'000, 0}};
    utimes((root + "/Data").c_str(), old);
    // The base archive is searched last: the slowest place for an entry to be.
    wanted = std::string(GetModuleDir()) + "Data\\Image\\p0\\e0500.bin";
  }
  ~ArchiveSet() { fs::remove_all(root); }
};

ArchiveSet& Set() {
  static ArchiveSet set;
  return set;
}

void BM_ReadEntryFromTenParts(benchmark::State& state) {
  ArchiveSet& set = Set();
  for (auto _ : state) {
    int32_t size = 0;
    uint8_t* data = LoadGameFile(set.wanted.c_str(), &size);
    if (!data || size != static_cast<int32_t>(kEntrySize)) state.SkipWithError("entry not read");
    benchmark::DoNotOptimize(data);
    FreeGameFile(data);
  }
}
BENCHMARK(BM_ReadEntryFromTenParts)->Repetitions(7)->ReportAggregatesOnly(true);

void BM_RereadTenDirectories(benchmark::State& state) {
  ArchiveSet& set = Set();
  std::vector<v4fmt::SzsDirEntry> dir;
  for (auto _ : state) {
    size_t total = 0;
    for (const std::string& part : set.partPaths) {
      if (!v4fmt::ReadSzsDirectoryFile(part, dir)) state.SkipWithError("directory not read");
      total += dir.size();
    }
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_RereadTenDirectories)->Repetitions(7)->ReportAggregatesOnly(true);

// Remembers the medians while printing as usual.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.aggregate_name != "median") continue;
      if (r.run_name.function_name == "BM_ReadEntryFromTenParts") read = r.GetAdjustedRealTime();
      if (r.run_name.function_name == "BM_RereadTenDirectories") reread = r.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double read = 0;
  double reread = 0;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (reporter.read > 0 && reporter.reread > 0) {
    const double ratio = reporter.read / reporter.reread;
    std::printf("median cached read / median directory re-read = %.4f (target <= 0.05): %s\n", ratio,
                ratio <= 0.05 ? "met" : "MISSED");
    return ratio <= 0.05 ? 0 : 1;
  }
  return 0;
}

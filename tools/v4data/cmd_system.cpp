// v4data system: builds the system files of the game folder from data/system/system.json:
// basic.dat (80 plain bytes from twenty 32-bit words) and the five extras tables (cg.bin,
// ev.bin, sf.bin, sf_scr.dat, bgm.bin), which hold only the records the source lists.
//   v4data system build <source-dir> <out-root>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/file_io.h"
#include "save/omake_tables.h"
#include "save/system_files.h"
#include "command.h"
#include "tool_io.h"
#include "platform/text/cp932.h"

using json = nlohmann::json;

namespace {

struct BuildError {
  std::string what;
};

void WriteOut(const std::string& root, const std::string& rel, const std::vector<uint8_t>& data) {
  std::string path = plat::Utf8ToCp932(root + "/" + rel);
  if (!WriteWholeFile(FixedPath(path.c_str()), data.data(), static_cast<int32_t>(data.size()))) {
    throw BuildError{"cannot write " + root + "/" + rel};
  }
}

std::vector<uint8_t> BuildBasicDat(const json& src) {
  std::vector<uint8_t> out(kBasicDataBytes, 0);
  const json& words = src.at("basic_words");
  if (!words.is_array() || words.size() * 4 > out.size()) throw BuildError{"basic_words: at most 20 words"};
  for (size_t i = 0; i < words.size(); ++i) {
    uint32_t v = words[i].get<uint32_t>();
    for (int b = 0; b < 4; ++b) out[i * 4 + b] = static_cast<uint8_t>(v >> (8 * b));
  }
  return out;
}

std::vector<uint8_t> BuildEventTable(const json& src) {
  std::vector<uint8_t> out;
  if (!src.contains("extras_scenes")) return out;
  const json& scenes = src.at("extras_scenes");
  if (scenes.size() > kOmakeEventRecords) throw BuildError{"extras_scenes: too many records"};
  out.resize(scenes.size() * kOmakeEventRecordBytes);
  for (size_t i = 0; i < scenes.size(); ++i) {
    int scene = scenes[i].at("scene").get<int>();
    std::string label = plat::Utf8ToCp932(scenes[i].at("label").get<std::string>());
    if (scene < 0 || scene >= kOmakeSceneCount) throw BuildError{"extras_scenes: scene out of range"};
    if (!PutOmakeEventRecord(&out[i * kOmakeEventRecordBytes], static_cast<uint16_t>(scene), label.c_str())) {
      throw BuildError{"extras_scenes: label too long: " + scenes[i].at("label").get<std::string>()};
    }
  }
  return out;
}

int RunBuild(const std::string& srcDir, const std::string& root) {
  json src;
  if (!ReadToolJson("system", srcDir + "/system.json", src)) throw BuildError{"cannot read " + srcDir + "/system.json"};
  WriteOut(root, "Data/sys/basic.dat", BuildBasicDat(src));
  WriteOut(root, "Data/sys/ev.bin", BuildEventTable(src));
  // The other extras tables are shipped empty: the screens show no entries.
  for (const char* name : {"cg.bin", "sf.bin", "sf_scr.dat", "bgm.bin"}) {
    WriteOut(root, std::string("Data/sys/") + name, {});
  }
  return 0;
}

int RunSystem(const std::vector<std::string>& args) {
  try {
    if (args.size() == 3 && args[0] == "build") return RunBuild(args[1], args[2]);
  } catch (const BuildError& e) {
    std::fprintf(stderr, "v4data system: %s\n", e.what.c_str());
    return 1;
  } catch (const json::exception& e) {
    std::fprintf(stderr, "v4data system: %s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: v4data system build <source-dir> <out-root>\n");
  return 2;
}

const V4Command kCmd{"system", "build <source-dir> <out-root>", &RunSystem};

}  // namespace

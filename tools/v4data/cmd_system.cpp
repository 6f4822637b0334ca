// v4data system: builds the system files of the game folder from data/system/system.json:
// basic.dat (80 plain bytes from twenty 32-bit words) and the five extras tables (cg.bin,
// ev.bin, sf.bin, sf_scr.dat, bgm.bin), which hold only the records the source lists; texts are
// written as Shift-JIS.
//   v4data system build <source-dir> <out-root>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

void Put16(uint8_t* at, int value, const char* what) {
  if (value < 0 || value > 0xFFFF) throw BuildError{std::string(what) + ": value out of range"};
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

// A Shift-JIS text into a fixed field, always with its terminator.
void PutText(uint8_t* at, size_t field, const json& v, const char* what) {
  const std::string text = plat::Utf8ToCp932(v.get<std::string>());
  if (text.size() >= field) throw BuildError{std::string(what) + ": text too long: " + v.get<std::string>()};
  std::memcpy(at, text.data(), text.size());
}

int Int(const json& rec, const char* key, int fallback = 0) {
  return rec.contains(key) ? rec.at(key).get<int>() : fallback;
}

// Extras scenes: the scene number and label, then (optional) the title at 34, the replay category
// at 66, the thumbnail picture at 68, the event-gallery place at 70, the replay highlight at 72,
// hidden at 74 and always-open at 76. A record with a title keeps its label within 32 bytes.
std::vector<uint8_t> BuildEventTable(const json& src) {
  std::vector<uint8_t> out;
  if (!src.contains("extras_scenes")) return out;
  const json& scenes = src.at("extras_scenes");
  if (scenes.size() > kOmakeEventRecords) throw BuildError{"extras_scenes: too many records"};
  out.resize(scenes.size() * kOmakeEventRecordBytes);
  for (size_t i = 0; i < scenes.size(); ++i) {
    const json& rec = scenes[i];
    uint8_t* r = &out[i * kOmakeEventRecordBytes];
    int scene = rec.at("scene").get<int>();
    std::string label = plat::Utf8ToCp932(rec.at("label").get<std::string>());
    if (scene < 0 || scene >= kOmakeSceneCount) throw BuildError{"extras_scenes: scene out of range"};
    if (!PutOmakeEventRecord(r, static_cast<uint16_t>(scene), label.c_str())) {
      throw BuildError{"extras_scenes: label too long: " + rec.at("label").get<std::string>()};
    }
    if (!rec.contains("title")) continue;
    if (label.size() >= 32) throw BuildError{"extras_scenes: label too long: " + rec.at("label").get<std::string>()};
    PutText(r + 34, 32, rec.at("title"), "extras_scenes");
    Put16(r + 66, Int(rec, "category"), "extras_scenes category");
    Put16(r + 68, Int(rec, "picture"), "extras_scenes picture");
    Put16(r + 70, Int(rec, "place"), "extras_scenes place");
    Put16(r + 72, Int(rec, "highlight"), "extras_scenes highlight");
    Put16(r + 74, Int(rec, "hidden"), "extras_scenes hidden");
    Put16(r + 76, Int(rec, "open"), "extras_scenes open");
  }
  return out;
}

// Gallery pictures: number, variant count, category, page, place, movie flag, hidden flag.
std::vector<uint8_t> BuildCgTable(const json& src) {
  std::vector<uint8_t> out;
  if (!src.contains("cg")) return out;
  const json& cg = src.at("cg");
  if (cg.size() > kOmakeCgRecords) throw BuildError{"cg: too many records"};
  out.resize(cg.size() * kOmakeCgRecordBytes);
  for (size_t i = 0; i < cg.size(); ++i) {
    uint8_t* r = &out[i * kOmakeCgRecordBytes];
    const json& rec = cg[i];
    Put16(r + 0, rec.at("number").get<int>(), "cg number");
    Put16(r + 2, Int(rec, "variants", 1), "cg variants");
    Put16(r + 4, Int(rec, "category"), "cg category");
    Put16(r + 6, Int(rec, "page"), "cg page");
    Put16(r + 8, Int(rec, "place"), "cg place");
    Put16(r + 10, Int(rec, "movie"), "cg movie");
    Put16(r + 12, Int(rec, "hidden"), "cg hidden");
  }
  return out;
}

// Music player tracks: file and title, 32 bytes each.
std::vector<uint8_t> BuildBgmTable(const json& src) {
  std::vector<uint8_t> out;
  if (!src.contains("bgm")) return out;
  const json& bgm = src.at("bgm");
  if (bgm.size() > kOmakeBgmRecords) throw BuildError{"bgm: too many records"};
  out.resize(bgm.size() * kOmakeBgmRecordBytes);
  for (size_t i = 0; i < bgm.size(); ++i) {
    PutText(&out[i * kOmakeBgmRecordBytes], 32, bgm[i].at("file"), "bgm file");
    PutText(&out[i * kOmakeBgmRecordBytes + 32], 32, bgm[i].at("title"), "bgm title");
  }
  return out;
}

// The lines gallery's generals' lines (sf.bin): general (1..1999), line text (256 bytes), voice
// file (32), grid page (0..6), seen category in the play record (0..9), hidden flag.
std::vector<uint8_t> BuildLinesTable(const json& src) {
  std::vector<uint8_t> out;
  if (!src.contains("lines")) return out;
  const json& lines = src.at("lines");
  if (lines.size() > kOmakeSoundRecords) throw BuildError{"lines: too many records"};
  out.resize(lines.size() * kOmakeSoundRecordBytes);
  for (size_t i = 0; i < lines.size(); ++i) {
    const json& rec = lines[i];
    uint8_t* r = &out[i * kOmakeSoundRecordBytes];
    const int general = rec.at("general").get<int>();
    if (general < 1 || general >= kGalleryGenerals) throw BuildError{"lines: general out of range"};
    if (Int(rec, "page") > 6) throw BuildError{"lines: page out of range (0..6)"};
    if (Int(rec, "seen") >= kGalleryCategories) throw BuildError{"lines: seen category out of range (0..9)"};
    Put16(r + 0, general, "lines general");
    PutText(r + 2, 256, rec.at("text"), "lines text");
    PutText(r + 258, 32, rec.at("voice"), "lines voice");
    Put16(r + 290, Int(rec, "page"), "lines page");
    Put16(r + 292, Int(rec, "seen"), "lines seen");
    Put16(r + 294, Int(rec, "hidden"), "lines hidden");
  }
  return out;
}

// Lines of the scenario scripts (sf_scr.dat): general, text (160 bytes), voice file (64) and the
// line category 1..5 at 228.
std::vector<uint8_t> BuildScriptLinesTable(const json& src) {
  std::vector<uint8_t> out;
  if (!src.contains("script_lines")) return out;
  const json& lines = src.at("script_lines");
  if (lines.size() > kOmakeSoundScriptRecords) throw BuildError{"script_lines: too many records"};
  out.resize(lines.size() * kOmakeSoundScriptRecordBytes);
  for (size_t i = 0; i < lines.size(); ++i) {
    const json& rec = lines[i];
    uint8_t* r = &out[i * kOmakeSoundScriptRecordBytes];
    const int general = rec.at("general").get<int>();
    const int category = rec.at("category").get<int>();
    if (general < 1 || general >= kGalleryGenerals) throw BuildError{"script_lines: general out of range"};
    if (category < 1 || category > 5) throw BuildError{"script_lines: category out of range (1..5)"};
    Put16(r + 0, general, "script_lines general");
    PutText(r + 2, 160, rec.at("text"), "script_lines text");
    PutText(r + 162, 64, rec.at("voice"), "script_lines voice");
    Put16(r + 228, category, "script_lines category");
  }
  return out;
}

int RunBuild(const std::string& srcDir, const std::string& root) {
  json src;
  if (!ReadToolJson("system", srcDir + "/system.json", src)) throw BuildError{"cannot read " + srcDir + "/system.json"};
  WriteOut(root, "Data/sys/basic.dat", BuildBasicDat(src));
  WriteOut(root, "Data/sys/ev.bin", BuildEventTable(src));
  WriteOut(root, "Data/sys/cg.bin", BuildCgTable(src));
  WriteOut(root, "Data/sys/bgm.bin", BuildBgmTable(src));
  WriteOut(root, "Data/sys/sf.bin", BuildLinesTable(src));
  WriteOut(root, "Data/sys/sf_scr.dat", BuildScriptLinesTable(src));
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

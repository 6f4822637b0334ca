// v4data chardef: standing-picture definitions (Data/char/<name>.dat, 244 bytes each).
//   v4data chardef <defs.json> <outdir>
// Source: {"chars": [{"name": "hana", "body": "hana_body.png", "width": 400, "height": 600,
//            "anchor": 200, "face": "hana_face.png", "faceRect": [120, 80, 160, 160],
//            "offsets": [[0, 0], [-320, 0], ...]}]}   (at most 11 offset pairs; missing ones are 0)
// Every record is checked by the game's own parser before it is written.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "command.h"
#include "core/file_io.h"
#include "platform/text/cp932.h"
#include "screens/scenario/char_def.h"

using json = nlohmann::json;

namespace {

std::string ToCp932(const std::string& utf8) {
  std::string out;
  return plat::Utf8ToCp932Strict(utf8, out) ? out : std::string();
}

int RunCharDef(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: v4data chardef <defs.json> <outdir>\n");
    return 2;
  }
  std::ifstream in(args[0]);
  json doc = json::parse(in, nullptr, false);
  if (doc.is_discarded() || !doc.contains("chars") || !doc["chars"].is_array()) {
    std::fprintf(stderr, "chardef: %s: not a definition list\n", args[0].c_str());
    return 1;
  }
  for (const json& c : doc["chars"]) {
    adv::CharDef def;
    const std::string name = c.value("name", std::string());
    def.body = ToCp932(c.value("body", std::string()));
    def.width = c.value("width", 0);
    def.height = c.value("height", 0);
    def.anchor = c.value("anchor", 0);
    def.face = ToCp932(c.value("face", std::string()));
    if (c.contains("faceRect")) {
      const json& r = c["faceRect"];
      if (!r.is_array() || r.size() != 4) {
        std::fprintf(stderr, "chardef: %s: faceRect needs 4 numbers\n", name.c_str());
        return 1;
      }
      def.faceX = r[0];
      def.faceY = r[1];
      def.faceW = r[2];
      def.faceH = r[3];
    }
    if (c.contains("offsets")) {
      const json& o = c["offsets"];
      if (!o.is_array() || o.size() > adv::CharDef::kPositions) {
        std::fprintf(stderr, "chardef: %s: at most 11 offset pairs\n", name.c_str());
        return 1;
      }
      for (size_t i = 0; i < o.size(); ++i) {
        def.offsets[i][0] = o[i].at(0);
        def.offsets[i][1] = o[i].at(1);
      }
    }
    const std::vector<uint8_t> bytes = adv::EncodeCharDef(def);
    adv::CharDef check;
    std::string why;
    if (!adv::IsCharDefName(name) || !adv::ParseCharDef(bytes.data(), bytes.size(), check, &why)) {
      std::fprintf(stderr, "chardef: %s: %s\n", name.c_str(), why.empty() ? "bad name" : why.c_str());
      return 1;
    }
    const std::string path = args[1] + "/" + name + ".dat";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "chardef: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

const V4Command kCmd{"chardef", "<defs.json> <outdir>   standing-picture definitions", &RunCharDef};

}  // namespace

// v4data scenes: the scene transition table.
//   v4data scenes build <scenes.json> <scene.bin>   writes the 101 records of 1,504 bytes
//   v4data scenes dump <scene.bin>                   prints every record that has an id
// Source: {"scenes": [{"id": 10, "resident": true,
//            "menus": [{"entry": 0, "type": 10, "layout": "Data\\layout\\dialog.lay"}],
//            "transitions": [{"result": 1, "next": -1, "push": 0}]}, ...]}
// Layout names are UTF-8 in the source and CP932 in the table.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "command.h"
#include "tool_io.h"
#include "formats/scene/scene_table.h"
#include "platform/text/cp932.h"

using json = nlohmann::json;

namespace {

bool ReadInt(const json& obj, const char* key, int& out, bool required, std::string& error, const std::string& where) {
  if (!obj.contains(key)) {
    if (required) error = where + ": missing \"" + key + "\"";
    return !required;
  }
  const json& v = obj.at(key);
  if (!v.is_number_integer()) {
    error = where + ": \"" + key + "\" must be an integer";
    return false;
  }
  const long long n = v.get<long long>();
  if (n < -2147483647LL || n > 2147483647LL) {
    error = where + ": \"" + key + "\" out of range";
    return false;
  }
  out = static_cast<int>(n);
  return true;
}

bool ParseSources(const json& root, std::vector<v4fmt::SceneSource>& out, std::string& error) {
  const json* list = &root;
  if (root.is_object()) {
    if (!root.contains("scenes")) {
      error = "no \"scenes\" list";
      return false;
    }
    list = &root.at("scenes");
  }
  if (!list->is_array()) {
    error = "\"scenes\" must be a list";
    return false;
  }
  for (const json& s : *list) {
    if (!s.is_object()) {
      error = "a scene must be an object";
      return false;
    }
    v4fmt::SceneSource src;
    if (!ReadInt(s, "id", src.id, true, error, "scene")) return false;
    const std::string where = "scene " + std::to_string(src.id);
    if (s.contains("resident")) {
      const json& r = s.at("resident");
      if (!r.is_boolean() && !r.is_number_integer()) {
        error = where + ": \"resident\" must be true/false";
        return false;
      }
      src.resident = r.is_boolean() ? r.get<bool>() : r.get<long long>() != 0;
    }
    if (s.contains("menus")) {
      if (!s.at("menus").is_array()) {
        error = where + ": \"menus\" must be a list";
        return false;
      }
      for (const json& m : s.at("menus")) {
        v4fmt::SceneMenuSource menu;
        if (!m.is_object() || !ReadInt(m, "entry", menu.entry, true, error, where + " menu") ||
            !ReadInt(m, "type", menu.menuType, true, error, where + " menu")) {
          if (error.empty()) error = where + ": a menu must be an object";
          return false;
        }
        if (!m.contains("layout") || !m.at("layout").is_string()) {
          error = where + " menu " + std::to_string(menu.entry) + ": \"layout\" must be a string";
          return false;
        }
        if (!plat::Utf8ToCp932Strict(m.at("layout").get<std::string>(), menu.layoutName)) {
          error = where + " menu " + std::to_string(menu.entry) + ": layout name not representable in CP932";
          return false;
        }
        src.menus.push_back(menu);
      }
    }
    if (s.contains("transitions")) {
      if (!s.at("transitions").is_array()) {
        error = where + ": \"transitions\" must be a list";
        return false;
      }
      for (const json& t : s.at("transitions")) {
        v4fmt::SceneTransitionSource tr;
        if (!t.is_object() || !ReadInt(t, "result", tr.result, true, error, where + " transition") ||
            !ReadInt(t, "next", tr.nextScene, true, error, where + " transition") ||
            !ReadInt(t, "push", tr.pushMode, false, error, where + " transition")) {
          if (error.empty()) error = where + ": a transition must be an object";
          return false;
        }
        src.transitions.push_back(tr);
      }
    }
    out.push_back(std::move(src));
  }
  return true;
}

int Build(const std::vector<std::string>& args) {
  std::string text;
  if (!ReadToolText("scenes build", args[1], text)) return 1;
  json root;
  try {
    root = json::parse(text);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "scenes build: %s: %s\n", args[1].c_str(), e.what());
    return 1;
  }
  std::vector<v4fmt::SceneSource> sources;
  std::string error;
  v4fmt::SceneFlowTable table;
  if (!ParseSources(root, sources, error) || !v4fmt::BuildSceneTable(sources, table, error)) {
    std::fprintf(stderr, "scenes build: %s: %s\n", args[1].c_str(), error.c_str());
    return 1;
  }
  const std::vector<uint8_t> bytes = v4fmt::WriteSceneTable(table);
  std::ofstream out(args[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "scenes build: cannot write %s\n", args[2].c_str());
    return 1;
  }
  return 0;
}

int Dump(const std::vector<std::string>& args) {
  std::vector<uint8_t> data;
  if (!ReadToolInput("scenes dump", args[1], data)) return 1;
  v4fmt::SceneFlowTable table;
  std::string error;
  if (!v4fmt::ReadSceneTable(data.data(), data.size(), table, &error)) {
    std::fprintf(stderr, "scenes dump: %s: not a scene table: %s\n", args[1].c_str(), error.c_str());
    return 1;
  }
  std::printf("size %zu (records %zu)\n", data.size(), data.size() / v4fmt::kSceneRecordBytes);
  for (int slot = 0; slot < v4fmt::kSceneRecordCount; ++slot) {
    const v4fmt::SceneFlowRecord& r = table[slot];
    if (r.sceneId == 0) continue;
    std::printf("slot %d scene %d resident %u\n", slot, r.sceneId, static_cast<unsigned>(r.resident));
    for (int e = 0; e < v4fmt::kSceneMenuEntries; ++e) {
      if (r.menus[e].menuType <= 0) continue;
      std::printf("  menu %d type %d layout %s\n", e, r.menus[e].menuType,
                  plat::Cp932ToUtf8(r.menus[e].layoutName).c_str());
    }
    for (int t = 0; t < v4fmt::kSceneTransitions; ++t) {
      const v4fmt::SceneTransition& tr = r.transitions[t];
      if (tr.result == -1) continue;
      std::printf("  transition %d result %d next %d push %d\n", t, tr.result, tr.nextScene, tr.pushMode);
    }
  }
  return 0;
}

int RunScenes(const std::vector<std::string>& args) {
  if (args.size() == 3 && args[0] == "build") return Build(args);
  if (args.size() == 2 && args[0] == "dump") return Dump(args);
  std::fprintf(stderr, "usage: v4data scenes build <scenes.json> <scene.bin> | dump <scene.bin>\n");
  return 2;
}

const V4Command kCmd{"scenes", "build <scenes.json> <scene.bin> | dump <scene.bin>", &RunScenes};

}  // namespace

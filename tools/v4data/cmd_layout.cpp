// v4data layout: layout scripts.
//   v4data layout compile <in.txt> <out>   UTF-8 layout text -> the stored file (CP932, CRLF line
//                                           ends, checked against the reader, scrambled)
//   v4data layout dump <layout>            builds the stored file with the program's own builder
//                                           on the null device and lists the widget tree
// The dump takes the program folder to be the part of the path before "/Data/" (pictures named
// by the layout are looked up there), else the working folder.
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/game_file.h"
#include "command.h"
#include "tool_io.h"
#include "formats/layout/layout_compiler.h"
#include "formats/scramble/scramble.h"
#include "platform/gl/null_device.h"
#include "platform/text/cp932.h"
#include "render/dg_manager.h"
#include "ui/layout/cv_script.h"
#include "ui/layout/layout_builder.h"
#include "ui/layout/layout_dump.h"
#include "ui/menus/menu_mgr.h"
#include "ui/menus/menu_root.h"

namespace {

bool ReadBytes(const std::string& path, std::vector<uint8_t>& out) { return ReadToolInput("layout", path, out); }

int Compile(const std::string& inPath, const std::string& outPath) {
  std::vector<uint8_t> text;
  if (!ReadBytes(inPath, text)) {
    std::fprintf(stderr, "layout compile: cannot read %s\n", inPath.c_str());
    return 1;
  }
  std::vector<uint8_t> out;
  std::vector<std::string> errors;
  if (!v4fmt::CompileLayout(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), out, errors)) {
    for (const std::string& e : errors) std::fprintf(stderr, "%s: %s\n", inPath.c_str(), e.c_str());
    return 1;
  }
  // The game's verdict on the stored file: a layout without one element is refused there.
  std::vector<uint8_t> plain = out;
  v4fmt::DescrambleInPlace(plain.data(), plain.size(), v4fmt::kScrambleSeedCommon);
  CVScript check;
  check.Parse(plain.data(), plain.size(), inPath.c_str());
  if (check.Count() == 0) {
    std::fprintf(stderr, "layout compile: %s holds no layout element\n", inPath.c_str());
    return 1;
  }
  std::ofstream f(outPath, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  f.close();
  if (!f) {
    std::fprintf(stderr, "layout compile: cannot write %s\n", outPath.c_str());
    return 1;
  }
  return 0;
}

int Dump(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!ReadBytes(path, bytes)) {
    std::fprintf(stderr, "layout dump: cannot read %s\n", path.c_str());
    return 1;
  }
  const size_t data = path.rfind("/Data/");
  SetModuleDirFromHost(data == std::string::npos ? std::string(".") : path.substr(0, data));

  auto* graphics = new CDGManager();
  graphics->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280, 720);
  SetDGManager(graphics);

  v4fmt::DescrambleInPlace(bytes.data(), bytes.size(), v4fmt::kScrambleSeedCommon);
  // The game's verdict: what its loader refuses, the dump refuses.
  const std::string text(bytes.begin(), bytes.end());
  const std::string problem = LayoutTextProblem(text);
  if (!problem.empty()) {
    std::fprintf(stderr, "layout dump: %s is not a layout: %s\n", path.c_str(), plat::Cp932ToUtf8(problem).c_str());
    return 1;
  }
  CVScript script;
  script.Parse(bytes.data(), bytes.size(), path.c_str());
  if (script.Count() == 0) {
    std::fprintf(stderr, "layout dump: %s holds no layout element\n", path.c_str());
    return 1;
  }
  CVMenuMgr& mgr = GetMenuMgr();
  auto* root = new CVMenuSceneRoot();
  mgr.RegisterRoot(root);
  BuildLayoutTree(mgr, script, root);
  std::fputs(DumpWidgetTree(root, false).c_str(), stdout);

  mgr.DeleteAllRoots();
  SetDGManager(nullptr);
  graphics->Release();
  return 0;
}

int RunLayout(const std::vector<std::string>& args) {
  if (args.size() == 3 && args[0] == "compile") return Compile(args[1], args[2]);
  if (args.size() == 2 && args[0] == "dump") return Dump(args[1]);
  std::fprintf(stderr, "usage: v4data layout compile <in.txt> <out> | dump <layout>\n");
  return 2;
}

const V4Command kCmd{"layout", "compile <in.txt> <out> | dump <layout>", &RunLayout};

}  // namespace

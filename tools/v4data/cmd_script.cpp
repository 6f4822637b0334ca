// v4data script: assembles scenario source into a script set, and disassembles a set.
//   script build <source> <out-root> <base-name> [--tutorial]
//   script dump <out-root> <base-name>
//   script run <game-dir> [--set main|tutorial] [--switch N=V]... [--choose i,j,...]
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "command.h"
#include "tool_io.h"
#include "core/game_file.h"
#include "formats/script/script_asm.h"
#include "formats/script/script_set_files.h"
#include "platform/text/cp932.h"
#include "scenario/interp/adv_text_run.h"

namespace {

int Build(const std::vector<std::string>& args) {
  std::vector<std::string> pos;
  bool tutorial = false;
  for (const std::string& a : args) {
    if (a == "--tutorial")
      tutorial = true;
    else
      pos.push_back(a);
  }
  if (pos.size() != 3) {
    std::fprintf(stderr, "usage: v4data script build <source> <out-root> <base-name> [--tutorial]\n");
    return 2;
  }
  std::string source;
  if (!ReadToolText("script", pos[0], source)) return 1;
  std::string sourceName = pos[0].substr(pos[0].find_last_of("/\\") + 1);
  v4fmt::CompiledScriptSet set;
  std::vector<std::string> errors;
  if (!v4fmt::AssembleScript(source, plat::Utf8ToCp932(sourceName), set, errors)) {
    for (const std::string& e : errors) std::fprintf(stderr, "%s\n", plat::Cp932ToUtf8(e).c_str());
    return 1;
  }
  std::string err;
  if (!v4fmt::WriteScriptSetFiles(pos[1], pos[2], v4fmt::BuildScriptSetImages(set), &err) ||
      !v4fmt::WriteScriptSetNameFile(pos[1], tutorial ? 1 : 0, pos[2], &err)) {
    std::fprintf(stderr, "script: %s\n", err.c_str());
    return 1;
  }
  return 0;
}

int Dump(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: v4data script dump <out-root> <base-name>\n");
    return 2;
  }
  std::array<std::vector<uint8_t>, v4fmt::kScriptFileCount> images;
  std::string err;
  if (!v4fmt::ReadScriptSetFiles(args[0], args[1], images, &err)) {
    std::fprintf(stderr, "script: %s\n", err.c_str());
    return 1;
  }
  v4fmt::CompiledScriptSet set = v4fmt::ParseScriptSetImages(images);
  bool signatureOk =
      images[v4fmt::kFileBl].size() >= v4fmt::kSignatureSize &&
      std::equal(v4fmt::kScriptSignature.begin(), v4fmt::kScriptSignature.end(), images[v4fmt::kFileBl].begin());
  std::printf("; script set %s: %zu bytes of bytecode, %zu labels, %zu messages, %zu events, signature %s\n",
              args[1].c_str(), set.bytecode.size(), set.labelOffsets.size(), set.messageOffsets.size(),
              set.events.size(), signatureOk ? "ok" : "MISMATCH");
  for (size_t i = 0; i < set.switchNames.size(); ++i) {
    if (!set.switchNames[i].empty())
      std::printf("$%s@%zu = %d\n", plat::Cp932ToUtf8(set.switchNames[i]).c_str(), i, set.switchInit[i]);
    else if (set.switchInit[i] != 0)
      std::printf("; switch %zu (no name) = %d\n", i, set.switchInit[i]);
  }
  for (const auto& [name, value] : set.blockLabels)
    std::printf(".block %s %u\n", plat::Cp932ToUtf8(name).c_str(), value);
  bool complete = false;
  std::fputs(v4fmt::DisassembleScript(set.bytecode.data(), set.bytecode.size(), &set, &complete).c_str(), stdout);
  // A bytecode cut at an instruction's end reads whole; a label past its end still shows the cut.
  for (uint32_t off : set.labelOffsets)
    if (off > set.bytecode.size()) complete = false;
  // The listing is printed either way (it shows where the damage is); the exit code tells.
  if (!signatureOk)
    std::fprintf(stderr, "script dump: %s: the signature does not match this program\n", args[1].c_str());
  if (!complete) std::fprintf(stderr, "script dump: %s: the bytecode is cut short or damaged\n", args[1].c_str());
  return signatureOk && complete ? 0 : 1;
}

constexpr const char* kRunUsage =
    "usage: v4data script run <game-dir> [--set main|tutorial] [--switch N=V]... [--choose i,j,...]\n"
    "  choices are answered 1-based in order, then with the first option\n";

bool ParseInt(const std::string& text, long long lo, long long hi, long long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  out = std::strtoll(text.c_str(), &end, 10);
  return end && *end == '\0' && out >= lo && out <= hi;
}

// Runs a built set through the interpreter and prints its messages and choices.
int Run(const std::vector<std::string>& args) {
  TextRunOptions options;
  std::string gameDir;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--set" && hasValue) {
      const std::string& v = args[++i];
      if (v == "main")
        options.set = 0;
      else if (v == "tutorial")
        options.set = 1;
      else
        return std::fprintf(stderr, "%s", kRunUsage), 2;
    } else if (a == "--switch" && hasValue) {
      const std::string& v = args[++i];
      size_t eq = v.find('=');
      long long n = 0, value = 0;
      if (eq == std::string::npos || !ParseInt(v.substr(0, eq), 0, 8192, n) ||
          !ParseInt(v.substr(eq + 1), INT32_MIN, INT32_MAX, value)) {
        std::fprintf(stderr, "script run: --switch takes N=V with N 0..8192 and a 32-bit V\n");
        return 2;
      }
      options.switches.emplace_back(static_cast<uint32_t>(n), static_cast<int32_t>(value));
    } else if (a == "--choose" && hasValue) {
      std::string v = args[++i];
      size_t pos = 0;
      while (pos <= v.size()) {
        size_t comma = v.find(',', pos);
        std::string item = v.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        long long c = 0;
        if (!ParseInt(item, 1, 255, c)) {
          std::fprintf(stderr, "script run: --choose takes numbers 1..255 separated by commas\n");
          return 2;
        }
        options.choices.push_back(static_cast<int>(c));
        if (comma == std::string::npos) break;
        pos = comma + 1;
      }
    } else if (!a.empty() && a[0] != '-' && gameDir.empty()) {
      gameDir = a;
    } else {
      std::fprintf(stderr, "%s", kRunUsage);
      return 2;
    }
  }
  if (gameDir.empty()) {
    std::fprintf(stderr, "%s", kRunUsage);
    return 2;
  }
  if (!SetModuleDirFromHost(gameDir)) {
    std::fprintf(stderr, "script run: bad game folder %s\n", gameDir.c_str());
    return 1;
  }
  TextRunResult r = RunScriptAsText(options);
  for (const std::string& line : r.lines) std::printf("%s\n", line.c_str());
  for (const std::string& e : r.errors) std::fprintf(stderr, "error: %s\n", e.c_str());
  std::printf("stopped: %s\n", DescribeTextRunStop(r.stop));
  const bool clean = r.errors.empty() && r.stop != TextRunStop::kFault && r.stop != TextRunStop::kNoSet &&
                     r.stop != TextRunStop::kNoStop;
  return clean ? 0 : 1;
}

int ScriptCommand(const std::vector<std::string>& args) {
  if (!args.empty() && args[0] == "build") return Build({args.begin() + 1, args.end()});
  if (!args.empty() && args[0] == "dump") return Dump({args.begin() + 1, args.end()});
  if (!args.empty() && args[0] == "run") return Run({args.begin() + 1, args.end()});
  std::fprintf(stderr,
               "usage: v4data script build <source> <out-root> <base-name> [--tutorial]\n"
               "       v4data script dump <out-root> <base-name>\n%s",
               kRunUsage);
  return 2;
}

const V4Command kCmd{"script",
                     "build <source> <out-root> <base-name> [--tutorial] | dump <out-root> <base-name> | "
                     "run <game-dir> [--set main|tutorial] [--switch N=V]... [--choose i,j,...]",
                     &ScriptCommand};

}  // namespace

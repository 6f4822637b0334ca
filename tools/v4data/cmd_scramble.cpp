// v4data scramble / descramble --seed <n> <in> <out>: add or remove the seeded byte stream over a
// whole file (seed decimal or 0x-hex; 271945638 for tables and saves, 0x5C3A91E7 for tig/tds).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "command.h"
#include "tool_io.h"
#include "formats/scramble/scramble.h"

namespace {

bool ParseSeed(const std::string& text, uint32_t& seed) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
  if (errno != 0 || *end != '\0' || end == text.c_str() + (hex ? 2 : 0) || v > 0xFFFFFFFFull) return false;
  seed = static_cast<uint32_t>(v);
  return true;
}

int Run(const std::vector<std::string>& args, bool scramble) {
  const char* name = scramble ? "scramble" : "descramble";
  uint32_t seed = 0;
  if (args.size() != 4 || args[0] != "--seed" || !ParseSeed(args[1], seed)) {
    std::fprintf(stderr, "usage: v4data %s --seed <n> <in> <out>   (n decimal or 0x-hex, 32-bit)\n", name);
    return 2;
  }
  std::vector<uint8_t> data;
  if (!ReadToolInput(name, args[2], data)) return 1;
  if (scramble) {
    v4fmt::ScrambleInPlace(data.data(), data.size(), seed);
  } else {
    v4fmt::DescrambleInPlace(data.data(), data.size(), seed);
  }
  std::ofstream out(args[3], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "%s: cannot write %s\n", name, args[3].c_str());
    return 1;
  }
  return 0;
}

int RunScramble(const std::vector<std::string>& args) { return Run(args, true); }
int RunDescramble(const std::vector<std::string>& args) { return Run(args, false); }

const V4Command kScramble{"scramble", "--seed <n> <in> <out>", &RunScramble};
const V4Command kDescramble{"descramble", "--seed <n> <in> <out>", &RunDescramble};

}  // namespace

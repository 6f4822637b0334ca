// The normal build's driver of a fuzz target: every file of the folders (and files) named on the
// command line goes through LLVMFuzzerTestOneInput once, in name order. A crash or a sanitizer
// report ends the run, so ctest turns the corpora into regression tests.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool ReadInput(const std::filesystem::path& p, std::vector<uint8_t>& out) {
  std::ifstream f(p, std::ios::binary);
  if (!f) return false;
  out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return !f.bad();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    const std::filesystem::path arg(argv[i]);
    if (std::filesystem::is_directory(arg, ec)) {
      for (const auto& e : std::filesystem::recursive_directory_iterator(arg, ec)) {
        if (e.is_regular_file(ec) && e.path().filename().string()[0] != '.') inputs.push_back(e.path());
      }
    } else if (std::filesystem::is_regular_file(arg, ec)) {
      inputs.push_back(arg);
    } else if (!std::filesystem::exists(arg, ec)) {
      // A regression folder with nothing in it yet need not exist; a named seed file must.
      if (arg.has_extension()) {
        std::fprintf(stderr, "replay: %s is missing\n", argv[i]);
        return 1;
      }
    }
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "replay: no input found\n");
    return 1;
  }
  std::vector<uint8_t> bytes;
  for (const auto& p : inputs) {
    if (!ReadInput(p, bytes)) {
      std::fprintf(stderr, "replay: cannot read %s\n", p.c_str());
      return 1;
    }
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  return 0;
}

// Script sets: the input is assembled as source text, disassembled as bytecode (as stored and
// descrambled), parsed as each of the nine set files beside the sample tutorial set's other eight,
// and loaded by the game as each of those files in turn.
#include <array>
#include <string>
#include <vector>

#include "formats/scramble/scramble.h"
#include "formats/script/script_asm.h"
#include "formats/script/script_set_files.h"
#include "formats/script/script_set_layout.h"
#include "fuzz/fuzz_support.h"
#include "scenario/script/adv_script.h"

namespace {

constexpr const char* kSetBase = "Data/script/tutorial";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = v4fuzz::ModuleFolder({"Data/script", "Data/sys", "SaveData"});
  static std::array<std::vector<uint8_t>, v4fmt::kScriptFileCount> sample;
  static const bool loaded = v4fmt::ReadScriptSetFiles(root, kSetBase, sample, nullptr);
  (void)loaded;

  v4fmt::CompiledScriptSet assembled;
  std::vector<std::string> errors;
  v4fmt::AssembleScript(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.v4s", assembled, errors);

  (void)v4fmt::DisassembleScript(data, size);
  std::vector<uint8_t> plain(data, data + size);
  v4fmt::DescrambleInPlace(plain.data(), plain.size(), v4fmt::kScrambleSeedCommon);
  (void)v4fmt::DisassembleScript(plain.data(), plain.size());

  for (int k = 0; k < v4fmt::kScriptFileCount; ++k) {
    auto images = sample;
    images[k] = plain;
    const v4fmt::CompiledScriptSet set = v4fmt::ParseScriptSetImages(images);
    (void)v4fmt::DisassembleScript(set.bytecode.data(), set.bytecode.size(), &set);

    const std::string rel = std::string(kSetBase) + v4fmt::kScriptFiles[k].extension;
    v4fuzz::PutFile(rel, data, size);
    LoadScriptFiles(1);
    v4fuzz::RestoreFile(rel);
  }
  return 0;
}

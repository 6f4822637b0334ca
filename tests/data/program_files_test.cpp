// Every file the program's own code can ask for is in the built sample set: each fixed path it
// names (music, effects, tables, models, pictures), each sound effect it plays by number, and the
// province pictures of every province. The code is read from the source tree, so a path or an
// effect added later is checked as well.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/game_file.h"
#include "platform/text/cp932.h"
#include "render/file_load.h"
#include "sound/busyo_voice.h"
#include "sound/sound_pack.h"

namespace {

namespace fs = std::filesystem;

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The text of every C++ file under src/, one string per file.
std::vector<std::pair<std::string, std::string>> ProgramSources() {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& e : fs::recursive_directory_iterator(fs::path(V4_TEST_SOURCE_DIR) / "src")) {
    const std::string ext = e.path().extension().string();
    if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    out.emplace_back(e.path().lexically_relative(V4_TEST_SOURCE_DIR).string(), s.str());
  }
  return out;
}

class ProgramFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = GetModuleDir();
    ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  }
  void TearDown() override { SetModuleDir(old_.c_str()); }

  // Whether the program finds the file as it loads it: pictures through the picture loader, sounds
  // loose or from their folder's pack, anything else through the game file reader.
  static bool Found(const std::string& relative) {
    const std::string path = std::string(GetModuleDir()) + relative;
    if (EndsWith(relative, ".voi")) {
      std::vector<uint8_t> wave;
      return LoadSoundPack(path.c_str(), 2, wave) > 46;
    }
    if (EndsWith(relative, ".png") || EndsWith(relative, ".tig")) {
      auto* loader = new CDGFileLoad_QZT;
      const bool ok = loader->Load(path.c_str()) >= 0 && loader->Size() > 0;
      loader->Release();
      return ok;
    }
    int32_t size = 0;
    uint8_t* data = LoadGameFile(path.c_str(), &size);
    if (!data) return false;
    FreeGameFile(data);
    return size > 0;
  }

  std::string old_;
};

// Each "Data\\..." literal of the code that names one file (no format pattern, not a folder).
TEST_F(ProgramFiles, EveryFixedPathTheCodeNamesExists) {
  const std::regex literal(R"re("(Data\\\\[^"%]*\.[A-Za-z0-9]+)")re");
  int checked = 0;
  for (const auto& [file, text] : ProgramSources()) {
    for (std::sregex_iterator it(text.begin(), text.end(), literal), end; it != end; ++it) {
      std::string path = (*it)[1].str();
      // The source escapes each backslash.
      for (size_t at = path.find("\\\\"); at != std::string::npos; at = path.find("\\\\", at + 1)) path.erase(at, 1);
      std::string cp932;
      ASSERT_TRUE(plat::Utf8ToCp932Strict(path, cp932)) << path;
      EXPECT_TRUE(Found(cp932)) << file << " names " << path;
      ++checked;
    }
  }
  EXPECT_GE(checked, 40);
}

// Each sound effect the rules and screens play by a number written in the code (PlaySlgSe with a
// channel and the effect, the battle's PlaySoundEffect, either side of a choice between two).
TEST_F(ProgramFiles, EverySoundEffectTheCodePlaysExists) {
  const std::regex slgSe(R"re(PlaySlgSe\(\s*\d+\s*,\s*([^,(){};]+),)re");
  const std::regex battle(R"re(PlaySoundEffect\(([^;(){}]+)\);)re");
  const std::regex number(R"re(\b(\d+)\b)re");
  std::set<int> effects;
  for (const auto& [file, text] : ProgramSources()) {
    for (const std::regex* r : {&slgSe, &battle})
      for (std::sregex_iterator it(text.begin(), text.end(), *r), end; it != end; ++it) {
        const std::string arg = (*it)[1].str();
        for (std::sregex_iterator n(arg.begin(), arg.end(), number), e; n != e; ++n)
          effects.insert(std::stoi((*n)[1].str()));
      }
  }
  EXPECT_GE(effects.size(), 12u);
  for (int effect : effects) {
    char path[64];
    FormatSlgSePath(path, sizeof path, effect);
    EXPECT_TRUE(Found(path)) << "effect " << effect << ": " << path;
  }
}

// The map cuts every province's highlight and view from pictures of their own.
TEST_F(ProgramFiles, EveryProvincePictureExists) {
  for (const char* pattern :
       {"Data\\Image\\zenkoku\\hl%02d.png", "Data\\Image\\kokunai\\hl%02d.png", "Data\\Image\\kokunai\\view%02d.png"})
    for (int k = 0; k < 67; ++k) {
      char path[64];
      std::snprintf(path, sizeof path, pattern, k);
      EXPECT_TRUE(Found(path)) << path;
    }
}

}  // namespace

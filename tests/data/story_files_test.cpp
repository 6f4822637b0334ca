// Every picture, voice, sound, music and movie the sample scripts name, and every strategy voice line
// the rules ask of a sample general, is in the built sample set; and no strategy event plays its
// messages over an empty (black) screen.
#include <gtest/gtest.h>

#include <fstream>
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

std::string SourceText(const char* relative) {
  std::ifstream in(std::string(V4_TEST_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The quoted game paths ("Data\...") of a script source, as written (UTF-8).
std::set<std::string> NamedFiles(const std::string& text) {
  std::set<std::string> out;
  for (size_t at = text.find("\"Data\\"); at != std::string::npos; at = text.find("\"Data\\", at + 1)) {
    const size_t end = text.find('"', at + 1);
    if (end != std::string::npos) out.insert(text.substr(at + 1, end - at - 1));
  }
  return out;
}

bool EndsWith(const std::string& s, const char* tail) {
  const std::string t(tail);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

class StoryFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = GetModuleDir();
    ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  }
  void TearDown() override { SetModuleDir(old_.c_str()); }

  // Whether the program finds the file the way it would load it: pictures through the picture
  // loader, sounds loose or from their folder's pack, anything else through the game file reader.
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

TEST_F(StoryFiles, EveryFileTheScriptsNameExists) {
  for (const char* source : {"data/script/main.v4s", "data/script/tutorial.v4s"}) {
    const std::set<std::string> files = NamedFiles(SourceText(source));
    EXPECT_FALSE(files.empty()) << source;
    for (const std::string& f : files) {
      std::string cp932;
      ASSERT_TRUE(plat::Utf8ToCp932Strict(f, cp932)) << f;
      EXPECT_TRUE(Found(cp932)) << source << " names " << f;
    }
  }
}

// The strategy game speaks through a general's voice number: the season's report (line 0), a
// command's outcome (2..6), marching out (7), growth in training (23) and the military speaker (24,
// 25). The sample world gives its generals voices 0..9 (general 91 has his own pack, 91).
// Line 1 is the battle's too and comes with the battle voices.
TEST_F(StoryFiles, EveryStrategyVoiceLineOfTheSampleGeneralsExists) {
  std::vector<int> voices = {91};
  for (int v = 0; v <= 9; ++v) voices.push_back(v);
  for (int voice : voices)
    for (int line : {0, 2, 3, 4, 5, 6, 7, 23, 24, 25}) {
      char path[64];
      FormatGeneralVoicePath(path, sizeof path, voice, line);
      EXPECT_TRUE(Found(path)) << path;
    }
}

// Each strategy event's section (from its ".event" line to the next label) shows a background before
// its first message.
TEST_F(StoryFiles, NoStrategyEventTalksOverABlackScreen) {
  std::istringstream in(SourceText("data/script/main.v4s"));
  std::string line, event;
  bool background = false, checked = false;
  int events = 0;
  while (std::getline(in, line)) {
    if (line.rfind(".event ", 0) == 0) {
      event = line;
      background = checked = false;
      ++events;
    } else if (line.rfind("*", 0) == 0 && line.find(' ') != std::string::npos) {
      event.clear();  // a new top-level label ends the event's opening
    } else if (!event.empty() && (line.rfind("#BGLoad", 0) == 0 || line.rfind("#Flip", 0) == 0)) {
      background = true;
    } else if (!event.empty() && !checked && line.rfind(">>", 0) == 0) {
      EXPECT_TRUE(background) << event << ": its first message has no background";
      checked = true;
    }
  }
  EXPECT_GE(events, 6);
}

// Each tutorial chapter opens on a picture of the screen it teaches (drawn from that screen's
// layout), shown before its first message.
TEST_F(StoryFiles, EveryTutorialChapterShowsItsScreen) {
  std::istringstream in(SourceText("data/script/tutorial.v4s"));
  std::string line, chapter, picture;
  bool checked = false;
  int chapters = 0;
  while (std::getline(in, line)) {
    if (line.rfind("*ch_", 0) == 0 && line.find(' ') != std::string::npos) {
      chapter = line;
      picture.clear();
      checked = false;
      ++chapters;
    } else if (!chapter.empty() && picture.empty() && line.rfind("#BGLoad \"", 0) == 0) {
      picture = line.substr(9, line.find('"', 9) - 9);
    } else if (!chapter.empty() && !checked && line.rfind(">>", 0) == 0) {
      checked = true;
      EXPECT_EQ(picture.rfind("Data\\Image\\tutorial\\", 0), 0u) << chapter << ": " << picture;
      std::string cp932;
      ASSERT_TRUE(plat::Utf8ToCp932Strict(picture, cp932));
      EXPECT_TRUE(Found(cp932)) << picture;
    }
  }
  EXPECT_EQ(chapters, 9);
}

}  // namespace

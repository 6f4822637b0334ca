// Every v4data command that reads a file, given what is not a usable file (a folder, a pipe, an
// endless device, nothing) or a damaged copy of real sample data: it must end with a non-zero
// status and say why, never abort, hang or claim success.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run_command.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

class V4DataInputs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Made());
    fs::create_directories(folder_.File("adir"));
    ASSERT_EQ(mkfifo(folder_.File("pipe").c_str(), 0600), 0);
  }
  // Runs the tool; the status, and stdout plus stderr in *out.
  int Run(const std::string& args, std::string* out) {
    return v4test::RunCommand(std::string("'") + V4DATA_EXE + "' " + args + " 2>&1", out);
  }
  std::string Data(const std::string& rel) const { return std::string(V4_TEST_GAME_DIR) + "/Data/" + rel; }
  // A copy of a sample file cut to keep bytes (or, with keep < 0, to |keep| per cent).
  std::string CutCopy(const std::string& rel, long keep, const std::string& as) {
    const std::vector<uint8_t> bytes = ReadAll(Data(rel));
    const size_t n = keep >= 0 ? static_cast<size_t>(keep) : bytes.size() * static_cast<size_t>(-keep) / 100;
    folder_.Write(as,
                  std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(std::min(n, bytes.size()))));
    return folder_.File(as);
  }
  static std::vector<uint8_t> ReadAll(const std::string& path) {
    v4test::TempFolder none;
    std::vector<uint8_t> out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return out;
  }
  v4test::TempFolder folder_{"v4inputs"};
};

TEST_F(V4DataInputs, UnusableInputsAreRefusedWithAReason) {
  // {IN} is replaced by the bad input, {OUT} by a fresh output path.
  const std::vector<std::string> commands = {
      "szs list {IN}",
      "szs extract {IN} {OUT}",
      "layout compile {IN} {OUT}",
      "layout dump {IN}",
      "scenes build {IN} {OUT}",
      "scenes dump {IN}",
      "voi decode {IN} {OUT}",
      "voi encode {IN} {OUT}",
      "scramble --seed 1 {IN} {OUT}",
      "descramble --seed 1 {IN} {OUT}",
      "script build {IN} {OUT} base",
      "image {IN} {OUT}",
      "art {IN} {OUT}",
      "font {IN} {OUT}",
      "movie info {IN}",
      "model info {IN}",
  };
  const std::vector<std::pair<const char*, std::string>> inputs = {
      {"a folder", folder_.File("adir")},
      {"a named pipe", folder_.File("pipe")},
      {"an endless device", "/dev/zero"},
      {"a missing file", folder_.File("missing")},
  };
  int n = 0;
  for (const std::string& command : commands) {
    for (const auto& [what, path] : inputs) {
      std::string args = command;
      args.replace(args.find("{IN}"), 4, "'" + path + "'");
      if (size_t at = args.find("{OUT}"); at != std::string::npos) {
        args.replace(at, 5, "'" + folder_.File("out" + std::to_string(n++)) + "'");
      }
      std::string out;
      const int status = Run(args, &out);
      EXPECT_NE(status, 0) << command << " on " << what;
      EXPECT_NE(status, -1) << command << " on " << what << " did not exit normally: " << out;
      EXPECT_FALSE(out.empty()) << command << " on " << what << " said nothing";
    }
  }
}

TEST_F(V4DataInputs, DamagedSampleFilesAreNotReportedAsGood) {
  ASSERT_TRUE(fs::exists(Data("sys/scene.bin"))) << "build the sample data first";
  std::string out;
  // The untouched files pass, so a failure below is the damage's.
  EXPECT_EQ(Run("scenes dump '" + Data("sys/scene.bin") + "'", &out), 0) << out;
  EXPECT_EQ(Run("movie info '" + Data("media/op.mdm") + "'", &out), 0) << out;
  EXPECT_EQ(Run("voi decode '" + Data("bgm/M29.voi") + "' '" + folder_.File("whole.wav") + "'", &out), 0) << out;

  folder_.Write("random.bin", std::vector<uint8_t>(3000, 0x9D));
  folder_.Write("empty.txt", std::vector<uint8_t>());
  // The whole layout passes, so the cut copy's refusal is the cut's.
  EXPECT_EQ(Run("layout dump '" + Data("layout/title.lay") + "'", &out), 0) << out;
  // An archive whose entry count reads negative: damage, not an empty archive.
  std::vector<uint8_t> archive = ReadAll(Data("Image.SZS"));
  ASSERT_GE(archive.size(), 16u);
  for (int i = 12; i < 16; ++i) archive[static_cast<size_t>(i)] = 0xFF;
  folder_.Write("negative.SZS", archive);
  struct Case {
    const char* what;
    std::string args;
  } cases[] = {
      {"layout dump of garbage", "layout dump '" + folder_.File("random.bin") + "'"},
      {"szs list of an archive with a negative count", "szs list '" + folder_.File("negative.SZS") + "'"},
      {"layout compile of an empty file",
       "layout compile '" + folder_.File("empty.txt") + "' '" + folder_.File("empty.lay") + "'"},
      {"layout dump of a layout cut in half", "layout dump '" + CutCopy("layout/title.lay", -50, "half.lay") + "'"},
      {"scenes dump of half a table", "scenes dump '" + CutCopy("sys/scene.bin", -50, "half.bin") + "'"},
      {"scenes dump of garbage", "scenes dump '" + folder_.File("random.bin") + "'"},
      {"voi decode of a cut file",
       "voi decode '" + CutCopy("bgm/M29.voi", -40, "cut.voi") + "' '" + folder_.File("cut.wav") + "'"},
      {"movie info of 1% of a movie", "movie info '" + CutCopy("media/op.mdm", -1, "cut.mdm") + "'"},
      {"movie info of half a movie", "movie info '" + CutCopy("media/op.mdm", -50, "half.mdm") + "'"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(Run(c.args, &out), 0) << c.what << ": " << out;
  }

  // A script set whose bytecode is cut mid-way.
  for (const char* ext : {".bl", ".ev", ".lb", ".lbn", ".sfn", ".sw", ".swn", ".tko"}) {
    folder_.Write(std::string("set/Data/script/main") + ext, ReadAll(Data(std::string("script/main") + ext)));
  }
  CutCopy("script/main.sd", -50, "set/Data/script/main.sd");
  EXPECT_NE(Run("script dump '" + folder_.File("set") + "' Data/script/main", &out), 0) << out;
  // Random bytecode of the right length fails the set's check value.
  std::vector<uint8_t> sd = ReadAll(Data("script/main.sd"));
  for (size_t i = 0; i < sd.size(); ++i) sd[i] = static_cast<uint8_t>(i * 131 + 7);
  folder_.Write("set/Data/script/main.sd", sd);
  EXPECT_NE(Run("script dump '" + folder_.File("set") + "' Data/script/main", &out), 0) << out;
  EXPECT_NE(out.find("check value"), std::string::npos) << out;

  // A world whose carry-over file is cut short.
  for (const auto& e : fs::directory_iterator(Data("scenario/0"))) {
    const std::string name = e.path().filename().string();
    folder_.Write("world/Data/scenario/0/" + name, ReadAll(e.path().string()));
  }
  for (const auto& e : fs::directory_iterator(Data("scenario/common"))) {
    folder_.Write("world/Data/scenario/common/" + e.path().filename().string(), ReadAll(e.path().string()));
  }
  folder_.Write("world/Data/sys/system.dat", ReadAll(Data("sys/system.dat")));
  EXPECT_EQ(Run("world check '" + folder_.File("world") + "'", &out), 0) << out;
  CutCopy("scenario/0/hikitugi.bin", 100, "world/Data/scenario/0/hikitugi.bin");
  EXPECT_NE(Run("world check '" + folder_.File("world") + "'", &out), 0) << out;
}

}  // namespace

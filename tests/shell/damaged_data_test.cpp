// The real program on damaged data: one file read at start-up is emptied, cut, overwritten with
// random bytes or replaced by a folder, in a copy of the sample data. The program either runs
// (and shuts down normally on SIGTERM) or ends through its error path with a failure status;
// never a signal, never a hang.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

enum class Damage { kEmpty, kTruncated, kRandom, kFolder };

struct Case {
  const char* file;  // relative to the game folder
  Damage damage;
};

const char* DamageName(Damage d);

void PrintTo(const Case& c, std::ostream* os) { *os << c.file << " " << DamageName(c.damage); }

const char* DamageName(Damage d) {
  switch (d) {
    case Damage::kEmpty:
      return "empty";
    case Damage::kTruncated:
      return "truncated";
    case Damage::kRandom:
      return "random";
    case Damage::kFolder:
      return "folder";
  }
  return "?";
}

// Files the program reads on its way to the title menu. Random bytes in a plain fixed-size table
// cannot be told from data (its values are range-checked where they are used); every other damage
// must be named in the log when the program goes on.
struct StartupFile {
  const char* file;  // relative to the game folder
  bool randomDetectable;
};
constexpr StartupFile kFiles[] = {
    {"Data/sys/scene.bin", true},  {"Data/sys/system.dat", false},  {"Data/sys/basic.dat", false},
    {"Data/sys/sin_01.dat", true}, {"Data/script/main.bl", true},   {"Data/layout/title.lay", true},
    {"Data/Image.SZS", true},      {"SaveData/sys/sys.dat", false}, {"SaveData/sys/plc.dat", false},
};

bool MustBeNamed(const Case& c) {
  if (c.damage != Damage::kRandom) return true;
  for (const StartupFile& f : kFiles) {
    if (std::string(f.file) == c.file) return f.randomDetectable;
  }
  return true;
}

std::vector<Case> AllCases() {
  std::vector<Case> out;
  for (const StartupFile& f : kFiles) {
    for (Damage d : {Damage::kEmpty, Damage::kTruncated, Damage::kRandom, Damage::kFolder}) out.push_back({f.file, d});
  }
  return out;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool WaitFor(pid_t pid, int limitMs, int& status) {
  for (int waited = 0; waited <= limitMs; waited += 20) {
    if (waitpid(pid, &status, WNOHANG) == pid) return true;
    usleep(20 * 1000);
  }
  return false;
}

class DamagedDataTest : public ::testing::TestWithParam<Case> {
 protected:
  // The executable copied in, the sample data linked file by file, so one file can be replaced.
  void SetUp() override {
    const std::string game = V4_TEST_GAME_DIR;
    ASSERT_TRUE(fs::exists(game + "/vornakest4"));
    fs::copy_file(game + "/vornakest4", dir_.File("vornakest4"));
    const fs::path data = fs::path(game) / "Data";
    for (const auto& e : fs::recursive_directory_iterator(data)) {
      const fs::path to = fs::path(dir_.File("Data")) / fs::relative(e.path(), data);
      if (e.is_directory())
        fs::create_directories(to);
      else
        fs::create_symlink(e.path(), to);
    }
  }

  // Writes the damaged file; a save file that does not exist yet is made by a first run.
  void DamageFile(const Case& c) {
    const std::string path = dir_.File(c.file);
    std::vector<uint8_t> original;
    if (fs::exists(std::string(V4_TEST_GAME_DIR) + "/" + c.file)) {
      std::ifstream in(std::string(V4_TEST_GAME_DIR) + "/" + c.file, std::ios::binary);
      original.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } else {
      RunAndStop(nullptr, path);  // the program makes its settings and play record
      ASSERT_TRUE(fs::exists(path)) << c.file;
      original = dir_.Read(c.file);
    }
    std::error_code ec;
    fs::remove(path, ec);
    fs::create_directories(fs::path(path).parent_path());
    std::vector<uint8_t> bytes;
    switch (c.damage) {
      case Damage::kEmpty:
        break;
      case Damage::kTruncated:
        bytes.assign(original.begin(), original.begin() + original.size() / 2);
        break;
      case Damage::kRandom: {
        std::mt19937 rng(static_cast<uint32_t>(original.size()) * 2654435761u);
        bytes.resize(std::max<size_t>(original.size(), 64));
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
        break;
      }
      case Damage::kFolder:
        fs::create_directory(path);
        return;
    }
    ASSERT_TRUE(dir_.Write(c.file, bytes));
  }

  pid_t Start() {
    const std::string log = dir_.File("err.log");
    // Removed here, not only truncated by the child: a poll right after the fork must not find
    // the line "timer started" of an earlier run.
    std::error_code ec;
    fs::remove(log, ec);
    pid_t pid = fork();
    if (pid == 0) {
      int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) dup2(fd, 2);
      setenv("SDL_VIDEODRIVER", "offscreen", 1);
      setenv("SDL_AUDIODRIVER", "dummy", 1);
      if (chdir(dir_.Path().c_str()) != 0) _exit(90);
      execl(dir_.File("vornakest4").c_str(), "vornakest4", static_cast<char*>(nullptr));
      _exit(91);
    }
    return pid;
  }

  // Starts the program and lets it reach its title, then ends it; the status it ended with.
  // ran: whether it was still running when told to stop.
  // wait_file: a file the run must have written before it is stopped (a loaded machine may need
  // more than the fixed wait to get there).
  int RunAndStop(bool* ran = nullptr, const std::string& wait_file = {}) {
    pid_t pid = Start();
    EXPECT_GT(pid, 0);
    int status = 0;
    bool ended = false;
    const std::string log = dir_.File("err.log");
    for (int waited = 0; waited <= 30000 && !ended; waited += 20) {
      if (waitpid(pid, &status, WNOHANG) == pid)
        ended = true;
      else if (ReadAll(log).find("timer started") != std::string::npos)
        break;
      else
        usleep(20 * 1000);
    }
    // Long enough for the title to load its layout, pictures, font, music and the opening movie.
    if (!ended) ended = WaitFor(pid, 1500, status);
    for (int waited = 0; !ended && !wait_file.empty() && !fs::exists(wait_file) && waited < 30000; waited += 20) {
      ended = WaitFor(pid, 20, status);
    }
    if (ran) *ran = !ended;
    if (!ended) {
      kill(pid, SIGTERM);
      ended = WaitFor(pid, 10000, status);
      if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "no end after SIGTERM\n" << ReadAll(log);
      }
    }
    return status;
  }

  v4test::TempFolder dir_{"v4damaged"};
};

TEST_P(DamagedDataTest, RunsOrEndsWithAFailureButNeverCrashes) {
  const Case c = GetParam();
  DamageFile(c);
  if (HasFatalFailure()) return;
  bool ran = false;
  const int status = RunAndStop(&ran);
  const std::string log = ReadAll(dir_.File("err.log"));
  ASSERT_FALSE(WIFSIGNALED(status)) << "signal " << WTERMSIG(status) << "\n" << log;
  ASSERT_TRUE(WIFEXITED(status));
  if (ran) {
    EXPECT_EQ(WEXITSTATUS(status), 0) << "shutdown after SIGTERM\n" << log;
  } else {
    EXPECT_NE(WEXITSTATUS(status), 0) << "ended early with success\n" << log;
  }
  // A program that goes on says what it refused (one that ends has shown its error box).
  const std::string name = fs::path(c.file).filename().string();
  if (ran && MustBeNamed(c)) {
    EXPECT_NE(log.find(name), std::string::npos) << "ran without naming " << name << "\n" << log;
  }
}

INSTANTIATE_TEST_SUITE_P(StartupFiles, DamagedDataTest, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string n =
                               fs::path(info.param.file).filename().string() + "_" + DamageName(info.param.damage);
                           for (char& ch : n)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

}  // namespace

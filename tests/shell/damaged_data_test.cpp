// The real program on damaged data: one file read at start-up is emptied, cut, overwritten with
// random bytes or replaced by a folder, in a copy of the sample data. The program either runs
// (and shuts down normally on SIGTERM) or ends through its error path with a failure status;
// never a signal, never a hang.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
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

  // display: an X display to run on instead of the offscreen driver.
  pid_t Start(const std::string& display = {}) {
    const std::string log = dir_.File("err.log");
    // Removed here, not only truncated by the child: a poll right after the fork must not find
    // the line "timer started" of an earlier run.
    std::error_code ec;
    fs::remove(log, ec);
    pid_t pid = fork();
    if (pid == 0) {
      int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) dup2(fd, 2);
      if (display.empty()) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
      } else {
        unsetenv("SDL_VIDEODRIVER");
        setenv("DISPLAY", display.c_str(), 1);
      }
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

// Processes of a process group that still live (zombies, which only wait to be reaped, do not).
std::vector<pid_t> LivingInGroup(pid_t group) {
  std::vector<pid_t> out;
  for (const auto& e : fs::directory_iterator("/proc")) {
    const std::string name = e.path().filename().string();
    if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0]))) continue;
    const std::string stat = ReadAll("/proc/" + name + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 2));
    char state = 0;
    long ppid = 0, pgrp = 0;
    rest >> state >> ppid >> pgrp;
    if (pgrp == group && state != 'Z' && state != 'X') out.push_back(static_cast<pid_t>(std::stol(name)));
  }
  return out;
}

// An error box on a real X display (a private Xvfb): SIGTERM ends the program while the box is up,
// and a program killed outright takes its box with it (no helper process stays behind).
TEST_F(DamagedDataTest, AnErrorBoxNeverOutlivesTheProgram) {
  // The server picks a free display itself and writes its number to the pipe.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t xvfb = fork();
  if (xvfb == 0) {
    close(fds[0]);
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
    }
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  ASSERT_GT(xvfb, 0);
  // The server goes whatever way the test ends.
  struct StopServer {
    pid_t pid;
    ~StopServer() {
      int st = 0;
      kill(pid, SIGTERM);
      waitpid(pid, &st, 0);
    }
  } stopServer{xvfb};
  std::string number;
  char ch = 0;
  while (read(fds[0], &ch, 1) == 1 && ch != '\n') number += ch;
  close(fds[0]);
  int status = 0;
  if (number.empty() || waitpid(xvfb, &status, WNOHANG) == xvfb) GTEST_SKIP() << "no Xvfb to show a box on";
  const std::string display = ":" + number;
  // An empty set-name file: the version box at start-up.
  DamageFile({"Data/sys/sin_01.dat", Damage::kEmpty});
  for (int sig : {SIGTERM, SIGKILL}) {
    SCOPED_TRACE(sig == SIGTERM ? "SIGTERM" : "SIGKILL");
    const pid_t game = Start(display);
    ASSERT_GT(game, 0);
    pid_t box = 0;
    for (int waited = 0; waited < 30000 && box == 0; waited += 20) {
      std::istringstream kids(ReadAll("/proc/" + std::to_string(game) + "/task/" + std::to_string(game) + "/children"));
      kids >> box;
      if (box == 0) usleep(20 * 1000);
    }
    ASSERT_GT(box, 0) << "no box came up\n" << ReadAll(dir_.File("err.log"));
    usleep(500 * 1000);  // the box's own helper starts
    kill(game, sig);
    EXPECT_TRUE(WaitFor(game, 10000, status)) << "still running with its box up";
    if (sig == SIGTERM) {
      EXPECT_TRUE(WIFEXITED(status)) << ReadAll(dir_.File("err.log"));
    }
    std::vector<pid_t> left;
    for (int waited = 0; waited < 10000; waited += 50) {
      left = LivingInGroup(box);
      if (left.empty()) break;
      usleep(50 * 1000);
    }
    EXPECT_TRUE(left.empty()) << left.size() << " box processes outlived the program";
    for (pid_t p : left) kill(p, SIGKILL);
    kill(game, SIGKILL);
    waitpid(game, &status, WNOHANG);
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

// Program entry: command line, module directory, start-up order and failures, and the real
// program binary (single instance, termination signal).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/app_state.h"
#include "core/game_file.h"
#include "shell/app_main.h"
#include "shell/frame.h"
#include "platform/sdl/process.h"
#include "platform/sdl/window.h"
#include "shell/window_graphics.h"
#include "tests/support/placeholder_scene.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

TEST(CommandLineTest, FramePeriodFromFirstFourCharacters) {
  struct Case {
    const char* line;
    int selector;
    int ms;
  };
  const Case cases[] = {
      {"", 0, 18},    {"-f30", 1, 35}, {"-f30xyz", 1, 35}, {"-F30", 0, 18},      {"-f15", 2, 68},
      {"-f1", 0, 18}, {"-f3", 0, 18},  {" -f30", 0, 18},   {"-f15 -f30", 2, 68},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseFramePeriodSelector(c.line), c.selector) << c.line;
    EXPECT_EQ(FramePeriodMs(ParseFramePeriodSelector(c.line)), c.ms) << c.line;
  }
  EXPECT_EQ(ParseFramePeriodSelector(nullptr), 0);
  EXPECT_EQ(FramePeriodMs(7), 18);
}

TEST(ModuleDirTest, CutAfterTheLastSeparator) {
  struct Case {
    std::string path;
    std::string dir;
  };
  const Case cases[] = {
      {"C:\\game\\v4.exe", "C:\\game\\"},
      {"\\home\\u\\game\\vornakest4", "\\home\\u\\game\\"},
      {"/home/u/game/vornakest4", "/home/u/game/"},
      {"vornakest4", ""},
      {"\\vornakest4", ""},  // a separator at index 0 does not count
      {"", ""},
      {"\\a\\", "\\a\\"},
      // "ソ" is 83 5C: its trail byte is not a separator.
      {"\\dir\\\x83\x5C.exe", "\\dir\\"},
      {"\\\x83\x5C", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CutModuleDir(c.path), c.dir) << c.path;
}

std::vector<std::string> g_order;

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_order.clear();
    saved_ = GetStartupSteps();
    // The frame drives the test card unless a test installs its own picture.
    GetStartupSteps().sceneManager = &scenes_;
    GetStartupSteps().pictureSource = &card_;
    moduleDir_ = GetModuleDir();
    plat::ClearTerminationRequest();
    g_QuitRequested = false;
    ResetFrameState();
  }
  void TearDown() override {
    GetStartupSteps() = saved_;
    SetModuleDir(moduleDir_.c_str());
    plat::ClearTerminationRequest();
    g_QuitRequested = false;
    ResetFrameState();
  }
  LaunchOptions Options() {
    LaunchOptions o;
    o.executablePath = dir_.Path() + "/vornakest4";
    o.hiddenWindow = true;
    o.boxShower = [this](const BoxRequest& r) {
      boxes.push_back(r);
      return 1;
    };
    return o;
  }
  v4test::TempFolder dir_;  // stands for the install folder
  StartupSteps saved_;
  PlaceholderSceneMgr scenes_;
  TestCardPicture card_{&scenes_};
  std::string moduleDir_;
  std::vector<BoxRequest> boxes;
};

TEST_F(StartupTest, ScriptSetMismatchStopsBeforeTheDevice) {
  StartupSteps& s = GetStartupSteps();
  s.loadStartLabelList = [] {
    g_order.push_back("labels");
    return false;
  };
  s.startLabelListFailure = [] { return "Data\\script\\main.bl: does not begin with this version's script signature"; };
  s.initMovieManager = [] {
    g_order.push_back("movies");
    return true;
  };
  s.loadSystemData = [] { g_order.push_back("system"); };
  s.saveSystemFiles = [] { g_order.push_back("save"); };
  EXPECT_EQ(GameMain({"vornakest4"}, Options()), 1);       // an error end is not a success
  EXPECT_EQ(g_order, std::vector<std::string>{"labels"});  // no device, no movies, nothing saved
  ASSERT_EQ(boxes.size(), 1u);
  // The box has a title and names the file and what was expected of it.
  EXPECT_EQ(
      boxes[0].text,
      "ゲームバージョンが異なります。\nData\\script\\main.bl: does not begin with this version's script signature");
  EXPECT_EQ(boxes[0].title, "Vornakest 4");
  EXPECT_EQ(g_FrameTimerId.load(), 0u);
}

TEST_F(StartupTest, MovieFailureGivesItsBox) {
  GetStartupSteps().initMovieManager = [] { return false; };
  EXPECT_EQ(GameMain({"vornakest4"}, Options()), 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "COMの初期化に失敗しました。終了します。");
}

// A drawing device that cannot be made stops start-up with its box, before the movie manager.
TEST_F(StartupTest, DeviceFailureGivesItsBoxAndStops) {
  struct NoDevice : WindowPictureSource {
    bool DrawPicture(const DisplayLayout&) override { return false; }
    bool CreateDevice() override {
      g_order.push_back("device");
      return false;
    }
  } picture;
  StartupSteps& s = GetStartupSteps();
  s.pictureSource = &picture;
  s.initMovieManager = [] {
    g_order.push_back("movies");
    return true;
  };
  s.loadSystemData = [] { g_order.push_back("system"); };
  s.releaseGraphics = [] { g_order.push_back("release"); };
  EXPECT_EQ(GameMain({"vornakest4"}, Options()), 1);
  EXPECT_EQ(g_order, (std::vector<std::string>{"device", "release"}));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "DirectGraphics初期化に失敗しました. 終了します. ");
  EXPECT_EQ(boxes[0].title, "");
  EXPECT_EQ(g_FrameTimerId.load(), 0u);
}

std::atomic<int32_t> g_periodSeen{0};
int32_t g_modeAtSave = -1;
bool g_stoppedBeforeSave = false;

TEST_F(StartupTest, StartsInOrderRunsFramesAndSavesOnlyAfterTheFrameStopped) {
  StartupSteps& s = GetStartupSteps();
  s.clearScriptWatchList = [] { g_order.push_back("watch"); };
  s.loadStartLabelList = [] {
    g_order.push_back("labels");
    return true;
  };
  s.initMovieManager = [] {
    g_order.push_back("movies");
    return true;
  };
  s.loadSystemData = [] { g_order.push_back("system"); };
  s.initSound = [] { g_order.push_back("sound"); };
  s.initMenuManager = [] {
    g_order.push_back("menus");
    // Ends the run once the frame timer runs, as a termination signal does.
    std::thread([] {
      for (int waited = 0; g_FrameTimerId.load() == 0 && waited < 20000; waited += 5) usleep(5 * 1000);
      g_periodSeen = g_FramePeriodMs.load();
      raise(SIGTERM);
    }).detach();
  };
  s.saveSystemFiles = [] {
    g_order.push_back("save");
    g_modeAtSave = GameMode;  // the frame thread has been joined
    g_stoppedBeforeSave = g_FrameTimerId.load() == 0 && IsFramePaused() && IsDisplayStopped() && !g_FrameBusy.load() &&
                          !g_DrawBusy.load();
  };
  s.shutdownMovieManager = [] { g_order.push_back("movies off"); };
  EXPECT_EQ(GameMain({"vornakest4", "-f30"}, Options()), 0);
  const std::vector<std::string> expect = {"watch", "labels", "movies", "system",
                                           "sound", "menus",  "save",   "movies off"};
  EXPECT_EQ(g_order, expect);
  EXPECT_EQ(g_periodSeen.load(), 35);
  EXPECT_EQ(g_modeAtSave, 1);
  EXPECT_TRUE(g_stoppedBeforeSave);
  EXPECT_TRUE(boxes.empty());
  // The module directory is the executable's folder in program form.
  std::string expectDir = dir_.Path() + "/";
  for (char& c : expectDir)
    if (c == '/') c = '\\';
  EXPECT_EQ(std::string(GetModuleDir()), expectDir);
}

TEST_F(StartupTest, DebugMarkerBesideTheExecutableSetsTheDebugFlag) {
  // Ends right after the window (the script-set check fails), which is all this needs.
  GetStartupSteps().loadStartLabelList = [] { return false; };
  g_DebugFlag = 1;
  GameMain({"vornakest4"}, Options());
  EXPECT_EQ(g_DebugFlag, 0);
  fs::create_directories(fs::path(dir_.Path()) / u8"デバッグ");
  std::ofstream(fs::path(dir_.Path()) / u8"デバッグ" / "deb_str.bin") << "x";
  GameMain({"vornakest4"}, Options());
  EXPECT_EQ(g_DebugFlag, 1);
  g_DebugFlag = 0;
}

// The real program binary, copied into a fresh folder so its lock and save folder are its own;
// the sample data is linked in beside it.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string exe = std::string(V4_TEST_GAME_DIR) + "/vornakest4";
    ASSERT_TRUE(fs::exists(exe)) << exe;
    fs::copy_file(exe, Exe());
    // The program checks its data at start-up: give the copy the built data set.
    fs::create_directory_symlink(std::string(V4_TEST_GAME_DIR) + "/Data", dir_.Path() + "/Data");
  }
  std::string Exe() const { return dir_.Path() + "/vornakest4"; }
  pid_t Start(const std::string& errFile) {
    pid_t pid = fork();
    if (pid == 0) {
      int fd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) dup2(fd, 2);
      setenv("SDL_VIDEODRIVER", "offscreen", 1);
      setenv("SDL_AUDIODRIVER", "dummy", 1);
      if (chdir(dir_.Path().c_str()) != 0) _exit(90);
      execl(Exe().c_str(), "vornakest4", static_cast<char*>(nullptr));
      _exit(91);
    }
    return pid;
  }
  // Waits up to limitMs until the log file holds text; false when it never did.
  static bool WaitForLog(const std::string& path, const std::string& text, int limitMs) {
    for (int waited = 0; waited <= limitMs; waited += 20) {
      if (ReadAll(path).find(text) != std::string::npos) return true;
      usleep(20 * 1000);
    }
    return false;
  }
  // Waits up to limitMs for the child; true with its status when it ended.
  static bool WaitFor(pid_t pid, int limitMs, int& status) {
    for (int waited = 0; waited <= limitMs; waited += 20) {
      if (waitpid(pid, &status, WNOHANG) == pid) return true;
      usleep(20 * 1000);
    }
    return false;
  }
  static std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  v4test::TempFolder dir_;  // stands for the install folder
};

// Without a display (and without a video driver asked for by name) the program says so and fails
// instead of running unseen.
TEST_F(ProgramTest, NoDisplayIsReportedWithAFailureStatus) {
  std::string err = dir_.Path() + "/nodisplay.log";
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) dup2(fd, 2);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (chdir(dir_.Path().c_str()) != 0) _exit(90);
    execl(Exe().c_str(), "vornakest4", static_cast<char*>(nullptr));
    _exit(91);
  }
  ASSERT_GT(pid, 0);
  int status = 0;
  bool ended = WaitFor(pid, 10000, status);
  if (!ended) kill(pid, SIGKILL), waitpid(pid, &status, 0);
  ASSERT_TRUE(ended) << "the program ran without a display";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(ReadAll(err).find("no display"), std::string::npos) << ReadAll(err);
}

TEST(DisplayTest, OnlyARealOrRequestedDriverCounts) {
  struct Case {
    const char* chosen;
    const char* requested;
    bool usable;
  };
  const Case cases[] = {
      {"x11", nullptr, true},           {"wayland", "", true},
      {"offscreen", nullptr, false},    {"offscreen", "", false},
      {"offscreen", "offscreen", true}, {"dummy", nullptr, false},
      {"evdev", nullptr, false},        {nullptr, nullptr, false},
      {nullptr, "x11", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::DisplayUsable(c.chosen, c.requested), c.usable)
        << (c.chosen ? c.chosen : "(none)") << " / " << (c.requested ? c.requested : "(unset)");
}

TEST_F(ProgramTest, SecondInstanceExitsAndTerminationShutsDownNormally) {
  std::string err1 = dir_.Path() + "/first.log", err2 = dir_.Path() + "/second.log";
  pid_t first = Start(err1);
  ASSERT_GT(first, 0);
  // Let it start its frame; it must still be running afterwards.
  int status = 0;
  ASSERT_TRUE(WaitForLog(err1, "timer started", 30000)) << ReadAll(err1);
  EXPECT_EQ(waitpid(first, &status, WNOHANG), 0) << ReadAll(err1);

  pid_t second = Start(err2);
  ASSERT_GT(second, 0);
  ASSERT_TRUE(WaitFor(second, 10000, status)) << "second copy did not end";
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(waitpid(first, &status, WNOHANG), 0) << "the first copy must keep running";

  ASSERT_EQ(kill(first, SIGTERM), 0);
  bool ended = WaitFor(first, 10000, status);
  if (!ended) kill(first, SIGKILL), waitpid(first, &status, 0);
  ASSERT_TRUE(ended) << "no shutdown after SIGTERM";
  EXPECT_TRUE(WIFEXITED(status)) << "ended by a signal";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // The frame ran and the shutdown reached its end.
  std::string log = ReadAll(err1);
  size_t at = log.find("ran ");
  ASSERT_NE(at, std::string::npos) << log;
  EXPECT_GT(std::atoi(log.c_str() + at + 4), 0) << log;

  // The lock went with it: a new copy starts (and is ended the same way).
  const std::string err3 = dir_.Path() + "/third.log";
  pid_t third = Start(err3);
  EXPECT_TRUE(WaitForLog(err3, "timer started", 30000)) << ReadAll(err3);
  kill(third, SIGTERM);
  ASSERT_TRUE(WaitFor(third, 10000, status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace

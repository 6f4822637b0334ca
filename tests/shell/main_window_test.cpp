// The main thread's side: the close question, boxes asked from the frame thread, error boxes,
// activation hooks, window mode and the wheel word.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/app_state.h"
#include "core/cv_input.h"
#include "core/display_layout.h"
#include "core/error_box.h"
#include "shell/frame.h"
#include "shell/main_window.h"

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMainThreadHere();
    ResetFrameState();
    g_QuitRequested = false;
    GameMode = 1;
  }
  void TearDown() override {
    SetBoxShower(nullptr);
    SetErrorBoxPresenter(nullptr);
    ResetFrameState();
    g_QuitRequested = false;
  }
  std::vector<BoxRequest> shown;
  void Answer(int answer) {
    SetBoxShower([this, answer](const BoxRequest& r) {
      shown.push_back(r);
      EXPECT_TRUE(g_CloseBoxUp.load() || r.kind != BoxRequest::kOkCancel);
      return answer;
    });
  }
};

TEST_F(MainWindowTest, CloseQuestionCancelResumes) {
  Answer(2);
  EXPECT_FALSE(OnCloseRequested());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, BoxRequest::kOkCancel);
  EXPECT_EQ(shown[0].text, "終了しますか？");
  EXPECT_EQ(shown[0].title, "終了確認");
  EXPECT_FALSE(IsFramePaused());
  EXPECT_FALSE(g_CloseBoxUp.load());
}

TEST_F(MainWindowTest, CloseQuestionOkEndsAndKeepsThePause) {
  Answer(1);
  EXPECT_TRUE(OnCloseRequested());
  EXPECT_TRUE(IsFramePaused());
  EXPECT_FALSE(g_CloseBoxUp.load());
}

TEST_F(MainWindowTest, BoxFromAnotherThreadIsShownByTheMainLoop) {
  std::thread::id shownOn;
  SetBoxShower([&](const BoxRequest& r) {
    shownOn = std::this_thread::get_id();
    return r.kind == BoxRequest::kOkCancel ? 2 : 1;
  });
  std::atomic<int> answer{-1};
  std::thread frame([&] { answer = ConfirmExit() ? 1 : 0; });
  // The main loop's pass: service until the frame thread got its answer.
  while (answer.load() < 0) {
    ServiceBoxRequests();
    std::this_thread::yield();
  }
  frame.join();
  EXPECT_EQ(answer.load(), 0);
  EXPECT_EQ(shownOn, std::this_thread::get_id());
}

TEST_F(MainWindowTest, ShutdownAnswersPendingBoxesWithQuit) {
  Answer(1);
  SetErrorBoxPresenter(&GetShellErrorBoxPresenter());
  std::atomic<int> result{-1};
  std::thread frame([&] { result = ShowErrorBox("データがありません", "TEST") ? 1 : 0; });
  // Nobody services the queue: the shutdown must still free the frame thread.
  while (result.load() < 0) {
    ShutdownBoxes(true);
    std::this_thread::yield();
  }
  frame.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_TRUE(g_QuitRequested.load());
  EXPECT_TRUE(shown.empty());
  // Later boxes answer at once too, until the queue is opened again.
  g_QuitRequested = false;
  std::thread late([&] { result = ShowErrorBox("x") ? 1 : 0; });
  late.join();
  EXPECT_EQ(result.load(), 0);
  ShutdownBoxes(false);
}

struct ErrorCase {
  int answer;  // what the player picks: 1 go on, 0 quit
  bool result;
  bool quit;
};

class ErrorBoxTest : public MainWindowTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ErrorBoxTest, AnswerDecidesQuit) {
  const ErrorCase& c = GetParam();
  Answer(c.answer);
  SetErrorBoxPresenter(&GetShellErrorBoxPresenter());
  EXPECT_EQ(ShowErrorBox("ファイルがありません", nullptr), c.result);
  EXPECT_EQ(g_QuitRequested.load(), c.quit);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, BoxRequest::kErrorDialog);
  EXPECT_EQ(shown[0].title, "FILE LOAD ERROR");
  EXPECT_EQ(shown[0].text, "ファイルがありません");
}

INSTANTIATE_TEST_SUITE_P(Answers, ErrorBoxTest, ::testing::Values(ErrorCase{1, true, false}, ErrorCase{0, false, true}),
                         [](const ::testing::TestParamInfo<ErrorCase>& i) {
                           return std::string(i.param.answer == 1 ? "go_on" : "quit");
                         });

TEST_F(MainWindowTest, LongErrorTextIsCutOnACharacterBoundary) {
  Answer(1);
  SetErrorBoxPresenter(&GetShellErrorBoxPresenter());
  // 5,001 bytes: one ASCII byte, then two-byte characters, so a cut at an odd length would split one.
  std::string longText = "x";
  while (longText.size() < 5000) longText += "あ";
  ShowErrorBox(longText.c_str(), "T");
  ASSERT_EQ(shown.size(), 1u);
  const std::string& t = shown[0].text;
  EXPECT_LE(t.size(), 2031u);
  EXPECT_GT(t.size(), 2000u);
  EXPECT_EQ(t.size() % 2, 1u);  // "x" + whole characters
  EXPECT_EQ(t.substr(t.size() - 2), "あ");
}

TEST(BoundedBoxTextTest, Cuts) {
  struct Case {
    const char* in;
    size_t max;
    const char* out;
  };
  const Case cases[] = {
      {"abc", 10, "abc"}, {"abc", 2, "ab"}, {"aあ", 2, "a"},
      {"aあ", 3, "aあ"},  {"", 5, ""},      {"\x83", 5, "\x83"},  // a lone lead byte at the end stays a byte of its own
  };
  for (const Case& c : cases) EXPECT_EQ(BoundedBoxText(c.in, c.max), c.out) << c.in << " " << c.max;
  EXPECT_EQ(BoundedBoxText(nullptr, 10), "");
}

int g_silenced = 0, g_restored = 0;

TEST(ActivationTest, SoundHooksAndInputFlag) {
  g_silenced = g_restored = 0;
  SetSoundFocusHooks({[] { ++g_silenced; }, [] { ++g_restored; }});
  OnActivateApp(false, false);
  EXPECT_FALSE(g_InputActive.load());
  EXPECT_EQ(g_silenced, 1);
  OnActivateApp(true, false);
  EXPECT_TRUE(g_InputActive.load());
  EXPECT_EQ(g_restored, 1);
  SetSoundFocusHooks({});
  OnActivateApp(false, false);  // no hooks: nothing to call
  OnActivateApp(true, false);
  EXPECT_EQ(g_silenced, 1);
}

struct FakeHost : WindowModeHost {
  bool SetFullscreen(bool on, int cw, int ch) override {
    ++calls;
    if (!ok) return false;
    full = on;
    clientW = cw;
    clientH = ch;
    return true;
  }
  void GetDrawableSize(int& w, int& h) override {
    w = full ? 2560 : clientW;
    h = full ? 1080 : clientH;
  }
  bool GetUsableClientSize(int& w, int& h) override {
    w = usableW;
    h = usableH;
    return usableW > 0;
  }
  bool full = false, ok = true;
  int calls = 0;
  int clientW = 0, clientH = 0;
  int usableW = 0, usableH = 0;  // 0: unknown
};

int g_setting = 0;

TEST(WindowModeTest, AppliesTheSetting) {
  FakeHost host;
  SetWindowModeHost(&host);
  SetWindowModeSettingSource([] { return g_setting; });
  g_setting = 0;
  ApplyWindowModeSetting(true);  // forced: applied even when unchanged
  EXPECT_EQ(host.calls, 1);
  EXPECT_EQ(GetWindowMode(), 0);
  ApplyWindowModeSetting(false);  // unchanged: nothing
  EXPECT_EQ(host.calls, 1);
  g_setting = 1;
  ApplyWindowModeSetting(false);
  EXPECT_EQ(GetWindowMode(), 2);
  DisplayLayout l = GetDisplayLayout();
  EXPECT_EQ(l.pictureX, 320);
  EXPECT_EQ(l.pictureW, 1920);
  // A failed switch keeps the mode and the layout.
  host.ok = false;
  g_setting = 0;
  EXPECT_EQ(SetWindowMode(false), 0);
  EXPECT_EQ(GetWindowMode(), 2);
  host.ok = true;
  EXPECT_EQ(SetWindowMode(false), 1);
  EXPECT_EQ(GetDisplayLayout().pictureW, 1280);
  SetWindowModeHost(nullptr);
  SetWindowModeSettingSource(nullptr);
  SetDisplayLayout(DisplayLayout{});
}

// A window that the desktop cannot hold at 1280 × 720 is reduced at 16:9, and the picture is
// scaled into it; the mouse maps back through the smaller picture.
TEST(WindowModeTest, WindowFitsASmallDesktop) {
  struct Case {
    int usableW, usableH;
    int clientW, clientH;
    int scaled;
  };
  const Case cases[] = {
      {1920, 1050, 1280, 720, 0},  // room enough
      {0, 0, 1280, 720, 0},        // unknown desktop
      {1280, 720, 1280, 720, 0},   // exactly
      {1024, 740, 1024, 576, 1},   // too narrow
      {1366, 690, 1216, 684, 1},   // too low: the height decides (whole 16:9 steps)
      {800, 400, 704, 396, 1},     // both
  };
  for (const Case& c : cases) {
    FakeHost host;
    host.usableW = c.usableW;
    host.usableH = c.usableH;
    SetWindowModeHost(&host);
    EXPECT_EQ(SetWindowMode(false), 1);
    EXPECT_EQ(host.clientW, c.clientW) << c.usableW << "x" << c.usableH;
    EXPECT_EQ(host.clientH, c.clientH) << c.usableW << "x" << c.usableH;
    DisplayLayout l = GetDisplayLayout();
    EXPECT_EQ(l.windowMode, 0);
    EXPECT_EQ(l.pictureX, 0);
    EXPECT_EQ(l.pictureW, c.clientW);
    EXPECT_EQ(l.scaled, c.scaled);
    int32_t bx = 0, by = 0;
    MapToBackBuffer(l, c.clientW - 1, c.clientH - 1, bx, by);
    EXPECT_EQ(bx, 1279);
    EXPECT_EQ(by, 719);
    // Full screen ignores the window size.
    EXPECT_EQ(SetWindowMode(true), 1);
    EXPECT_EQ(GetDisplayLayout().pictureW, 1920);
  }
  SetWindowModeHost(nullptr);
  SetWindowMode(false);
  SetDisplayLayout(DisplayLayout{});
}

TEST(WheelWordTest, DeltaInTheHighWord) {
  struct Case {
    int notches;
    uint32_t word;
  };
  const Case cases[] = {{1, 0x00780000u}, {-1, 0xFF880000u}, {2, 0x00F00000u}, {0, 0u}, {1000, 0x7FFF0000u}};
  for (const Case& c : cases) EXPECT_EQ(static_cast<uint32_t>(MakeWheelWord(c.notches)), c.word) << c.notches;
  EXPECT_LT(MakeWheelWord(-1), 0);
  EXPECT_GT(MakeWheelWord(1), 0);
}

}  // namespace

namespace {

TEST(BoxUtf8Test, TextsConvertedAndButtonsMapped) {
  BoxRequest close;
  close.kind = BoxRequest::kOkCancel;
  close.title = "終了確認";
  close.text = "終了しますか？";
  BoxUtf8 b = MakeBoxUtf8(close);
  EXPECT_EQ(b.text, reinterpret_cast<const char*>(u8"終了しますか？"));
  EXPECT_EQ(b.title, reinterpret_cast<const char*>(u8"終了確認"));
  ASSERT_EQ(b.buttons.size(), 2u);
  EXPECT_EQ(b.answers, (std::vector<int>{1, 2}));
  EXPECT_EQ(b.escapeButton, 1);  // Escape cancels

  BoxRequest err;
  err.kind = BoxRequest::kErrorDialog;
  err.text = "x";
  while (err.text.size() < 5000) err.text += "表";  // 95 5C: a trail byte that looks like '\'
  b = MakeBoxUtf8(err);
  EXPECT_EQ(b.answers, (std::vector<int>{1, 0}));
  EXPECT_EQ(b.buttons[0], reinterpret_cast<const char*>(u8"続行"));
  EXPECT_EQ(b.buttons[1], reinterpret_cast<const char*>(u8"終了"));
  EXPECT_EQ(b.escapeButton, 1);  // Escape declines: quit
  // 1 + 1015 whole characters, each 3 bytes in UTF-8, and no replacement characters.
  EXPECT_EQ(b.text.size(), 1u + 1015u * 3u);
  EXPECT_EQ(b.text.find('?'), std::string::npos);
}

}  // namespace

namespace {

// What each box answers for a button, for being closed by its frame, and when it cannot be shown.
TEST(BoxAnswerTest, ButtonsDismissalAndNoDisplay) {
  struct Case {
    BoxRequest::Kind kind;
    int chosen;
    int answer;
  };
  const Case cases[] = {
      {BoxRequest::kOkCancel, 0, 1},
      {BoxRequest::kOkCancel, 1, 2},
      {BoxRequest::kOkCancel, kBoxChoiceDismissed, 2},  // closing the close question keeps playing
      {BoxRequest::kOkCancel, -1, 2},                   // no display: an unseen question keeps playing
      {BoxRequest::kErrorDialog, 0, 1},
      {BoxRequest::kErrorDialog, 1, 0},
      {BoxRequest::kErrorDialog, kBoxChoiceDismissed, 0},  // dismissing without confirming ends
      {BoxRequest::kErrorDialog, -1, 1},                   // no display: logged, the game goes on
      {BoxRequest::kMessage, 0, 1},
      {BoxRequest::kMessage, kBoxChoiceDismissed, 1},
      {BoxRequest::kMessage, 7, 1},
  };
  for (const Case& c : cases) {
    BoxRequest r;
    r.kind = c.kind;
    EXPECT_EQ(BoxAnswerForChoice(c.kind, MakeBoxUtf8(r), c.chosen), c.answer)
        << "kind " << c.kind << " chosen " << c.chosen;
  }
}

}  // namespace

// A hand-built screen on the real OpenGL device offscreen, run by the headless frame driver: a
// window, a button whose five looks are five coloured cells of one picture, and a text. A
// scripted click presses and decides the button, and the drawn cell changes with its look.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "core/cv_input.h"
#include "core/error_box.h"
#include "core/game_file.h"
#include "movie/movie_mgr.h"
#include "core/game_clock.h"
#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "render/sprite.h"
#include "platform/text/log.h"
#include "render/texture_holder.h"
#include "tests/platform/movie/movie_test_support.h"
#include "tests/support/frame_driver.h"
#include "tests/support/recording_boxes.h"
#include "ui/menus/menu_mgr.h"
#include "ui/menus/menu_root.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/widget_movie_port.h"
#include "widget_fixture.h"

namespace {

// The smallest scene a widget tree needs: polls the input, turns a left-button release into a
// click on the next update, runs the menu with the frame's time and draws it.
class OneMenuScene : public FrameSceneManager {
 public:
  explicit OneMenuScene(CVMenuBase* root) : root_(root) {}
  bool UpdateFrameTimer() override {
    const uint32_t now = GetGameTimeMs();
    if (started_ && static_cast<uint32_t>(now - last_) < 17) return false;
    elapsed_ = started_ ? static_cast<float>(static_cast<uint32_t>(now - last_)) : 16.667f;
    started_ = true;
    last_ = now;
    return true;
  }
  void Update() override {
    input_.Update();
    const uint32_t click = pendingClick_;
    pendingClick_ = input_.IsReleased(VK_LBUTTON) ? 1u : 0u;
    ClearOneShotInput();
    root_->timeStep = elapsed_;
    root_->clickState = click;
    root_->Update(PublishedMouseX(), PublishedMouseY(), click);
    decided.push_back(root_->decidedId);
  }
  void Draw() override { root_->Draw(0); }
  void BroadcastDeviceReset() override {}
  void DeleteAllScenes() override {}
  const CVInput& GetInput() const override { return input_; }

  std::vector<int32_t> decided;

 private:
  CVMenuBase* root_;
  CVInput input_;
  uint32_t pendingClick_ = 0;
  uint32_t last_ = 0;
  float elapsed_ = 0;
  bool started_ = false;
};

class ManagerGraphics : public FrameGraphics {
 public:
  explicit ManagerGraphics(CDGManager* mgr) : mgr_(mgr) {}
  void UpdateRenderers() override { mgr_->UpdateRenderers(); }
  void SwapRenderQueues() override { mgr_->SwapRenderQueues(); }
  bool RenderFrame() override {
    const bool ok = mgr_->RenderFrame();
    if (ok) mgr_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &frame);
    return ok;
  }
  std::array<uint8_t, 3> At(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * 1280 + static_cast<size_t>(x)) * 4;
    if (frame.size() < i + 4) return {0, 0, 0};
    return {frame[i], frame[i + 1], frame[i + 2]};
  }
  std::vector<uint8_t> frame;

 private:
  CDGManager* mgr_;
};

constexpr uint32_t kLooks[5] = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFF00FF, 0xFF00FFFF};
std::array<uint8_t, 3> Rgb(uint32_t rgba) {
  return {static_cast<uint8_t>(rgba >> 24), static_cast<uint8_t>(rgba >> 16), static_cast<uint8_t>(rgba >> 8)};
}

TEST(WidgetPixels, ScriptedClickPressesAndDecidesTheButton) {
  WidgetEnv env;
  SetWidgetInput(nullptr);  // the real published mouse state
  v4test::TempModuleDir dir;
  dir.Write("Data/Image/demo/panel.png", v4test::SolidPng(400, 300, 0x404040FF));
  dir.Write("Data/Image/demo/btn.png", v4test::StripPng(100, 40, {kLooks, kLooks + 5}));

  OneMenuScene* scenePtr = nullptr;
  FrameDriver* driverPtr = nullptr;
  auto* root = new CVMenuSceneRoot();
  GetMenuMgr().RegisterRoot(root);
  OneMenuScene scene(root);
  scenePtr = &scene;
  CDGManager* mgr = new CDGManager();
  ManagerGraphics graphics(mgr);
  FrameDriver d(FrameServices{&scene, nullptr, &graphics});
  driverPtr = &d;
  if (!d.CreateOffscreenGl(1280, 720)) {
    mgr->Release();
    GTEST_SKIP() << "no GL 3.3 core context";
  }
  ASSERT_TRUE(mgr->CreateDevice(nullptr, true, 1280, 720, 32));
  mgr->SetDefaultRenderStates(false);
  ASSERT_TRUE(mgr->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0.0f, 1.0f, 200000.0f,
                                       CDGManager::kOrthographic));
  SetDGManager(mgr);

  {
    CVMenuMgr& m = GetMenuMgr();
    SpriteWindowParams panel;
    panel.pictureName = "Data\\Image\\demo\\panel.png";
    panel.position = Vector3(100, 100, 0);
    panel.width = panel.height = -1;
    panel.source = FRect(0, 0, -1, -1);
    CVMenuWindow* window = m.CreateMenuSpriteWindow(root, panel);
    SpriteWindowParams btn = panel;
    btn.pictureName = "Data\\Image\\demo\\btn.png";
    btn.position = Vector3(50, 50, 0);
    btn.rows = 5;
    CVMenuBtn* button = m.CreateMenuButton(window, 7, -1, btn);
    ASSERT_FLOAT_EQ(button->size.y, 40);
    TextParams text;
    text.text = "決定";
    text.position = Vector3(200, 200, 0);
    text.width = 150;
    text.height = 60;
    text.fontSize = 32;
    text.alignH = text.alignV = 1;
    m.CreateMenuText(window, text);
    root->Open(0, 0, 0);
  }

  const int bx = 200, by = 170;  // inside the button (150..249, 150..189 on screen)
  d.SetPointer(900, 600);
  d.Ticks(2);
  EXPECT_EQ(graphics.At(120, 120), (std::array<uint8_t, 3>{0x40, 0x40, 0x40}));
  EXPECT_EQ(graphics.At(bx, by), Rgb(kLooks[kBtnIdle]));
  EXPECT_EQ(graphics.At(149, by), (std::array<uint8_t, 3>{0x40, 0x40, 0x40}));

  d.SetPointer(bx, by);
  d.Ticks(2);
  EXPECT_EQ(graphics.At(bx, by), Rgb(kLooks[kBtnOver]));

  d.SetButton(VK_LBUTTON, true);
  d.Ticks(2);
  d.SetButton(VK_LBUTTON, false);
  scenePtr->decided.clear();
  // The release is seen, then the click reaches the tree: the pressed look is drawn ...
  bool sawPressed = false;
  for (int i = 0; i < 3 && !sawPressed; ++i) {
    d.Tick();
    sawPressed = graphics.At(bx, by) == Rgb(kLooks[kBtnPressed]);
  }
  EXPECT_TRUE(sawPressed);
  // ... and the next update decides it.
  d.Tick();
  ASSERT_FALSE(scenePtr->decided.empty());
  EXPECT_EQ(scenePtr->decided.back(), 7);
  d.Ticks(2);
  EXPECT_EQ(graphics.At(bx, by), Rgb(kLooks[kBtnOver]));

  // The text drew something light on the dark panel.
  int light = 0;
  for (int y = 300; y < 360; ++y)
    for (int x = 300; x < 450; ++x)
      if (graphics.At(x, y)[0] > 0xA0) ++light;
  EXPECT_GT(light, 20);

  (void)driverPtr;
  GetMenuMgr().DeleteAllRoots();
  SetDGManager(nullptr);
  mgr->Release();
}

// The same screen headless: the frame driver's scripted input on the null device. The button's
// drawn cell follows its look frame by frame and the scene sees the decision once.
TEST(WidgetFrames, HeadlessClickThroughTheFrameDriver) {
  WidgetEnv env;
  SetWidgetInput(nullptr);
  v4test::TempModuleDir dir;
  dir.Write("Data/Image/demo/btn.png", v4test::StripPng(100, 40, {kLooks, kLooks + 5}));
  v4test::NullUiGraphics gfx;
  auto* root = new CVMenuSceneRoot();
  GetMenuMgr().RegisterRoot(root);
  OneMenuScene scene(root);
  ManagerGraphics graphics(gfx.mgr);
  FrameDriver d(FrameServices{&scene, nullptr, &graphics});
  SpriteWindowParams btn;
  btn.pictureName = "Data\\Image\\demo\\btn.png";
  btn.position = Vector3(150, 150, 0);
  btn.width = btn.height = -1;
  btn.source = FRect(0, 0, -1, -1);
  btn.rows = 5;
  CVMenuBtn* button = GetMenuMgr().CreateMenuButton(root, 3, -1, btn);
  root->Open(0, 0, 0);

  struct Step {
    int32_t x, y;
    bool left;
    int32_t cell;     // drawn cell after the frame
    int32_t decided;  // the root's decided id in the frame
  } steps[] = {
      {900, 600, false, 0, -1}, {160, 160, false, 1, -1},
      {160, 160, true, 1, -1},  {160, 160, false, 1, -1},  // release seen
      {160, 160, false, 2, -1},                            // click: pressed
      {160, 160, false, 2, 3},                             // decided (the look changes on the next update)
      {160, 160, false, 1, -1},
  };
  int i = 0;
  for (const Step& s : steps) {
    d.SetPointer(s.x, s.y);
    d.SetButton(VK_LBUTTON, s.left);
    const size_t before = gfx.dev->draws.size();
    d.Tick();
    EXPECT_EQ(button->GetSprite()->cell, s.cell) << "frame " << i;
    EXPECT_EQ(scene.decided.back(), s.decided) << "frame " << i;
    EXPECT_GT(gfx.dev->draws.size(), before) << "frame " << i;
    ++i;
  }
}

uint32_t MovieClock(void* user) { return *static_cast<uint32_t*>(user); }

// A movie made by our encoder plays into a window's sprite through the movie manager: the window
// takes the video's size, each picture lands in its texture, and the end is reported.
TEST(WidgetMovie, MoviePlaysIntoTheWindowTexture) {
  WidgetEnv env;
  v4test::TempModuleDir dir;
  std::filesystem::create_directories(dir.Path() + "/Data/media");
  ASSERT_TRUE(movietest::WriteColourMovie(dir.Path() + "/Data/media/clip.mdm", 10, 0, nullptr));
  GetMenuMgr().Init(GetModuleDir());
  v4test::NullUiGraphics gfx;
  uint32_t now = 5000;
  SetGameClockOverride(&MovieClock, &now);
  MovieMgr& movies = GetMovieMgr();
  movies.SetWaitForDecoder(true);
  movies.Init();
  InstallMovieWidgetPort();
  v4test::RecordingBoxes boxes;
  SetErrorBoxPresenter(&boxes);

  CVMenuWindow* win = GetMenuMgr().CreateMenuSpriteWindow(nullptr, Cells(0, 0, 10, 10));
  win->SetMovie("Data\\media\\clip.mdm", false);
  ASSERT_GE(win->movieId, 0);
  EXPECT_FLOAT_EQ(win->GetSprite()->width, 64);
  EXPECT_FLOAT_EQ(win->GetSprite()->height, 36);
  ASSERT_NE(win->GetSprite()->texture, nullptr);
  ASSERT_NE(win->GetTextureHandle(), nullptr);
  win->SetMovieLoop(false);
  for (int frame = 0; frame < 10; ++frame) {
    movies.UpdateMovies();
    std::vector<uint8_t> px;
    ASSERT_TRUE(gfx.dev->ReadTexture(win->GetTextureHandle()->DeviceId(), &px));
    ASSERT_GE(px.size(), 4u);
    EXPECT_EQ(movietest::MatchColour(&px[(18 * 64 + 32) * 4]), frame) << frame;
    now += 100;
  }
  for (int i = 0; i < 5; ++i, now += 100) movies.UpdateMovies();
  EXPECT_TRUE(win->IsMovieStopped());
  win->CloseMovie();
  EXPECT_EQ(win->movieId, -1);
  EXPECT_EQ(movies.OpenCount(), 0u);
  EXPECT_TRUE(boxes.boxes.empty());

  // A file that is not there: the box, and the picture name stays.
  plat::SetLogEnabled(false);
  win->SetMovie("Data\\media\\none.mdm", false);
  plat::SetLogEnabled(true);
  EXPECT_EQ(win->movieId, -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_STREQ(win->pictureName.CStr(), "Data\\media\\clip.mdm");
  EXPECT_EQ(movies.OpenCount(), 0u);

  movies.CloseAll();
  SetErrorBoxPresenter(nullptr);
  SetWidgetMoviePort(nullptr);
  SetGameClockOverride(nullptr, nullptr);
  GetMenuMgr().Init("");
}

}  // namespace

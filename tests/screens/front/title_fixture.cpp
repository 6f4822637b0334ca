#include "title_fixture.h"

#include <cstring>
#include <memory>

#include "core/app_state.h"
#include "core/game_clock.h"
#include "formats/scene/scene_table.h"
#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "ui/menus/menu_mgr.h"
#include "ui/menus/menu_root.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_window.h"

namespace title_test {

bool TitleTest::emptyTitleLayout = false;

namespace {

constexpr float kButtonW = 320, kButtonH = 64;
constexpr float kAreaX = 480, kAreaY = 320, kExtrasY = 240, kSpacing = 70;

SpriteWindowParams Cells(float x, float y, float w, float h, int32_t rows = 1, float z = 0) {
  SpriteWindowParams p;
  p.pictureName = "";
  p.position = Vector3(x, y, z);
  p.width = w;
  p.height = h * rows;
  p.rows = rows;
  p.source = FRect(0, 0, w, h * rows);
  p.alpha = 255.0f;
  return p;
}

void AddButton(CVMenuBase* parent, int32_t id, float x, float y) {
  CVMenuBtn* b = GetMenuMgr().CreateMenuButton(parent, id, -1, Cells(x, y, kButtonW, kButtonH, 5));
  b->SetStatePatterns(0, 1, 2, 3, 4);
}

// The title tree of docs/layouts.md, with the layout's animations in short form: the main panel
// fades in over 500 ms (animation 1 started), the logo window waits 1000 ms.
void BuildTitle(CVMenuBase* root) {
  CVMenuMgr& m = GetMenuMgr();
  CVMenuWindow* panel = m.CreateMenuSpriteWindow(root, Cells(0, 0, 1280, 720));
  panel->AddAnimeColor(1, 255, 255, 255, 255, 500, 0, 0, 0);
  panel->ClearAnimeQueue();
  panel->PlayAnime(1);
  panel->SetFlagAll(kWfAnimRunning, true);
  CVMenuBase* area = m.CreateMenuWindow(panel, Vector3(kAreaX, kAreaY, 0));
  const int32_t ids[] = {10000, 10001, 10002, 10004, 10003};
  for (int i = 0; i < 5; ++i) AddButton(area, ids[i], 0, kSpacing * i);
  m.CreateMenuWindow(panel, Vector3(0, 0, 0));  // after-button widget
  CVMenuBase* extras = m.CreateMenuWindow(panel, Vector3(kAreaX, kExtrasY, 0));
  for (int i = 0; i < 6; ++i) AddButton(extras, 10100 + i, 0, kSpacing * i);
  m.CreateMenuSpriteWindow(panel, Cells(320, 60, 640, 200));  // main picture
  CVMenuWindow* logo = m.CreateMenuSpriteWindow(root, Cells(0, 0, 1280, 720));
  logo->AddAnimeWait(1, 1000, 0, 0, 0);
  CVMenuBase* brand = m.CreateMenuWindow(logo, Vector3(384, 190, 0));
  brand->AddAnimeColor(1, 255, 255, 255, 0, 900, 0, 0, 0);
  brand->ClearAnimeQueue();
  brand->PlayAnime(1);
  brand->SetFlagAll(kWfAnimRunning, true);
}

void BuildDialog(CVMenuBase* root) {
  CVMenuMgr& m = GetMenuMgr();
  for (int p = 0; p < 3; ++p) {
    CVMenuWindow* panel = m.CreateMenuSpriteWindow(root, Cells(0, 0, 600, 260, 1, 900));
    m.CreateMenuSpriteWindow(panel, Cells(40, 30, 520, 100, 15));
    for (int a = 1; a <= 2; ++a) {
      CVMenuBtn* b = m.CreateMenuButton(panel, a, -1, Cells(a == 1 ? 110.0f : 330.0f, 180, 160, 48, 5));
      b->SetStatePatterns(0, 1, 2, 3, 4);
    }
  }
}

CVMenuBase* MakeMenu(int32_t type, const char* layout) {
  if (type != 10) return nullptr;
  auto* root = new CVMenuSceneRoot();
  GetMenuMgr().RegisterRoot(root);
  const std::string name = layout ? layout : "";
  if (name.find("dialog") != std::string::npos)
    BuildDialog(root);
  else if (!TitleTest::emptyTitleLayout)
    BuildTitle(root);
  return root;
}

TitleTest* g_current = nullptr;

}  // namespace

Place TitleButton(int32_t id) {
  static const int32_t order[] = {10000, 10001, 10002, 10004, 10003};
  for (int i = 0; i < 5; ++i)
    if (order[i] == id)
      return {static_cast<int32_t>(kAreaX + kButtonW / 2), static_cast<int32_t>(kAreaY + kSpacing * i + kButtonH / 2)};
  const int i = id - 10100;
  return {static_cast<int32_t>(kAreaX + kButtonW / 2), static_cast<int32_t>(kExtrasY + kSpacing * i + kButtonH / 2)};
}

Place DialogButton(int32_t answer) { return {340 + (answer == 1 ? 110 : 330) + 80, 230 + 180 + 24}; }

int32_t TitleTest::MouseFromScenes::GetMouseButton() { return GetSceneMgr().GetMouseButton(); }

uint32_t TitleTest::Clock(void* self) { return static_cast<TitleTest*>(self)->now_; }

TitleTest::TitleTest() {
  g_current = this;
  SetGameClockOverride(&Clock, this);
  SetInputSource(&keys_);
  SetWidgetInput(&mouse_);
  ButtonClickLatch = 0;
  GetMenuMgr().SetDepthBound(0);
  dg_ = new CDGManager();
  dg_->SetClock([] { return 1000u; });
  dg_->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280, 720);
  SetDGManager(dg_);

  TitlePorts& p = GetTitlePorts();
  p.playFullScreenMovie = [this](const char* path) {
    log.movies.push_back(path);
    return true;
  };
  p.allMoviesFinished = [this] { return log.movieFinished; };
  p.closeAllMovies = [this] { ++log.moviesClosed; };
  p.setMovieVolume = [this](int32_t v) { log.movieVolumes.push_back(v); };
  p.musicVolume = [] { return 8500; };
  p.playMusic = [this](const char* f, int fade) { log.music.emplace_back(f, fade); };
  p.stopMusic = [this] { ++log.musicStops; };
  p.loadStoryScripts = [this] {
    ++log.scriptLoads;
    return true;
  };
  p.setSwitch0 = [this](int32_t v) { log.switch0.push_back(v); };
  p.startCounter = [this] { return log.startCounter; };
  p.windowActive = [this] { return log.windowActive; };
  p.requestQuit = [this] { ++log.quits; };

  CVSceneMgr& mgr = GetSceneMgr();
  mgr.Reset();
  std::vector<v4fmt::SceneSource> scenes = {
      {1, false, {{0, 10, "Data\\layout\\title.lay"}}, {{10000, 2, 0}, {10001, 2, 0}, {10002, 3, 0}}},
      {2, false, {}, {}},
      {3, true, {}, {}},
      {7, false, {}, {}},
      {10, true, {{0, 10, "Data\\layout\\dialog.lay"}}, {{1, -1, 0}, {2, -1, 0}}},
  };
  SceneFlowTable table;
  std::string error;
  v4fmt::BuildSceneTable(scenes, table, error);
  mgr.SetSceneTable(table);
  mgr.SetMenuFactory(&MakeMenu);
  mgr.SetSceneFactory(1, &CreateTitleScene);
  GameMode = 1;
  ShowOpeningFlag = 1;
  OmakeSelection = 65535;
}

TitleTest::~TitleTest() {
  GetSceneMgr().Reset();
  GetMenuMgr().DeleteAllRoots();
  GetMenuMgr().SetDepthBound(0);
  SetDGManager(nullptr);
  dg_->Release();
  ResetTitlePorts();
  SetWidgetInput(nullptr);
  SetInputSource(nullptr);
  SetGameClockOverride(nullptr, nullptr);
  ButtonClickLatch = 0;
  GameMode = 1;
  ShowOpeningFlag = 1;
  emptyTitleLayout = false;
  g_current = nullptr;
}

void TitleTest::StartTitle() { GetSceneMgr().ChangeScene(1, 0); }

void TitleTest::Step(uint32_t ms, bool left, bool right) {
  keys_.SetKey(VK_LBUTTON, left);
  keys_.SetKey(VK_RBUTTON, right);
  now_ += ms;
  CVSceneMgr& mgr = GetSceneMgr();
  mgr.UpdateFrameTimer();
  mgr.Update();
}

void TitleTest::Steps(int n, uint32_t ms) {
  for (int i = 0; i < n; ++i) Step(ms);
}

void TitleTest::MoveTo(Place p) {
  keys_.SetPointer(p.x, p.y);
  MousePointerX = p.x;
  MousePointerY = p.y;
}

void TitleTest::Click(Place p, bool right) {
  MoveTo(p);
  Step(17);
  Step(17, !right, right);
  Step(17);
  Steps(3);
}

CVSceneTitle* TitleTest::Title() const { return dynamic_cast<CVSceneTitle*>(GetSceneById(1)); }

int32_t TitleTest::CurrentScene() const { return GetSceneMgr().GetCurrentSceneId(); }

}  // namespace title_test

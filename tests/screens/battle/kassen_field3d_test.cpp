// The 3-D battle field on the built sample data: headless on the null device (models load, units
// take their places and walk, attacks run their steps and figures, the siege shows its castle, the
// toggles reach plc.dat, everything ends without drawing) and on real GL offscreen (the units stand
// on their lanes). Set V4_FIELD3D_DUMP to a PNG path to keep the GL frame.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "battle/battle_state.h"
#include "core/game_file.h"
#include "core/file_io.h"
#include "platform/gl/gl_context.h"
#include "platform/gl/null_device.h"
#include "platform/image/png_file.h"
#include "render/dg_manager.h"
#include "save/system_files.h"
#include "screens/battle/kassen_field3d.h"
#include "sound/busyo_voice.h"
#include "sound/sound_pack.h"
#include "sound/sound.h"
#include "world/world_tables.h"

namespace fs = std::filesystem;

namespace {

class KassenField3DTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path data = fs::path(V4_TEST_GAME_DIR) / "Data";
    ASSERT_TRUE(fs::exists(data / "Image" / "kassen" / "unit" / "400" / "walk.x")) << "build the sample data first";
    dir_ = fs::temp_directory_path() / ("v4_field3d_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::create_directory_symlink(data, dir_ / "Data");
    oldModuleDir_ = GetModuleDir();
    ASSERT_TRUE(SetModuleDirFromHost(dir_.string()));
    oldOptions_ = PlayRecordBlock.optionFlags;
    PlaceArmies();
  }
  void TearDown() override {
    field_.reset();
    SetDGManager(nullptr);
    if (mgr_) mgr_->Release();
    ctx_.reset();
    PlayRecordBlock.optionFlags = oldOptions_;
    std::fill(std::begin(SkillTable), std::end(SkillTable), SkillRecord{});
    g_Battle = BattleState();
    if (!oldModuleDir_.empty()) SetModuleDir(oldModuleDir_.c_str());
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  bool StartNull() {
    mgr_ = new CDGManager();
    if (!mgr_->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280, 720))
      return false;
    SetDGManager(mgr_);
    return true;
  }
  bool StartGl() {
    ctx_ = plat::OffscreenGlContext::Create(1280, 720);
    if (!ctx_) return false;
    mgr_ = new CDGManager();
    if (!mgr_->CreateDevice(nullptr, true, 1280, 720, 32)) return false;
    mgr_->SetDefaultRenderStates(true);
    mgr_->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0.0f, 1.0f, 200000.0f,
                              CDGManager::kOrthographic);
    SetDGManager(mgr_);
    return true;
  }
  // Both sides on a field of the size: side 0 in columns 3, side 1 in 4; lane `gap` left empty.
  void PlaceArmies(int size = 2, int lanes = 5, int gap = -1) {
    g_Battle = BattleState();
    g_Battle.siroSize = static_cast<uint8_t>(size);
    g_Battle.laneCount = static_cast<uint8_t>(lanes);
    for (int side = 0; side < 2; ++side) {
      for (int i = 0; i < kBattleUnits; ++i) {
        BattleUnit& u = g_Battle.sides[side].units[i];
        ClearBattleUnit(u);
        g_Battle.slots[side][i] = BattleFieldSlot{255, 255, 0, 0};
        if (i >= lanes || i == gap) continue;
        u.general = static_cast<uint16_t>(side * 6 + i + 1);
        u.soldiers = 40;
        u.morale = 100;
        u.kind = static_cast<uint16_t>(1 + i % 3);
        u.lane = static_cast<uint8_t>(i);
        g_Battle.slots[side][i] =
            BattleFieldSlot{static_cast<uint8_t>(i), static_cast<uint8_t>(side == 0 ? 3 : 4), 0, 0};
      }
    }
  }
  void Run(int frames, float ms = 16.667f) {
    for (int i = 0; i < frames; ++i) {
      field_->Sync(g_Battle);
      field_->Update(ms, false);
    }
  }
  // Frames until the field stops presenting (bounded).
  int Settle() {
    int n = 0;
    for (; n < 2000 && field_->IsActionPlaying(); ++n) Run(1);
    return n;
  }

  fs::path dir_;
  std::string oldModuleDir_;
  uint32_t oldOptions_ = 1;
  std::unique_ptr<plat::OffscreenGlContext> ctx_;
  CDGManager* mgr_ = nullptr;
  std::unique_ptr<KassenField3D> field_;
};

TEST_F(KassenField3DTest, ModelsLoadAndUnitsTakeTheirPlaces) {
  ASSERT_TRUE(StartNull());
  struct Case {
    int size, lanes;
    bool road, siro;
    int weather, background, weatherModel, layers;
  };
  for (Case c : {Case{2, 5, false, false, 0, 3, -1, 1}, Case{0, 2, false, true, 1, 103, 0, 3},
                 Case{1, 3, true, false, 2, 203, 1, 2}}) {
    PlaceArmies(c.size, c.lanes);
    g_Battle.roadLinked = c.road;
    g_Battle.siroFlag = c.siro;
    g_Battle.weather = static_cast<uint8_t>(c.weather);
    field_ = std::make_unique<KassenField3D>(mgr_);
    field_->Setup(7, g_Battle, 1);
    EXPECT_EQ(field_->Background(), c.background);
    EXPECT_EQ(field_->WeatherModel(), c.weatherModel);
    EXPECT_EQ(field_->SkyLayerCount(), c.layers);
    EXPECT_EQ(field_->CameraPreset(), 1) << "the overview toggle is off in the default record";
    // Background, field (and rain) and one walking figure per placed unit.
    EXPECT_EQ(field_->LoadedModels(), 2 + (c.weather != 0) + 2 * c.lanes) << c.size;
    for (int side = 0; side < 2; ++side)
      for (int place = 0; place < KassenField3D::kPlaces; ++place) {
        const bool placed = place < c.lanes;
        EXPECT_EQ(field_->PlaceShown(side, place), placed) << side << " " << place;
        if (!placed) continue;
        const FieldPoint want = KassenFieldPosition(c.size, place + 1, side == 0 ? 3 : 4, FieldPoint{0, 0});
        EXPECT_FLOAT_EQ(field_->PlacePoint(side, place).across, want.across);
        EXPECT_FLOAT_EQ(field_->PlacePoint(side, place).along, want.along);
        const BattleUnit& u = g_Battle.sides[side].units[place];
        EXPECT_EQ(field_->PlaceModel(side, place), KassenUnitModelId(u.kind, false, c.road, side == 0));
      }
  }
}

TEST_F(KassenField3DTest, UnitsWalkWhenTheyMoveAndOnlyThen) {
  ASSERT_TRUE(StartNull());
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, 1);
  Run(1);
  EXPECT_EQ(field_->PlaceAnimation(0, 1), 0) << "standing where it stands plays no walk";
  g_Battle.slots[0][1].column = 4;  // side 0 advances
  g_Battle.slots[1][2].column = 6;  // side 1 falls back
  Run(1);
  EXPECT_EQ(field_->PlaceAnimation(0, 1), 7);
  EXPECT_EQ(field_->PlaceAnimation(1, 2), 8);
  const float start = field_->PlacePoint(0, 1).along;
  Run(10);
  const float mid = field_->PlacePoint(0, 1).along;
  EXPECT_LT(mid, start) << "on the way";
  EXPECT_GT(mid, -4 * kColumnSpacing);
  Run(40);
  EXPECT_EQ(field_->PlaceAnimation(0, 1), 0);
  EXPECT_FLOAT_EQ(field_->PlacePoint(0, 1).along, -4 * kColumnSpacing);
  EXPECT_FLOAT_EQ(field_->PlacePoint(1, 2).along, -6 * kColumnSpacing);
  // A unit leaving its lane leaves the field; another unit taking a place switches the figure.
  g_Battle.slots[1][0] = BattleFieldSlot{255, 255, 0, 0};
  g_Battle.slots[0][2].unit = 5;
  g_Battle.sides[0].units[5].general = 99;
  g_Battle.sides[0].units[5].kind = 3;
  Run(1);
  EXPECT_FALSE(field_->PlaceShown(1, 0));
  EXPECT_EQ(field_->PlaceAnimation(0, 2), 6);
  EXPECT_EQ(field_->PlaceModel(0, 2), 402);
}

TEST_F(KassenField3DTest, FogHidesUnseenEnemiesWhileTheyStillMove) {
  ASSERT_TRUE(StartNull());
  PlaceArmies(2, 5);
  g_Battle.weather = 2;
  // Side 1's lane 4 unit stands far off, out of contact.
  g_Battle.slots[1][4].column = 7;
  g_Battle.slots[0][4] = BattleFieldSlot{255, 255, 0, 0};
  g_Battle.slots[0][3] = BattleFieldSlot{255, 255, 0, 0};
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, 1);
  EXPECT_TRUE(field_->PlaceShown(1, 0)) << "in contact";
  EXPECT_FALSE(field_->PlaceShown(1, 4)) << "not seen in fog";
  g_Battle.slots[1][4].column = 6;
  Run(1);
  EXPECT_EQ(field_->PlaceAnimation(1, 4), 7) << "the hidden model still walks";
  Run(60);
  EXPECT_FLOAT_EQ(field_->PlacePoint(1, 4).along, -6 * kColumnSpacing);
  field_->ShowDamage(1, 4, -5, false, true);
  field_->ShowDamage(1, 0, -5, false, true);
  EXPECT_EQ(field_->ActiveFigures(), 2);
}

TEST_F(KassenField3DTest, AnAttackRunsItsStepsAndEndsHeadless) {
  ASSERT_TRUE(StartNull());
  for (bool presentation : {false, true}) {
    PlaceArmies();
    field_ = std::make_unique<KassenField3D>(mgr_);
    field_->Setup(0, g_Battle, presentation ? 1u : 1u | kPlcAttackPresentationOff);
    Run(2);
    EXPECT_FALSE(field_->IsActionPlaying());
    // Side 0's lane 2 unit charges: it pays 3 morale, the unit facing it loses 9 soldiers and 12
    // morale.
    field_->PresentAction(g_Battle, 0, 2, 8, 0, -12, -9, -3);
    bool attacked = false, figures = false, mode2 = false;
    int frames = 0;
    for (; frames < 2000; ++frames) {
      Run(1);
      attacked |= field_->PlaceAnimation(0, 2) == 100 + KassenUnitMotionId(3, false, false, true);
      figures |= field_->ActiveFigures() == 2 && field_->ActionStep() == 5;
      mode2 |= field_->DisplayMode() == 2;
      if (!field_->IsActionPlaying()) break;
    }
    EXPECT_LT(frames, 2000) << "the presentation ends";
    EXPECT_TRUE(attacked) << "the charge motion played";
    EXPECT_TRUE(figures) << "both damage figures showed";
    EXPECT_EQ(mode2, presentation) << "the full presentation only with its toggle on";
    EXPECT_EQ(field_->DisplayMode(), 1);
    EXPECT_EQ(field_->ActionStep(), 0);
    EXPECT_EQ(field_->CameraPreset(), 1) << "back on the overview";
  }
}

TEST_F(KassenField3DTest, AClickSkipsButNotAPendingDisplayChange) {
  ASSERT_TRUE(StartNull());
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, 1);
  field_->MoveCamera(30, 5000);
  EXPECT_TRUE(field_->IsActionPlaying());
  field_->Update(16, true);
  EXPECT_FALSE(field_->IsActionPlaying()) << "the camera lands at once";
  KassenCameraKey want;
  const FieldPoint none[6] = {};
  ASSERT_TRUE(KassenCameraPreset(30, false, 2, none, want));
  EXPECT_FLOAT_EQ(field_->Camera().target[0], want.target[0]);
  // With the presentation on, the switch to it waits its time even when clicked.
  field_->PresentAction(g_Battle, 0, 0, 1, 0, -5, -20, 0);
  field_->Update(1, true);
  EXPECT_EQ(field_->DisplayMode(), 2);
  field_->Update(1, true);
  EXPECT_EQ(field_->ActionStep(), 1) << "still waiting for the display change";
  EXPECT_TRUE(field_->IsActionPlaying());
  for (int i = 0; i < 200 && field_->IsActionPlaying(); ++i) field_->Update(16, true);
  EXPECT_FALSE(field_->IsActionPlaying());
  // The close-up toggle moves a group view to the group's close-up.
  field_->MoveCamera(7, 0);
  const float far = field_->Camera().distance;
  field_->SetCloseUp(true);
  field_->Update(16, true);
  EXPECT_LT(field_->Camera().distance, far);
  EXPECT_EQ(field_->CameraPreset(), 7);
  field_->SetCloseUp(false);
  field_->Update(16, true);
  EXPECT_EQ(field_->Camera().distance, far);
  // A toggle flip by a click is refused while something plays, taken otherwise.
  field_->MoveCamera(2, 1000);
  EXPECT_FALSE(field_->FlipOverviewCamera(true));
  field_->Update(16, true);
  EXPECT_TRUE(field_->FlipOverviewCamera(true));
}

TEST_F(KassenField3DTest, SkillsPlayTheCutinAndTheActorIsMarked) {
  ASSERT_TRUE(StartNull());
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, 1);
  EXPECT_FALSE(field_->CutinPlaying());
  SkillTable[15].cutin = 1;
  field_->PresentAction(g_Battle, 1, 3, 11, 16, 0, 0, 0);
  Run(1);
  EXPECT_TRUE(field_->CutinPlaying());
  EXPECT_TRUE(field_->IsActionPlaying());
  EXPECT_LT(Settle(), 2000);
  EXPECT_FALSE(field_->CutinPlaying());
  g_Battle.order = {BattleOrderEntry{1, 2, 9, false}};
  g_Battle.currentActor = 0;
  Run(1);
  EXPECT_EQ(field_->MarkedSide(), 1);
  EXPECT_EQ(field_->MarkedPlace(), 2);
  g_Battle.currentActor = -1;
  Run(1);
  EXPECT_EQ(field_->MarkedPlace(), -1);
}

TEST_F(KassenField3DTest, TogglesAreKeptInThePlayRecord) {
  ASSERT_TRUE(StartNull());
  PlayRecordBlock.optionFlags = 1;
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, PlayRecordBlock.optionFlags);
  EXPECT_TRUE(field_->AttackPresentationOn());
  EXPECT_FALSE(field_->OverviewCameraOn());
  ASSERT_TRUE(field_->FlipAttackPresentation(true));
  ASSERT_TRUE(field_->FlipOverviewCamera(false));
  EXPECT_EQ(field_->CameraPreset(), 2);
  EXPECT_EQ(PlayRecordBlock.optionFlags, 1u | 8u | 16u);
  // plc.dat was written at each flip: a fresh read gives the same word, and a new field starts
  // from it (the overview camera on preset 2 at once).
  const fs::path plc = dir_ / "SaveData" / "sys" / "plc.dat";
  ASSERT_TRUE(fs::exists(plc));
  std::ifstream in(plc, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(bytes.size(), static_cast<size_t>(kPlcBytes));
  DescrambleBytes(bytes.data(), static_cast<int32_t>(bytes.size()), kSaveSeed);
  PlcData read;
  PlcFromBytes(*reinterpret_cast<const uint8_t(*)[kPlcBytes]>(bytes.data()), read);
  EXPECT_EQ(read.optionFlags, 1u | 8u | 16u);
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, PlayRecordBlock.optionFlags);
  EXPECT_FALSE(field_->AttackPresentationOn());
  EXPECT_TRUE(field_->OverviewCameraOn());
  EXPECT_EQ(field_->CameraPreset(), 2);
  EXPECT_FALSE(field_->IsActionPlaying()) << "the restore moves the camera at once";
}

TEST_F(KassenField3DTest, TheSiegeShowsTheCastleAndItBurns) {
  ASSERT_TRUE(StartNull());
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, 1);
  const int models = field_->LoadedModels();
  g_Battle.fieldBattle = 0;
  g_Battle.siroLevel = 24;
  g_Battle.attackerSide = 0;
  g_Battle.siegeOrder = kOrderStorm;
  Run(1);
  EXPECT_EQ(field_->CastleNumber(), KassenCastleNumber(24, true, false));
  EXPECT_EQ(field_->DisplayMode(), 3);
  EXPECT_TRUE(field_->PlaceShown(0, 2)) << "the attacking army as one figure";
  EXPECT_EQ(field_->PlaceModel(0, 2), 404);
  for (int place : {0, 1, 3, 4}) EXPECT_FALSE(field_->PlaceShown(0, place));
  for (int place = 0; place < 5; ++place) EXPECT_FALSE(field_->PlaceShown(1, place)) << "the defenders are cleared";
  EXPECT_EQ(field_->LoadedModels(), models + 3) << "the castle plain and burning, the army's figure";
  EXPECT_EQ(field_->CameraPreset(), SysConfigBlock[4] == 0 ? 8 : 5);
  // Below half its strength the castle burns.
  g_Battle.siroLevel = 12;
  Run(1);
  EXPECT_FALSE(field_->CastleBurning());
  g_Battle.siroLevel = 11;
  Run(1);
  EXPECT_TRUE(field_->CastleBurning());
  // The rules move the gate: a storm shakes it, the fallen castle's opens, and the field waits for
  // it; once open it is not shaken again.
  g_Battle.round = 2;
  Run(1);
  EXPECT_EQ(field_->GateHalf(), 0) << "a new round alone does not move the gate";
  field_->PlayGate(1);
  Run(1);
  EXPECT_EQ(field_->GateHalf(), 1);
  g_Battle.siroLevel = 0;
  field_->PlayGate(2);
  Run(1);
  EXPECT_EQ(field_->GateHalf(), 2);
  field_->PlayGate(1);
  EXPECT_EQ(field_->GateHalf(), 2);
  EXPECT_TRUE(field_->IsActionPlaying());
  EXPECT_LT(Settle(), 2000);
  EXPECT_EQ(field_->GateHalf(), 2);
}

// On real GL: each placed unit's figure shows its side's colour above its lane cell, and the empty
// lane shows none.
TEST_F(KassenField3DTest, UnitsStandOnTheirLanesOnRealGl) {
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context offscreen";
  PlaceArmies(2, 5, 4);  // the nearest lane stays empty
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, 1);
  Run(2);
  field_->Draw();
  mgr_->SwapRenderQueues();
  ASSERT_TRUE(mgr_->RenderFrame());
  std::vector<uint8_t> px;
  ASSERT_TRUE(mgr_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px));
  if (const char* dump = std::getenv("V4_FIELD3D_DUMP")) {
    plat::Canvas c(1280, 720);
    c.pixels() = px;
    plat::WriteCanvasPng(dump, c, nullptr);
  }
  // Pixels of a side's colour around a screen point: side 0 bluish, side 1 reddish.
  auto sideColoured = [&](int side, float fx, float fy) {
    int n = 0;
    for (int y = static_cast<int>(fy) - 6; y <= static_cast<int>(fy) + 6; ++y)
      for (int x = static_cast<int>(fx) - 6; x <= static_cast<int>(fx) + 6; ++x) {
        if (x < 0 || y < 0 || x >= 1280 || y >= 720) continue;
        const uint8_t* p = &px[(static_cast<size_t>(y) * 1280 + x) * 4];
        const int r = p[0], g = p[1], b = p[2];
        n += side == 0 ? (b > r + 40 && b >= g) : (r > b + 40 && r > g + 40);
      }
    return n;
  };
  for (int side = 0; side < 2; ++side) {
    for (int lane = 0; lane < 4; ++lane) {
      const FieldPoint p = KassenFieldPosition(2, lane + 1, side == 0 ? 3 : 4, FieldPoint{0, 0});
      float x = 0, y = 0;
      ASSERT_TRUE(field_->ProjectToScreen(p.along, 45.0f, p.across, x, y));  // the torso
      EXPECT_GT(sideColoured(side, x, y), 20) << "side " << side << " lane " << lane << " at " << x << "," << y;
    }
    const FieldPoint empty = KassenFieldPosition(2, 5, side == 0 ? 3 : 4, FieldPoint{0, 0});
    float x = 0, y = 0;
    ASSERT_TRUE(field_->ProjectToScreen(empty.along, 10.0f, empty.across, x, y));
    EXPECT_EQ(sideColoured(side, x, y), 0) << "the empty lane of side " << side;
  }
}

// On real GL: the close-up of a cell (the attack presentation's camera) shows the unit standing in
// it whole, its head inside the frame.
TEST_F(KassenField3DTest, TheCellCloseUpShowsTheWholeFigureOnRealGl) {
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context offscreen";
  PlaceArmies(2, 5);
  for (int side = 0; side < 2; ++side)
    for (int i = 0; i < kBattleUnits; ++i) {
      if (side == 0 && i == 2) continue;
      ClearBattleUnit(g_Battle.sides[side].units[i]);
      g_Battle.slots[side][i] = BattleFieldSlot{255, 255, 0, 0};
    }
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, 1);
  Run(2);
  field_->MoveCamera(13 + 2 * 8 + 3, 0);  // shown lane 3, column 3
  Run(1);
  field_->Draw();
  mgr_->SwapRenderQueues();
  ASSERT_TRUE(mgr_->RenderFrame());
  std::vector<uint8_t> px;
  ASSERT_TRUE(mgr_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px));
  if (const char* dump = std::getenv("V4_FIELD3D_CLOSEUP_DUMP")) {
    plat::Canvas c(1280, 720);
    c.pixels() = px;
    plat::WriteCanvasPng(dump, c, nullptr);
  }
  // The face's skin colour: present, and clear of the frame's top edge.
  int skin = 0, top = 720;
  for (int y = 0; y < 720; ++y)
    for (int x = 0; x < 1280; ++x) {
      const uint8_t* q = &px[(static_cast<size_t>(y) * 1280 + x) * 4];
      const int r = q[0], g = q[1], b = q[2];
      if (r > 180 && r > g + 15 && g > b + 15 && b > 90) {
        ++skin;
        top = std::min(top, y);
      }
    }
  EXPECT_GT(skin, 200) << "the face shows";
  EXPECT_GT(top, 20) << "the head stands inside the frame";
}

// On real GL: the burning castle of the siege stands beyond the defenders' end, with its fire.
TEST_F(KassenField3DTest, TheBurningCastleShowsOnRealGl) {
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context offscreen";
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, 1);
  g_Battle.fieldBattle = 0;
  g_Battle.siroLevel = 24;
  g_Battle.attackerSide = 0;
  g_Battle.siegeOrder = kOrderStorm;
  Run(1);
  g_Battle.siroLevel = 5;
  Run(3);
  ASSERT_TRUE(field_->CastleBurning());
  field_->Draw();
  mgr_->SwapRenderQueues();
  ASSERT_TRUE(mgr_->RenderFrame());
  std::vector<uint8_t> px;
  ASSERT_TRUE(mgr_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px));
  if (const char* dump = std::getenv("V4_FIELD3D_SIEGE_DUMP")) {
    plat::Canvas c(1280, 720);
    c.pixels() = px;
    plat::WriteCanvasPng(dump, c, nullptr);
  }
  // Fire colours (bright, red above blue) around the castle's middle, and none at the other end.
  auto fiery = [&](float along) {
    float fx = 0, fy = 0;
    if (!field_->ProjectToScreen(along, 200.0f, 2 * kLaneSpacing, fx, fy)) return -1;
    int n = 0;
    for (int y = static_cast<int>(fy) - 30; y <= static_cast<int>(fy) + 30; ++y)
      for (int x = static_cast<int>(fx) - 30; x <= static_cast<int>(fx) + 30; ++x) {
        if (x < 0 || y < 0 || x >= 1280 || y >= 720) continue;
        const uint8_t* p = &px[(static_cast<size_t>(y) * 1280 + x) * 4];
        n += p[0] > 200 && p[0] > p[2] + 80;
      }
    return n;
  };
  EXPECT_GT(fiery(field_->CastleAlong()), 100);
  EXPECT_EQ(fiery(2 * kColumnSpacing), 0);
}

// A skill with the cut-in flag plays the band with its two pictures (each only when it loads) and
// the unit's face; one without the flag restarts the unit's figure and asks for the panels.
TEST_F(KassenField3DTest, ASkillsCutinShowsItsPicturesOrRefreshesThePanels) {
  ASSERT_TRUE(StartNull());
  SkillTable[15].cutin = 1;  // skill 16: pictures 16_0 and 16_1 in the sample data
  SkillTable[16].cutin = 1;  // skill 17: the flag, but no pictures
  struct Case {
    int skill;
    bool cutin, pictures;
  };
  for (Case c : {Case{16, true, true}, Case{17, true, false}, Case{19, false, false}, Case{300, false, false}}) {
    PlaceArmies();
    field_ = std::make_unique<KassenField3D>(mgr_);
    field_->Setup(0, g_Battle, 1);
    Run(1);
    field_->PresentAction(g_Battle, 0, 2, 11, c.skill, 0, 0, 0);
    Run(1);
    EXPECT_EQ(field_->CutinPlaying(), c.cutin) << c.skill;
    EXPECT_EQ(field_->IsActionPlaying(), c.cutin) << c.skill;
    EXPECT_EQ(field_->CutinPictureShown(0), c.pictures) << c.skill;
    EXPECT_EQ(field_->CutinPictureShown(1), c.pictures) << c.skill;
    EXPECT_EQ(field_->CutinFaceShown(), c.cutin) << c.skill;
    EXPECT_EQ(field_->TakePanelRefresh(), !c.cutin) << c.skill;
    EXPECT_FALSE(field_->TakePanelRefresh()) << "asked once";
    if (c.cutin) {
      EXPECT_EQ(field_->CutinSkill(), c.skill);
    }
    // A click ends the cut-in and lets its pictures go.
    field_->Update(16, true);
    EXPECT_FALSE(field_->CutinPlaying());
    EXPECT_FALSE(field_->CutinPictureShown(0));
    EXPECT_FALSE(field_->CutinFaceShown());
  }
}

// A battle in rain plays the rain's loop while the field shows; it stops when the field is told
// to or goes. Other weather is silent.
TEST_F(KassenField3DTest, RainPlaysItsLoopUntilTheFieldGoes) {
  ASSERT_TRUE(StartNull());
  ASSERT_NE(InitSoundCapture(), nullptr);
  StartSoundStreams();
  for (int ch = 0; ch < kSoundChannelCount; ++ch) SetChannelVolumeLevel(ch, 4);
  SetSoundWindowActive(true);
  struct Case {
    int weather;
    bool rain;
  };
  for (Case c : {Case{0, false}, Case{2, false}, Case{1, true}}) {
    g_Battle.weather = static_cast<uint8_t>(c.weather);
    field_ = std::make_unique<KassenField3D>(mgr_);
    field_->Setup(0, g_Battle, 1);
    EXPECT_EQ(field_->RainPlaying(), c.rain) << c.weather;
    EXPECT_EQ(IsChannelPlaying(4), c.rain) << c.weather;
    field_.reset();
    EXPECT_FALSE(IsChannelPlaying(4)) << c.weather;
  }
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, 1);
  ASSERT_TRUE(IsChannelPlaying(4));
  field_->StopAmbience();
  EXPECT_FALSE(IsChannelPlaying(4));
  EXPECT_FALSE(field_->RainPlaying());
  // The channel given to another sound since is left alone.
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, 1);
  PlaySound(4, "Data\\slg_se\\slg_se009.voi", 1, 0, 0);
  field_.reset();
  EXPECT_TRUE(IsChannelPlaying(4));
  ReleaseSound();
}

// The free debug camera answers only in debug mode: Space turns it and its panel on, F1 moves to
// the next view over 300 ms, a drag turns it, Esc shows the cells' overlay.
TEST_F(KassenField3DTest, TheDebugCameraAnswersOnlyInDebugMode) {
  ASSERT_TRUE(StartNull());
  for (int i = 0; i < kBusyoCount && i < 16; ++i)
    std::snprintf(BusyoTable[i].name, sizeof BusyoTable[i].name, "g%d", i);
  g_Battle.slots[1][3] = BattleFieldSlot{255, 255, 0, 0};
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, 1);
  KassenField3D::DebugInput space;
  space.space = true;
  field_->DebugControl(space, false);
  EXPECT_FALSE(field_->FreeCameraOn()) << "not in debug mode";
  EXPECT_TRUE(field_->DebugPanelText().empty());
  field_->DebugControl(space, true);
  ASSERT_TRUE(field_->FreeCameraOn());
  Run(1);
  field_->DebugControl(KassenField3D::DebugInput{}, true);
  const std::string panel = field_->DebugPanelText();
  EXPECT_NE(panel.find("0 : g1"), std::string::npos) << panel;
  EXPECT_NE(panel.find("(x:3)"), std::string::npos) << panel;
  EXPECT_NE(panel.find("3 : ----"), std::string::npos) << "side 1's empty lane: " << panel;
  EXPECT_NE(panel.find("\x93\x78"), std::string::npos) << "the field of view in degrees";
  // A drag with the left button from (100, 100) to (150, 100) turns the view by 5 degrees.
  const float yaw = field_->FreeCamera().Key().yaw;
  KassenField3D::DebugInput drag;
  drag.left = true;
  drag.x = drag.y = 100;
  field_->DebugControl(drag, true);
  drag.x = 150;
  field_->DebugControl(drag, true);
  EXPECT_NEAR(field_->FreeCamera().Key().yaw, KassenFreeCamera::WrapYaw(yaw + 5.0f), 1e-3);
  // F1: the first view of the cycle, over 300 ms; the free camera rides along to it.
  KassenField3D::DebugInput f1;
  f1.f1 = true;
  field_->DebugControl(f1, true);
  EXPECT_EQ(field_->CameraPreset(), 1);
  EXPECT_TRUE(field_->IsActionPlaying());
  Run(30);
  EXPECT_FALSE(field_->IsActionPlaying());
  EXPECT_FLOAT_EQ(field_->FreeCamera().Key().yaw, field_->Camera().yaw);
  EXPECT_FLOAT_EQ(field_->FreeCamera().Key().distance, field_->Camera().distance);
  KassenField3D::DebugInput esc;
  esc.escape = true;
  field_->DebugControl(esc, true);
  EXPECT_TRUE(field_->DebugOverlayOn());
  field_->DebugControl(space, true);
  EXPECT_FALSE(field_->FreeCameraOn());
  EXPECT_TRUE(field_->DebugPanelText().empty());
  field_->DebugControl(esc, true);
  EXPECT_TRUE(field_->DebugOverlayOn()) << "Esc answers only with the free camera on";
  field_->DebugControl(f1, true);
  EXPECT_EQ(field_->CameraPreset(), 1) << "and so does F1";
  // Leaving debug mode puts everything away.
  field_->DebugControl(space, true);
  field_->DebugControl(KassenField3D::DebugInput{}, false);
  EXPECT_FALSE(field_->FreeCameraOn());
  EXPECT_FALSE(field_->DebugOverlayOn());
}

// On real GL: a skill's cut-in draws its name picture on the band (the sample picture of skill 16
// is its name in bright red); skill 17 has the flag but no pictures, so the band shows without it.
TEST_F(KassenField3DTest, TheCutinShowsTheSkillsPictureOnRealGl) {
  if (!StartGl()) GTEST_SKIP() << "no GL 3.3 context offscreen";
  SkillTable[15].cutin = 1;
  SkillTable[16].cutin = 1;
  auto brightRed = [&](int skill) {
    PlaceArmies();
    field_ = std::make_unique<KassenField3D>(mgr_);
    field_->Setup(0, g_Battle, 1);
    Run(1);
    field_->PresentAction(g_Battle, 0, 1, 11, skill, 0, 0, 0);
    Run(36);  // the band has opened and the pictures are fully in
    EXPECT_TRUE(field_->CutinPlaying()) << skill;
    field_->Draw();
    mgr_->SwapRenderQueues();
    EXPECT_TRUE(mgr_->RenderFrame());
    std::vector<uint8_t> px;
    EXPECT_TRUE(mgr_->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px));
    int n = 0;
    for (int y = 290; y < 430; ++y)
      for (int x = 310; x < 730; ++x) {
        const uint8_t* p = &px[(static_cast<size_t>(y) * 1280 + x) * 4];
        n += p[0] > 200 && p[1] < 150 && p[2] < 120;
      }
    return n;
  };
  EXPECT_GT(brightRed(16), 500) << "the skill's name picture on the band";
  EXPECT_EQ(brightRed(17), 0) << "no picture: the band alone";
}

// Actions handed in while one plays wait their turn: none is dropped, each plays in order with its
// own actor, whichever side it belongs to.
TEST_F(KassenField3DTest, EveryActionHandedInPlaysInTurn) {
  ASSERT_TRUE(StartNull());
  field_ = std::make_unique<KassenField3D>(mgr_);
  field_->Setup(0, g_Battle, 1u | kPlcAttackPresentationOff);
  Run(1);
  const int actors[][2] = {{0, 0}, {1, 1}, {1, 2}, {0, 3}, {1, 4}, {0, 1}};
  for (const auto& a : actors) field_->PresentAction(g_Battle, a[0], a[1], 1, 0, -3, -2, 0);
  std::vector<std::pair<int, int>> played;
  for (int frames = 0; frames < 5000 && field_->IsActionPlaying(); ++frames) {
    Run(1);
    if (field_->ActionStep() == 2 || field_->ActionStep() == 3) {
      const KassenAttack& at = field_->CurrentAttack();
      if (played.empty() || played.back() != std::make_pair(at.side, at.actorUnit))
        played.emplace_back(at.side, at.actorUnit);
    }
  }
  EXPECT_FALSE(field_->IsActionPlaying());
  ASSERT_EQ(played.size(), std::size(actors));
  for (size_t i = 0; i < played.size(); ++i) {
    EXPECT_EQ(played[i].first, actors[i][0]) << i;
    EXPECT_EQ(played[i].second, actors[i][1]) << i;
  }
}

// The sample set holds every voice line and effect the battle asks for, for every voice number a
// sample general can have (0..9).
TEST_F(KassenField3DTest, EveryBattleVoiceAndEffectExists) {
  // Decoded as the sound channels do: loose, or from its folder's pack.
  auto exists = [](const char* relative) {
    const std::string path = std::string(GetModuleDir()) + relative;
    std::vector<uint8_t> image;
    return LoadSoundPack(path.c_str(), 2, image) > 46;
  };
  for (int voice = 0; voice <= 9; ++voice)
    for (int line : {1, 8, 9, 10, 13, 14, 17, 19, 20, 21, 22}) {
      char path[64];
      FormatGeneralVoicePath(path, sizeof path, voice, line);
      EXPECT_TRUE(exists(path)) << path;
    }
  for (int effect : {8, 9, 10, 15, 16, 17, 18, 30, 31}) {
    char path[64];
    FormatSlgSePath(path, sizeof path, effect);
    EXPECT_TRUE(exists(path)) << path;
  }
}

}  // namespace

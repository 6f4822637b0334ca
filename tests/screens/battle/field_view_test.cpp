// Tables of the battle field view: lane positions, backgrounds, unit model and motion numbers,
// castle numbers and camera cell presets.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "screens/battle/field_view.h"

namespace {

TEST(KassenFieldView, LanePositions) {
  struct Case {
    int size, lane, column;
    float across, along;
  };
  const FieldPoint cur{-1.0f, -2.0f};
  for (Case c : {Case{2, 1, 0, 0.0f, 0.0f},       // five lanes: no offset
                 Case{0, 1, 0, 410.1f, 0.0f},     // two lanes: offset 410.1
                 Case{1, 2, 3, 546.8f, -474.6f},  // three lanes: offset 273.4
                 Case{2, 4, 7, 820.2f, -1107.4f},
                 Case{2, 5, 8, 1093.6f, -2.0f},  // the fifth lane is placed; column 8 keeps the coordinate
                 Case{2, 6, 0, 1367.0f, 0.0f},   // the reserve place beyond a five-lane field
                 Case{0, 3, 0, 956.9f, 0.0f},    // and beyond a two-lane field
                 Case{2, 7, 2, -1.0f, -316.4f},  // past the reserve place the lane coordinate is kept
                 Case{0, 0, -1, -1.0f, -2.0f}}) {
    FieldPoint p = KassenFieldPosition(c.size, c.lane, c.column, cur);
    EXPECT_NEAR(p.across, c.across, 1e-3) << c.size << " " << c.lane;
    EXPECT_NEAR(p.along, c.along, 1e-3) << c.column;
  }
}

TEST(KassenFieldView, Backgrounds) {
  struct Case {
    int r;
    bool road, siro;
    int weather, want;
  };
  for (Case c : {Case{7, true, true, 0, 201}, Case{6, true, false, 1, 202}, Case{5, false, true, 0, 101},
                 Case{4, false, true, 2, 102}, Case{6, false, false, 0, 2}, Case{99, false, false, 1, 7},
                 Case{3, false, false, 2, 7}})
    EXPECT_EQ(KassenBackgroundId(c.r, c.road, c.siro, c.weather), c.want) << c.r;
}

TEST(KassenFieldView, UnitModelsAndMotions) {
  struct Case {
    int kind;
    bool gun, road, player, charge;
    int model, motion;
  };
  for (Case c : {Case{1, false, false, true, false, 400, 2}, Case{1, false, false, false, true, 401, 3},
                 Case{3, false, false, true, true, 402, 5}, Case{2, false, false, true, false, 404, 0},
                 Case{1, false, true, true, true, 404, 1}, Case{3, true, false, false, false, 407, 6}}) {
    EXPECT_EQ(KassenUnitModelId(c.kind, c.gun, c.road, c.player), c.model) << c.kind;
    EXPECT_EQ(KassenUnitMotionId(c.kind, c.gun, c.road, c.charge), c.motion) << c.kind;
  }
}

TEST(KassenFieldView, CastlesAndCellPresets) {
  EXPECT_EQ(KassenCastleNumber(9, true, false), 0);
  EXPECT_EQ(KassenCastleNumber(10, true, false), 1);
  EXPECT_EQ(KassenCastleNumber(25, false, false), 5);
  EXPECT_EQ(KassenCastleNumber(25, false, true), 105);
  // A burning castle is the same castle as its number - 100.
  EXPECT_EQ(std::string(KassenCastleTexture(104)), KassenCastleTexture(4));
  EXPECT_EQ(std::string(KassenCastleTexture(2)), "shiro_b.dds");
  int lane = 0, column = 0;
  ASSERT_TRUE(KassenCellPreset(13, lane, column));
  EXPECT_EQ(lane, 1);
  EXPECT_EQ(column, 0);
  ASSERT_TRUE(KassenCellPreset(30, lane, column));
  EXPECT_EQ(lane, 3);
  EXPECT_EQ(column, 1);
  ASSERT_TRUE(KassenCellPreset(54, lane, column));
  EXPECT_EQ(lane, 6);
  EXPECT_EQ(column, 7);
  EXPECT_FALSE(KassenCellPreset(55, lane, column));
  EXPECT_FALSE(KassenCellPreset(12, lane, column));
}

TEST(KassenFieldView, MovesAndWalkAnimations) {
  const FieldPoint a{273.4f, -316.4f};
  EXPECT_FALSE(KassenFieldMoved(a, a)) << "placing a unit where it stands plays no walk";
  EXPECT_FALSE(KassenFieldMoved(a, FieldPoint{a.across, a.along + 1e-8f}));
  EXPECT_TRUE(KassenFieldMoved(a, FieldPoint{a.across, a.along - 0.01f}));
  struct Case {
    int side;
    float from, to;
    int anim;
  };
  // Side 0 advances towards the higher columns (down the along axis), side 1 the other way.
  for (Case c : {Case{0, 0.0f, -158.2f, 7}, Case{0, -158.2f, 0.0f, 8}, Case{1, -158.2f, 0.0f, 7},
                 Case{1, 0.0f, -158.2f, 8}, Case{0, 0.0f, 0.0f, 7}})
    EXPECT_EQ(KassenWalkAnimation(c.side, FieldPoint{0, c.from}, FieldPoint{273.4f, c.to}), c.anim) << c.side;
}

TEST(KassenFieldView, WeatherModelsAndSkyLayers) {
  EXPECT_EQ(KassenWeatherModel(false, 0), -1);
  EXPECT_EQ(KassenWeatherModel(true, 0), 0);
  EXPECT_EQ(KassenWeatherModel(false, 1), 0);
  EXPECT_EQ(KassenWeatherModel(true, 2), 1);
  struct Case {
    int background, count;
    const char* second;
    int kind;
    bool pattern;
  };
  for (Case c :
       {Case{0, 1, nullptr, 0, false}, Case{7, 1, nullptr, 0, false}, Case{100, 3, "wave_u.dds", 3, true},
        Case{103, 3, "wave_u.dds", 3, true}, Case{201, 2, "wave.dds", 0, false}, Case{8, 3, "awa.dds", 1, false},
        Case{104, 3, "awa.dds", 1, false}, Case{204, 3, "awa.dds", 1, false}}) {
    KassenSkyLayer l[4];
    ASSERT_EQ(KassenSkyLayers(c.background, l), c.count) << c.background;
    EXPECT_STREQ(l[0].texture, "cloud.dds");
    EXPECT_EQ(l[0].period, 83333.0f);
    if (!c.second) continue;
    EXPECT_STREQ(l[1].texture, c.second) << c.background;
    EXPECT_EQ(l[1].kind, c.kind) << c.background;
    EXPECT_EQ(l[1].pattern, c.pattern) << c.background;
  }
  KassenSkyLayer l[4];
  KassenSkyLayers(101, l);
  EXPECT_EQ(l[1].period, 22916.0f);
  EXPECT_EQ(l[2].period, 54166.0f);
  KassenSkyLayers(50, l);
  EXPECT_EQ(l[2].kind, 2);
  EXPECT_EQ(l[2].period2, 0.0f);
}

TEST(KassenFieldView, CameraPresets) {
  const FieldPoint panel[6] = {{0, 0}, {273.4f, -158.2f}, {546.8f, -316.4f}, {0, 0}, {0, 0}, {1367.0f, 0}};
  struct Case {
    int preset;
    float fov, distance;
  };
  for (Case c :
       {Case{1, 16.8f, 4125.86f}, Case{2, 18.5f, 3019.1f}, Case{3, 28.3f, 1431.1f}, Case{4, 28.3f, 1431.1f},
        Case{5, 20.5f, 200.0f}, Case{8, 20.5f, 3019.1f}, Case{9, 20.5f, 200.0f}, Case{12, 20.5f, 3019.1f},
        Case{13, 10.4f, 1243.262f}, Case{54, 10.4f, 1243.262f}, Case{55, 8.4f, 1243.262f}, Case{60, 8.4f, 1243.262f}}) {
    KassenCameraKey k;
    ASSERT_TRUE(KassenCameraPreset(c.preset, false, 2, panel, k)) << c.preset;
    EXPECT_FLOAT_EQ(k.fov, c.fov) << c.preset;
    EXPECT_FLOAT_EQ(k.distance, c.distance) << c.preset;
  }
  KassenCameraKey k;
  for (int p : {0, -1, 61, 100}) EXPECT_FALSE(KassenCameraPreset(p, false, 2, panel, k)) << p;
  // A cell preset looks at its cell from the fixed offset's direction.
  ASSERT_TRUE(KassenCameraPreset(13 + 2 * 8 + 3, false, 1, panel, k));
  const FieldPoint cell = KassenFieldPosition(1, 3, 3, FieldPoint{0, 0});
  EXPECT_FLOAT_EQ(k.target[0], cell.along);
  EXPECT_FLOAT_EQ(k.target[2], cell.across);
  float eye[3];
  KassenCameraEye(k, eye);
  const float dy = eye[1] - k.target[1], dz = eye[2] - k.target[2];
  EXPECT_NEAR(eye[0] - k.target[0], 0.0f, 1e-3);
  EXPECT_NEAR(dy / dz, 672.82f / 2830.45f, 1e-4);
  EXPECT_NEAR(std::sqrt(dy * dy + dz * dz), 1243.262f, 0.05f);
  // Presets 53 and 54 are the reserve place's first and last column.
  ASSERT_TRUE(KassenCameraPreset(54, false, 2, panel, k));
  EXPECT_FLOAT_EQ(k.target[2], 1367.0f);
  EXPECT_FLOAT_EQ(k.target[0], -7 * 158.2f);
  // Panel presets follow the panel's unit.
  ASSERT_TRUE(KassenCameraPreset(57, false, 2, panel, k));
  EXPECT_FLOAT_EQ(k.target[2], 546.8f);
  EXPECT_FLOAT_EQ(k.target[0], -316.4f);
  // The close-up toggle puts every view of a group on the group's close-up.
  KassenCameraKey a, b;
  ASSERT_TRUE(KassenCameraPreset(5, true, 2, panel, a));
  ASSERT_TRUE(KassenCameraPreset(7, true, 2, panel, b));
  EXPECT_EQ(a.distance, b.distance);
  ASSERT_TRUE(KassenCameraPreset(3, true, 2, panel, a));
  ASSERT_TRUE(KassenCameraPreset(4, true, 2, panel, b));
  EXPECT_EQ(a.target[0], b.target[0]);
}

TEST(KassenFieldView, CameraTrack) {
  KassenCameraKey a, b, c;
  a.distance = 1000, b.distance = 2000, c.distance = 4000;
  KassenCameraTrack t;
  t.Jump(a);
  EXPECT_FALSE(t.Running());
  t.Append(b, 300);
  t.Append(c, 100);
  EXPECT_TRUE(t.Running());
  t.Advance(150);
  EXPECT_NEAR(t.Current().distance, 1500.0f, 1.0f) << "halfway, eased";
  t.Advance(150);
  EXPECT_NEAR(t.Current().distance, 2000.0f, 1.0f);
  EXPECT_TRUE(t.Running()) << "the second key still plays";
  t.Advance(100);
  EXPECT_FALSE(t.Running());
  EXPECT_EQ(t.Current().distance, 4000.0f);
  // A skip lands on the last key at once; a zero duration is there at once too.
  t.Append(a, 500);
  t.Append(b, 500);
  t.Finish();
  EXPECT_FALSE(t.Running());
  EXPECT_EQ(t.Current().distance, 2000.0f);
  t.Append(c, 0);
  EXPECT_FALSE(t.Running());
  EXPECT_EQ(t.Current().distance, 4000.0f);
  // A negative step never moves the camera back.
  t.Append(a, 100);
  t.Advance(-50);
  EXPECT_EQ(t.Current().distance, 4000.0f);
}

TEST(KassenFieldView, TogglesAndDamageStyles) {
  uint32_t o = 1;  // the record's default
  EXPECT_TRUE(KassenAttackPresentationOn(o));
  EXPECT_FALSE(KassenOverviewCameraOn(o));
  o = KassenWithAttackPresentation(o, false);
  EXPECT_EQ(o, 1u | 8u);
  o = KassenWithOverviewCamera(o, true);
  EXPECT_EQ(o, 1u | 8u | 16u);
  EXPECT_FALSE(KassenAttackPresentationOn(o));
  EXPECT_TRUE(KassenOverviewCameraOn(o));
  o = KassenWithAttackPresentation(KassenWithOverviewCamera(o, false), true);
  EXPECT_EQ(o, 1u) << "other bits stay";
  int n = 0, lit = 0;
  KassenTogglePictures(false, true, n, lit);
  EXPECT_EQ(n * 10 + lit, 5);
  KassenTogglePictures(false, false, n, lit);
  EXPECT_EQ(n * 10 + lit, 16);
  KassenTogglePictures(true, true, n, lit);
  EXPECT_EQ(n * 10 + lit, 27);
  KassenTogglePictures(true, false, n, lit);
  EXPECT_EQ(n * 10 + lit, 38);
  struct Case {
    int value;
    bool kind;
    int style, shown;
  };
  for (Case c : {Case{12, false, 8, 12}, Case{0, false, 8, 0}, Case{12, true, 6, -12}, Case{-7, false, 9, 7},
                 Case{-7, true, 7, -7}}) {
    int shown = 0;
    EXPECT_EQ(KassenDamageStyle(c.value, c.kind, shown), c.style) << c.value;
    EXPECT_EQ(shown, c.shown) << c.value;
  }
}

// The free debug camera: turning wraps the yaw and clamps the pitch, the wheel's field of view stays
// within 0.1..179 in steps of 0.1 (1.0 with Ctrl), and nothing moves while it is off.
TEST(KassenFieldView, FreeCameraTurnsZoomsAndStaysInRange) {
  KassenFreeCamera cam;
  KassenCameraKey start;
  start.pitch = 10;
  start.yaw = 350;
  start.fov = 20;
  start.distance = 1000;
  cam.Drag(true, false, 100, 100);
  EXPECT_FALSE(cam.On());
  EXPECT_FLOAT_EQ(cam.Key().yaw, KassenCameraKey{}.yaw) << "off: a drag does nothing";
  cam.Toggle(start);
  ASSERT_TRUE(cam.On());
  EXPECT_FLOAT_EQ(cam.Key().yaw, 350.0f) << "starts from the view on show";
  struct Turn {
    float dx, dy, yaw, pitch;
  };
  // Cumulative drags with the left button: x / 10 to the yaw, y / 10 to the pitch.
  for (Turn t : {Turn{50, 30, 355, 13}, Turn{100, 1000, 5, 89} /* past 360 wraps, pitch stops at 89 */,
                 Turn{-200, -2000, -15, -89}, Turn{-3500, 0, -5, -89} /* past -360 wraps */}) {
    cam.Drag(true, false, t.dx, t.dy);
    EXPECT_NEAR(cam.Key().yaw, t.yaw, 1e-3) << t.dx;
    EXPECT_NEAR(cam.Key().pitch, t.pitch, 1e-3) << t.dy;
    EXPECT_GT(cam.Key().yaw, -360.0f);
    EXPECT_LT(cam.Key().yaw, 360.0f);
  }
  struct Zoom {
    int steps;
    bool ctrl;
    float fov;
  };
  for (Zoom z : {Zoom{1, false, 19.9f}, Zoom{-3, true, 22.9f}, Zoom{500, false, 0.1f}, Zoom{1, true, 0.1f},
                 Zoom{-400, true, 179.0f}, Zoom{-1, false, 179.0f}}) {
    cam.Wheel(z.steps, z.ctrl);
    EXPECT_NEAR(cam.Key().fov, z.fov, 1e-3) << z.steps << " " << z.ctrl;
  }
  // The right button changes the distance (never to or through the target); with Ctrl the
  // buttons move the target and leave the view's angles alone.
  cam.Drag(false, false, 0, 1e6f);
  EXPECT_FLOAT_EQ(cam.Key().distance, 20000.0f);
  cam.Drag(false, false, 0, -1e6f);
  EXPECT_FLOAT_EQ(cam.Key().distance, 10.0f);
  const KassenCameraKey before = cam.Key();
  cam.Drag(true, true, 40, 0);
  EXPECT_NE(cam.Key().target[0], before.target[0]) << "Ctrl and left pans";
  const float across = cam.Key().target[2];
  cam.Drag(false, true, 0, 40);
  EXPECT_NE(cam.Key().target[2], across) << "Ctrl and right moves in depth";
  EXPECT_FLOAT_EQ(cam.Key().yaw, before.yaw);
  EXPECT_FLOAT_EQ(cam.Key().pitch, before.pitch);
  EXPECT_FLOAT_EQ(cam.Key().distance, before.distance);
  EXPECT_FLOAT_EQ(KassenFreeCamera::ClampFov(std::nanf("")), 20.0f) << "a broken value never reaches the camera";
  cam.Toggle(start);
  EXPECT_FALSE(cam.On());
}

// F1 steps through the overviews and the panel units' views, then starts over; every step is a
// view that moves the camera.
TEST(KassenFieldView, FreeCameraPresetsCycle) {
  KassenFreeCamera cam;
  std::vector<int> seen;
  for (int i = 0; i < 17; ++i) seen.push_back(cam.NextPreset());
  const std::vector<int> want = {1, 2, 55, 56, 57, 58, 59, 60, 1, 2, 55, 56, 57, 58, 59, 60, 1};
  EXPECT_EQ(seen, want);
  const FieldPoint units[6] = {};
  KassenCameraKey k;
  for (int p : kKassenFreeCameraPresets) EXPECT_TRUE(KassenCameraPreset(p, false, 2, units, k)) << p;
}

TEST(KassenFieldView, DebugPanelLines) {
  struct Case {
    int lane;
    const char* name;
    int column;
    std::string line;
  };
  for (const Case& c : {Case{0, "\x8f\xbc", 3, "0 : \x8f\xbc  (x:3)"},  // the tab fills to column 8
                        Case{2, "abcd", 5, "2 : abcd        (x:5)"},    // a name ending on a stop goes to the next
                        Case{4, nullptr, 7, "4 : ----"}}) {
    EXPECT_EQ(KassenDebugUnitLine(c.lane, c.name, c.column), c.line) << c.lane;
  }
  KassenCameraKey k;
  k.target[0] = 1.5f;
  k.target[1] = -2;
  k.target[2] = 3;
  k.pitch = 12;
  k.yaw = -45;
  k.fov = 16.8f;
  EXPECT_EQ(KassenDebugCameraLines(k),
            "x:1.500000 y:-2.000000 z:3.000000\nx:12.000000 y:-45.000000\n16.799999\x93\x78");
}

}  // namespace

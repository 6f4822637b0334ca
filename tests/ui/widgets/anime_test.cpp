// Animation tracks: each key kind stepped by frame sequences, chains and their leftover time,
// the DA curves, patterns, angle normalisation, and the walks that must end.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#include "widget_fixture.h"
#include "ui/widgets/widget_base.h"

namespace {

// A shown, open widget whose animations run.
struct Animated : CVMenuBase {
  Animated() {
    flags.Set(kWfShown, 1);
    flags.Set(kWfActive, 1);
    flags.Set(kWfAnimRunning, 1);
  }
  void Step(float dt) {
    timeStep = dt;
    UpdateAnime();
  }
};

const AnimeRequest* Find(const CVMenuBase& w, int32_t number) {
  for (const AnimeRequest& r : w.AnimeQueue())
    if (r.number == number) return &r;
  return nullptr;
}

struct StepCase {
  const char* what;
  std::vector<float> steps;
  std::vector<float> expectedX;  // position x after each step
};

TEST(Anime, MovePlainKeyInterpolatesAndHandsOnTheLeftover) {
  const StepCase cases[] = {
      {"100 ms steps", {100, 100, 100, 100, 100}, {20, 40, 60, 80, 100}},
      {"300 ms steps", {300, 300}, {60, 100}},
      {"one long step", {1000}, {100}},
  };
  for (const StepCase& c : cases) {
    Animated w;
    w.AddAnimeMove(1, 100, 0, 0, 500, 0, 2, 0);
    w.AddAnimeWait(2, 1000, 0, 0, 0);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      w.Step(c.steps[i]);
      EXPECT_NEAR(w.position.x, c.expectedX[i], 1e-3) << c.what << " step " << i;
    }
    EXPECT_EQ(Find(w, 1), nullptr) << c.what;
    const AnimeRequest* next = Find(w, 2);
    ASSERT_NE(next, nullptr) << c.what;
    float total = 0;
    for (float s : c.steps) total += s;
    // The next key has run exactly the time left over from the first.
    EXPECT_NEAR(next->elapsed, total - 500.0f, 1e-3) << c.what;
  }
}

TEST(Anime, DAndDaKindsAndTheirCurves) {
  struct Case {
    const char* what;
    uint16_t kind;
    float duration;
    std::vector<float> steps;
    float expectedX;
  } cases[] = {
      {"DA negative duration eases out", kAnimeMoveDA, -400, {200}, 75},
      {"DA positive duration eases in", kAnimeMoveDA, 400, {200}, 25},
      {"DA in two steps", kAnimeMoveDA, -400, {100, 100}, 75},
      {"DA whole", kAnimeMoveDA, 400, {150, 150, 150}, 100},
      {"DA zero duration moves at once", kAnimeMoveDA, 0, {0}, 100},
      {"D linear", kAnimeMoveD, 500, {100, 100}, 40},
      {"D zero duration", kAnimeMoveD, 0, {16}, 100},
  };
  for (const Case& c : cases) {
    Animated w;
    AnimeKey k;
    k.kind = c.kind;
    k.p[0] = 100;
    k.duration = c.duration;
    w.AddAnimeKey(1, k);
    for (float s : c.steps) w.Step(s);
    EXPECT_NEAR(w.position.x, c.expectedX, 1e-3) << c.what;
    EXPECT_TRUE(std::isfinite(w.position.x)) << c.what;
  }
}

TEST(Anime, DKeyStartedWithLeftoverLosesThatShare) {
  Animated w;
  w.AddAnimeWait(1, 100, 0, 2, 0);
  w.AddAnimeMoveD(2, 100, 0, 0, 500, 0, 0, 0);
  w.Step(200);  // the wait ends with 100 left over; MoveD covers it without moving
  EXPECT_NEAR(w.position.x, 0, 1e-4);
  for (int i = 0; i < 4; ++i) w.Step(100);
  EXPECT_NEAR(w.position.x, 80, 1e-3);
  EXPECT_FALSE(w.IsAnimeQueued());
}

TEST(Anime, PatternSpreadsAndEndsExactlyOnItsLastValue) {
  Animated w;
  w.AddAnimePattern(1, 3, 400, 0, 0, 0);
  const int32_t expected[] = {1, 2, 3, 3};
  for (int32_t e : expected) {
    w.Step(100);
    EXPECT_EQ(w.GetState(), e);
  }
  EXPECT_EQ(w.state, 3.0f);
  EXPECT_FALSE(w.IsAnimeQueued());
}

TEST(Anime, AnglesAreBroughtIntoRange) {
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float target, expected;
  } cases[] = {{370, 10}, {-10, 350}, {-370, -10}, {720.5f, 0.5f}, {360, 0}, {inf, 0}, {-inf, 0}, {1e30f, -1}};
  for (const Case& c : cases) {
    Animated w;
    w.AddAnimeRot(1, 0, 0, c.target, 0, 0, 0, 0);
    w.Step(16);
    if (c.expected < -0.5f && c.target > 0) {  // huge angles: any finite angle in range
      EXPECT_TRUE(w.rotation.z >= 0 && w.rotation.z < 360) << c.target;
    } else {
      EXPECT_NEAR(w.rotation.z, c.expected, 1e-3) << c.target;
    }
  }
  Animated n;
  n.AddAnimeRot(1, std::numeric_limits<float>::quiet_NaN(), 0, 0, 0, 0, 0, 0);
  n.Step(16);
  EXPECT_EQ(n.rotation.x, 0.0f);
}

TEST(Anime, ScaleColourAndShaderKeys) {
  v4test::ParamOnlyWidgetShaders shaders;
  Animated w;
  w.AddShader(CreateWidgetShader(0), false, 0);
  w.alpha = 200;
  w.colour = Color(0, 0, 0, 17);
  w.AddAnimeScale(1, 2.0f, 0.5f, 9.0f, 100, 2, 0, 0);
  w.AddAnimeColor(2, 255, 128, 0, 100, 100, 3, 0, 0);
  w.AddAnimeShader(3, 1, 2, 3, 0, 0, 0, 0);
  w.Step(50);
  EXPECT_NEAR(w.scale.x, 1.5f, 1e-4);
  EXPECT_NEAR(w.scale.y, 0.75f, 1e-4);
  EXPECT_EQ(w.scale.z, 1.0f);
  // The colour key started with the scale: its first step counts from 0. Its own with key, a
  // zero-duration shader key, applied at once and reached the widget's shaders.
  EXPECT_EQ(w.colour.r, 0.0f);
  EXPECT_EQ(w.shaderParams[2], 3.0f);
  EXPECT_EQ(w.Shaders().at(0)->Param(1), 2.0f);
  w.Step(50);
  EXPECT_EQ(w.scale.x, 2.0f);
  // The colour works on the widget's own alpha, and its a becomes that alpha.
  EXPECT_NEAR(w.colour.r, 127.5f, 1e-3);
  EXPECT_NEAR(w.alpha, 150.0f, 1e-3);
  EXPECT_NEAR(w.colour.a, 150.0f, 1e-3);
}

TEST(Anime, WithStartsTogetherAndNextAfter) {
  Animated w;
  w.AddAnimeMove(1, 100, 0, 0, 200, 2, 3, 0);
  w.AddAnimeMoveD(2, 0, 50, 0, 100, 0, 0, 0);
  w.AddAnimeMoveD(3, 0, 0, 10, 100, 0, 0, 0);
  w.Step(100);
  EXPECT_NEAR(w.position.x, 50, 1e-3);
  EXPECT_NEAR(w.position.y, 0, 1e-3);  // the with key counted its first step from 0
  w.Step(100);
  EXPECT_NEAR(w.position.x, 100, 1e-3);
  EXPECT_NEAR(w.position.y, 50, 1e-3);
  w.Step(100);
  EXPECT_NEAR(w.position.z, 10, 1e-3);
  EXPECT_FALSE(w.IsAnimeQueued());
}

TEST(Anime, ReferenceMaskReadsReferenceParameters) {
  Animated w;
  w.SetRefParams(40, 60, 0);
  w.AddAnimeMove(1, 0, 1, 0, 1.0f, 0, 0, 0x1 | 0x10);  // x from ref 0, duration from ref 1
  w.Step(30);
  EXPECT_NEAR(w.position.x, 20, 1e-3);
  w.Step(30);
  EXPECT_NEAR(w.position.x, 40, 1e-3);
}

TEST(Anime, CloseKeyClosesTheWidget) {
  Animated w;
  w.AddAnimeWait(1, 100, 0, 2, 0);
  w.AddAnimeClose(2);
  w.Step(50);
  EXPECT_TRUE(w.flags.Test(kWfActive));
  w.Step(50);
  EXPECT_FALSE(w.flags.Test(kWfActive));
}

TEST(Anime, RunsOnlyWhenShownOpenAndRunning) {
  const int bits[] = {kWfShown, kWfActive, kWfAnimRunning};
  for (int bit : bits) {
    Animated w;
    w.flags.Set(bit, 0);
    w.AddAnimeMove(1, 100, 0, 0, 100, 0, 0, 0);
    w.Step(100);
    EXPECT_EQ(w.position.x, 0.0f) << bit;
    EXPECT_TRUE(w.IsAnimeQueued()) << bit;
  }
}

TEST(Anime, PlayStopAndQueries) {
  Animated w;
  w.AddAnimeMove(1, 100, 0, 0, 100, 0, 2, 0);
  w.AddAnimeWait(2, 100, 0, 0, 0);
  w.AddAnimeMove(5, 0, 0, 0, 0, 0, 0, 0);
  w.ClearAnimeQueue();
  EXPECT_EQ(w.PlayAnime(1), 0);
  EXPECT_TRUE(w.IsAnimePlaying(1));
  w.Step(150);                       // 1 ended, 2 runs
  EXPECT_TRUE(w.IsAnimePlaying(1));  // the chain from 1 is still running
  const size_t before = w.AnimeQueue().size();
  EXPECT_EQ(w.PlayAnime(1), 1);
  EXPECT_EQ(w.AnimeQueue().size(), before);
  EXPECT_FALSE(w.IsAnimePlaying(5));
  w.StopAnime(1);
  EXPECT_FALSE(w.IsAnimeQueued());
  // A zero-duration key applies at once through PlayAnime.
  w.AddAnimeMove(6, 7, 0, 0, 0, 0, 0, 0);
  w.ClearAnimeQueue();
  w.PlayAnime(6);
  EXPECT_EQ(w.position.x, 7.0f);
  // A request without a key is dropped at the next step.
  w.PlayAnime(42);
  EXPECT_FALSE(w.IsAnimeQueued());
}

TEST(Anime, FinishAnimeEndsAChainAtItsLastValues) {
  Animated w;
  w.AddAnimeMove(1, 10, 0, 0, 500, 0, 2, 0);
  w.AddAnimeMoveDA(2, 0, 20, 0, -300, 0, 3, 0);
  w.AddAnimeMove(3, 30, 20, 5, 400, 0, 0, 0);
  w.ClearAnimeQueue();
  w.PlayAnime(1);
  w.FinishAnime();
  EXPECT_NEAR(w.position.x, 30, 1e-3);
  EXPECT_NEAR(w.position.y, 20, 1e-3);
  EXPECT_NEAR(w.position.z, 5, 1e-3);
  EXPECT_FALSE(w.IsAnimeQueued());
  EXPECT_EQ(w.timeStep, 0.0f);  // restored
}

// Data may link keys into loops; the frame must go on.
TEST(Anime, LoopsEndTheStep) {
  struct Case {
    const char* what;
    float durA, durB;
    bool finish;
  } cases[] = {
      {"zero-duration cycle", 0, 0, false},
      {"zero-duration self loop", 0, -1, false},
      {"looping chain finished", 500, 300, true},
      {"looping self chain finished", 500, -1, true},
  };
  for (const Case& c : cases) {
    Animated w;
    if (c.durB < 0) {
      w.AddAnimeMoveD(1, 1, 0, 0, c.durA, 0, 1, 0);
    } else {
      w.AddAnimeMoveD(1, 1, 0, 0, c.durA, 0, 2, 0);
      w.AddAnimeMoveD(2, 1, 0, 0, c.durB, 0, 1, 0);
    }
    w.ClearAnimeQueue();
    w.PlayAnime(1);
    if (c.finish) w.FinishAnime();
    w.Step(16);
    EXPECT_TRUE(std::isfinite(w.position.x)) << c.what;
    EXPECT_LE(w.AnimeQueue().size(), 2u) << c.what;
  }
  // A normal looping chain keeps looping frame after frame. Each restart covers its leftover
  // without moving, so ten 60 ms steps move 6, 4, 6, 2, 6, 6, 4, 6, 2, 6.
  Animated blink;
  blink.AddAnimeMoveD(1, 10, 0, 0, 100, 0, 1, 0);
  for (int i = 0; i < 10; ++i) blink.Step(60);
  EXPECT_NEAR(blink.position.x, 48, 1e-3);
  EXPECT_TRUE(blink.IsAnimeQueued());
}

// A loop shorter than one frame (a hitch, or a scene fast-forwarded at speed 5) keeps running:
// a key that comes round again within one step waits for the next step instead of ending the loop.
TEST(Anime, LoopsSurviveFramesLongerThanTheirPeriod) {
  struct Case {
    const char* what;
    float durA, durB;  // durB < 0: a self loop
    float step;
  } cases[] = {
      {"self loop, 250 ms frames", 100, -1, 250},
      {"two-key loop, fast-forwarded frames", 30, 30, 83},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Animated w;
    if (c.durB < 0) {
      w.AddAnimeMoveD(1, 10, 0, 0, c.durA, 0, 1, 0);
    } else {
      w.AddAnimeMoveD(1, 10, 0, 0, c.durA, 0, 2, 0);
      w.AddAnimeMoveD(2, 10, 0, 0, c.durB, 0, 1, 0);
    }
    float last = w.position.x;
    for (int i = 0; i < 6; ++i) {
      w.Step(c.step);
      EXPECT_TRUE(w.IsAnimeQueued()) << "step " << i;
      EXPECT_GT(w.position.x, last) << "step " << i;
      last = w.position.x;
    }
    EXPECT_LE(w.AnimeQueue().size(), 2u);
  }
  // A key that starts itself through its with link cannot make the queue grow step by step.
  Animated self;
  self.AddAnimeMoveD(1, 1, 0, 0, 10000, 1, 0, 0);
  for (int i = 0; i < 20; ++i) self.Step(16);
  EXPECT_LE(self.AnimeQueue().size(), 2u);
}

TEST(Anime, StateAnimationsFollowStateChanges) {
  Animated w;
  w.flags.Set(kWfAnimRunning, 0);
  w.AddAnimeWait(10, 300, 0, 0, 0);
  w.AddAnimeWait(11, 300, 0, 0, 0);
  w.ClearAnimeQueue();
  w.SetStateAnimes(10, -1, 11, 0, -1);
  w.ChangeStateAnime(0, 2);
  EXPECT_TRUE(w.flags.Test(kWfAnimRunning));
  EXPECT_TRUE(w.IsStateAnimePlayingTree(2));
  EXPECT_FALSE(w.IsStateAnimePlayingTree(0));
  EXPECT_FALSE(w.IsStateAnimePlayingTree(7));
  w.ChangeStateAnime(2, 1);  // -1: nothing changes
  EXPECT_TRUE(w.IsStateAnimePlayingTree(2));
  w.ChangeStateAnime(2, 3);  // 0: stop only
  EXPECT_FALSE(w.IsAnimeQueued());
  w.ChangeStateAnime(3, 0);
  EXPECT_TRUE(w.IsAnimePlaying(10));
  w.Step(300);
  EXPECT_FALSE(w.IsStateAnimePlayingTree(0));
}

TEST(Anime, CopyAndReset) {
  Animated a;
  a.AddAnimeMove(3, 1, 2, 3, 100, 0, 0, 0);
  a.SetScaleBase(5, 6);
  Animated b;
  b.flags.Set(kWfAnimRunning, 0);
  b.CopyAnimeFrom(&a);
  EXPECT_EQ(b.AnimeKeys().size(), 1u);
  EXPECT_EQ(b.AnimeQueue().size(), 1u);
  EXPECT_EQ(b.scalePivot.x, 5.0f);
  EXPECT_TRUE(b.flags.Test(kWfAnimRunning));
  b.ResetAnime(7, 8);
  EXPECT_TRUE(b.AnimeKeys().empty());
  EXPECT_FALSE(b.IsAnimeQueued());
  EXPECT_EQ(b.rotPivot.y, 8.0f);
  EXPECT_EQ(a.AnimeKeys().at(3).accumulate, 0);
  a.AddAnimeColorDA(4, 1, 1, 1, 1, 10, 0, 0, 0);
  EXPECT_EQ(a.AnimeKeys().at(4).accumulate, 1);
}

}  // namespace

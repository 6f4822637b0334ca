#include "core/step_machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

// A toy routine tree in the shape every frame-driven routine follows: the parent (depth 1)
// pushes the child, which counts frames in its sub-step and finishes after `childFrames` of
// them, optionally with a frame wait pending.
struct ToyTree {
  int childFrames = 1;
  bool childWaits = false;
  int childBegins = 0;
  int childResult = 0;
  int parentResult = 0;
  int parentSawChildAt = 0;  // frame on which the parent's pop returned 1
  int frame = 0;

  int Child() {
    if (StepCheckDone()) return childResult;
    if (StepBegin()) ++childBegins;
    if (StepGet() == kStepFirst) {
      SubStepNext();
      if (static_cast<int>(SubStepGet()) >= childFrames) {
        childResult = 7;
        if (childWaits) SetStepWaitPending(true);
        StepFinish();
        return childResult;
      }
    }
    return kStepRunning;
  }

  int Parent() {
    if (StepCheckDone()) return parentResult;
    StepBegin();
    switch (StepGet()) {
      case 1:
        StepPush();
        Child();
        if (StepPop()) {
          parentSawChildAt = frame;
          StepNext();
        }
        return kStepRunning;
      case 2:
        parentResult = childResult + 1;
        StepFinish();
        return parentResult;
    }
    return kStepRunning;
  }

  // One frame as the turn loop drives it: depth 0, push, run the routine at depth 1, pop.
  bool RunFrame() {
    ++frame;
    StepSetDepth(0);
    StepPush();
    Parent();
    return StepPop();
  }
};

class StepMachineTest : public ::testing::Test {
 protected:
  void SetUp() override { g_StepMachine = StepMachine{}; }
  void TearDown() override { g_StepMachine = StepMachine{}; }
};

struct TreeCase {
  int childFrames;
  bool childWaits;
  int parentSeesChildOnFrame;  // plain finish: the frame the child finishes; with a wait: one later
};

void PrintTo(const TreeCase& c, std::ostream* os) {
  *os << c.childFrames << " frames" << (c.childWaits ? " + wait" : "");
}

class StepMachineTreeTest : public StepMachineTest, public ::testing::WithParamInterface<TreeCase> {};

TEST_P(StepMachineTreeTest, ParentSeesChildFinishOnExpectedFrameWithoutReinit) {
  const TreeCase& c = GetParam();
  ToyTree tree;
  tree.childFrames = c.childFrames;
  tree.childWaits = c.childWaits;
  bool treeDone = false;
  for (int i = 0; i < 20 && !treeDone; ++i) treeDone = tree.RunFrame();
  ASSERT_TRUE(treeDone);
  EXPECT_EQ(tree.parentSawChildAt, c.parentSeesChildOnFrame);
  // The child's level was re-entered on every frame, never restarted.
  EXPECT_EQ(tree.childBegins, 1);
  EXPECT_EQ(tree.parentResult, 8);
  // Every level is idle again and the wait was consumed.
  EXPECT_EQ(g_StepMachine.depth, 0u);
  EXPECT_EQ(g_StepMachine.step[1], kStepIdle);
  EXPECT_EQ(g_StepMachine.step[2], kStepIdle);
  EXPECT_EQ(g_StepMachine.waitPending, 0u);
}

INSTANTIATE_TEST_SUITE_P(Finishes, StepMachineTreeTest,
                         ::testing::Values(TreeCase{1, false, 1}, TreeCase{1, true, 2}, TreeCase{3, false, 3},
                                           TreeCase{3, true, 4}));

TEST_F(StepMachineTest, PushMarksIdleLevelAndCheckDoneStartsIt) {
  ASSERT_TRUE(StepPush());
  EXPECT_EQ(g_StepMachine.depth, 1u);
  EXPECT_EQ(g_StepMachine.pushPending, 1u);
  EXPECT_EQ(g_StepMachine.step[1], kStepPushed);
  EXPECT_EQ(g_StepMachine.state[1], kStepStatePushed);
  g_StepMachine.subStep[1] = 9;
  EXPECT_FALSE(StepCheckDone());
  EXPECT_EQ(g_StepMachine.pushPending, 0u);
  EXPECT_EQ(g_StepMachine.state[1], kStepStateRunning);
  EXPECT_TRUE(StepBegin());
  EXPECT_EQ(StepGet(), kStepFirst);
  EXPECT_EQ(SubStepGet(), 0u);
  EXPECT_FALSE(StepBegin());
  SubStepSet(4);
  SubStepNext();
  EXPECT_EQ(SubStepGet(), 5u);
  StepNext();
  EXPECT_EQ(StepGet(), 2u);
  EXPECT_EQ(SubStepGet(), 0u);
  // A child that has not finished: the pop leaves its level as it is.
  EXPECT_FALSE(StepPop());
  EXPECT_EQ(g_StepMachine.depth, 0u);
  EXPECT_EQ(g_StepMachine.step[1], 2u);
  // Pushing again re-enters it where it stopped.
  ASSERT_TRUE(StepPush());
  EXPECT_EQ(StepGet(), 2u);
  EXPECT_EQ(g_StepMachine.state[1], kStepStateRunning);
}

TEST_F(StepMachineTest, JumpAndFinishIdleDeeperLevelsButKeepSubSteps) {
  for (int mode = 0; mode < 2; ++mode) {
    g_StepMachine = StepMachine{};
    for (int i = 0; i < kStepLevels; ++i) {
      g_StepMachine.step[i] = 5;
      g_StepMachine.state[i] = kStepStateRunning;
      g_StepMachine.subStep[i] = 100 + i;
    }
    g_StepMachine.depth = 2;
    if (mode == 0) {
      StepJump(3);
      EXPECT_EQ(g_StepMachine.step[2], 3u);
      EXPECT_EQ(g_StepMachine.subStep[2], 0u);
    } else {
      StepFinish();
      EXPECT_EQ(g_StepMachine.step[2], kStepDone);
      EXPECT_EQ(g_StepMachine.subStep[2], 102u);
    }
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(g_StepMachine.step[i], 5u) << "mode " << mode << " level " << i;
      EXPECT_EQ(g_StepMachine.state[i], kStepStateRunning);
    }
    for (int i = 3; i < kStepLevels; ++i) {
      EXPECT_EQ(g_StepMachine.step[i], kStepIdle) << "mode " << mode << " level " << i;
      EXPECT_EQ(g_StepMachine.state[i], kStepStateIdle);
      EXPECT_EQ(g_StepMachine.subStep[i], 100u + i);
    }
  }
}

TEST_F(StepMachineTest, ResetClearsStepsAndDepthOnly) {
  for (int i = 0; i < kStepLevels; ++i) {
    g_StepMachine.step[i] = 4;
    g_StepMachine.state[i] = kStepStateRunning;
    g_StepMachine.subStep[i] = 8;
  }
  g_StepMachine.depth = 6;
  StepReset();
  EXPECT_EQ(g_StepMachine.depth, 0u);
  for (int i = 0; i < kStepLevels; ++i) {
    EXPECT_EQ(g_StepMachine.step[i], kStepIdle);
    EXPECT_EQ(g_StepMachine.state[i], kStepStateRunning);
    EXPECT_EQ(g_StepMachine.subStep[i], 8u);
  }
}

TEST_F(StepMachineTest, PushBeyondLastLevelIsRefusedAndLogged) {
  int accepted = 0;
  testing::internal::CaptureStderr();
  for (int i = 0; i < kStepLevels + 5; ++i) accepted += StepPush() ? 1 : 0;
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(accepted, kStepLevels - 1);
  EXPECT_EQ(g_StepMachine.depth, static_cast<uint32_t>(kStepLevels - 1));
  EXPECT_NE(log.find("[step]"), std::string::npos);
  // Operations on the full stack stay on the last level.
  StepFinish();
  EXPECT_EQ(g_StepMachine.step[kStepLevels - 1], kStepDone);
  // Each refused push is matched by a pop that leaves the depth alone; the rest unwind.
  for (int i = 0; i < 6; ++i) {
    EXPECT_FALSE(StepPop());
    EXPECT_EQ(g_StepMachine.depth, static_cast<uint32_t>(kStepLevels - 1));
  }
  EXPECT_TRUE(StepPop());  // the last level had finished
  EXPECT_EQ(g_StepMachine.depth, static_cast<uint32_t>(kStepLevels - 2));
  for (int i = 0; i < kStepLevels - 2; ++i) StepPop();
  EXPECT_EQ(g_StepMachine.depth, 0u);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(StepPop());  // nothing to pop at depth 0
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(g_StepMachine.depth, 0u);
}

TEST_F(StepMachineTest, OutOfRangeDepthWordIsNeverUsedAsIndex) {
  g_StepMachine.depth = 1000;  // written from outside
  g_StepMachine.step[kStepLevels - 1] = 4;
  EXPECT_EQ(StepGet(), 4u);
  SubStepSet(3);
  EXPECT_EQ(g_StepMachine.subStep[kStepLevels - 1], 3u);
  StepSetDepth(50);
  EXPECT_EQ(g_StepMachine.depth, static_cast<uint32_t>(kStepLevels - 1));
}

TEST_F(StepMachineTest, BytesFollowMemoryOrderLittleEndian) {
  g_StepMachine.subStep[1] = 0x04030201;
  g_StepMachine.state[2] = 2;
  g_StepMachine.step[3] = 0x0000010D;
  g_StepMachine.depth = 3;
  g_StepMachine.pushPending = 1;
  g_StepMachine.waitPending = 1;
  uint8_t bytes[kStepMachineBytes];
  StepMachineToBytes(bytes);
  const uint8_t sub1[] = {1, 2, 3, 4};
  EXPECT_EQ(std::memcmp(bytes + 4, sub1, 4), 0);
  EXPECT_EQ(bytes[80 + 2], 2);
  EXPECT_EQ(bytes[100 + 12], 0x0D);
  EXPECT_EQ(bytes[100 + 13], 0x01);
  EXPECT_EQ(bytes[180], 3);
  EXPECT_EQ(bytes[184], 1);
  EXPECT_EQ(bytes[188], 1);
}

TEST_F(StepMachineTest, SaveMidTreeAndRestoreResumesTheSameWay) {
  ToyTree tree;
  tree.childFrames = 4;
  tree.childWaits = true;
  tree.RunFrame();
  tree.RunFrame();
  uint8_t saved[kStepMachineBytes];
  StepMachineToBytes(saved);
  const ToyTree savedTree = tree;

  std::vector<bool> firstRun;
  for (int i = 0; i < 4; ++i) firstRun.push_back(tree.RunFrame());
  const int firstSawAt = tree.parentSawChildAt;

  g_StepMachine = StepMachine{};  // a fresh program
  ASSERT_TRUE(StepMachineFromBytes(saved, sizeof saved));
  EXPECT_EQ(g_StepMachine.step[2], kStepFirst);
  EXPECT_EQ(g_StepMachine.subStep[2], 2u);
  tree = savedTree;
  std::vector<bool> secondRun;
  for (int i = 0; i < 4; ++i) secondRun.push_back(tree.RunFrame());
  EXPECT_EQ(secondRun, firstRun);
  EXPECT_EQ(tree.parentSawChildAt, firstSawAt);
  EXPECT_EQ(tree.parentSawChildAt, 5);  // 4 frames of the child, one for the frame wait
  EXPECT_EQ(tree.childBegins, 1);
}

TEST_F(StepMachineTest, DamagedSavedBlockIsRejectedAndMachineKept) {
  uint8_t bytes[kStepMachineBytes];
  g_StepMachine.depth = 2;
  StepMachineToBytes(bytes);
  bytes[180] = kStepLevels;  // depth 20
  g_StepMachine.step[0] = 6;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(StepMachineFromBytes(bytes, sizeof bytes));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("depth 20"), std::string::npos);
  EXPECT_FALSE(StepMachineFromBytes(bytes, sizeof bytes - 1));
  EXPECT_FALSE(StepMachineFromBytes(nullptr, sizeof bytes));
  EXPECT_EQ(g_StepMachine.depth, 2u);
  EXPECT_EQ(g_StepMachine.step[0], 6u);
}

}  // namespace

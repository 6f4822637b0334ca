// Device-loss recovery: each state of our device against what the check does.
#include <gtest/gtest.h>

#include <deque>

#include "core/game_clock.h"
#include "shell/device_state.h"
#include "shell/frame.h"

namespace {

struct FakeDevice : DeviceControl {
  bool HasDevice() override { return exists; }
  DeviceCoop TestCooperativeLevel() override {
    DeviceCoop c = coop.empty() ? DeviceCoop::kOk : coop.front();
    if (coop.size() > 1) coop.pop_front();
    return c;
  }
  bool ResetDevice() override {
    ++resets;
    return resetOk;
  }
  bool CreateDevice3D() override {
    ++creates;
    exists = createOk;
    return createOk;
  }
  std::deque<DeviceCoop> coop;
  bool exists = true, resetOk = true, createOk = true;
  int resets = 0, creates = 0;
};

uint32_t g_now = 0;
uint32_t Now(void*) { return g_now; }

class DeviceStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFrameState();
    ResetDeviceRecovery();
    SetDeviceControl(&device);
    SetGameClockOverride(&Now, nullptr);
    g_now = 5000;
  }
  void TearDown() override {
    SetDeviceControl(nullptr);
    SetGameClockOverride(nullptr, nullptr);
    ResetFrameState();
  }
  FakeDevice device;
};

struct CoopCase {
  const char* name;
  DeviceCoop coop;
  bool forceResetBefore;
  bool resetOk;
  bool result;
  bool lostAfter, afterResetAfter;
  int resets, creates;
};

class DeviceCoopTest : public DeviceStateTest, public ::testing::WithParamInterface<CoopCase> {};

TEST_P(DeviceCoopTest, OnePass) {
  const CoopCase& c = GetParam();
  device.coop = {c.coop};
  device.resetOk = c.resetOk;
  g_DeviceLost = true;
  g_ForceReset = c.forceResetBefore;
  EXPECT_EQ(CheckDeviceState(), c.result) << c.name;
  EXPECT_EQ(g_DeviceLost.load(), c.lostAfter) << c.name;
  EXPECT_EQ(g_AfterReset.load(), c.afterResetAfter) << c.name;
  EXPECT_EQ(device.resets, c.resets) << c.name;
  EXPECT_EQ(device.creates, c.creates) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    States, DeviceCoopTest,
    ::testing::Values(CoopCase{"ok resets", DeviceCoop::kOk, false, true, true, false, true, 1, 0},
                      CoopCase{"lost retries", DeviceCoop::kLostRetry, false, true, false, true, false, 0, 0},
                      CoopCase{"needs reset", DeviceCoop::kNeedsReset, false, true, true, false, true, 1, 0},
                      CoopCase{"failed reset stays lost", DeviceCoop::kNeedsReset, false, false, false, true, false, 1,
                               0},
                      CoopCase{"needs re-create", DeviceCoop::kNeedsRecreate, false, true, true, true, false, 0, 1},
                      CoopCase{"other waits", DeviceCoop::kOther, false, true, false, true, false, 0, 0},
                      CoopCase{"other with a forced reset", DeviceCoop::kOther, true, true, true, false, true, 1, 0}),
    [](const ::testing::TestParamInfo<CoopCase>& i) {
      std::string s = i.param.name;
      for (char& ch : s)
        if (ch == ' ' || ch == '-') ch = '_';
      return s;
    });

TEST_F(DeviceStateTest, NothingToDoWhileNotLost) {
  device.coop = {DeviceCoop::kNeedsReset};
  EXPECT_FALSE(CheckDeviceState());
  EXPECT_EQ(device.resets, 0);
}

TEST_F(DeviceStateTest, LostThenNotResetThenRestored) {
  device.coop = {DeviceCoop::kLostRetry, DeviceCoop::kLostRetry, DeviceCoop::kNeedsReset};
  g_DeviceLost = true;
  EXPECT_FALSE(CheckDeviceState());
  EXPECT_FALSE(CheckDeviceState());
  EXPECT_TRUE(CheckDeviceState());
  EXPECT_FALSE(g_DeviceLost.load());
  EXPECT_FALSE(g_ForceReset.load());
  EXPECT_TRUE(g_AfterReset.load());
}

TEST_F(DeviceStateTest, FailedRecreateIsRetriedWithGrowingPauses) {
  device.coop = {DeviceCoop::kNeedsRecreate};
  device.createOk = false;
  g_DeviceLost = true;
  EXPECT_FALSE(CheckDeviceState());
  EXPECT_EQ(device.creates, 1);
  EXPECT_FALSE(device.exists);
  // Within the first pause (100 ms) nothing is tried.
  g_now += 99;
  EXPECT_FALSE(CheckDeviceState());
  EXPECT_EQ(device.creates, 1);
  g_now += 1;
  EXPECT_FALSE(CheckDeviceState());
  EXPECT_EQ(device.creates, 2);
  // The pause doubled.
  g_now += 199;
  EXPECT_FALSE(CheckDeviceState());
  EXPECT_EQ(device.creates, 2);
  g_now += 1;
  device.createOk = true;
  device.coop = {DeviceCoop::kOk};
  EXPECT_TRUE(CheckDeviceState());
  EXPECT_EQ(device.creates, 3);
  // The new device is then reset, and the scenes are told.
  EXPECT_TRUE(g_DeviceLost.load());
  EXPECT_TRUE(CheckDeviceState());
  EXPECT_FALSE(g_DeviceLost.load());
  EXPECT_TRUE(g_AfterReset.load());
}

TEST_F(DeviceStateTest, PausesAreCapped) {
  device.exists = false;
  device.createOk = false;
  g_DeviceLost = true;
  int tries = 0;
  for (int pass = 0; pass < 20000 && tries < 12; ++pass) {
    int before = device.creates;
    CheckDeviceState();
    if (device.creates > before) ++tries;
    g_now += 5;
  }
  EXPECT_EQ(tries, 12);
  // Past the cap every try is 2 s apart: 12 tries fit in well under a minute of passes.
  EXPECT_LT(g_now - 5000u, 30000u);
}

}  // namespace

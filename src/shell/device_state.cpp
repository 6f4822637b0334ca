#include "shell/device_state.h"

#include "core/game_clock.h"
#include "shell/frame.h"
#include "platform/text/log.h"

namespace {
DeviceControl* g_control = nullptr;
uint32_t g_nextRecreateMs = 0;
uint32_t g_backoffMs = 0;
bool g_recreateScheduled = false;
constexpr uint32_t kFirstBackoffMs = 100;
constexpr uint32_t kMaxBackoffMs = 2000;

// Re-creation with a growing pause between failed attempts, so a broken driver is neither
// abandoned (the picture would stay black for good) nor hammered every 5 ms.
bool TryRecreate() {
  uint32_t now = GetGameTimeMs();
  if (g_recreateScheduled && static_cast<int32_t>(now - g_nextRecreateMs) < 0) return false;
  if (g_control->CreateDevice3D()) {
    g_recreateScheduled = false;
    g_backoffMs = 0;
    return true;
  }
  g_backoffMs =
      g_backoffMs == 0 ? kFirstBackoffMs : (g_backoffMs * 2 > kMaxBackoffMs ? kMaxBackoffMs : g_backoffMs * 2);
  g_nextRecreateMs = now + g_backoffMs;
  g_recreateScheduled = true;
  plat::Log("frame", "device re-creation failed; next try in %u ms", g_backoffMs);
  return false;
}
}  // namespace

void SetDeviceControl(DeviceControl* control) { g_control = control; }

void ResetDeviceRecovery() {
  g_recreateScheduled = false;
  g_backoffMs = 0;
  g_nextRecreateMs = 0;
}

bool CheckDeviceState() {
  if (!g_control || !g_DeviceLost.load()) return false;
  if (g_control->HasDevice()) {
    switch (g_control->TestCooperativeLevel()) {
      case DeviceCoop::kOk:
        g_ForceReset.store(true);
        break;
      case DeviceCoop::kLostRetry:
        return false;
      case DeviceCoop::kNeedsRecreate:
        return TryRecreate();
      case DeviceCoop::kNeedsReset:
        g_ForceReset.store(true);
        break;
      case DeviceCoop::kOther:
        if (!g_ForceReset.load()) return false;
        break;
    }
  } else {
    // The device is gone (a failed re-creation): keep trying to make it again.
    return TryRecreate();
  }
  g_AfterReset.store(false);
  if (!g_control->ResetDevice()) return false;
  g_DeviceLost.store(false);
  g_ForceReset.store(false);
  g_AfterReset.store(true);
  return true;
}

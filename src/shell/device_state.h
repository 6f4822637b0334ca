// Device-loss recovery on the main thread: after every pass of the message loop the device is
// tested and, when the frame marked it lost, reset or re-created. A reset raises the after-reset
// byte so that the frame lets every scene re-create its resources before anything else.
#pragma once
#include <cstdint>

// Our device's states, as the recovery sees them.
enum class DeviceCoop {
  kOk,             // usable: it may be reset now
  kLostRetry,      // lost and not yet resettable: try again on the next pass
  kNeedsReset,     // ready to be reset
  kNeedsRecreate,  // the driver failed: the device must be made anew
  kOther,          // anything else: only a pending forced reset proceeds
};

struct DeviceControl {
  virtual ~DeviceControl() = default;
  virtual bool HasDevice() = 0;
  virtual DeviceCoop TestCooperativeLevel() = 0;
  virtual bool ResetDevice() = 0;
  // Releases any existing device and makes a new one; false leaves no device.
  virtual bool CreateDevice3D() = 0;
};

// Null: CheckDeviceState always answers false.
void SetDeviceControl(DeviceControl* control);

// One check; true when the device was restored (or re-created) on this pass. A failed re-creation
// is retried while the device stays lost, at growing intervals (100 ms doubling to 2 s).
bool CheckDeviceState();
// The retry schedule back to its start (tests, start-up).
void ResetDeviceRecovery();

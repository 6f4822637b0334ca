// Pieces the screen run tests share: the drawing device on a fresh manager, installed as the
// program's (the recording null device, or real GL on the frame driver's offscreen window; both
// 1280 x 720 with the flat default camera), and where a shown button is to be clicked.
#pragma once
#include <cstdint>

#include "tests/support/frame_driver.h"

class CDGManager;
class CVMenuBase;

namespace v4test {

// The null device on `dg`; installed even when it fails, so the fixture's tear-down is the same.
bool StartNullDevice(CDGManager* dg);
// Real GL: false (nothing installed) when the driver gets no GL 3.3 context or the device fails.
bool StartGlDevice(FrameDriver& driver, CDGManager* dg);
// The centre of button `id` under `root`; {-1, -1} when there is none.
ScreenPoint ButtonCentre(CVMenuBase* root, int32_t id);

}  // namespace v4test

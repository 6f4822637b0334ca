// The real program started headless for the automatic player: the executable's own wiring of every
// subsystem (scenes, menus, dialogs, turn loop, battle rules and screens, interpreter, saves,
// sound on the dummy driver, movies), the null drawing device, a virtual clock and scripted input
// (FrameDriver), on a temporary game folder whose Data is the given folder's and whose SaveData
// starts empty. Error boxes are recorded instead of shown.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/device_frame_graphics.h"
#include "tests/support/frame_driver.h"
#include "tests/support/recording_boxes.h"
#include "tests/support/temp_module_dir.h"

class CDGManager;

namespace v4play {

class GameSession {
 public:
  GameSession();
  ~GameSession();
  GameSession(const GameSession&) = delete;
  GameSession& operator=(const GameSession&) = delete;

  // Starts the program on `gameDir` (a built game folder holding Data) up to the frame loop; the
  // game's random generator gets `randSeed` where the program takes the time. False with a reason.
  bool Start(const std::string& gameDir, uint32_t randSeed, uint32_t clockStartMs, std::string* error);

  FrameDriver& Driver() { return *driver_; }
  // Error boxes and message boxes the game raised, and questions put through the window's boxes.
  const std::vector<v4test::RecordedBox>& Boxes() const { return boxes_.boxes; }
  const std::vector<std::string>& AskedBoxes() const { return asked_; }
  // The temporary game folder (host path).
  const std::string& Folder() const { return folderPath_; }

 private:
  std::unique_ptr<v4test::TempModuleDir> folder_;
  std::string folderPath_;
  CDGManager* dg_ = nullptr;
  class Graphics;
  std::unique_ptr<Graphics> graphics_;
  std::unique_ptr<FrameDriver> driver_;
  v4test::RecordingBoxes boxes_;
  std::vector<std::string> asked_;
  bool started_ = false;
};

}  // namespace v4play

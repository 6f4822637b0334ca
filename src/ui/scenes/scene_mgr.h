// CVSceneMgr: the single owner of all scenes. It reads the scene transition table, creates scenes
// by id with the screen menus their record names, keeps the current scene and a stack of ids,
// carries out deferred change requests, updates and draws the current scene once per logic step
// and turns its result code into the next scene through the record's transitions. It owns the
// polled key state and the logic-step clock (a step is due every 16.667 ms or more).
//
// Two rules keep the game from crashing or freezing on a bad change:
// - A scene deleted while the manager's Update runs (for example by its own update popping
//   itself) is stopped and destroyed only at the end of that Update.
// - A pending request that fails is dropped with a log line instead of blocking the current scene.
#pragma once
#include <cstdint>
#include <deque>
#include <vector>

#include "core/cv_input.h"
#include "formats/scene/scene_table.h"

class CVScene;
class CVMenuBase;

using SceneFlowRecord = v4fmt::SceneFlowRecord;
using SceneFlowTable = v4fmt::SceneFlowTable;

struct SceneChangeRequest {
  int32_t mode = 0;    // 0 plain, 2 with a cover picture
  int32_t target = 0;  // 0 none pending, -1 pop
  int32_t push = -1;
  float coverWidth = 0.0f;
  float coverHeight = 0.0f;
  void Clear() { *this = SceneChangeRequest{}; }
};

// One logic step in milliseconds (the frame ratio's unit).
inline constexpr float kLogicStepMs = 16.666669845581055f;

class CVSceneMgr {
 public:
  // Makes the scene object of an id (null: cannot).
  using SceneFactory = CVScene* (*)(int32_t id);
  // Makes the screen menu of a menu type with its layout loaded (null for an unknown type).
  using MenuFactory = CVMenuBase* (*)(int32_t type, const char* layoutName);
  // Captures the current scene's widgets into an opened window of w × h (null when it fails).
  using CoverBuilder = CVMenuBase* (*)(const std::vector<CVMenuBase*>& widgets, float w, float h);

  CVSceneMgr();
  ~CVSceneMgr();
  CVSceneMgr(const CVSceneMgr&) = delete;
  CVSceneMgr& operator=(const CVSceneMgr&) = delete;

  // Reads the table (plain) through the game file reader; a missing file leaves it empty (false).
  bool LoadSceneTable(const char* path);
  void SetSceneTable(const SceneFlowTable& table) { table_ = table; }
  const SceneFlowTable& GetSceneTable() const { return table_; }
  // The first record whose id equals id (ids outside 1..100 have none).
  const SceneFlowRecord* FindRecord(int32_t id) const;

  bool CreateScene(int32_t id, CVMenuBase* mainMenu);
  bool DeleteScene(int32_t id);
  bool ChangeScene(int32_t id, int32_t push);
  bool ChangeSceneWithCover(int32_t id, int32_t push, float width, float height);
  bool PopScene();
  void UnwindStack(int32_t keepId);
  void RequestChange(int32_t id, int32_t push);
  void RequestChangeWithCover(int32_t id, int32_t push, float width, float height);
  const SceneChangeRequest& GetRequest() const { return request_; }

  bool Update();
  void Draw();
  bool UpdateFrameTimer();
  float GetFrameRatio() const { return frameRatio_; }
  void BroadcastDeviceReset();
  // Shutdown: every scene deleted (resident or not, without Stop), then the stack unwound.
  void DeleteAllScenes();

  int32_t GetCurrentSceneId() const { return currentId_; }
  CVScene* GetScene(int32_t id) const { return id >= 1 && id <= 100 ? scenes_[id] : nullptr; }
  CVScene* GetCurrentScene() const { return GetScene(currentId_); }
  CVScene* GetStackTopScene() const;
  const std::deque<uint16_t>& GetStack() const { return stack_; }

  int32_t GetMouseButton() const;
  bool IsKeyDown(int vk) const { return input_.IsDown(vk); }
  bool IsKeyPressed(int vk) const { return input_.IsPressed(vk); }
  bool IsKeyReleased(int vk) const { return input_.IsReleased(vk); }
  CVInput& GetInput() { return input_; }
  const CVInput& GetInput() const { return input_; }

  // The class registry: ids 1..12 and 100 (13..99 never create a scene).
  void SetSceneFactory(int32_t id, SceneFactory factory);
  void SetMenuFactory(MenuFactory factory) { menuFactory_ = factory; }
  void SetCoverBuilder(CoverBuilder builder) { coverBuilder_ = builder; }

  // Back to the constructed state: every scene deleted, empty table, default factories.
  void Reset();

 private:
  bool EnterScene(int32_t id, int32_t push);
  void DrainGraveyard();

  SceneChangeRequest request_;
  SceneFlowTable table_{};
  CVScene* scenes_[101] = {};
  int32_t currentId_ = -1;
  std::deque<uint16_t> stack_;
  CVInput input_;
  uint32_t lastFrameMs_ = 0xFFFFFFFFu;
  bool timerStarted_ = false;
  float frameRatio_ = 1.0f;

  SceneFactory factories_[101] = {};
  MenuFactory menuFactory_ = nullptr;
  CoverBuilder coverBuilder_ = nullptr;
  int updateDepth_ = 0;
  std::vector<CVScene*> graveyard_;
};

CVSceneMgr& GetSceneMgr();
// The scene object of an id 1..100, null when none.
CVScene* GetSceneById(int32_t id);
// The last wheel message word (its sign is the direction); cleared when asked.
int32_t GetWheelDelta(bool clear);

// The default class of each id: until a screen's own class registers, ids 1..12 are plain scenes
// (the title placeholder sets the idle game mode's successor), 10 is the dialog scene, 100 plain.
CVScene* CreateDefaultScene(int32_t id);

// The program's screen-menu factory (the menu factory of the widget library) and the cover
// capture through a sprite window; what Reset installs.
CVSceneMgr::MenuFactory DefaultSceneMenuFactory();
CVSceneMgr::CoverBuilder DefaultCoverBuilder();

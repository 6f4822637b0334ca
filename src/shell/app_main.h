// Program entry, start-up and shutdown: one ordered routine each, so that the subsystems still to
// come slot their steps in where the comments name them.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/frame_services.h"
#include "shell/main_window.h"
#include "shell/window_graphics.h"

// Frame period selector from the command line: its first four characters "-f30" give 1, "-f15"
// give 2, anything else 0.
int ParseFramePeriodSelector(const char* commandLine);
// 18 ms for selector 0 (and any other value), 35 ms for 1, 68 ms for 2.
int FramePeriodMs(int selector);

// Module directory of an executable path in program form (CP932, separators '\' or '/'): the
// path cut after its last separator, which stays; "" when the only separator is at index 0 or
// there is none. Lead-byte aware.
std::string CutModuleDir(const std::string& programPath);

// Steps of start-up and shutdown that belong to subsystems not built yet. Each is optional: a
// null step is skipped. The failure boxes of start-up follow each step's result.
struct StartupSteps {
  void (*clearScriptWatchList)() = nullptr;
  bool (*loadStartLabelList)() = nullptr;            // false: "ゲームバージョンが異なります。"
  const char* (*startLabelListFailure)() = nullptr;  // the file and what was expected of it
  bool (*initMovieManager)() = nullptr;  // false: "COMの初期化に失敗しました。終了します。"
  void (*loadSystemData)() = nullptr;
  void (*initSound)() = nullptr;
  void (*applyRenderOptionSetting)() = nullptr;
  void (*startStreamPlayers)() = nullptr;
  void (*purgeTextures)() = nullptr;
  void (*loadLineAndBoardTables)() = nullptr;
  void (*initMenuManager)() = nullptr;
  void (*saveSystemFiles)() = nullptr;
  void (*stopStreamPlayers)() = nullptr;
  void (*shutdownMovieManager)() = nullptr;
  void (*deleteMenuRoots)() = nullptr;
  void (*endStreamThreads)() = nullptr;
  // Per-frame game and media steps (sound fades, scripts, turn loop, movies); null: none.
  FrameGameHooks* gameHooks = nullptr;
  // The scene manager the frame drives; null: none (the frame runs no logic step).
  FrameSceneManager* sceneManager = nullptr;
  // What the window shows; null: black.
  WindowPictureSource* pictureSource = nullptr;
  // Debug mode only: opens the debug window after start-up, draws it once per message-loop pass
  // and closes it first at shutdown.
  void (*openDebugWindow)() = nullptr;
  void (*debugWindowPass)() = nullptr;
  void (*closeDebugWindow)() = nullptr;
  // Frees device resources at shutdown, after the frame stopped, with the GL context current.
  void (*releaseGraphics)() = nullptr;
};
StartupSteps& GetStartupSteps();

struct LaunchOptions {
  // Path of the executable (UTF-8); empty: the running one. Tests point it into a temporary folder.
  std::string executablePath;
  bool hiddenWindow = false;
  // Answers the boxes instead of the window's message boxes (tests).
  BoxShower boxShower;
};

// 1 once the debug marker "デバッグ\deb_str.bin" was found (working directory or module directory).
extern int32_t g_DebugFlag;
// Period of the running frame timer in ms (0 while none runs).
extern std::atomic<int32_t> g_FramePeriodMs;

// The whole program: start-up, message loop, shutdown. Returns the exit status: 0 after a normal
// run and for a second instance (which ends quietly); 1 when start-up failed (with no display to
// show the window on, the reason goes to the standard error stream).
int GameMain(const std::vector<std::string>& args, const LaunchOptions& options = {});

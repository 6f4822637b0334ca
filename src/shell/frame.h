// The timed frame: the timer callback marks a tick and counts the frame wait down, then runs one
// frame (logic step when due, then display) unless paused. All shared bytes are atomics: the
// main thread pauses, stops drawing and restores the device; the frame thread reads them.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>

extern std::atomic<uint32_t> g_FrameTimerId;  // 0 when no timer runs
extern std::atomic<bool> g_TickPending;
extern std::atomic<bool> g_FramePause;
extern std::atomic<bool> g_DisplayStop;
extern std::atomic<bool> g_FrameBusy;
extern std::atomic<uint32_t> g_LogicSteps;  // logic steps run since start-up
extern std::atomic<bool> g_DrawBusy;
extern std::atomic<bool> g_DeviceLost;
extern std::atomic<bool> g_ForceReset;
extern std::atomic<bool> g_AfterReset;
// Debug image state view: non-zero stops the game logic (display only).
extern std::atomic<int32_t> g_ImageStateView;

void SetFramePause(bool on);
bool IsFramePaused();
void SetDisplayStop(bool on);
bool IsDisplayStopped();

// The periodic timer's callback; calls carrying another id than g_FrameTimerId are ignored.
void FrameTimerProc(uint32_t timerId);
// UpdateFrame, then DisplayFrame when it asked for display. Always 0.
int RunFrame();
// 1 when the frame is to be displayed.
int UpdateFrame();
// Always 0; marks the device lost when presenting failed.
int DisplayFrame();

// Runs work on the frame thread, which owns the GL context, and returns its result: directly when
// no frame timer runs (start-up, tests), else at the start of the next tick while the caller waits.
// The main thread's device recovery goes through it.
bool RunOnFrameThread(const std::function<bool()>& work);

// Every shared frame byte back to its start value (start-up and tests).
void ResetFrameState();

// Debug mode's second window, wired into the shell's start-up steps.
#pragma once

struct DebugConsoleHooks;

// Installs the open, per-pass and close steps (they act only in debug mode).
void InstallDebugWindow();
void OpenDebugWindow();
void DebugWindowPass();
void CloseDebugWindow();
// The console's hooks in the running program.
DebugConsoleHooks MakeProgramDebugHooks();

// Connects the subsystems that exist to the shell's start-up, frame and shutdown seams.
#pragma once

// Fills GetStartupSteps() and the sound focus hooks; call once before GameMain.
void InstallGameSubsystems();

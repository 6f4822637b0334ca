// The scenario engine's services in the program: sound, the play record, the scene manager, the
// strategy save words and the shell, installed by the game wiring.
#pragma once

void InstallScenarioEngine();

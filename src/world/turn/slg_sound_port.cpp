#include "world/turn/slg_sound_port.h"

namespace {
SlgSoundPort g_silent;
SlgSoundPort* g_sound = &g_silent;
}  // namespace

SlgSoundPort& SlgSound() { return *g_sound; }
void SetSlgSoundPort(SlgSoundPort* port) { g_sound = port ? port : &g_silent; }

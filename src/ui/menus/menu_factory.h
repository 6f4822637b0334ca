// The menu factory: a menu type of the scene table becomes a screen-menu object that loads its
// layout. Screen classes of the later subsystems register their types here; the types without
// behaviour (10, 80, 100, 120, 10000) are plain scene roots from the start.
#pragma once
#include <cstdint>

class CVMenuSceneRoot;

using MenuSceneCreator = CVMenuSceneRoot* (*)(int32_t type);

// Registers (or replaces, or with null removes) the creator of a type.
void RegisterMenuType(int32_t type, MenuSceneCreator creator);
// Types above 10000, outside 10..120 other than 10000, or not registered: null. Otherwise the new
// menu, which has loaded its layout (a menu whose layout failed is still returned). It sits in the
// manager's root list until its scene takes it.
CVMenuSceneRoot* CreateMenuScene(int32_t type, const char* layoutName);

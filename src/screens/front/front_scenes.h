// The front end's scene classes, registered with the scene manager by id.
#pragma once

class CVSceneMgr;

// Title (1), save (4) and load (5), settings (6), tutorial (12), with the menu types 60 (save
// and load) and 70 (settings).
void RegisterFrontScenes(CVSceneMgr& mgr);

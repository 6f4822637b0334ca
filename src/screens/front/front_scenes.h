// The front end's scene classes, registered with the scene manager by id.
#pragma once

class CVSceneMgr;

// Title (1). Screens of the front end that exist register here as they land.
void RegisterFrontScenes(CVSceneMgr& mgr);

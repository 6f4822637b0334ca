// The backdrop of the screens opened over another one (tutorial, settings, save and load): the
// cover picture of the screen beneath, handed over by the cover change, is drawn once into the
// panel's own picture, darkened, and the cover is then dropped, so the panel shows a still,
// dimmed image of the previous screen.
#pragma once

class CVScene;
class CVMenuBase;

// The darkening when the panel's reference parameter 1 (the value) is 0: a third of the light.
inline constexpr float kCoverBackdropDefaultValue = 0.35f;

// The blend widget (a mask, never a picture of its own) is hidden in every case. Without a cover,
// or when the panel is not a window with a sprite, the panel keeps its own picture; false then.
bool BuildCoverBackdrop(CVScene& scene, CVMenuBase* panel, CVMenuBase* blend);

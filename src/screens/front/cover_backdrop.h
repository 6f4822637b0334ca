// The backdrop of the screens opened over another one (tutorial, settings, save and load): the
// cover picture of the screen beneath, handed over by the cover change, is blurred, faded by the
// blend widget's pattern and shifted in saturation and value (the panel's reference parameters 0
// and 1), drawn once into the panel's own picture, and the cover is then dropped: the panel shows
// a still, filtered image of the previous screen.
#pragma once

class CVScene;
class CVMenuBase;

// The blur's dispersion (the Gauss filter's weights fall off as exp(-d * x * x)).
inline constexpr float kCoverBlurDispersion = 0.02f;
// The picture is filtered at this fraction of the panel's size in each direction and shown
// stretched: the blur hides the lost detail, and the work is a sixteenth of the full size.
inline constexpr int kCoverBackdropReduction = 4;

// The blend widget (a mask, never a picture of its own) is hidden in every case. Without a cover,
// or when the panel is not a window with a sprite, the panel keeps its own picture; false then.
bool BuildCoverBackdrop(CVScene& scene, CVMenuBase* panel, CVMenuBase* blend);
// The chain's device objects are kept between backdrops (and made again when the device manager,
// the size or the pattern changes); this lets them go now.
void ReleaseCoverBackdropChain();

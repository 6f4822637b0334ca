// Geometry and numbering of the battle field view: where a unit stands in model space, which
// background, unit model, motion and castle numbers the battle's state selects, and which field
// cell a camera cell preset looks at. Pure functions, shared by the scene and the tests.
#pragma once

struct FieldPoint {
  float across;  // across the lanes
  float along;   // along the lanes (columns)
};

inline constexpr float kLaneSpacing = 273.4f;
inline constexpr float kColumnSpacing = 158.2f;

// Position of a unit in shown lane (1-based) and column; a shown lane of 5 or more, or a column of 8
// or more, keeps the current coordinate on that axis.
FieldPoint KassenFieldPosition(int sizeClass, int shownLane, int column, FieldPoint current);
// Background number from the random number r (below 100) and the battle's flags and weather.
int KassenBackgroundId(int r, bool roadLinked, bool siroFlag, int weather);
// Unit picture and model number (also the generic face of a unit without a general).
int KassenUnitModelId(int kind, bool gunVolley, bool roadLinked, bool playerSide);
// Attack motion number.
int KassenUnitMotionId(int kind, bool gunVolley, bool roadLinked, bool charge);
// Castle model number of the siege view; + 100 for the burning variant.
int KassenCastleNumber(int castleLevel, bool sideFlag, bool burning);
// Castle texture of a castle number ("shiro_s.dds", "shiro_m.dds", "shiro_b.dds").
const char* KassenCastleTexture(int n);
// The field cell a cell preset (13..54) looks at: shown lane (1-based) and column; false for
// other presets.
bool KassenCellPreset(int preset, int& shownLane, int& column);

// Where the flat field view draws a field point on the 1280 x 720 screen: columns run left to
// right (75 pixels apart from x 300), lanes top to bottom (70 pixels apart from y 140).
void KassenFieldScreen(FieldPoint p, float& x, float& y);

// Geometry and numbering of the battle field view: where a unit stands in model space, which
// background, unit model, motion and castle numbers the battle's state selects, which view a camera
// preset gives, which sky and water layers a background has, and the play-record toggles. Pure
// functions and small value types, shared by the field, the scene and the tests.
#pragma once
#include <cstdint>
#include <string>

struct FieldPoint {
  float across;  // across the lanes
  float along;   // along the lanes (columns)
};

inline constexpr float kLaneSpacing = 273.4f;
inline constexpr float kColumnSpacing = 158.2f;
// The last shown lane that has a place across the field: the reserve place one lane beyond the
// five lanes of the largest field.
inline constexpr int kLastPlacedLane = 6;

// Position of a unit in shown lane (1-based, up to 6: the lane after the field's last is its
// reserve place) and column (0..7); another lane or column keeps the current coordinate on that
// axis.
FieldPoint KassenFieldPosition(int sizeClass, int shownLane, int column, FieldPoint current);
// Whether a model placed at b has to move from a (more than the float epsilon on either axis).
bool KassenFieldMoved(FieldPoint a, FieldPoint b);
// Walk animation from a to b for a side: 7 towards the enemy, 8 back. Side 0 advances towards the
// higher columns, which lie further down the negative along axis.
int KassenWalkAnimation(int side, FieldPoint a, FieldPoint b);
// Background number from the random number r (below 100) and the battle's flags and weather.
int KassenBackgroundId(int r, bool roadLinked, bool siroFlag, int weather);
// Weather model: 0 or 1 for rain and fog (1 on a river crossing), 0 on a clear river crossing,
// else -1 (none).
int KassenWeatherModel(bool roadLinked, int weather);
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

// A camera key: the point looked at, the view's rotation (pitch down, yaw about the vertical,
// roll; degrees), the distance of the eye from the target and the vertical field of view.
struct KassenCameraKey {
  float target[3] = {0, 0, 0};  // field space: x along, y up, z across
  float pitch = 0, yaw = 0, roll = 0;
  float distance = 1000;
  float fov = 20;
};
// The key of a preset: 1..12 fixed views (close-up variants while closeUp is set), 13..54 field
// cells, 55..60 the units of the six unit panels (panelUnits, field points). False for any other
// preset (no move).
bool KassenCameraPreset(int preset, bool closeUp, int sizeClass, const FieldPoint (&panelUnits)[6],
                        KassenCameraKey& key);
// The eye of a key in field space.
void KassenCameraEye(const KassenCameraKey& key, float eye[3]);

// The camera's track: keys appended with their durations play one after the other; a key takes
// over from where the camera stands when its turn comes (eased, every value blended).
class KassenCameraTrack {
 public:
  void Jump(const KassenCameraKey& key);
  void Append(const KassenCameraKey& key, float durationMs);
  void Advance(float ms);
  // Ends the track at once on its last key.
  void Finish();
  bool Running() const { return count_ > 0; }
  const KassenCameraKey& Current() const { return current_; }

 private:
  static constexpr int kMaxKeys = 8;
  KassenCameraKey current_, from_;
  KassenCameraKey keys_[kMaxKeys];
  float durations_[kMaxKeys] = {};
  int count_ = 0;
  float elapsed_ = 0;
};

// One scrolling layer of sky or water: its picture, the cloud shader's kind, cycle lengths and
// pattern (the background number filled into "Data/Image/kassen/bg/%d/wave_a.dds" for kind 3).
struct KassenSkyLayer {
  const char* texture;
  int kind;
  float period;
  float period2;  // the two-value form (kind 2)
  bool pattern;
};
// The layers of a background, sky first; the count.
int KassenSkyLayers(int background, KassenSkyLayer (&out)[4]);

// The battle screen's two toggles in the play record's option word: bit 3 set turns the attack
// presentation off, bit 4 set turns the overview camera on.
inline constexpr uint32_t kPlcAttackPresentationOff = 8;
inline constexpr uint32_t kPlcOverviewCamera = 16;
inline bool KassenAttackPresentationOn(uint32_t options) { return (options & kPlcAttackPresentationOff) == 0; }
inline bool KassenOverviewCameraOn(uint32_t options) { return (options & kPlcOverviewCamera) != 0; }
uint32_t KassenWithAttackPresentation(uint32_t options, bool on);
uint32_t KassenWithOverviewCamera(uint32_t options, bool on);
// The toggle button's picture pair: attack presentation (0, 5) on, (1, 6) off; overview camera
// (2, 7) on, (3, 8) off.
void KassenTogglePictures(bool overviewToggle, bool on, int& normal, int& lit);

// A damage figure's style (6..9) and the number it shows: a value of 0 or more shows style 8 (style
// 6 with the value negated for the kind flag), a negative one style 9 with its magnitude (style 7
// with the value itself for the kind flag).
int KassenDamageStyle(int value, bool kindFlag, int& shown);

// Where the flat field view draws a field point on the 1280 x 720 screen: columns run left to
// right (75 pixels apart from x 300), lanes top to bottom (70 pixels apart from y 140).
void KassenFieldScreen(FieldPoint p, float& x, float& y);

// The free debug camera (debug mode only): turned by dragging with the left button (yaw by the
// horizontal movement / 10, wrapped into -360..360; pitch by the vertical movement / 10, within
// -89..89), moved away or closer by dragging with the right button, panned (Ctrl and left) or
// moved in depth (Ctrl and right); the wheel narrows or widens the view by 0.1 degree a step (1.0
// with Ctrl), within 0.1..179. F1 steps through the views of KassenFreeCameraPresets.
class KassenFreeCamera {
 public:
  bool On() const { return on_; }
  // On: starts from the key given (the view on show).
  void Toggle(const KassenCameraKey& from);
  void SetKey(const KassenCameraKey& key) { key_ = key; }
  const KassenCameraKey& Key() const { return key_; }
  void Drag(bool leftButton, bool ctrl, float dx, float dy);
  void Wheel(int steps, bool ctrl);
  // The preset the next F1 moves to.
  int NextPreset();

  static float WrapYaw(float yaw);
  static float ClampPitch(float pitch);
  static float ClampFov(float fov);

 private:
  bool on_ = false;
  KassenCameraKey key_;
  int presetStep_ = 0;
};
// The views F1 steps through: the two overviews, then the six panel units.
inline constexpr int kKassenFreeCameraPresets[] = {1, 2, 55, 56, 57, 58, 59, 60};

// The debug panel's lines: a lane place's unit ("%d : %s\t(x:%d)", the tab expanded to the next
// multiple of 8 columns) or "%d : ----" without one (name null); the camera's target, its pitch and
// yaw, and its field of view.
std::string KassenDebugUnitLine(int lane, const char* name, int column);
std::string KassenDebugCameraLines(const KassenCameraKey& key);

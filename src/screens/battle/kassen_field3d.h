// The battle field in perspective: background, field and weather models by the battle's data,
// scrolling sky and water, the unit figures of the 2 x 6 lane places (walking when they move,
// playing their motion when they attack), the camera on its track of presets, the action steps of
// an attack with their damage figures, the full presentation, the skill cut-in and the siege view
// with its castle and fire. It follows the battle board each frame (Sync) and keeps its own clock
// (Update), so it runs the same headless; Draw only queues it for the next frame.
#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "screens/battle/field_view.h"

class CDGManager;
class CDGModelRenderer;
class CDGTextRenderer;
class CDGTexture;
class CVShader;
struct BattleState;

// One attack as the field shows it.
struct KassenAttack {
  int side = 0;         // the actor's side
  int originLane = 0;   // lane place the attack starts from (0-based)
  int targetLane = -1;  // lane place of the opposite side, -1 none
  int motion = 0;       // KassenUnitMotionId
  bool gunVolley = false;
  int actorModel = -1;       // the model the origin shows while attacking (detached force), -1 keeps
  int voice = -1;            // the actor's general's voice number, -1 none
  int voiceLine = 10;        // 10 attack, 13 charge, 14 gun volley
  int actorValues[2] = {};   // damage figures at the actor, first and second
  int targetValues[2] = {};  // and at the target
  int actorUnit = -1;        // the units (0..5 of their sides) for the duel panels, -1 none
  int targetUnit = -1;
};

class KassenField3D {
 public:
  static constexpr int kPlaces = 6;  // lane places per side: five lanes and the reserve place

  explicit KassenField3D(CDGManager* manager);
  ~KassenField3D();
  KassenField3D(const KassenField3D&) = delete;
  KassenField3D& operator=(const KassenField3D&) = delete;

  // Once when the screen opens: models, pictures and shaders by the battle's state and the random
  // number r (below 100); the toggles from the play record's option word.
  void Setup(int r, const BattleState& b, uint32_t options);
  // Follows the board: which unit stands in which place, where, whether it is seen, the siege.
  void Sync(const BattleState& b);
  // Advances every clock by ms; a click skips what is playing (a pending display change excepted).
  void Update(float ms, bool click);
  // Queues the field for the next frame (drawn behind everything else).
  void Draw();

  void PlaceUnitModel(int side, int place, int column, int shownLane);
  void RestartIdle(int side, int place);
  // The place shows the figure of model number `model` (-1 none); a change from another unit
  // first plays the switch (animation 6).
  void SetLaneUnit(int side, int place, int model, int unit, bool force);
  void MarkActor(int side, int place);
  void MoveCamera(int preset, int durationMs);
  void StartAttack(const KassenAttack& a);
  // What the rules did (the battle port's action kinds): an attack, charge or volley joins the
  // queue of actions, each shown in turn; 3 a figure at the unit, 11 a skill's cut-in, 12 the
  // unit's figure shows a skill's effect.
  void PresentAction(const BattleState& b, int side, int unit, int kind, int value, int a, int bv, int c);
  void ShowDamage(int side, int place, int value, bool kindFlag, bool show);
  // A skill of a side's unit takes effect. With its cut-in flag the band plays through the mask
  // shader with the skill's two pictures (each shown only when it loads) and the unit's face;
  // without it the unit's figure restarts and the screen is asked to refresh its panels.
  void PlaySkillCutin(int side, int unit, int skill, bool withCutin);
  // True once after a skill without cut-in asked for the panels to be refreshed.
  bool TakePanelRefresh();
  void ShowSiege(int castleLevel, bool sideFlag, int attackerSide, int soldiers);
  // The siege view from the board, once (the castle burns below half the strength it began with).
  void StartSiege(const BattleState& b);
  void SetCastleBurning(bool burning);
  // The castle gate: half 1 shakes it shut under the attack, half 2 swings it open (the castle
  // falls). Each half plays once.
  void PlayGate(int half);

  // The running flag the battle waits on: camera track, presentation, figures, cut-in.
  bool IsActionPlaying() const;

  // The rain's loop (weather 1) plays from Setup until the field goes or this is called.
  void StopAmbience();
  bool RainPlaying() const { return rainPlaying_; }

  // The free debug camera and its panel (only while debug mode is on): Space toggles both; while
  // it is on, Esc toggles the overlay of the field's cells, F1 steps through the views, drags and
  // the wheel move it.
  struct DebugInput {
    bool space = false, f1 = false, escape = false;  // pressed this frame
    bool left = false, right = false, ctrl = false;  // held
    int x = 0, y = 0;                                // pointer
    int wheel = 0;                                   // steps, + away from the player
  };
  void DebugControl(const DebugInput& in, bool debugMode);
  // The scene's input for DebugControl (the wheel is taken only while the free camera is on).
  static DebugInput ReadDebugInput(bool freeCameraOn);
  bool FreeCameraOn() const { return free_.On(); }
  bool DebugOverlayOn() const { return overlay_; }
  const KassenFreeCamera& FreeCamera() const { return free_; }
  // The panel's text as last built (CP932), empty while the panel is off.
  const std::string& DebugPanelText() const { return panelText_; }
  // The toggles; a flip by a click is ignored while an action is playing. Each flip is written to
  // the play record at once. False when ignored.
  bool FlipAttackPresentation(bool byClick);
  bool FlipOverviewCamera(bool byClick);
  bool AttackPresentationOn() const { return presentation_; }
  // The close-up toggle: presets 3 to 12 take their group's close-up; the current view follows.
  void SetCloseUp(bool on);
  bool CloseUp() const { return closeUp_; }
  bool OverviewCameraOn() const { return overview_; }

  // What the field shows (tests and the debug overlay).
  int Background() const { return background_; }
  int WeatherModel() const { return weatherModel_; }
  int SkyLayerCount() const { return static_cast<int>(layers_.size()); }
  int DisplayMode() const { return displayMode_; }
  int ActionStep() const { return step_; }
  // The attack the action steps present (while ActionStep() is not 0).
  const KassenAttack& CurrentAttack() const { return action_; }
  int CameraPreset() const { return preset_; }
  const KassenCameraKey& Camera() const { return track_.Current(); }
  bool PlaceShown(int side, int place) const;
  FieldPoint PlacePoint(int side, int place) const;
  int PlaceModel(int side, int place) const;
  // 0 idle, 6 switching, 7 / 8 walking, 100 + motion attacking.
  int PlaceAnimation(int side, int place) const;
  int ActiveFigures() const { return static_cast<int>(figures_.size()); }
  int CastleNumber() const { return castleNumber_; }
  bool CastleBurning() const { return burning_; }
  // Where the castle stands along the lanes (its middle across them is the field's).
  float CastleAlong() const { return castleAlong_; }
  int GateHalf() const { return gateHalf_; }
  int MarkedSide() const { return markSide_; }
  int MarkedPlace() const { return markPlace_; }
  bool CutinPlaying() const;
  int CutinSkill() const { return cutinSkill_; }
  // Which of the cut-in's two skill pictures and the face loaded and show.
  bool CutinPictureShown(int i) const { return i >= 0 && i < 2 && cutinPictures_[i] != nullptr; }
  bool CutinFaceShown() const { return cutinFace_ != nullptr; }
  int LoadedModels() const;
  // Screen position (1280 x 720 pixels) of a field point under the current camera; false when it
  // lies behind the eye.
  bool ProjectToScreen(float along, float up, float across, float& x, float& y) const;

 private:
  class Renderer;
  struct Figure;
  struct Layer;
  struct Damage {
    int side, place, style, shown;
    float age;
    bool visible;
  };

  CDGModelRenderer* LoadModel(const std::string& name);
  CDGTexture* LoadTexture(const std::string& name);
  // A picture outside the field's folder (path from the program directory); null when missing.
  CDGTexture* LoadPicture(const std::string& path);
  void ReleaseCutinPictures();
  const KassenCameraKey& ViewKey() const { return free_.On() ? free_.Key() : track_.Current(); }
  void BuildDebugPanel();
  void DrawDebugOverlay();
  void RenderField();
  void DrawQuad(CDGTexture* tex, CVShader* shader, const float (&corner)[4][3], float uRepeat, float vRepeat,
                uint32_t argb);
  void DrawFigures();
  void StepAction();
  bool FiguresPlaying() const;
  void PoseFigure(Figure& f);
  bool Seen(const BattleState& b, int side, int unit) const;
  void KeepGenerals(const BattleState& b);
  int PlaceOfUnit(const BattleState& b, int side, int unit) const;

  CDGManager* manager_;
  Renderer* renderer_ = nullptr;
  int sizeClass_ = 2;
  int laneCount_ = 5;
  int background_ = 0;
  int weatherModel_ = -1;
  int weather_ = 0;
  bool roadLinked_ = false;
  CDGModelRenderer* backgroundModel_ = nullptr;
  CDGModelRenderer* fieldModel_ = nullptr;
  CDGModelRenderer* rainModel_ = nullptr;
  CDGModelRenderer* castleModel_ = nullptr;
  CDGModelRenderer* burningModel_ = nullptr;
  std::vector<std::unique_ptr<Layer>> layers_;
  std::unique_ptr<Layer> fire_, cutin_;
  std::vector<std::unique_ptr<Figure>> figures3d_;  // side * kPlaces + place
  std::deque<KassenAttack> pending_;
  KassenAttack action_;
  int step_ = 0;
  int displayMode_ = 1;
  float presentationWait_ = 0;
  std::vector<Damage> figures_;
  CDGTexture* figureSheet_ = nullptr;
  KassenCameraTrack track_;
  int preset_ = 0;
  FieldPoint panelUnits_[6] = {};
  bool presentation_ = true;
  bool overview_ = false;
  bool closeUp_ = false;
  int markSide_ = -1, markPlace_ = -1;
  // The generals of the units as last seen (the cut-in's face).
  uint16_t generals_[2][6] = {};
  bool siege_ = false;
  int siegeStartLevel_ = 0;
  int castleNumber_ = -1;
  bool burning_ = false;
  float castleAlong_ = 0;
  float cutinAge_ = -1;
  int cutinSkill_ = 0;
  std::deque<std::array<int, 3>> cutinQueue_;  // side, unit, skill of the cut-ins still to show
  CDGTexture* cutinPictures_[2] = {};
  CDGTexture* cutinFace_ = nullptr;
  bool panelRefresh_ = false;
  bool rainPlaying_ = false;
  KassenFreeCamera free_;
  bool overlay_ = false;
  int lastPointer_[2] = {-1, -1};
  std::string panelText_;
  CDGTextRenderer* panel_ = nullptr;
  std::string unitLines_;  // the panel's unit lines, from the last Sync
  int gateHalf_ = 0;
  float gateAge_ = -1;
  int restoreModel_ = -1, restoreUnit_ = -1;
};

#include "screens/battle/kassen_field3d.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>

#include "battle/battle_rules.h"
#include "battle/battle_state.h"
#include "core/cv_input.h"
#include "core/game_file.h"
#include "render/dg_manager.h"
#include "render/dg_math.h"
#include "render/dg_texture.h"
#include "render/effect/shader.h"
#include "render/file_load.h"
#include "render/model/model_renderer.h"
#include "render/text/text_renderer.h"
#include "save/system_files.h"
#include "sound/busyo_voice.h"
#include "sound/sound.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/sized_picture.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

constexpr const char* kDir = "Data\\Image\\kassen\\";
constexpr float kFigureScale = 2.2f;
constexpr float kWalkMs = 600.0f;
constexpr float kSwitchMs = 400.0f;
constexpr float kDamageMs = 900.0f;
constexpr float kCutinMs = 500.0f;
constexpr float kCutinHoldMs = 700.0f;
constexpr float kModeChangeMs = 300.0f;
constexpr float kGateMs = 1200.0f;
constexpr float kPi = 3.14159265358979f;
// The skill's two cut-in pictures by skill number, and the general's face (as the unit panels).
constexpr const char* kSkillPicture = "skill\\%d_%d.png";
constexpr const char* kFacePicture = "Data\\Image\\face\\f%02d.png";
constexpr int kFaceCount = 16;
constexpr int kCutinFaceSide = 180;  // the face's drawn size (its copy of this size when the data has one)
// The rain loops on an effect channel that neither the battle (3) nor the buttons (6) play on.
constexpr int kRainChannel = 4;
constexpr const char* kRainSound = "Data\\slg_se\\kassen_rain.voi";

std::string Numbered(const char* pattern, int n, int m = 0) {
  char b[160];
  std::snprintf(b, sizeof b, pattern, n, m);
  return b;
}

// The attack motion's file: 0 attack, 1 charge, 2 volley.
int MotionFile(int motion) {
  if (motion == 6) return 2;
  return motion == 1 || motion == 3 || motion == 5 ? 1 : 0;
}

void Release(CDGModelRenderer*& m) {
  if (m) m->Release();
  m = nullptr;
}

}  // namespace

// A scrolling picture drawn with a shader; it is the shader's owner (clock, picture, colour).
struct KassenField3D::Layer : ShaderOwner {
  CDGTexture* texture = nullptr;
  std::unique_ptr<CVShader> shader;
  float step = 0;
  float ShaderTimeStep() const override { return step; }
  CDGTexture* ShaderSourceTexture() const override { return texture; }
  void ShaderColor(float* r, float* g, float* b, float* a) const override { *r = *g = *b = *a = 255.0f; }
  ~Layer() override {
    shader.reset();
    if (texture) texture->Release();
  }
};

// The figure of one lane place: the models of each unit model number it has shown (walk, then
// attack, charge and volley, loaded when first played) and where it stands and goes.
struct KassenField3D::Figure {
  struct Set {
    CDGModelRenderer* walk = nullptr;
    CDGModelRenderer* motion[3] = {};
  };
  std::map<int, Set> sets;
  int side = 0;
  int model = -1, unit = -1;
  bool placed = false, visible = true;
  FieldPoint pos{0, 0}, from{0, 0}, to{0, 0};
  int anim = 0;
  float t = 0;
  ~Figure() {
    for (auto& [n, s] : sets) {
      Release(s.walk);
      for (auto*& m : s.motion) Release(m);
    }
  }
};

// The field's one renderer: queued each frame, drawn before every other (lowest key), with its own
// perspective camera; it puts the screen's camera back when done.
class KassenField3D::Renderer : public CDGRendererBase {
 public:
  Renderer(CDGManager* m, KassenField3D* field) : CDGRendererBase(m), field_(field) {}
  void Update(float) override {}
  void Draw(bool, bool, bool) override {
    if (field_) field_->RenderField();
  }
  float GetSortKey() override { return -3.0e38f; }
  void Forget() { field_ = nullptr; }

 private:
  KassenField3D* field_;
};

KassenField3D::KassenField3D(CDGManager* manager) : manager_(manager) {
  for (int i = 0; i < 2 * kPlaces; ++i) {
    figures3d_.push_back(std::make_unique<Figure>());
    figures3d_.back()->side = i / kPlaces;
  }
  track_.Jump(KassenCameraKey{});
  for (auto& side : generals_) std::fill(std::begin(side), std::end(side), kNoUnitGeneral);
  if (manager_ && manager_->Device()) renderer_ = new Renderer(manager_, this);
}

KassenField3D::~KassenField3D() {
  if (renderer_) {
    // The renderer's own manager pointer is cleared when the manager goes first.
    if (CDGManager* m = renderer_->GetManager()) m->RemoveRenderer(renderer_);
    renderer_->Forget();
    renderer_->Release();
  }
  Release(backgroundModel_);
  Release(fieldModel_);
  Release(rainModel_);
  Release(castleModel_);
  Release(burningModel_);
  if (figureSheet_) figureSheet_->Release();
  ReleaseCutinPictures();
  if (panel_) panel_->Release();
  StopAmbience();
}

void KassenField3D::StopAmbience() {
  // Only the field's own loop: the channel may have been given to another sound since.
  if (rainPlaying_ && IsChannelFile(kRainChannel, kRainSound)) StopChannel(kRainChannel);
  rainPlaying_ = false;
}

CDGModelRenderer* KassenField3D::LoadModel(const std::string& name) {
  if (!manager_ || !manager_->Device()) return nullptr;
  auto* m = new CDGModelRenderer(manager_);
  // The field keeps the models' clocks itself (so they advance headless too) and draws them.
  manager_->RemoveRenderer(m);
  const std::string path = std::string(GetModuleDir()) + kDir + name;
  auto* loader = new CDGFileLoad_QZT(path.c_str());
  m->LoadModel(loader);
  loader->Release();
  if (!m->HasModel()) {
    m->Release();
    return nullptr;
  }
  m->RestartAnimation(true);
  return m;
}

CDGTexture* KassenField3D::LoadTexture(const std::string& name) { return LoadPicture(kDir + name); }

CDGTexture* KassenField3D::LoadPicture(const std::string& name) {
  if (!manager_ || !manager_->Device()) return nullptr;
  const std::string path = std::string(GetModuleDir()) + name;
  auto* loader = new CDGFileLoad_QZT();
  CDGTexture* t = manager_->LoadTextureFromLoader(path.c_str(), loader, 1);
  loader->Release();
  return t;
}

void KassenField3D::Setup(int r, const BattleState& b, uint32_t options) {
  sizeClass_ = std::clamp<int>(b.siroSize, 0, 2);
  laneCount_ = std::clamp<int>(b.laneCount, 0, kBattleMaxLanes);
  weather_ = b.weather;
  roadLinked_ = b.roadLinked != 0;
  background_ = KassenBackgroundId(r, roadLinked_, b.siroFlag != 0, b.weather);
  weatherModel_ = KassenWeatherModel(roadLinked_, b.weather);
  backgroundModel_ = LoadModel(Numbered("bg\\%d\\bg.x", background_));
  fieldModel_ = LoadModel(Numbered("field\\%d.x", sizeClass_));
  if (weatherModel_ >= 0 && b.weather != 0) rainModel_ = LoadModel(Numbered("weather\\%d.x", weatherModel_));
  KassenSkyLayer sky[4];
  const int n = KassenSkyLayers(background_, sky);
  for (int i = 0; i < n; ++i) {
    auto layer = std::make_unique<Layer>();
    layer->texture = LoadTexture(sky[i].texture);
    const std::string pattern = sky[i].pattern ? Numbered("Data\\Image\\kassen\\bg\\%d\\wave_a.dds", background_) : "";
    if (sky[i].kind == 2)
      layer->shader = std::make_unique<CVShaderKsnCloud>(sky[i].period, sky[i].period2, sky[i].kind, pattern.c_str());
    else
      layer->shader = std::make_unique<CVShaderKsnCloud>(sky[i].period, sky[i].kind, pattern.c_str());
    if (manager_ && manager_->Device()) {
      layer->shader->SetUserData(layer.get());
      layer->shader->Load();
      layer->shader->Enable();
    }
    layers_.push_back(std::move(layer));
  }
  figureSheet_ = LoadTexture("figures.png");
  if (b.weather == 1 && !rainPlaying_) {
    PlaySound(kRainChannel, kRainSound, 1, 0, 0);
    rainPlaying_ = true;
  }
  presentation_ = KassenAttackPresentationOn(options);
  overview_ = KassenOverviewCameraOn(options);
  KassenCameraKey k;
  preset_ = overview_ ? 2 : 1;
  if (KassenCameraPreset(preset_, closeUp_, sizeClass_, panelUnits_, k)) track_.Jump(k);
  Sync(b);
}

bool KassenField3D::Seen(const BattleState& b, int side, int unit) const {
  if (side == 0 || b.weather != 2) return true;
  const BattleUnit& u = b.sides[side].units[unit];
  return u.lane < b.laneCount && (EnemyAhead(1, u.lane) || EnemyBehindLane(1, u.lane) || EnemyNextLane(1, u.lane));
}

void KassenField3D::Sync(const BattleState& b) {
  if (b.laneCount == 0) return;
  laneCount_ = std::min<int>(b.laneCount, kBattleMaxLanes);
  for (int side = 0; side < 2; ++side) {
    for (int place = 0; place < kPlaces; ++place) {
      Figure& f = *figures3d_[side * kPlaces + place];
      int unit = -1, column = 0;
      if (place < laneCount_) {
        const BattleFieldSlot& s = b.slots[side][place];
        if (s.unit < kBattleUnits && s.column < 8 && b.sides[side].units[s.unit].general != kNoUnitGeneral) {
          unit = s.unit;
          column = s.column;
        }
      } else if (place == laneCount_) {
        // The reserve place: the detached unit waiting beside the field.
        for (int i = 0; i < kBattleUnits && unit < 0; ++i) {
          const BattleUnit& u = b.sides[side].units[i];
          if (u.general != kNoUnitGeneral && u.lane == b.laneCount && u.soldiers > 0) unit = i;
        }
      }
      if (siege_) unit = -1;  // the siege shows the attacking army as one figure
      if (unit < 0) {
        if (!siege_ || place != 2 || side != b.attackerSide) SetLaneUnit(side, place, -1, -1, false);
        continue;
      }
      const BattleUnit& u = b.sides[side].units[unit];
      SetLaneUnit(side, place, KassenUnitModelId(u.kind, false, roadLinked_, side == 0), unit, false);
      PlaceUnitModel(side, place, column, place + 1);
      f.visible = Seen(b, side, unit);
    }
  }
  for (int i = 0; i < kBattleUnits; ++i) {
    const BattleUnit& u = b.sides[0].units[i];
    const int column = u.lane < b.laneCount ? b.slots[0][u.lane].column : 0;
    panelUnits_[i] =
        KassenFieldPosition(sizeClass_, u.lane < b.laneCount ? u.lane + 1 : b.laneCount + 1, column, FieldPoint{0, 0});
  }
  KeepGenerals(b);
  if (free_.On()) {
    unitLines_.clear();
    for (int side = 0; side < 2; ++side)
      for (int lane = 0; lane < laneCount_; ++lane) {
        const BattleFieldSlot& s = b.slots[side][lane];
        const bool unit = s.unit < kBattleUnits && b.sides[side].units[s.unit].general != kNoUnitGeneral;
        const BusyoRecord* g = unit ? BusyoPtr(b.sides[side].units[s.unit].general) : nullptr;
        unitLines_ += KassenDebugUnitLine(lane, unit ? (g ? g->name : "") : nullptr, s.column) + "\n";
      }
  }
  // The current actor is marked on the field.
  if (b.currentActor >= 0 && b.currentActor < static_cast<int>(b.order.size())) {
    const BattleOrderEntry& e = b.order[b.currentActor];
    const int lane = e.side < 2 && e.unit < kBattleUnits ? b.sides[e.side].units[e.unit].lane : kNoLane;
    MarkActor(e.side, lane <= b.laneCount ? lane : -1);
  } else {
    MarkActor(-1, -1);
  }
  // The siege: the rounds fought at the castle once the attackers storm or besiege it (the rules
  // usually start it earlier, when the siege begins). The gate is the rules' to move.
  if ((b.siegeOrder == kOrderStorm || b.siegeOrder == kOrderBesiege) && b.fieldBattle == 0) StartSiege(b);
  if (siege_) SetCastleBurning(b.siroLevel == 0 || b.siroLevel * 2 < siegeStartLevel_);
}

void KassenField3D::StartSiege(const BattleState& b) {
  if (siege_) return;
  int soldiers = 0;
  for (const BattleUnit& u : b.sides[b.attackerSide].units)
    if (u.general != kNoUnitGeneral) soldiers += u.soldiers;
  siegeStartLevel_ = b.siroLevel;
  ShowSiege(b.siroLevel, b.attackerSide == 0, b.attackerSide, soldiers);
}

void KassenField3D::KeepGenerals(const BattleState& b) {
  for (int side = 0; side < 2; ++side)
    for (int i = 0; i < kBattleUnits; ++i) generals_[side][i] = b.sides[side].units[i].general;
}

int KassenField3D::PlaceOfUnit(const BattleState& b, int side, int unit) const {
  const int lane = b.sides[side].units[unit].lane;
  return lane <= b.laneCount && lane < kPlaces ? lane : -1;
}

void KassenField3D::PresentAction(const BattleState& b, int side, int unit, int kind, int value, int a, int bv, int c) {
  if (side < 0 || side > 1 || unit < 0 || unit >= kBattleUnits) return;
  KeepGenerals(b);
  const BattleUnit& u = b.sides[side].units[unit];
  switch (kind) {
    case 3:
      if (const int place = PlaceOfUnit(b, side, unit); place >= 0 && value != 0)
        ShowDamage(side, place, value, true, true);
      return;
    case 11: {
      const SkillRecord* r = GetSkillRecord(static_cast<uint32_t>(value));
      PlaySkillCutin(side, unit, value, r && r->cutin != 0);
      return;
    }
    case 12:
      if (const int place = PlaceOfUnit(b, side, unit); place >= 0) RestartIdle(side, place);
      return;
    case 1:
    case 4:
    case 5:
    case 7:
    case 8:
    case 9:
    case 10:
      break;
    default:
      return;
  }
  if (u.general == kNoUnitGeneral) return;
  KassenAttack at;
  at.side = side;
  at.actorUnit = unit;
  int origin = u.lane < b.laneCount ? u.lane : -1;
  if (u.lane == b.laneCount) {
    // The detached unit strikes from its commander's lane.
    const int cmd = CommanderUnit(side);
    origin = cmd >= 0 && b.sides[side].units[cmd].lane < b.laneCount ? b.sides[side].units[cmd].lane : -1;
    at.actorModel = KassenUnitModelId(u.kind, false, roadLinked_, side == 0);
  }
  if (origin < 0) return;
  at.originLane = origin;
  at.gunVolley = kind == 7;
  const bool charge = kind >= 8;
  at.motion = KassenUnitMotionId(u.kind, at.gunVolley, roadLinked_, charge);
  if (at.gunVolley) at.actorModel = KassenUnitModelId(u.kind, true, roadLinked_, side == 0);
  if (const BusyoRecord* g = BusyoPtr(u.general)) at.voice = g->voice;
  at.voiceLine = at.gunVolley ? 14 : charge ? 13 : 10;
  const int target = origin + (kind == 4 || kind == 9 ? Facing(side) : kind == 5 || kind == 10 ? -Facing(side) : 0);
  if (target >= 0 && target < b.laneCount) {
    at.targetLane = target;
    const int t = b.slots[Opposite(side)][target].unit;
    at.targetUnit = t < kBattleUnits ? t : -1;
  }
  // First the soldiers lost, then the morale (the actor's own cost of a charge).
  at.targetValues[0] = bv;
  at.targetValues[1] = a;
  at.actorValues[1] = c;
  pending_.push_back(at);
}

void KassenField3D::PlaceUnitModel(int side, int place, int column, int shownLane) {
  if (side < 0 || side > 1 || place < 0 || place >= kPlaces) return;
  Figure& f = *figures3d_[side * kPlaces + place];
  const FieldPoint target = KassenFieldPosition(sizeClass_, shownLane, column, f.to);
  if (!f.placed) {
    f.pos = f.from = f.to = target;
    f.placed = true;
    return;
  }
  if (!KassenFieldMoved(f.to, target)) return;
  f.from = f.pos;
  f.to = target;
  f.anim = KassenWalkAnimation(side, f.from, f.to);
  f.t = 0;
  auto it = f.sets.find(f.model);
  if (it != f.sets.end() && it->second.walk) it->second.walk->RestartAnimation(true);
}

void KassenField3D::RestartIdle(int side, int place) {
  if (side < 0 || side > 1 || place < 0 || place >= kPlaces) return;
  Figure& f = *figures3d_[side * kPlaces + place];
  auto it = f.sets.find(f.model);
  if (it != f.sets.end() && it->second.walk) it->second.walk->RestartAnimation(true);
}

void KassenField3D::SetLaneUnit(int side, int place, int model, int unit, bool force) {
  if (side < 0 || side > 1 || place < 0 || place >= kPlaces) return;
  Figure& f = *figures3d_[side * kPlaces + place];
  if (model == f.model && unit == f.unit && !force) return;
  const bool switching = f.model >= 0 && model >= 0 && f.placed;
  f.model = model;
  f.unit = unit;
  if (model < 0) {
    f.placed = false;
    f.anim = 0;
    return;
  }
  if (!f.sets.count(model)) f.sets[model].walk = LoadModel(Numbered("unit\\%d\\walk.x", model));
  if (switching) {
    f.anim = 6;
    f.t = 0;
  }
}

void KassenField3D::MarkActor(int side, int place) {
  markSide_ = place < 0 ? -1 : side;
  markPlace_ = place;
}

void KassenField3D::MoveCamera(int preset, int durationMs) {
  preset_ = preset;
  KassenCameraKey k;
  if (!KassenCameraPreset(preset, closeUp_, sizeClass_, panelUnits_, k)) return;
  if (durationMs <= 0)
    track_.Jump(k);
  else
    track_.Append(k, static_cast<float>(durationMs));
}

void KassenField3D::SetCloseUp(bool on) {
  if (on == closeUp_) return;
  closeUp_ = on;
  if (preset_ >= 3 && preset_ <= 12) MoveCamera(preset_, 300);
}

void KassenField3D::StartAttack(const KassenAttack& a) { pending_.push_back(a); }

void KassenField3D::ShowDamage(int side, int place, int value, bool kindFlag, bool show) {
  if (side < 0 || side > 1 || place < 0 || place >= kBattleMaxLanes) return;
  int shown = 0;
  const int style = KassenDamageStyle(value, kindFlag, shown);
  const Figure& f = *figures3d_[side * kPlaces + place];
  figures_.push_back(Damage{side, place, style, shown, 0.0f, show && f.visible});
}

void KassenField3D::ReleaseCutinPictures() {
  for (CDGTexture*& t : cutinPictures_) {
    if (t) t->Release();
    t = nullptr;
  }
  if (cutinFace_) cutinFace_->Release();
  cutinFace_ = nullptr;
}

bool KassenField3D::TakePanelRefresh() {
  const bool r = panelRefresh_;
  panelRefresh_ = false;
  return r;
}

void KassenField3D::PlaySkillCutin(int side, int unit, int skill, bool withCutin) {
  if (side < 0 || side > 1 || unit < 0 || unit >= kBattleUnits) return;
  if (!withCutin) {
    // The unit's figure and panel show the skill's effect instead.
    for (int place = 0; place < kPlaces; ++place)
      if (figures3d_[side * kPlaces + place]->unit == unit) RestartIdle(side, place);
    panelRefresh_ = true;
    return;
  }
  // Skills fired in one phase show one after another.
  if (CutinPlaying()) {
    cutinQueue_.push_back({side, unit, skill});
    return;
  }
  ReleaseCutinPictures();
  cutinSkill_ = skill;
  for (int i = 0; i < 2; ++i) cutinPictures_[i] = LoadTexture(Numbered(kSkillPicture, skill, i));
  if (const BusyoRecord* g = BusyoPtr(generals_[side][unit])) {
    const int face = g->picture % kFaceCount;
    cutinFace_ =
        LoadPicture(Numbered(PatternForSize(kFacePicture, face, kCutinFaceSide, kCutinFaceSide).c_str(), face));
  }
  if (!cutin_) {
    cutin_ = std::make_unique<Layer>();
    cutin_->texture = LoadTexture("cutin.png");
    cutin_->shader = std::make_unique<CVShaderKsnCutin>("Data\\Image\\kassen\\skill_mask.tig", kCutinMs, false);
    if (manager_ && manager_->Device()) {
      cutin_->shader->SetUserData(cutin_.get());
      cutin_->shader->Load();
    }
  }
  static_cast<CVShaderKsnCutin*>(cutin_->shader.get())->Reset();
  cutin_->shader->Enable();
  cutinAge_ = 0;
}

bool KassenField3D::CutinPlaying() const { return cutinAge_ >= 0; }

void KassenField3D::ShowSiege(int castleLevel, bool sideFlag, int attackerSide, int soldiers) {
  siege_ = true;
  castleNumber_ = KassenCastleNumber(castleLevel, sideFlag, false);
  Release(castleModel_);
  Release(burningModel_);
  castleModel_ = LoadModel(Numbered("castle\\%d.x", castleNumber_));
  burningModel_ = LoadModel(Numbered("castle\\%d.x", castleNumber_ + 100));
  if (CDGTexture* t = LoadTexture(KassenCastleTexture(castleNumber_))) {
    if (castleModel_) castleModel_->SetTextureAll(t);
    if (burningModel_) burningModel_->SetTextureAll(t);
    t->Release();
  }
  fire_ = std::make_unique<Layer>();
  fire_->texture = LoadTexture("fire01.dds");
  fire_->shader = std::make_unique<CVShaderKsnFire>(4, 4, 800.0f, 0.0f);
  if (manager_ && manager_->Device()) {
    fire_->shader->SetUserData(fire_.get());
    fire_->shader->Load();
    fire_->shader->Enable();
  }
  // The castle stands beyond the defenders' end of the field.
  castleAlong_ = attackerSide == 0 ? -8.6f * kColumnSpacing : 1.6f * kColumnSpacing;
  // The defenders' figures leave; the attacking army stands as one figure in the middle lane.
  for (int side = 0; side < 2; ++side)
    for (int place = 0; place < kPlaces; ++place) SetLaneUnit(side, place, -1, -1, false);
  const int model = attackerSide == 0 ? 404 : 405;
  SetLaneUnit(attackerSide, 2, model, 0, true);
  PlaceUnitModel(attackerSide, 2, attackerSide == 0 ? 6 : 1, laneCount_ / 2 + 1);
  figures3d_[attackerSide * kPlaces + 2]->visible = true;
  (void)soldiers;
  const bool plain = SysConfigBlock[4] == 0;
  MoveCamera(plain ? (sideFlag ? 8 : 12) : (sideFlag ? 5 : 9), 0);
  displayMode_ = 3;
}

void KassenField3D::SetCastleBurning(bool burning) { burning_ = burning && castleNumber_ >= 0; }

void KassenField3D::PlayGate(int half) {
  if (!siege_ || half < 1 || half > 2 || gateHalf_ == 2) return;
  if (half == gateHalf_ && gateAge_ >= 0) return;
  gateHalf_ = half;
  gateAge_ = 0;
}

bool KassenField3D::FiguresPlaying() const { return !figures_.empty(); }

void KassenField3D::DebugControl(const DebugInput& in, bool debugMode) {
  if (!debugMode) {
    if (free_.On()) free_.Toggle(track_.Current());
    overlay_ = false;
    panelText_.clear();
    return;
  }
  if (in.space) free_.Toggle(track_.Current());
  const bool dragging = in.left || in.right;
  if (free_.On()) {
    if (in.escape) overlay_ = !overlay_;
    if (in.f1) MoveCamera(free_.NextPreset(), 300);
    if (dragging && lastPointer_[0] >= 0)
      free_.Drag(in.left, in.ctrl, static_cast<float>(in.x - lastPointer_[0]),
                 static_cast<float>(in.y - lastPointer_[1]));
    free_.Wheel(in.wheel, in.ctrl);
  }
  lastPointer_[0] = dragging ? in.x : -1;
  lastPointer_[1] = dragging ? in.y : -1;
  BuildDebugPanel();
}

KassenField3D::DebugInput KassenField3D::ReadDebugInput(bool freeCameraOn) {
  const CVSceneMgr& m = GetSceneMgr();
  DebugInput in;
  in.space = m.IsKeyPressed(VK_SPACE);
  in.f1 = m.IsKeyPressed(VK_F1);
  in.escape = m.IsKeyPressed(VK_ESCAPE);
  in.left = m.IsKeyDown(VK_LBUTTON);
  in.right = m.IsKeyDown(VK_RBUTTON);
  in.ctrl = m.IsKeyDown(VK_CONTROL);
  in.x = MousePointerX;
  in.y = MousePointerY;
  // The wheel's word is taken only for the free camera; otherwise the screen's lists keep it.
  if (freeCameraOn) {
    const int32_t w = GetWheelDelta(true);
    in.wheel = w > 0 ? 1 : w < 0 ? -1 : 0;
  }
  return in;
}

void KassenField3D::BuildDebugPanel() {
  if (!free_.On()) {
    panelText_.clear();
    return;
  }
  std::string text = unitLines_ + KassenDebugCameraLines(free_.Key());
  if (text == panelText_) return;
  panelText_ = std::move(text);
  if (!manager_ || !manager_->Device()) return;
  if (!panel_) {
    panel_ = new CDGTextRenderer(manager_, 16.0f, 16.0f, 0.0f, panelText_, "", 16, 2, 0, 1, 0xFFFFFFFFu);
    panel_->SetDrawMode(CDGTextRenderer::kScreen, false);
    panel_->SetShadow(Vector3(1, 1, 0), 1.0f, 0xFF000000u, false);
    panel_->Relayout();
  } else {
    panel_->SetText(panelText_, true);
  }
}

bool KassenField3D::IsActionPlaying() const {
  return track_.Running() || step_ != 0 || !pending_.empty() || !figures_.empty() || presentationWait_ > 0 ||
         CutinPlaying() || !cutinQueue_.empty() || gateAge_ >= 0;
}

bool KassenField3D::FlipAttackPresentation(bool byClick) {
  if (byClick && IsActionPlaying()) return false;
  presentation_ = !presentation_;
  PlayRecordBlock.optionFlags = KassenWithAttackPresentation(PlayRecordBlock.optionFlags, presentation_);
  SavePlcData();
  return true;
}

bool KassenField3D::FlipOverviewCamera(bool byClick) {
  if (byClick && IsActionPlaying()) return false;
  overview_ = !overview_;
  PlayRecordBlock.optionFlags = KassenWithOverviewCamera(PlayRecordBlock.optionFlags, overview_);
  SavePlcData();
  MoveCamera(overview_ ? 2 : 1, byClick ? 300 : 0);
  return true;
}

void KassenField3D::StepAction() {
  auto figure = [&](int place) -> Figure* {
    return place >= 0 && place < kPlaces ? figures3d_[action_.side * kPlaces + place].get() : nullptr;
  };
  switch (step_) {
    case 0: {
      if (pending_.empty()) return;
      action_ = pending_.front();
      pending_.pop_front();
      if (presentation_ && displayMode_ != 3) {
        // The full presentation: the camera closes in on the actor's cell first.
        const Figure* f = figure(action_.originLane);
        const int column = f ? static_cast<int>(std::lround(-f->to.along / kColumnSpacing)) : 0;
        displayMode_ = 2;
        presentationWait_ = kModeChangeMs;
        MoveCamera(13 + action_.originLane * 8 + std::clamp(column, 0, 7), static_cast<int>(kModeChangeMs));
      }
      step_ = 1;
      [[fallthrough]];
    }
    case 1: {
      if (presentationWait_ > 0) return;
      Figure* f = figure(action_.originLane);
      step_ = 2;
      if (f && action_.actorModel >= 0 && action_.actorModel != f->model) {
        restoreModel_ = f->model;
        restoreUnit_ = f->unit;
        SetLaneUnit(action_.side, action_.originLane, action_.actorModel, f->unit, true);
        return;
      }
      restoreModel_ = -1;
      [[fallthrough]];
    }
    case 2: {
      Figure* f = figure(action_.originLane);
      if (f && (f->anim == 6 || f->anim == 7 || f->anim == 8)) return;
      if (f && f->model >= 0) {
        Figure::Set& s = f->sets[f->model];
        const int file = MotionFile(action_.motion);
        static const char* const kFiles[3] = {"attack", "charge", "volley"};
        if (!s.motion[file]) s.motion[file] = LoadModel(Numbered("unit\\%d\\", f->model) + kFiles[file] + ".x");
        if (s.motion[file]) s.motion[file]->RestartAnimation(false);
        f->anim = 100 + action_.motion;
        f->t = 0;
      }
      if (action_.voice >= 0) PlayGeneralVoice(2, action_.voice, action_.voiceLine);
      PlaySlgSe(3, action_.gunVolley ? 31 : 17, 0);
      step_ = 3;
      return;
    }
    case 3: {
      Figure* f = figure(action_.originLane);
      if (f && f->anim >= 100) return;
      if (action_.actorValues[0] != 0)
        ShowDamage(action_.side, action_.originLane, action_.actorValues[0], false, true);
      if (action_.targetLane >= 0 && action_.targetValues[0] != 0)
        ShowDamage(Opposite(action_.side), action_.targetLane, action_.targetValues[0], false, true);
      step_ = 4;
      return;
    }
    case 4:
      if (FiguresPlaying()) return;
      if (action_.actorValues[1] != 0) ShowDamage(action_.side, action_.originLane, action_.actorValues[1], true, true);
      if (action_.targetLane >= 0 && action_.targetValues[1] != 0)
        ShowDamage(Opposite(action_.side), action_.targetLane, action_.targetValues[1], true, true);
      step_ = 5;
      return;
    case 5:
      if (FiguresPlaying()) return;
      if (restoreModel_ >= 0) SetLaneUnit(action_.side, action_.originLane, restoreModel_, restoreUnit_, true);
      restoreModel_ = -1;
      if (displayMode_ == 2) {
        displayMode_ = 1;
        MoveCamera(overview_ ? 2 : 1, static_cast<int>(kModeChangeMs));
      }
      step_ = 0;
      return;
    default:
      step_ = 0;
  }
}

void KassenField3D::Update(float ms, bool click) {
  ms = std::max(0.0f, ms);
  const bool moving = track_.Running();
  track_.Advance(ms);
  // An F1 view change of the free camera plays on the track; the free camera rides along.
  if (free_.On() && moving) free_.SetKey(track_.Current());
  presentationWait_ = std::max(0.0f, presentationWait_ - ms);
  for (auto& fp : figures3d_) {
    Figure& f = *fp;
    auto it = f.sets.find(f.model);
    Figure::Set* s = it != f.sets.end() ? &it->second : nullptr;
    f.t += ms;
    if (f.anim == 7 || f.anim == 8) {
      const float k = std::min(1.0f, f.t / kWalkMs);
      f.pos.across = f.from.across + (f.to.across - f.from.across) * k;
      f.pos.along = f.from.along + (f.to.along - f.from.along) * k;
      if (k >= 1.0f) f.anim = 0;
    } else if (f.anim == 6) {
      if (f.t >= kSwitchMs) f.anim = 0;
    } else if (f.anim >= 100) {
      CDGModelRenderer* m = s ? s->motion[MotionFile(f.anim - 100)] : nullptr;
      if (m) m->Update(ms);
      if (!m || !m->IsPlaying()) f.anim = 0;
    }
    if (s && s->walk && (f.anim == 7 || f.anim == 8)) s->walk->Update(ms);
  }
  for (Damage& d : figures_) d.age += ms;
  figures_.erase(std::remove_if(figures_.begin(), figures_.end(), [](const Damage& d) { return d.age >= kDamageMs; }),
                 figures_.end());
  if (rainModel_) rainModel_->Update(ms);
  if (burningModel_) burningModel_->Update(ms);
  for (auto& l : layers_) {
    l->step = ms;
    if (l->shader) l->shader->SetParams();
  }
  if (fire_) {
    fire_->step = ms;
    if (fire_->shader) fire_->shader->SetParams();
  }
  if (cutinAge_ >= 0) {
    cutinAge_ += ms;
    if (cutin_) {
      cutin_->step = ms;
      cutin_->shader->SetParams();
    }
    if (cutinAge_ >= kCutinMs + kCutinHoldMs) cutinAge_ = -1;
    if (cutinAge_ < 0) {
      ReleaseCutinPictures();
      if (!cutinQueue_.empty()) {
        const std::array<int, 3> next = cutinQueue_.front();
        cutinQueue_.pop_front();
        PlaySkillCutin(next[0], next[1], next[2], true);
      }
    }
  }
  if (gateAge_ >= 0) {
    gateAge_ += ms;
    if (gateAge_ >= kGateMs) gateAge_ = -1;
  }
  if (click) {
    gateAge_ = -1;
    // The player skips: the camera lands, figures and motions end; a display change still waits.
    track_.Finish();
    figures_.clear();
    cutinAge_ = -1;
    cutinQueue_.clear();
    ReleaseCutinPictures();
    for (auto& fp : figures3d_) {
      if (fp->anim == 7 || fp->anim == 8) fp->pos = fp->to;
      fp->anim = 0;
    }
  }
  StepAction();
}

void KassenField3D::Draw() {
  if (renderer_) renderer_->Queue(true);
  if (panel_ && free_.On()) panel_->Queue(true);
}

bool KassenField3D::PlaceShown(int side, int place) const {
  if (side < 0 || side > 1 || place < 0 || place >= kPlaces) return false;
  const Figure& f = *figures3d_[side * kPlaces + place];
  return f.placed && f.model >= 0 && f.visible;
}

FieldPoint KassenField3D::PlacePoint(int side, int place) const {
  if (side < 0 || side > 1 || place < 0 || place >= kPlaces) return FieldPoint{0, 0};
  return figures3d_[side * kPlaces + place]->pos;
}

int KassenField3D::PlaceModel(int side, int place) const {
  if (side < 0 || side > 1 || place < 0 || place >= kPlaces) return -1;
  return figures3d_[side * kPlaces + place]->model;
}

int KassenField3D::PlaceAnimation(int side, int place) const {
  if (side < 0 || side > 1 || place < 0 || place >= kPlaces) return 0;
  return figures3d_[side * kPlaces + place]->anim;
}

int KassenField3D::LoadedModels() const {
  int n = (backgroundModel_ != nullptr) + (fieldModel_ != nullptr) + (rainModel_ != nullptr) +
          (castleModel_ != nullptr) + (burningModel_ != nullptr);
  for (const auto& f : figures3d_)
    for (const auto& [k, s] : f->sets) {
      n += s.walk != nullptr;
      for (auto* m : s.motion) n += m != nullptr;
    }
  return n;
}

namespace {

struct CameraMatrices {
  Matrix44 view, projection;
};

CameraMatrices MakeCamera(const KassenCameraKey& k, float aspect) {
  float eye[3];
  KassenCameraEye(k, eye);
  const Vector3 e(eye[0], eye[1], eye[2]), at(k.target[0], k.target[1], k.target[2]);
  const Vector3 d(at.x - e.x, at.y - e.y, at.z - e.z);
  CameraMatrices m;
  m.view = LookAtLH(e, at, CDGManager::UpVector(d, k.roll * kPi / 180.0f));
  m.projection = PerspectiveFovLH(std::clamp(k.fov, 0.1f, 179.0f) * kPi / 180.0f, aspect, 10.0f, 20000.0f);
  return m;
}

}  // namespace

bool KassenField3D::ProjectToScreen(float along, float up, float across, float& x, float& y) const {
  const CameraMatrices c = MakeCamera(ViewKey(), 1280.0f / 720.0f);
  Matrix44 vp;
  c.view.Multiply(c.projection, vp);
  const Vector3 p(along, up, across);
  const float w = p.x * vp.m[0][3] + p.y * vp.m[1][3] + p.z * vp.m[2][3] + vp.m[3][3];
  if (w <= 0.0f) return false;
  const Vector3 q = TransformPoint(p, vp);
  x = (q.x / w + 1.0f) * 640.0f;
  y = (1.0f - q.y / w) * 360.0f;
  return true;
}

void KassenField3D::DrawQuad(CDGTexture* tex, CVShader* shader, const float (&c)[4][3], float u, float v,
                             uint32_t argb) {
  plat::GfxDevice* dev = manager_->Device();
  plat::WorldVertex q[4] = {{c[0][0], c[0][1], c[0][2], argb, 0, 0},
                            {c[1][0], c[1][1], c[1][2], argb, u, 0},
                            {c[2][0], c[2][1], c[2][2], argb, 0, v},
                            {c[3][0], c[3][1], c[3][2], argb, u, v}};
  dev->BindTexture(tex && tex->HasTexture() ? tex->DeviceId() : 0);
  CDGEffect* e = shader ? shader->GetEffect() : nullptr;
  if (e && e->IsEnabled() && e->HasEffect()) {
    const int passes = e->Begin();
    for (int p = 0; p < passes; ++p) {
      e->BeginPass(p);
      dev->DrawQuad(q);
      e->EndPass();
    }
    e->End();
    if (passes > 0) return;
  }
  dev->DrawQuad(q);
}

void KassenField3D::PoseFigure(Figure& f) {
  auto it = f.sets.find(f.model);
  if (it == f.sets.end()) return;
  CDGModelRenderer* m = it->second.walk;
  if (f.anim >= 100 && it->second.motion[MotionFile(f.anim - 100)]) m = it->second.motion[MotionFile(f.anim - 100)];
  if (!m) return;
  float sy = kFigureScale;
  if (f.anim == 6) sy *= std::fabs(1.0f - 2.0f * std::min(1.0f, f.t / kSwitchMs)) * 0.9f + 0.1f;
  // Side 0 faces the higher columns (down the negative along axis), side 1 the other way.
  m->SetPosition(Vector3(f.pos.along, 0, f.pos.across));
  m->SetRotation(Vector3(0, f.side == 0 ? kPi / 2 : -kPi / 2, 0));
  m->SetScale(Vector3(kFigureScale, sy, kFigureScale));
  m->UpdateWorldMatrix();
  m->Render();
}

void KassenField3D::DrawDebugOverlay() {
  // A mark on every cell of the lanes, the reserve places' row in another colour.
  for (int lane = 1; lane <= laneCount_ + 1; ++lane)
    for (int column = 0; column < 8; ++column) {
      const FieldPoint p = KassenFieldPosition(sizeClass_, lane, column, FieldPoint{0, 0});
      const float r = 12.0f;
      const float c[4][3] = {{p.along - r, 4, p.across - r},
                             {p.along + r, 4, p.across - r},
                             {p.along - r, 4, p.across + r},
                             {p.along + r, 4, p.across + r}};
      DrawQuad(nullptr, nullptr, c, 1, 1, lane > laneCount_ ? 0xC0FF60FFu : 0xC040FFFFu);
    }
}

void KassenField3D::DrawFigures() {
  for (auto& fp : figures3d_) {
    Figure& f = *fp;
    if (!f.placed || f.model < 0 || !f.visible) continue;
    PoseFigure(f);
  }
  if (markSide_ >= 0 && markPlace_ >= 0 && markPlace_ < kPlaces) {
    const Figure& f = *figures3d_[markSide_ * kPlaces + markPlace_];
    if (f.placed && f.visible) {
      const float x = f.pos.along, z = f.pos.across, r = 70.0f;
      const float c[4][3] = {{x - r, 3, z - r}, {x + r, 3, z - r}, {x - r, 3, z + r}, {x + r, 3, z + r}};
      DrawQuad(nullptr, nullptr, c, 1, 1, 0x80FFE040u);
    }
  }
}

void KassenField3D::RenderField() {
  plat::GfxDevice* dev = manager_ ? manager_->Device() : nullptr;
  if (!dev) return;
  const float aspect = static_cast<float>(std::max(1, manager_->BackBufferWidth())) /
                       static_cast<float>(std::max(1, manager_->BackBufferHeight()));
  const CameraMatrices cam = MakeCamera(ViewKey(), aspect);
  const bool z = dev->GetZEnable();
  const Matrix44 identity;
  dev->SetView(&cam.view.m[0][0]);
  dev->SetProjection(&cam.projection.m[0][0]);
  dev->SetWorld(&identity.m[0][0]);
  dev->SetBlend(plat::BlendFactor::SrcAlpha, plat::BlendFactor::InvSrcAlpha);
  dev->SetZEnable(true);
  dev->Clear(false, true, 0, 1.0f);
  if (backgroundModel_) backgroundModel_->Render();
  if (fieldModel_) fieldModel_->Render();
  dev->SetWorld(&identity.m[0][0]);
  // The sky lies behind all the scenery: drawn after it, the depth test skips what is covered.
  if (!layers_.empty()) {
    const float c[4][3] = {{4000, 2600, -2800}, {-5200, 2600, -2800}, {4000, -1500, -2800}, {-5200, -1500, -2800}};
    DrawQuad(layers_[0]->texture, layers_[0]->shader.get(), c, 3, 1, 0xFFFFFFFFu);
  }
  // Water: the moat before the castle walls or the river the road crosses.
  for (size_t i = 1; i < layers_.size(); ++i) {
    const float y = 1.0f + static_cast<float>(i);
    const float c[4][3] = {{800, y, -720}, {-1900, y, -720}, {800, y, -420}, {-1900, y, -420}};
    DrawQuad(layers_[i]->texture, layers_[i]->shader.get(), c, 8, 1, 0xFFFFFFFFu);
  }
  dev->SetWorld(&identity.m[0][0]);
  if (siege_) {
    CDGModelRenderer* castle = burning_ && burningModel_ ? burningModel_ : castleModel_;
    const float scale = 2.4f + 0.4f * static_cast<float>(castleNumber_ % 3);
    if (castle) {
      castle->SetPosition(Vector3(castleAlong_, 0, 2.0f * kLaneSpacing));
      castle->SetScale(Vector3(scale, scale, scale));
      castle->UpdateWorldMatrix();
      castle->Render();
    }
    dev->SetWorld(&identity.m[0][0]);
    // The gate on the castle's face: two leaves hinged at its sides, shaking in the first half,
    // swung open in the second.
    {
      const float k = gateAge_ >= 0 ? std::min(1.0f, gateAge_ / kGateMs) : 1.0f;
      float open = 0.0f;
      if (gateHalf_ == 2) open = k * 1.3f;
      if (gateHalf_ == 1 && gateAge_ >= 0) open = 0.08f * std::fabs(std::sin(k * kPi * 6.0f));
      const float z0 = 2.0f * kLaneSpacing + 60.0f * scale + 1.0f, w = 14.0f * scale, h = 22.0f * scale;
      for (int leaf = 0; leaf < 2; ++leaf) {
        const float sgn = leaf == 0 ? 1.0f : -1.0f;
        const float hx = castleAlong_ + sgn * w;
        const float ex = hx - sgn * w * std::cos(open), ez = z0 + w * std::sin(open);
        const float c[4][3] = {{hx, h, z0}, {ex, h, ez}, {hx, 0, z0}, {ex, 0, ez}};
        DrawQuad(nullptr, nullptr, c, 1, 1, 0xFF5A3A20u);
      }
    }
    if (burning_ && fire_) {
      const float x = castleAlong_, zc = 2.0f * kLaneSpacing + 200.0f, w = 90.0f * scale, h = 110.0f * scale;
      const float c[4][3] = {{x + w, h, zc}, {x - w, h, zc}, {x + w, 0, zc}, {x - w, 0, zc}};
      DrawQuad(fire_->texture, fire_->shader.get(), c, 1, 1, 0xFFFFFFFFu);
    }
  }
  if (overlay_) DrawDebugOverlay();
  DrawFigures();
  if (rainModel_) rainModel_->Render();
  dev->SetWorld(&identity.m[0][0]);
  // The screen's own camera and depth again: the 2-D parts draw over the field.
  manager_->ApplyCameraToDevice();
  dev->Clear(false, true, 0, 1.0f);
  dev->SetZEnable(false);
  const float sw = static_cast<float>(manager_->BackBufferWidth()) / 1280.0f;
  const float sh = static_cast<float>(manager_->BackBufferHeight()) / 720.0f;
  auto screenQuad = [&](CDGTexture* tex, float x, float y, float w, float h, float u0, float v0, float u1, float v1,
                        uint32_t argb) {
    plat::ScreenVertex q[4] = {{x * sw, y * sh, 0, 1, argb, u0, v0},
                               {(x + w) * sw, y * sh, 0, 1, argb, u1, v0},
                               {x * sw, (y + h) * sh, 0, 1, argb, u0, v1},
                               {(x + w) * sw, (y + h) * sh, 0, 1, argb, u1, v1}};
    dev->BindTexture(tex && tex->HasTexture() ? tex->DeviceId() : 0);
    dev->DrawScreenQuad(q);
  };
  if (weather_ == 2) screenQuad(nullptr, 0, 0, 1280, 720, 0, 0, 1, 1, 0x60D8DCE0u);
  // Damage figures: digits of the style's row of the figure sheet, rising as they fade.
  for (const Damage& d : figures_) {
    if (!d.visible || !figureSheet_) continue;
    const Figure& f = *figures3d_[d.side * kPlaces + d.place];
    float x = 0, y = 0;
    if (!ProjectToScreen(f.pos.along, 150.0f, f.pos.across, x, y)) continue;
    char text[16];
    std::snprintf(text, sizeof text, "%s%d", d.shown < 0 ? "-" : "", d.shown < 0 ? -d.shown : d.shown);
    const float k = d.age / kDamageMs;
    const uint32_t alpha = static_cast<uint32_t>(255.0f * std::clamp(2.0f - 2.0f * k, 0.0f, 1.0f));
    const float cw = 26.0f, ch = 40.0f;
    float cx = x - cw * static_cast<float>(std::strlen(text)) / 2.0f;
    const float cy = y - ch - 40.0f * k;
    const int row = std::clamp(d.style - 6, 0, 3);
    for (const char* p = text; *p; ++p) {
      const int col = *p == '-' ? 11 : *p - '0';
      screenQuad(figureSheet_, cx, cy, cw, ch, col / 12.0f, row / 4.0f, (col + 1) / 12.0f, (row + 1) / 4.0f,
                 (alpha << 24) | 0xFFFFFFu);
      cx += cw;
    }
  }
  if (cutinAge_ >= 0 && cutin_ && cutin_->texture) {
    plat::ScreenVertex q[4] = {{0, 260 * sh, 0, 1, 0xFFFFFFFFu, 0, 0},
                               {1280 * sw, 260 * sh, 0, 1, 0xFFFFFFFFu, 1, 0},
                               {0, 460 * sh, 0, 1, 0xFFFFFFFFu, 0, 1},
                               {1280 * sw, 460 * sh, 0, 1, 0xFFFFFFFFu, 1, 1}};
    dev->BindTexture(cutin_->texture->HasTexture() ? cutin_->texture->DeviceId() : 0);
    CDGEffect* e = cutin_->shader->GetEffect();
    const int passes = e && e->IsEnabled() && e->HasEffect() ? e->Begin() : 0;
    for (int p = 0; p < passes; ++p) {
      e->BeginPass(p);
      dev->DrawScreenQuad(q);
      e->EndPass();
    }
    if (passes > 0)
      e->End();
    else
      dev->DrawScreenQuad(q);
    // The face at the band's left, the skill's pictures beside it, fading in as the band opens.
    const uint32_t a = static_cast<uint32_t>(255.0f * std::clamp(cutinAge_ / kCutinMs, 0.0f, 1.0f)) << 24;
    if (cutinFace_) screenQuad(cutinFace_, 60, 270, kCutinFaceSide, kCutinFaceSide, 0, 0, 1, 1, a | 0xFFFFFFu);
    for (int i = 0; i < 2; ++i)
      if (cutinPictures_[i])
        screenQuad(cutinPictures_[i], 300.0f + 480.0f * i, 280, 440, 160, 0, 0, 1, 1, a | 0xFFFFFFu);
  }
  dev->BindTexture(0);
  dev->SetZEnable(z);
}

#include "screens/battle/scene_kassen.h"

#include "screens/battle/field_view.h"
#include "screens/battle/kassen_field3d.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "battle/battle_rules.h"
#include "battle/battle_state.h"
#include "core/app_state.h"
#include "core/cv_input.h"
#include "core/debug_words.h"
#include "render/dg_manager.h"
#include "render/sprite.h"
#include "save/system_files.h"
#include "ui/menus/menu_factory.h"
#include "ui/menus/menu_root.h"
#include "ui/scenes/general_info_page.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_mgr.h"
#include "sound/busyo_voice.h"
#include "sound/sound.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_pbar.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/sized_picture.h"
#include "ui/widgets/widget_base.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

constexpr int kBattleSceneId = 8;
constexpr int kStrategySceneId = 3;
constexpr int kBattleMenuType = 90;

CVMenuSceneRoot* CreateKassenMenu(int32_t) { return new CVMenuSceneRoot(); }
CVScene* CreateKassenScene(int32_t id) { return new CVSceneKassen(id); }

constexpr int kBrowsePhase = 21;
constexpr const char* kFacePicture = "Data\\Image\\face\\f%02d.png";
constexpr int kFaceCount = 16;
const Color kLit{255, 240, 210, 255};
const Color kDim{120, 110, 100, 255};

CVMenuText* TextOf(CVMenuBase* w, int i = 0) {
  return w ? dynamic_cast<CVMenuText*>(w->FindChild(kWidgetText, i)) : nullptr;
}

// The top windows of the screen: 0 the frame, 1 the field, 2 the order icons, 3 the skill lists.
CVMenuBase* TopWindow(CVMenuBase* menu, int i) {
  CVMenuBase* w = menu ? menu->FirstChild() : nullptr;
  while (w && i-- > 0) w = w->NextSibling();
  return w;
}

void ShowFace(CVMenuBase* w, int side, int unit) {
  auto* win = dynamic_cast<CVMenuWindow*>(w);
  if (!win) return;
  const char* pattern = kFacePicture;
  int number = 0;
  CVSceneKassen::UnitFace(side, unit, pattern, number);
  ShowPictureAtSize(win, pattern, number);
}

// The battle's current actor as a flat unit number, -1 none.
int CurrentActorFlat() {
  const BattleState& b = g_Battle;
  if (b.currentActor < 0 || b.currentActor >= static_cast<int>(b.order.size())) return -1;
  const BattleOrderEntry& e = b.order[b.currentActor];
  return e.side < kBattleSides && e.unit < kBattleUnits ? e.side * kBattleUnits + e.unit : -1;
}

bool HasUnit(int flat) {
  return flat >= 0 && flat < kBattleSides * kBattleUnits &&
         g_Battle.sides[flat / kBattleUnits].units[flat % kBattleUnits].general != kNoUnitGeneral;
}

bool IsPlayerSide(int side) { return side >= 0 && side < kBattleSides && g_Battle.sides[side].clan == PlayerDaimyoId; }

// The opposite side's unit standing in a lane (flat number), -1 none or outside the field.
int OppositeInLane(int side, int lane) {
  const BattleState& b = g_Battle;
  const int other = 1 - side;
  if (lane < 0 || lane >= b.laneCount || lane >= kBattleUnits) return -1;
  const int u = b.slots[other][lane].unit;
  return u < kBattleUnits ? other * kBattleUnits + u : -1;
}

// The lane a unit fights from: its own, or its commander's for the detached force.
int FightingLane(int flat) {
  if (!HasUnit(flat)) return -1;
  const int side = flat / kBattleUnits;
  const BattleUnit& u = g_Battle.sides[side].units[flat % kBattleUnits];
  if (u.lane < g_Battle.laneCount) return u.lane;
  if (u.lane == g_Battle.laneCount) {
    const int cmd = CommanderUnit(side);
    if (cmd >= 0 && g_Battle.sides[side].units[cmd].lane < g_Battle.laneCount)
      return g_Battle.sides[side].units[cmd].lane;
  }
  return -1;
}

// The first unit of a side with the commander mark (flat number), -1 none.
int FirstCommander(int side) {
  for (int i = 0; i < kBattleUnits; ++i) {
    const BattleUnit& u = g_Battle.sides[side].units[i];
    if (u.general != kNoUnitGeneral && u.commander) return side * kBattleUnits + i;
  }
  return -1;
}

// Whether side 1's unit is seen (in fog only in contact).
bool EnemySeen(int side, int unit) {
  const BattleUnit& u = g_Battle.sides[side].units[unit];
  return side == 0 || g_Battle.weather != 2 ||
         (u.lane < g_Battle.laneCount &&
          (EnemyAhead(1, u.lane) || EnemyBehindLane(1, u.lane) || EnemyNextLane(1, u.lane)));
}

// Plays a widget's layout animation (its animations run only once asked to).
void PlayAnimation(CVMenuBase* w, int n) {
  if (!w) return;
  w->SetFlag(kWfAnimRunning, true);
  w->PlayAnime(n);
}

constexpr const char* kGenericFace = "Data\\Image\\kassen\\face%03d.png";
constexpr int kCoverWindow = 5;
constexpr int kDuelWindow = 4;
constexpr int kSiegeWindow = 6;

// A gauge is a back window with its fill in front; the fill's drawn width shows value / maximum.
void SetGauge(CVMenuBase* gauge, int value, int maximum) {
  auto* fill = dynamic_cast<CVMenuWindow*>(gauge ? gauge->FindChild(kWidgetSprite, 0) : nullptr);
  if (!fill || !fill->sprite) return;
  const int m = maximum > 0 ? maximum : 1;
  fill->sprite->SetWidth(CVMenuPBar::BarWidth(std::clamp(value, 0, m), m, fill->vectorA.x));
}

// Phases in which side 0's panels are picks, and the back button answers.
bool ChoosingPhase(int phase) { return (phase >= 7 && phase <= 10) || phase == kBrowsePhase; }

void SetLabel(CVMenuBase* w, const char* text) {
  if (CVMenuText* t = TextOf(w)) t->SetText(text, true);
}

// The command set a phase shows (-1 none).
int CommandSetOfPhase(int phase) {
  const BattleState& b = g_Battle;
  const BattleUnit* actor = nullptr;
  if (b.currentActor >= 0 && b.currentActor < static_cast<int>(b.order.size())) {
    const BattleOrderEntry& e = b.order[b.currentActor];
    actor = &b.sides[e.side].units[e.unit];
  }
  int side = actor && b.currentActor >= 0 ? b.order[b.currentActor].side : 0;
  switch (phase) {
    case 5:
      return 0;
    case 7:
    case 8:
      return 1;
    case 12:
      if (!actor || !actor->commander) return 2;
      return b.sides[side].countdown != 0 ? 3 : 4;
    case 13:
      return actor && actor->commander && b.sides[side].countdown == 0 ? 8 : 7;
    case 14:
      return 5;
    case 15:
      return 6;
    case 16:
      return 10;
    case 18:
      return 9;
    default:
      return -1;
  }
}

PlayerOrders& Orders() {
  struct NullLink : KassenSceneLink {
    void SetPhase(int) override {}
    void ShowMessage(const char*) override {}
    int TakeResult() override { return -1; }
    void OpenQuestion(const char*) override {}
    int QuestionAnswer() override { return -1; }
  };
  static struct Forward : KassenSceneLink {
    KassenSceneLink* target() { return GetKassenScreenPort().Scene(); }
    void SetPhase(int p) override {
      if (auto* s = target()) s->SetPhase(p);
    }
    void ShowMessage(const char* t) override {
      if (auto* s = target()) s->ShowMessage(t);
    }
    int TakeResult() override {
      auto* s = target();
      return s ? s->TakeResult() : -1;
    }
    void OpenQuestion(const char* t) override {
      if (auto* s = target()) s->OpenQuestion(t);
    }
    int QuestionAnswer() override {
      auto* s = target();
      return s ? s->QuestionAnswer() : -1;
    }
    void Redraw() override {
      if (auto* s = target()) s->Redraw();
    }
  } link;
  static PlayerOrders orders(link);
  return orders;
}

}  // namespace

KassenDuel KassenDuelOf(int actor, int target, bool actorIsPlayers) {
  KassenDuel d;
  if (actorIsPlayers || actor < 0) {
    d.first = actor;
    d.second = target;
    d.direction = 0;
  } else {
    d.first = target;
    d.second = actor;
    d.direction = 1;
  }
  return d;
}

int KassenHoverLane(int actorLane, int command, int facing) {
  switch (command) {
    case 27:
    case 30:
    case 33:
    case 36:
      return actorLane - facing;
    case 29:
    case 32:
    case 35:
    case 38:
      return actorLane + facing;
    default:
      return actorLane;
  }
}

KassenDisplayModes::Action KassenDisplayModes::Request(int m, bool force) {
  if (m < 0 || m > 4) return kNothing;
  if (stage_ != 0) {
    // Behind the running change; it is never cut short.
    queued_ = m;
    queuedForce_ = force;
    return kNothing;
  }
  if (m == mode_ && !force) return kNothing;
  previous_ = mode_;
  if (m == 0 || m == 4) {
    mode_ = m;
    return kApply;
  }
  target_ = m;
  stage_ = 1;
  return kOpenCover;
}

KassenDisplayModes::Action KassenDisplayModes::Step(bool coverPlaying) {
  switch (stage_) {
    case 1:
      if (coverPlaying) return kNothing;
      mode_ = target_;
      stage_ = 2;
      return kBuild;
    case 2:
      if (coverPlaying) return kNothing;
      stage_ = 0;
      return kCloseCover;
    default:
      if (queued_ < 0) return kNothing;
      {
        const int m = queued_;
        const bool force = queuedForce_ != 0;
        queued_ = -1;
        queuedForce_ = 0;
        return Request(m, force);
      }
  }
}

void RegisterBattleScenes(CVSceneMgr& mgr) {
  RegisterMenuType(kBattleMenuType, &CreateKassenMenu);
  mgr.SetSceneFactory(kBattleSceneId, &CreateKassenScene);
}

CVSceneKassen::CVSceneKassen(int32_t sceneId) : CVScene(-1, sceneId) {}
CVSceneKassen::~CVSceneKassen() = default;

bool CVSceneKassen::OnStart() {
  menu_ = FindMenu(0);
  if (!menu_) return false;
  // The field in perspective replaces the layout's flat field window. Its variant number comes
  // from the battle's place, so the game's own random sequence is left as it is.
  field_ = std::make_unique<KassenField3D>(GetDGManager());
  field_->Setup((g_Battle.targetSiro * 37 + g_Battle.kuni) % 100, g_Battle, PlayRecordBlock.optionFlags);
  if (CVMenuBase* frame = menu_->FirstChild())
    if (CVMenuBase* flat = frame->NextSibling()) flat->SetFlagAll(kWfShown, false);
  // A right click answers "back".
  if (CVMenuBase* frame = menu_->FirstChild()) frame->cancelId = 200;
  if (CVMenuBase* cover = TopWindow(menu_, kCoverWindow)) cover->SetFlagAll(kWfShown, false);
  if (CVMenuBase* siege = SiegePanel()) siege->SetFlagAll(kWfShown, false);
  // The battle opens in phase 4 without a phase change, which is what hides the skill lists.
  ShowSkillLists(false);
  ShowCommandSet(-1);
  // The battle opens on the formation.
  RequestDisplayMode(0, true);
  RefreshViewButtons();
  return true;
}

void CVSceneKassen::RefreshViewButtons() {
  if (!menu_) return;
  const bool on[2] = {field_ && field_->AttackPresentationOn(), field_ && field_->OverviewCameraOn()};
  for (int i = 0; i < 2; ++i) {
    CVMenuBtn* b = menu_->FindButtonById(400 + i);
    if (!b) continue;
    b->SetFlagAll(kWfShown, field_ != nullptr);
    int normal = 0, lit = 0;
    KassenTogglePictures(i == 1, on[i], normal, lit);
    b->SetStatePatterns(normal, lit, lit, normal, normal);
    b->SetState(b->GetState(), 1);
  }
  if (CVMenuBtn* closeUp = menu_->FindButtonById(1000)) {
    closeUp->SetFlagAll(kWfShown, field_ != nullptr);
    SetLabel(closeUp, field_ && field_->CloseUp() ? "全景" : "接近");
  }
}

// The message line: the first Text of the screen's frame.
static CVMenuBase* MessageLine(CVMenuBase* menu) {
  CVMenuBase* frame = menu ? menu->FirstChild() : nullptr;
  return frame ? frame->FindChild(kWidgetText, 0) : nullptr;
}

const char* CVSceneKassen::Message() const {
  auto* t = dynamic_cast<CVMenuText*>(MessageLine(menu_));
  return t ? t->Text() : "";
}

void CVSceneKassen::ShowMessage(const char* text) {
  if (!menu_) return;
  if (auto* t = dynamic_cast<CVMenuText*>(MessageLine(menu_))) t->SetText(text, true);
}

int CVSceneKassen::ResultOfHit(int hit) const {
  const int phase = GetPhase();
  if (phase == kBrowsePhase) return -1;
  if (hit >= 2000 && hit <= 2005 && phase >= 7 && phase <= 10)
    return PanelSelectable(hit - 2000) ? 300 + hit - 2000 : -1;
  if (hit == 200) return 1;
  // "Back" in a command set answers as the back button does.
  if (hit >= 300 && hit <= 307) return commands_[hit - 300] == 25 ? 1 : commands_[hit - 300];
  return -1;
}

int32_t CVSceneKassen::UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) {
  // Ctrl held runs the scene five times as fast.
  SetSpeed(GetSceneMgr().IsKeyDown(VK_CONTROL) ? 5.0f : 1.0f);
  if (leftClick == 1) clicked_ = true;
  // The field's two toggles (attack presentation, overview camera), kept in the play record.
  // Refused while anything plays, a display-mode change included.
  const bool idle = !IsActionPlaying();
  if (field_ && idle && lastHit == 400) field_->FlipAttackPresentation(true);
  if (field_ && idle && lastHit == 401) field_->FlipOverviewCamera(true);
  if (field_ && lastHit == 1000) field_->SetCloseUp(!field_->CloseUp());
  if (lastHit == 400 || lastHit == 401 || lastHit == 1000) RefreshViewButtons();
  // Browsing is the scene's own: its clicks never reach the battle's questions.
  const int phase = GetPhase();
  bool browsing = phase == kBrowsePhase;
  if (browsing) {
    if (lastHit == 200) ReturnToPreviousPhase();
    if (lastHit >= 2000 && lastHit <= 2005) OpenUnitInfo(lastHit - 2000);
  } else if (lastHit == 402 && phase >= 12 && phase <= 16) {
    SetPhase(kBrowsePhase);
    browsing = true;
  }
  UpdateHint();
  // Choosing the target: the hovered command's lane shows the enemy standing there.
  if (phase == 13) {
    const int code = HoveredCommand();
    if (code != lastHoverCommand_) {
      lastHoverCommand_ = code;
      const int actor = CurrentActorFlat();
      if (actor >= 0) {
        const int side = actor / kBattleUnits;
        const int own = FightingLane(actor);
        ShowDuel(actor, own >= 0 ? OppositeInLane(side, KassenHoverLane(own, code, Facing(side))) : -1);
      }
    }
  } else {
    lastHoverCommand_ = -3;
  }
  if (lastHit != -1 && !browsing) {
    int r = ResultOfHit(lastHit);
    if (r != -1) result_ = r;
  }
  return CVScene::UpdateMainMenu(x, y, leftClick, lastHit);
}

int CVSceneKassen::TakeResult() {
  int r = result_;
  result_ = -1;
  return r;
}

void CVSceneKassen::OpenQuestion(const char* text) {
  ShowMessage(text);
  questionOpen_ = OpenDialogScene(3, 1);
}

int CVSceneKassen::QuestionAnswer() {
  // Without the dialog scene the question counts as answered yes, so a battle never hangs.
  if (!questionOpen_) return 1;
  int a = GetDialogResult();
  if (a != -1) questionOpen_ = false;
  return a;
}

bool CVSceneKassen::OnPhaseChange(int32_t oldPhase) {
  const int phase = GetPhase();
  if (oldPhase != phase) previousPhase_ = oldPhase;
  // A pick belongs to the question of its phase; a later question never reads it.
  result_ = -1;
  if (phase == kBrowsePhase && oldPhase != kBrowsePhase) {
    std::snprintf(savedMessage_, sizeof savedMessage_, "%s", Message());
    ShowMessage("右クリックで戻ります");
  } else if (oldPhase == kBrowsePhase && phase != kBrowsePhase) {
    ShowMessage(savedMessage_);
  }
  ShowCommandSet(CommandSetOfPhase(phase));
  ShowSkillLists(phase == kBrowsePhase || roundListsMs_ > 0);
  // The display mode by phase: 1 the battle, 4 the formation (again), 17 the siege. The battle's
  // own questions also tell it: deployment is the formation, the orders the battle, the siege
  // orders the siege.
  switch (phase) {
    case 1:
    case 6:  // the deployment is confirmed: the battle begins
      RequestDisplayMode(1);
      break;
    case 4:
      RequestDisplayMode(0, true);
      break;
    case 17:
      ShowSiegeView();
      break;
    case 5:
    case 7:
    case 8:
      RequestDisplayMode(0);
      break;
    case 18:
      if (modes_.Wanted() != 3) ShowSiegeView();
      break;
    default:
      if (phase >= 9 && phase != 19 && modes_.Wanted() == 0) RequestDisplayMode(1);
      break;
  }
  if (phase == 12) FocusCurrentActor();
  RefreshPanels();
  return true;
}

void CVSceneKassen::ReturnToPreviousPhase() {
  if (previousPhase_ >= 0 && previousPhase_ != GetPhase()) SetPhase(previousPhase_);
}

int CVSceneKassen::HoveredCommand() const {
  if (!menu_) return -1;
  for (int i = 0; i < kKassenCommandButtons; ++i) {
    CVMenuBtn* b = menu_->FindButtonById(300 + i);
    if (b && b->TestFlag(kWfShown) && b->TestFlag(kWfPointerOver)) return commands_[i];
  }
  return -1;
}

void CVSceneKassen::UpdateHint() {
  if (!menu_) return;
  const int code = HoveredCommand();
  // The siege cost is formatted on every hover, so a change in the clan's money shows at once.
  if (code == hintCode_ && code != 51) return;
  hintCode_ = code;
  char text[96] = "";
  KassenCommandHint(code, text, sizeof text);
  if (CVMenuText* t = TextOf(TopWindow(menu_, 0), 7)) t->SetText(text, true);
}

void CVSceneKassen::ShowUnitDetail(int flat) {
  if (!HasUnit(flat)) return;
  const BattleUnit& u = g_Battle.sides[flat / kBattleUnits].units[flat % kBattleUnits];
  if (u.general == kNoUnitGeneral) return;
  char text[256];
  int n = std::snprintf(text, sizeof text, "%s%s 兵%d 鉄砲%d 士気%d/%d", u.commander ? "★" : "",
                        GetBusyoName(u.general), u.soldiers, u.guns, u.morale, u.maxMorale);
  for (int k = 0; k < 4 && n > 0 && n < static_cast<int>(sizeof text); ++k) {
    const uint16_t sk = u.skills[k];
    if (sk >= 1 && sk <= kSkillCount)
      n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n), " %.16s", SkillTable[sk - 1].name);
  }
  ShowMessage(text);
}

void CVSceneKassen::ShowCommandSet(int set) {
  if (!menu_) return;
  for (int i = 0; i < kKassenCommandButtons; ++i) {
    CVMenuBtn* b = menu_->FindButtonById(300 + i);
    KassenCommandEntry e = KassenCommandSet(set, i);
    commands_[i] = e.code;
    if (!b) continue;
    b->SetFlagAll(kWfShown, e.code != -1);
    bool enabled = e.code != -1 && IsBattleCommandEnabled(e.code);
    b->SetFlagAll(kWfNoHit, !enabled);
    if (!enabled) commands_[i] = -1;
    const char* label = KassenCommandLabel(e.code);
    SetLabel(b, label ? label : "");
    if (CVMenuText* t = TextOf(b)) t->SetColour(enabled ? kLit : kDim);
    if (CVMenuBase* icon = b->FindChild(kWidgetSprite, 0)) {
      if (e.picture >= 0) icon->SetState(e.picture, 1);
      icon->SetColour(enabled ? Color{255, 255, 255, 255} : Color{110, 110, 110, 255});
    }
  }
  hintCode_ = -2;
  // The first "back" entry of the set is the frame's cancel button; otherwise the back button (200).
  int cancel = 200;
  for (int i = 0; i < kKassenCommandButtons && cancel == 200; ++i)
    if (commands_[i] == 25) cancel = 300 + i;
  if (CVMenuBase* frame = menu_->FirstChild()) frame->cancelId = cancel;
  // The back button shows for the sub-questions of an order (sets 5 to 8), where back is a pick.
  // So does it while a unit is picked for a swap or the detached force, and while browsing.
  const int phase = GetPhase();
  if (CVMenuBtn* back = menu_->FindButtonById(200)) {
    back->SetFlagAll(kWfShown,
                     (set >= 5 && set <= 8 && cancel == 200) || phase == 9 || phase == 10 || phase == kBrowsePhase);
    SetLabel(back, KassenCommandLabel(25));
  }
  // Browsing the units is offered while an order is being chosen.
  if (CVMenuBtn* browse = menu_->FindButtonById(402)) {
    browse->SetFlagAll(kWfShown, phase >= 12 && phase <= 16);
    SetLabel(browse, "部隊一覧");
  }
}

void CVSceneKassen::RefreshPanels() {
  if (!menu_) return;
  redrawPanels_ = true;
  PlaceFieldUnits();
  const BattleState& b = g_Battle;
  char text[160];
  for (int i = 0; i < kBattleUnits; ++i) {
    const BattleUnit& u = b.sides[0].units[i];
    CVMenuBtn* panel = menu_->FindButtonById(2000 + i);
    if (!panel) continue;
    bool has = u.general != kNoUnitGeneral;
    // The attack presentation leaves the screen to the field and the duel.
    panel->SetFlagAll(kWfShown, has && modes_.Mode() != 2);
    if (!has) continue;
    const bool pick = PanelSelectable(i);
    const bool choosing = ChoosingPhase(GetPhase());
    panel->SetFlagAll(kWfNoHit, !pick);
    if (CVMenuText* t = TextOf(panel)) t->SetColour(choosing && !pick ? kDim : kLit);
    ShowFace(panel->FindChild(kWidgetSprite, 0), 0, i);
    if (CVMenuBase* kind = panel->FindChild(kWidgetSprite, 1))
      kind->SetState(u.kind >= 1 && u.kind <= 3 ? u.kind - 1 : 0, 1);
    SetGauge(panel->FindChild(kWidgetSprite, 2), u.morale, u.maxMorale);
    if (u.lane < b.laneCount)
      std::snprintf(text, sizeof text, "%s%s\n兵%d 士%d 列%d", u.commander ? "★" : "", UnitName(0, i), u.soldiers,
                    u.morale, u.lane + 1);
    else
      std::snprintf(text, sizeof text, "%s%s\n兵%d 士%d 控", u.commander ? "★" : "", UnitName(0, i), u.soldiers,
                    u.morale);
    // The name on the first line, the figures on the second, so a long name never pushes the
    // lane out of the panel.
    SetLabel(panel, text);
  }
  // Side 1's units: the texts after the message line.
  CVMenuBase* t = MessageLine(menu_);
  for (int i = 0; i < kBattleUnits && t; ++i) {
    t = t->NextSibling();
    while (t && t->widgetType != kWidgetText) t = t->NextSibling();
    auto* text1 = dynamic_cast<CVMenuText*>(t);
    if (!text1) break;
    const BattleUnit& u = b.sides[1].units[i];
    if (u.general == kNoUnitGeneral) {
      text1->SetText("", true);
      continue;
    }
    bool seen = b.weather != 2 || (u.lane < b.laneCount &&
                                   (EnemyAhead(1, u.lane) || EnemyBehindLane(1, u.lane) || EnemyNextLane(1, u.lane)));
    if (u.lane < b.laneCount)
      std::snprintf(text, sizeof text, "%s%s 兵%s 列%d", u.commander ? "★" : "", UnitName(1, i),
                    seen ? std::to_string(u.soldiers).c_str() : "？", u.lane + 1);
    else
      std::snprintf(text, sizeof text, "%s%s 控", u.commander ? "★" : "", UnitName(1, i));
    text1->SetText(text, true);
  }
  // The round counter: the rounds left.
  if (CVMenuText* rounds = TextOf(TopWindow(menu_, 0), 8)) {
    if (b.roundLimit > 0 && GetPhase() >= 12) {
      std::snprintf(text, sizeof text, "残り%d", std::max(0, b.roundLimit - b.round));
      rounds->SetText(text, true);
    } else {
      rounds->SetText("", true);
    }
  }
  ShowOrderIcons();
}

bool CVSceneKassen::PanelSelectable(int unit) const {
  if (unit < 0 || unit >= kBattleUnits) return false;
  const BattleUnit& u = g_Battle.sides[0].units[unit];
  if (u.general == kNoUnitGeneral) return false;
  switch (GetPhase()) {
    case 7:  // placing: units not yet in a lane
      return u.soldiers > 0 && u.lane == kNoLane;
    case 8:  // the commander: any unit
    case kBrowsePhase:
      return true;
    case 9:   // swapping in
    case 10:  // the detached force
      return u.lane == kNoLane && u.morale > 0;
    default:
      return false;
  }
}

void CVSceneKassen::ShowOrderIcons() {
  CVMenuBase* row = TopWindow(menu_, 2);
  if (!row) return;
  int queue[10];
  const int n = g_Battle.order.empty() ? 0 : KassenOrderQueue(queue, 10);
  CVMenuBase* icon = row->FindChild(kWidgetSprite, 0);
  for (int i = 0; i < 10 && icon; ++i, icon = icon->NextSibling()) {
    icon->SetFlagAll(kWfShown, i < n);
    if (i >= n) continue;
    const int side = queue[i] / kBattleUnits, unit = queue[i] % kBattleUnits;
    const BattleUnit& u = g_Battle.sides[side].units[unit];
    icon->SetState(side, 1);
    char number[16];
    std::snprintf(number, sizeof number, "%d", g_Battle.views[side][unit].orderIndex + 1);
    if (CVMenuText* t = TextOf(icon, 0)) t->SetText(number, true);
    // In fog an enemy's name shows only in contact, as on the field.
    const bool seen = side == 0 || g_Battle.weather != 2 ||
                      (u.lane < g_Battle.laneCount &&
                       (EnemyAhead(1, u.lane) || EnemyBehindLane(1, u.lane) || EnemyNextLane(1, u.lane)));
    // Under the icons, 56 pixels apart, the family name alone keeps the names apart.
    if (CVMenuText* t = TextOf(icon, 1)) t->SetText(seen ? UnitName(side, unit, true) : "？", true);
  }
}

void CVSceneKassen::SetRoundSkillLists(bool show) {
  KassenSkillRow rows[kKassenSkillRows];
  const bool any = KassenSkillList(0, rows, kKassenSkillRows) > 0 || KassenSkillList(1, rows, kKassenSkillRows) > 0;
  // A round without running skills shows no lists and holds nothing.
  roundListsMs_ = show && any ? kRoundListsMs : 0.0f;
  ShowSkillLists(roundListsMs_ > 0 || GetPhase() == kBrowsePhase);
}

void CVSceneKassen::ShowSkillLists(bool show) {
  CVMenuBase* panel = TopWindow(menu_, 3);
  if (!panel) return;
  panel->SetFlagAll(kWfShown, show);
  if (!show) return;
  for (int side = 0; side < 2; ++side) {
    KassenSkillRow rows[kKassenSkillRows];
    const int n = KassenSkillList(side, rows, kKassenSkillRows);
    for (int i = 0; i < kKassenSkillRows; ++i) {
      CVMenuText* t = TextOf(panel, side * kKassenSkillRows + i);
      CVMenuBase* gauge = panel->FindChild(kWidgetSprite, side * kKassenSkillRows + i);
      if (gauge) gauge->SetFlagAll(kWfShown, i < n);
      if (!t) continue;
      if (i >= n) {
        t->SetText(i == 0 ? "技能なし" : "", true);
        continue;
      }
      const KassenSkillRow& r = rows[i];
      char text[96];
      const char* skill = r.skill >= 1 && r.skill <= kSkillCount ? SkillTable[r.skill - 1].name : "";
      if (r.value >= 0)
        std::snprintf(text, sizeof text, "%.16s %s %d", skill, UnitName(side, r.unit), r.value);
      else
        std::snprintf(text, sizeof text, "%.16s %s", skill, UnitName(side, r.unit));
      t->SetText(text, true);
      // A value without a number fills the gauge.
      SetGauge(gauge, r.value >= 0 ? r.value : 1, r.value >= 0 ? std::max<int>(g_Battle.roundLimit, r.value) : 1);
    }
  }
}

CVMenuBase* CVSceneKassen::FieldFigure(int side, int unit) const {
  CVMenuBase* frame = menu_ ? menu_->FirstChild() : nullptr;
  CVMenuBase* field = frame ? frame->NextSibling() : nullptr;
  if (!field || side < 0 || side > 1 || unit < 0 || unit >= kBattleUnits) return nullptr;
  return field->FindChild(kWidgetModel, side * kBattleUnits + unit);
}

void CVSceneKassen::PlaceFieldUnits() {
  if (field_) field_->Sync(g_Battle);
}

int32_t CVSceneKassen::Update(float dt) {
  const int32_t r = CVScene::Update(dt);
  // The display mode's change: one check a frame, never skipped by a click.
  StepDisplayMode();
  if (field_) {
    field_->Sync(g_Battle);
    field_->DebugControl(KassenField3D::ReadDebugInput(field_->FreeCameraOn()), GetDebugWords().debugMode != 0);
    field_->Update(dt * (GetSceneMgr().IsKeyDown(VK_CONTROL) ? 5.0f : 1.0f), clicked_);
    if (field_->TakePanelRefresh()) RefreshPanels();
  }
  // The round's skill lists stand over the field for a while (a click ends it), then give the
  // field back; browsing shows them again.
  if (roundListsMs_ > 0) {
    roundListsMs_ = clicked_ ? 0.0f : roundListsMs_ - dt * (GetSceneMgr().IsKeyDown(VK_CONTROL) ? 5.0f : 1.0f);
    if (roundListsMs_ <= 0) {
      roundListsMs_ = 0;
      ShowSkillLists(GetPhase() == kBrowsePhase);
    }
  }
  FollowField();
  clicked_ = false;
  return r;
}

bool CVSceneKassen::DrawMain() {
  if (field_) field_->Draw();
  return CVScene::DrawMain();
}

bool CVSceneKassen::IsActionPlaying() const {
  return modes_.Pending() || roundListsMs_ > 0 || (field_ && field_->IsActionPlaying());
}

// ---- duel panels, display modes, the information page ----

bool CVSceneKassen::IsGenericUnit(int side, int unit) {
  if (side < 0 || side >= kBattleSides || unit < 0 || unit >= kBattleUnits) return false;
  const BattleUnit& u = g_Battle.sides[side].units[unit];
  return u.general != kNoUnitGeneral && u.copyMark != 0;
}

const char* CVSceneKassen::UnitName(int side, int unit, bool familyOnly) {
  static char names[4][48];
  static int next = 0;
  if (side < 0 || side >= kBattleSides || unit < 0 || unit >= kBattleUnits) return "";
  const BattleUnit& u = g_Battle.sides[side].units[unit];
  if (u.general == kNoUnitGeneral) return "";
  const char* name = GetBusyoName(u.general);
  const bool copy = IsGenericUnit(side, unit);
  if (!copy && !familyOnly) return name;
  // A copy made to fill a lane reads as its general's detachment: the family name and "分隊".
  // The family name ends at the first blank (0x20 is never a trail byte).
  char* out = names[next];
  next = (next + 1) % 4;
  const char* blank = std::strchr(name, ' ');
  const int family = blank ? static_cast<int>(blank - name) : static_cast<int>(std::strlen(name));
  std::snprintf(out, sizeof names[0], "%.*s%s", std::min(family, 32), name, copy ? "分隊" : "");
  return out;
}

void CVSceneKassen::UnitFace(int side, int unit, const char*& pattern, int& number) {
  pattern = kFacePicture;
  number = 0;
  if (side < 0 || side >= kBattleSides || unit < 0 || unit >= kBattleUnits) return;
  const BattleUnit& u = g_Battle.sides[side].units[unit];
  if (IsGenericUnit(side, unit)) {
    // The generic picture of its kind: the unit model's number names it.
    pattern = kGenericFace;
    number = KassenUnitModelId(u.kind, false, g_Battle.roadLinked != 0, IsPlayerSide(side));
    return;
  }
  const int picture = u.general < kBusyoCount ? BusyoTable[u.general].picture : 0;
  number = picture % kFaceCount;
}

CVMenuBase* CVSceneKassen::DuelPanel(int i) const {
  CVMenuBase* w = TopWindow(menu_, kDuelWindow);
  return w && i >= 0 && i < 2 ? w->FindChild(kWidgetSprite, i) : nullptr;
}

void CVSceneKassen::ShowDuel(int actor, int target) {
  if (actor < 0) actor = CurrentActorFlat();
  if (!HasUnit(actor)) actor = -1;
  if (target == kFacingTarget) target = actor >= 0 ? OppositeInLane(actor / kBattleUnits, FightingLane(actor)) : -1;
  const KassenDuel d = KassenDuelOf(actor, target, actor >= 0 && IsPlayerSide(actor / kBattleUnits));
  ShowDuelPanels(d.first, d.second, d.direction);
}

void CVSceneKassen::FocusCurrentActor() { ShowDuel(-1, kFacingTarget); }

void CVSceneKassen::ShowDuelPanels(int first, int second, int direction) {
  duel_ = KassenDuel{first, second, direction};
  CVMenuBase* window = TopWindow(menu_, kDuelWindow);
  if (!window) return;
  // The panels belong to the battle's modes; the formation shows none.
  const int mode = modes_.Mode();
  window->SetFlagAll(kWfShown, mode >= 1 && mode <= 4);
  if (!duelHomeKept_) {
    for (int k = 0; k < 2; ++k)
      if (CVMenuBase* p = window->FindChild(kWidgetSprite, k)) {
        duelHome_[k][0] = p->position.x;
        duelHome_[k][1] = p->position.y;
      }
    duelHomeKept_ = true;
  }
  char text[64];
  for (int k = 0; k < 2; ++k) {
    CVMenuBase* panel = window->FindChild(kWidgetSprite, k);
    if (!panel) continue;
    const int flat = k == 0 ? first : second;
    if (!HasUnit(flat) || !(mode >= 1 && mode <= 4)) {
      panel->SetFlagAll(kWfShown, false);
      duelShown_[k] = -1;
      continue;
    }
    const int side = flat / kBattleUnits, unit = flat % kBattleUnits;
    const BattleUnit& u = g_Battle.sides[side].units[unit];
    panel->SetFlagAll(kWfShown, true);
    if (CVMenuBase* mark = panel->FindChild(kWidgetSprite, 0)) mark->SetFlagAll(kWfShown, u.commander != 0);
    if (CVMenuBase* kind = panel->FindChild(kWidgetSprite, 1))
      kind->SetState(std::max(0, GetKindCycleNext(u.kind) - 1), 1);
    ShowFace(panel->FindChild(kWidgetSprite, 2), side, unit);
    const bool seen = EnemySeen(side, unit);
    SetLabel(panel, UnitName(side, unit));
    if (CVMenuText* t = TextOf(panel, 1)) {
      std::snprintf(text, sizeof text, "%d", u.morale);
      t->SetText(text, true);
    }
    if (CVMenuText* t = TextOf(panel, 2)) {
      if (seen)
        std::snprintf(text, sizeof text, "兵%d", u.soldiers);
      else
        std::snprintf(text, sizeof text, "兵？");
      t->SetText(text, true);
    }
    if (CVMenuText* t = TextOf(panel, 3)) {
      std::snprintf(text, sizeof text, seen ? "鉄砲%d" : "鉄砲？", u.guns);
      t->SetText(text, true);
    }
    if (CVMenuText* t = TextOf(panel, 4)) {
      std::snprintf(text, sizeof text, "戦力%d", UnitStrength(side, unit));
      t->SetText(text, true);
    }
    if (auto* bar = dynamic_cast<CVMenuPBar*>(panel->FindChild(kWidgetPBar, 0))) {
      bar->maximum = std::max<int>(1, u.maxMorale);
      bar->minimum = 0;
      bar->SetTarget(std::min<int>(u.morale, bar->maximum), 200.0f);
      PlayAnimation(bar, u.morale > u.maxMorale ? 2 : 1);
    }
    // A panel whose unit changed enters anew: the acting unit's from its outer edge, the other's
    // from below; the same unit again only has its values refreshed.
    if (duelShown_[k] != flat) {
      const int anime = KassenDuelEntryAnime(direction, k);
      const float dx = anime == 1 ? (k == 0 ? -360.0f : 360.0f) : 0.0f;
      const float dy = anime == 2 ? 160.0f : 0.0f;
      panel->SetPosXYZ(duelHome_[k][0] + dx, duelHome_[k][1] + dy, panel->position.z);
      PlayAnimation(panel, anime);
      duelShown_[k] = flat;
    }
  }
}

void CVSceneKassen::ShowSiegeView() {
  ShowDuelPanels(FirstCommander(0), FirstCommander(1), 0);
  RequestDisplayMode(3);
}

CVMenuBase* CVSceneKassen::SiegePanel() const { return TopWindow(menu_, kSiegeWindow); }

void CVSceneKassen::ShowSiegeCastle(const char* name, int value, int maximum) {
  CVMenuBase* panel = SiegePanel();
  if (!panel) return;
  siegeNamed_ = true;
  SetLabel(panel, name ? name : "");
  ShowSiegeGauge(value, maximum, false);
  RefreshSiegeCost();
  // Shown at once in the siege; otherwise the change into it shows the panel under its cover.
  panel->SetFlagAll(kWfShown, modes_.Mode() == 3);
}

void CVSceneKassen::ShowSiegeGauge(int value, int maximum, bool countUp) {
  CVMenuBase* panel = SiegePanel();
  if (!panel) return;
  char text[32];
  std::snprintf(text, sizeof text, "%d", value);
  if (CVMenuText* t = TextOf(panel, 1)) t->SetText(text, true);
  if (auto* bar = dynamic_cast<CVMenuPBar*>(panel->FindChild(kWidgetPBar, 0))) {
    bar->maximum = std::max(1, maximum);
    bar->minimum = 0;
    bar->SetTarget(std::clamp(value, 0, bar->maximum), 200.0f);
    if (!countUp) bar->FinishGlide();
  }
  // A besiege spends the clan's money.
  RefreshSiegeCost();
}

void CVSceneKassen::RefreshSiegeCost() {
  CVMenuText* t = TextOf(SiegePanel(), 2);
  if (!t) return;
  const int side = g_Battle.attackerSide < kBattleSides ? g_Battle.attackerSide : 0;
  // An independent force besieges without paying: it has no cost to show.
  if (g_Battle.sides[side].clan == kNoDaimyo) {
    t->SetText("", true);
    return;
  }
  char text[96];
  std::snprintf(text, sizeof text, "包囲 費用（%d/%d）", SiegeEndurance(side), SideClanMoney(side));
  t->SetText(text, true);
}

void CVSceneKassen::RequestDisplayMode(int mode, bool force) { ApplyDisplayMode(modes_.Request(mode, force)); }

void CVSceneKassen::ApplyDisplayMode(KassenDisplayModes::Action a) {
  CVMenuBase* cover = TopWindow(menu_, kCoverWindow);
  switch (a) {
    case KassenDisplayModes::kOpenCover:
      if (cover) {
        cover->SetFlagAll(kWfShown, true);
        cover->SetAlpha(0.0f);
        PlayAnimation(cover, 1);
      }
      return;
    case KassenDisplayModes::kCloseCover:
      if (cover) cover->SetFlagAll(kWfShown, false);
      return;
    case KassenDisplayModes::kApply:
    case KassenDisplayModes::kBuild:
      break;
    default:
      return;
  }
  // The new mode's panels. The formation hides the duel panels and the order of action; the
  // battle's modes show them (the siege keeps the commanders it was given); the attack
  // presentation leaves the field to the duel.
  const int mode = modes_.Mode();
  const bool battle = mode >= 1 && mode <= 4;
  if (CVMenuBase* row = TopWindow(menu_, 2)) row->SetFlagAll(kWfShown, battle);
  if (CVMenuBase* siege = SiegePanel()) siege->SetFlagAll(kWfShown, mode == 3 && siegeNamed_);
  if (mode == 3) RefreshSiegeCost();
  if (!battle) {
    if (CVMenuBase* duel = TopWindow(menu_, kDuelWindow)) duel->SetFlagAll(kWfShown, false);
    duelShown_[0] = duelShown_[1] = -1;
  } else {
    ShowDuelPanels(duel_.first, duel_.second, duel_.direction);
  }
  RefreshPanels();
  // The siege is watched over the whole field with the castle beyond its end; the close view the
  // siege's set-up chose shows neither.
  if (mode == 3 && field_) field_->MoveCamera(2, 300);
  if (a == KassenDisplayModes::kBuild) PlayAnimation(cover, 2);
}

void CVSceneKassen::StepDisplayMode() {
  CVMenuBase* cover = TopWindow(menu_, kCoverWindow);
  const bool playing = cover && (cover->IsAnimePlaying(1) || cover->IsAnimePlaying(2));
  ApplyDisplayMode(modes_.Step(playing));
}

// The screen follows the field and the battle: the attack presentation and the siege change the
// display mode, each attack and each new actor shows its duel, a redraw refreshes the duel.
void CVSceneKassen::FollowField() {
  if (field_) {
    const int fieldMode = field_->DisplayMode();
    if (fieldMode == 3 && modes_.Wanted() != 3) {
      ShowSiegeView();
    } else if (fieldMode == 2 && modes_.Wanted() == 1) {
      RequestDisplayMode(2);
    } else if (fieldMode == 1 && modes_.Wanted() == 2) {
      RequestDisplayMode(1);
    }
    const int step = field_->ActionStep();
    if (step != 0 && lastFieldStep_ == 0 && modes_.Wanted() != 3) {
      const KassenAttack& a = field_->CurrentAttack();
      const int actor = a.actorUnit >= 0 ? a.side * kBattleUnits + a.actorUnit : -1;
      const int target = a.targetUnit >= 0 ? (1 - a.side) * kBattleUnits + a.targetUnit : -1;
      if (actor >= 0) ShowDuel(actor, target);
    }
    lastFieldStep_ = step;
  }
  const int actor = CurrentActorFlat();
  if (actor != lastActor_) {
    lastActor_ = actor;
    if (actor >= 0 && modes_.Wanted() != 3 && (!field_ || field_->ActionStep() == 0)) FocusCurrentActor();
  }
  const int mode = modes_.Mode();
  if (redrawPanels_ && (mode == 1 || mode == 2) && !IsActionPlaying()) {
    redrawPanels_ = false;
    ShowDuelPanels(duel_.first, duel_.second, duel_.direction);
  }
}

void CVSceneKassen::OpenUnitInfo(int n) {
  if (!HasUnit(n)) return;
  const int side = n / kBattleUnits;
  const BattleUnit& chosen = g_Battle.sides[side].units[n % kBattleUnits];
  std::vector<int32_t> generals;
  for (int i = 0; i < kBattleUnits; ++i) {
    const BattleUnit& u = g_Battle.sides[side].units[i];
    if (u.general != kNoUnitGeneral && !IsGenericUnit(side, i)) generals.push_back(u.general);
  }
  // A generic unit's general is shown on his own page all the same.
  if (std::find(generals.begin(), generals.end(), chosen.general) == generals.end()) generals.clear();
  if (OpenGeneralInfoPage(generals, chosen.general)) return;
  ShowUnitDetail(n);
}

// ---- the port ----

KassenScreenPort& GetKassenScreenPort() {
  static KassenScreenPort port;
  return port;
}

CVSceneKassen* KassenScreenPort::Scene() const {
  auto* s = dynamic_cast<CVSceneKassen*>(GetSceneMgr().GetScene(kBattleSceneId));
  return s && GetSceneMgr().GetCurrentSceneId() != -1 ? s : nullptr;
}

void KassenScreenPort::EnterBattleScene(int mode) {
  Orders().Reset();
  if (mode != 2) return;
  if (GetSceneMgr().GetCurrentSceneId() != kBattleSceneId) GetSceneMgr().ChangeScene(kBattleSceneId, 1);
}

void KassenScreenPort::LeaveBattleScene(int mode) {
  if (mode != 2) return;
  if (CVSceneKassen* s = Scene(); s && s->Field()) s->Field()->StopAmbience();
  if (GetSceneMgr().GetCurrentSceneId() == kBattleSceneId) GetSceneMgr().PopScene();
}

void KassenScreenPort::ShowMessage(const char* text) {
  if (CVSceneKassen* s = Scene()) s->ShowMessage(text);
}

bool KassenScreenPort::PlayerDeploy(int side) {
  if (!Scene() || side != 0) {
    AiDeploy(side);
    return true;
  }
  bool done = Orders().Deploy();
  if (done) Orders().Reset();
  return done;
}

int KassenScreenPort::PlayerUnitOrder(int side, int unit) {
  if (!Scene()) return kOrderByAi;
  return Orders().UnitOrder(side, unit);
}

int KassenScreenPort::PlayerDefenderChoice() {
  if (!Scene()) return 40;
  return Orders().DefenderChoice();
}

int KassenScreenPort::PlayerSwapPick(int side, int unit) { return Orders().TakeSwapPick(side, unit); }

int KassenScreenPort::PlayerDetachedPick(int side) { return Orders().TakeDetachedPick(side); }

int KassenScreenPort::AskFightByHand() {
  if (!asking_) {
    // Without the dialog scene the battle is fought by hand, as without the question.
    if (!OpenDialogScene(13, 1)) return 2;
    asking_ = true;
    return -1;
  }
  const int a = GetDialogResult();
  if (a == -1) return -1;
  asking_ = false;
  return a == 1 ? 1 : 2;
}

// The map's confirm input: a left click while the map is the scene on top (without it nothing
// shows what there is to confirm).
bool KassenScreenPort::ConfirmPressed() {
  if (GetSceneMgr().GetCurrentSceneId() != kStrategySceneId) return true;
  return GetSceneMgr().IsKeyPressed(VK_LBUTTON);
}

void KassenScreenPort::PlayMusic(const char* file) {
  if (file) PlaySlgBgm(file, 1);
}

void KassenScreenPort::PlaySoundEffect(int n) { PlaySlgSe(3, n, 0); }

bool KassenScreenPort::IsActionPlaying() const {
  CVSceneKassen* s = Scene();
  if (!s || GetSceneMgr().GetCurrentSceneId() != kBattleSceneId) return false;
  // The field first takes in what the rules did since its last frame, so two steps of the rules
  // in one frame still wait for each other.
  s->PlaceFieldUnits();
  return s->IsActionPlaying();
}

void KassenScreenPort::ShowSiegeCastle(const char* name, int value, int maximum) {
  if (CVSceneKassen* s = Scene()) s->ShowSiegeCastle(name, value, maximum);
}

void KassenScreenPort::ShowSiegeGauge(int value, int maximum, bool countUp) {
  if (CVSceneKassen* s = Scene()) s->ShowSiegeGauge(value, maximum, countUp);
}

void KassenScreenPort::ShowSiegePanels() {
  CVSceneKassen* s = Scene();
  if (!s) return;
  // The castle stands on the field from the siege's start, before the first order.
  if (s->Field()) s->Field()->StartSiege(g_Battle);
  if (s->DisplayModes().Wanted() != 3) s->ShowSiegeView();
}

void KassenScreenPort::ShakeSiegeGate() {
  if (CVSceneKassen* s = Scene(); s && s->Field()) s->Field()->PlayGate(1);
}

void KassenScreenPort::OpenSiegeGate() {
  if (CVSceneKassen* s = Scene(); s && s->Field()) s->Field()->PlayGate(2);
}

void KassenScreenPort::PlayAction(int side, int unit, int kind, int value, int a, int b, int c) {
  CVSceneKassen* s = Scene();
  if (s && s->Field()) s->Field()->PresentAction(g_Battle, side, unit, kind, value, a, b, c);
}

void KassenScreenPort::PlayVoice(int busyo, int line) {
  if (const BusyoRecord* g = BusyoPtr(busyo)) PlayGeneralVoice(2, g->voice, line);
}

void KassenScreenPort::ShowSkillLists(bool show) {
  if (CVSceneKassen* s = Scene()) s->SetRoundSkillLists(show);
}

void KassenScreenPort::ShowSurrender() {
  // The defenders open their gate to the besiegers.
  if (CVSceneKassen* s = Scene(); s && s->Field()) s->Field()->PlayGate(2);
}

// About 10 s of frames: a fade or an effect that never reports its end holds the battle no longer.
constexpr int kSoundPollLimit = 600;

void KassenScreenPort::FadeOutMusic() {
  musicPolls_ = 0;
  SetChannelFade(kSoundChannelBgm, -1, -1);
}

bool KassenScreenPort::MusicPlaying() const {
  return IsChannelPlaying(kSoundChannelBgm) && ++musicPolls_ < kSoundPollLimit;
}

bool KassenScreenPort::SoundEffectPlaying() const {
  if (!IsChannelPlaying(3)) {
    effectPolls_ = 0;
    return false;
  }
  if (++effectPolls_ < kSoundPollLimit) return true;
  effectPolls_ = 0;
  return false;
}

int KassenScreenPort::PlayerSiegeOrder() {
  if (!Scene()) return kOrderByAi;
  return Orders().SiegeOrder();
}

#include "screens/battle/scene_kassen.h"

#include "screens/battle/field_view.h"
#include "screens/battle/kassen_field3d.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

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
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_mgr.h"
#include "sound/busyo_voice.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_pbar.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/widget_base.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

constexpr int kBattleSceneId = 8;
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

void ShowFace(CVMenuBase* w, int general) {
  auto* win = dynamic_cast<CVMenuWindow*>(w);
  if (!win) return;
  const int picture = general >= 0 && general < kBusyoCount ? BusyoTable[general].picture : 0;
  win->SetNamePattern(kFacePicture);
  win->SetTextureF(picture % kFaceCount, false);
}

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
  ShowCommandSet(-1);
  RefreshPanels();
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
  if (field_ && lastHit == 400) field_->FlipAttackPresentation(true);
  if (field_ && lastHit == 401) field_->FlipOverviewCamera(true);
  if (field_ && lastHit == 1000) field_->SetCloseUp(!field_->CloseUp());
  if (lastHit == 400 || lastHit == 401 || lastHit == 1000) RefreshViewButtons();
  // Browsing is the scene's own: its clicks never reach the battle's questions.
  const int phase = GetPhase();
  bool browsing = phase == kBrowsePhase;
  if (browsing) {
    if (lastHit == 200) ReturnToPreviousPhase();
    if (lastHit >= 2000 && lastHit <= 2005) ShowUnitDetail(lastHit - 2000);
  } else if (lastHit == 402 && phase >= 12 && phase <= 16) {
    SetPhase(kBrowsePhase);
    browsing = true;
  }
  UpdateHint();
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
  ShowSkillLists(phase == kBrowsePhase);
  RefreshPanels();
  return true;
}

void CVSceneKassen::ReturnToPreviousPhase() {
  if (previousPhase_ >= 0 && previousPhase_ != GetPhase()) SetPhase(previousPhase_);
}

void CVSceneKassen::UpdateHint() {
  if (!menu_) return;
  int code = -1;
  for (int i = 0; i < kKassenCommandButtons && code == -1; ++i) {
    CVMenuBtn* b = menu_->FindButtonById(300 + i);
    if (b && b->TestFlag(kWfShown) && b->TestFlag(kWfPointerOver)) code = commands_[i];
  }
  // The siege cost is formatted on every hover, so a change in the clan's money shows at once.
  if (code == hintCode_ && code != 51) return;
  hintCode_ = code;
  char text[96] = "";
  KassenCommandHint(code, text, sizeof text);
  if (CVMenuText* t = TextOf(TopWindow(menu_, 0), 7)) t->SetText(text, true);
}

void CVSceneKassen::ShowUnitDetail(int unit) {
  const BattleUnit& u = g_Battle.sides[0].units[unit];
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
  PlaceFieldUnits();
  const BattleState& b = g_Battle;
  char text[160];
  for (int i = 0; i < kBattleUnits; ++i) {
    const BattleUnit& u = b.sides[0].units[i];
    CVMenuBtn* panel = menu_->FindButtonById(2000 + i);
    if (!panel) continue;
    bool has = u.general != kNoUnitGeneral;
    panel->SetFlagAll(kWfShown, has);
    if (!has) continue;
    const bool pick = PanelSelectable(i);
    const bool choosing = ChoosingPhase(GetPhase());
    panel->SetFlagAll(kWfNoHit, !pick);
    if (CVMenuText* t = TextOf(panel)) t->SetColour(choosing && !pick ? kDim : kLit);
    ShowFace(panel->FindChild(kWidgetSprite, 0), u.general);
    if (CVMenuBase* kind = panel->FindChild(kWidgetSprite, 1))
      kind->SetState(u.kind >= 1 && u.kind <= 3 ? u.kind - 1 : 0, 1);
    SetGauge(panel->FindChild(kWidgetSprite, 2), u.morale, u.maxMorale);
    if (u.lane < b.laneCount)
      std::snprintf(text, sizeof text, "%s%s 兵%d 士%d 列%d", u.commander ? "★" : "", GetBusyoName(u.general),
                    u.soldiers, u.morale, u.lane + 1);
    else
      std::snprintf(text, sizeof text, "%s%s 兵%d 士%d 控", u.commander ? "★" : "", GetBusyoName(u.general), u.soldiers,
                    u.morale);
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
      std::snprintf(text, sizeof text, "%s%s 兵%s 列%d", u.commander ? "★" : "", GetBusyoName(u.general),
                    seen ? std::to_string(u.soldiers).c_str() : "？", u.lane + 1);
    else
      std::snprintf(text, sizeof text, "%s%s 控", u.commander ? "★" : "", GetBusyoName(u.general));
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
    if (CVMenuText* t = TextOf(icon, 1)) t->SetText(seen ? GetBusyoName(u.general) : "？", true);
  }
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
      const BattleUnit& u = g_Battle.sides[side].units[r.unit];
      char text[96];
      const char* skill = r.skill >= 1 && r.skill <= kSkillCount ? SkillTable[r.skill - 1].name : "";
      if (r.value >= 0)
        std::snprintf(text, sizeof text, "%.16s %s %d", skill, GetBusyoName(u.general), r.value);
      else
        std::snprintf(text, sizeof text, "%.16s %s", skill, GetBusyoName(u.general));
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
  if (field_) {
    field_->Sync(g_Battle);
    field_->DebugControl(KassenField3D::ReadDebugInput(field_->FreeCameraOn()), GetDebugWords().debugMode != 0);
    field_->Update(dt * (GetSceneMgr().IsKeyDown(VK_CONTROL) ? 5.0f : 1.0f), clicked_);
    if (field_->TakePanelRefresh()) RefreshPanels();
  }
  clicked_ = false;
  return r;
}

bool CVSceneKassen::DrawMain() {
  if (field_) field_->Draw();
  return CVScene::DrawMain();
}

bool CVSceneKassen::IsActionPlaying() const { return field_ && field_->IsActionPlaying(); }

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

int KassenScreenPort::PlayerSiegeOrder() {
  if (!Scene()) return kOrderByAi;
  return Orders().SiegeOrder();
}

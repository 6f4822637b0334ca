#include "tests/support/autoplay/auto_player.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>

#include "core/app_state.h"
#include "core/step_machine.h"
#include "platform/text/cp932.h"
#include "save/save_slot.h"
#include "scenario/script/adv_script.h"
#include "screens/front/scene_title.h"
#include "screens/scenario/menu_adv.h"
#include "screens/scenario/scene_adv.h"
#include "screens/strategy/menu_slg_main.h"
#include "screens/strategy/scene_slg.h"
#include "screens/strategy/slg_dialogs.h"
#include "shell/frame.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/cv_scene.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_text.h"
#include "world/turn/world_hash.h"
#include "world/world_check.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace fs = std::filesystem;

namespace v4play {

namespace {

volatile std::sig_atomic_t g_terminate = 0;

// Scene ids of the scene table.
enum : int {
  kSceneTitle = 1,
  kSceneStory = 2,
  kSceneSlg = 3,
  kSceneSave = 4,
  kSceneLoad = 5,
  kSceneSettings = 6,
  kSceneExtras = 7,
  kSceneBattle = 8,
  kSceneDialog = 10,
  kSceneInfo = 11,
  kSceneTutorial = 12,
};

// Map commands that only switch the command table, and those that only show information.
bool IsTableCommand(int c) { return c == 43 || c == 44 || c == 45; }
bool IsInfoCommand(int c) { return c == 36 || c == 40 || c == 14; }

std::string Utf8(const std::string& cp932) {
  std::string s = plat::Cp932ToUtf8(cp932);
  for (char& c : s)
    if (c == '\n' || c == '\r') c = ' ';
  return s;
}

CVSceneSLG* SlgSceneNow() { return dynamic_cast<CVSceneSLG*>(GetSceneMgr().GetScene(kSceneSlg)); }
CVMenuSLGMain* MapNow() {
  CVSceneSLG* s = SlgSceneNow();
  return s ? s->MapMenu() : nullptr;
}
CVMenuBase* ShownDialog() {
  CVSceneSLG* s = SlgSceneNow();
  CVMenuBase* d = s ? s->DialogMenu() : nullptr;
  return d && d->IsShown() ? d : nullptr;
}
CVSceneADV* StoryScene() { return dynamic_cast<CVSceneADV*>(GetSceneMgr().GetScene(kSceneStory)); }

// Whether a widget and everything above it is shown.
bool ShownChain(CVMenuBase* w) {
  for (; w; w = w->GetParent())
    if (!w->TestFlag(kWfShown) || !w->TestFlag(kWfActive)) return false;
  return true;
}

ScreenPoint Centre(CVMenuBtn* b) {
  Vector3 p;
  b->GetParentWorldPos(p);
  return {static_cast<int>(p.x + b->position.x + b->size.x / 2), static_cast<int>(p.y + b->position.y + b->size.y / 2)};
}

template <typename F>
void Walk(CVMenuBase* w, F&& f) {
  f(w);
  ForEachChild(w, [&](CVMenuBase* c) { Walk(c, f); });
}

// The map is idle: its command panel waits for the player and nothing of a command is open.
bool MapIdle() {
  CVMenuSLGMain* m = MapNow();
  if (!m || GetSceneMgr().GetCurrentSceneId() != kSceneSlg || ShownDialog()) return false;
  return m->CommandInProgress() == -1 && (m->StateFlags() & CVMenuSLGMain::kCommandMenu) &&
         !(m->StateFlags() & CVMenuSLGMain::kWaiting);
}

bool TitleReady() {
  auto* t = dynamic_cast<CVSceneTitle*>(GetSceneMgr().GetCurrentScene());
  return t && GetSceneMgr().GetCurrentSceneId() == kSceneTitle && t->GetPhase() == CVSceneTitle::kPhaseMenu &&
         t->GetStepValue() == 2;
}

// Every map command once, in the order of the command tables.
std::vector<std::pair<int, std::string>> MapCommands() {
  std::vector<std::pair<int, std::string>> out;
  std::set<int> seen;
  for (int t = 0; t < 6; ++t)
    for (int r = 0; r < 14; ++r) {
      const SlgCommandRow& row = CVMenuSLGMain::TableRow(t, r);
      if (row.command >= 0 && seen.insert(row.command).second) out.emplace_back(row.command, row.label);
    }
  return out;
}

int CountPlayerCastles() {
  int n = 0;
  for (int i = 0; i < kSiroCount; ++i) n += SiroTable[i].kuni != kNoKuni && SiroTable[i].owner == PlayerDaimyoId;
  return n;
}

// A point inside province k of the country map, from the map's own mask; {-1, -1} when none.
ScreenPoint PointInKuni(CVMenuSLGMain* map, int k) {
  const KuniPosTable& t = map->CountryTable();
  int32_t r[4];
  if (!t.GetKuniRect(k, r)) return {-1, -1};
  const int cx = (r[0] + r[2]) / 2, cy = (r[1] + r[3]) / 2 + std::min(24, (r[3] - r[1]) / 3);
  for (int d = 0; d < 40; ++d)
    for (int dy = -d; dy <= d; ++dy)
      for (int dx = -d; dx <= d; ++dx)
        if (t.MaskLookup(cx + dx, cy + dy) == k) return {cx + dx, cy + dy};
  return {-1, -1};
}

}  // namespace

AutoPlayer::AutoPlayer(GameSession& session, const PlayOptions& options, std::string* out)
    : session_(session), opt_(options), out_(out), rng_(0x9E3779B97F4A7C15ull ^ options.seed) {}

double AutoPlayer::Rand01() { return static_cast<double>(rng_() >> 11) * (1.0 / 9007199254740992.0); }

size_t AutoPlayer::Pick(const std::vector<Action>& acts) {
  double total = 0;
  for (const Action& a : acts) total += a.weight;
  double r = Rand01() * total;
  for (size_t i = 0; i < acts.size(); ++i) {
    if (r < acts[i].weight) return i;
    r -= acts[i].weight;
  }
  return acts.size() - 1;
}

void AutoPlayer::Line(const std::string& s) {
  std::fputs((s + "\n").c_str(), stdout);
  std::fflush(stdout);
  if (out_) *out_ += s + "\n";
}

uint64_t AutoPlayer::SaveFingerprint(bool withSystem) {
  // The player's slots (d, q); the auto ring is the game's own.
  uint64_t h = 1469598103934665603ull;
  std::error_code ec;
  const fs::path dir = fs::path(session_.Folder()) / "SaveData";
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string top = it->path().parent_path().filename().string();
    const bool slot = !top.empty() && (top[0] == 'd' || top[0] == 'q' || (top[0] >= '0' && top[0] <= '9'));
    if (!slot && !(withSystem && top == "sys")) continue;
    const auto t = fs::last_write_time(it->path(), ec).time_since_epoch().count();
    const auto size = it->file_size(ec);
    for (uint64_t v :
         {static_cast<uint64_t>(t), static_cast<uint64_t>(size), std::hash<std::string>()(it->path().string())})
      h = (h ^ v) * 1099511628211ull;
  }
  return h;
}

void AutoPlayer::NoteMessage(const std::string& text) {
  if (text.empty() || (!lastMessages_.empty() && lastMessages_.back() == text)) return;
  lastMessages_.push_back(text);
  if (lastMessages_.size() > 8) lastMessages_.pop_front();
}

std::string AutoPlayer::Signature() {
  std::ostringstream s;
  CVSceneMgr& mgr = GetSceneMgr();
  s << GameMode << '|' << mgr.GetCurrentSceneId() << '|';
  for (uint16_t id : mgr.GetStack()) s << id << ',';
  if (CVScene* cur = mgr.GetCurrentScene()) {
    s << '|' << cur->GetPhase() << ':' << cur->GetStepValue();
    for (const CVScene::SceneMenu& m : cur->Menus())
      if (m.widget->IsShown()) s << ";m" << m.sceneMenuId << ':' << m.widget->GetState();
  }
  if (GameMode == game_mode::kSlg) {
    s << "|t" << TurnCounter << ':' << int{SeasonIndex} << ':' << int{TurnSubPhase} << "|sm";
    for (uint32_t i = 0; i < kStepLevels && (i <= g_StepMachine.depth || g_StepMachine.step[i] != kStepIdle); ++i)
      s << g_StepMachine.step[i] << ',';
    // On an idle map the message line only names the row under the pointer: no movement.
    if (CVMenuSLGMain* m = MapNow())
      s << "|f" << (m->StateFlags() & 0x3E00) << ':' << m->CommandInProgress() << ':' << m->CurrentTable() << ':'
        << (MapIdle() ? std::string() : m->MessageText());
    if (CVMenuBase* d = ShownDialog()) s << "|d" << d << ':' << d->GetState();
  }
  if (CVSceneADV* a = StoryScene(); a && a->Window())
    s << "|a" << GetAdvScript().pc << ':' << a->Window()->ReadId() << ':' << a->Window()->windowState;
  if (auto* dlg = dynamic_cast<CVSceneDlg*>(mgr.GetCurrentScene())) s << "|k" << dlg->GetKind();
  return s.str();
}

void AutoPlayer::SeasonLine() {
  std::ostringstream s;
  const char* name = GetDaimyoName(PlayerDaimyoId, true);
  const DaimyoRecord* clan = PlayerDaimyoId < kDaimyoSlots ? &DaimyoTable[PlayerDaimyoId] : nullptr;
  s << "season " << seasons_ << " clan " << Utf8(name ? name : "?") << " castles " << CountPlayerCastles()
    << " battles " << battles_ << " dialogs " << dialogs_ << " saves " << saves_ << " revenue "
    << (clan ? clan->revenue : 0);
  if (opt_.verbose) s << " turn " << TurnCounter << " year " << GameYear << " step " << g_LogicSteps.load();
  Line(s.str());
}

void AutoPlayer::StoryLine(const char* how) {
  const char* start = storyStart_ == CVSceneTitle::kStory ? "story"
                      : storyStart_ == 10001              ? "act2"
                      : storyStart_ == 10005              ? "tutorial"
                                                          : "load";
  std::ostringstream s;
  s << "story " << storyRuns_ << " start " << start << " messages " << messages_ << " choices " << choices_
    << " dialogs " << dialogs_ << " saves " << saves_ << " loads " << loads_ << " end " << how;
  Line(s.str());
}

void AutoPlayer::EndCommand() {
  const int c = pendingCommand_;
  pendingCommand_ = -1;
  if (c < 0) return;
  CVMenuSLGMain* m = MapNow();
  bool done = WorldHash() != pendingWorld_ || SaveFingerprint(true) != pendingSaves_;
  if (IsTableCommand(c)) done = m && m->CurrentTable() != pendingTable_;
  if (IsInfoCommand(c)) done = done || dialogs_ > pendingDialogs_;
  if (c == 17) done = GameMode != game_mode::kSlg;
  if (done)
    ++commands_[c].completed;
  else
    ++commands_[c].backed;
}

bool AutoPlayer::Observe() {
  steps_ = g_LogicSteps.load();
  if (!session_.Boxes().empty()) {
    const v4test::RecordedBox& b = session_.Boxes().front();
    Fail("error box \"" + Utf8(b.title) + "\": " + Utf8(b.text));
    return false;
  }
  if (!session_.AskedBoxes().empty()) {
    Fail("a box was asked: " + Utf8(session_.AskedBoxes().front()));
    return false;
  }
  if (g_QuitRequested.load()) {
    Fail("the game asked to end the program");
    return false;
  }
  CVSceneMgr& mgr = GetSceneMgr();
  const int cur = mgr.GetCurrentSceneId();
  if (cur != lastScene_) {
    if (cur == kSceneBattle && lastScene_ == kSceneSlg) ++battles_;
    // A battle (with the pages and questions opened over it) has its own limit: its steps do not
    // count against the season's.
    if (cur == kSceneBattle && !inBattle_) {
      inBattle_ = true;
      battleStart_ = steps_;
    } else if (inBattle_ && cur != kSceneBattle && cur != kSceneInfo && cur != kSceneDialog) {
      inBattle_ = false;
      // Only the battle's steps inside the season (or story run) that is counted now.
      periodStart_ += steps_ - std::max(battleStart_, periodStart_);
    }
    if (cur == kSceneDialog || cur == kSceneInfo || cur == kSceneSave || cur == kSceneLoad || cur == kSceneSettings ||
        cur == kSceneTutorial)
      ++dialogs_;
    if (auto* dlg = dynamic_cast<CVSceneDlg*>(mgr.GetCurrentScene()))
      NoteMessage("[dialog kind " + std::to_string(dlg->GetKind()) + "]");
    lastScene_ = cur;
  }
  const uint64_t fp = SaveFingerprint();
  if (fp != saveFingerprint_) {
    if (saveFingerprint_ != 0) ++saves_;
    saveFingerprint_ = fp;
  }

  // The strategy game: seasons, phases (with the world's invariants), dialogs, messages, commands.
  CVMenuSLGMain* map = MapNow();
  if (GameMode == game_mode::kSlg && map && map->MapState() != 1 && g_StepMachine.step[1] >= 3) {
    seenStrategy_ = true;
    CVMenuBase* d = ShownDialog();
    if (d && d != lastDialog_) ++dialogs_;
    lastDialog_ = d;
    NoteMessage(map->MessageText());
    const uint32_t turnKey = static_cast<uint32_t>(TurnCounter) << 8 | SeasonIndex;
    const uint32_t phaseKey = turnKey << 8 | TurnSubPhase;
    if (phaseKey != lastPhaseKey_) {
      if (lastPhaseKey_ != 0xFFFFFFFFu) {
        // The map is seen after the change to the war phase only once the phase is running
        // (often after the player's own battle), when other clans' marchers stand in their
        // targets' second lists.
        const std::vector<std::string> problems = CollectWorldProblems(TurnSubPhase == 4);
        if (!problems.empty()) {
          std::string all;
          for (const std::string& p : problems) all += "\n  " + Utf8(p);
          Fail("the world is broken after a phase:" + all);
          return false;
        }
      }
      lastPhaseKey_ = phaseKey;
      commandsThisPhase_ = 0;
    }
    if (turnKey != lastTurnKey_) {
      if (lastTurnKey_ != 0xFFFFFFFFu && turnKey > lastTurnKey_) {
        ++seasons_;
        periodStart_ = steps_;
        if (!opt_.story) SeasonLine();
      }
      lastTurnKey_ = turnKey;
    }
    if (pendingCommand_ != -1 && MapIdle()) EndCommand();
  } else if (pendingCommand_ != -1 && GameMode != game_mode::kSlg && cur != kSceneSave && cur != kSceneLoad &&
             cur != kSceneSettings && cur != kSceneDialog) {
    EndCommand();
  }
  if (GameMode != game_mode::kSlg) lastDialog_ = nullptr;

  // The story: messages and the runs from the title.
  if (CVSceneADV* a = StoryScene(); a && a->Window() && cur == kSceneStory) {
    const int id = a->Window()->ReadId();
    if (id != lastAdvReadId_) {
      ++messages_;
      lastAdvReadId_ = id;
      NoteMessage(a->Window()->PageText() ? a->Window()->PageText() : "");
    }
  }
  if (opt_.story) {
    if (GameMode == game_mode::kSlg && cur == kSceneSlg && storyStart_ != -1) toTitle_ = true;
    if (TitleReady() && storyStart_ != -1) {
      ++storyRuns_;
      StoryLine(toTitle_ ? "strategy" : "title");
      storyStart_ = -1;
      toTitle_ = false;
      periodStart_ = steps_;
    }
  }

  // The watchdog.
  const std::string sig = Signature();
  if (sig != lastSignature_) {
    lastSignature_ = sig;
    lastMoveStep_ = steps_;
  } else if (steps_ - lastMoveStep_ > static_cast<uint64_t>(opt_.stuckSteps)) {
    Fail("nothing moved for " + std::to_string(steps_ - lastMoveStep_) + " logic steps while input was given");
    return false;
  }
  if (inBattle_) {
    if (steps_ - battleStart_ > static_cast<uint64_t>(opt_.battleSteps)) {
      Fail("the battle did not end within " + std::to_string(opt_.battleSteps) + " logic steps");
      return false;
    }
  } else if (steps_ - periodStart_ > static_cast<uint64_t>(opt_.seasonSteps)) {
    Fail(opt_.story ? "the story run did not end within " + std::to_string(opt_.seasonSteps) + " logic steps"
                    : "the season did not end within " + std::to_string(opt_.seasonSteps) + " logic steps");
    return false;
  }
  return true;
}

void AutoPlayer::AddButtons(CVMenuBase* root, std::vector<Action>& acts, bool withDisabled) {
  CVMenuSLGMain* map = dynamic_cast<CVMenuSLGMain*>(root);
  Walk(root, [&](CVMenuBase* w) {
    auto* b = dynamic_cast<CVMenuBtn*>(w);
    if (!b || b->firstId == -1 || !ShownChain(b) || b->TestFlag(kWfNoHit)) return;
    const ScreenPoint p = Centre(b);
    if (p.x < 0 || p.y < 0 || p.x >= 1280 || p.y >= 720 || !b->HitTest(p.x, p.y)) return;
    Action a;
    a.x = p.x;
    a.y = p.y;
    a.id = b->firstId;
    a.enabled = b->TestFlag(kWfEnabled);
    if (map && a.id >= 10000 && a.id <= 10014 && a.id != 10009) {
      const int row = a.id <= 10008 ? a.id - 10000 : a.id - 10001;
      a.command = CVMenuSLGMain::TableRow(map->CurrentTable(), row).command;
    }
    if (!a.enabled && !(withDisabled && a.command >= 0)) return;
    a.weight = 1;
    acts.push_back(a);
  });
}

void AutoPlayer::Choose(std::vector<Action>& acts) {
  CVSceneMgr& mgr = GetSceneMgr();
  CVScene* scene = mgr.GetCurrentScene();
  if (scene) {
    for (const CVScene::SceneMenu& m : scene->Menus())
      if (m.widget->IsShown()) AddButtons(m.widget, acts, true);
  }
  const int cur = mgr.GetCurrentSceneId();
  const bool onMap = cur == kSceneSlg;
  Action blank;
  blank.x = onMap ? 60 : 640;
  blank.y = onMap ? 580 : 200;
  blank.weight = 0.6;
  blank.id = -2;
  acts.push_back(blank);
  Action right = blank;
  right.right = true;
  right.weight = 0.2;
  right.id = -3;
  acts.push_back(right);
  Action wait;
  wait.wait = true;
  wait.weight = 0.3;
  wait.id = -4;
  acts.push_back(wait);
  if (opt_.story)
    WeighStory(acts);
  else
    WeighStrategy(acts);
}

// Weights shared by both modes: the screens over the game.
namespace {
bool WeighCommon(int scene, std::vector<std::pair<int, double*>>& ids, bool toTitle) {
  for (auto& [id, w] : ids) {
    if (id < 0) continue;
    switch (scene) {
      case kSceneDialog:
        *w = id == 1 ? (toTitle ? 8 : 3) : id == 2 ? 1 : 0.2;
        break;
      case kSceneInfo:
        *w = id == 1 || id == 2 ? 2 : 0.7;
        break;
      case kSceneSave:
        *w = id >= 10100 && id <= 10109 ? 0.8 : id == 1 ? 2 : 0.2;
        break;
      case kSceneLoad:
        *w = id >= 10100 && id <= 10109 ? 0.6 : id == 1 ? 2 : 0.3;
        break;
      case kSceneSettings:
        // The window mode buttons are left alone: there is no window.
        *w = id == 10013 || id == 10014 ? 0 : id == 1 || id == 2 ? 2 : 0.3;
        break;
      case kSceneTutorial:
        *w = id == 1 ? 1 : 2;
        break;
      case kSceneExtras:
        *w = id == 1 ? 3 : 0.3;
        break;
      case kSceneBattle:
        *w = id >= 300 && id <= 307                 ? 3
             : id >= 2000 && id <= 2005             ? 2
             : id == 200                            ? 0.5
             : id == 402                            ? 0.3
             : id == 400 || id == 401 || id == 1000 ? 0.15
                                                    : 1;
        break;
      default:
        return false;
    }
  }
  return true;
}
}  // namespace

void AutoPlayer::WeighStrategy(std::vector<Action>& acts) {
  const int cur = GetSceneMgr().GetCurrentSceneId();
  std::vector<std::pair<int, double*>> ids;
  for (Action& a : acts) ids.emplace_back(a.id, &a.weight);
  if (WeighCommon(cur, ids, toTitle_)) return;
  if (cur == kSceneTitle) {
    for (Action& a : acts) {
      if (a.id < 0) continue;
      a.weight = a.id == CVSceneTitle::kStrategy ? 10
                 : a.id == 10006                 ? (saves_ > 0 ? 2 : 0)
                 : a.id == 10007                 ? 0.3
                 : a.id == 10105                 ? 1
                                                 : 0;
    }
    return;
  }
  if (cur == kSceneStory) {  // a story event of the strategy game
    WeighStory(acts);
    return;
  }
  if (cur != kSceneSlg) return;  // anything else: every shown button alike
  CVMenuSLGMain* map = MapNow();
  CVMenuBase* dialog = ShownDialog();
  const bool inCommand = map && map->CommandInProgress() != -1;
  // A dialog's own buttons (rows, tabs, sorts) share a bounded weight, so that a long list does not
  // keep the player from confirming.
  int dialogOthers = 0;
  for (const Action& a : acts)
    if (dialog && a.id >= 0 && a.command < 0 && a.id != 1000 && a.id != 1001 && a.id != 200 && a.id != 5000 &&
        a.id != 2 && a.id != 3)
      ++dialogOthers;
  const double otherWeight = dialogOthers ? std::min(1.2, 6.0 / dialogOthers) : 0;
  for (Action& a : acts) {
    if (a.id == -3) a.weight = toTitle_ && inCommand ? 5 : inCommand || dialog ? 0.4 : 0.15;
    if (a.id < 0) continue;
    if (dialog && a.command < 0 && !(a.id == 2 || a.id == 3)) {
      a.weight = a.id == 1000 ? 4 : a.id == 1001 ? 1 : a.id == 200 || a.id == 5000 ? 3 : otherWeight;
      continue;
    }
    if (a.command >= 0) {
      if (!a.enabled) {
        a.weight = 0.15;
        continue;
      }
      switch (a.command) {
        case 15:
          a.weight = toTitle_ ? 0 : 0.5 + 1.5 * std::min(commandsThisPhase_, 6);
          break;
        case 41:
          a.weight = 0.4;
          break;
        case 42:
          a.weight = HasQuickSave() ? 0.25 : 0.05;
          break;
        case 43:
          a.weight = toTitle_ ? 10 : 0.4;
          break;
        case 44:
          a.weight = 0.6;
          break;
        case 45:
          a.weight = 1;
          break;
        case 28:
          a.weight = 1;
          break;
        case 47:
          a.weight = 0.6;
          break;
        case 46:
          a.weight = 0.4;
          break;
        case 17:
          a.weight = toTitle_ ? 10 : 0.15;
          break;
        default:
          a.weight = IsInfoCommand(a.command) ? 1 : 2.5;
      }
      continue;
    }
    const int id = a.id;
    a.weight = id == 2                      ? (toTitle_ ? 5 : 3)
               : id == 3                    ? 1
               : id >= 12500 && id <= 12505 ? 2
               : id == 12000 || id == 12001 ? 0.5
               : id >= 300 && id <= 307     ? (inCommand ? 2 : 0.4)
               : id >= 350 && id <= 359     ? (inCommand ? 1 : 0.2)
               : id >= 500 && id <= 505     ? (inCommand ? 2 : 0.2)
               : id >= 600 && id <= 605     ? 0.1
               : id >= 700 && id <= 706     ? 0.1
               : id == 750                  ? 0.3
               : id >= 11000 && id <= 11002 ? 0.05
                                            : 0.3;
  }
  for (Action& a : acts)
    if (a.command >= 0 && std::find(opt_.avoid.begin(), opt_.avoid.end(), a.command) != opt_.avoid.end()) a.weight = 0;
  // Provinces of the country map, for the commands that pick one and for looking around.
  if (map && !dialog && !map->IsKuniFocused() && map->MapState() == 0) {
    for (int i = 0; i < 3; ++i) {
      const int k = static_cast<int>(rng_() % CVMenuSLGMain::kKuni);
      const ScreenPoint p = PointInKuni(map, k);
      if (p.x < 0) continue;
      Action a;
      a.x = p.x;
      a.y = p.y;
      a.id = -5;
      a.weight = inCommand ? 0.8 : 0.2;
      acts.push_back(a);
    }
  }
}

void AutoPlayer::WeighStory(std::vector<Action>& acts) {
  const int cur = GetSceneMgr().GetCurrentSceneId();
  std::vector<std::pair<int, double*>> ids;
  for (Action& a : acts) ids.emplace_back(a.id, &a.weight);
  if (WeighCommon(cur, ids, toTitle_)) return;
  if (cur == kSceneTitle && opt_.story) {
    for (Action& a : acts) {
      if (a.id < 0) continue;
      a.weight = a.id == CVSceneTitle::kStory ? 4
                 : a.id == 10001              ? 3
                 : a.id == 10005              ? 3
                 : a.id == 10006              ? (saves_ > 0 ? 1.5 : 0)
                 : a.id == 10007              ? 0.3
                 : a.id == 10105              ? 1
                                              : 0;
    }
    return;
  }
  if (cur == kSceneSlg && opt_.story) {
    // The story handed over to the strategy game: back to the title through the system menu.
    toTitle_ = true;
    WeighStrategy(acts);
    return;
  }
  if (cur != kSceneStory) return;
  CVSceneADV* s = StoryScene();
  CVMenuADV* w = s ? s->Window() : nullptr;
  const bool choice = w && w->Bit(CVMenuADV::kWsChoice);
  const bool backlog = w && w->Bit(CVMenuADV::kWsBacklog);
  for (Action& a : acts) {
    const int id = a.id;
    if (id == -2) a.weight = choice || backlog ? 0.3 : 20;
    if (id == -3) a.weight = backlog ? 2 : 0.3;
    if (id == -4) a.weight = 0.5;
    if (id < 0) continue;
    a.weight = id >= 10100 && id <= 10103   ? 10
               : id == 10200                ? 4
               : id >= 10210 && id <= 10213 ? 0.3
               : id == CVMenuADV::kBtnTitle ? 0.05
               : id >= 10000 && id <= 10009 ? (choice ? 0.4 : 0.15)
                                            : 0.3;
  }
}

void AutoPlayer::Perform(const Action& a) {
  FrameDriver& d = session_.Driver();
  if (a.wait) {
    d.Ticks(10);
    return;
  }
  const int cur = GetSceneMgr().GetCurrentSceneId();
  if (a.command >= 0) {
    if (!a.enabled) {
      ++commands_[a.command].refused;
    } else {
      if (pendingCommand_ != -1) EndCommand();
      CVMenuSLGMain* m = MapNow();
      pendingCommand_ = a.command;
      pendingTable_ = m ? m->CurrentTable() : -1;
      pendingWorld_ = WorldHash();
      pendingSaves_ = SaveFingerprint(true);
      pendingDialogs_ = dialogs_;
      ++commands_[a.command].opened;
      if (a.command != 15) ++commandsThisPhase_;
    }
  }
  if (cur == kSceneStory && a.id >= 10100 && a.id <= 10103) ++choices_;
  if (cur == kSceneLoad && a.id >= 10100 && a.id <= 10109) ++loads_;
  if (cur == kSceneTitle && opt_.story &&
      (a.id == CVSceneTitle::kStory || a.id == 10001 || a.id == 10005 || a.id == 10006))
    storyStart_ = a.id;
  std::ostringstream what;
  what << "step " << g_LogicSteps.load() << " scene " << cur << " mode " << GameMode << ": "
       << (a.right ? "right click" : "click") << " (" << a.x << "," << a.y << ")";
  if (a.id >= 0) what << " button " << a.id;
  if (a.command >= 0) what << " command " << a.command << (a.enabled ? "" : " (refused)");
  if (opt_.trace) Line("action " + what.str());
  lastActions_.push_back(what.str());
  actionSteps_.push_back(g_LogicSteps.load());
  if (lastActions_.size() > 1000) {
    lastActions_.pop_front();
    actionSteps_.pop_front();
  }
  d.Click({a.x, a.y}, a.right);
}

std::string AutoPlayer::Dump() {
  std::ostringstream s;
  CVSceneMgr& mgr = GetSceneMgr();
  s << "  game mode " << GameMode << ", logic step " << steps_ << ", last movement at " << lastMoveStep_ << "\n";
  s << "  scene " << mgr.GetCurrentSceneId() << ", stack [";
  for (uint16_t id : mgr.GetStack()) s << ' ' << id;
  s << " ]\n";
  if (CVScene* cur = mgr.GetCurrentScene()) {
    s << "  scene " << cur->GetSceneId() << " phase " << cur->GetPhase() << " step " << cur->GetStepValue()
      << " requested " << cur->GetRequestedPhase() << "\n";
    for (const CVScene::SceneMenu& m : cur->Menus()) {
      if (!m.widget->IsShown()) continue;
      s << "  menu " << m.sceneMenuId << " state " << m.widget->GetState() << " depth bound "
        << GetMenuMgr().GetDepthBound();
      if (auto* cmd = dynamic_cast<CVMenuSLG_CmdBase*>(m.widget)) s << " dialog id " << cmd->GetDialogId();
      s << "\n    buttons:";
      Walk(m.widget, [&](CVMenuBase* w) {
        auto* b = dynamic_cast<CVMenuBtn*>(w);
        if (!b || b->firstId == -1 || !ShownChain(b)) return;
        const ScreenPoint p = Centre(b);
        s << ' ' << b->firstId << (b->TestFlag(kWfEnabled) ? "" : "(off)") << (b->HitTest(p.x, p.y) ? "" : "(no hit)");
      });
      s << "\n";
    }
    if (auto* dlg = dynamic_cast<CVSceneDlg*>(cur)) s << "  dialog scene kind " << dlg->GetKind() << "\n";
  }
  if (GameMode == game_mode::kSlg || MapNow()) {
    s << "  turn " << TurnCounter << " year " << GameYear << " season " << int{SeasonIndex} << " phase "
      << int{TurnSubPhase} << " player " << int{PlayerDaimyoId} << "\n  step machine depth " << g_StepMachine.depth
      << " steps";
    // Every level in use (the depth is back at 0 between frames).
    for (uint32_t i = 0; i < kStepLevels && (i <= g_StepMachine.depth || g_StepMachine.step[i] != kStepIdle); ++i)
      s << ' ' << g_StepMachine.step[i] << '/' << g_StepMachine.subStep[i] << '/' << int{g_StepMachine.state[i]};
    s << "\n";
    if (CVMenuSLGMain* m = MapNow())
      s << "  map state " << m->MapState() << " flags 0x" << std::hex << m->StateFlags() << std::dec << " command "
        << m->CommandInProgress() << " table " << m->CurrentTable() << " focused " << m->IsKuniFocused()
        << " message \"" << Utf8(m->MessageText()) << "\"\n";
    if (CVSceneSLG* sc = SlgSceneNow(); sc && sc->DialogMenu())
      s << "  command dialog id " << sc->DialogMenu()->GetDialogId() << " state " << sc->DialogMenu()->GetState()
        << " shown " << sc->DialogMenu()->IsShown() << "\n";
    if (pendingCommand_ != -1) s << "  the player's command " << pendingCommand_ << " is open\n";
  }
  if (CVSceneADV* a = StoryScene(); a && a->Window()) {
    char where[512];
    GetAdvScript().FormatLastScript(where, sizeof where, "");
    s << "  script pc " << GetAdvScript().pc << " wait " << a->WaitAdvance() << " window state 0x" << std::hex
      << a->Window()->windowState << std::dec << " read " << a->Window()->ReadId() << " choices "
      << a->Window()->ChoiceCount() << "\n  script:" << Utf8(where) << "\n";
  }
  s << "  last messages:\n";
  for (const std::string& m : lastMessages_) s << "    " << Utf8(m) << "\n";
  // The actions up to the last movement (what led here), then the last few that moved nothing.
  s << "  actions before the last movement:\n";
  for (size_t i = 0; i < lastActions_.size(); ++i)
    if (actionSteps_[i] + 400 >= lastMoveStep_ && actionSteps_[i] <= lastMoveStep_)
      s << "    " << lastActions_[i] << "\n";
  s << "  last actions:\n";
  for (size_t i = lastActions_.size() > 5 ? lastActions_.size() - 5 : 0; i < lastActions_.size(); ++i)
    s << "    " << lastActions_[i] << "\n";
  return s.str();
}

void AutoPlayer::Fail(const std::string& why) {
  failure_ = why;
  Line("stuck: " + why + " (seed " + std::to_string(opt_.seed) + ")");
  Line(Dump());
}

void AutoPlayer::RequestTermination() { g_terminate = 1; }

int AutoPlayer::Run() {
  periodStart_ = g_LogicSteps.load();
  for (;;) {
    if (!Observe()) return 1;
    if (!opt_.story && seasons_ >= opt_.seasons) break;
    if (opt_.story && storyRuns_ >= opt_.steps) break;
    if (g_terminate) {
      Line("terminated: asked to end (seed " + std::to_string(opt_.seed) + ")");
      Line(Dump());
      Summary("terminated");
      return 143;
    }
    std::vector<Action> acts;
    Choose(acts);
    Perform(acts[Pick(acts)]);
  }
  Summary("ok");
  return 0;
}

void AutoPlayer::Summary(const char* how) {
  if (!opt_.story) {
    // A command cut off by a termination is neither completed nor backed.
    if (std::string(how) == "ok")
      EndCommand();
    else
      pendingCommand_ = -1;
    for (const auto& [cmd, label] : MapCommands()) {
      const CommandCount& c = commands_[cmd];
      std::ostringstream s;
      s << "command " << Utf8(label) << " opened " << c.opened << " completed " << c.completed << " refused "
        << c.refused << " backed " << c.backed;
      Line(s.str());
    }
  }
  std::ostringstream s;
  s << "autoplay " << how << " seed " << opt_.seed;
  if (opt_.story)
    s << " story runs " << storyRuns_ << " messages " << messages_ << " choices " << choices_;
  else
    s << " seasons " << seasons_ << " battles " << battles_;
  s << " dialogs " << dialogs_ << " saves " << saves_ << " steps " << g_LogicSteps.load();
  Line(s.str());
}

}  // namespace v4play

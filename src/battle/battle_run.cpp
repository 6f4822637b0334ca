// Battle set-up (involvement, rosters, commanders, weather) and the step routine that runs a
// battle from the announcement to the refreshed map.
#include "battle/battle_run.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "battle/battle_rules.h"
#include "battle/battle_screen_port.h"
#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "world/slg_util.h"
#include "world/turn/save_register.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

BattleLossCounters g_BattleLosses;

namespace {

BattleState& B() { return g_Battle; }
BattleConfigSource g_configSource = nullptr;
BattleScreenPort g_nullScreen;
BattleScreenPort* g_screen = &g_nullScreen;
bool g_inScene = false;
bool g_deployed = false;
// How the battle ended, its last two result lines, told again on the map afterwards.
std::string g_resultText;

constexpr const char* kSlgMusic = "Data\\bgm\\M02.voi";

// Frames of the announcement wait and of every other battle wait.
int AnnounceWaitParam() { return GameSpeedParams[4]; }
int BattleWaitParam() { return GameSpeedParams[0]; }

}  // namespace

BattleScreenPort& BattleScreen() { return *g_screen; }
void SetBattleScreenPort(BattleScreenPort* port) { g_screen = port ? port : &g_nullScreen; }
void SetBattleConfigSource(BattleConfigSource source) { g_configSource = source; }

namespace {
void WorldBattleConfig(BattleConfig& c) {
  c.turnLimit = NoKakuuSiroFlag;
  c.eventBlock = StoryEventBlockFlag;
}
}  // namespace

void InstallBattleRules(BattleConfigSource source) {
  static RulesBattlePort port;
  SetBattleConfigSource(source ? source : &WorldBattleConfig);
  SetBattlePort(&port);
}
bool IsBattleSaveAllowed() { return !g_deployed; }

void BattleMessage(const char* text) {
  int mode = B().mode;
  if (mode == 2 && g_inScene)
    BattleScreen().ShowMessage(text);
  else if (mode == 1 || mode == 2)
    SlgScene().ShowMessage(text, 7, false);
}

void BattleSceneLeft() { g_inScene = false; }

void BattleResultMessage(const char* text) {
  BattleMessage(text);
  if (!text || !*text) return;
  const size_t lf = g_resultText.find('\n');
  if (lf != std::string::npos) g_resultText.erase(0, lf + 1);
  if (!g_resultText.empty()) g_resultText += '\n';
  g_resultText += text;
}

const std::string& BattleResultText() { return g_resultText; }

void BattleWait() {
  if (B().mode != 0) SetFrameWait(BattleWaitParam());
}

// ---- Set-up ----

int DecideBattleMode(int siro) {
  const SiroRecord* s = SiroPtr(siro);
  if (!s) return 0;
  int mode = 0;
  const KuniRecord* k = KuniPtr(s->kuni);
  if (k && k->firstSiro != kNoSiro)
    for (int id = k->firstSiro; id <= k->lastSiro && id < kSiroSlots; ++id)
      if (IsSiroInUse(id) && SiroTable[id].owner == PlayerDaimyoId) mode = 1;
  if (!g_BattleConfig.turnLimit) {
    if (s->owner == PlayerDaimyoId || s->list2[0].force == PlayerDaimyoId) mode = 2;
  } else {
    mode = 0;
  }
  if (g_BattleConfig.startOption == 1 && mode == 2) mode = 1;
  return mode;
}

void ClearBattleGroups() {
  BattleState& b = B();
  for (int i = 0; i < 6; ++i) b.groupA[i] = b.groupB[i] = kNoUnitGeneral;
  b.enemyClan = 255;
}

void BuildBattleGroups() {
  BattleState& b = B();
  ClearBattleGroups();
  const SiroRecord* s = SiroPtr(b.targetSiro);
  if (!s) return;
  bool playerAttacks = s->list2[0].force == PlayerDaimyoId;
  const SiroBusyoRef* a = playerAttacks ? s->list2 : s->list1;
  const SiroBusyoRef* o = playerAttacks ? s->list1 : s->list2;
  for (int i = 0; i < kSiroListLen; ++i) {
    b.groupA[i] = GetForceSlotBusyo(a[i].force, a[i].slot);
    b.groupB[i] = GetForceSlotBusyo(o[i].force, o[i].slot);
  }
  b.enemyClan = playerAttacks ? s->owner : s->list2[0].force;
}

void BattleBuildRosters() {
  BattleState& b = B();
  const SiroRecord* s = SiroPtr(b.targetSiro);
  if (!s) return;
  // A size class outside 0..2 in the castle record is taken as the largest field.
  b.siroSize = std::min<uint8_t>(s->battlefield, 2);
  b.laneCount = static_cast<uint8_t>((b.siroSize == 0 ? 4 : b.siroSize == 1 ? 5 : 7) - 2);
  b.siroFlag = s->battleFlag == 1 ? 1 : 0;
  b.outcome = 0;
  // The last battle's siege order would read as a siege under way before this one is fought.
  b.siegeOrder = 0;
  b.roadLinked = 0;
  for (const SiroBusyoRef& r : s->list2) {
    uint16_t g = GetForceSlotBusyo(r.force, r.slot);
    if (g >= kBusyoCount) continue;
    uint16_t home = GetBusyoSiro(g);
    if (home != kNoSiro && IsSiroLinkOpen(b.targetSiro, home)) {
      b.roadLinked = 1;
      break;
    }
  }
  if (b.roadLinked) b.siroFlag = 0;
  b.defenderSide = s->owner != PlayerDaimyoId ? 1 : 0;
  b.attackerSide = b.defenderSide ? 0 : 1;
  ClearBattleSide(b.sides[0]);
  b.sides[1] = b.sides[0];
  b.sides[b.attackerSide].isDefender = 0;
  b.sides[b.defenderSide].isDefender = 1;
  b.attackerClan = s->list2[0].force;
  b.defenderClan = s->owner;
  b.sides[b.attackerSide].clan = b.attackerClan;
  b.sides[b.defenderSide].clan = b.defenderClan;
  const SiroBusyoRef* lists[2];
  lists[b.defenderSide] = s->list1;
  lists[b.attackerSide] = s->list2;
  // Commanders: clan heads first, then generals of status other than 0, pictures below 200, and
  // the highest stat 1; ties keep list order.
  for (int side = 0; side < 2; ++side) {
    double bestKey = 0;
    int best = -1;
    for (int i = 0; i < kSiroListLen; ++i) {
      uint16_t g = GetForceSlotBusyo(lists[side][i].force, lists[side][i].slot);
      if (g >= kBusyoCount) continue;
      uint8_t clan = lists[side][i].force;
      double key = 0;
      if (clan >= kDaimyoInPlay || DaimyoTable[clan].head != g) key += 100000;
      if (BusyoTable[g].kizuna == 0) key += 10000;
      if (BusyoTable[g].picture >= 200) key += 1000;
      key += 100 - static_cast<float>(GetBusyoStat1(g)) / 5.0f;
      if (best < 0 || key < bestKey) best = i, bestKey = key;
    }
    if (best >= 0) {
      b.sides[side].units[best].commander = 1;
      uint16_t g = GetForceSlotBusyo(lists[side][best].force, lists[side][best].slot);
      b.sides[side].commanderStat = static_cast<uint8_t>(GetBusyoStat1(g));
    }
  }
  for (int i = 0; i < kSiroListLen; ++i) {
    for (int side : {static_cast<int>(b.defenderSide), static_cast<int>(b.attackerSide)}) {
      const SiroBusyoRef& r = lists[side][i];
      uint16_t g = GetForceSlotBusyo(r.force, r.slot);
      if (g >= kBusyoCount) continue;
      BusyoRecord& rec = BusyoTable[g];
      rec.progress =
          static_cast<uint16_t>(rec.progress + RollBusyoGrowth(side == b.defenderSide ? 1 : 0, g, rec.experience));
      BattleSide& bs = b.sides[side];
      BattleUnit& u = bs.units[i];
      u.general = u.firstGeneral = g;
      u.kind = rec.kind;
      u.soldiers = rec.soldiers;
      u.guns = std::min(rec.guns, rec.soldiers);
      bs.soldiers = static_cast<uint16_t>(bs.soldiers + u.soldiers);
      int m = static_cast<int>(3 * (GetBusyoStat1(g) + bs.commanderStat) / 5.0 + ClanMorale(r.force));
      const SiroBusyoRef& opposing = lists[Opposite(side)][i];
      if (opposing.slot != kNoSlot && rec.contactDaimyo == opposing.force) m = m * 50 / 100;
      m = std::min(m, 255);
      u.morale = u.maxMorale = u.startMorale = static_cast<uint8_t>(m);
      bs.morale = static_cast<uint16_t>(bs.morale + m);
      bs.startMorale = static_cast<uint16_t>(bs.startMorale + m);
      u.clan = r.force;
      u.slot = r.slot;
      for (int k = 0; k < 4; ++k) {
        u.skills[k] = rec.cur.skill[k];
        u.skillCount[k] = 0;
      }
      u.lost = 0;
    }
  }
  std::memset(b.slots, 255, sizeof b.slots);
  for (auto& side : b.views)
    for (BattleUnitView& v : side) v = BattleUnitView{};
  b.order.clear();
  b.currentActor = -1;
  b.orderMode = 0;
}

void DrawBattleWeather() {
  int r = SlgRandom(100);
  B().weather = r < 60 ? 0 : r < 90 ? 1 : 2;
  if (g_BattleConfig.debugWeather >= 0 && g_BattleConfig.debugWeather <= 2)
    B().weather = static_cast<uint8_t>(g_BattleConfig.debugWeather);
}

namespace {

bool PlayerCommands(int side) {
  const BattleState& b = B();
  return !g_BattleConfig.turnLimit && b.mode == 2 && b.sides[side].clan == PlayerDaimyoId &&
         BattleScreen().FightsByHand();
}

// Deployment of both sides; false while the player is still deploying.
bool BattleDeploy(int& stage) {
  BattleState& b = B();
  BattleSide& def = b.sides[b.defenderSide];
  BattleSide& att = b.sides[b.attackerSide];
  char text[128];
  if (stage == 0) {
    g_deployed = true;
    if (g_BattleConfig.debugAutoWin) {
      if (def.clan == PlayerDaimyoId)
        att.status = 1;
      else if (att.clan == PlayerDaimyoId)
        def.status = 1;
      return true;
    }
    if (def.units[0].general == kNoUnitGeneral) {
      std::snprintf(text, sizeof text, "%s城には武将がいません", GetSiroName(b.targetSiro, false));
      BattleMessage(text);
      def.status = 1;
      BattleWait();
      return true;
    }
    stage = 1;
  }
  for (; stage <= 2; ++stage) {
    int side = stage == 1 ? b.defenderSide : b.attackerSide;
    if (stage == 2 && def.status != 0) break;
    if (PlayerCommands(side)) {
      if (!BattleScreen().PlayerDeploy(side)) return false;
    } else {
      AiDeploy(side);
    }
    RefreshBattlePlacement();
  }
  if (def.status != 0 && b.mode != 0) {
    std::snprintf(text, sizeof text, def.status == 1 ? "%sは、篭城しました" : "%8sは、退却しました",
                  ForceName(def.clan));
    BattleResultMessage(text);
    BattleWait();
  }
  return true;
}

void Setup(int castle) {
  BattleState& b = B();
  if (g_configSource) g_configSource(g_BattleConfig);
  b.targetSiro = static_cast<uint16_t>(castle);
  const SiroRecord* s = SiroPtr(castle);
  b.siroLevel = s ? s->level : 0;
  b.needsRederive = false;
  b.playerRole = -1;
  g_inScene = false;
  g_deployed = false;
  g_resultText.clear();
  ClearBattleGroups();
  b.mode = static_cast<uint8_t>(DecideBattleMode(castle));
  if (!s) return;
  b.kuni = s->kuni;
  ShowKuniEventEffect(s->kuni, 2, 2);
  SetFrameWaitHalf(AnnounceWaitParam());
  char text[128];
  std::snprintf(text, sizeof text, "%8sが %6s城に 攻め込みました！", ForceName(s->list2[0].force),
                GetSiroName(castle, false));
  SlgScene().ShowMessage(text, 7, false);
  if (b.mode != 0) BattleWait();
}

// Runs the battle start questions; true when done.
bool BattleStartStep() {
  BattleState& b = B();
  if (b.mode == 0) return true;
  const SiroRecord* s = SiroPtr(b.targetSiro);
  switch (SubStepGet()) {
    case 0:
      b.kuni = s->kuni;
      SlgScene().SetSelectedKuni(s->kuni);
      SlgScene().LockMapButtons(true);
      std::memcpy(b.siroCopy, s, sizeof b.siroCopy);
      BuildBattleGroups();
      BattleScreen().ShowCastleMarker(b.targetSiro, true);
      BattleScreen().PlaySoundEffect(8);
      SubStepSet(g_BattleConfig.startOption == 2 && b.mode == 2 ? 3 : 2);
      return false;
    case 2:
      if (!BattleScreen().ConfirmPressed()) return false;
      SlgScene().ShowMessage("", 7, true);
      SubStepSet(4);
      return false;
    case 3: {
      int answer = BattleScreen().AskFightByHand();
      if (answer == 1) {
        b.mode = 1;
        SlgScene().ShowMessage("自動戦闘を行います", 7, false);
      } else if (answer == 2) {
        SlgScene().ShowMessage("合戦を開始します", 7, false);
      } else {
        return false;
      }
      SubStepSet(4);
      return false;
    }
    case 4:
      BattleScreen().ShowCastleMarker(b.targetSiro, false);
      if (b.attackerClan == PlayerDaimyoId && (b.mode == 1 || b.mode == 2)) Adv().StartAdvScript(6);
      SubStepSet(5);
      return false;
    default:
      BattleScreen().PlayMusic(kSlgMusic);
      return true;
  }
}

// The field battle from entering the scene to the merged units; true when done.
constexpr int kEnterScene = 10;       // the music has faded: effect 9 and the battle scene
constexpr int kAnnounceWeather = 11;  // effect 9 has ended: the battle's music and the weather

bool TacticalStep() {
  BattleState& b = B();
  static int deployStage = 0;
  static bool roundsRan = false;
  switch (SubStepGet()) {
    case 0: {
      if (b.mode == 1 || b.mode == 2) SlgScene().LockMapButtons(true);
      deployStage = 0;
      if (b.mode == 2) {
        // The map's music fades out before the battle scene opens.
        BattleScreen().FadeOutMusic();
        SubStepSet(kEnterScene);
        return false;
      }
      BattleScreen().EnterBattleScene(b.mode);
      g_inScene = true;
      SubStepSet(1);
      return b.mode == 0 ? TacticalStep() : false;
    }
    case kEnterScene:
      if (BattleScreen().MusicPlaying()) return false;
      BattleScreen().PlaySoundEffect(9);
      BattleScreen().EnterBattleScene(b.mode);
      g_inScene = true;
      SubStepSet(kAnnounceWeather);
      return false;
    case kAnnounceWeather: {
      if (BattleScreen().SoundEffectPlaying()) return false;
      BattleScreen().PlayMusic(b.defenderSide == 1 ? "Data\\bgm\\M03.voi" : "Data\\bgm\\M04.voi");
      BuildBattleGroups();
      static const char* const kWeather[3] = {"天候は、晴です", "雨で鉄砲が使えません", "霧で別動隊が出せません"};
      BattleMessage(kWeather[std::min<int>(b.weather, 2)]);
      BattleWait();
      SubStepSet(1);
      return false;
    }
    case 1:
      if (!BattleDeploy(deployStage)) return false;
      roundsRan = b.sides[0].status == 0 && b.sides[1].status == 0;
      BeginBattleRounds();
      SubStepSet(2);
      return b.mode == 0 ? TacticalStep() : false;
    case 2:
      if (b.mode == 0) {
        while (!BattleRoundStep()) {}
      } else if (!BattleRoundStep()) {
        return false;
      }
      if (roundsRan && !FinishBattleRounds()) return false;
      SubStepSet(3);
      return b.mode == 0 ? TacticalStep() : false;
    default:
      MergeSameGeneral();
      return true;
  }
}

bool SiegeStep() {
  if (SubStepGet() == 0) {
    BeginBattleSiege();
    SubStepSet(1);
  }
  if (B().mode == 0) {
    while (!BattleSiegeStep()) {}
    return true;
  }
  return BattleSiegeStep();
}

bool AftermathStep() {
  BattleState& b = B();
  switch (SubStepGet()) {
    case 0:
      b.playerRole = -1;
      if ((b.mode == 1 || b.mode == 2) && b.outcome == 1) {
        if (b.attackerClan == PlayerDaimyoId)
          b.playerRole = 0;
        else if (b.defenderClan == PlayerDaimyoId)
          b.playerRole = 1;
      }
      if (b.mode == 0) return true;
      SlgScene().FocusKuni(b.kuni, 1);
      SlgScene().LockMapButtons(true);
      if (b.playerRole >= 0) BattleScreen().ShowCastleMarker(b.targetSiro, true);
      {
        // A battle of the player's clan ends on the map with how it ended (the scene's last lines
        // went by in a moment), held until the player confirms.
        const bool own = b.attackerClan == PlayerDaimyoId || b.defenderClan == PlayerDaimyoId;
        const bool tell = own && !g_resultText.empty();
        if (tell) SlgScene().ShowMessage(g_resultText.c_str(), 7, false);
        SubStepSet(b.playerRole >= 0 || tell ? 1 : 2);
      }
      return false;
    case 1:
      if (!BattleScreen().ConfirmPressed()) return false;
      BattleScreen().ShowCastleMarker(b.targetSiro, false);
      SubStepSet(2);
      return false;
    case 2: {
      int item = BattleAftermathFind();
      if (item > 0) {
        SlgScene().ShowMessage("", 7, true);
        if (SlgScene().OpenDialog(19, item, 0, 0)) {
          SubStepSet(3);
          return false;
        }
      }
      SlgScene().LockMapButtons(false);
      return true;
    }
    default:
      if (SlgScene().GetSceneResult() != 19) return false;
      SlgScene().FinishDialog();
      SlgScene().LockMapButtons(false);
      return true;
  }
}

void MapRefresh() {
  BattleState& b = B();
  ResetKuniColors();
  if (b.kuni == CurrentKuniId) {
    SlgRules().RecalcDaimyoTotals(0);
    SlgScene().SetSelectedKuni(b.kuni);
  }
  SlgScene().ShowMessage("", 7, true);
  RefreshSlgMainMap(1, -1, 0);
  ShowKuniEventEffect(b.kuni, 7, 7);
}

// A finished child routine of a battle the player does not watch does not wait out its wait.
void FastFinish() {
  if (GameSpeedFastFlag && B().mode != 2) SetStepWaitPending(false);
}

}  // namespace

int BattleRun(int castle) {
  static int result = 0;
  BattleState& b = B();
  if (StepCheckDone()) return result;
  if (StepBegin()) {
    Setup(castle);
    return kStepRunning;
  }
  if (b.needsRederive) {
    // The war phase's own castle is the one this battle is fought for.
    if (IsSiroInUse(castle)) b.targetSiro = static_cast<uint16_t>(castle);
    RederiveBattleState();
  }
  // A hand-fought battle takes its next step once the scene has shown the last one.
  if (b.mode == 2 && g_inScene && BattleScreen().IsActionPlaying()) return kStepRunning;
  for (;;) {
    bool done = false;
    switch (StepGet()) {
      case 1:
        BattleBuildRosters();
        DrawBattleWeather();
        done = true;
        break;
      case 2:
        done = BattleStartStep();
        break;
      case 3:
        done = TacticalStep();
        break;
      case 4:
        done = SiegeStep();
        break;
      case 5:
        done = BattleResultsStep();
        if (done) g_inScene = false;
        break;
      case 6:
        done = AftermathStep();
        break;
      case 7:
        MapRefresh();
        done = true;
        break;
      default:
        BattleScreen().PlayMusic(kSlgMusic);
        g_deployed = false;
        FastFinish();
        result = 0;
        StepFinish();
        return result;
    }
    if (!done) return kStepRunning;
    FastFinish();
    StepNext();
    // A hidden battle runs on within the same step; a shown one takes a step per routine.
    if (b.mode != 0) return kStepRunning;
  }
}

// ---- The port ----

static bool InGroup(const uint16_t* group, int busyo) {
  for (int i = 0; i < 6; ++i)
    if (group[i] == busyo) return busyo >= 0 && busyo < kBusyoCount;
  return false;
}

bool RulesBattlePort::IsBusyoInRosterA(int busyo) const { return InGroup(g_Battle.groupA, busyo); }
bool RulesBattlePort::IsBusyoInRosterB(int busyo) const { return InGroup(g_Battle.groupB, busyo); }
void RulesBattlePort::AddBattleLoss(bool second) {
  ++g_BattleLosses.first;
  if (second) ++g_BattleLosses.second;
}
void RulesBattlePort::SetRosterChanged() { g_BattleLosses.rosterChanged = 1; }
int RulesBattlePort::BusyoGainExperience2(int busyo) { return ::BusyoGainExperience2(static_cast<uint32_t>(busyo)); }
int RulesBattlePort::BusyoGainExperience3(int busyo) { return ::BusyoGainExperience3(static_cast<uint32_t>(busyo)); }
int RulesBattlePort::BusyoGainExperience4(int busyo, int several, int count) {
  return ::BusyoGainExperience4(static_cast<uint32_t>(busyo), several, count);
}
int RulesBattlePort::BattleRun(int castle) {
  if (IsSaveRegistering()) {
    BattleRegisterFields(&RegisterSaveField, SaveRegisterMode == kSaveRegisterLoad);
    return 0;
  }
  return ::BattleRun(castle);
}
const char* RulesBattlePort::BattleResolverName() const { return "lane battles: field battle, siege and results"; }

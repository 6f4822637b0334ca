#include "battle/battle_orders.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "battle/battle_rules.h"
#include "battle/battle_screen_port.h"
#include "battle/battle_state.h"
#include "core/frame_wait.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

BattleState& B() { return g_Battle; }

constexpr KassenCommandEntry kNone{-1, -1};
constexpr KassenCommandEntry kSets[kKassenCommandSets][kKassenCommandButtons] = {
    {{0, 10}, {2, 11}, {1, 12}, {3, 13}, {4, 14}, {12, 40}, {32, 41}, kNone},
    {kNone, kNone, kNone, kNone, kNone, kNone, kNone, {13, 25}},
    {{5, 24}, {8, 16}, {9, 18}, {39, 17}, {40, 20}, {41, 23}, {42, 22}, kNone},
    {{5, 24}, {8, 16}, {9, 18}, {39, 17}, {40, 20}, {41, 23}, {42, 22}, {43, 26}},
    {{5, 24}, {10, 16}, {11, 18}, {39, 17}, {40, 20}, {41, 23}, {42, 22}, {43, 26}},
    {{7, 19}, {6, 15}, kNone, kNone, kNone, kNone, kNone, kNone},
    {{44, 21}, {12, 40}, {32, 41}, kNone, kNone, kNone, kNone, kNone},
    {{35, 27}, {34, 28}, {33, 29}, kNone, kNone, kNone, kNone, kNone},
    {{35, 27}, {34, 28}, {33, 29}, {38, 33}, {37, 34}, {36, 35}, kNone, kNone},
    {{14, 50}, {15, 51}, {32, 41}, kNone, kNone, kNone, kNone, kNone},
    {{12, 40}, {32, 41}, kNone, kNone, kNone, kNone, kNone, kNone},
};

// The side has a unit with a general standing in the reserve with morale left.
bool ReserveUnitReady(int side) {
  for (const BattleUnit& u : B().sides[side].units)
    if (u.general != kNoUnitGeneral && u.lane == kNoLane && u.morale > 0) return true;
  return false;
}

const char* const kLaneQuestions[5] = {"壱の部隊は、誰にしますか？", "弐の部隊は、誰にしますか？",
                                       "参の部隊は、誰にしますか？", "四の部隊は、誰にしますか？",
                                       "五の部隊は、誰にしますか？"};
constexpr const char* kOrderQuestion = "どの命令をあたえますか？";

}  // namespace

KassenCommandEntry KassenCommandSet(int set, int i) {
  if (set < 0 || set >= kKassenCommandSets || i < 0 || i >= kKassenCommandButtons) return kNone;
  return kSets[set][i];
}

const char* KassenCommandLabel(int code) {
  switch (code) {
    case 10:
      return "横陣";
    case 11:
      return "魚鱗";
    case 12:
      return "鶴翼";
    case 13:
      return "右雁";
    case 14:
      return "左雁";
    case 15:
      return "前進";
    case 16:
      return "攻撃";
    case 17:
      return "鉄砲";
    case 18:
      return "突撃";
    case 19:
      return "後退";
    case 20:
      return "部隊交代";
    case 21:
      return "別働隊";
    case 22:
      return "特殊";
    case 23:
      return "待機";
    case 24:
      return "移動";
    case 25:
      return "戻る";
    case 26:
      return "大将";
    case 27:
      return "左翼";
    case 28:
      return "正面";
    case 29:
      return "右翼";
    case 33:
      return "左翼＋別働隊攻撃";
    case 34:
      return "正面＋別働隊攻撃";
    case 35:
      return "右翼＋別働隊攻撃";
    case 40:
      return "篭城";
    case 41:
      return "退却";
    case 50:
      return "強襲";
    case 51:
      return "包囲";
    default:
      return nullptr;
  }
}

void KassenCommandHint(int code, char* out, int outSize) {
  if (!out || outSize <= 0) return;
  if (code == 51) {
    std::snprintf(out, static_cast<size_t>(outSize), "包囲 費用（%d/%d）", SiegeEndurance(0), SideClanMoney(0));
    return;
  }
  const char* label = KassenCommandLabel(code);
  std::snprintf(out, static_cast<size_t>(outSize), "%s", label ? label : "");
}

int KassenSkillList(int side, KassenSkillRow* out, int maxRows) {
  if (side < 0 || side > 1 || !out || maxRows <= 0) return 0;
  std::vector<KassenSkillRow> rows;
  for (int i = 0; i < kBattleUnits; ++i) {
    const BattleUnit& u = B().sides[side].units[i];
    if (u.general == kNoUnitGeneral || u.morale == 0) continue;
    for (int k = 0; k < 4; ++k)
      if (u.skills[k] != 0 && u.skillCount[k] != 0) rows.push_back({i, u.skills[k], u.skillCount[k]});
  }
  // By the rounds left; a value of 100 or more is shown without a number.
  std::stable_sort(rows.begin(), rows.end(),
                   [](const KassenSkillRow& a, const KassenSkillRow& b) { return a.value < b.value; });
  int n = std::min<int>(maxRows, static_cast<int>(rows.size()));
  for (int i = 0; i < n; ++i) {
    out[i] = rows[i];
    if (out[i].value >= 100) out[i].value = -1;
  }
  return n;
}

int KassenOrderQueue(int* out, int maxEntries) {
  const BattleState& b = B();
  int n = 0;
  for (const BattleOrderEntry& e : b.order) {
    if (n >= maxEntries || !out) break;
    if (e.side > 1 || e.unit >= kBattleUnits) continue;
    const BattleUnitView& v = b.views[e.side][e.unit];
    if (v.status < 2 || v.status > 6 || v.acted || v.orderIndex == -1) continue;
    out[n++] = e.side * kBattleUnits + e.unit;
  }
  return n;
}

bool IsBattleCommandEnabled(int code) {
  BattleState& b = B();
  // Codes that do not look at the actor.
  switch (code) {
    case 10:
    case 13:
    case 14:
      return b.sides[0].soldiers >= b.laneCount;
    case 11:
    case 12:
      return b.sides[0].soldiers >= b.laneCount && b.siroSize != 0;
    case 40:
      return b.attackerSide != 0;
    case 41: {
      const SiroRecord* s = SiroPtr(b.targetSiro);
      if (!s) return false;
      for (uint16_t n : s->neighbours) {
        const SiroRecord* t = SiroPtr(n);
        if (t && t->kuni != 255 && t->owner == PlayerDaimyoId && t->list1[kSiroListLen - 1].slot == 255) return true;
      }
      return false;
    }
    case 50:
      return b.attackerSide == 0;
    case 51: {
      int clan = b.sides[0].clan;
      return b.attackerSide == 0 && clan != 255 && SideClanMoney(0) >= SiegeEndurance(0);
    }
    case 23:
      return true;
    default:
      break;
  }
  if (code < 15 || code > 38 || code == 25) return true;
  if (b.currentActor < 0 || b.currentActor >= static_cast<int>(b.order.size())) return true;
  const BattleOrderEntry& e = b.order[b.currentActor];
  const int s = e.side;
  const BattleUnit& u = b.sides[s].units[e.unit];
  const int l = u.lane;
  const int c = l < kBattleUnits ? SlotColumn(s, l) : 255;
  const bool near = l < b.laneCount && (EnemyAhead(s, l) || EnemyBehindLane(s, l) || EnemyNextLane(s, l));
  const bool commander = u.commander != 0;
  const bool edge = c == 0 || c == 7;
  switch (code) {
    case 15:
      return !near;
    case 16:
      return near;
    case 17: {
      if (b.weather == 1 && u.effect1 == 0) return false;
      if (u.guns == 0 || l >= b.laneCount) return false;
      const BattleUnit* enemy = SlotUnit(1 - s, l);
      if (!enemy) return false;
      if (u.reload != 0 && u.effect5 == 0) return false;
      return enemy->morale != 0;
    }
    case 18:
      return near && b.siroFlag == 0 && u.morale > 1;
    case 19:
      return !edge;
    case 20:
      return !edge && !commander && ReserveUnitReady(s);
    case 21: {
      if (!commander || b.sides[s].countdown != 0xFFFF || b.weather == 2) return false;
      const BattleFieldSlot& d = b.slots[s][b.laneCount < kBattleUnits ? b.laneCount : kBattleUnits - 1];
      if (d.unit != 255 || d.column != 255 || d.display == 1) return false;
      return ReserveUnitReady(s);
    }
    case 22: {
      if (u.general == kNoUnitGeneral || !u.skillArmed) return false;
      for (uint16_t sk : u.skills)
        if (sk >= 1 && sk <= kSkillCount && SkillTable[sk - 1].effects[3].kind == 1) return true;
      return false;
    }
    case 24:
      return !edge || !near;
    case 26:
      return commander;
    case 27:
    case 30:
    case 33:
    case 36:
      return l < b.laneCount && EnemyBehindLane(s, l);
    case 28:
    case 31:
    case 34:
    case 37:
      return l < b.laneCount && EnemyAhead(s, l);
    case 29:
    case 32:
    case 35:
    case 38:
      return l < b.laneCount && EnemyNextLane(s, l);
    default:
      return true;
  }
}

// ---- Deployment and orders ----

void PlayerOrders::Reset() {
  stage_ = 0;
  formation_ = -1;
  cursor_ = 0;
  commander_ = -1;
  autoCommander_ = false;
  oldCommander_ = -1;
  pendingCode_ = -1;
  pickOrder_ = -1;
}

bool PlayerOrders::PlaceableUnit(int unit) const {
  if (unit < 0 || unit >= kBattleUnits) return false;
  const BattleUnit& u = B().sides[0].units[unit];
  return u.general != kNoUnitGeneral && u.soldiers > 0 && u.lane == kNoLane;
}

bool PlayerOrders::AnyPlaceable() const {
  for (int i = 0; i < kBattleUnits; ++i)
    if (PlaceableUnit(i)) return true;
  return false;
}

void PlayerOrders::AskLane() {
  link_.SetPhase(7);
  link_.ShowMessage(kLaneQuestions[cursor_ < 5 ? cursor_ : 4]);
}

void PlayerOrders::UndoLane() {
  if (cursor_ <= 0) return;
  BattleState& b = B();
  --cursor_;
  BattleFieldSlot& slot = b.slots[0][cursor_];
  if (slot.unit < kBattleUnits) b.sides[0].units[slot.unit].lane = kNoLane;
  slot.unit = 255;
  slot.column = static_cast<uint8_t>(FormationColumn(b.siroSize, formation_, cursor_));
  link_.Redraw();
}

// Side 0's morale as at set-up, with the commander the player named.
void RecomputeSideMorale() {
  BattleState& b = B();
  BattleSide& s = b.sides[0];
  for (BattleUnit& u : s.units) {
    if (u.general == kNoUnitGeneral) continue;
    int m = static_cast<int>(3 * (GetBusyoStat1(u.general) + s.commanderStat) / 5.0 + ClanMorale(u.clan));
    if (u.general < kBusyoCount && b.sides[1].clan != 255 && BusyoTable[u.general].contactDaimyo == b.sides[1].clan)
      m = m * 50 / 100;
    m = std::clamp(m, 0, 255);
    u.morale = u.maxMorale = u.startMorale = static_cast<uint8_t>(m);
  }
  SideMoraleTotal(0);
  s.startMorale = s.morale;
}

void PlayerOrders::SetCommander(int unit) {
  BattleState& b = B();
  BattleSide& s = b.sides[0];
  for (BattleUnit& u : s.units) u.commander = 0;
  commander_ = unit;
  s.units[unit].commander = 1;
  s.commanderStat = static_cast<uint8_t>(GetBusyoStat1(s.units[unit].general));
  link_.Redraw();
}

bool PlayerOrders::Deploy() {
  BattleState& b = B();
  BattleSide& side = b.sides[0];
  switch (stage_) {
    case 0:
      SplitUnits();
      oldCommander_ = CommanderUnit(0);
      for (BattleUnit& u : side.units) u.commander = 0;
      link_.SetPhase(5);
      link_.ShowMessage("陣形を選択せよ");
      stage_ = 1;
      return false;
    case 1: {  // formation, or hold / retreat
      int r = link_.TakeResult();
      if (r >= 10 && r <= 14 && IsBattleCommandEnabled(r)) {
        formation_ = r - 10;
        for (int l = 0; l < kBattleUnits; ++l)
          b.slots[0][l] = {
              255, static_cast<uint8_t>(l < b.laneCount ? FormationColumn(b.siroSize, formation_, l) : 255), 255, 0};
        for (BattleUnit& u : side.units) u.lane = kNoLane;
        cursor_ = 0;
        link_.Redraw();
        stage_ = 3;
        return Deploy();
      }
      if ((r == 40 || r == 41) && IsBattleCommandEnabled(r)) {
        pendingCode_ = r;
        link_.SetPhase(19);
        link_.OpenQuestion(r == 40 ? "籠城します。" : "退却します。");
        stage_ = 2;
      }
      return false;
    }
    case 2: {
      int a = link_.QuestionAnswer();
      if (a == -1) return false;
      if (a == 1) {
        side.status = static_cast<uint8_t>(pendingCode_ == 40 ? 1 : 2);
        if (oldCommander_ >= 0) SetCommander(oldCommander_);
        return true;
      }
      link_.SetPhase(5);
      link_.ShowMessage("陣形を選択せよ");
      stage_ = 1;
      return false;
    }
    case 3: {  // the commander: the clan head at once, else the player's pick
      int head = -1;
      uint8_t clan = side.clan;
      for (int i = 0; i < kBattleUnits; ++i) {
        const BattleUnit& u = side.units[i];
        // Not a copy made to fill a lane.
        if (u.general != kNoUnitGeneral && clan < kDaimyoInPlay && DaimyoTable[clan].head == u.general &&
            (u.pieces < 2 || u.onField == 1))
          head = i;
      }
      if (head >= 0) {
        autoCommander_ = true;
        SetCommander(head);
        BattleScreen().PlayVoice(side.units[head].general, 8);
        RecomputeSideMorale();
        AskLane();
        stage_ = 5;
        return false;
      }
      autoCommander_ = false;
      link_.SetPhase(8);
      link_.ShowMessage("大将を選択してください");
      stage_ = 4;
      return false;
    }
    case 4: {
      int r = link_.TakeResult();
      if (r >= 300 && r < 300 + kBattleUnits && side.units[r - 300].general != kNoUnitGeneral) {
        SetCommander(r - 300);
        BattleScreen().PlayVoice(side.units[r - 300].general, 8);
        RecomputeSideMorale();
        AskLane();
        stage_ = 5;
      } else if (r == 1) {
        link_.SetPhase(5);
        link_.ShowMessage("陣形を選択せよ");
        stage_ = 1;
      }
      return false;
    }
    case 5: {  // units lane by lane
      int r = link_.TakeResult();
      if (r >= 300 && r < 300 + kBattleUnits && PlaceableUnit(r - 300)) {
        int unit = r - 300;
        side.units[unit].lane = static_cast<uint8_t>(cursor_);
        b.slots[0][cursor_].unit = static_cast<uint8_t>(unit);
        BattleScreen().PlayVoice(side.units[unit].general, 9);
        ++cursor_;
        link_.Redraw();
      } else if (r == 1) {
        if (cursor_ > 0) {
          UndoLane();
        } else if (!autoCommander_) {
          link_.SetPhase(8);
          link_.ShowMessage("大将を選択してください");
          stage_ = 4;
          return false;
        }
      } else {
        return false;
      }
      if (cursor_ < b.laneCount && AnyPlaceable()) {
        AskLane();
        return false;
      }
      // The check: the commander must stand in a lane.
      if (commander_ < 0 || side.units[commander_].lane >= b.laneCount || cursor_ == 0) {
        link_.ShowMessage("大将が配置されていません");
        SetFrameWait(100);
        UndoLane();
        AskLane();
        return false;
      }
      link_.OpenQuestion("合戦を開始します。");
      stage_ = 6;
      return false;
    }
    case 6: {
      int a = link_.QuestionAnswer();
      if (a == -1) return false;
      if (a == 1) {
        link_.SetPhase(6);
        stage_ = 7;
        return true;
      }
      UndoLane();
      AskLane();
      stage_ = 5;
      return false;
    }
    default:
      return true;
  }
}

int PlayerOrders::SimpleQuestion(int phase, const char* text) {
  // stage_ 0: ask; 1: wait for a pick.
  if (stage_ == 0) {
    link_.SetPhase(phase);
    link_.ShowMessage(text);
    stage_ = 1;
    return -1;
  }
  return link_.TakeResult();
}

void PlayerOrders::BackToOrderMenu() {
  link_.SetPhase(12);
  link_.ShowMessage(kOrderQuestion);
  stage_ = 1;
}

bool PlayerOrders::ReservePick(int unit) const {
  if (unit < 0 || unit >= kBattleUnits) return false;
  const BattleUnit& u = B().sides[0].units[unit];
  return u.general != kNoUnitGeneral && u.lane == kNoLane && u.morale > 0;
}

int PlayerOrders::TakeSwapPick(int side, int unit) {
  if (pickOrder_ != 20 || pickSide_ != side || pickUnit_ != unit) return BattleScreenPort::kOrderByAi;
  pickOrder_ = -1;
  return pick_;
}

int PlayerOrders::TakeDetachedPick(int side) {
  if (pickOrder_ != 21 || pickSide_ != side) return BattleScreenPort::kOrderByAi;
  pickOrder_ = -1;
  return pick_;
}

int PlayerOrders::UnitOrder(int side, int unit) {
  auto backToMenu = [&] { BackToOrderMenu(); };
  // A pick the rules did not take (the order did not run) is not kept for a later order.
  if (stage_ == 0) pickOrder_ = -1;
  switch (stage_) {
    case 0:
      backToMenu();
      return -1;
    case 1: {  // the order menu
      int r = link_.TakeResult();
      // Only command codes are orders; a stray unit pick (300 + unit) is not.
      if (r < 10 || r > 51 || !IsBattleCommandEnabled(r)) return -1;
      switch (r) {
        case 40:
        case 41:
          pendingCode_ = r;
          link_.SetPhase(19);
          link_.ShowMessage("よろしいですか？");
          link_.OpenQuestion("よろしいですか？");
          stage_ = 4;
          return -1;
        case 24:
          link_.SetPhase(14);
          link_.ShowMessage("どの方向に移動しますか？");
          stage_ = 2;
          return -1;
        case 16:
        case 18:
          pendingCode_ = r;
          link_.SetPhase(13);
          link_.ShowMessage("どの方向を攻撃しますか？");
          stage_ = 3;
          return -1;
        case 26:
          link_.SetPhase(15);
          link_.ShowMessage(kOrderQuestion);
          stage_ = 5;
          return -1;
        case 20:
          link_.SetPhase(9);
          link_.ShowMessage("どの部隊と交換しますか？");
          stage_ = 6;
          return -1;
        default:
          stage_ = 0;
          return r;
      }
    }
    case 2: {  // direction of a move
      int r = link_.TakeResult();
      if (r == 1) backToMenu();
      if ((r == 15 || r == 19) && IsBattleCommandEnabled(r)) {
        stage_ = 0;
        return r;
      }
      return -1;
    }
    case 3: {  // target of an attack or a charge
      int r = link_.TakeResult();
      if (r == 1) backToMenu();
      if (((r >= 27 && r <= 29) || (r >= 33 && r <= 35)) && IsBattleCommandEnabled(r)) {
        stage_ = 0;
        return pendingCode_ == 18 ? r + 3 : r;
      }
      return -1;
    }
    case 4: {  // confirm hold / retreat
      int a = link_.QuestionAnswer();
      if (a == -1) return -1;
      if (a == 1) {
        stage_ = 0;
        return pendingCode_;
      }
      backToMenu();
      return -1;
    }
    case 5: {  // the commander's orders
      int r = link_.TakeResult();
      if (r == 1) backToMenu();
      if (r == 21 && IsBattleCommandEnabled(r)) {
        link_.SetPhase(10);
        link_.ShowMessage("誰を別動隊にしますか？");
        stage_ = 7;
        return -1;
      }
      if ((r == 40 || r == 41) && IsBattleCommandEnabled(r)) {
        pendingCode_ = r;
        link_.SetPhase(19);
        link_.OpenQuestion("よろしいですか？");
        stage_ = 4;
      }
      return -1;
    }
    case 6:    // the reserve unit to swap in; back keeps the unit's turn
    case 7: {  // the reserve unit to send as the detached force; back sends none
      const int order = stage_ == 6 ? 20 : 21;
      int r = link_.TakeResult();
      if (r == 1 && order == 20) {
        backToMenu();
        return -1;
      }
      int pick = -1;
      if (r >= 300 && r < 300 + kBattleUnits && ReservePick(r - 300))
        pick = r - 300;
      else if (r != 1)
        return -1;
      pickOrder_ = order;
      pickSide_ = side;
      pickUnit_ = unit;
      pick_ = pick;
      stage_ = 0;
      return order;
    }
    default:
      stage_ = 0;
      return -1;
  }
}

int PlayerOrders::DefenderChoice() {
  int r = SimpleQuestion(16, "退却か篭城を選択して下さい");
  if (r == 40 || r == 41) {
    stage_ = 0;
    return r;
  }
  return -1;
}

int PlayerOrders::SiegeOrder() {
  // Withdrawing is confirmed in the dialog scene; no goes back to the order menu.
  if (stage_ == 2) {
    int a = link_.QuestionAnswer();
    if (a == -1) return -1;
    stage_ = 0;
    if (a == 1) return 41;
    return SiegeOrder();
  }
  int r = SimpleQuestion(18, kOrderQuestion);
  if (r == 41 && IsBattleCommandEnabled(r)) {
    link_.OpenQuestion("退却します。");
    stage_ = 2;
    return -1;
  }
  if ((r == 50 || r == 51) && IsBattleCommandEnabled(r)) {
    stage_ = 0;
    return r;
  }
  return -1;
}

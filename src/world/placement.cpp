#include "world/placement.h"

#include <cstdio>

#include "core/error_box.h"
#include "platform/text/log.h"
#include "world/slg_util.h"
#include "world/world_ports.h"
#include "world/world_queries.h"

namespace {

bool IsRealSiro(uint32_t siro) { return siro < kSiroSlots; }

SiroBusyoRef* ListOf(uint32_t siro, bool second) { return second ? SiroTable[siro].list2 : SiroTable[siro].list1; }

// Writes a pair into the last entry of a list when it is free (lists stay sorted with the empty
// entries last, so a free last entry means the list has room).
bool PutLast(uint32_t siro, bool second, uint8_t force, uint8_t slot) {
  SiroBusyoRef* list = ListOf(siro, second);
  if (list[kSiroListLen - 1].slot != kNoSlot) return false;
  list[kSiroListLen - 1] = {force, slot};
  SortSiroSlots(siro);
  return true;
}

// Empties every entry of both lists of a castle that equals (force, slot).
void ClearPair(uint32_t siro, uint8_t force, uint8_t slot) {
  if (!IsRealSiro(siro)) return;
  for (bool second : {false, true})
    for (int i = 0; i < kSiroListLen; ++i) {
      SiroBusyoRef& r = ListOf(siro, second)[i];
      if (r.force == force && r.slot == slot) r = {kNoDaimyo, kNoSlot};
    }
  SortSiroSlots(siro);
}

// Empties every entry of a castle whose pair resolves to the general.
void ClearBusyoEntries(uint32_t siro, uint32_t busyo) {
  if (!IsRealSiro(siro)) return;
  for (bool second : {false, true})
    for (int i = 0; i < kSiroListLen; ++i) {
      SiroBusyoRef& r = ListOf(siro, second)[i];
      if (r.slot != kNoSlot && GetForceSlotBusyo(r.force, r.slot) == busyo) r = {kNoDaimyo, kNoSlot};
    }
  SortSiroSlots(siro);
}

int FirstFreeVassal(uint32_t clan, int limit) {
  for (int i = 0; i < limit; ++i)
    if (DaimyoTable[clan].vassals[i] == kNoBusyo) return i;
  return -1;
}

// Last index of the general in the clan's heir list; 255 when absent or either id is none.
uint8_t HeirIndexOf(uint32_t clan, uint32_t busyo) {
  if (clan >= kNoDaimyo || busyo >= kNoBusyo) return 255;
  uint8_t found = 255;
  for (int i = 0; i < 16; ++i)
    if (DaimyoTable[clan].heirs[i] == busyo) found = static_cast<uint8_t>(i);
  return found;
}

// Takes him out of the heir list (the entries behind close up, the last becomes empty), then
// puts him into the first empty entry, so he follows every other heir without leaving a gap.
void MoveHeirEntryToEnd(uint32_t clan, uint32_t busyo) {
  uint8_t index = HeirIndexOf(clan, busyo);
  if (index == 255) return;
  uint16_t* heirs = DaimyoTable[clan].heirs;
  for (int j = index; j < 15; ++j) heirs[j] = heirs[j + 1];
  heirs[15] = kNoBusyo;
  for (int i = 0; i < 16; ++i)
    if (heirs[i] == kNoBusyo) {
      heirs[i] = static_cast<uint16_t>(busyo);
      return;
    }
}

void RemoveHeirEntry(uint32_t clan, uint32_t busyo) {
  if (clan >= kDaimyoSlots) return;
  uint16_t* heirs = DaimyoTable[clan].heirs;
  for (int i = 0; i < 16; ++i) {
    if (heirs[i] != busyo) continue;
    for (int j = i; j < 15; ++j) heirs[j] = heirs[j + 1];
    heirs[15] = kNoBusyo;
    return;
  }
}

// Takes a general out of the vassal slots of every clan but `keep`; a clan he headed is left to
// its acting head, as when a head changes clans.
void LeaveOtherClans(uint32_t busyo, uint32_t keep) {
  for (uint32_t c = 0; c < kDaimyoFileCount; ++c) {
    if (c == keep) continue;
    DaimyoRecord& f = DaimyoTable[c];
    for (uint16_t& v : f.vassals)
      if (v == busyo) v = kNoBusyo;
    HandClanToActingHead(c, busyo, kNoDaimyo);
  }
}

const char* StoredSiroName(uint16_t siro) {
  if (siro == KakuuSiroId) return "架空城";
  return GetSiroName(siro, false);
}

}  // namespace

int MoveSiroBusyo(uint32_t from, uint32_t to, uint8_t force, uint8_t slot, int mode) {
  bool fromSecond = mode == 2;
  bool toSecond = mode == 1;
  SiroBusyoRef* src = nullptr;
  if (IsRealSiro(from)) {
    for (int i = 0; i < kSiroListLen && !src; ++i) {
      SiroBusyoRef& r = ListOf(from, fromSecond)[i];
      if (r.force == force && r.slot == slot) src = &r;
    }
  }
  // Room is checked before the source entry is cleared, so a failed move loses no one. Within
  // one list the cleared source entry is the room.
  bool sameList = from == to && fromSecond == toSecond && src;
  bool ok = (!IsRealSiro(from) || src) && IsRealSiro(to) &&
            (sameList || ListOf(to, toSecond)[kSiroListLen - 1].slot == kNoSlot);
  if (!ok) {
    char msg[160];
    if (force == kNoDaimyo)
      std::snprintf(msg, sizeof msg, "移動元城：%3u 独立：%3u 部隊：%3u 武将：%s", from, force, slot,
                    GetBusyoName(GetForceSlotBusyo(force, slot)));
    else
      std::snprintf(msg, sizeof msg, "移動元城：%3u 大名：%3u 部隊：%3u 武将：%s", from, force, slot,
                    GetBusyoName(GetForceSlotBusyo(force, slot)));
    ShowSlgDataError(msg);
    return -1;
  }
  if (src) {
    *src = {kNoDaimyo, kNoSlot};
    SortSiroSlots(from);
  }
  PutLast(to, toSecond, force, slot);
  return 0;
}

bool MoveVassalToSiro(uint32_t busyo, uint32_t clan, uint32_t siro) {
  if (busyo >= kBusyoCount || clan >= kDaimyoSlots) return false;
  int index = -1;
  for (int i = 0; i < kVassalScan && index < 0; ++i)
    if (DaimyoTable[clan].vassals[i] == busyo) index = i;
  if (index < 0) return false;
  uint16_t old = BusyoTable[busyo].siro;
  if (old == siro) return true;
  // A full castle takes no one; his old entry is removed so he never stands in two castles.
  if (IsRealSiro(siro) && SiroTable[siro].list1[kSiroListLen - 1].slot != kNoSlot) return false;
  ClearPair(old, static_cast<uint8_t>(clan), static_cast<uint8_t>(index));
  BusyoTable[busyo].siro = static_cast<uint16_t>(siro);
  if (IsRealSiro(siro)) PutLast(siro, false, static_cast<uint8_t>(clan), static_cast<uint8_t>(index));
  return true;
}

bool TransferBusyoToDaimyo(uint32_t busyo, uint32_t clan) {
  if (busyo >= kBusyoCount || clan >= kDaimyoInPlay) return false;
  BusyoRecord& b = BusyoTable[busyo];
  uint8_t former = GetBusyoDaimyo(busyo);
  uint16_t formerSiro = b.siro;
  // A vassal without a stationing entry (unplaced, or a seventh general the load could not
  // station) resolves to no clan; his clan is the one whose vassal slots hold him, so that he
  // never ends in two clans.
  if (former == kNoDaimyo && FindForceSlot(kNoDaimyo, busyo) == 0xFFFF)
    for (int c = 0; c < kDaimyoFileCount && former == kNoDaimyo; ++c)
      for (uint16_t v : DaimyoTable[c].vassals)
        if (v == busyo) former = static_cast<uint8_t>(c);
  DaimyoRecord& d = DaimyoTable[clan];
  int slot = -1;
  for (int i = 0; i < kVassalSlots; ++i)
    if (d.vassals[i] == busyo) slot = i;
  if (slot < 0) {
    slot = FirstFreeVassal(clan, kVassalSlots);
    if (slot < 0) return false;
  }
  // Old stationing (both lists: a marching general also stands in his target's second list).
  if (IsRealSiro(formerSiro)) ClearBusyoEntries(formerSiro, busyo);
  if (b.siro2 != kNoSiro) ClearBusyoEntries(b.siro2, busyo);
  b.siro2 = kNoSiro;
  b.marchFlag = 0;
  d.vassals[slot] = static_cast<uint16_t>(busyo);
  b.siro = GetDaimyoKakuuSiro(clan);
  // An unplaced general joins the clan as well; he no longer comes forward on his own.
  if (formerSiro == kNoSiro) b.appearYear = 255;
  if (former == clan) return true;
  if (former == kNoDaimyo) {
    for (uint16_t& v : DokuBusyoList)
      if (v == busyo) v = kNoBusyo;
    return true;
  }
  DaimyoRecord& f = DaimyoTable[former];
  for (uint16_t& v : f.vassals)
    if (v == busyo) v = kNoBusyo;
  HandClanToActingHead(former, busyo, kNoDaimyo);
  return true;
}

void HandClanToActingHead(uint32_t clan, uint32_t head, uint8_t successor) {
  if (clan >= kDaimyoSlots || DaimyoTable[clan].head != head) return;
  DaimyoRecord& d = DaimyoTable[clan];
  d.actingHead = static_cast<uint16_t>(head);
  d.head = NullBusyoId;
  d.successor = successor;
}

int AddBusyoToDaimyo(uint32_t busyo, uint8_t fromForce, uint8_t fromSlot, uint32_t fromSiro, uint32_t clan,
                     uint32_t siro) {
  if (busyo >= kBusyoCount || clan >= kDaimyoInPlay) return -1;
  uint16_t target = GetDaimyoKakuuSiro(clan);
  if (target == kNoSiro) target = static_cast<uint16_t>(siro);
  int slot = FirstFreeVassal(clan, kVassalScan);
  if (slot < 0) {
    char msg[64];
    std::snprintf(msg, sizeof msg, "add_busyo_error D:%3u B:%3u S:%3u", clan, busyo, target);
    plat::Log("world", "%s", msg);
    ShowSlgDataError(msg);
    return -1;
  }
  DaimyoTable[clan].vassals[slot] = static_cast<uint16_t>(busyo);
  if (fromForce == kNoDaimyo) {
    if (fromSlot < kDokuSlots && DokuBusyoList[fromSlot] == busyo) DokuBusyoList[fromSlot] = kNoBusyo;
  } else if (fromSlot < kVassalSlots && DaimyoTable[fromForce].vassals[fromSlot] == busyo &&
             !(fromForce == clan && fromSlot == slot)) {
    DaimyoTable[fromForce].vassals[fromSlot] = kNoBusyo;
  }
  BusyoRecord& b = BusyoTable[busyo];
  if (b.siro2 != kNoSiro) ClearPair(b.siro2, fromForce, fromSlot);
  b.kizuna = 0;
  b.marchFlag = 0;
  b.siro2 = kNoSiro;
  b.loyalty = static_cast<uint8_t>(SlgRandom(5) + 4);
  b.cur.stat[3] = static_cast<uint8_t>(GetBusyoStageStat4(busyo));
  if (IsRealSiro(fromSiro)) ClearPair(fromSiro, fromForce, fromSlot);
  // A full target castle: another castle of the clan with room, else the fictional castle or
  // unplaced, so that the castle field always matches a stationing entry.
  if (IsRealSiro(target) && SiroTable[target].list1[kSiroListLen - 1].slot != kNoSlot)
    target = FindDaimyoFreeSiro(clan, true);
  b.siro = target;
  if (IsRealSiro(target)) PutLast(target, false, static_cast<uint8_t>(clan), static_cast<uint8_t>(slot));
  return slot;
}

int AddBusyoToCastle(int32_t busyo, int32_t clan, bool allowKakuu) {
  if (busyo < 0 || busyo >= kBusyoCount) return 0;
  uint32_t c = clan < 0 ? PlayerDaimyoId : static_cast<uint32_t>(clan);
  if (c >= kDaimyoInPlay) return 0;
  BusyoRecord& b = BusyoTable[busyo];
  if (b.siro != kNoSiro) {
    char msg[160];
    std::snprintf(msg, sizeof msg, "追加しようとした武将「%s」は既に「%s」に配置されています.",
                  FieldString(b.name, kBusyoNameLen).c_str(), StoredSiroName(b.siro));
    ShowErrorBox(msg, "武将追加エラー");
    return 0;
  }
  uint16_t siro = FindDaimyoFreeSiro(c, allowKakuu);
  if (siro == kNoSiro) return 0;
  int slot = -1;
  for (int i = 0; i < kVassalScan; ++i)
    if (DaimyoTable[c].vassals[i] == busyo) slot = i;  // an unplaced vassal keeps his slot
  if (slot < 0) slot = FirstFreeVassal(c, kVassalScan);
  if (slot < 0) return 0;
  for (uint16_t& v : DokuBusyoList)
    if (v == busyo) v = kNoBusyo;
  LeaveOtherClans(static_cast<uint32_t>(busyo), c);  // an unplaced vassal of another clan
  DaimyoTable[c].vassals[slot] = static_cast<uint16_t>(busyo);
  if (IsRealSiro(siro)) PutLast(siro, false, static_cast<uint8_t>(c), static_cast<uint8_t>(slot));
  b.siro = siro;
  return 1;
}

void RemoveBusyoFromDaimyo(uint32_t clan, uint32_t slot, uint32_t siro) {
  uint16_t busyo = kNoBusyo;
  if (clan < kNoDaimyo) {
    if (slot >= kVassalSlots) return;
    busyo = DaimyoTable[clan].vassals[slot];
    DaimyoTable[clan].vassals[slot] = kNoBusyo;
    bool secondFree = false;
    if (IsRealSiro(siro))
      for (const SiroBusyoRef& r : SiroTable[siro].list2) secondFree |= r.slot == kNoSlot;
    if (busyo < kBusyoCount && BusyoTable[busyo].charFlag == 1) Battle().AddBattleLoss(secondFree);
  } else {
    if (slot >= kDokuSlots) return;
    busyo = DokuBusyoList[slot];
    DokuBusyoList[slot] = kNoBusyo;
  }
  if (busyo >= kBusyoCount) return;
  BusyoRecord& b = BusyoTable[busyo];
  uint16_t target = b.siro2;
  b.kizuna = 0;
  b.guns = 0;
  b.appearYear = 255;
  b.appearKuni = kNoKuni;
  b.appearDaimyo = kNoDaimyo;
  b.siro = kNoSiro;
  b.marchFlag = 0;
  b.siro2 = kNoSiro;
  MoveHeirEntryToEnd(clan, busyo);
  if (clan == PlayerDaimyoId) UnequipBusyoItem(busyo);
  if (IsRealSiro(siro)) ClearPair(siro, static_cast<uint8_t>(clan), static_cast<uint8_t>(slot));
  // A marching general's pair in his target's second list goes too.
  if (IsRealSiro(target) && target != siro) ClearPair(target, static_cast<uint8_t>(clan), static_cast<uint8_t>(slot));
}

int RemoveBusyoFromCastle(int32_t busyo) {
  if (busyo < 0 || busyo >= kBusyoCount) return 0;
  BusyoRecord& b = BusyoTable[busyo];
  if (b.siro == kNoSiro) {
    char msg[160];
    std::snprintf(msg, sizeof msg, "削除しようとした武将「%s」は配置されていません.",
                  FieldString(b.name, kBusyoNameLen).c_str());
    ShowErrorBox(msg, "武将削除エラー");
    return 0;
  }
  uint16_t siro = b.siro;
  if (IsRealSiro(siro)) {
    uint8_t force = SiroTable[siro].owner;
    uint16_t index = FindForceSlot(force, static_cast<uint32_t>(busyo));
    if (index == 0xFFFF && force != kNoDaimyo) {
      // A garrison left by another force (a castle taken by a plot): his own clan.
      force = GetBusyoDaimyo(static_cast<uint32_t>(busyo));
      index = FindForceSlot(force, static_cast<uint32_t>(busyo));
    }
    if (index == 0xFFFF) {
      ClearBusyoEntries(siro, static_cast<uint32_t>(busyo));
      b.siro = kNoSiro;
      return 1;
    }
    RemoveBusyoFromDaimyo(force, index, siro);
    return 1;
  }
  uint8_t force = GetBusyoDaimyo(static_cast<uint32_t>(busyo));
  uint16_t index = force < kNoDaimyo ? FindForceSlot(force, static_cast<uint32_t>(busyo)) : 0xFFFF;
  b.siro = kNoSiro;
  if (index != 0xFFFF) RemoveBusyoFromDaimyo(force, index, KakuuSiroId);
  return 1;
}

int ChangeBusyoInCastle(int32_t oldBusyo, int32_t newBusyo) {
  if (oldBusyo < 0 || newBusyo < 0 || oldBusyo >= kBusyoCount || newBusyo >= kBusyoCount || oldBusyo == newBusyo)
    return 0;
  BusyoRecord& o = BusyoTable[oldBusyo];
  BusyoRecord& n = BusyoTable[newBusyo];
  char msg[200];
  // A castle field that names no castle (damaged data) counts as not placed.
  if (o.siro == kNoSiro || (o.siro != KakuuSiroId && !IsRealSiro(o.siro))) {
    std::snprintf(msg, sizeof msg, "変更元の武将「%s」は配置されていません。",
                  FieldString(o.name, kBusyoNameLen).c_str());
    ShowErrorBox(msg, "武将変更エラー");
    return 0;
  }
  if (n.siro != kNoSiro) {
    std::snprintf(msg, sizeof msg, "変更先の武将「%s」は既に「%s」に存在しています。",
                  FieldString(n.name, kBusyoNameLen).c_str(), StoredSiroName(n.siro));
    ShowErrorBox(msg, "武将変更エラー");
    return 0;
  }
  uint8_t clan = o.siro == KakuuSiroId ? GetKakuuOwner(oldBusyo) : SiroTable[o.siro].owner;
  uint16_t slot = FindForceSlot(clan, static_cast<uint32_t>(oldBusyo));
  if (slot == 0xFFFF) return 0;
  // The new general leaves any slot he still holds (an unplaced vassal or heir) first.
  for (int d = 0; d < kDaimyoFileCount; ++d) {
    for (uint16_t& v : DaimyoTable[d].vassals)
      if (v == newBusyo) v = kNoBusyo;
    RemoveHeirEntry(d, static_cast<uint32_t>(newBusyo));
  }
  for (uint16_t& v : DokuBusyoList)
    if (v == newBusyo) v = kNoBusyo;
  if (clan < kDaimyoSlots && DaimyoTable[clan].head == oldBusyo) {
    DaimyoTable[clan].head = static_cast<uint16_t>(newBusyo);
    n.kizuna = 1;
  }
  n.siro = o.siro;
  n.siro2 = kNoSiro;
  n.marchFlag = 0;
  o.appearYear = 255;
  o.siro = kNoSiro;
  n.soldiers = o.soldiers;
  n.guns = o.guns;
  n.stage = o.stage;
  n.progress = o.progress;
  for (int i = 0; i < 3; ++i) n.items[i] = o.items[i];
  n.militaryWord = o.militaryWord;
  n.growthMark = o.growthMark;
  n.seasonWord = o.seasonWord;
  n.listValue = o.listValue;
  if (clan == kNoDaimyo)
    DokuBusyoList[slot] = static_cast<uint16_t>(newBusyo);
  else
    DaimyoTable[clan].vassals[slot] = static_cast<uint16_t>(newBusyo);
  if (o.siro2 != kNoSiro) o.siro2 = kNoSiro;
  if (clan == PlayerDaimyoId) Battle().SetRosterChanged();
  if (n.stage >= 1 && n.stage <= 3) n.cur = n.stageBlock[n.stage - 1];
  return 1;
}

int SetDaimyoLeader(uint32_t busyo) {
  uint8_t clan = GetBusyoDaimyo(busyo);
  if (busyo >= kBusyoCount || clan == kNoDaimyo) return 0;
  DaimyoTable[clan].head = static_cast<uint16_t>(busyo);
  BusyoTable[busyo].kizuna = 1;
  BusyoTable[busyo].loyalty = 0;
  return 1;
}

int SetBusyoFlag(uint32_t busyo, bool set, bool reAdd) {
  if (busyo >= kBusyoCount) return 1;
  if (set) {
    BusyoTable[busyo].flagWord |= 1;
    if (BusyoTable[busyo].siro != kNoSiro) RemoveBusyoFromCastle(static_cast<int32_t>(busyo));
  } else {
    if (reAdd) AddBusyoToCastle(static_cast<int32_t>(busyo), -1, true);
    BusyoTable[busyo].flagWord &= ~1;
  }
  return 1;
}

bool RecruitBusyoToPlayer(int32_t busyo) {
  if (busyo < 0 || busyo >= kBusyoCount) return false;
  uint8_t k = BusyoTable[busyo].kizuna;
  if (k == 3 || k == 4) {
    SetBusyoFlag(static_cast<uint32_t>(busyo), true, false);
    return true;
  }
  return TransferBusyoToDaimyo(static_cast<uint32_t>(busyo), PlayerDaimyoId);
}

int CountKuniFreeSlotsNear(uint32_t siro, uint32_t clan) {
  if (!IsRealSiro(siro)) return 0;
  int n = 0;
  for (uint16_t nb : SiroTable[siro].neighbours) {
    if (!IsSiroInUse(nb) || SiroTable[nb].owner != clan || IsSiroPassBlocked(siro, nb)) continue;
    n += CountSiroFreeSlots(nb);
  }
  return n;
}

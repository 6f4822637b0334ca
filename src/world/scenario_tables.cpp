#include "world/scenario_tables.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "core/error_box.h"
#include "core/game_rand.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"
#include "core/game_file.h"
#include "world/record_lists.h"
#include "world/world_file.h"
#include "world/world_names.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "platform/byte_order.h"
#include "world/slg_util.h"

namespace {

// Reads exactly `bytes` bytes of a scrambled table into dst; reports a missing or short file.
bool ReadTableFile(const std::string& dir, const char* name, void* dst, int32_t bytes) {
  std::string path = dir + "\\" + name;
  std::vector<uint8_t> data;
  bool ok = ReadWorldFile(path.c_str(), data, true);
  if (ok && static_cast<int32_t>(data.size()) >= bytes) {
    std::memcpy(dst, data.data(), static_cast<size_t>(bytes));
    return true;
  }
  char msg[640];
  if (!ok) {
    std::snprintf(msg, sizeof msg, "テーブルファイル「%s」が読み込めません。", path.c_str());
  } else {
    std::snprintf(msg, sizeof msg, "テーブルファイル「%s」が短すぎます（%d / %d バイト）。", path.c_str(),
                  static_cast<int>(data.size()), static_cast<int>(bytes));
  }
  ShowErrorBox(msg, "FILE LOAD ERROR");
  return false;
}

// Stations a general in the first free entry of the castle's first list.
bool StationBusyo(uint32_t siro, uint8_t force, uint8_t slot) {
  SiroRecord& s = SiroTable[siro];
  for (SiroBusyoRef& r : s.list1) {
    if (r.slot != kNoSlot) continue;
    r.force = force;
    r.slot = slot;
    if (force == kNoDaimyo && s.lord == kNoSlot) s.lord = slot;
    return true;
  }
  char msg[128];
  std::snprintf(msg, sizeof msg, "%s[%d]の武将数が６を超えました", GetSiroName(siro, false), siro);
  ShowErrorMessageBox(msg, "SLG_DATA_ERR");
  return false;
}

SiroBusyoRef* FindEntry(uint32_t siro, uint8_t force, uint8_t slot) {
  if (siro >= kSiroSlots) return nullptr;
  for (SiroBusyoRef& r : SiroTable[siro].list1)
    if (r.force == force && r.slot == slot) return &r;
  return nullptr;
}

}  // namespace

DaimyoRecord EmptyDaimyoRecord() {
  DaimyoRecord d;
  std::memset(&d, 0, sizeof d);
  // An empty clan holds no one: zeroed slots would all name general 0.
  d.head = kNoBusyo;
  d.actingHead = kNoBusyo;
  for (uint16_t& v : d.heirs) v = kNoBusyo;
  for (uint16_t& v : d.vassals) v = kNoBusyo;
  std::memset(d.allies, kNoDaimyo, sizeof d.allies);
  std::memset(d.targets, kNoKuni, sizeof d.targets);
  std::memset(d.clanSet, kNoDaimyo, sizeof d.clanSet);
  d.successor = kNoDaimyo;
  d.homeKuni = kNoKuni;
  d.titleKuni = kNoKuni;
  return d;
}

void ClearDaimyoRecord(uint32_t clan) {
  if (clan >= kDaimyoSlots) return;
  DaimyoTable[clan] = EmptyDaimyoRecord();
}

void ResetToEmptyWorld() {
  ClearWorldTables();
  for (int d = 0; d < kDaimyoSlots; ++d) ClearDaimyoRecord(d);
  for (SiroRecord& s : SiroTable) {
    s.kuni = kNoKuni;
    s.owner = kNoDaimyo;
    s.lord = kNoSlot;
    for (uint16_t& n : s.neighbours) n = kNoSiro;
    for (SiroBusyoRef& r : s.list1) r = {kNoDaimyo, kNoSlot};
    for (SiroBusyoRef& r : s.list2) r = {kNoDaimyo, kNoSlot};
  }
  for (KuniRecord& k : KuniTable) {
    k.holder = kNoDaimyo;
    std::memset(k.neighbours, kNoKuni, sizeof k.neighbours);
  }
  for (uint16_t& v : DokuBusyoList) v = kNoBusyo;
  for (BusyoRecord& b : BusyoTable) {
    b.siro2 = kNoSiro;
    b.patron = kNoBusyo;
  }
}

void ConvertBackslashToLf(char* text, size_t fieldSize) {
  size_t n = strnlen(text, fieldSize);
  for (size_t i = 0; i < n;) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (plat::IsSjisLead(c) && i + 1 < n) {
      i += 2;
      continue;
    }
    if (c == '\\') text[i] = '\n';
    ++i;
  }
}

void ConvertEscapedNewlines(char* text, size_t fieldSize) {
  size_t n = strnlen(text, fieldSize);
  size_t out = 0;
  for (size_t i = 0; i < n;) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (plat::IsSjisLead(c) && i + 1 < n) {
      text[out++] = text[i++];
      text[out++] = text[i++];
    } else if (c == '\\' && i + 1 < n && text[i + 1] == 'n') {
      text[out++] = '\n';
      i += 2;
    } else {
      text[out++] = text[i++];
    }
  }
  for (size_t i = out; i < n; ++i) text[i] = '\0';
}

void ClearWorldTables() {
  std::memset(KuniTable, 0, sizeof KuniTable);
  std::memset(SiroTable, 0, sizeof SiroTable);
  std::memset(DaimyoTable, 0, sizeof DaimyoTable);
  std::memset(BusyoTable, 0, sizeof BusyoTable);
  std::memset(DokuBusyoList, 0, sizeof DokuBusyoList);
  std::memset(ItemStock, 0, sizeof ItemStock);
  std::memset(ClanOrderList, 0, sizeof ClanOrderList);
  std::memset(MarchOrderList, 0, sizeof MarchOrderList);
  TurnCounter = 0;
  GameYear = 0;
  SeasonIndex = 0;
  PlayerDaimyoId = 0;
  TurnSubPhase = 0;
  CurrentKuniId = 0;
  SlgPhaseIndex = 0;
  TurnWords[0] = TurnWords[1] = 0;
  for (BusyoRecord& b : BusyoTable) b.siro = kNoSiro;
  // The script-registered visits and the generals' flags belong to the world they were made in.
  ClearSlgEventMap();
  std::memset(BusyoFlagTable, 0, sizeof BusyoFlagTable);
}

void FixupBusyoVariants() {
  for (BusyoRecord& b : BusyoTable)
    if (b.stage >= 1 && b.stage <= 3) b.cur = b.stageBlock[b.stage - 1];
}

bool LoadCommonTables() {
  std::memset(SkillTable, 0, sizeof SkillTable);
  std::memset(SkillDocTable, 0, sizeof SkillDocTable);
  std::memset(ItemTable, 0, sizeof ItemTable);
  std::string dir = WorldDataPath("Data\\scenario\\common");
  bool ok = ReadTableFile(dir, "skill.bin", SkillTable, kSkillFileBytes);
  ok = ReadTableFile(dir, "skillDoc.bin", SkillDocTable, kSkillDocFileBytes) && ok;
  ok = ReadTableFile(dir, "item.bin", ItemTable, kItemFileBytes) && ok;
  for (SkillRecord& s : SkillTable) ConvertBackslashToLf(s.text, sizeof s.text);
  // All seven texts of a record (the spare byte stays).
  for (SkillDocRecord& d : SkillDocTable)
    for (auto& t : d.text) ConvertEscapedNewlines(t, sizeof t);
  for (ItemRecord& i : ItemTable) ConvertBackslashToLf(i.text, sizeof i.text);
  return ok;
}

std::string ScenarioDirectory(int32_t scenario) {
  char rel[64];
  std::snprintf(rel, sizeof rel, "Data\\scenario\\%d", static_cast<int>(scenario));
  return WorldDataPath(rel);
}

bool LoadHikitugi(HikitugiList& list);

bool ReloadScenarioBusyoPart(BusyoReloadPart part) {
  std::vector<BusyoRecord> file(kBusyoCount);
  if (!ReadTableFile(ScenarioDirectory(ScenarioNumber), "busyo2.bin", file.data(), kBusyoFileBytes)) return false;
  for (int g = 0; g < kBusyoCount; ++g) {
    BusyoRecord& b = BusyoTable[g];
    if (part == BusyoReloadPart::kInitialSkills) {
      for (int i = 0; i < 3; ++i) b.cur.skill[i] = file[g].cur.skill[i];
    } else {
      b.soldiers = file[g].soldiers;
      b.guns = file[g].guns;
    }
  }
  return true;
}

void RebuildPlacement() {
  char msg[256];
  // 1. Lists, owners, lords and symmetric roads.
  for (int c = 0; c < kSiroCount; ++c) {
    SiroRecord& s = SiroTable[c];
    for (int i = 0; i < kSiroListLen; ++i) {
      s.list1[i] = {kNoDaimyo, kNoSlot};
      s.list2[i] = {kNoDaimyo, kNoSlot};
    }
    if (s.kuni == kNoKuni) s.owner = kNoDaimyo;
    if (s.owner == kNoDaimyo) s.lord = kNoSlot;
    for (int i = 0; i < 5; ++i) {
      uint16_t n = s.neighbours[i];
      if (n >= kSiroSlots || !(s.links[i] & 1)) continue;
      for (int j = 0; j < 5; ++j)
        if (SiroTable[n].neighbours[j] == c) SiroTable[n].links[j] |= 1;
    }
  }
  // 2. Vassal slots and the independents' list.
  for (int d = 0; d < kDaimyoFileCount; ++d)
    for (uint16_t& v : DaimyoTable[d].vassals) v = kNoBusyo;
  for (uint16_t& v : DokuBusyoList) v = kNoBusyo;
  // 3. Generals.
  for (int g = 0; g < kBusyoCount; ++g) {
    BusyoRecord& b = BusyoTable[g];
    b.siro2 = kNoSiro;
    if (b.siro == kNoSiro) continue;
    b.appearYear = 255;
    if (b.siro >= kSiroCount || SiroTable[b.siro].kuni == kNoKuni) {
      std::snprintf(msg, sizeof msg, "「%s (%d)」の配置城「%s (%d)」が不正です", GetBusyoName(g), g,
                    GetSiroName(b.siro, false), b.siro);
      ShowErrorBox(msg, "SLGデータエラー");
      b.siro = kNoSiro;
      continue;
    }
    SiroRecord& s = SiroTable[b.siro];
    // A general with no free list entry is reported and left unplaced (no castle), never kept
    // half-placed in a castle that does not list him.
    if (s.owner == kNoDaimyo) {
      bool placed = false;
      for (int i = 0; i < kDokuSlots && !placed; ++i) {
        if (DokuBusyoList[i] != kNoBusyo) continue;
        DokuBusyoList[i] = static_cast<uint16_t>(g);
        StationBusyo(b.siro, kNoDaimyo, static_cast<uint8_t>(i));
        placed = true;
      }
      if (!placed) {
        std::snprintf(msg, sizeof msg, "「%s (%d)」を配置できません。浪人の枠が一杯です。", GetBusyoName(g), g);
        ShowErrorBox(msg, "SLGデータエラー");
        b.siro = kNoSiro;
      }
      continue;
    }
    DaimyoRecord& d = DaimyoTable[s.owner];
    int slot = -1;
    for (int i = 0; i < kVassalSlots; ++i)
      if (d.vassals[i] == kNoBusyo) {
        slot = i;
        break;
      }
    if (slot < 0) {
      std::snprintf(msg, sizeof msg, "「%s (%d)」を配置できません。%s家の家臣枠が一杯です。", GetBusyoName(g), g,
                    GetDaimyoName(s.owner, false));
      ShowErrorBox(msg, "SLGデータエラー");
      b.siro = kNoSiro;
      continue;
    }
    d.vassals[slot] = static_cast<uint16_t>(g);
    StationBusyo(b.siro, s.owner, static_cast<uint8_t>(slot));
    if (d.head == g && slot != 0) {
      uint16_t other = d.vassals[0];
      SiroBusyoRef* headRef = FindEntry(b.siro, s.owner, static_cast<uint8_t>(slot));
      SiroBusyoRef* otherRef = other < kBusyoCount ? FindEntry(BusyoTable[other].siro, s.owner, 0) : nullptr;
      if (!headRef || !otherRef) {
        std::snprintf(msg, sizeof msg, "大名%s(%d)の当主登録に失敗しました。", GetDaimyoName(s.owner, false), s.owner);
        ShowErrorBox(msg, "SLGデータエラー");
      } else {
        std::swap(d.vassals[0], d.vassals[slot]);
        std::swap(headRef->slot, otherRef->slot);
      }
    }
  }
  // 4. Heads.
  for (int c = 0; c < kDaimyoFileCount; ++c) {
    DaimyoRecord& d = DaimyoTable[c];
    if (d.head >= NullBusyoId) continue;  // 1999 and 0xFFFF: no head
    bool found = false;
    for (uint16_t v : d.vassals) found |= v == d.head;
    if (found) {
      if (BusyoTable[d.head].kizuna == 0) BusyoTable[d.head].kizuna = 1;
    } else {
      std::snprintf(msg, sizeof msg, "%s家[%d]の当主が配置武将の中にいません。", GetDaimyoName(c, false), c);
      ShowErrorMessageBox(msg, "SLG_DATA_ERR");
    }
  }
  // The head swap can leave a list out of order: every list is sorted before the check.
  for (int c = 0; c < kSiroCount; ++c)
    if (IsSiroInUse(c)) SortSiroSlots(c);
  CheckSiroData();
}

void LoadCodeSubstTable(CodeSubstTable& table) {
  std::vector<uint8_t> data;
  // Beside the executable, read plain from disk (not through the archives).
  if (ReadDiskFile((std::string(GetModuleDir()) + "sys\\scodeDef.bin").c_str(), data))
    ParseCodeSubstTable(table, data.data(), data.size());
  else
    table.Clear();
}

void LoadLineDefTable(LineDefTable& set) {
  std::vector<uint8_t> data;
  if (ReadDiskFile((std::string(GetModuleDir()) + "sys\\lineDef.bin").c_str(), data))
    ParseLineDefTable(set, data.data(), data.size());
  else
    set.clear();
}

LineDefTable& GlobalLineDefTable() {
  static LineDefTable table;
  return table;
}

void SubstituteWorldNames() {
  CodeSubstTable table;
  LoadCodeSubstTable(table);
  if (table.Size() == 0) return;
  for (BusyoRecord& b : BusyoTable) SubstituteSjisCodes(table, b.name, sizeof b.name);
  for (DaimyoRecord& d : DaimyoTable) SubstituteSjisCodes(table, d.name, sizeof d.name);
  for (int k = 0; k < kKuniCount; ++k) SubstituteSjisCodes(table, KuniTable[k].name, sizeof KuniTable[k].name);
  for (SiroRecord& s : SiroTable) SubstituteSjisCodes(table, s.name, sizeof s.name);
}

bool LoadScenarioTables(const char* directory) {
  std::memset(KuniTable, 0, sizeof KuniTable);
  std::memset(SiroTable, 0, sizeof SiroTable);
  std::memset(DaimyoTable, 0, sizeof DaimyoTable);
  std::memset(BusyoTable, 0, sizeof BusyoTable);
  std::memset(DokuBusyoList, 0, sizeof DokuBusyoList);
  std::memset(ItemStock, 0, sizeof ItemStock);
  for (BusyoRecord& b : BusyoTable) b.siro = kNoSiro;
  std::string dir = directory ? directory : "";
  bool ok = ReadTableFile(dir, "kuni21.bin", KuniTable, kKuniFileBytes) &&
            ReadTableFile(dir, "siro21.bin", SiroTable, kSiroFileBytes) &&
            ReadTableFile(dir, "daimyo21.bin", DaimyoTable, kDaimyoFileBytes) &&
            ReadTableFile(dir, "busyo2.bin", BusyoTable, kBusyoFileBytes) &&
            ReadTableFile(dir, "doku21.bin", DokuBusyoList, kDokuFileBytes) && LoadCommonTables();
  if (!ok) {
    // A partial world is never left behind: its zeroed castles would all look in use.
    ResetToEmptyWorld();
    return false;
  }
  for (int d = kDaimyoFileCount; d < kDaimyoSlots; ++d) ClearDaimyoRecord(d);
  FixupBusyoVariants();
  SeedGameRandFromTime();
  RebuildPlacement();
  SubstituteWorldNames();
  return true;
}

bool LoadHikitugi(HikitugiList& list) {
  list.clear();
  std::string path = ScenarioDirectory(ScenarioNumber) + "\\hikitugi.bin";
  std::vector<uint8_t> data;
  if (!ReadWorldFile(path.c_str(), data, true)) return false;
  data.resize(kHikitugiFileBytes, 0);
  for (int i = 0; i < kHikitugiEntries; ++i) {
    const uint8_t* e = &data[i * kHikitugiEntryBytes];
    if (e[0] == 0) continue;
    char name[18] = {};
    std::memcpy(name, e, 17);  // an unterminated name is cut at its field
    uint32_t value = le::Get32(e + 17);
    int32_t id = FindBusyoByName(name);
    list[id] = value;
  }
  return true;
}

int ScenarioStartYear(int32_t scenario) {
  switch (scenario) {
    case 0:
    case 2:
    case 4:
      return 1550;
    case 1:
    case 3:
      return 1580;
    default:
      return -1;
  }
}

bool StartNewGame() {
  if (!LoadScenarioTables(ScenarioDirectory(ScenarioNumber).c_str())) return false;
  for (int k = kKuniCount; k < kKuniSlots; ++k) std::memset(&KuniTable[k], 0, sizeof(KuniRecord));
  for (int d = kDaimyoInPlay; d < kDaimyoSlots; ++d) ClearDaimyoRecord(d);
  GameYear = 1550;
  SeasonIndex = 3;
  ActingSideFlag = 1;
  PlayerDaimyoId = PreferredStartDaimyo < 0 ? 0 : static_cast<uint8_t>(PreferredStartDaimyo);
  TurnCounter = 0;
  TurnSubPhase = 0;
  CurrentKuniId = GetDaimyoHomeKuni(PlayerDaimyoId);
  SlgRules().RecalcDaimyoTotals(1);
  return true;
}

void BeginGameOrLoad() {
  if (StartSlot != -1) {
    int32_t slot = StartSlot;
    StartSlot = -1;  // used once: a later reload starts the scenario, not the slot again
    ActingSideFlag = 0;
    if (SlgRules().LoadGameSlot(slot)) return;
    // A refused slot leaves the game as it was: say so and start the scenario instead.
    plat::Log("world", "start slot %d cannot be loaded; a new game starts", slot);
    ShowSlgDataError("セーブデータを読み込めませんでした。新しいゲームを始めます。");
  }
  StartNewGame();
}

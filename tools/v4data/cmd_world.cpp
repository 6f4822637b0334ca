// v4data world: builds the sample world's table files from the readable sources in data/world,
// and checks a built world with the program's own loader.
//   v4data world build <source-dir> <out-root>
//   v4data world check <out-root>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/error_box.h"
#include "core/file_io.h"
#include "core/game_file.h"
#include "command.h"
#include "platform/fs/fs.h"
#include "platform/text/cp932.h"
#include "world/scenario_tables.h"
#include "world/world_check.h"
#include "world/world_file.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

using json = nlohmann::json;

namespace {

struct BuildError {
  std::string what;
};

// Small repeatable generator for the sample world (independent of the game's generator).
struct Rng {
  uint32_t s;
  explicit Rng(uint32_t seed) : s(seed * 2654435761u + 1) {}
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  int Range(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<uint32_t>(hi - lo + 1)); }
};

json LoadJson(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!plat::ReadHostFile(path, bytes, &error)) throw BuildError{path + ": " + error};
  try {
    return json::parse(bytes.begin(), bytes.end());
  } catch (const std::exception& e) {
    throw BuildError{path + ": " + e.what()};
  }
}

std::string Sjis(const std::string& utf8) {
  std::string out;
  if (!plat::Utf8ToCp932Strict(utf8, out)) throw BuildError{"text not representable in Shift-JIS: " + utf8};
  return out;
}

void PutName(char* field, size_t size, const std::string& sjis) {
  if (sjis.size() + 1 > size) throw BuildError{"name too long for its field: " + plat::Cp932ToUtf8(sjis)};
  std::memset(field, 0, size);
  std::memcpy(field, sjis.data(), sjis.size());
}

struct Pt {
  double x, y;
};

double SegDist(Pt p, Pt a, Pt b) {
  double dx = b.x - a.x, dy = b.y - a.y, L = dx * dx + dy * dy;
  double t = L == 0 ? 0 : std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / L, 0.0, 1.0);
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

// Length of a's outline that runs along b's outline (within 1.5 map pixels).
double SharedLength(const std::vector<Pt>& a, const std::vector<Pt>& b) {
  double total = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    Pt p = a[i], q = a[(i + 1) % a.size()];
    double L = std::hypot(q.x - p.x, q.y - p.y);
    int steps = std::max(1, static_cast<int>(L / 2));
    int on = 0;
    for (int s = 0; s <= steps; ++s) {
      double t = static_cast<double>(s) / steps;
      Pt x{p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
      double d = 1e9;
      for (size_t j = 0; j < b.size(); ++j) d = std::min(d, SegDist(x, b[j], b[(j + 1) % b.size()]));
      on += d <= 1.5;
    }
    total += L * on / (steps + 1);
  }
  return total;
}

struct Province {
  std::string name;
  int region = 0, land = 0, town = 0;
  std::vector<Pt> poly;
  std::vector<int> neighbours;
  int first = -1, last = -1;
};

struct Castle {
  std::string name;
  int kuni = 0, level = 1, maxLevel = 1, battlefield = 0, treasureChance = 0;
  Pt pos{};
  std::vector<int> treasure, roads;
};

struct Sources {
  std::vector<Province> kuni;
  std::vector<Castle> siro;
  json names, clans, items, skills, system, scenarios;
};

Sources ReadSources(const std::string& dir) {
  Sources src;
  json prov = LoadJson(dir + "/provinces.json");
  std::map<std::string, int> byName;
  for (const json& p : prov.at("provinces")) {
    Province k;
    k.name = Sjis(p.at("name"));
    k.region = p.at("region");
    k.land = p.at("land");
    k.town = p.at("town");
    for (const json& q : p.at("polygon")) k.poly.push_back({q.at(0).get<double>(), q.at(1).get<double>()});
    byName[p.at("name")] = static_cast<int>(src.kuni.size());
    src.kuni.push_back(k);
  }
  if (src.kuni.size() != kKuniCount) throw BuildError{"provinces.json must hold 67 provinces"};
  std::set<std::pair<int, int>> links;
  auto link = [&](int a, int b) {
    if (a != b) links.insert({std::min(a, b), std::max(a, b)});
  };
  for (int a = 0; a < kKuniCount; ++a)
    for (int b = a + 1; b < kKuniCount; ++b)
      if (SharedLength(src.kuni[a].poly, src.kuni[b].poly) >= 4) link(a, b);
  for (const json& l : prov.at("sea_links")) link(byName.at(l.at(0)), byName.at(l.at(1)));

  json cs = LoadJson(dir + "/castles.json");
  for (const json& c : cs.at("castles")) {
    Castle s;
    s.name = Sjis(c.at("name"));
    s.kuni = byName.at(c.at("province"));
    s.pos = {c.at("pos").at(0).get<double>(), c.at("pos").at(1).get<double>()};
    s.level = c.at("level");
    s.maxLevel = c.at("max_level");
    s.battlefield = c.at("battlefield");
    s.treasureChance = c.at("treasure_chance");
    for (const json& t : c.at("treasure")) s.treasure.push_back(t);
    if (c.at("id").get<int>() != static_cast<int>(src.siro.size()))
      throw BuildError{"castle ids must run 0, 1, 2, ..."};
    src.siro.push_back(s);
  }
  if (src.siro.size() > kSiroCount) throw BuildError{"more than 400 castles"};
  for (const json& r : cs.at("roads")) {
    int a = r.at(0), b = r.at(1);
    if (a < 0 || b < 0 || a >= static_cast<int>(src.siro.size()) || b >= static_cast<int>(src.siro.size()) || a == b)
      throw BuildError{"road names a missing castle"};
    src.siro[a].roads.push_back(b);
    src.siro[b].roads.push_back(a);
    // A road between countries makes them neighbours, whatever their drawn shapes say.
    link(src.siro[a].kuni, src.siro[b].kuni);
  }
  for (size_t i = 0; i < src.siro.size(); ++i) {
    if (src.siro[i].roads.size() > 5) throw BuildError{"a castle has more than five roads"};
    Province& k = src.kuni[src.siro[i].kuni];
    if (k.first < 0) k.first = static_cast<int>(i);
    if (k.last >= 0 && k.last != static_cast<int>(i) - 1) throw BuildError{"castles of a province must be consecutive"};
    k.last = static_cast<int>(i);
  }
  for (auto [a, b] : links) {
    src.kuni[a].neighbours.push_back(b);
    src.kuni[b].neighbours.push_back(a);
  }
  for (Province& k : src.kuni) {
    if (k.first < 0) throw BuildError{"a province has no castle"};
    if (k.neighbours.size() > 8) throw BuildError{"a province has more than eight neighbours"};
  }
  src.names = LoadJson(dir + "/names.json");
  src.clans = LoadJson(dir + "/clans.json");
  src.items = LoadJson(dir + "/items.json");
  src.skills = LoadJson(dir + "/skills.json");
  src.system = LoadJson(dir + "/system.json");
  src.scenarios = LoadJson(dir + "/scenarios.json");
  return src;
}

// ---- People ----
struct Person {
  std::string family, given;  // Shift-JIS
  BusyoRecord rec{};
};

std::vector<Person> MakePeople(const Sources& src) {
  auto list = [&](const char* key) {
    std::vector<std::string> v;
    for (const json& s : src.names.at(key)) v.push_back(Sjis(s));
    return v;
  };
  std::vector<std::string> f1 = list("family_first"), f2 = list("family_second"), g1 = list("given_first"),
                           g2 = list("given_second");
  Rng rng(1999);
  std::set<std::string> used;
  std::vector<Person> people;
  int skillCount = static_cast<int>(src.skills.at("skills").size());
  while (people.size() < NullBusyoId) {
    Person p;
    p.family = f1[rng.Next() % f1.size()] + f2[rng.Next() % f2.size()];
    std::string a = g1[rng.Next() % g1.size()], b = g2[rng.Next() % g2.size()];
    if (a == b) continue;
    p.given = a + b;
    if (!used.insert(p.family + p.given).second) continue;
    BusyoRecord& r = p.rec;
    std::memset(&r, 0, sizeof r);
    PutName(r.name, sizeof r.name, p.family + " " + p.given);
    r.patron = kNoBusyo;
    r.siro = kNoSiro;
    r.siro2 = kNoSiro;
    r.kind = static_cast<uint16_t>(rng.Range(1, 3));
    r.stage = 1;
    BusyoStatBlock s1{};
    for (int i = 0; i < 3; ++i) s1.stat[i] = static_cast<uint8_t>(rng.Range(20, 85));
    s1.stat[3] = static_cast<uint8_t>(rng.Range(1, 60));
    int nskills = rng.Range(0, 2);
    for (int i = 0; i < nskills; ++i) s1.skill[i] = static_cast<uint8_t>(rng.Range(1, skillCount));
    BusyoStatBlock s2 = s1, s3 = s1;
    for (int i = 0; i < 4; ++i) {
      s2.stat[i] = static_cast<uint8_t>(std::min(99, s1.stat[i] + rng.Range(3, 8)));
      s3.stat[i] = static_cast<uint8_t>(std::min(99, s2.stat[i] + rng.Range(3, 8)));
    }
    if (s3.skill[3] == 0) s3.skill[3] = static_cast<uint8_t>(rng.Range(1, skillCount));
    r.stageBlock[0] = s1;
    r.stageBlock[1] = s2;
    r.stageBlock[2] = s3;
    r.cur = s1;
    r.loyalty = static_cast<uint8_t>(rng.Range(8, 16));
    // Garrisons below what the clans' lands support, so that a clan can recruit from its first season.
    r.soldiers = static_cast<uint8_t>(rng.Range(3, 20));
    r.guns = static_cast<uint8_t>(rng.Range(0, r.soldiers / 3));
    r.appearYear = 255;
    r.appearKuni = kNoKuni;
    r.appearDaimyo = kNoDaimyo;
    r.picture = static_cast<uint16_t>(people.size());
    r.voice = static_cast<uint16_t>(rng.Range(0, 9));
    r.listValue = static_cast<int16_t>(rng.Range(0, 100));
    r.carryWord = 0xFFFF;
    r.trainingChoice = 10;
    r.contactDaimyo = 0xFFFF;
    people.push_back(std::move(p));
  }
  return people;
}

// ---- One scenario ----
struct ScenarioOut {
  std::vector<uint8_t> kuni, siro, daimyo, busyo, doku, hikitugi;
};

template <typename T>
void Append(std::vector<uint8_t>& out, const T& rec) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&rec);
  out.insert(out.end(), p, p + sizeof rec);
}

// Clans standing in a scenario: all, or the most prestigious `survivors`.
std::vector<bool> StandingClans(const json& clans, const json& sc) {
  const int nclans = static_cast<int>(clans.size());
  std::vector<bool> alive(nclans, true);
  if (!sc.contains("survivors")) return alive;
  std::vector<int> order(nclans);
  for (int i = 0; i < nclans; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return clans[a].at("prestige").get<int>() > clans[b].at("prestige").get<int>();
  });
  const int n = sc.at("survivors");
  for (int i = n; i < nclans; ++i) alive[order[i]] = false;
  return alive;
}

// Generals 1980 to 1998 are kept for the scripts of the sample story.
constexpr int kScriptBusyoFirst = 1980;

// Who holds which castle: each clan holds its home province outright (the country commands need a
// country of one's own), starts at its strongest castle, and grows along roads to about perClan
// castles, never into another clan's home province and at most four clans in one country.
struct Lands {
  std::vector<int> owner;  // per castle, kNoDaimyo when independent
  std::vector<int> home;   // per clan, its first castle
};

Lands GrowLands(const Sources& src, const json& clans, const std::vector<bool>& alive, int perClan, Rng& rng) {
  const int nsiro = static_cast<int>(src.siro.size());
  const int nclans = static_cast<int>(clans.size());
  std::map<std::string, int> kuniByName;
  for (int k = 0; k < kKuniCount; ++k) kuniByName[src.kuni[k].name] = k;
  Lands lands{std::vector<int>(nsiro, kNoDaimyo), std::vector<int>(nclans, -1)};
  std::vector<std::vector<int>> held(nclans);
  std::vector<std::set<int>> kuniClans(kKuniCount);
  auto take = [&](int c, int s) {
    lands.owner[s] = c;
    held[c].push_back(s);
    kuniClans[src.siro[s].kuni].insert(c);
  };
  for (int c = 0; c < nclans; ++c) {
    if (!alive[c]) continue;
    int k = kuniByName.at(Sjis(clans[c].at("home")));
    int best = -1;
    for (int s = src.kuni[k].first; s <= src.kuni[k].last; ++s)
      if (lands.owner[s] == kNoDaimyo && (best < 0 || src.siro[s].level > src.siro[best].level)) best = s;
    if (best < 0) throw BuildError{"two clans share a home province"};
    lands.home[c] = best;
    take(c, best);
  }
  // The home provinces: their clan's, closed to every other clan. The weakest castle of a larger
  // province (of level 2 or more where there is one) stays with its independent lord while the
  // clan keeps 80 % of the province's weight (level + 2 per castle, as the game weighs a share):
  // the clan holds the country, and meets generals of another force in it.
  std::vector<int> homeOf(kKuniCount, kNoDaimyo);
  for (int c = 0; c < nclans; ++c) {
    if (!alive[c]) continue;
    const int k = src.siro[lands.home[c]].kuni;
    homeOf[k] = c;
    int total = 0, weakest = -1;
    // (a castle of level 1 could not even be plotted against: the weakest of level 2 or more first)
    auto weaker = [&](int s, int than) {
      const int a = src.siro[s].level < 2 ? 100 + src.siro[s].level : src.siro[s].level;
      const int b = src.siro[than].level < 2 ? 100 + src.siro[than].level : src.siro[than].level;
      return a < b;
    };
    for (int s = src.kuni[k].first; s <= src.kuni[k].last; ++s) {
      total += src.siro[s].level + 2;
      if (s != lands.home[c] && (weakest < 0 || weaker(s, weakest))) weakest = s;
    }
    const int count = src.kuni[k].last - src.kuni[k].first + 1;
    if (count < 3 || weakest < 0 || (total - src.siro[weakest].level - 2) * 100 < 80 * total) weakest = -1;
    for (int s = src.kuni[k].first; s <= src.kuni[k].last; ++s)
      if (lands.owner[s] == kNoDaimyo && s != weakest) take(c, s);
  }
  // Beyond its home province every clan takes at least two castles, so it meets other clans'
  // generals in a country it shares with them.
  std::vector<int> target(nclans, 0);
  for (int c = 0; c < nclans; ++c)
    if (alive[c]) target[c] = std::max(perClan, static_cast<int>(held[c].size()) + 2);
  const int rounds = *std::max_element(target.begin(), target.end());
  for (int round = 1; round < rounds; ++round) {
    for (int c = 0; c < nclans; ++c) {
      if (!alive[c] || static_cast<int>(held[c].size()) > round || static_cast<int>(held[c].size()) >= target[c])
        continue;
      int best = -1;
      double bestD = 1e18;
      for (int s : held[c])
        for (int n : src.siro[s].roads) {
          if (lands.owner[n] != kNoDaimyo) continue;
          const int nk = src.siro[n].kuni;
          if (homeOf[nk] != kNoDaimyo) continue;
          const std::set<int>& kc = kuniClans[nk];
          if (kc.size() >= 4 && !kc.count(c)) continue;
          const Pt a = src.siro[n].pos, h = src.siro[lands.home[c]].pos;
          double d = std::hypot(a.x - h.x, a.y - h.y) + rng.Range(0, 20);
          if (d < bestD) {
            bestD = d;
            best = n;
          }
        }
      if (best >= 0) take(c, best);
    }
  }
  return lands;
}

// The generals of a scenario: heads first (distinct family names), then the garrisons; the rest
// come forward later in a province of the map. head receives each clan's head.
std::vector<BusyoRecord> PlaceGenerals(const std::vector<Person>& people, const std::vector<bool>& alive,
                                       const Lands& lands, int year, Rng& rng, std::vector<int>& head) {
  const int nclans = static_cast<int>(alive.size());
  const int nsiro = static_cast<int>(lands.owner.size());
  std::vector<BusyoRecord> busyo(kBusyoCount);
  for (int g = 0; g < NullBusyoId; ++g) busyo[g] = people[g].rec;
  std::memset(&busyo[NullBusyoId], 0, sizeof(BusyoRecord));
  busyo[NullBusyoId].siro = kNoSiro;
  busyo[NullBusyoId].siro2 = kNoSiro;
  busyo[NullBusyoId].patron = kNoBusyo;
  // The last generals before the empty record belong to the scripts (who joins at the start, who
  // visits): never placed and never coming forward by themselves.
  std::vector<int> pool(kScriptBusyoFirst);
  for (int g = 0; g < kScriptBusyoFirst; ++g) pool[g] = g;
  for (int i = kScriptBusyoFirst - 1; i > 0; --i) std::swap(pool[i], pool[rng.Next() % (i + 1)]);
  size_t next = 0;
  head.assign(nclans, kNoBusyo);
  std::set<std::string> headFamilies;
  std::vector<bool> taken(NullBusyoId, false);
  for (int g = kScriptBusyoFirst; g < NullBusyoId; ++g) taken[g] = true;
  for (int c = 0; c < nclans; ++c) {
    if (!alive[c]) continue;
    for (int g : pool) {
      if (taken[g] || headFamilies.count(people[g].family)) continue;
      head[c] = g;
      taken[g] = true;
      headFamilies.insert(people[g].family);
      break;
    }
  }
  auto nextFree = [&]() {
    while (next < pool.size() && taken[pool[next]]) ++next;
    if (next >= pool.size()) throw BuildError{"not enough generals"};
    taken[pool[next]] = true;
    return pool[next];
  };
  std::vector<int> garrison(nsiro, 0);
  for (int c = 0; c < nclans; ++c) {
    if (!alive[c]) continue;
    BusyoRecord& h = busyo[head[c]];
    h.siro = static_cast<uint16_t>(lands.home[c]);
    h.charFlag = 1;
    h.loyalty = 0;
    // A head is at least 60 in his first three stats; his later stages rise by as much, so a
    // stage never falls below the one before it.
    for (int i = 0; i < 3; ++i) {
      const int raise = std::max(0, 60 - static_cast<int>(h.stageBlock[0].stat[i]));
      for (BusyoStatBlock& stage : h.stageBlock)
        stage.stat[i] = static_cast<uint8_t>(std::min(99, static_cast<int>(stage.stat[i]) + raise));
      h.cur.stat[i] = h.stageBlock[0].stat[i];
    }
    garrison[lands.home[c]] = 1;
  }
  for (int s = 0; s < nsiro; ++s) {
    const int owner = lands.owner[s];
    const bool isHome = owner != kNoDaimyo && owner < nclans && s == lands.home[owner];
    int want = owner == kNoDaimyo ? rng.Range(1, 3) : (isHome ? rng.Range(4, 6) : rng.Range(2, 5));
    while (garrison[s] < want) {
      busyo[nextFree()].siro = static_cast<uint16_t>(s);
      garrison[s]++;
    }
  }
  for (int g = kScriptBusyoFirst; g < NullBusyoId; ++g) busyo[g].appearYear = 255;
  for (int g = 0; g < NullBusyoId; ++g) {
    if (taken[g]) continue;
    BusyoRecord& b = busyo[g];
    b.appearYear = static_cast<uint8_t>(year - 1500 + rng.Range(1, 30));
    b.appearKuni = static_cast<uint8_t>(rng.Range(0, kKuniCount - 1));
  }
  if (year >= 1580) {
    for (int g = 0; g < NullBusyoId; ++g) {
      int st = rng.Range(1, 3);
      busyo[g].stage = static_cast<uint16_t>(st);
      busyo[g].cur = busyo[g].stageBlock[st - 1];
    }
  }
  // A clan's home castle is fully manned, so an army marching from it has more units than the
  // widest field has lanes and keeps some in reserve (swaps, the detached force). They are placed
  // last, from the generals who would have come forward later, so nothing else of the world moves.
  for (int c = 0; c < nclans; ++c) {
    if (!alive[c]) continue;
    const int home = lands.home[c];
    while (garrison[home] < kSiroListLen) {
      BusyoRecord& b = busyo[nextFree()];
      b.siro = static_cast<uint16_t>(home);
      b.appearYear = 255;
      b.appearKuni = kNoKuni;
      garrison[home]++;
    }
  }
  return busyo;
}

void WriteKuniTable(const Sources& src, Rng& rng, ScenarioOut& out) {
  for (int k = 0; k < kKuniCount; ++k) {
    const Province& p = src.kuni[k];
    KuniRecord r{};
    PutName(r.name, sizeof r.name, p.name);
    r.holder = kNoDaimyo;
    r.land = static_cast<uint16_t>(p.land);
    r.landLimit = static_cast<uint16_t>(std::min(65000, p.land * 3 / 2));
    r.town = static_cast<uint16_t>(p.town);
    r.townLimit = static_cast<uint16_t>(std::min(65000, p.town * 2));
    r.total = static_cast<uint16_t>(p.land + p.town * 4 / 10);
    r.firstSiro = static_cast<uint16_t>(p.first);
    r.lastSiro = static_cast<uint16_t>(p.last);
    std::memset(r.neighbours, kNoKuni, sizeof r.neighbours);
    for (size_t i = 0; i < p.neighbours.size(); ++i) r.neighbours[i] = static_cast<uint8_t>(p.neighbours[i]);
    r.mood = static_cast<uint8_t>(rng.Range(55, 80));
    r.region = static_cast<uint8_t>(p.region);
    r.eventState = 255;
    r.applicants = 255;
    Append(out.kuni, r);
  }
}

// All 512 castle slots.
void WriteSiroTable(const Sources& src, const Lands& lands, ScenarioOut& out) {
  const int nsiro = static_cast<int>(src.siro.size());
  for (int s = 0; s < kSiroSlots; ++s) {
    SiroRecord r{};
    std::fill(std::begin(r.neighbours), std::end(r.neighbours), kNoSiro);
    for (SiroBusyoRef& e : r.list1) e = {kNoDaimyo, kNoSlot};
    for (SiroBusyoRef& e : r.list2) e = {kNoDaimyo, kNoSlot};
    r.owner = kNoDaimyo;
    r.lord = kNoSlot;
    r.kuni = kNoKuni;
    if (s < nsiro) {
      const Castle& c = src.siro[s];
      PutName(r.name, sizeof r.name, c.name);
      for (size_t i = 0; i < c.roads.size(); ++i) {
        r.neighbours[i] = static_cast<uint16_t>(c.roads[i]);
        r.links[i] = 1;
      }
      r.level = static_cast<uint8_t>(c.level);
      r.maxLevel = static_cast<uint8_t>(c.maxLevel);
      r.owner = static_cast<uint8_t>(lands.owner[s]);
      r.lord = static_cast<uint8_t>(lands.owner[s]);
      r.kuni = static_cast<uint8_t>(c.kuni);
      r.battlefield = static_cast<uint8_t>(c.battlefield);
      r.treasureChance = static_cast<uint8_t>(c.treasureChance);
      for (size_t i = 0; i < c.treasure.size() && i < 10; ++i) r.treasure[i] = static_cast<uint16_t>(c.treasure[i]);
    }
    Append(out.siro, r);
  }
}

// The 64 clan records of the file; slots without a standing clan hold nothing.
void WriteDaimyoTable(const Sources& src, const std::vector<Person>& people, const json& clans,
                      const std::vector<bool>& alive, const Lands& lands, const std::vector<int>& head, Rng& rng,
                      ScenarioOut& out) {
  const int nclans = static_cast<int>(clans.size());
  for (int c = 0; c < kDaimyoFileCount; ++c) {
    DaimyoRecord r = EmptyDaimyoRecord();
    r.gunsLeft = 255;
    if (c < nclans && alive[c]) {
      const json& j = clans[c];
      PutName(r.name, sizeof r.name, people[head[c]].family);
      r.head = static_cast<uint16_t>(head[c]);
      r.rank = static_cast<uint8_t>(j.at("rank").get<int>());
      r.prestige = static_cast<uint8_t>(j.at("prestige").get<int>());
      r.money = static_cast<uint16_t>(j.at("money").get<int>());
      r.gunRate = 1;
      r.gunsPerPurchase = 5;
      r.renown = static_cast<uint8_t>(rng.Range(50, 100));
      r.homeKuni = src.siro[lands.home[c]].kuni;
    }
    Append(out.daimyo, r);
  }
}

// Carry-over candidates: the ablest placed generals, each with what taking him over costs against
// the carry-over capacity (more for an abler general, 3 to 9).
void WriteCarryOver(const std::vector<Person>& people, const std::vector<BusyoRecord>& busyo, int carry,
                    ScenarioOut& out) {
  std::vector<int> placed;
  for (int g = 0; g < NullBusyoId; ++g)
    if (busyo[g].siro != kNoSiro) placed.push_back(g);
  std::stable_sort(placed.begin(), placed.end(), [&](int a, int b) {
    return busyo[a].cur.stat[0] + busyo[a].cur.stat[1] > busyo[b].cur.stat[0] + busyo[b].cur.stat[1];
  });
  out.hikitugi.assign(kHikitugiFileBytes, 0);
  for (int i = 0; i < carry && i < static_cast<int>(placed.size()) && i < kHikitugiEntries; ++i) {
    std::string name = people[placed[i]].family + people[placed[i]].given;
    uint8_t* e = &out.hikitugi[i * kHikitugiEntryBytes];
    std::memcpy(e, name.data(), std::min<size_t>(name.size(), 16));
    const BusyoStatBlock& s1 = busyo[placed[i]].stageBlock[0];
    // Cost in the low word; the high word is the dialog's page (tab), three generals a page.
    const uint32_t cost = 1 + (static_cast<uint32_t>(s1.stat[0]) + s1.stat[1] + s1.stat[2]) / 30;
    const uint32_t value = cost | static_cast<uint32_t>(i / 3) << 16;
    for (int b = 0; b < 4; ++b) e[17 + b] = static_cast<uint8_t>(value >> (8 * b));
  }
}

ScenarioOut BuildScenario(const Sources& src, const std::vector<Person>& people, const json& sc) {
  const int year = sc.at("year");
  Rng rng(sc.at("seed").get<uint32_t>());
  const json& clans = src.clans.at("clans");
  if (static_cast<int>(clans.size()) > kDaimyoInPlay) throw BuildError{"more than 60 clans"};
  const std::vector<bool> alive = StandingClans(clans, sc);
  const Lands lands = GrowLands(src, clans, alive, sc.at("castles_per_clan"), rng);
  std::vector<int> head;
  const std::vector<BusyoRecord> busyo = PlaceGenerals(people, alive, lands, year, rng, head);
  ScenarioOut out;
  WriteKuniTable(src, rng, out);
  WriteSiroTable(src, lands, out);
  WriteDaimyoTable(src, people, clans, alive, lands, head, rng, out);
  for (const BusyoRecord& b : busyo) Append(out.busyo, b);
  out.doku.assign(kDokuFileBytes, 0xFF);
  WriteCarryOver(people, busyo, sc.value("carry_over", 0), out);
  return out;
}

std::string EscapeText(const std::string& utf8) { return Sjis(utf8); }

void BuildCommon(const Sources& src, std::vector<uint8_t>& skill, std::vector<uint8_t>& doc,
                 std::vector<uint8_t>& item) {
  std::vector<SkillRecord> skills(kSkillCount);
  std::memset(skills.data(), 0, skills.size() * sizeof(SkillRecord));
  int i = 0;
  for (const json& s : src.skills.at("skills")) {
    if (i >= kSkillCount) throw BuildError{"too many skills"};
    SkillRecord& r = skills[i++];
    PutName(r.name, sizeof r.name, Sjis(s.at("name")));
    int slot = 0;
    for (const json& e : s.at("effects")) {
      if (slot >= 7) break;
      r.effects[slot].kind = e.at(0).get<uint16_t>();
      r.effects[slot].value = e.at(1).get<uint16_t>();
      ++slot;
    }
    r.cutin = s.value("cutin", false) ? 1 : 0;
    PutName(r.text, sizeof r.text, EscapeText(s.at("text")));
  }
  std::vector<SkillDocRecord> docs(kSkillDocCount);
  std::memset(docs.data(), 0, docs.size() * sizeof(SkillDocRecord));
  for (auto it = src.skills.at("docs").begin(); it != src.skills.at("docs").end(); ++it) {
    int kind = std::stoi(it.key());
    if (kind < 1 || kind > kSkillDocCount) throw BuildError{"skill text kind out of range"};
    int slot = 0;
    for (const json& t : it.value()) {
      if (slot >= 7) break;
      PutName(docs[kind - 1].text[slot], 33, EscapeText(t));
      ++slot;
    }
  }
  std::vector<ItemRecord> items(kItemCount);
  std::memset(items.data(), 0, items.size() * sizeof(ItemRecord));
  i = 0;
  for (const json& s : src.items.at("items")) {
    if (i >= kItemCount) throw BuildError{"too many items"};
    ItemRecord& r = items[i++];
    PutName(r.name, sizeof r.name, Sjis(s.at("name")));
    r.cls = s.at("class");
    r.statKind = s.at("stat");
    r.bonus = s.at("bonus");
    PutName(r.text, sizeof r.text, EscapeText(s.at("text")));
  }
  for (const auto& r : skills) Append(skill, r);
  for (const auto& r : docs) Append(doc, r);
  for (const auto& r : items) Append(item, r);
}

std::vector<uint8_t> BuildSystemDat(const Sources& src) {
  std::vector<uint8_t> out(kSystemTableBytes, 0);
  auto put32 = [&](size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[off + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(0, src.system.at("growth_threshold").get<uint32_t>());
  size_t off = 4;
  for (const json& pair : src.system.at("growth")) {
    put32(off, pair.at(0).get<uint32_t>());
    put32(off + 4, pair.at(1).get<uint32_t>());
    off += 8;
  }
  off = 52;
  for (const json& w : src.system.at("parameters")) {
    if (off >= 100) break;
    put32(off, w.get<uint32_t>());
    off += 4;
  }
  uint32_t money = src.system.at("start_money");
  out[100] = static_cast<uint8_t>(money);
  out[101] = static_cast<uint8_t>(money >> 8);
  int i = 0;
  for (const json& pair : src.system.at("start_items")) {
    if (i >= 10) break;
    put32(104 + 4 * i, pair.at(0).get<uint32_t>());
    put32(144 + 4 * i, pair.at(1).get<uint32_t>());
    ++i;
  }
  return out;
}

void WriteOut(const std::string& root, const std::string& rel, const std::vector<uint8_t>& data, bool scramble) {
  std::string path = plat::Utf8ToCp932(root) + "/" + rel;
  bool ok = scramble ? WriteFileScrambled(FixedPath(path.c_str()), data.data(), static_cast<int32_t>(data.size()),
                                          kWorldTableSeed)
                     : WriteWholeFile(FixedPath(path.c_str()), data.data(), static_cast<int32_t>(data.size()));
  if (!ok) throw BuildError{"cannot write " + root + "/" + rel};
}

int RunBuild(const std::string& srcDir, const std::string& root) {
  Sources src = ReadSources(srcDir);
  std::vector<Person> people = MakePeople(src);
  for (const json& sc : src.scenarios.at("scenarios")) {
    ScenarioOut o = BuildScenario(src, people, sc);
    std::string dir = "Data/scenario/" + std::to_string(sc.at("number").get<int>()) + "/";
    WriteOut(root, dir + "kuni21.bin", o.kuni, true);
    WriteOut(root, dir + "siro21.bin", o.siro, true);
    WriteOut(root, dir + "daimyo21.bin", o.daimyo, true);
    WriteOut(root, dir + "busyo2.bin", o.busyo, true);
    WriteOut(root, dir + "doku21.bin", o.doku, true);
    WriteOut(root, dir + "hikitugi.bin", o.hikitugi, true);
  }
  std::vector<uint8_t> skill, doc, item;
  BuildCommon(src, skill, doc, item);
  WriteOut(root, "Data/scenario/common/skill.bin", skill, true);
  WriteOut(root, "Data/scenario/common/skillDoc.bin", doc, true);
  WriteOut(root, "Data/scenario/common/item.bin", item, true);
  WriteOut(root, "Data/sys/system.dat", BuildSystemDat(src), false);
  return 0;
}

// Collects every box the loader shows instead of showing it.
struct CollectingPresenter : ErrorBoxPresenter {
  std::vector<std::string> lines;
  bool ShowErrorDialog(const char* text, const char* title) override {
    lines.push_back(std::string(title) + ": " + text);
    return true;
  }
  int ShowMessageBox(const char* text, const char* title) override {
    lines.push_back(std::string(title) + ": " + text);
    return 1;
  }
};

int RunCheck(const std::string& root) {
  if (!SetModuleDirFromHost(root)) {
    std::fprintf(stderr, "world check: bad folder %s\n", root.c_str());
    return 2;
  }
  CollectingPresenter boxes;
  SetErrorBoxPresenter(&boxes);
  std::vector<std::string> problems;
  int loaded = 0;
  for (int n = 0; n < 10; ++n) {
    std::string dir = ScenarioDirectory(n);
    if (!FileExists((dir + "\\kuni21.bin").c_str())) {
      if (n == 0) problems.push_back("scenario 0: Data/scenario/0/kuni21.bin is missing");
      continue;
    }
    boxes.lines.clear();
    SiroCheckReported = 0;
    bool ok = LoadScenarioTables(dir.c_str());
    ++loaded;
    for (const std::string& l : boxes.lines) problems.push_back("scenario " + std::to_string(n) + ": " + l);
    if (!ok) continue;
    for (const std::string& l : CollectWorldProblems()) problems.push_back("scenario " + std::to_string(n) + ": " + l);
    HikitugiList carry;
    boxes.lines.clear();
    ScenarioNumber = n;
    LoadHikitugi(carry);
    for (const std::string& l : boxes.lines) problems.push_back("scenario " + std::to_string(n) + " hikitugi: " + l);
    // The game pads a short carry-over file with empty entries; a built one is whole.
    std::vector<uint8_t> hikitugi;
    if (ReadWorldFile((dir + "\\hikitugi.bin").c_str(), hikitugi, true) &&
        hikitugi.size() != static_cast<size_t>(kHikitugiFileBytes)) {
      problems.push_back("scenario " + std::to_string(n) + ": hikitugi.bin is " + std::to_string(hikitugi.size()) +
                         " bytes, not " + std::to_string(kHikitugiFileBytes));
    }
  }
  std::vector<uint8_t> sys;
  if (!ReadWorldFile(WorldDataPath("Data\\sys\\system.dat").c_str(), sys, false) || sys.size() != kSystemTableBytes)
    problems.push_back("Data/sys/system.dat is missing or not 184 bytes");
  SetErrorBoxPresenter(nullptr);
  for (const std::string& p : problems) std::printf("%s\n", plat::Cp932ToUtf8(p).c_str());
  if (!problems.empty()) {
    std::printf("world check: %zu problem(s)\n", problems.size());
    return 1;
  }
  std::printf("world check: %d scenario(s) clean\n", loaded);
  return 0;
}

int RunWorld(const std::vector<std::string>& args) {
  try {
    if (args.size() == 3 && args[0] == "build") return RunBuild(args[1], args[2]);
    if (args.size() == 2 && args[0] == "check") return RunCheck(args[1]);
  } catch (const BuildError& e) {
    std::fprintf(stderr, "world: %s\n", e.what.c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "world: %s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: v4data world build <source-dir> <out-root> | world check <out-root>\n");
  return 2;
}

const V4Command kCmd{"world", "build <source-dir> <out-root> | check <out-root>", &RunWorld};

}  // namespace

// v4data slgmap: the strategy map's pictures and position tables, all drawn from the province
// polygons and castle positions of the sample world (data/world), so that the hit masks, the
// province rectangles, the highlight shapes and the picture can never disagree.
//   v4data slgmap <world-source-dir> <data-dir>
// Writes under <data-dir>: sys/kunipos_z.bin, sys/kunipos_k.bin, sys/shiropos.bin,
// Image/zenkoku/map.png, map_mask.tig, hl00..hl66.png, Image/kokunai/mini_map.png,
// mini_map_mask.tig, hl00..hl66.png, view00..view66.png.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "command.h"
#include "formats/scramble/scramble.h"
#include "platform/image/canvas.h"
#include "platform/image/png_file.h"

using json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

constexpr int kScreenW = 1280, kScreenH = 720;
constexpr int kKuni = 67;
constexpr uint32_t kImageSeed = 0x5C3A91E7u;

struct Box {
  int x, y, w, h;
};
// The country map and the small map (the rectangles the map screen hit-tests), and the castle
// area of the province view.
constexpr Box kCountry{55, 109, 1172, 482};
constexpr Box kSmall{13, 325, 296, 130};
constexpr Box kView{330, 110, 900, 260};
constexpr int kIcon = 48;  // castle and contact icon size

struct Pt {
  double x, y;
};

struct Fit {
  double s = 1, ox = 0, oy = 0;
  Pt Map(Pt p) const { return {ox + p.x * s, oy + p.y * s}; }
};

Fit FitInto(double minx, double miny, double maxx, double maxy, Box b, double margin) {
  Fit f;
  const double bw = std::max(1.0, maxx - minx), bh = std::max(1.0, maxy - miny);
  f.s = std::min((b.w - 2 * margin) / bw, (b.h - 2 * margin) / bh);
  f.ox = b.x + (b.w - f.s * bw) / 2 - f.s * minx;
  f.oy = b.y + (b.h - f.s * bh) / 2 - f.s * miny;
  return f;
}

// Province codes of a 1280 x 720 screen (255 = sea): each polygon filled by pixel centres.
std::vector<uint8_t> Rasterise(const std::vector<std::vector<Pt>>& polys, const Fit& fit, Box clip) {
  std::vector<uint8_t> code(static_cast<size_t>(kScreenW) * kScreenH, 255);
  for (size_t k = 0; k < polys.size(); ++k) {
    std::vector<Pt> p;
    for (Pt q : polys[k]) p.push_back(fit.Map(q));
    double miny = 1e9, maxy = -1e9;
    for (Pt q : p) miny = std::min(miny, q.y), maxy = std::max(maxy, q.y);
    for (int y = std::max(clip.y, static_cast<int>(std::floor(miny)));
         y < std::min(clip.y + clip.h, static_cast<int>(std::ceil(maxy)) + 1); ++y) {
      const double cy = y + 0.5;
      std::vector<double> xs;
      for (size_t i = 0; i < p.size(); ++i) {
        Pt a = p[i], b = p[(i + 1) % p.size()];
        if ((a.y <= cy && b.y > cy) || (b.y <= cy && a.y > cy))
          xs.push_back(a.x + (cy - a.y) / (b.y - a.y) * (b.x - a.x));
      }
      std::sort(xs.begin(), xs.end());
      for (size_t i = 0; i + 1 < xs.size(); i += 2) {
        const int x0 = std::max(clip.x, static_cast<int>(std::ceil(xs[i] - 0.5)));
        const int x1 = std::min(clip.x + clip.w - 1, static_cast<int>(std::floor(xs[i + 1] - 0.5)));
        for (int x = x0; x <= x1; ++x) code[static_cast<size_t>(y) * kScreenW + x] = static_cast<uint8_t>(k);
      }
    }
  }
  return code;
}

struct Rect {
  int l = 1 << 30, t = 1 << 30, r = -1, b = -1;
  bool Empty() const { return r < 0; }
};

std::vector<Rect> RectsOf(const std::vector<uint8_t>& code) {
  std::vector<Rect> rc(kKuni);
  for (int y = 0; y < kScreenH; ++y)
    for (int x = 0; x < kScreenW; ++x) {
      const uint8_t c = code[static_cast<size_t>(y) * kScreenW + x];
      if (c >= kKuni) continue;
      Rect& r = rc[c];
      r.l = std::min(r.l, x), r.t = std::min(r.t, y), r.r = std::max(r.r, x + 1), r.b = std::max(r.b, y + 1);
    }
  return rc;
}

void Put16(std::vector<uint8_t>& out, int v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

// Mask bytes of the map rectangle, then one record per province (id, left, top, right, bottom).
std::vector<uint8_t> KuniPosFile(const std::vector<uint8_t>& code, const std::vector<Rect>& rc, Box b) {
  std::vector<uint8_t> out;
  for (int y = b.y; y < b.y + b.h; ++y)
    for (int x = b.x; x < b.x + b.w; ++x) out.push_back(code[static_cast<size_t>(y) * kScreenW + x]);
  for (int k = 0; k < kKuni; ++k) {
    if (rc[k].Empty()) continue;
    Put16(out, k), Put16(out, rc[k].l), Put16(out, rc[k].t), Put16(out, rc[k].r), Put16(out, rc[k].b);
  }
  return out;
}

bool WriteBytes(const fs::path& p, const std::vector<uint8_t>& data) {
  fs::create_directories(p.parent_path());
  std::ofstream o(p, std::ios::binary);
  o.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(o);
}

bool WritePng(const fs::path& p, const plat::Canvas& c, bool scrambled) {
  std::vector<uint8_t> png;
  std::string error;
  if (!plat::EncodeCanvasPng(c, &png, &error)) {
    std::fprintf(stderr, "slgmap: %s: %s\n", p.string().c_str(), error.c_str());
    return false;
  }
  if (scrambled) v4fmt::ScrambleInPlace(png.data(), png.size(), kImageSeed);
  return WriteBytes(p, png);
}

// The province code in the red channel (255 none), opaque.
plat::Canvas MaskCanvas(const std::vector<uint8_t>& code) {
  plat::Canvas c(kScreenW, kScreenH);
  for (int y = 0; y < kScreenH; ++y)
    for (int x = 0; x < kScreenW; ++x)
      c.Blend(x, y, plat::Rgba{code[static_cast<size_t>(y) * kScreenW + x], 0, 0, 255});
  return c;
}

// White where the province lies inside its rectangle, clear elsewhere (the highlight's shape).
plat::Canvas HighlightCanvas(const std::vector<uint8_t>& code, const Rect& r, int k) {
  plat::Canvas c(std::max(1, r.r - r.l), std::max(1, r.b - r.t));
  for (int y = r.t; y < r.b; ++y)
    for (int x = r.l; x < r.r; ++x)
      if (code[static_cast<size_t>(y) * kScreenW + x] == k) c.Blend(x - r.l, y - r.t, plat::Rgba{255, 255, 255, 255});
  return c;
}

plat::Rgba RegionColour(int region) {
  static const plat::Rgba kLand[10] = {
      {168, 178, 128, 255}, {186, 176, 124, 255}, {196, 170, 118, 255}, {160, 166, 118, 255}, {176, 186, 138, 255},
      {204, 182, 128, 255}, {170, 160, 120, 255}, {190, 168, 126, 255}, {176, 170, 132, 255}, {184, 160, 116, 255}};
  return kLand[region >= 0 && region < 10 ? region : 0];
}

// Sea, land coloured by region, province borders and a darker coast line, inside box b of a
// canvas whose origin is (ox, oy) on the screen.
void PaintMap(plat::Canvas& c, const std::vector<uint8_t>& code, const std::vector<int>& region, Box b, int ox, int oy,
              int coast) {
  for (int y = b.y; y < b.y + b.h; ++y)
    for (int x = b.x; x < b.x + b.w; ++x) {
      const uint8_t k = code[static_cast<size_t>(y) * kScreenW + x];
      plat::Rgba px;
      if (k >= kKuni) {
        // Sea: deeper away from the coast (distance to land within a few pixels).
        int near = 99;
        for (int d = 1; d <= 6 && near == 99; ++d)
          for (int dy = -d; dy <= d && near == 99; ++dy)
            for (int dx = -d; dx <= d; ++dx) {
              const int nx = x + dx, ny = y + dy;
              if (nx < 0 || ny < 0 || nx >= kScreenW || ny >= kScreenH) continue;
              if (code[static_cast<size_t>(ny) * kScreenW + nx] < kKuni) {
                near = d;
                break;
              }
            }
        const int shade = near == 99 ? 0 : (7 - near) * 6;
        px = plat::Rgba{static_cast<uint8_t>(38 + shade), static_cast<uint8_t>(74 + shade),
                        static_cast<uint8_t>(118 + shade), 255};
        if (near <= coast) px = plat::Rgba{70, 60, 44, 255};
      } else {
        px = RegionColour(region[k]);
        // Gentle relief so the land does not look flat.
        const int n = ((x * 7 + y * 13) ^ (x * y)) & 7;
        px.r = static_cast<uint8_t>(px.r - n), px.g = static_cast<uint8_t>(px.g - n),
        px.b = static_cast<uint8_t>(px.b - n);
        const uint8_t right = x + 1 < kScreenW ? code[static_cast<size_t>(y) * kScreenW + x + 1] : k;
        const uint8_t down = y + 1 < kScreenH ? code[static_cast<size_t>(y + 1) * kScreenW + x] : k;
        if ((right != k && right < kKuni) || (down != k && down < kKuni)) px = plat::Rgba{96, 70, 48, 255};
      }
      c.Blend(x - ox, y - oy, px);
    }
}

int Run(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: v4data slgmap <world-source-dir> <data-dir>\n");
    return 2;
  }
  json prov, cas;
  try {
    prov = json::parse(std::ifstream(args[0] + "/provinces.json"));
    cas = json::parse(std::ifstream(args[0] + "/castles.json"));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "slgmap: %s\n", e.what());
    return 1;
  }
  std::vector<std::vector<Pt>> polys;
  std::vector<int> region;
  std::map<std::string, int> byName;
  double minx = 1e9, miny = 1e9, maxx = -1e9, maxy = -1e9;
  for (const json& p : prov.at("provinces")) {
    std::vector<Pt> poly;
    for (const json& q : p.at("polygon")) {
      Pt pt{q.at(0).get<double>(), q.at(1).get<double>()};
      minx = std::min(minx, pt.x), miny = std::min(miny, pt.y), maxx = std::max(maxx, pt.x),
      maxy = std::max(maxy, pt.y);
      poly.push_back(pt);
    }
    byName[p.at("name")] = static_cast<int>(polys.size());
    polys.push_back(poly);
    region.push_back(p.at("region").get<int>());
  }
  if (polys.size() != kKuni) {
    std::fprintf(stderr, "slgmap: provinces.json must hold 67 provinces\n");
    return 1;
  }
  const fs::path out(args[1]);
  const Fit country = FitInto(minx, miny, maxx, maxy, kCountry, 6);
  const Fit small = FitInto(minx, miny, maxx, maxy, kSmall, 3);
  const std::vector<uint8_t> codeZ = Rasterise(polys, country, kCountry);
  const std::vector<uint8_t> codeK = Rasterise(polys, small, kSmall);
  const std::vector<Rect> rectZ = RectsOf(codeZ), rectK = RectsOf(codeK);
  for (int k = 0; k < kKuni; ++k)
    if (rectZ[k].Empty() || rectK[k].Empty()) std::fprintf(stderr, "slgmap: province %d covers no pixel of a map\n", k);

  bool ok = WriteBytes(out / "sys" / "kunipos_z.bin", KuniPosFile(codeZ, rectZ, kCountry));
  ok = ok && WriteBytes(out / "sys" / "kunipos_k.bin", KuniPosFile(codeK, rectK, kSmall));
  ok = ok && WritePng(out / "Image" / "zenkoku" / "map_mask.tig", MaskCanvas(codeZ), true);
  ok = ok && WritePng(out / "Image" / "kokunai" / "mini_map_mask.tig", MaskCanvas(codeK), true);

  plat::Canvas map(kScreenW, kScreenH);
  map.GradientRect(0, 0, kScreenW, kScreenH, plat::Rgba{24, 50, 86, 255}, plat::Rgba{34, 66, 104, 255});
  PaintMap(map, codeZ, region, kCountry, 0, 0, 1);
  ok = ok && WritePng(out / "Image" / "zenkoku" / "map.png", map, false);
  plat::Canvas mini(kSmall.w, kSmall.h);
  PaintMap(mini, codeK, region, kSmall, kSmall.x, kSmall.y, 0);
  ok = ok && WritePng(out / "Image" / "kokunai" / "mini_map.png", mini, false);
  char name[32];
  for (int k = 0; k < kKuni && ok; ++k) {
    std::snprintf(name, sizeof name, "hl%02d.png", k);
    if (!rectZ[k].Empty()) ok = WritePng(out / "Image" / "zenkoku" / name, HighlightCanvas(codeZ, rectZ[k], k), false);
    if (ok && !rectK[k].Empty())
      ok = WritePng(out / "Image" / "kokunai" / name, HighlightCanvas(codeK, rectK[k], k), false);
  }

  // Province views: the province fitted into the castle area, castles at their map positions.
  std::vector<int> castleKuni;
  std::vector<Pt> castlePos;
  for (const json& c : cas.at("castles")) {
    castleKuni.push_back(byName.at(c.at("province").get<std::string>()));
    castlePos.push_back({c.at("pos").at(0).get<double>(), c.at("pos").at(1).get<double>()});
  }
  std::vector<std::set<int>> roads(castleKuni.size());
  for (const json& r : cas.at("roads")) {
    const int a = r.at(0), b = r.at(1);
    if (a < 0 || b < 0 || a >= static_cast<int>(roads.size()) || b >= static_cast<int>(roads.size())) continue;
    roads[a].insert(b), roads[b].insert(a);
  }
  std::vector<uint8_t> shiro(67 * 108, 0xFF);
  auto slot = [&](int k, int s, int id, int x, int y) {
    uint8_t* p = &shiro[static_cast<size_t>(k) * 108 + s * 6];
    const int v[3] = {id, x, y};
    for (int i = 0; i < 3; ++i)
      p[i * 2] = static_cast<uint8_t>(v[i] & 0xFF), p[i * 2 + 1] = static_cast<uint8_t>((v[i] >> 8) & 0xFF);
  };
  for (int k = 0; k < kKuni && ok; ++k) {
    double kx0 = 1e9, ky0 = 1e9, kx1 = -1e9, ky1 = -1e9;
    for (Pt q : polys[k])
      kx0 = std::min(kx0, q.x), ky0 = std::min(ky0, q.y), kx1 = std::max(kx1, q.x), ky1 = std::max(ky1, q.y);
    const Fit view = FitInto(kx0, ky0, kx1, ky1, kView, 36);
    // Neighbouring provinces drawn too, so the view shows where the borders lead.
    const std::vector<uint8_t> codeV = Rasterise(polys, view, kView);
    plat::Canvas pic(kView.w, kView.h);
    pic.FillRect(0, 0, kView.w, kView.h, plat::Rgba{30, 58, 92, 255});
    PaintMap(pic, codeV, region, kView, kView.x, kView.y, 1);
    for (int y = 0; y < kView.h; ++y)
      for (int x = 0; x < kView.w; ++x) {
        const uint8_t c = codeV[static_cast<size_t>(y + kView.y) * kScreenW + x + kView.x];
        if (c < kKuni && c != k) pic.Blend(x, y, plat::Rgba{40, 40, 50, 255}, 0.45f);
      }
    std::snprintf(name, sizeof name, "view%02d.png", k);
    ok = WritePng(out / "Image" / "kokunai" / name, pic, false);

    // Castle icons at their map positions, pushed apart until their labels do not overlap.
    std::vector<int> own;
    std::vector<Pt> at;
    std::vector<int> contacts;
    for (size_t c = 0; c < castleKuni.size(); ++c) {
      if (castleKuni[c] != k) continue;
      if (own.size() >= 8) {
        std::fprintf(stderr, "slgmap: province %d has more than 8 castles; castle %zu gets no icon\n", k, c);
        continue;
      }
      own.push_back(static_cast<int>(c));
      at.push_back(view.Map(castlePos[c]));
      for (int n : roads[c])
        if (castleKuni[n] != k && std::find(contacts.begin(), contacts.end(), n) == contacts.end())
          contacts.push_back(n);
    }
    // Contact icons start on the edge of the castle area, towards the neighbouring castle.
    const double cx = kView.x + kView.w / 2.0, cy = kView.y + kView.h / 2.0;
    const size_t shownContacts = std::min<size_t>(contacts.size(), 10);
    for (size_t n = 0; n < shownContacts; ++n) {
      const Pt p = view.Map(castlePos[contacts[n]]);
      double dx = p.x - cx, dy = p.y - cy;
      const double t = std::min(std::abs(dx) > 1e-6 ? (kView.w / 2.0 - kIcon / 2.0 - 4) / std::abs(dx) : 1e9,
                                std::abs(dy) > 1e-6 ? (kView.h / 2.0 - kIcon / 2.0 - 10) / std::abs(dy) : 1e9);
      at.push_back({cx + dx * std::min(t, 1.0), cy + dy * std::min(t, 1.0)});
    }
    // Every icon with its labels (the map screen's layout: a castle's name and level under its
    // 48 px icon, a contact's name under its 40 px icon) takes the free place nearest to where the
    // map puts it, castles first; no two boxes meet. Should a crowded view leave no free place, the
    // icons take the cells of a 7 x 3 grid over the area (each cell holds any icon's box) instead.
    struct Span {
      double l, t, w, h;  // the box against the icon's centre
      double minX, maxX, minY, maxY;
    };
    const Span castleSpan{
        -kIcon / 2.0 - 36,       -kIcon / 2.0, 120, 78, kView.x + 70.0, kView.x + kView.w - 70.0, kView.y + 40.0,
        kView.y + kView.h - 60.0};
    const Span contactSpan{-kIcon / 2.0 - 40,
                           -kIcon / 2.0,
                           120,
                           56,
                           kView.x + 40.0 + kIcon / 2.0,
                           kView.x + kView.w - 40.0 - kIcon / 2.0,
                           kView.y + kIcon / 2.0,
                           kView.y + kView.h - kIcon / 2.0 - 16.0};
    const auto span = [&](size_t i) -> const Span& { return i < own.size() ? castleSpan : contactSpan; };
    constexpr double kGap = 2;
    std::vector<Pt> placed;
    const auto freeAt = [&](size_t i, Pt c) {
      const Span& a = span(i);
      for (size_t j = 0; j < placed.size(); ++j) {
        const Span& b = span(j);
        if (c.x + a.l < placed[j].x + b.l + b.w + kGap && placed[j].x + b.l < c.x + a.l + a.w + kGap &&
            c.y + a.t < placed[j].y + b.t + b.h + kGap && placed[j].y + b.t < c.y + a.t + a.h + kGap)
          return false;
      }
      return true;
    };
    bool crowded = false;
    for (size_t i = 0; i < at.size() && !crowded; ++i) {
      const Span& a = span(i);
      const Pt want{std::round(std::clamp(at[i].x, a.minX, a.maxX)), std::round(std::clamp(at[i].y, a.minY, a.maxY))};
      bool found = false;
      Pt best{};
      // Rings of growing distance around the wanted place, 4 px apart; the first free ring wins,
      // its nearest point first.
      for (int r = 0; r <= 1000 && !found; r += 4) {
        double bestD = 1e18;
        for (int dy = -r; dy <= r; dy += 4)
          for (int dx = -r; dx <= r; dx += 4) {
            if (std::max(std::abs(dx), std::abs(dy)) != r) continue;
            const Pt c{want.x + dx, want.y + dy};
            if (c.x < a.minX || c.x > a.maxX || c.y < a.minY || c.y > a.maxY) continue;
            const double d = double(dx) * dx + double(dy) * dy;
            if (d < bestD && freeAt(i, c)) bestD = d, best = c, found = true;
          }
      }
      if (!found) crowded = true;
      placed.push_back(best);
    }
    if (crowded) {
      std::fprintf(stderr, "slgmap: province %d: icons set on the grid\n", k);
      placed.clear();
      const double cw = kView.w / 7.0, ch = (kView.h - 6) / 3.0;
      std::vector<bool> taken(21, false);
      for (size_t i = 0; i < at.size(); ++i) {
        const Span& a = span(i);
        int bestCell = -1;
        double bestD = 1e18;
        for (int cell = 0; cell < 21; ++cell) {
          if (taken[cell]) continue;
          const Pt c{kView.x + (cell % 7) * cw + 4 - a.l, kView.y + (cell / 7) * ch + 2 - a.t};
          const double d = (c.x - at[i].x) * (c.x - at[i].x) + (c.y - at[i].y) * (c.y - at[i].y);
          if (d < bestD) bestD = d, bestCell = cell;
        }
        if (bestCell < 0) break;  // more icons than cells: the caps above keep this from happening
        taken[bestCell] = true;
        placed.push_back({kView.x + (bestCell % 7) * cw + 4 - a.l, kView.y + (bestCell / 7) * ch + 2 - a.t});
      }
    }
    at = placed;
    for (size_t i = 0; i < own.size(); ++i)
      slot(k, static_cast<int>(i), own[i], static_cast<int>(std::lround(at[i].x)) - kIcon / 2,
           static_cast<int>(std::lround(at[i].y)) - kIcon / 2);
    for (size_t n = 0; n < shownContacts; ++n)
      slot(k, 8 + static_cast<int>(n), contacts[n], static_cast<int>(std::lround(at[own.size() + n].x)) - kIcon / 2,
           static_cast<int>(std::lround(at[own.size() + n].y)) - kIcon / 2);
  }
  ok = ok && WriteBytes(out / "sys" / "shiropos.bin", shiro);
  if (!ok) {
    std::fprintf(stderr, "slgmap: writing under %s failed\n", out.string().c_str());
    return 1;
  }
  return 0;
}

const V4Command kCmd{"slgmap", "<world-source-dir> <data-dir>   strategy map pictures and position tables", &Run};

}  // namespace

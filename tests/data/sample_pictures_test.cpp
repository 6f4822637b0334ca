// The sample pictures as a player sees them: each gallery thumbnail is its picture made small (and
// the pictures differ), the story's movies show our own pictures, and no layout stretches a drawn
// picture into a place of another size (a stretched frame blurs, an enlarged face turns blocky):
// each face comes drawn at every size a screen shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/game_file.h"
#include "formats/scene/scene_table.h"
#include "platform/image/png_file.h"
#include "platform/movie/movie_decoder.h"
#include "platform/text/cp932.h"
#include "render/file_load.h"
#include "ui/layout/cv_script.h"
#include "ui/widgets/sized_picture.h"

namespace {

// Mean colours of a grid of cols x rows blocks over the picture.
using Blocks = std::vector<std::array<double, 3>>;

Blocks BlockMeans(const uint8_t* rgba, int width, int height, int cols, int rows) {
  Blocks out(static_cast<size_t>(cols) * rows);
  for (int by = 0; by < rows; ++by)
    for (int bx = 0; bx < cols; ++bx) {
      const int x0 = bx * width / cols, x1 = (bx + 1) * width / cols;
      const int y0 = by * height / rows, y1 = (by + 1) * height / rows;
      std::array<double, 3> sum{};
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
          for (int c = 0; c < 3; ++c) {
            const uint8_t* p = rgba + (static_cast<size_t>(y) * width + x) * 4;
            sum[c] += p[c] * (p[3] / 255.0);  // shown over black
          }
      const double n = static_cast<double>(x1 - x0) * (y1 - y0);
      for (int c = 0; c < 3; ++c) out[static_cast<size_t>(by) * cols + bx][c] = sum[c] / n;
    }
  return out;
}

// The largest difference of one colour channel between two block grids.
double LargestDifference(const Blocks& a, const Blocks& b) {
  double worst = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    for (int c = 0; c < 3; ++c) worst = std::max(worst, std::fabs(a[i][c] - b[i][c]));
  return worst;
}

class SamplePictures : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = GetModuleDir();
    ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  }
  void TearDown() override { SetModuleDir(old_.c_str()); }

  static std::vector<uint8_t> Read(const std::string& relative) {
    const std::string path = std::string(GetModuleDir()) + relative;
    int32_t size = 0;
    uint8_t* data = LoadGameFile(path.c_str(), &size);
    if (!data) return {};
    std::vector<uint8_t> out(data, data + size);
    FreeGameFile(data);
    return out;
  }
  // A picture through the program's picture loader, decoded; empty when missing or unreadable.
  static plat::Canvas Picture(const std::string& relative) {
    auto* loader = new CDGFileLoad_QZT;
    plat::Canvas c;
    if (loader->Load((std::string(GetModuleDir()) + relative).c_str()) >= 0) {
      std::string error;
      if (!plat::DecodeCanvasPng(loader->Data(), loader->Size(), &c, &error)) c = plat::Canvas();
    }
    loader->Release();
    return c;
  }

  std::string old_;
};

TEST_F(SamplePictures, EveryGalleryThumbnailIsItsPictureReduced) {
  const std::vector<uint8_t> cg = Read("Data\\sys\\cg.bin");
  ASSERT_GE(cg.size(), 16u);
  std::map<int, Blocks> thumbs;
  for (size_t at = 0; at + 16 <= cg.size(); at += 16) {
    const int number = cg[at] | cg[at + 1] << 8;
    if (number == 0) continue;
    char th[64], pic[64];
    std::snprintf(th, sizeof th, "Data\\Image\\omake\\th%03d.png", number);
    std::snprintf(pic, sizeof pic, "Data\\Image\\omake\\cg%03d.png", number);
    const plat::Canvas t = Picture(th), p = Picture(pic);
    ASSERT_FALSE(t.empty()) << th;
    ASSERT_FALSE(p.empty()) << pic << " (a movie entry keeps a still of its movie)";
    EXPECT_EQ(t.width(), 240) << th;
    EXPECT_EQ(t.height(), 135) << th;
    const Blocks tb = BlockMeans(t.pixels().data(), t.width(), t.height(), 16, 9);
    EXPECT_LE(LargestDifference(tb, BlockMeans(p.pixels().data(), p.width(), p.height(), 16, 9)), 6.0)
        << th << " is not " << pic << " made small";
    thumbs[number] = tb;
  }
  ASSERT_GE(thumbs.size(), 2u);
  for (auto a = thumbs.begin(); a != thumbs.end(); ++a)
    for (auto b = std::next(a); b != thumbs.end(); ++b)
      EXPECT_GT(LargestDifference(a->second, b->second), 40.0)
          << "pictures " << a->first << " and " << b->first << " look alike";
}

// A tutorial chapter's picture shows the screen it teaches, reduced into its frame, and that screen
// is drawn from its layout's pictures, not one flat colour.
TEST_F(SamplePictures, TutorialPicturesShowOurScreens) {
  struct Case {
    const char* chapter;
    const char* screen;
  };
  const Case cases[] = {{"ch1", "adv"},    {"ch2", "adv_choice"}, {"ch3", "adv"},  {"ch4", "map"},  {"ch5", "map"},
                        {"ch6", "battle"}, {"ch7", "map"},        {"ch8", "save"}, {"ch9", "title"}};
  for (const Case& k : cases) {
    const plat::Canvas ch = Picture(std::string("Data\\Image\\tutorial\\") + k.chapter + ".png");
    const plat::Canvas sc = Picture(std::string("Data\\Image\\tutorial\\") + k.screen + ".png");
    ASSERT_FALSE(ch.empty()) << k.chapter;
    ASSERT_FALSE(sc.empty()) << k.screen;
    ASSERT_EQ(sc.width(), 1280);
    // The frame: 720 x 405 at (280, 24); its blocks against the screen's (marks left out: the
    // median block difference, not the largest).
    plat::Canvas framed(720, 405);
    for (int y = 0; y < 405; ++y)
      for (int x = 0; x < 720; ++x) {
        const plat::Rgba c = ch.At(280 + x, 24 + y);
        uint8_t* o = &framed.pixels()[(static_cast<size_t>(y) * 720 + x) * 4];
        o[0] = c.r, o[1] = c.g, o[2] = c.b, o[3] = c.a;
      }
    const Blocks a = BlockMeans(framed.pixels().data(), 720, 405, 16, 9);
    const Blocks b = BlockMeans(sc.pixels().data(), 1280, 720, 16, 9);
    std::vector<double> diffs;
    for (size_t i = 0; i < a.size(); ++i)
      diffs.push_back(
          std::max({std::fabs(a[i][0] - b[i][0]), std::fabs(a[i][1] - b[i][1]), std::fabs(a[i][2] - b[i][2])}));
    std::nth_element(diffs.begin(), diffs.begin() + diffs.size() / 2, diffs.end());
    EXPECT_LE(diffs[diffs.size() / 2], 6.0) << k.chapter << " does not show " << k.screen;
    std::set<uint32_t> colours;
    for (size_t i = 0; i + 4 <= sc.pixels().size(); i += 4 * 97)
      colours.insert(sc.pixels()[i] | sc.pixels()[i + 1] << 8 | sc.pixels()[i + 2] << 16);
    EXPECT_GT(colours.size(), 20u) << k.screen << " is nearly one colour";
  }
}

// The interlude of the story and the gallery's movie open on a still shot of a sample picture:
// fully lit, it is that picture (not colour bars), and the movie has its music.
TEST_F(SamplePictures, StoryMoviesShowOurOwnPictures) {
  struct Case {
    const char* movie;
    const char* picture;  // the first shot
  };
  const Case cases[] = {{"Data/media/t01.mdm", "Data\\Image\\adv\\bg_night.png"},
                        {"Data/media/cg006.mdm", "Data\\Image\\omake\\cg006.png"}};
  for (const Case& k : cases) {
    plat::MovieDecoder dec;
    std::string error;
    ASSERT_TRUE(dec.Open(std::string(V4_TEST_GAME_DIR) + "/" + k.movie, 0, &error)) << k.movie << ": " << error;
    EXPECT_TRUE(dec.Info().hasAudio) << k.movie;
    EXPECT_GT(dec.Info().duration, 5.0) << k.movie;
    plat::MovieVideoFrame frame;
    plat::MovieAudioChunk audio;
    bool found = false;
    while (!found) {
      const plat::MovieDecodeStatus st = dec.Next(frame, audio);
      if (st == plat::MovieDecodeStatus::kEnd) break;
      found = st == plat::MovieDecodeStatus::kVideo && frame.pts >= 1.5;
    }
    ASSERT_TRUE(found) << k.movie;
    const plat::Canvas p = Picture(k.picture);
    ASSERT_FALSE(p.empty()) << k.picture;
    EXPECT_LE(LargestDifference(BlockMeans(frame.rgba.data(), frame.width, frame.height, 16, 9),
                                BlockMeans(p.pixels().data(), p.width(), p.height(), 16, 9)),
              12.0)
        << k.movie << " does not show " << k.picture;
  }
}

// Whether neighbouring pixels never differ by more than a few levels (flat colours, gradients):
// such a picture may be drawn at any size; one with edges (a border, a face) blurs or turns blocky.
bool Smooth(const plat::Canvas& c) {
  const std::vector<uint8_t>& p = c.pixels();
  const size_t row = static_cast<size_t>(c.width()) * 4;
  for (size_t i = 0; i < p.size(); ++i) {
    if (i % row >= 4 && std::abs(p[i] - p[i - 4]) > 4) return false;
    if (i >= row && std::abs(p[i] - p[i - row]) > 4) return false;
  }
  return true;
}

// One picture window of a layout: its definition's picture and cell, and the size it is drawn at.
struct PictureWindow {
  std::string layout, node, file;
  int cellW = 0, cellH = 0, w = 0, h = 0;
};

// Every window with a sprite of the layouts the scene table names whose path holds one of `parts`.
std::vector<PictureWindow> PictureWindows(const std::vector<std::string>& parts, std::set<std::string>* layouts) {
  std::vector<PictureWindow> out;
  std::vector<uint8_t> bytes;
  {
    int32_t size = 0;
    uint8_t* data = LoadGameFile((std::string(GetModuleDir()) + "Data\\sys\\scene.bin").c_str(), &size);
    if (!data) return out;
    bytes.assign(data, data + size);
    FreeGameFile(data);
  }
  v4fmt::SceneFlowTable table;
  v4fmt::ReadSceneTable(bytes.data(), bytes.size(), table);
  std::set<std::string> seen;
  for (const v4fmt::SceneFlowRecord& r : table) {
    if (r.sceneId == 0) continue;
    for (const v4fmt::SceneMenuEntry& m : r.menus) {
      if (m.menuType <= 0) continue;
      const std::string layout = m.layoutName;
      if (std::none_of(parts.begin(), parts.end(),
                       [&](const std::string& p) { return layout.find(p) != std::string::npos; }) ||
          !seen.insert(layout).second)
        continue;
      if (layouts) layouts->insert(layout);
      CVScript script;
      if (!script.Load((std::string(GetModuleDir()) + m.layoutName).c_str())) {
        ADD_FAILURE() << m.layoutName;
        continue;
      }
      for (const CVScriptElement& e : script.Elements()) {
        const std::string& n = e.GetName();
        if (n.size() < 7 || n.compare(n.size() - 7, 7, "/sprite") != 0) continue;
        const std::string node = n.substr(0, n.size() - 7);
        const int selector = static_cast<int>(e.GetParam(0, 0.0f));
        const int number = static_cast<int>(e.GetParam(1, -1.0f));
        const std::string defName =
            std::string(selector == 0 ? "SpriteLocal" : "SpriteGlobal") + "/#" + std::to_string(number);
        const CVScriptElement* def = script.Find(defName.c_str());
        if (!def || !def->GetString(0)) continue;
        PictureWindow w;
        w.layout = layout;
        w.node = node;
        w.file = def->GetString(0);
        w.cellW = static_cast<int>(def->GetParam(0, 0.0f) / std::max(1.0f, def->GetParam(2, 1.0f)));
        w.cellH = static_cast<int>(def->GetParam(1, 0.0f) / std::max(1.0f, def->GetParam(3, 1.0f)));
        const CVScriptElement* size = script.Find((node + "/size").c_str());
        w.w = size ? static_cast<int>(size->GetParam(0, 0.0f)) : w.cellW;
        w.h = size ? static_cast<int>(size->GetParam(1, 0.0f)) : w.cellH;
        out.push_back(w);
      }
    }
  }
  return out;
}

bool IsFace(const std::string& file) { return file.find("Image\\face\\") != std::string::npos; }

// A window given a size other than its picture's cell draws the cell stretched. The pictures of the
// title, the extras, the save screen, the strategy screens and the battle screen are drawn for
// their places. Faces are left out here: the code picks the copy of a face drawn at the window's
// size (checked below).
TEST_F(SamplePictures, NoTitleExtrasSaveStrategyOrBattleLayoutStretchesADrawnPicture) {
  std::set<std::string> layouts;
  int checked = 0;
  for (const PictureWindow& w : PictureWindows({"title.lay", "omake_", "save.lay", "\\slg", "kassen.lay"}, &layouts)) {
    const std::string& file = w.file;
    if (file.find('%') != std::string::npos || file.size() < 4 || file.compare(file.size() - 4, 4, ".png") != 0 ||
        IsFace(file))
      continue;
    ++checked;
    if (w.w == w.cellW && w.h == w.cellH) continue;
    const plat::Canvas c = Picture(file);
    ASSERT_FALSE(c.empty()) << file;
    EXPECT_TRUE(Smooth(c)) << plat::Cp932ToUtf8(w.layout) << " " << w.node << ": " << plat::Cp932ToUtf8(file) << " ("
                           << w.cellW << "x" << w.cellH << ") is drawn at " << w.w << "x" << w.h;
  }
  EXPECT_GT(checked, 0);
  EXPECT_TRUE(layouts.count("Data\\layout\\save.lay")) << "the save screen is not in the scene table";
  EXPECT_TRUE(layouts.count("Data\\layout\\slgmain.lay")) << "the strategy map is not in the scene table";
  EXPECT_TRUE(layouts.count("Data\\layout\\kassen.lay")) << "the battle screen is not in the scene table";
}

// Each face a screen shows comes at the size the screen draws it, as the program picks it: the
// generals' sixteen faces in every face window of every screen, the battle's generic faces in the
// battle's face windows, and the face the battle's skill cut-in draws at 180 pixels.
TEST_F(SamplePictures, EveryFaceIsDrawnAtTheSizeItIsShown) {
  struct Shown {
    std::string pattern, where;
    int first, count, w, h;
  };
  std::vector<Shown> shown;
  std::set<std::pair<std::string, std::pair<int, int>>> done;
  for (const PictureWindow& w : PictureWindows({"\\"}, nullptr)) {
    if (!IsFace(w.file) || w.file.find('%') != std::string::npos) continue;  // a pattern names its own size
    const bool battle = w.layout.find("kassen.lay") != std::string::npos;
    const std::string where = plat::Cp932ToUtf8(w.layout) + " " + w.node;
    if (done.insert({"f", {w.w, w.h}}).second)
      shown.push_back({"Data\\Image\\face\\f%02d.png", where, 0, 16, w.w, w.h});
    if (battle && done.insert({"k", {w.w, w.h}}).second)
      shown.push_back({"Data\\Image\\kassen\\face%03d.png", where, 400, 8, w.w, w.h});
  }
  shown.push_back({"Data\\Image\\face\\f%02d.png", "the battle's skill cut-in", 0, 16, 180, 180});
  ASSERT_GE(shown.size(), 5u);
  for (const Shown& s : shown)
    for (int n = s.first; n < s.first + s.count; ++n) {
      char name[96];
      std::snprintf(name, sizeof name, PatternForSize(s.pattern.c_str(), n, s.w, s.h).c_str(), n);
      const plat::Canvas c = Picture(name);
      ASSERT_FALSE(c.empty()) << name;
      EXPECT_TRUE(c.width() == s.w && c.height() == s.h)
          << s.where << " shows " << name << " (" << c.width() << "x" << c.height() << ") at " << s.w << "x" << s.h;
    }
}

// The scene replay's title rows lie inside their frame and none covers another (a row taller than
// its step would cover the next one's top).
TEST_F(SamplePictures, ReplayRowsStayInTheirFrameApart) {
  CVScript script;
  ASSERT_TRUE(script.Load((std::string(GetModuleDir()) + "Data\\layout\\omake_scene.lay").c_str()));
  // A node's place: the sum of its own and its parents' positions.
  auto place = [&](const std::string& node, float* x, float* y) {
    *x = *y = 0;
    for (size_t end = node.find('/');; end = node.find('/', end + 1)) {
      const CVScriptElement* pos = script.Find((node.substr(0, end) + "/pos").c_str());
      if (pos) *x += pos->GetParam(0, 0.0f), *y += pos->GetParam(1, 0.0f);
      if (end == std::string::npos) break;
    }
  };
  auto cell = [&](const std::string& node, float* w, float* h) {
    const CVScriptElement* sprite = script.Find((node + "/sprite").c_str());
    ASSERT_NE(sprite, nullptr) << node;
    const CVScriptElement* def =
        script.Find(("SpriteLocal/#" + std::to_string(static_cast<int>(sprite->GetParam(1, -1.0f)))).c_str());
    ASSERT_NE(def, nullptr) << node;
    *w = def->GetParam(0, 0.0f) / std::max(1.0f, def->GetParam(2, 1.0f));
    *h = def->GetParam(1, 0.0f) / std::max(1.0f, def->GetParam(3, 1.0f));
  };
  struct Box {
    float x, y, w, h;
  };
  std::vector<Box> rows;
  for (const CVScriptElement& e : script.Elements()) {
    const std::string& n = e.GetName();
    if (n.size() < 3 || n.compare(n.size() - 3, 3, "/id") != 0) continue;
    const int id = static_cast<int>(e.GetParam(0, -1.0f));
    if (id < 11000 || id > 11019) continue;
    Box b{};
    place(n.substr(0, n.size() - 3), &b.x, &b.y);
    cell(n.substr(0, n.size() - 3), &b.w, &b.h);
    rows.push_back(b);
  }
  ASSERT_EQ(rows.size(), 20u);
  Box frame{};
  place("Window#0/Window#2", &frame.x, &frame.y);
  cell("Window#0/Window#2", &frame.w, &frame.h);
  for (size_t i = 0; i < rows.size(); ++i) {
    const Box& a = rows[i];
    EXPECT_TRUE(a.x >= frame.x && a.y >= frame.y && a.x + a.w <= frame.x + frame.w && a.y + a.h <= frame.y + frame.h)
        << "row " << i << " at " << a.x << "," << a.y << " leaves the frame";
    for (size_t j = i + 1; j < rows.size(); ++j) {
      const Box& b = rows[j];
      EXPECT_FALSE(a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h)
          << "rows " << i << " and " << j << " overlap";
    }
  }
}

// The caption of each button with an id in [first, first + count) of a layout, by id order.
std::vector<std::string> ButtonCaptions(const CVScript& script, int first, int count) {
  std::vector<std::string> out(static_cast<size_t>(count));
  for (const CVScriptElement& e : script.Elements()) {
    const std::string& n = e.GetName();
    if (n.size() < 3 || n.compare(n.size() - 3, 3, "/id") != 0) continue;
    const int id = static_cast<int>(e.GetParam(0, -1.0f));
    if (id < first || id >= first + count) continue;
    const CVScriptElement* t = script.Find((n.substr(0, n.size() - 3) + "/Text#0/text").c_str());
    if (t && t->GetString(0)) out[static_cast<size_t>(id - first)] = t->GetString(0);  // CP932, as the literals
  }
  return out;
}

// The title's extras sub-menu and the extras' top menu open the same five screens, in the same
// order; each is named alike in both (the third is the scene gallery, the picture gallery in its
// event mode).
TEST_F(SamplePictures, TitleExtrasLabelsNameTheScreensTheyOpen) {
  CVScript title, top;
  ASSERT_TRUE(title.Load((std::string(GetModuleDir()) + "Data\\layout\\title.lay").c_str()));
  ASSERT_TRUE(top.Load((std::string(GetModuleDir()) + "Data\\layout\\omake_top.lay").c_str()));
  const std::vector<std::string> fromTitle = ButtonCaptions(title, 10100, 5), fromTop = ButtonCaptions(top, 1000, 5);
  EXPECT_EQ(fromTitle, fromTop);
  EXPECT_EQ(fromTop[2], "場面画廊");
}

}  // namespace

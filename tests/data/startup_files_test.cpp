// Every file the program names on its way from start-up to the title menu exists in the built
// sample data and reads as what it is: the scene table, the layouts it names, every picture (png
// or scrambled tig), bitmap font and button sound those layouts name, the title's music and
// movie, the script set, the system and extras tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/game_file.h"
#include "formats/scene/scene_table.h"
#include "platform/gl/null_device.h"
#include "platform/image/png_file.h"
#include "platform/text/cp932.h"
#include "render/dg_manager.h"
#include "render/file_load.h"
#include "render/text/bitmap_font.h"
#include "scenario/script/adv_script.h"
#include "ui/layout/cv_script.h"
#include "world/turn/turn_loop.h"

namespace {

class StartupFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = GetModuleDir();
    ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  }
  void TearDown() override { SetModuleDir(old_.c_str()); }

  // The file's bytes through the game file reader (loose or archived); empty when missing.
  static std::vector<uint8_t> Read(const std::string& relative) {
    const std::string path = std::string(GetModuleDir()) + relative;
    int32_t size = 0;
    uint8_t* data = LoadGameFile(path.c_str(), &size);
    if (!data) return {};
    std::vector<uint8_t> out(data, data + size);
    FreeGameFile(data);
    if (out.empty()) out.push_back(0);  // found, but empty: still "there"
    return out;
  }
  // A picture's bytes as the program's picture loader hands them to the decoder ("tig" and "tds"
  // descrambled); empty when missing.
  static std::vector<uint8_t> ReadPicture(const std::string& relative) {
    auto* loader = new CDGFileLoad_QZT;
    std::vector<uint8_t> out;
    if (loader->Load((std::string(GetModuleDir()) + relative).c_str()) >= 0)
      out.assign(loader->Data(), loader->Data() + loader->Size());
    loader->Release();
    return out;
  }
  static std::string Show(const std::string& cp932) { return plat::Cp932ToUtf8(cp932); }

  std::string old_;
};

// Layout names of every menu of every scene in the table.
std::vector<std::string> TableLayouts(const v4fmt::SceneFlowTable& table) {
  std::vector<std::string> names;
  for (const v4fmt::SceneFlowRecord& r : table) {
    if (r.sceneId == 0) continue;
    for (const v4fmt::SceneMenuEntry& m : r.menus)
      if (m.menuType > 0) names.emplace_back(m.layoutName);
  }
  return names;
}

struct TableLayout {
  std::string name;
  CVScript script;
  bool loaded = false;
};

// The layouts of the scene table (scene.bin's bytes), parsed by the program's reader.
std::vector<TableLayout> LoadTableLayouts(const std::vector<uint8_t>& sceneBin) {
  v4fmt::SceneFlowTable table;
  v4fmt::ReadSceneTable(sceneBin.data(), sceneBin.size(), table);
  std::vector<TableLayout> layouts;
  for (const std::string& name : TableLayouts(table)) {
    TableLayout& l = layouts.emplace_back();
    l.name = name;
    l.loaded = l.script.Load((std::string(GetModuleDir()) + name).c_str());
  }
  return layouts;
}

bool EndsWith(const std::string& s, const char* tail) {
  const std::string t(tail);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

TEST_F(StartupFiles, SceneTableHasTheTitleAndAResidentDialog) {
  const std::vector<uint8_t> bytes = Read("Data\\sys\\scene.bin");
  ASSERT_EQ(bytes.size(), v4fmt::kSceneTableBytes);
  v4fmt::SceneFlowTable table;
  v4fmt::ReadSceneTable(bytes.data(), bytes.size(), table);
  EXPECT_EQ(table[1].sceneId, 1);
  EXPECT_GT(table[1].menus[0].menuType, 0);
  EXPECT_EQ(table[10].sceneId, 10);
  EXPECT_NE(table[10].resident, 0) << "the title reads the quit answer after the dialog was popped";
  EXPECT_GT(table[10].menus[0].menuType, 0);
  // Title result codes never leak into the dialog's record (it is looked up after a push).
  for (const v4fmt::SceneTransition& t : table[10].transitions) EXPECT_TRUE(t.result < 10000) << t.result;
}

TEST_F(StartupFiles, EveryLayoutPictureAndButtonSoundExists) {
  const std::vector<uint8_t> bytes = Read("Data\\sys\\scene.bin");
  ASSERT_FALSE(bytes.empty());
  const std::vector<TableLayout> layouts = LoadTableLayouts(bytes);
  ASSERT_FALSE(layouts.empty());

  // Picture name -> the size its sprite definition declares.
  std::map<std::string, std::pair<int, int>> pictures;
  std::set<std::string> sounds;
  for (const TableLayout& layout : layouts) {
    const CVScript& script = layout.script;
    ASSERT_TRUE(layout.loaded) << Show(layout.name);
    ASSERT_GT(script.Count(), 0u) << Show(layout.name);
    EXPECT_FALSE(script.Truncated()) << Show(layout.name);
    bool anyButton = false, anySe = false;
    for (const CVScriptElement& e : script.Elements()) {
      const std::string& n = e.GetName();
      if ((n.rfind("SpriteLocal/#", 0) == 0 || n.rfind("SpriteGlobal/#", 0) == 0) && e.GetString(0))
        pictures.emplace(e.GetString(0), std::make_pair(static_cast<int>(e.GetParam(0, -1.0f)),
                                                        static_cast<int>(e.GetParam(1, -1.0f))));
      if (n.size() > 3 && n.compare(n.size() - 3, 3, "/id") == 0) anyButton = true;
      if (n.size() > 3 && n.compare(n.size() - 3, 3, "/SE") == 0) {
        anySe = true;
        for (size_t i = 0; i < e.ParamCount(); ++i) {
          uint8_t type = 0;
          const int v = static_cast<int>(e.GetParam(static_cast<int>(i), -1.0f, &type));
          if (type == 0 && v >= 0) {
            char file[64];
            std::snprintf(file, sizeof file, "Data\\slg_se\\slg_se%03d.voi", v + 1);
            sounds.insert(file);
          }
        }
      }
    }
    if (anyButton && !anySe) sounds.insert("Data\\slg_se\\slg_se001.voi");  // the default hover sound
  }
  ASSERT_FALSE(pictures.empty());
  for (const auto& [p, size] : pictures) {
    // A model widget's definition names a model file: it must exist; it has no picture size.
    if (p.size() > 2 && p.compare(p.size() - 2, 2, ".x") == 0) {
      EXPECT_FALSE(Read(p).empty()) << Show(p);
      continue;
    }
    // A numbered name ("face\\l%02d.png", set by code) is checked by its first picture.
    std::string name = p;
    if (const size_t pct = name.find('%'); pct != std::string::npos && pct + 3 < name.size() && name[pct + 3] == 'd')
      name.replace(pct, 4, std::string(static_cast<size_t>(name[pct + 2] - '0'), '0'));
    const std::vector<uint8_t> png = ReadPicture(name);
    ASSERT_FALSE(png.empty()) << Show(name);
    plat::Canvas c;
    std::string error;
    const bool decoded = plat::DecodeCanvasPng(png.data(), png.size(), &c, &error);
    EXPECT_TRUE(decoded) << Show(p) << ": " << error;
    if (!decoded) continue;
    EXPECT_EQ(c.width(), size.first) << Show(p);
    EXPECT_EQ(c.height(), size.second) << Show(p);
  }
  for (const std::string& s : sounds) {
    const std::vector<uint8_t> voi = Read(s);
    EXPECT_GT(voi.size(), 64u) << s;
  }
}

// Every ".fnt" face a layout text names loads the way the text renderer loads it (the same name,
// through the font cache: key file, then its picture), and has a glyph for every character of the
// texts set in it; a missing glyph would leave the whole text undrawn.
TEST_F(StartupFiles, EveryBitmapFontLoadsWithEveryCharacterItsTextsUse) {
  const std::vector<uint8_t> bytes = Read("Data\\sys\\scene.bin");
  ASSERT_FALSE(bytes.empty());
  std::map<std::string, std::set<std::string>> uses;  // face -> characters drawn in it
  for (const TableLayout& layout : LoadTableLayouts(bytes)) {
    ASSERT_TRUE(layout.loaded) << Show(layout.name);
    for (const CVScriptElement& e : layout.script.Elements()) {
      const std::string& n = e.GetName();
      if (!EndsWith(n, "/font") || !e.GetString(0) || !EndsWith(e.GetString(0), ".fnt")) continue;
      std::set<std::string>& chars = uses[e.GetString(0)];
      const char* text = GetScriptString(layout.script, (n.substr(0, n.size() - 5) + "/text").c_str(), 0);
      for (size_t i = 0; text && text[i];) {
        const size_t len = plat::IsSjisLead(static_cast<unsigned char>(text[i])) && text[i + 1] ? 2 : 1;
        if (text[i] != '\n') chars.insert(std::string(text + i, len));
        i += len;
      }
    }
  }
  ASSERT_FALSE(uses.empty()) << "the title's version mark is set in a bitmap font";

  auto* dg = new CDGManager();
  if (!dg->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280, 720)) {
    dg->Release();
    FAIL() << "no device";
  }
  auto* fonts = new CDGFontManager();
  fonts->SetDevice(dg);
  for (const auto& [face, chars] : uses) {
    auto* font = dynamic_cast<CDGFont_QZT*>(fonts->GetFont(face.c_str()));
    EXPECT_NE(font, nullptr) << Show(face);
    if (!font) continue;
    EXPECT_NE(font->Picture(), nullptr) << Show(face) << ": key file or its picture is missing";
    EXPECT_FALSE(font->Glyphs().empty()) << Show(face);
    for (const std::string& ch : chars) {
      CDGTexture* glyph = nullptr;
      EXPECT_TRUE(fonts->GetGlyph(face.c_str(), ch, &glyph)) << Show(face) << ": no glyph for '" << Show(ch) << "'";
      if (glyph) glyph->Release();
    }
  }
  fonts->Release();
  dg->Release();
}

TEST_F(StartupFiles, TitleMediaScriptSetAndTablesExist) {
  struct File {
    const char* path;
    size_t minSize;
  };
  const File files[] = {
      {"Data\\bgm\\M29.voi", 1024}, {"Data\\media\\op.mdm", 1024}, {"Data\\sys\\basic.dat", 1},
      {"Data\\sys\\system.dat", 1}, {"Data\\sys\\sin_01.dat", 1},  {"Data\\sys\\sin_tu.dat", 1},
      {"Data\\sys\\cg.bin", 1},     {"Data\\sys\\ev.bin", 1},      {"Data\\sys\\bgm.bin", 1},
      {"Data\\sys\\sf.bin", 1},     {"Data\\sys\\sf_scr.dat", 1},
  };
  for (const File& f : files) EXPECT_GE(Read(f.path).size(), f.minSize) << f.path;
  // The start-up check of the script set (its signature) and the title's reload of it.
  EXPECT_TRUE(LoadStartLabelList(0));
  EXPECT_TRUE(LoadScriptFiles(0));
  EXPECT_FALSE(GetAdvScript().switches.empty());
}

// The turn loop's music (each phase, the unified realm, no generals left) is in the sample set.
TEST_F(StartupFiles, EveryMusicTheTurnPlaysExists) {
  for (const char* path : {kBgmTurn, kBgmWar, kBgmUnified, kBgmNoBusyo}) EXPECT_GE(Read(path).size(), 1024u) << path;
}

}  // namespace

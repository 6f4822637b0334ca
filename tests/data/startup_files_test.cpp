// Every file the program names on its way from start-up to the title menu exists in the built
// sample data and reads as what it is: the scene table, the layouts it names, every picture and
// button sound those layouts name, the title's music and movie, the script set, the system and
// extras tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/core/game_file.h"
#include "formats/scene/scene_table.h"
#include "platform/image/png_file.h"
#include "platform/text/cp932.h"
#include "scenario/script/adv_script.h"
#include "ui/layout/cv_script.h"

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
  v4fmt::SceneFlowTable table;
  v4fmt::ReadSceneTable(bytes.data(), bytes.size(), table);
  const std::vector<std::string> layouts = TableLayouts(table);
  ASSERT_FALSE(layouts.empty());

  std::set<std::string> pictures, sounds;
  for (const std::string& name : layouts) {
    CVScript script;
    ASSERT_TRUE(script.Load((std::string(GetModuleDir()) + name).c_str())) << Show(name);
    ASSERT_GT(script.Count(), 0u) << Show(name);
    EXPECT_FALSE(script.Truncated()) << Show(name);
    bool anyButton = false, anySe = false;
    for (const CVScriptElement& e : script.Elements()) {
      const std::string& n = e.GetName();
      if ((n.rfind("SpriteLocal/#", 0) == 0 || n.rfind("SpriteGlobal/#", 0) == 0) && e.GetString(0))
        pictures.insert(e.GetString(0));
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
  for (const std::string& p : pictures) {
    const std::vector<uint8_t> png = Read(p);
    ASSERT_FALSE(png.empty()) << Show(p);
    plat::Canvas c;
    std::string error;
    EXPECT_TRUE(plat::DecodeCanvasPng(png.data(), png.size(), &c, &error)) << Show(p) << ": " << error;
  }
  for (const std::string& s : sounds) {
    const std::vector<uint8_t> voi = Read(s);
    EXPECT_GT(voi.size(), 64u) << s;
  }
}

TEST_F(StartupFiles, TitleMediaScriptSetAndTablesExist) {
  struct File {
    const char* path;
    size_t minSize;
  };
  const File files[] = {
      {"Data\\bgm\\M29.voi", 1024},   {"Data\\media\\op.mdm", 1024}, {"Data\\sys\\basic.dat", 1},
      {"Data\\sys\\system.dat", 1},   {"Data\\sys\\sin_01.dat", 1},  {"Data\\sys\\sin_tu.dat", 1},
      {"Data\\sys\\cg.bin", 1},       {"Data\\sys\\ev.bin", 1},      {"Data\\sys\\bgm.bin", 1},
      {"Data\\sys\\sf.bin", 1},       {"Data\\sys\\sf_scr.dat", 1},
  };
  for (const File& f : files) EXPECT_GE(Read(f.path).size(), f.minSize) << f.path;
  // The start-up check of the script set (its signature) and the title's reload of it.
  EXPECT_TRUE(LoadStartLabelList(0));
  EXPECT_TRUE(LoadScriptFiles(0));
  EXPECT_FALSE(GetAdvScript().switches.empty());
}

}  // namespace

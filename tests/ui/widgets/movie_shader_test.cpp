// The movie transition on the built sample movie: the movie manager plays it into the shader's
// own 640 x 360 texture, the shader hands that texture to its effect while the movie runs and
// reports itself finished when the movie ends.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "core/game_clock.h"
#include "core/game_file.h"
#include "movie/movie_mgr.h"
#include "render/dg_texture.h"
#include "render/effect/shader.h"
#include "render/texture_holder.h"
#include "tests/support/null_graphics.h"
#include "ui/widgets/widget_movie_port.h"

namespace {

uint32_t g_now = 1000;
uint32_t VirtualClock(void*) { return g_now; }

class PatternSpy : public CDGEffect {
 public:
  bool SetTexture(const char* name, CDGTexture* t) override {
    set[name] = t;
    return true;
  }
  std::map<std::string, CDGTexture*> set;
};

class Owner : public ShaderOwner {
 public:
  float ShaderTimeStep() const override { return 33; }
  CDGTexture* ShaderSourceTexture() const override { return texture; }
  void ShaderColor(float* r, float* g, float* b, float* a) const override { *r = *g = *b = *a = 255; }
  CDGTexture* texture = nullptr;
};

TEST(MovieTransition, PlaysTheSampleMovieIntoItsTextureAndFinishes) {
  const std::filesystem::path movie = std::filesystem::path(V4_TEST_GAME_DIR) / "Data" / "media" / "op.mdm";
  ASSERT_TRUE(std::filesystem::exists(movie)) << "build the sample data first";
  const std::string oldDir = GetModuleDir();
  ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_GAME_DIR));
  SetGameClockOverride(&VirtualClock, nullptr);
  {
    v4test::NullDeviceManager nm;
    GetMovieMgr().Init();
    GetMovieMgr().SetWaitForDecoder(true);
    InstallMovieWidgetPort();
    auto* source = new CDGTexture(nm.mgr);
    ASSERT_TRUE(source->CreateEmpty(64, 64));
    Owner owner;
    owner.texture = source;
    auto* spy = new PatternSpy();
    {
      CVShaderMovieTransition m("Data\\media\\op.mdm");
      m.SetUserData(&owner);
      m.SetEffect(spy);
      ASSERT_NE(m.MovieTexture()->GetTexture(), nullptr);
      EXPECT_TRUE(m.IsActive());
      int frames = 0;
      bool sawPicture = false;
      while (m.IsActive() && frames < 3000) {
        g_now += 33;
        GetMovieMgr().UpdateMovies();
        m.SetParams();
        ++frames;
        std::vector<uint8_t> px;
        if (!sawPicture && nm.mgr->Device()->ReadTexture(m.MovieTexture()->GetTexture()->DeviceId(), &px))
          for (uint8_t b : px) sawPicture = sawPicture || b != 0;
      }
      EXPECT_FALSE(m.IsActive()) << "the movie never ended";
      EXPECT_TRUE(sawPicture) << "no picture reached the shader's texture";
      EXPECT_EQ(spy->set["PatternTex"], m.MovieTexture()->GetTexture());
      EXPECT_EQ(spy->set["MeshTex"], source);
    }
    spy->Release();
    source->Release();
    GetMovieMgr().CloseAll();
    SetShaderMoviePort(nullptr);
  }
  SetGameClockOverride(nullptr, nullptr);
  SetModuleDir(oldDir.c_str());
}

}  // namespace

// The widgets on the renderer's own pieces: shaders attached to a window's sprite renderer, the
// model widget on the model renderer, and movie pictures that follow their texture onto a
// re-created device.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "render/dg_texture.h"
#include "render/effect/shader.h"
#include "render/model/model_renderer.h"
#include "render/sprite.h"
#include "render/texture_holder.h"
#include "tests/render/model_fixture.h"
#include "ui/menus/menu_mgr.h"
#include "ui/menus/menu_root.h"
#include "ui/widgets/menu_model.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/widget_model.h"
#include "ui/widgets/widget_movie_port.h"
#include "ui/widgets/widget_shader.h"
#include "widget_fixture.h"

namespace {

bool Holds(CDGRendererBase* r, CDGEffect* e) {
  return r && std::find(r->Effects().begin(), r->Effects().end(), e) != r->Effects().end();
}

TEST(RenderBridge, WidgetShadersRunOnTheSpriteRenderer) {
  WidgetEnv env;
  v4test::NullDeviceManager nm;
  v4test::TempModuleDir dir;
  dir.Write("Data/Image/p.png", v4test::SolidPng(32, 16, 0xFFFFFFFFu));
  InstallRenderWidgetShaders();
  auto* root = new CVMenuSceneRoot();
  GetMenuMgr().RegisterRoot(root);
  SpriteWindowParams p;
  const std::string pic = dir.ProgramPath("Data/Image/p.png");
  p.pictureName = pic.c_str();
  CVMenuWindow* w = GetMenuMgr().CreateMenuSpriteWindow(root, p);
  root->Open(0, 0, 0);
  EXPECT_EQ(CreateWidgetShader(2), nullptr);
  const int32_t key = w->AddShader(CreateWidgetShader(1), false, 0);
  auto* shader = dynamic_cast<RenderWidgetShader*>(w->Shaders().at(key).get());
  ASSERT_NE(shader, nullptr);
  auto* hsv = dynamic_cast<CVShaderHSV*>(shader->Shader());
  ASSERT_NE(hsv, nullptr);
  // The owner's texture is the shader's source; the effect sits on the sprite's renderer.
  EXPECT_EQ(shader->ShaderSourceTexture(), w->GetSprite()->texture->GetTexture());
  CDGRendererBase* renderer = w->GetSprite()->GetRenderer();
  EXPECT_TRUE(Holds(renderer, hsv->GetEffect()));
  // Enabled when added; neutral parameters switch it off, a hue shift on again.
  EXPECT_TRUE(shader->IsEnabled());
  w->SetShaderParams(-1, 0.0f, 0.0f, 0.0f);
  EXPECT_FALSE(shader->IsEnabled());
  EXPECT_FALSE(hsv->GetEffect()->IsEnabled());
  w->SetShaderParams(-1, 0.5f, 0.0f, 0.0f);
  EXPECT_FLOAT_EQ(hsv->H(), 3.0f);
  EXPECT_TRUE(shader->IsEnabled());
  // Removing the shader takes its effect off the renderer.
  CDGEffect* effect = hsv->GetEffect();
  effect->AddRef();
  w->RemoveShader(key);
  EXPECT_FALSE(Holds(renderer, effect));
  effect->Release();
  // The multiply-alpha kind comes from the renderer's shader too.
  WidgetShader* ma = CreateMultiplyAlphaShader();
  EXPECT_NE(dynamic_cast<CVShaderMultipleAlpha*>(static_cast<RenderWidgetShader*>(ma)->Shader()), nullptr);
  delete ma;
  root->Close();
  SetWidgetShaderFactory(nullptr);
}

TEST(RenderBridge, ModelWidgetLoadsAndQueuesItsModel) {
  WidgetEnv env;
  v4test::NullDeviceManager nm;
  v4test::TempModuleDir dir;
  const std::string text = kTwoFrameModel;
  dir.Write("Data/Model/wave.x", std::vector<uint8_t>(text.begin(), text.end()));
  InstallRenderMenuModels();
  auto* root = new CVMenuSceneRoot();
  GetMenuMgr().RegisterRoot(root);
  CVMenuModel* m = GetMenuMgr().CreateMenuModel(root, "Data\\Model\\wave.x", Vector3(640, 360, 0), Vector3(10, 10, 1),
                                                Vector3(0, 0, 0), Color(255, 255, 255, 255), 255);
  root->Open(0, 0, 0);
  auto* r = dynamic_cast<RenderMenuModel*>(m->Renderer());
  ASSERT_NE(r, nullptr);
  ASSERT_NE(r->Model(), nullptr);
  EXPECT_TRUE(r->Model()->HasModel());
  m->SetAnimation(0);
  EXPECT_TRUE(r->IsPlaying());
  RunFrame(root, 0, 0, 0, 16);
  root->Draw(0);
  const auto& queue = nm.mgr->FillingQueue();
  EXPECT_NE(std::find(queue.begin(), queue.end(), r->Model()), queue.end());
  EXPECT_FLOAT_EQ(r->Model()->GetWorldMatrix()->m[3][0], 0.0f);  // the screen centre
  root->Close();
  SetMenuModelRendererFactory(nullptr);
}

TEST(RenderBridge, MoviePicturesFollowTheTextureOntoARecreatedDevice) {
  v4test::NullDeviceManager nm;
  auto* tex = new CDGTexture(nm.mgr);
  ASSERT_TRUE(tex->CreateEmpty(4, 2));
  CDGTextureMovieTarget target(tex);
  ASSERT_TRUE(nm.mgr->RecreateDevice());
  const std::vector<uint8_t> red = {255, 0, 0, 255, 255, 0, 0, 255};  // 2 x 1, scaled to 4 x 2
  target.OnMovieFrame(red.data(), 2, 1, 8);
  EXPECT_EQ(target.Updates(), 1);
  std::vector<uint8_t> px;
  ASSERT_TRUE(nm.mgr->Device()->ReadTexture(tex->DeviceId(), &px));
  ASSERT_EQ(px.size(), 32u);
  EXPECT_EQ(px[0], 255);
  EXPECT_EQ(px[28], 255);
  tex->Release();
}

}  // namespace

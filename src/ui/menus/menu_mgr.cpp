#include "ui/menus/menu_mgr.h"

#include "render/sprite.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_model.h"
#include "ui/widgets/menu_pbar.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/menu_window_group.h"

namespace {
constexpr float kEps = 1.1920929e-07f;
}

CVMenuMgr& GetMenuMgr() {
  // Never destroyed: at exit the texture holders its widgets point to may already be gone. The
  // shutdown deletes the scenes, then calls DeleteAllRoots.
  static CVMenuMgr* mgr = new CVMenuMgr();
  return *mgr;
}

CVMenuMgr::~CVMenuMgr() { DeleteAllRoots(); }

void CVMenuMgr::Init(const char* programDirectory) {
  programDir_.Assign(programDirectory);
  DeleteAllRoots();
}

void CVMenuMgr::DeleteAllRoots() { roots_.DeleteAll(-1); }

void CVMenuMgr::RegisterRoot(CVMenuBase* root) {
  if (!root) return;
  root->widgetType = kWidgetRoot;
  root->flags.Clear();
  root->flags.Set(kWfEnabled, 1);
  root->flags.Set(kWfShown, 1);
  if (root->parent) root->parent = nullptr;
  roots_.Append(root);
}

bool CVMenuMgr::LoadMenuDefinition(const FixedPath& file, CVMenuBase* parent) {
  return loader_ ? loader_(*this, file, parent) : false;
}

void CVMenuMgr::Link(CVMenuBase* w, CVMenuBase* parent, uint32_t type) {
  w->widgetType = type;
  w->flags.Clear();
  w->flags.Set(kWfEnabled, 1);
  w->flags.Set(kWfShown, 1);
  if (parent) {
    parent->AddChild(w);
    if (type != kWidgetModel && w->position.z <= kEps && w->position.z >= -kEps) w->position.z = 1.0f;
  } else {
    roots_.Append(w);
  }
}

CVMenuWindow* CVMenuMgr::CreateMenuWindow(CVMenuBase* parent, const Vector3& position) {
  auto* w = new CVMenuWindow();
  w->position = position;
  Link(w, parent, kWidgetWindow);
  return w;
}

void CVMenuMgr::SetupSpriteWindow(CVMenuWindow* w, CVMenuBase* parent, uint32_t type, const SpriteWindowParams& p) {
  // A grid of zero columns or rows from data would divide by zero: one cell is meant.
  const int32_t cols = p.columns < 1 ? 1 : p.columns;
  const int32_t rows = p.rows < 1 ? 1 : p.rows;
  w->position = p.position;
  w->pictureName.Assign(p.pictureName ? p.pictureName : "");
  Link(w, parent, type);
  w->flags.Set(kWfAnimRunning, 0);
  w->flags.Set(kWfAltLoader, p.altLoader);
  w->flags.Set(kWfLoadOnOpen, p.loadOnOpen);
  w->sprite = new CVSprite();
  w->sprite->Setup(w->pictureName.CStr(), w->position, p.colour, p.width, p.height, cols, rows, p.rotation.x,
                   p.rotation.y, p.rotation.z, p.source.x, p.source.y, p.source.width, p.source.height, p.altLoader,
                   false, !p.loadOnOpen && w->pictureName.Length() > 0);
  const float cw = w->sprite->width, ch = w->sprite->height;
  w->size = Vector3(cw, ch, 0.0f);
  // The bar length of a progress bar: the cell size now, or the texture's once it is known.
  w->vectorA = Vector3(cw, ch, 0.0f);
  w->colour = p.colour;
  w->rotation = p.rotation;
  w->localMatrix.Identity();
  w->worldMatrix.Identity();
  w->alpha = p.alpha;
  w->effectiveAlpha = p.alpha;
}

CVMenuWindow* CVMenuMgr::CreateMenuSpriteWindow(CVMenuBase* parent, const SpriteWindowParams& p) {
  auto* w = new CVMenuWindow();
  SetupSpriteWindow(w, parent, kWidgetSprite, p);
  return w;
}

CVMenuBtn* CVMenuMgr::CreateMenuButton(CVMenuBase* parent, int32_t firstId, int32_t secondId,
                                       const SpriteWindowParams& p) {
  auto* b = new CVMenuBtn();
  b->firstId = firstId;
  b->secondId = secondId;
  SetupSpriteWindow(b, parent, kWidgetBtn, p);
  b->SetState(kBtnIdle, 0);
  return b;
}

CVMenuText* CVMenuMgr::CreateMenuText(CVMenuBase* parent, const TextParams& p) {
  auto* t = new CVMenuText();
  t->position = p.position;
  Link(t, parent, kWidgetText);
  t->fontName.Assign(p.fontName ? p.fontName : "");
  t->fontSize = p.fontSize;
  t->layoutValues[0] = p.lineSpacing;
  t->layoutValues[1] = p.charSpacing;
  t->layoutValues[2] = p.perGlyph != 0 ? 1 : 0;
  t->size = Vector3(p.width, p.height, 0.0f);
  t->colour = p.colour;
  t->alpha = p.alpha;
  t->effectiveAlpha = p.alpha;
  t->shownChars = p.shownChars;
  t->alignH = p.alignH;
  t->alignV = p.alignV;
  t->flags.Set(kWfAltLoader, p.vertical);
  t->flags.Set(kWfMirrorX, p.flag14);
  t->frameValue = p.frameValue;
  t->frameColour = p.frameColour;
  t->SetText(p.text, false);
  return t;
}

CVMenuPBar* CVMenuMgr::CreateMenuPBar(CVMenuBase* parent, const Vector3& position, int32_t type, int32_t wheelFlag,
                                      int32_t wheelStep) {
  auto* b = new CVMenuPBar();
  b->position = position;
  Link(b, parent, kWidgetPBar);
  b->settings[0] = type;
  b->settings[1] = wheelFlag;
  b->settings[2] = wheelStep;
  b->direction = type;
  b->wheelNeedsPointer = wheelFlag ? 0 : 1;
  b->wheelStep = wheelStep;
  return b;
}

CVMenuSBar* CVMenuMgr::CreateMenuSBar(CVMenuBase* parent, const Vector3& position, int32_t orientation,
                                      const FRect& track, int32_t maximum, uint8_t wheelFlag) {
  auto* b = new CVMenuSBar();
  b->position = position;
  Link(b, parent, kWidgetSBar);
  b->orientation = orientation;
  if (!(track.x <= -1.0f + kEps && track.x >= -1.0f - kEps)) b->SetArea(track);
  b->SetMax(maximum);
  b->wheelNeedsPointer = wheelFlag ? 0 : 1;
  return b;
}

CVMenuList* CVMenuMgr::CreateMenuList(CVMenuBase* parent, const Vector3& position, int32_t count, int32_t visible) {
  auto* l = new CVMenuList();
  l->position = position;
  Link(l, parent, kWidgetList);
  l->SetItemCount(count, visible);
  return l;
}

CVMenuWindowGroup* CVMenuMgr::CreateMenuWindowGroup(CVMenuBase* parent, const Vector3& position) {
  auto* g = new CVMenuWindowGroup();
  g->position = position;
  Link(g, parent, kWidgetGroup);
  return g;
}

CVMenuModel* CVMenuMgr::CreateMenuModel(CVMenuBase* parent, const char* modelName, const Vector3& position,
                                        const Vector3& scale, const Vector3& rotation, const Color& colour,
                                        float alpha) {
  auto* m = new CVMenuModel();
  m->position = position;
  Link(m, parent, kWidgetModel);
  m->modelName.Assign(modelName ? modelName : "");
  m->scale = scale;
  m->rotation = rotation;
  m->colour = colour;
  m->alpha = alpha;
  m->effectiveAlpha = alpha;
  return m;
}

#include "ui/widgets/menu_window.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/error_box.h"
#include "platform/text/log.h"
#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "render/sprite.h"
#include "render/texture_holder.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/safe_format.h"

namespace {
constexpr float kEps = 1.1920929e-07f;

bool AlmostZero(float v) { return v <= kEps && v >= -kEps; }

// Lower-case ASCII extension after the last '.', empty when none.
void LowerExtension(const char* name, char* out, size_t cap) {
  out[0] = 0;
  if (!name) return;
  const char* dot = std::strrchr(name, '.');
  if (!dot) return;
  size_t n = 0;
  for (const char* p = dot + 1; *p && n + 1 < cap; ++p) {
    char c = *p;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    out[n++] = c;
  }
  out[n] = 0;
}
}  // namespace

CVMenuWindow::~CVMenuWindow() { CVMenuWindow::Release(); }

void CVMenuWindow::Release() {
  CloseMovie();
  if (sprite) {
    sprite->ReleaseResources(!flags.Test(kWfLoadOnOpen));
    delete sprite;
    sprite = nullptr;
  }
  ReleaseShaders();
  CVMenuBase::Release();
}

void CVMenuWindow::Update(int32_t x, int32_t y, uint32_t click) {
  if (sprite) sprite->UpdateAnimation(timeStep, flags.Test(kWfAnimRunning));
  CVMenuBase::Update(x, y, click);
}

void CVMenuWindow::Draw(int32_t arg) {
  IsDrawable(arg);
  CVMenuBase::Draw(arg);
}

bool CVMenuWindow::IsDrawable(int32_t skipFresh) {
  if (!CVMenuBase::IsDrawable(skipFresh)) return false;
  if (skipFresh && flags.Test(kWfOpened)) return false;
  // A holder without a device texture would draw as a plain white quad.
  if (!sprite || !sprite->texture || !sprite->texture->GetTexture()) return false;
  Color c(colour.r, colour.g, colour.b, AlmostZero(colour.a) ? 0.0f : effectiveAlpha);
  c.Clamp();
  sprite->SetMatrix(worldMatrix);
  for (int i = 0; i < 4; ++i) sprite->SetVertexColour(i, c);
  sprite->SetScale(scale);
  sprite->SetFlag5Vector(flags.Test(kWfHalfExtent), halfExtent);
  sprite->SetFlag(CVSprite::kFlagScreen, flags.Test(kWfScreen));
  sprite->SetFlag(CVSprite::kFlagCameraSpace, flags.Test(kWfPixelHit));
  sprite->SetFlag(CVSprite::kFlagAdditive, flags.Test(kWfAdditive));
  sprite->SetFlag(CVSprite::kFlagNoDepth, flags.Test(kWfNoDepth));
  return sprite->UpdateRenderer(flags.Test(kWfMirrorX), flags.Test(kWfMirrorY), true);
}

void CVMenuWindow::Open(int32_t a, int32_t b, int32_t c) {
  if (!flags.Test(kWfActive) && sprite && flags.Test(kWfLoadOnOpen) && !flags.Test(kWfHold)) {
    CVSprite* s = sprite;
    const float cols = static_cast<float>(s->columns < 1 ? 1 : s->columns);
    const float rows = static_cast<float>(s->rows < 1 ? 1 : s->rows);
    const bool flagged = widgetType == kWidgetSprite && flags.Test(kWfAltLoader);
    s->Setup(pictureName.CStr(), s->position, Color(255, 255, 255, 255), s->width * cols, s->height * rows, s->columns,
             s->rows, s->rotation.x, s->rotation.y, s->rotation.z, s->uvLeft, s->uvTop, s->cellWidth * cols,
             s->cellHeight * rows, flagged, false, true);
    s->SetCell(CellForState(GetState()));
    // A bar picture whose size came from the texture gets its full size now.
    if (vectorA.x < 0.0f || vectorA.y < 0.0f) vectorA = Vector3(s->width, s->height, 0.0f);
    AddEffectShader();
  }
  CVMenuBase::Open(a, b, c);
  halfExtent = Vector3(scale.x * size.x / 2.0f, scale.y * size.y / 2.0f, 0.0f);
}

void CVMenuWindow::ReleaseSpritePicture() {
  if (sprite) sprite->Release();
  ReleaseShaders();
}

void CVMenuWindow::Close() {
  if (!flags.Test(kWfActive)) return;
  CloseMovie();
  if (sprite && flags.Test(kWfLoadOnOpen)) ReleaseSpritePicture();
  CVMenuBase::Close();
}

int32_t CVMenuWindow::SetState(int32_t s, int32_t force) {
  const int32_t changed = CVMenuBase::SetState(s, force);
  const int32_t cell = CellForState(GetState());
  if (sprite && (changed || sprite->cell != cell)) sprite->SetCell(cell);
  return changed;
}

void CVMenuWindow::ReloadPicture() {
  FixedPath copy = pictureName;
  pictureName.Clear();
  LoadImageFile(copy.CStr(), false);
}

void CVMenuWindow::SetFlagAll(int bit, bool on) {
  const bool wasHeld = flags.Test(kWfHold);
  CVMenuBase::SetFlagAll(bit, on);
  if (bit == kWfHold && wasHeld && !on) ReloadPicture();
}

void CVMenuWindow::SetFlag(int bit, bool on) {
  const bool wasHeld = flags.Test(kWfHold);
  CVMenuBase::SetFlag(bit, on);
  if (bit == kWfHold && !wasHeld && on) ReloadPicture();
}

void CVMenuWindow::SetFlagByType(uint32_t type, int bit, bool on) {
  const bool wasHeld = flags.Test(kWfHold);
  CVMenuBase::SetFlagByType(type, bit, on);
  if (bit == kWfHold && wasHeld && !flags.Test(kWfHold)) ReloadPicture();
}

CDGRendererBase* CVMenuWindow::GetRenderer() { return sprite ? sprite->GetRenderer() : nullptr; }

CDGTexture* CVMenuWindow::GetTextureHandle() {
  return sprite && sprite->texture ? sprite->texture->GetTexture() : nullptr;
}

bool CVMenuWindow::SetTexture(const char* name, bool force) {
  if (!sprite) return false;
  if (!name) name = "";
  if (!force && pictureName.Equals(name)) return false;
  CloseMovie();
  if (flags.Test(kWfLoadOnOpen)) ReleaseSpritePicture();
  if (!flags.Test(kWfHold)) {
    sprite->SetFlag(CVSprite::kFlagMipmapped, flags.Test(kWfMipmapped));
    if (flags.Test(kWfAltLoader))
      sprite->LoadTextureFlagged(name);
    else
      sprite->LoadTexture(name);
    if (flags.Test(kWfLoadOnOpen)) AddEffectShader();
  }
  pictureName.Assign(name);
  return true;
}

bool CVMenuWindow::SetTextureObject(CVTexture* texture, bool force) {
  if (!sprite) return false;
  if (!force && sprite->texture == texture) return false;
  CloseMovie();
  if (flags.Test(kWfLoadOnOpen)) ReleaseSpritePicture();
  if (!flags.Test(kWfHold)) sprite->SetTexture(texture);
  pictureName.Assign(texture ? texture->Name().CStr() : "");
  return true;
}

bool CVMenuWindow::SetTextureF(int32_t n, bool force) {
  if (namePattern.Length() == 0) return false;
  char name[FixedPath::kCapacity];
  SafeFormatInt(name, sizeof name, namePattern.CStr(), n);
  return SetTexture(name, force);
}

void CVMenuWindow::SetMovie(const char* name, bool force) {
  if (!sprite || !name) return;
  if (!force && pictureName.Equals(name)) return;
  CloseMovie();
  if (flags.Test(kWfLoadOnOpen)) ReleaseSpritePicture();
  if (flags.Test(kWfHold)) {
    pictureName.Assign(name);
    return;
  }
  FixedPath path;
  GetMenuMgr().ProgramDirectory().Concat(path, name);
  WidgetMoviePort* port = GetWidgetMoviePort();
  const int32_t id = path.IsValid() && port ? port->Open(path.CStr()) : -1;
  if (id < 0) {
    char text[FixedPath::kCapacity + 64];
    std::snprintf(text, sizeof text, "%s\nの読み込みに失敗しました。", name);
    ShowErrorBox(text, "ファイルロードエラー");
    return;
  }
  movieId = id;
  uint32_t w = 0, h = 0;
  port->GetVideoSize(id, &w, &h);
  sprite->SetSourceX(0);
  sprite->SetSourceY(0);
  sprite->SetCellWidth(static_cast<float>(w));
  sprite->SetCellHeight(static_cast<float>(h));
  sprite->SetWidth(static_cast<float>(w));
  sprite->SetHeight(static_cast<float>(h));
  sprite->columns = 1;
  sprite->rows = 1;
  sprite->CreateBlankTexture();
  port->SetTarget(id, sprite->texture);
  if (flags.Test(kWfLoadOnOpen)) AddEffectShader();
  pictureName.Assign(name);
}

void CVMenuWindow::SetMovieLoop(bool loop) {
  if (movieId < 0) return;
  if (WidgetMoviePort* port = GetWidgetMoviePort()) port->Play(movieId, loop);
  movieLoop = loop ? 1 : 0;
}

bool CVMenuWindow::IsMovieStopped() {
  WidgetMoviePort* port = GetWidgetMoviePort();
  return movieId >= 0 && port && port->IsFinished(movieId);
}

void CVMenuWindow::CloseMovie() {
  if (movieId < 0) return;
  if (WidgetMoviePort* port = GetWidgetMoviePort()) port->Close(movieId);
  movieId = -1;
  movieLoop = 0;
}

void CVMenuWindow::LoadImageFile(const char* name, bool force) {
  char ext[8];
  LowerExtension(name, ext, sizeof ext);
  if (!std::strcmp(ext, "tig") || !std::strcmp(ext, "tds") || !std::strcmp(ext, "png"))
    SetTexture(name, force);
  else if (!std::strcmp(ext, "mdm") || !std::strcmp(ext, "mpg") || !std::strcmp(ext, "avi"))
    SetMovie(name, false);
  else if (!std::strcmp(ext, "x"))
    SetSpriteBoard(name, force);
}

void CVMenuWindow::SetSpriteBoard(const char* name, bool force) {
  if (sprite && !flags.Test(kWfHold)) sprite->SetBoardModeByName(name, force);
}

void CVMenuWindow::SetSpriteBoardMode(int32_t mode) {
  if (sprite && !flags.Test(kWfHold)) sprite->SetBoardMode(mode);
}

void CVMenuWindow::SetSpriteFlag1() {
  if (sprite) sprite->RequestModelAnimation();
}

void CVMenuWindow::FitSpriteToTexture() {
  if (!sprite || !sprite->texture) return;
  const float tw = static_cast<float>(sprite->texture->GetWidth());
  const float th = static_cast<float>(sprite->texture->GetHeight());
  const float cw = sprite->columns > 0 ? tw / static_cast<float>(sprite->columns) : 0.0f;
  const float ch = sprite->rows > 0 ? th / static_cast<float>(sprite->rows) : 0.0f;
  SetSize(cw, ch);
  sprite->SetWidth(cw);
  sprite->SetHeight(ch);
  sprite->SetCellWidth(cw);
  sprite->SetCellHeight(ch);
}

void CVMenuWindow::SetScaleFactor(bool on, const Vector3& factor) {
  flags.Set(kWfHalfExtent, on);
  halfExtent = Vector3(scale.x * factor.x, scale.y * factor.y, scale.z * factor.z);
}

bool CVMenuWindow::HitTest(int32_t x, int32_t y) {
  if (flags.Test(kWfNoHit)) return false;
  if (flags.Test(kWfPixelHit)) return sprite && sprite->HitTest(static_cast<float>(x), static_cast<float>(y));
  if (static_cast<float>(GetMenuMgr().GetDepthBound()) > GetWorldZ()) return false;
  if (!sprite) return false;
  Matrix44 inv;
  if (!worldMatrix.Inverse(inv)) return false;
  Vector3 l;
  inv.TransformCoord(Vector3(static_cast<float>(x), static_cast<float>(y), 0.0f), l);
  auto cut = [](float v) { return std::trunc(v < 0.0f ? v - 0.001f : v + 0.001f); };
  const float lx = cut(l.x), ly = cut(l.y);
  const float w = static_cast<float>(RoundNudged(sprite->width));
  const float h = static_cast<float>(RoundNudged(sprite->height));
  return lx >= 0.0f && ly >= 0.0f && lx < w && ly < h;
}

bool CVMenuWindow::RenderWidgetsToTexture(const std::vector<CVMenuBase*>& widgets) {
  CDGManager* mgr = GetDGManager();
  if (!mgr) return false;
  mgr->ClearOverlayList();
  std::vector<std::pair<CVMenuBase*, int32_t>> added;
  for (CVMenuBase* w : widgets) {
    if (!w || !w->IsDrawable(0)) continue;
    const int32_t key = w->AddShader(CreateMultiplyAlphaShader(), false, 0);
    added.emplace_back(w, key);
    w->ApplyShaderParams();
    if (CDGRendererBase* r = w->GetRenderer()) mgr->AddToOverlayList(r);
  }
  const int tw = RoundNudged(size.x), th = RoundNudged(size.y);
  bool made = false;
  if (tw > 0 && th > 0) {
    if (CDGTexture* target = mgr->RenderToTexture(tw, th)) {
      // The captured picture moves into a plain texture holder the sprite can own.
      CVTexture* holder = GetTextureMgr()->CreateTexture();
      if (holder && holder->CreateEmpty(tw, th) && holder->GetTexture() &&
          holder->GetTexture()->CopyFromTexture(target, nullptr, nullptr)) {
        made = SetTextureObject(holder, false);
      } else if (holder) {
        holder->Drop();
      }
      target->Release();
    }
  }
  mgr->ClearOverlayList();
  for (auto& [w, key] : added)
    if (key >= 0) w->RemoveShader(key);
  return made;
}

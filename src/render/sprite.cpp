#include "render/sprite.h"

#include <cmath>
#include <cstring>
#include <string>

#include "core/file_io.h"
#include "core/game_file.h"
#include "render/board_renderer.h"
#include "render/dg_manager.h"
#include "render/dg_math.h"
#include "render/file_load.h"
#include "render/model/model_renderer.h"
#include "render/texture_holder.h"

namespace {

BoardDef g_boardDef{};

// Truncation after moving the value 1.1920929e-7 away from zero.
float Nudge(float v) { return v < 0 ? v - 1.1920929e-7f : v + 1.1920929e-7f; }
int32_t TruncNudged(float v) { return static_cast<int32_t>(std::trunc(Nudge(v))); }
bool IsNegativeSize(float v) { return TruncNudged(v) <= -1; }

uint32_t PackChannel(float v) {
  const float f = v / 255.0f;
  if (f >= 1.0f) return 255;
  if (f <= 0.0f) return 0;
  return static_cast<uint32_t>(std::trunc(f * 255.0f + 0.5f));
}

}  // namespace

BoardDef& GetBoardDef() { return g_boardDef; }

void LoadBoardDef() {
  std::memset(&g_boardDef, 0, sizeof g_boardDef);
  const std::string path = std::string(GetModuleDir()) + "Data\\Model\\boarddef.bin";
  uint8_t* data = nullptr;
  const int32_t size = ReadWholeFile(path.c_str(), &data);
  if (size < 0 || !data) return;
  std::memcpy(&g_boardDef, data, std::min<size_t>(static_cast<size_t>(size), sizeof g_boardDef));
  FreeFileBuffer(data);
  // The names are used as strings: make sure they end.
  g_boardDef.textureName[sizeof g_boardDef.textureName - 1] = 0;
  g_boardDef.modelFile[sizeof g_boardDef.modelFile - 1] = 0;
}

void BoardModelScale(const BoardDef& def, float* sx, float* sy, float* offX, float* offY) {
  *sx = def.widthPercent ? 1280.0f / (static_cast<float>(def.widthPercent) / 100.0f) : 1280.0f;
  *sy = def.heightPercent ? 720.0f / (static_cast<float>(def.heightPercent) / 100.0f) : 720.0f;
  *offX = static_cast<float>(def.offsetXPercent) * *sx / 100.0f;
  *offY = static_cast<float>(def.offsetYPercent) * *sy / 100.0f;
}

uint32_t PackSpriteColor(const Color& c) {
  return PackChannel(c.a) << 24 | PackChannel(c.r) << 16 | PackChannel(c.g) << 8 | PackChannel(c.b);
}

SpriteCellRect SpriteCell(int32_t cell, int32_t columns, float cellWidth, float cellHeight, float uvLeft, float uvTop,
                          bool flipX, bool flipY) {
  if (columns < 1) columns = 1;
  const int32_t col = cell % columns, row = cell / columns;
  const float u = std::trunc(static_cast<float>(col) * cellWidth + uvLeft);
  const float v = std::trunc(Nudge(static_cast<float>(row) * cellHeight + uvTop));
  SpriteCellRect r;
  r.left = flipX ? u + cellWidth : u;
  r.width = flipX ? -cellWidth : cellWidth;
  r.top = flipY ? v + cellHeight : v;
  r.height = flipY ? -cellHeight : cellHeight;
  return r;
}

CVSprite::CVSprite(int32_t listId) : CVListBase(listId) {}

CVSprite::~CVSprite() { ReleaseResources(false); }

void CVSprite::Release() { ReleaseResources(false); }

void CVSprite::DropTexture() {
  if (texture) texture->Drop();
  texture = nullptr;
}

void CVSprite::ReleaseResources(bool keepTexture) {
  if (!keepTexture) DropTexture();
  ReleaseRenderers();
}

void CVSprite::ReleaseRenderers() {
  if (boardRenderer) boardRenderer->Release();
  boardRenderer = nullptr;
  if (modelRenderer) modelRenderer->Release();
  modelRenderer = nullptr;
}

CDGRendererBase* CVSprite::GetRenderer() {
  if (rendererKind == 0) return boardRenderer;
  if (rendererKind == 1) return modelRenderer;
  return nullptr;
}

void CVSprite::SelectRenderer(int32_t kind) {
  if (kind == 0) {
    if (modelRenderer) modelRenderer->Release();
    modelRenderer = nullptr;
    if (!boardRenderer && GetDGManager()) boardRenderer = new CDGBoardRenderer(GetDGManager());
  } else if (kind == 1) {
    if (boardRenderer) boardRenderer->Release();
    boardRenderer = nullptr;
    if (!modelRenderer && GetDGManager()) {
      modelRenderer = new CDGModelRenderer(GetDGManager());
      textureChanged = true;  // the new model takes the sprite's texture
    }
  }
  rendererKind = kind;
}

void CVSprite::SetBoardMode(int32_t mode) {
  if (mode == 1) {
    SelectRenderer(0);
    boardMode = 1;
    flags.Set(kFlagAnimRequest, 0);
    flags.Set(kFlagAnimPlaying, 0);
    flags.Set(kFlagAnimStopped, 0);
    return;
  }
  SelectRenderer(1);
  if (modelRenderer && mode != boardMode && mode == 0) {
    const BoardDef& def = GetBoardDef();
    const std::string path = std::string(GetModuleDir()) + def.modelFile;
    auto* loader = new CDGFileLoad_QZT(path.c_str());
    modelRenderer->LoadModel(loader);
    loader->Release();
    textureChanged = true;
  }
  boardMode = mode;
}

void CVSprite::SetBoardModeByName(const char* name, bool force) {
  if (!name) {
    SetBoardMode(1);
    return;
  }
  if (force) {
    SetBoardMode(0);
    return;
  }
  // A missing definition has an empty name, which must not match an empty sprite name.
  const BoardDef& def = GetBoardDef();
  if (def.textureName[0] && std::strcmp(name, def.textureName) == 0) SetBoardMode(0);
}

void CVSprite::TakeSizesFromTexture() {
  if (!texture) return;
  const float tw = static_cast<float>(texture->GetWidth()), th = static_cast<float>(texture->GetHeight());
  if (columns < 1) columns = 1;
  if (rows < 1) rows = 1;
  if (!sizeFixed || IsNegativeSize(cellWidth)) cellWidth = tw / static_cast<float>(columns);
  if (!sizeFixed || IsNegativeSize(width)) width = tw;
  if (!sizeFixed || IsNegativeSize(cellHeight)) cellHeight = th / static_cast<float>(rows);
  if (!sizeFixed || IsNegativeSize(height)) height = th;
}

void CVSprite::SetTexture(CVTexture* holder) {
  if (holder != texture) DropTexture();
  texture = holder;
  SelectRenderer(rendererKind);
  changed = true;
  textureChanged = true;
  TakeSizesFromTexture();
}

void CVSprite::LoadTexture(const char* name) {
  const bool mip = flags.Test(kFlagMipmapped);
  CVTexture* holder = texture;
  if (!holder) {
    holder = GetTextureMgr()->GetTexture(name, false, mip);
  } else if (!holder->Load(name, mip)) {
    holder = nullptr;
    DropTexture();
  }
  SetTexture(holder);
}

void CVSprite::LoadTextureFlagged(const char* name) {
  CVTexture* holder = texture;
  const int32_t l = TruncNudged(uvLeft), t = TruncNudged(uvTop), w = TruncNudged(cellWidth),
                h = TruncNudged(cellHeight);
  if (!holder) {
    holder = GetTextureMgr()->GetTextureFlagged(name, l, t, w, h);
  } else if (!holder->LoadFlagged(name, l, t, w, h)) {
    holder = nullptr;
    DropTexture();
  }
  SetTexture(holder);
  uvLeft = 0;
  uvTop = 0;
}

void CVSprite::CreateBlankTexture() {
  CVTexture* holder = texture ? texture : GetTextureMgr()->CreateTexture();
  // Sizes that no texture could have (negative, huge, not a number) make no texture.
  const auto side = [](float v) { return v >= 0.0f && v < 65536.0f ? static_cast<int32_t>(std::trunc(v)) : 0; };
  holder->CreateEmpty(side(width), side(height));
  SetTexture(holder);
}

void CVSprite::SetCellGrid(int32_t cols, int32_t rws, float w, float h) {
  // A zero grid would divide by zero; one cell is the nearest sensible grid.
  columns = cols < 1 ? 1 : cols;
  rows = rws < 1 ? 1 : rws;
  if (IsNegativeSize(w)) w = texture ? static_cast<float>(texture->GetWidth()) : 0.0f;
  if (IsNegativeSize(h)) h = texture ? static_cast<float>(texture->GetHeight()) : 0.0f;
  cellWidth = width = w / static_cast<float>(columns);
  cellHeight = height = h / static_cast<float>(rows);
  changed = true;
}

void CVSprite::SetMatrix(const Matrix44& m) {
  if (std::memcmp(&m.m[0][0], &matrix.m[0][0], sizeof m.m) != 0) {
    matrix = m;
    changed = true;
  }
}

void CVSprite::SetScale(const Vector3& s) {
  if (s.x != scale.x || s.y != scale.y || s.z != scale.z) {
    scale = s;
    changed = true;
  }
}

void CVSprite::SetVertexColour(int index, const Color& c) {
  if (index < 0 || index > 3) return;
  if (vertexColour[index] != c) {
    vertexColour[index] = c;
    changed = true;
  }
}

void CVSprite::SetFlag(int bit, bool on) {
  if (flags.Test(bit) != on) {
    flags.Set(bit, on);
    changed = true;
  }
}

void CVSprite::SetFlag5Vector(bool on, const Vector3& v) {
  SetFlag(kFlagPivot, on);
  if (v.x != extraVector.x || v.y != extraVector.y || v.z != extraVector.z) {
    extraVector = v;
    changed = true;
  }
}

void CVSprite::Setup(const char* name, const Vector3& pos, const Color& colour, float w, float h, int32_t cols,
                     int32_t rws, float rotX, float rotY, float rotZ, float uvL, float uvT, float uvWidth,
                     float uvHeight, bool flagged, bool share, bool load) {
  if (cols < 1) cols = 1;
  if (rws < 1) rws = 1;
  if (load) {
    DropTexture();
    texture = flagged ? GetTextureMgr()->GetTextureFlagged(name, TruncNudged(uvL), TruncNudged(uvT),
                                                           TruncNudged(uvWidth), TruncNudged(uvHeight))
                      : GetTextureMgr()->GetTexture(name, share, false);
    SelectRenderer(rendererKind);
    changed = textureChanged = sizeFixed = true;
    if (texture) {
      if (IsNegativeSize(uvWidth)) {
        uvWidth = static_cast<float>(texture->GetWidth());
        sizeFixed = false;
      }
      if (IsNegativeSize(w)) {
        w = uvWidth;
        sizeFixed = false;
      }
      if (IsNegativeSize(uvHeight)) {
        uvHeight = static_cast<float>(texture->GetHeight());
        sizeFixed = false;
      }
      if (IsNegativeSize(h)) {
        h = uvHeight;
        sizeFixed = false;
      }
    }
  }
  position = pos;
  columns = cols;
  rows = rws;
  width = w / static_cast<float>(cols);
  height = h / static_cast<float>(rws);
  rotation = Vector3(rotX, rotY, rotZ);
  uvLeft = uvL;
  uvTop = uvT;
  cellWidth = uvWidth / static_cast<float>(cols);
  cellHeight = uvHeight / static_cast<float>(rws);
  for (Color& c : vertexColour) c = colour;
  cell = 0;
  scale = Vector3(1, 1, 1);
  flags.Set(0, 0);
  UpdateAnimation(1.0f, true);
}

// Only 3-D boards animate: flag 1 asks for a restart, flag 2 marks playing, flag 3 is set on
// every step on which the model is not playing.
void CVSprite::UpdateAnimation(float /*elapsed*/, bool /*advance*/) {
  if (!modelRenderer) return;
  if (flags.Test(kFlagAnimStopped)) flags.Set(kFlagAnimStopped, 0);
  if (flags.Test(kFlagAnimRequest)) {
    modelRenderer->RestartAnimation(false);
    flags.Set(kFlagAnimRequest, 0);
    flags.Set(kFlagAnimPlaying, 1);
  }
  if (!modelRenderer->IsPlaying()) {
    flags.Set(kFlagAnimPlaying, 0);
    flags.Set(kFlagAnimStopped, 1);
  }
}

bool CVSprite::UpdateModelRenderer(bool queueArg) {
  CDGModelRenderer* m = modelRenderer;
  float sx = 0, sy = 0, offX = 0, offY = 0;
  BoardModelScale(GetBoardDef(), &sx, &sy, &offX, &offY);
  Vector3 o;
  matrix.GetTranslation(o);
  m->SetScale(Vector3(sx * scale.x, sy * scale.y, scale.z));
  m->SetRotation(Vector3(rotation.x, rotation.y + 3.14159265f, rotation.z));
  m->SetPosition(Vector3(o.x - offX, -o.y - offY, o.z));
  m->UpdateWorldMatrix();
  if (texture && textureChanged) {
    m->SetTextureAll(texture->GetTexture());
    textureChanged = false;
  }
  m->Queue(queueArg);
  return true;
}

bool CVSprite::UpdateRenderer(bool flipX, bool flipY, bool queueArg) {
  if (rendererKind == 1 && modelRenderer) return UpdateModelRenderer(queueArg);
  if (rendererKind != 0 || !boardRenderer) return false;
  CDGBoardRenderer* b = boardRenderer;
  if (changed) {
    const Vector3 corner(-width * scale.x / 2.0f, -height * scale.y / 2.0f, 0.0f);
    Vector3 o;
    matrix.GetTranslation(o);
    const Vector3 ctr(o.x - corner.x, o.y - corner.y, o.z - corner.z);
    Matrix44 r;
    matrix.RemoveTranslationScale(r);
    const Vector3 ax = TransformNormal(Vector3(1, 0, 0), r);
    const Vector3 ay = TransformNormal(Vector3(0, 1, 0), r);
    const Vector3 rc = TransformNormal(corner, r);
    const Vector3 p(ctr.x + rc.x, ctr.y + rc.y, ctr.z + rc.z);

    b->SetTexture(texture ? texture->GetTexture() : nullptr);
    if (flags.Test(kFlagScreen)) {
      b->SetMode(CDGBoardRenderer::kScreen);
      b->SetPosition(p.x, p.y, p.z);
      b->SetAxes(ax, ay);
    } else {
      b->SetMode(CDGBoardRenderer::kWorld);
      if (flags.Test(kFlagCameraSpace))
        b->SetPosition(p.x, p.y, p.z);
      else
        b->SetPosition(640.0f - p.x, 360.0f - p.y, p.z);
      b->SetAxes(Vector3(-ax.x, -ax.y, ax.z), Vector3(-ay.x, -ay.y, ay.z));
    }
    b->SetSize(width * scale.x, height * scale.y);
    b->SetColors(PackSpriteColor(vertexColour[0]), PackSpriteColor(vertexColour[1]), PackSpriteColor(vertexColour[2]),
                 PackSpriteColor(vertexColour[3]));
    const SpriteCellRect rc2 = SpriteCell(cell, columns, cellWidth, cellHeight, uvLeft, uvTop, flipX, flipY);
    b->SetSourceRect(rc2.left, rc2.top, rc2.width, rc2.height);
    b->SetFacing(flags.Test(kFlagPivot), extraVector.x, extraVector.y, extraVector.z);
    b->additive = flags.Test(kFlagAdditive) ? 1u : 0u;
    b->depthTestKept = flags.Test(kFlagNoDepth) ? 0 : 1;
    if (b->BuildVertices()) changed = false;
  }
  b->Queue(queueArg);
  return true;
}

bool CVSprite::HitTest(float x, float y) {
  return rendererKind == 0 && boardRenderer && boardRenderer->HitTestPixel(x, y);
}

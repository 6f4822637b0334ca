// The picture behind every picture widget: one cell of a texture divided into a grid, placed by a
// world matrix, tinted by four corner colours, pushed to a flat board renderer only when one of
// its values changed.
#pragma once
#include <cstdint>

#include "core/cv_flag.h"
#include "core/cv_list.h"
#include "core/vmath.h"

class CVTexture;
class CDGBoardRenderer;
class CDGModelRenderer;
class CDGRendererBase;

#pragma pack(push, 1)
struct BoardDef {
  char textureName[16];
  char modelFile[32];
  uint32_t widthPercent;
  uint32_t heightPercent;
  uint32_t offsetXPercent;
  uint32_t offsetYPercent;
};
#pragma pack(pop)
static_assert(sizeof(BoardDef) == 64);

// Reads "Data\Model\boarddef.bin" (zeros when missing or short).
void LoadBoardDef();
BoardDef& GetBoardDef();
// The 3-D board's scale and offset from the board definition: a zero or missing percentage falls
// back to the full 1280 x 720 picture.
void BoardModelScale(const BoardDef& def, float* sx, float* sy, float* offX, float* offY);

// A corner colour (components 0..255, clamped) as A<<24 | R<<16 | G<<8 | B.
uint32_t PackSpriteColor(const Color& c);

struct SpriteCellRect {
  float left, top, width, height;
};
SpriteCellRect SpriteCell(int32_t cell, int32_t columns, float cellWidth, float cellHeight, float uvLeft, float uvTop,
                          bool flipX, bool flipY);

class CVSprite : public CVListBase {
 public:
  enum Flag {
    kFlagAnimRequest = 1,
    kFlagAnimPlaying = 2,
    kFlagAnimStopped = 3,
    kFlagScreen = 4,
    kFlagPivot = 5,
    kFlagCameraSpace = 6,
    kFlagAdditive = 7,
    kFlagNoDepth = 8,
    kFlagMipmapped = 9,
  };

  explicit CVSprite(int32_t listId = -1);
  ~CVSprite() override;
  // Frees the texture holder and both renderers.
  void Release() override;
  virtual void ReleaseResources(bool keepTexture);
  virtual CDGRendererBase* GetRenderer();

  void Setup(const char* name, const Vector3& position, const Color& colour, float width, float height, int32_t columns,
             int32_t rows, float rotX, float rotY, float rotZ, float uvLeft, float uvTop, float uvWidth, float uvHeight,
             bool flagged, bool share, bool load);
  void SetTexture(CVTexture* holder);
  void LoadTexture(const char* name);
  void LoadTextureFlagged(const char* name);
  void CreateBlankTexture();
  void SetCellGrid(int32_t columns, int32_t rows, float w, float h);

  void SetWidth(float v) { Change(width, v); }
  void SetHeight(float v) { Change(height, v); }
  void SetCellWidth(float v) { Change(cellWidth, v); }
  void SetCellHeight(float v) { Change(cellHeight, v); }
  void SetSourceX(float v) { Change(uvLeft, v); }
  void SetSourceY(float v) { Change(uvTop, v); }
  void SetCell(int32_t v) { Change(cell, v); }
  void SetMatrix(const Matrix44& m);
  void SetScale(const Vector3& s);
  void SetVertexColour(int index, const Color& c);
  void SetFlag(int bit, bool on);
  void SetFlag5Vector(bool on, const Vector3& v);

  void SelectRenderer(int32_t kind);
  void SetBoardMode(int32_t mode);
  void SetBoardModeByName(const char* name, bool force);
  void RequestModelAnimation() { flags.Set(kFlagAnimRequest, 1); }
  bool IsChanged() const { return changed; }
  void ClearChanged() { changed = false; }
  void ReleaseRenderers();

  void UpdateAnimation(float elapsed, bool advance);
  // Pushes changed values to the renderer and queues it; true when queued.
  bool UpdateRenderer(bool flipX, bool flipY, bool queueArg);
  // Per-pixel test at screen (x, y): on the drawn board and not a transparent texel.
  bool HitTest(float x, float y);

  CVTexture* texture = nullptr;
  int32_t rendererKind = 0;
  int32_t boardMode = 1;
  CDGBoardRenderer* boardRenderer = nullptr;
  CDGModelRenderer* modelRenderer = nullptr;  // 3-D boards come with the model renderer
  Matrix44 matrix;
  Vector3 position{0, 0, 0};
  float width = 0, height = 0;
  float uvLeft = 0, uvTop = 0;
  float cellWidth = 0, cellHeight = 0;
  Vector3 scale{0, 0, 0};
  Vector3 rotation{0, 0, 0};
  Vector3 extraVector{0, 0, 0};
  Color vertexColour[4] = {Color(0, 0, 0, 255), Color(0, 0, 0, 255), Color(0, 0, 0, 255), Color(0, 0, 0, 255)};
  int32_t columns = 1, rows = 1;
  int32_t cell = 0;
  bool changed = false;
  bool textureChanged = false;
  bool sizeFixed = false;
  CVFlag flags;

 private:
  template <typename T>
  void Change(T& field, T v) {
    if (field != v) {
      field = v;
      changed = true;
    }
  }
  void TakeSizesFromTexture();
  bool UpdateModelRenderer(bool queueArg);
  void DropTexture();
};

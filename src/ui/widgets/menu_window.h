// The picture widget: a plain grouping window (type 0) or a window with a sprite (type 2) that
// shows a texture, a movie drawn into a texture, or a 3-D board, cut into a grid of patterns that
// the widget state selects.
#pragma once
#include <cstdint>
#include <vector>

#include "core/fixed_path.h"
#include "ui/widgets/widget_base.h"

class CVSprite;
class CVTexture;

class CVMenuWindow : public CVMenuBase {
 public:
  CVMenuWindow() = default;
  ~CVMenuWindow() override;

  void Release() override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Draw(int32_t arg) override;
  // Submits the sprite for drawing (a side effect the cover capture relies on); true when drawn.
  bool IsDrawable(int32_t skipFresh) override;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Close() override;
  int32_t SetState(int32_t state, int32_t force) override;
  // The picture cell a state shows: the state itself for a plain window (a button maps its looks).
  virtual int32_t CellForState(int32_t state) const { return state; }
  void SetFlagAll(int bit, bool on) override;
  void SetFlag(int bit, bool on) override;
  void SetFlagByType(uint32_t type, int bit, bool on) override;
  CDGRendererBase* GetRenderer() override;
  CDGTexture* GetTextureHandle() override;
  // Draws the drawable widgets of the list into a texture of this window's size and shows it.
  virtual bool RenderWidgetsToTexture(const std::vector<CVMenuBase*>& widgets);

  bool SetTexture(const char* name, bool force);
  bool SetTextureObject(CVTexture* texture, bool force);
  // The name pattern formatted with n (integer conversions only).
  bool SetTextureF(int32_t n, bool force);
  void SetMovie(const char* name, bool force);
  void SetMovieLoop(bool loop);
  bool IsMovieStopped();
  void CloseMovie();
  // By extension, case-insensitive: tig/tds/png texture, mdm/mpg/avi movie, x board.
  void LoadImageFile(const char* name, bool force);
  void SetSpriteBoard(const char* name, bool force);
  void SetSpriteBoardMode(int32_t mode);
  void SetSpriteFlag1();
  void FitSpriteToTexture();
  void SetScaleFactor(bool on, const Vector3& factor);
  bool HitTest(int32_t x, int32_t y);

  CVSprite* GetSprite() const { return sprite; }
  void SetNamePattern(const char* pattern) { namePattern.Assign(pattern); }

  CVSprite* sprite = nullptr;  // owned; present for type 2
  FixedPath pictureName;
  FixedPath namePattern;
  Vector3 vectorA{0, 0, 0};  // full bar size (cell size at creation)
  Vector3 halfExtent{0, 0, 0};
  int32_t movieId = -1;
  int32_t movieLoop = 0;

 protected:
  void ReloadPicture();
  void ReleaseSpritePicture();
};

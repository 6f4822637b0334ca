#include "tests/support/placeholder_scene.h"

#include "core/display_layout.h"
#include "core/game_clock.h"
#include "platform/sdl/gl_canvas.h"

bool PlaceholderSceneMgr::UpdateFrameTimer() {
  uint32_t now = GetGameTimeMs();
  if (!started_) {
    started_ = true;
    lastMs_ = now - 17;
  }
  uint32_t elapsed = now - lastMs_;
  // Due at 16.667 ms or more: elapsed × 3 ≥ 50.
  if (static_cast<uint64_t>(elapsed) * 3 < 50) return false;
  ratio_ = static_cast<float>(elapsed) * 3.0f / 50.0f;
  fps_ = 1000.0f / static_cast<float>(elapsed);
  lastMs_ = now;
  return true;
}

void PlaceholderSceneMgr::Update() {
  input_.Update();
  ++card_.steps;
  card_.boxX += 8 * dir_;
  if (card_.boxX <= 0) {
    card_.boxX = 0;
    dir_ = 1;
  } else if (card_.boxX >= kBackBufferW - card_.boxSize) {
    card_.boxX = kBackBufferW - card_.boxSize;
    dir_ = -1;
  }
}

void PlaceholderSceneMgr::Draw() { drawn_ = card_; }

void DrawTestCard(const TestCard& card, int drawableW, int drawableH) {
  DisplayLayout l = GetDisplayLayout();
  plat::GlClearAll(drawableW, drawableH, 0.0f, 0.0f, 0.0f);
  auto fill = [&](int32_t x, int32_t y, int32_t w, int32_t h, float r, float g, float b) {
    // Back-buffer rectangle -> drawable pixels through the picture rectangle.
    int64_t x0 = l.pictureX + static_cast<int64_t>(x) * l.pictureW / kBackBufferW;
    int64_t y0 = l.pictureY + static_cast<int64_t>(y) * l.pictureH / kBackBufferH;
    int64_t x1 = l.pictureX + static_cast<int64_t>(x + w) * l.pictureW / kBackBufferW;
    int64_t y1 = l.pictureY + static_cast<int64_t>(y + h) * l.pictureH / kBackBufferH;
    plat::GlFillRect(drawableW, drawableH, static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                     static_cast<int>(y1 - y0), r, g, b);
  };
  static const float kBars[8][3] = {{0.75f, 0.75f, 0.75f}, {0.75f, 0.75f, 0}, {0, 0.75f, 0.75f}, {0, 0.75f, 0},
                                    {0.75f, 0, 0.75f},     {0.75f, 0, 0},     {0, 0, 0.75f},     {0.1f, 0.1f, 0.1f}};
  for (int i = 0; i < 8; ++i) fill(i * 160, 0, 160, 480, kBars[i][0], kBars[i][1], kBars[i][2]);
  fill(0, 480, kBackBufferW, 240, 0.12f, 0.12f, 0.12f);
  fill(card.boxX, card.boxY, card.boxSize, card.boxSize, 1.0f, 1.0f, 1.0f);
}

bool TestCardPicture::DrawPicture(const DisplayLayout& layout) {
  DrawTestCard(scene_ ? scene_->DrawnCard() : TestCard{}, layout.displayW, layout.displayH);
  return !plat::GlTakeError();
}

#include "render_demo.h"

#include <cmath>
#include <string>

#include "core/game_file.h"
#include "render/sprite.h"

namespace {

constexpr int kCells = 8;

std::string DemoPath(const char* name) { return std::string(GetModuleDir()) + "Data\\Demo\\" + name; }

}  // namespace

RenderDemo::~RenderDemo() {
  delete panel_;
  delete emblem_;
  for (CVSprite* s : cells_) delete s;
}

bool RenderDemo::Load() {
  const Color white(255, 255, 255, 255);
  panel_ = new CVSprite();
  panel_->Setup(DemoPath("panel.tds").c_str(), Vector3(), white, 1200, 560, 1, 1, 0, 0, 0, 0, 0, -1, -1, false, false,
                true);
  emblem_ = new CVSprite();
  emblem_->Setup(DemoPath("emblem.tig").c_str(), Vector3(), white, -1, -1, 1, 1, 0, 0, 0, 0, 0, -1, -1, false, false,
                 true);
  emblem_->SetFlag(CVSprite::kFlagAdditive, true);
  const std::string sheet = DemoPath("sheet.png");
  for (int i = 0; i < kCells; ++i) {
    auto* s = new CVSprite();
    // The sheet is 4 x 2 cells; all sprites share one holder.
    s->Setup(sheet.c_str(), Vector3(), white, -1, -1, 4, 2, 0, 0, 0, 0, 0, -1, -1, false, true, true);
    s->SetCell(i);
    cells_.push_back(s);
  }
  Place();
  if (!panel_->texture || !emblem_->texture) return false;
  for (CVSprite* s : cells_)
    if (!s->texture) return false;
  return true;
}

void RenderDemo::Step() {
  ++steps_;
  Place();
}

void RenderDemo::Place() {
  const float t = static_cast<float>(steps_);
  panel_->SetMatrix(MakeTranslationMatrix(40, 40, 0));
  const float pulse = 1.0f + 0.15f * std::sin(t * 0.08f);
  emblem_->SetScale(Vector3(pulse, pulse, 1));
  emblem_->SetMatrix(MakeTranslationMatrix(640 - 64, 200 - 64, 2));
  for (int i = 0; i < kCells; ++i) {
    CVSprite* s = cells_[i];
    const float x = 80.0f + std::fmod(t * 4.0f + i * 150.0f, 1060.0f);
    const float y = 380.0f + 40.0f * std::sin(t * 0.05f + static_cast<float>(i));
    s->SetMatrix(MakeTranslationMatrix(x, y, 1));
    s->SetCell(static_cast<int32_t>((static_cast<uint32_t>(i) + steps_ / 30) % kCells));
  }
}

void RenderDemo::Queue() {
  if (panel_) panel_->UpdateRenderer(false, false, true);
  for (size_t i = 0; i < cells_.size(); ++i) cells_[i]->UpdateRenderer(i == 3, false, true);
  if (emblem_) emblem_->UpdateRenderer(false, false, true);
}

// A drawing scene for the loader test: a "tds" panel, a
// PNG sprite sheet whose cells move and animate (one mirrored), and an additive "tig" emblem, all
// read from Data\Demo.SZS. It draws through the same sprites and boards as the game.
#pragma once
#include <cstdint>
#include <vector>

class CVSprite;

class RenderDemo {
 public:
  RenderDemo() = default;
  ~RenderDemo();
  RenderDemo(const RenderDemo&) = delete;
  RenderDemo& operator=(const RenderDemo&) = delete;

  // Loads the pictures through the device manager (GetDGManager). False when any is missing.
  bool Load();
  // One logic step: moves and animates.
  void Step();
  // Queues every sprite for the next frame.
  void Queue();
  uint32_t Steps() const { return steps_; }

 private:
  void Place();
  CVSprite* panel_ = nullptr;
  CVSprite* emblem_ = nullptr;
  std::vector<CVSprite*> cells_;
  uint32_t steps_ = 0;
};

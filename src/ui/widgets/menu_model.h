// The model widget: a .x model placed by the widget's world position, rotation (radians) and
// scale; loaded on Open, freed on Close; reports for one frame each when the model's own
// animation starts and ends.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/fixed_path.h"
#include "ui/widgets/widget_base.h"

class CVMenuModel : public CVMenuBase {
 public:
  enum : uint16_t { kPlaying = 1, kStarted = 2, kEnded = 4 };

  ~CVMenuModel() override;
  void Release() override;
  void Update(int32_t x, int32_t y, uint32_t click) override;
  void Draw(int32_t arg) override;
  bool IsDrawable(int32_t arg) override;
  void Open(int32_t a, int32_t b, int32_t c) override;
  void Close() override;

  // Unless the name is unchanged and force is 0: loads the file into the renderer.
  bool LoadModel(const char* name, bool force);
  bool SetModelF(int32_t n);
  void SetAnimation(int32_t n);
  bool LoadModelWithTextures(const char* name, const std::vector<std::string>& textures);
  bool LoadModelOne(const char* name, const char* a, const char* b);
  MenuModelRenderer* Renderer() const { return renderer; }

  uint16_t modelFlags = 0;
  MenuModelRenderer* renderer = nullptr;  // owned
  FixedPath modelName;
  FixedPath namePattern;

 private:
  void DropRenderer();
};

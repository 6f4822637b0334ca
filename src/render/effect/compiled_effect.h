// An effect file compiled on one device: the parsed description and one program per pass.
#pragma once
#include <string>
#include <vector>

#include "platform/gl/gfx_device.h"
#include "render/effect/effect_file.h"

struct CompiledEffect {
  struct Pass {
    plat::ProgramId program = 0;
    std::vector<int> locations;  // per parameter of desc, -1 when the pass does not use it
  };
  plat::GfxDevice* device = nullptr;
  EffectDesc desc;
  std::vector<std::vector<Pass>> techniques;  // [technique][pass]

  ~CompiledEffect();
  // Parses and compiles; false with a message (nothing is kept) on failure.
  bool Build(plat::GfxDevice* dev, const std::string& text, std::string* error);
};

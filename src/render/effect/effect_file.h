// The effect file format (".cfx"): a readable text holding typed parameters, techniques of one
// or more passes, per-pass render and sampler state, and GLSL for each pass. See docs/effects.md.
// Parsing only; compiling the passes is the device's business.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class EffectParamType : uint8_t { Float, Float2, Float4, Int, Matrix, Texture };

struct EffectParam {
  std::string name;
  EffectParamType type = EffectParamType::Float;
  int count = 1;  // array length (1 for a single value)
  // Floats (or ints, one per slot) this parameter occupies.
  int Components() const;
  int Slots() const { return Components() * count; }
};

struct EffectSampler {
  std::string texture;  // a texture parameter, or "Tex0" for the texture of the draw
  bool linear = false;
  bool wrap = false;
};

struct EffectPass {
  std::string name;
  std::string vertex;    // empty: the device's default stage
  std::string fragment;  // body: functions and main()
  bool setsBlend = false;
  uint8_t blendSrc = 0, blendDst = 0;  // plat::BlendFactor values
  int zEnable = -1;                    // -1 leave, 0 off, 1 on
  std::vector<EffectSampler> samplers;
};

struct EffectTechnique {
  std::string name;
  std::vector<EffectPass> passes;
};

struct EffectDesc {
  std::vector<EffectParam> params;
  std::string common;  // GLSL shared by every stage of every pass
  std::vector<EffectTechnique> techniques;

  const EffectParam* FindParam(const std::string& name) const;
  const EffectTechnique* FindTechnique(const std::string& name) const;
};

// Parses the text; false with a message naming the line on any error.
bool ParseEffectFile(const char* text, size_t size, EffectDesc* out, std::string* error);

// Complete GLSL for one pass: the fragment stage and, when the pass has its own, the vertex stage
// (empty otherwise), with the parameter declarations put in front.
std::string BuildFragmentSource(const EffectDesc& desc, const EffectPass& pass);
std::string BuildVertexSource(const EffectDesc& desc, const EffectPass& pass);

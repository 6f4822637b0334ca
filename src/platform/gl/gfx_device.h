// The drawing device: the small subset of a fixed-function device that the renderers rely on,
// in plain C++ types. Two implementations: OpenGL 3.3 core (CreateGlDevice) and a recording null
// device for logic tests (CreateNullDevice, see null_device.h).
//
// Conventions every implementation keeps:
// - Matrices are row-major float[16] used with row vectors: v' = v * World * View * Proj.
// - Clip space has z in [0, 1]; screen coordinates have pixel centres at integers (pixel (i, j)
//   spans i-0.5..i+0.5), y grows downwards, row 0 of every image and target is its top row.
// - Colour and alpha = texture * vertex colour; texture 0 reads as opaque white.
// - The depth test, when enabled, is less-or-equal and writes depth (also for transparent texels).
// - Textures have no mip levels that are ever sampled.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

using TextureId = uint32_t;  // 0 = no texture / the back buffer as target

// Position, colour (ARGB), texture coordinate: a vertex placed in the world.
struct WorldVertex {
  float x, y, z;
  uint32_t argb;
  float u, v;
};

// Already transformed: x, y in target pixels, z depth 0..1, rhw ignored (no perspective).
struct ScreenVertex {
  float x, y, z, rhw;
  uint32_t argb;
  float u, v;
};

// A vertex of a mesh (models): position, normal, colour (ARGB), texture coordinate; 36 bytes.
struct MeshVertex {
  float x, y, z;
  float nx, ny, nz;
  uint32_t argb;
  float u, v;
};

using ProgramId = uint32_t;  // 0 = the built-in stage (texture * colour)
using MeshId = uint32_t;

enum class BlendFactor : uint8_t { Zero, One, SrcAlpha, InvSrcAlpha };

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

struct DeviceCaps {
  int maxTextureSize = 0;
};

class GfxDevice {
 public:
  virtual ~GfxDevice() = default;

  // Size of the back buffer the frame is drawn into (not the window).
  virtual int BackBufferWidth() const = 0;
  virtual int BackBufferHeight() const = 0;
  virtual DeviceCaps Caps() const = 0;

  // --- textures (RGBA8, row 0 = top) ---
  // Pixels are w*h*4 bytes R,G,B,A; null gives a zero-filled (transparent) texture.
  virtual TextureId CreateTexture(int w, int h, const uint8_t* rgba) = 0;
  // A texture that can also be drawn into (with its own depth buffer).
  virtual TextureId CreateRenderTarget(int w, int h) = 0;
  virtual void DestroyTexture(TextureId id) = 0;
  // Replaces a sub-rectangle; pitch in bytes of the source rows. False when out of bounds.
  virtual bool UpdateTexture(TextureId id, const Rect& dst, const uint8_t* rgba, int pitch) = 0;
  // Copies a rectangle between textures without scaling (replace, no blending).
  virtual bool CopyTexture(TextureId src, const Rect& srcRect, TextureId dst, int dstX, int dstY) = 0;
  virtual bool TextureSize(TextureId id, int* w, int* h) const = 0;
  // Reads a texture back (tests, CPU copies of render targets): w*h*4 bytes, row 0 = top.
  virtual bool ReadTexture(TextureId id, std::vector<uint8_t>* rgba) = 0;

  // --- targets and state ---
  // 0 = back buffer. Setting a target resets the viewport to the target's full size.
  virtual bool SetRenderTarget(TextureId target) = 0;
  virtual TextureId GetRenderTarget() const = 0;
  // x, y, w, h in target pixels, depth range minZ..maxZ.
  virtual void SetViewport(int x, int y, int w, int h, float minZ, float maxZ) = 0;
  virtual void Clear(bool color, bool depth, uint32_t argb, float z) = 0;
  virtual void SetWorld(const float m[16]) = 0;
  virtual void SetView(const float m[16]) = 0;
  virtual void SetProjection(const float m[16]) = 0;
  virtual void SetBlend(BlendFactor src, BlendFactor dst) = 0;
  // Premultiplied output (drawing into a picture that is composited later): the colour leaves the
  // pixel stage multiplied by its alpha, and a SrcAlpha source factor acts as One, so the target
  // holds premultiplied colour and the usual "over" alpha.
  virtual void SetPremultipliedOutput(bool on) {}
  virtual void SetZEnable(bool on) = 0;
  virtual bool GetZEnable() const = 0;
  virtual void SetFlatShading(bool flat) = 0;  // flat: each triangle takes its first vertex's colour
  virtual void SetLinearFilter(bool linear) = 0;
  virtual void SetTextureWrap(bool wrap) = 0;  // wrap or clamp, U and V
  virtual void BindTexture(TextureId id) = 0;  // 0 = none (reads white)

  // --- drawing: one quad as a strip of two triangles (corners 0,1,2 and 1,3,2) ---
  virtual void DrawQuad(const WorldVertex v[4]) = 0;
  virtual void DrawScreenQuad(const ScreenVertex v[4]) = 0;

  // --- programs (effect passes) ---
  // A program's fragment stage sees `in vec4 vColor; in vec2 vUv;`, writes `out vec4 oColor`, and
  // reads the texture bound with BindTexture through `uniform sampler2D Tex0` (unit 0). A null
  // vertex source takes the default stage, which places world and pre-transformed vertices exactly
  // as the built-in stage does (`uniform mat4 uM` is set by the device). Sources are complete
  // GLSL 3.30 texts. Returns 0 (with the compiler's message in *log) on failure.
  virtual ProgramId CreateProgram(const char* vertexSrc, const char* fragmentSrc, std::string* log) {
    if (log) *log = "programs are not supported by this device";
    return 0;
  }
  virtual void DestroyProgram(ProgramId) {}
  // -1 when the program has no such active uniform.
  virtual int UniformLocation(ProgramId, const char*) { return -1; }
  virtual void SetUniformFloats(ProgramId, int location, int components, int count, const float* v) {}
  virtual void SetUniformInts(ProgramId, int location, int count, const int* v) {}
  virtual void SetUniformMatrix(ProgramId, int location, const float m[16]) {}
  // Draws that follow use the program (0 = built-in).
  virtual void UseProgram(ProgramId) {}
  virtual ProgramId CurrentProgram() const { return 0; }
  // Texture units 1..7 for programs, each with its own filter and address mode (0 = none: white).
  virtual void BindTextureUnit(int unit, TextureId id, bool linear, bool wrap) {}
  static constexpr int kTextureUnits = 8;

  // State read-backs, so that passes can put back what they changed.
  virtual void GetBlend(BlendFactor* src, BlendFactor* dst) const {
    *src = BlendFactor::SrcAlpha;
    *dst = BlendFactor::InvSrcAlpha;
  }
  virtual bool GetLinearFilter() const { return false; }
  virtual bool GetTextureWrap() const { return false; }
  virtual TextureId BoundTexture() const { return 0; }

  // --- meshes (16-bit indices, triangle lists) ---
  virtual MeshId CreateMesh(const MeshVertex* v, int vertexCount, const uint16_t* indices, int indexCount) { return 0; }
  virtual void DestroyMesh(MeshId) {}
  // Draws indices first..first+count-1 with the world, view and projection, the bound texture,
  // the blend and depth state and the current program.
  virtual void DrawMesh(MeshId, int firstIndex, int indexCount) {}

  // Ends the frame's drawing: everything submitted so far reaches the target.
  virtual void Flush() = 0;
  // Waits until the device has finished (benchmarks).
  virtual void Finish() = 0;
  // Shows the back buffer (or its source part) scaled into dst of a drawable of the given size;
  // the rest of the drawable is black. dst may have negative offsets. False on failure.
  virtual bool Present(const Rect& source, const Rect& dst, int drawableW, int drawableH) = 0;
  // Reads back-buffer pixels (row 0 = top).
  virtual bool ReadBackBuffer(const Rect& r, std::vector<uint8_t>* rgba) = 0;

  // Loss: a test hook puts the device into the lost state; Reset clears it. Render-target
  // contents are undefined after a reset (they are cleared); every handle stays valid.
  virtual bool IsLost() const = 0;
  virtual void SimulateLoss() = 0;
  virtual bool Reset() = 0;
};

// An OpenGL 3.3 core device on the context current on this thread, with a w x h back buffer.
// Returns null (with a log line) when the context lacks what it needs.
std::unique_ptr<GfxDevice> CreateGlDevice(int width, int height);

}  // namespace plat

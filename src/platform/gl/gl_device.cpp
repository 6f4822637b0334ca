// OpenGL 3.3 core implementation of the drawing device.
//
// Quads are batched: world vertices are multiplied by the world matrix on the CPU, so consecutive
// quads that share texture, blend, depth and sampler state and view/projection go out in one draw.
// Every target (back buffer included) is an FBO drawn with y flipped, so memory row 0 is the top
// row, as images are uploaded; sampling v = 0 then reads the top, and render-target textures keep
// their orientation. The flip, the [0,1] clip-z range and the integer pixel centres are applied by
// one matrix (ClipFixup / ScreenToClip) and nowhere else.
#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/gl/gfx_device.h"
#include "platform/text/log.h"

namespace plat {
namespace {

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 aPos;
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aUv;
uniform mat4 uM;
out vec4 vColor;
out vec2 vUv;
void main() {
  gl_Position = uM * vec4(aPos, 1.0);
  vColor = aColor.zyxw;  // stored as a little-endian ARGB word: B, G, R, A
  vUv = aUv;
}
)";
const char* kVertexShaderFlat = R"(#version 330 core
layout(location = 0) in vec3 aPos;
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aUv;
uniform mat4 uM;
flat out vec4 vColor;
out vec2 vUv;
void main() {
  gl_Position = uM * vec4(aPos, 1.0);
  vColor = aColor.zyxw;
  vUv = aUv;
}
)";
// The built-in pixel stage in four variants (smooth or flat colour, straight or premultiplied
// output) rather than one with branches: software GL runs the shader for every pixel.
const char* kFragmentShader = R"(#version 330 core
in vec4 vColor;
in vec2 vUv;
uniform sampler2D uTex;
out vec4 oColor;
void main() {
  oColor = texture(uTex, vUv) * vColor;
}
)";
const char* kFragmentShaderPremul = R"(#version 330 core
in vec4 vColor;
in vec2 vUv;
uniform sampler2D uTex;
out vec4 oColor;
void main() {
  oColor = texture(uTex, vUv) * vColor;
  oColor.rgb *= oColor.a;
}
)";
const char* kFragmentShaderFlat = R"(#version 330 core
flat in vec4 vColor;
in vec2 vUv;
uniform sampler2D uTex;
out vec4 oColor;
void main() {
  oColor = texture(uTex, vUv) * vColor;
}
)";
const char* kFragmentShaderFlatPremul = R"(#version 330 core
flat in vec4 vColor;
in vec2 vUv;
uniform sampler2D uTex;
out vec4 oColor;
void main() {
  oColor = texture(uTex, vUv) * vColor;
  oColor.rgb *= oColor.a;
}
)";

struct GpuVertex {
  float x, y, z;
  uint32_t argb;
  float u, v;
};
static_assert(sizeof(GpuVertex) == 24);

constexpr int kMaxBatchQuads = 4096;

void MatMul(const float* a, const float* b, float* out) {
  float r[16];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0;
      for (int k = 0; k < 4; ++k) s += a[i * 4 + k] * b[k * 4 + j];
      r[i * 4 + j] = s;
    }
  std::memcpy(out, r, sizeof r);
}

void Identity(float* m) {
  std::memset(m, 0, 16 * sizeof(float));
  m[0] = m[5] = m[10] = m[15] = 1.0f;
}

// Clip space of the device (z 0..1, y up, pixel centres on integers) to GL clip space for a
// viewport of w x h drawn with y flipped: x' = x + w_c/W, y' = -y + w_c/H, z' = 2z - w_c.
void ClipFixup(int vw, int vh, float* f) {
  Identity(f);
  f[5] = -1.0f;
  f[10] = 2.0f;
  f[12] = 1.0f / static_cast<float>(vw);
  f[13] = 1.0f / static_cast<float>(vh);
  f[14] = -1.0f;
}

// Pre-transformed pixels (relative to the target) to GL clip space in the current viewport.
void ScreenToClip(int vx, int vy, int vw, int vh, float* s) {
  Identity(s);
  s[0] = 2.0f / static_cast<float>(vw);
  s[5] = 2.0f / static_cast<float>(vh);
  s[10] = 2.0f;
  s[12] = (0.5f - static_cast<float>(vx)) * 2.0f / static_cast<float>(vw) - 1.0f;
  s[13] = (0.5f - static_cast<float>(vy)) * 2.0f / static_cast<float>(vh) - 1.0f;
  s[14] = -1.0f;
}

GLenum ToGl(BlendFactor f) {
  switch (f) {
    case BlendFactor::Zero:
      return GL_ZERO;
    case BlendFactor::One:
      return GL_ONE;
    case BlendFactor::SrcAlpha:
      return GL_SRC_ALPHA;
    case BlendFactor::InvSrcAlpha:
      return GL_ONE_MINUS_SRC_ALPHA;
  }
  return GL_ONE;
}

GLuint Compile(GLenum type, const char* src) {
  GLuint s = glCreateShader(type);
  glShaderSource(s, 1, &src, nullptr);
  glCompileShader(s);
  GLint ok = 0;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    glGetShaderInfoLog(s, sizeof log, nullptr, log);
    Log("gl", "shader compile failed: %s", log);
    glDeleteShader(s);
    return 0;
  }
  return s;
}

GLuint CompileWithLog(GLenum type, const char* src, std::string* err) {
  GLuint s = glCreateShader(type);
  glShaderSource(s, 1, &src, nullptr);
  glCompileShader(s);
  GLint ok = 0;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[2048] = {};
    glGetShaderInfoLog(s, sizeof log, nullptr, log);
    *err = log;
    glDeleteShader(s);
    return 0;
  }
  return s;
}

GLuint Link(const char* vs, const char* fs) {
  GLuint v = Compile(GL_VERTEX_SHADER, vs);
  GLuint f = Compile(GL_FRAGMENT_SHADER, fs);
  if (!v || !f) {
    if (v) glDeleteShader(v);
    if (f) glDeleteShader(f);
    return 0;
  }
  GLuint p = glCreateProgram();
  glAttachShader(p, v);
  glAttachShader(p, f);
  glLinkProgram(p);
  glDeleteShader(v);
  glDeleteShader(f);
  GLint ok = 0;
  glGetProgramiv(p, GL_LINK_STATUS, &ok);
  if (!ok) {
    glDeleteProgram(p);
    return 0;
  }
  return p;
}

struct GlProgram {
  GLuint prog = 0;
  GLint locM = -1;
  float m[16] = {};  // the clip matrix last given to locM
  bool mSet = false;
};

struct GlMesh {
  GLuint vao = 0, vbo = 0, ibo = 0;
  int indexCount = 0;
};

// What a texture's alpha is known to be everywhere: draws of an opaque picture need no blending,
// and a clear one blended over the target leaves it as it was.
enum class Coverage : uint8_t { Mixed, Opaque, Clear };

Coverage CoverageOf(const uint8_t* rgba, int w, int h, int pitch) {
  bool opaque = true, clear = true;
  for (int y = 0; y < h && (opaque || clear); ++y) {
    const uint8_t* a = rgba + static_cast<size_t>(y) * pitch + 3;
    for (int x = 0; x < w; ++x, a += 4) {
      opaque = opaque && *a == 255;
      clear = clear && *a == 0;
    }
  }
  return opaque ? Coverage::Opaque : clear ? Coverage::Clear : Coverage::Mixed;
}

struct GlTexture {
  GLuint tex = 0;
  GLuint fbo = 0;    // render targets only
  GLuint depth = 0;  // render targets only
  int w = 0, h = 0;
  Coverage coverage = Coverage::Mixed;
};

struct BatchState {
  TextureId target = 0;
  GLuint tex = 0;
  BlendFactor src = BlendFactor::SrcAlpha, dst = BlendFactor::InvSrcAlpha;
  bool zEnable = true;
  bool flat = false;
  bool linear = false;
  bool wrap = false;
  bool premul = false;
  bool opaque = false;  // blending left off: it would give the source colour unchanged
  ProgramId program = 0;
  float m[16];
  bool operator==(const BatchState& o) const {
    return target == o.target && tex == o.tex && src == o.src && dst == o.dst && zEnable == o.zEnable &&
           flat == o.flat && linear == o.linear && wrap == o.wrap && premul == o.premul && opaque == o.opaque &&
           program == o.program && std::memcmp(m, o.m, sizeof m) == 0;
  }
};

// Whether x lies within a small distance of an integer.
bool NearInteger(float x) { return std::fabs(x - std::round(x)) < 1e-3f; }
bool Near(float a, float b) { return std::fabs(a - b) < 1e-3f; }

// Whether a quad with these corners (target pixels, centres on integers; corners 0,1 along one
// edge, 0,2 along the other) and texture coordinates puts every pixel centre on a texel centre of
// a w x h texture: axis-aligned, one texel per pixel, edges on pixel edges. Filtering then reads
// exactly one texel, so nearest sampling gives the same picture as linear.
bool TexelExact(const float* sx, const float* sy, const float* u, const float* v, int w, int h) {
  const float fw = static_cast<float>(w), fh = static_cast<float>(h);
  if (!Near(sy[0], sy[1]) || !Near(sy[2], sy[3]) || !Near(sx[0], sx[2]) || !Near(sx[1], sx[3])) return false;
  if (!Near(u[0], u[2]) || !Near(u[1], u[3]) || !Near(v[0], v[1]) || !Near(v[2], v[3])) return false;
  if (!Near(std::fabs(sx[1] - sx[0]), std::fabs(u[1] - u[0]) * fw) ||
      !Near(std::fabs(sy[2] - sy[0]), std::fabs(v[2] - v[0]) * fh))
    return false;
  return NearInteger(sx[0] + 0.5f) && NearInteger(sy[0] + 0.5f) && NearInteger(u[0] * fw) && NearInteger(v[0] * fh);
}

class GlDevice final : public GfxDevice {
 public:
  GlDevice(int w, int h) : width_(w), height_(h) {}
  ~GlDevice() override { Shutdown(); }

  bool Init() {
    if (epoxy_gl_version() < 33) {
      Log("gl", "OpenGL 3.3 or later is required (have %d.%d)", epoxy_gl_version() / 10, epoxy_gl_version() % 10);
      return false;
    }
    const char* fragments[2][2] = {{kFragmentShader, kFragmentShaderPremul},
                                   {kFragmentShaderFlat, kFragmentShaderFlatPremul}};
    for (int flat = 0; flat < 2; ++flat)
      for (int premul = 0; premul < 2; ++premul) {
        GlProgram& p = builtin_[flat][premul];
        p.prog = Link(flat ? kVertexShaderFlat : kVertexShader, fragments[flat][premul]);
        if (!p.prog) return false;
        p.locM = glGetUniformLocation(p.prog, "uM");
        glUseProgram(p.prog);
        glUniform1i(glGetUniformLocation(p.prog, "uTex"), 0);
      }
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTex_);

    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    glGenBuffers(1, &vbo_);
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    glBufferData(GL_ARRAY_BUFFER, kMaxBatchQuads * 4 * sizeof(GpuVertex), nullptr, GL_STREAM_DRAW);
    glGenBuffers(1, &ibo_);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo_);
    std::vector<uint32_t> idx(kMaxBatchQuads * 6);
    for (uint32_t q = 0; q < kMaxBatchQuads; ++q) {
      const uint32_t b = q * 4;
      const uint32_t tri[6] = {b, b + 1, b + 2, b + 1, b + 3, b + 2};
      std::copy(tri, tri + 6, idx.begin() + q * 6);
    }
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, idx.size() * sizeof(uint32_t), idx.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(0));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(GpuVertex), reinterpret_cast<void*>(12));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(16));

    const uint8_t white[4] = {255, 255, 255, 255};
    glGenTextures(1, &white_);
    glBindTexture(GL_TEXTURE_2D, white_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);

    for (int linear = 0; linear < 2; ++linear)
      for (int wrap = 0; wrap < 2; ++wrap) {
        GLuint& smp = samplers_[linear][wrap];
        glGenSamplers(1, &smp);
        const GLint f = linear ? GL_LINEAR : GL_NEAREST;
        const GLint a = wrap ? GL_REPEAT : GL_CLAMP_TO_EDGE;
        glSamplerParameteri(smp, GL_TEXTURE_MIN_FILTER, f);
        glSamplerParameteri(smp, GL_TEXTURE_MAG_FILTER, f);
        glSamplerParameteri(smp, GL_TEXTURE_WRAP_S, a);
        glSamplerParameteri(smp, GL_TEXTURE_WRAP_T, a);
      }
    glGenFramebuffers(1, &scratchFbo_[0]);
    glGenFramebuffers(1, &scratchFbo_[1]);

    // The back buffer: RGBA8 + depth/stencil.
    back_.w = width_;
    back_.h = height_;
    if (!MakeTarget(&back_)) return false;

    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glDisable(GL_CULL_FACE);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glEnable(GL_BLEND);
    glDisable(GL_DITHER);
    Identity(world_);
    Identity(view_);
    Identity(proj_);
    state_.target = 0;
    state_.tex = white_;
    applied_ = Applied{};
    BindTarget(0);
    vx_ = 0;
    vy_ = 0;
    vw_ = width_;
    vh_ = height_;
    glViewport(0, 0, width_, height_);
    glDepthRange(0.0, 1.0);
    vertices_.reserve(kMaxBatchQuads * 4);
    return glGetError() == GL_NO_ERROR;
  }

  int BackBufferWidth() const override { return width_; }
  int BackBufferHeight() const override { return height_; }
  DeviceCaps Caps() const override { return DeviceCaps{maxTex_}; }

  TextureId CreateTexture(int w, int h, const uint8_t* rgba) override {
    if (w <= 0 || h <= 0 || w > maxTex_ || h > maxTex_) return 0;
    Flush();
    GlTexture t;
    t.w = w;
    t.h = h;
    glGenTextures(1, &t.tex);
    BindTexture0(t.tex);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    std::vector<uint8_t> zero;
    if (!rgba) {
      zero.assign(static_cast<size_t>(w) * h * 4, 0);
      rgba = zero.data();
    }
    t.coverage = CoverageOf(rgba, w, h, w * 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    if (glGetError() != GL_NO_ERROR) {
      glDeleteTextures(1, &t.tex);
      return 0;
    }
    const TextureId id = nextId_++;
    textures_[id] = t;
    return id;
  }

  TextureId CreateRenderTarget(int w, int h) override {
    if (w <= 0 || h <= 0 || w > maxTex_ || h > maxTex_) return 0;
    Flush();
    GlTexture t;
    t.w = w;
    t.h = h;
    if (!MakeTarget(&t)) return 0;
    const TextureId id = nextId_++;
    textures_[id] = t;
    return id;
  }

  void DestroyTexture(TextureId id) override {
    auto it = textures_.find(id);
    if (it == textures_.end()) return;
    Flush();
    if (state_.target == id) BindTarget(0);
    if (state_.tex == it->second.tex) state_.tex = white_;
    if (bound_ == id) bound_ = 0;
    FreeTexture(&it->second);
    textures_.erase(it);
  }

  bool UpdateTexture(TextureId id, const Rect& dst, const uint8_t* rgba, int pitch) override {
    GlTexture* t = Find(id);
    if (!t || !rgba || dst.w <= 0 || dst.h <= 0 || dst.x < 0 || dst.y < 0 || dst.x + dst.w > t->w ||
        dst.y + dst.h > t->h || pitch < dst.w * 4 || pitch % 4 != 0)
      return false;
    Flush();
    const Coverage part = CoverageOf(rgba, dst.w, dst.h, pitch);
    if (dst.w == t->w && dst.h == t->h)
      t->coverage = part;
    else if (part != t->coverage)
      t->coverage = Coverage::Mixed;
    BindTexture0(t->tex);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch / 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, dst.x, dst.y, dst.w, dst.h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    return glGetError() == GL_NO_ERROR;
  }

  bool CopyTexture(TextureId src, const Rect& r, TextureId dst, int dx, int dy) override {
    GlTexture* s = Find(src);
    GlTexture* d = Find(dst);
    if (!s || !d || src == dst || r.w <= 0 || r.h <= 0 || r.x < 0 || r.y < 0 || r.x + r.w > s->w || r.y + r.h > s->h ||
        dx < 0 || dy < 0 || dx + r.w > d->w || dy + r.h > d->h)
      return false;
    Flush();
    d->coverage = Coverage::Mixed;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, scratchFbo_[0]);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s->tex, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, scratchFbo_[1]);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, d->tex, 0);
    glBlitFramebuffer(r.x, r.y, r.x + r.w, r.y + r.h, dx, dy, dx + r.w, dy + r.h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    RebindTargetFbo();
    return glGetError() == GL_NO_ERROR;
  }

  bool TextureSize(TextureId id, int* w, int* h) const override {
    auto it = textures_.find(id);
    if (it == textures_.end()) return false;
    if (w) *w = it->second.w;
    if (h) *h = it->second.h;
    return true;
  }

  bool ReadTexture(TextureId id, std::vector<uint8_t>* rgba) override {
    GlTexture* t = Find(id);
    if (!t || !rgba) return false;
    Flush();
    rgba->assign(static_cast<size_t>(t->w) * t->h * 4, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, scratchFbo_[0]);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t->tex, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, t->w, t->h, GL_RGBA, GL_UNSIGNED_BYTE, rgba->data());
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    RebindTargetFbo();
    return glGetError() == GL_NO_ERROR;
  }

  bool SetRenderTarget(TextureId target) override {
    if (target != 0) {
      GlTexture* t = Find(target);
      if (!t || !t->fbo) return false;
    }
    Flush();
    BindTarget(target);
    int w = width_, h = height_;
    if (target) TextureSize(target, &w, &h);
    SetViewport(0, 0, w, h, 0.0f, 1.0f);
    return true;
  }
  TextureId GetRenderTarget() const override { return state_.target; }

  void SetViewport(int x, int y, int w, int h, float minZ, float maxZ) override {
    if (w <= 0 || h <= 0) return;
    Flush();
    vx_ = x;
    vy_ = y;
    vw_ = w;
    vh_ = h;
    glViewport(x, y, w, h);  // memory row 0 is the top row, so y counts from the top
    glDepthRange(minZ, maxZ);
  }

  void Clear(bool color, bool depth, uint32_t argb, float z) override {
    Flush();
    GLbitfield bits = 0;
    if (color) {
      glClearColor(((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f, (argb & 255) / 255.0f,
                   ((argb >> 24) & 255) / 255.0f);
      bits |= GL_COLOR_BUFFER_BIT;
    }
    if (depth) {
      glClearDepth(z);
      glDepthMask(GL_TRUE);
      bits |= GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT;
    }
    // A clear covers the viewport, as a device clear without rectangles does.
    glEnable(GL_SCISSOR_TEST);
    glScissor(vx_, vy_, vw_, vh_);
    if (bits) glClear(bits);
    glDisable(GL_SCISSOR_TEST);
  }

  void SetWorld(const float m[16]) override { std::memcpy(world_, m, sizeof world_); }
  void SetView(const float m[16]) override { std::memcpy(view_, m, sizeof view_); }
  void SetProjection(const float m[16]) override { std::memcpy(proj_, m, sizeof proj_); }
  void SetBlend(BlendFactor s, BlendFactor d) override {
    src_ = s;
    dst_ = d;
  }
  void SetPremultipliedOutput(bool on) override { premul_ = on; }
  void SetZEnable(bool on) override { zEnable_ = on; }
  bool GetZEnable() const override { return zEnable_; }
  void SetFlatShading(bool flat) override { flat_ = flat; }
  void SetLinearFilter(bool linear) override { linear_ = linear; }
  void SetTextureWrap(bool wrap) override { wrap_ = wrap; }
  void BindTexture(TextureId id) override { bound_ = id; }

  void DrawQuad(const WorldVertex v[4]) override {
    const GlTexture* tex = nullptr;
    BatchState s = Pending(&tex);
    float vp[16], fix[16];
    MatMul(view_, proj_, vp);
    ClipFixup(vw_, vh_, fix);
    MatMul(vp, fix, s.m);
    const float* w = world_;
    GpuVertex g[4];
    for (int i = 0; i < 4; ++i) {
      g[i].x = v[i].x * w[0] + v[i].y * w[4] + v[i].z * w[8] + w[12];
      g[i].y = v[i].x * w[1] + v[i].y * w[5] + v[i].z * w[9] + w[13];
      g[i].z = v[i].x * w[2] + v[i].y * w[6] + v[i].z * w[10] + w[14];
      g[i].argb = v[i].argb;
      g[i].u = v[i].u;
      g[i].v = v[i].v;
    }
    Submit(s, tex, g, true);
  }

  void DrawScreenQuad(const ScreenVertex v[4]) override {
    const GlTexture* tex = nullptr;
    BatchState s = Pending(&tex);
    ScreenToClip(vx_, vy_, vw_, vh_, s.m);
    GpuVertex g[4];
    for (int i = 0; i < 4; ++i) g[i] = GpuVertex{v[i].x, v[i].y, v[i].z, v[i].argb, v[i].u, v[i].v};
    Submit(s, tex, g, false);
  }

  ProgramId CreateProgram(const char* vertexSrc, const char* fragmentSrc, std::string* log) override {
    if (!fragmentSrc) return 0;
    Flush();
    std::string err;
    GLuint v = CompileWithLog(GL_VERTEX_SHADER, vertexSrc ? vertexSrc : kVertexShader, &err);
    GLuint f = v ? CompileWithLog(GL_FRAGMENT_SHADER, fragmentSrc, &err) : 0;
    GLuint p = 0;
    if (v && f) {
      p = glCreateProgram();
      glAttachShader(p, v);
      glAttachShader(p, f);
      glLinkProgram(p);
      GLint ok = 0;
      glGetProgramiv(p, GL_LINK_STATUS, &ok);
      if (!ok) {
        char buf[1024] = {};
        glGetProgramInfoLog(p, sizeof buf, nullptr, buf);
        err = buf;
        glDeleteProgram(p);
        p = 0;
      }
    }
    if (v) glDeleteShader(v);
    if (f) glDeleteShader(f);
    if (!p) {
      if (log) *log = err;
      return 0;
    }
    GlProgram gp;
    gp.prog = p;
    gp.locM = glGetUniformLocation(p, "uM");
    UseProgramObject(p);
    const GLint t0 = glGetUniformLocation(p, "Tex0");
    if (t0 >= 0) glUniform1i(t0, 0);
    const ProgramId id = nextProgram_++;
    programs_[id] = gp;
    return id;
  }

  void DestroyProgram(ProgramId id) override {
    auto it = programs_.find(id);
    if (it == programs_.end()) return;
    Flush();
    if (applied_.prog == it->second.prog) applied_.prog = 0;
    glDeleteProgram(it->second.prog);
    programs_.erase(it);
    if (currentProgram_ == id) currentProgram_ = 0;
  }

  int UniformLocation(ProgramId id, const char* name) override {
    const GLuint p = ProgramObject(id);
    return p && name ? glGetUniformLocation(p, name) : -1;
  }

  void SetUniformFloats(ProgramId id, int loc, int components, int count, const float* v) override {
    const GLuint p = ProgramObject(id);
    if (!p || loc < 0 || count <= 0 || !v) return;
    Flush();
    UseProgramObject(p);
    switch (components) {
      case 1:
        glUniform1fv(loc, count, v);
        break;
      case 2:
        glUniform2fv(loc, count, v);
        break;
      case 3:
        glUniform3fv(loc, count, v);
        break;
      case 4:
        glUniform4fv(loc, count, v);
        break;
      default:
        break;
    }
  }

  void SetUniformInts(ProgramId id, int loc, int count, const int* v) override {
    const GLuint p = ProgramObject(id);
    if (!p || loc < 0 || count <= 0 || !v) return;
    Flush();
    UseProgramObject(p);
    glUniform1iv(loc, count, v);
  }

  void SetUniformMatrix(ProgramId id, int loc, const float m[16]) override {
    const GLuint p = ProgramObject(id);
    if (!p || loc < 0) return;
    Flush();
    UseProgramObject(p);
    glUniformMatrix4fv(loc, 1, GL_FALSE, m);
    // The clip matrix may have been set this way: the next draw sets it again.
    for (auto& [pid, gp] : programs_)
      if (gp.prog == p && gp.locM == loc) gp.mSet = false;
  }

  void UseProgram(ProgramId id) override { currentProgram_ = programs_.count(id) ? id : 0; }
  ProgramId CurrentProgram() const override { return currentProgram_; }

  void BindTextureUnit(int unit, TextureId id, bool linear, bool wrap) override {
    if (unit < 1 || unit >= kTextureUnits) return;
    Flush();
    GLuint tex = white_;
    if (id && id != state_.target) {
      auto it = textures_.find(id);
      if (it != textures_.end()) tex = it->second.tex;
    }
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, tex);
    glBindSampler(unit, SamplerFor(unit, linear, wrap));
    glActiveTexture(GL_TEXTURE0);
  }

  void GetBlend(BlendFactor* s, BlendFactor* d) const override {
    *s = src_;
    *d = dst_;
  }
  bool GetLinearFilter() const override { return linear_; }
  bool GetTextureWrap() const override { return wrap_; }
  TextureId BoundTexture() const override { return bound_; }

  MeshId CreateMesh(const MeshVertex* v, int vertexCount, const uint16_t* idx, int indexCount) override {
    if (!v || !idx || vertexCount <= 0 || indexCount <= 0) return 0;
    Flush();
    GlMesh m;
    m.indexCount = indexCount;
    glGenVertexArrays(1, &m.vao);
    glBindVertexArray(m.vao);
    glGenBuffers(1, &m.vbo);
    glBindBuffer(GL_ARRAY_BUFFER, m.vbo);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertexCount * sizeof(MeshVertex)), v, GL_STATIC_DRAW);
    glGenBuffers(1, &m.ibo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m.ibo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indexCount * sizeof(uint16_t)), idx, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(MeshVertex), reinterpret_cast<void*>(0));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(MeshVertex), reinterpret_cast<void*>(24));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(MeshVertex), reinterpret_cast<void*>(28));
    glBindVertexArray(vao_);
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    const MeshId id = nextMesh_++;
    meshes_[id] = m;
    return id;
  }

  void DestroyMesh(MeshId id) override {
    auto it = meshes_.find(id);
    if (it == meshes_.end()) return;
    Flush();
    FreeMesh(&it->second);
    meshes_.erase(it);
  }

  void DrawMesh(MeshId id, int first, int count) override {
    auto it = meshes_.find(id);
    if (it == meshes_.end() || first < 0 || count <= 0 || first + count > it->second.indexCount) return;
    Flush();
    BatchState s = Pending();
    float wv[16], wvp[16], fix[16];
    MatMul(world_, view_, wv);
    MatMul(wv, proj_, wvp);
    ClipFixup(vw_, vh_, fix);
    MatMul(wvp, fix, s.m);
    state_ = s;
    ApplyState(s);
    glBindVertexArray(it->second.vao);
    glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_SHORT,
                   reinterpret_cast<void*>(static_cast<uintptr_t>(first) * sizeof(uint16_t)));
    glBindVertexArray(vao_);
  }

  void Flush() override {
    if (vertices_.empty()) return;
    ApplyState(state_);
    glBindVertexArray(vao_);
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    // Batches are appended to the stream buffer; it is replaced (orphaned) only when full, as
    // replacing it costs an allocation and a clear of the whole buffer in software GL.
    const size_t count = vertices_.size();
    if (streamPos_ + count > static_cast<size_t>(kMaxBatchQuads) * 4) {
      glBufferData(GL_ARRAY_BUFFER, kMaxBatchQuads * 4 * sizeof(GpuVertex), nullptr, GL_STREAM_DRAW);
      streamPos_ = 0;
    }
    glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(streamPos_ * sizeof(GpuVertex)),
                    static_cast<GLsizeiptr>(count * sizeof(GpuVertex)), vertices_.data());
    glDrawElementsBaseVertex(GL_TRIANGLES, static_cast<GLsizei>(count / 4 * 6), GL_UNSIGNED_INT, nullptr,
                             static_cast<GLint>(streamPos_));
    streamPos_ += count;
    vertices_.clear();
  }

  void Finish() override {
    Flush();
    glFinish();
  }

  bool Present(const Rect& s, const Rect& d, int drawableW, int drawableH) override {
    Flush();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glViewport(0, 0, drawableW, drawableH);
    glDisable(GL_SCISSOR_TEST);
    // Letterbox bars: only when the picture does not cover the whole drawable.
    if (d.x > 0 || d.y > 0 || d.x + d.w < drawableW || d.y + d.h < drawableH) {
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    if (d.w > 0 && d.h > 0 && s.w > 0 && s.h > 0) {
      glBindFramebuffer(GL_READ_FRAMEBUFFER, back_.fbo);
      const bool scaled = s.w != d.w || s.h != d.h;
      // Our rows run top-down in memory; the window's run bottom-up: flip while blitting.
      glBlitFramebuffer(s.x, s.y, s.x + s.w, s.y + s.h, d.x, drawableH - d.y, d.x + d.w, drawableH - d.y - d.h,
                        GL_COLOR_BUFFER_BIT, scaled ? GL_LINEAR : GL_NEAREST);
    }
    RebindTargetFbo();
    glViewport(vx_, vy_, vw_, vh_);
    return glGetError() == GL_NO_ERROR;
  }

  bool ReadBackBuffer(const Rect& r, std::vector<uint8_t>* rgba) override {
    if (!rgba || r.w <= 0 || r.h <= 0 || r.x < 0 || r.y < 0 || r.x + r.w > width_ || r.y + r.h > height_) return false;
    Flush();
    rgba->assign(static_cast<size_t>(r.w) * r.h * 4, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, back_.fbo);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(r.x, r.y, r.w, r.h, GL_RGBA, GL_UNSIGNED_BYTE, rgba->data());
    RebindTargetFbo();
    return glGetError() == GL_NO_ERROR;
  }

  bool IsLost() const override { return lost_; }
  void SimulateLoss() override { lost_ = true; }
  bool Reset() override {
    Flush();
    // Render targets lose their contents, as the default pool does; every handle stays valid.
    const TextureId keep = state_.target;
    for (auto& [id, t] : textures_) {
      if (!t.fbo) continue;
      glBindFramebuffer(GL_FRAMEBUFFER, t.fbo);
      glViewport(0, 0, t.w, t.h);
      glClearColor(0, 0, 0, 0);
      glClearDepth(1.0);
      glDepthMask(GL_TRUE);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    BindTarget(keep);
    glViewport(vx_, vy_, vw_, vh_);
    lost_ = false;
    return true;
  }

 private:
  GlTexture* Find(TextureId id) {
    auto it = textures_.find(id);
    return it == textures_.end() ? nullptr : &it->second;
  }

  bool MakeTarget(GlTexture* t) {
    glGenTextures(1, &t->tex);
    BindTexture0(t->tex);
    // Stored as B, G, R, A: the order of the window's own pixels, so that software GL copies the
    // back buffer to the window without reordering every pixel. The clear below fills it.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, t->w, t->h, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glGenRenderbuffers(1, &t->depth);
    glBindRenderbuffer(GL_RENDERBUFFER, t->depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, t->w, t->h);
    glGenFramebuffers(1, &t->fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, t->fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t->tex, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, t->depth);
    const bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (ok) {
      glClearColor(0, 0, 0, 0);
      glClearDepth(1.0);
      glDepthMask(GL_TRUE);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    RebindTargetFbo();
    if (!ok) {
      Log("gl", "render target %dx%d is incomplete", t->w, t->h);
      FreeTexture(t);
    }
    return ok;
  }

  void FreeMesh(GlMesh* m) {
    if (m->vao) glDeleteVertexArrays(1, &m->vao);
    if (m->vbo) glDeleteBuffers(1, &m->vbo);
    if (m->ibo) glDeleteBuffers(1, &m->ibo);
    *m = GlMesh{};
  }

  void FreeTexture(GlTexture* t) {
    if (applied_.tex == t->tex) applied_.tex = 0;
    if (t->fbo) glDeleteFramebuffers(1, &t->fbo);
    if (t->depth) glDeleteRenderbuffers(1, &t->depth);
    if (t->tex) glDeleteTextures(1, &t->tex);
    *t = GlTexture{};
  }

  void BindTarget(TextureId id) {
    state_.target = id;
    RebindTargetFbo();
  }
  void RebindTargetFbo() {
    GLuint fbo = back_.fbo;
    if (state_.target) {
      auto it = textures_.find(state_.target);
      if (it != textures_.end()) fbo = it->second.fbo;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  }

  // GL state as last set, so that a draw changes only what differs from the draw before.
  struct Applied {
    GLuint prog = 0, tex = 0, sampler = 0;
    int blend = -1;  // -1 unknown, 0 off, else 1 + src * 4 + dst
    int depthTest = -1;
  };

  void UseProgramObject(GLuint p) {
    if (applied_.prog == p) return;
    glUseProgram(p);
    applied_.prog = p;
  }
  // Binds a texture to unit 0 (the unit left active everywhere).
  void BindTexture0(GLuint tex) {
    if (applied_.tex == tex) return;
    glBindTexture(GL_TEXTURE_2D, tex);
    applied_.tex = tex;
  }

  void ApplyState(const BatchState& s) {
    GlProgram* p = nullptr;
    auto it = programs_.find(s.program);
    if (s.program && it != programs_.end())
      p = &it->second;
    else
      p = &builtin_[s.flat ? 1 : 0][s.premul ? 1 : 0];
    UseProgramObject(p->prog);
    if (p->locM >= 0 && (!p->mSet || std::memcmp(p->m, s.m, sizeof p->m) != 0)) {
      glUniformMatrix4fv(p->locM, 1, GL_FALSE, s.m);
      std::memcpy(p->m, s.m, sizeof p->m);
      p->mSet = true;
    }
    BindTexture0(s.tex);
    const GLuint smp = samplers_[s.linear ? 1 : 0][s.wrap ? 1 : 0];
    if (applied_.sampler != smp) {
      glBindSampler(0, smp);
      applied_.sampler = smp;
    }
    const int blend = s.opaque ? 0 : 1 + static_cast<int>(s.src) * 4 + static_cast<int>(s.dst);
    if (applied_.blend != blend) {
      if (blend == 0) {
        glDisable(GL_BLEND);
      } else {
        if (applied_.blend <= 0) glEnable(GL_BLEND);
        glBlendFunc(ToGl(s.src), ToGl(s.dst));
      }
      applied_.blend = blend;
    }
    const int depth = s.zEnable ? 1 : 0;
    if (applied_.depthTest != depth) {
      if (depth)
        glEnable(GL_DEPTH_TEST);
      else
        glDisable(GL_DEPTH_TEST);
      applied_.depthTest = depth;
    }
  }

  // The state the next draw takes from the requested one; *tex is its texture (null: none).
  BatchState Pending(const GlTexture** tex = nullptr) const {
    BatchState s;
    s.target = state_.target;
    s.tex = white_;
    if (tex) *tex = nullptr;
    if (bound_) {
      auto it = textures_.find(bound_);
      if (it != textures_.end() && bound_ != state_.target) {
        s.tex = it->second.tex;
        if (tex) *tex = &it->second;
      }
    }
    s.src = premul_ && src_ == BlendFactor::SrcAlpha ? BlendFactor::One : src_;
    s.dst = dst_;
    s.premul = premul_;
    s.zEnable = zEnable_;
    s.flat = flat_;
    s.linear = linear_;
    s.wrap = wrap_;
    s.program = programs_.count(currentProgram_) ? currentProgram_ : 0;
    return s;
  }

  GLuint ProgramObject(ProgramId id) {
    auto it = programs_.find(id);
    return it == programs_.end() ? 0 : it->second.prog;
  }

  GLuint SamplerFor(int unit, bool linear, bool wrap) {
    if (!unitSamplers_[unit]) glGenSamplers(1, &unitSamplers_[unit]);
    const GLint f = linear ? GL_LINEAR : GL_NEAREST;
    const GLint a = wrap ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glSamplerParameteri(unitSamplers_[unit], GL_TEXTURE_MIN_FILTER, f);
    glSamplerParameteri(unitSamplers_[unit], GL_TEXTURE_MAG_FILTER, f);
    glSamplerParameteri(unitSamplers_[unit], GL_TEXTURE_WRAP_S, a);
    glSamplerParameteri(unitSamplers_[unit], GL_TEXTURE_WRAP_T, a);
    return unitSamplers_[unit];
  }

  void Begin(const BatchState& s) {
    if (!vertices_.empty() && (!(s == state_) || vertices_.size() >= kMaxBatchQuads * 4)) Flush();
    state_ = s;
  }

  // Queues a quad (positions already in the space s.m expects), dropping or simplifying work
  // whose result is known to be the same without it:
  // - a clear picture blended over the target without depth leaves every pixel as it was;
  // - an opaque picture in opaque vertex colours blended "over" gives the source unchanged;
  // - a quad that puts pixel centres on texel centres reads one texel under linear filtering too.
  // Effect programs are left alone: their output need not follow the texture's alpha.
  void Submit(BatchState& s, const GlTexture* tex, const GpuVertex* g, bool world) {
    if (!s.program) {
      const Coverage coverage = tex ? tex->coverage : Coverage::Opaque;
      const bool over = s.dst == BlendFactor::InvSrcAlpha || s.dst == BlendFactor::One;
      // The source colour is scaled by its alpha (zero) only with a SrcAlpha factor or in
      // premultiplied output.
      const bool scaled = src_ == BlendFactor::SrcAlpha || s.premul;
      if (coverage == Coverage::Clear && !s.zEnable && over && scaled) return;
      if (coverage == Coverage::Opaque && s.dst == BlendFactor::InvSrcAlpha &&
          (s.src == BlendFactor::SrcAlpha || s.src == BlendFactor::One) && (g[0].argb >> 24) == 255 &&
          (g[1].argb >> 24) == 255 && (g[2].argb >> 24) == 255 && (g[3].argb >> 24) == 255)
        s.opaque = true;
    }
    if (s.linear && tex && !s.program) {
      // Corners in target pixels (centres on integers), as the rasteriser places them.
      float sx[4], sy[4], u[4], v[4];
      bool affine = true;
      for (int i = 0; i < 4 && affine; ++i) {
        u[i] = g[i].u;
        v[i] = g[i].v;
        if (!world) {
          sx[i] = g[i].x - static_cast<float>(vx_);
          sy[i] = g[i].y - static_cast<float>(vy_);
          continue;
        }
        const float* m = s.m;
        const float cx = g[i].x * m[0] + g[i].y * m[4] + g[i].z * m[8] + m[12];
        const float cy = g[i].x * m[1] + g[i].y * m[5] + g[i].z * m[9] + m[13];
        const float cw = g[i].x * m[3] + g[i].y * m[7] + g[i].z * m[11] + m[15];
        affine = cw == 1.0f;
        // GL window coordinates (centres at +0.5; rows count from the top, as targets are drawn
        // flipped) to pixels of the viewport.
        sx[i] = (cx + 1.0f) * 0.5f * static_cast<float>(vw_) - 0.5f;
        sy[i] = (cy + 1.0f) * 0.5f * static_cast<float>(vh_) - 0.5f;
      }
      if (affine && TexelExact(sx, sy, u, v, tex->w, tex->h)) s.linear = false;
    }
    Begin(s);
    vertices_.insert(vertices_.end(), g, g + 4);
  }

  void Shutdown() {
    for (auto& [id, m] : meshes_) FreeMesh(&m);
    meshes_.clear();
    for (auto& [id, p] : programs_) glDeleteProgram(p.prog);
    programs_.clear();
    for (GLuint& smp : unitSamplers_)
      if (smp) glDeleteSamplers(1, &smp);
    for (auto& [id, t] : textures_) FreeTexture(&t);
    textures_.clear();
    FreeTexture(&back_);
    if (scratchFbo_[0]) glDeleteFramebuffers(2, scratchFbo_);
    for (auto& pair : samplers_)
      for (GLuint& smp : pair)
        if (smp) glDeleteSamplers(1, &smp);
    if (white_) glDeleteTextures(1, &white_);
    if (vbo_) glDeleteBuffers(1, &vbo_);
    if (ibo_) glDeleteBuffers(1, &ibo_);
    if (vao_) glDeleteVertexArrays(1, &vao_);
    for (auto& pair : builtin_)
      for (GlProgram& p : pair)
        if (p.prog) glDeleteProgram(p.prog);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
  }

  int width_, height_;
  GLint maxTex_ = 0;
  GlProgram builtin_[2][2];     // [flat][premultiplied]
  GLuint samplers_[2][2] = {};  // [linear][wrap]
  Applied applied_;
  size_t streamPos_ = 0;  // vertices of the stream buffer in use
  GLuint vao_ = 0, vbo_ = 0, ibo_ = 0, white_ = 0;
  GLuint scratchFbo_[2] = {0, 0};
  GlTexture back_;
  std::unordered_map<TextureId, GlTexture> textures_;
  TextureId nextId_ = 1;
  std::unordered_map<ProgramId, GlProgram> programs_;
  ProgramId nextProgram_ = 1, currentProgram_ = 0;
  std::unordered_map<MeshId, GlMesh> meshes_;
  MeshId nextMesh_ = 1;
  GLuint unitSamplers_[kTextureUnits] = {};

  // Requested state (applied when the next batch starts).
  float world_[16], view_[16], proj_[16];
  BlendFactor src_ = BlendFactor::SrcAlpha, dst_ = BlendFactor::InvSrcAlpha;
  bool zEnable_ = true, flat_ = false, linear_ = false, wrap_ = false, premul_ = false;
  TextureId bound_ = 0;
  int vx_ = 0, vy_ = 0, vw_ = 1, vh_ = 1;

  BatchState state_{};  // state of the batch being collected
  std::vector<GpuVertex> vertices_;
  bool lost_ = false;
};

}  // namespace

std::unique_ptr<GfxDevice> CreateGlDevice(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  if (!SDL_GL_GetCurrentContext()) {
    Log("gl", "no OpenGL context is current on this thread");
    return nullptr;
  }
  auto dev = std::make_unique<GlDevice>(width, height);
  if (!dev->Init()) {
    Log("gl", "could not create the drawing device");
    return nullptr;
  }
  return dev;
}

}  // namespace plat

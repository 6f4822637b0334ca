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
const char* kFragmentShader = R"(#version 330 core
in vec4 vColor;
in vec2 vUv;
uniform sampler2D uTex;
uniform bool uPremul;
out vec4 oColor;
void main() {
  oColor = texture(uTex, vUv) * vColor;
  if (uPremul) oColor.rgb *= oColor.a;
}
)";
const char* kFragmentShaderFlat = R"(#version 330 core
flat in vec4 vColor;
in vec2 vUv;
uniform sampler2D uTex;
uniform bool uPremul;
out vec4 oColor;
void main() {
  oColor = texture(uTex, vUv) * vColor;
  if (uPremul) oColor.rgb *= oColor.a;
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
};

struct GlMesh {
  GLuint vao = 0, vbo = 0, ibo = 0;
  int indexCount = 0;
};

struct GlTexture {
  GLuint tex = 0;
  GLuint fbo = 0;    // render targets only
  GLuint depth = 0;  // render targets only
  int w = 0, h = 0;
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
  ProgramId program = 0;
  float m[16];
  bool operator==(const BatchState& o) const {
    return target == o.target && tex == o.tex && src == o.src && dst == o.dst && zEnable == o.zEnable &&
           flat == o.flat && linear == o.linear && wrap == o.wrap && premul == o.premul && program == o.program &&
           std::memcmp(m, o.m, sizeof m) == 0;
  }
};

class GlDevice final : public GfxDevice {
 public:
  GlDevice(int w, int h) : width_(w), height_(h) {}
  ~GlDevice() override { Shutdown(); }

  bool Init() {
    if (epoxy_gl_version() < 33) {
      Log("gl", "OpenGL 3.3 or later is required (have %d.%d)", epoxy_gl_version() / 10, epoxy_gl_version() % 10);
      return false;
    }
    program_ = Link(kVertexShader, kFragmentShader);
    programFlat_ = Link(kVertexShaderFlat, kFragmentShaderFlat);
    if (!program_ || !programFlat_) return false;
    locM_ = glGetUniformLocation(program_, "uM");
    locMFlat_ = glGetUniformLocation(programFlat_, "uM");
    locPremul_ = glGetUniformLocation(program_, "uPremul");
    locPremulFlat_ = glGetUniformLocation(programFlat_, "uPremul");
    for (GLuint p : {program_, programFlat_}) {
      glUseProgram(p);
      glUniform1i(glGetUniformLocation(p, "uTex"), 0);
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

    glGenSamplers(1, &sampler_);
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
    ApplySampler(false, false);
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
    glBindTexture(GL_TEXTURE_2D, t.tex);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    std::vector<uint8_t> zero;
    if (!rgba) {
      zero.assign(static_cast<size_t>(w) * h * 4, 0);
      rgba = zero.data();
    }
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
    glBindTexture(GL_TEXTURE_2D, t->tex);
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
    BatchState s = Pending();
    float vp[16], fix[16];
    MatMul(view_, proj_, vp);
    ClipFixup(vw_, vh_, fix);
    MatMul(vp, fix, s.m);
    Begin(s);
    const float* w = world_;
    for (int i = 0; i < 4; ++i) {
      GpuVertex g;
      g.x = v[i].x * w[0] + v[i].y * w[4] + v[i].z * w[8] + w[12];
      g.y = v[i].x * w[1] + v[i].y * w[5] + v[i].z * w[9] + w[13];
      g.z = v[i].x * w[2] + v[i].y * w[6] + v[i].z * w[10] + w[14];
      g.argb = v[i].argb;
      g.u = v[i].u;
      g.v = v[i].v;
      vertices_.push_back(g);
    }
  }

  void DrawScreenQuad(const ScreenVertex v[4]) override {
    BatchState s = Pending();
    ScreenToClip(vx_, vy_, vw_, vh_, s.m);
    Begin(s);
    for (int i = 0; i < 4; ++i) vertices_.push_back(GpuVertex{v[i].x, v[i].y, v[i].z, v[i].argb, v[i].u, v[i].v});
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
    glUseProgram(p);
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
    glUseProgram(p);
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
    glUseProgram(p);
    glUniform1iv(loc, count, v);
  }

  void SetUniformMatrix(ProgramId id, int loc, const float m[16]) override {
    const GLuint p = ProgramObject(id);
    if (!p || loc < 0) return;
    Flush();
    glUseProgram(p);
    glUniformMatrix4fv(loc, 1, GL_FALSE, m);
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
    UseGlProgram(s.program, s.flat, s.m, s.premul);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, s.tex);
    ApplySampler(s.linear, s.wrap);
    glBlendFunc(ToGl(s.src), ToGl(s.dst));
    if (s.zEnable)
      glEnable(GL_DEPTH_TEST);
    else
      glDisable(GL_DEPTH_TEST);
    glBindVertexArray(it->second.vao);
    glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_SHORT,
                   reinterpret_cast<void*>(static_cast<uintptr_t>(first) * sizeof(uint16_t)));
    glBindVertexArray(vao_);
  }

  void Flush() override {
    if (vertices_.empty()) return;
    UseGlProgram(state_.program, state_.flat, state_.m, state_.premul);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, state_.tex);
    ApplySampler(state_.linear, state_.wrap);
    glBlendFunc(ToGl(state_.src), ToGl(state_.dst));
    if (state_.zEnable)
      glEnable(GL_DEPTH_TEST);
    else
      glDisable(GL_DEPTH_TEST);
    glBindVertexArray(vao_);
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    const GLsizeiptr bytes = static_cast<GLsizeiptr>(vertices_.size() * sizeof(GpuVertex));
    glBufferData(GL_ARRAY_BUFFER, kMaxBatchQuads * 4 * sizeof(GpuVertex), nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, bytes, vertices_.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(vertices_.size() / 4 * 6), GL_UNSIGNED_INT, nullptr);
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
    glBindTexture(GL_TEXTURE_2D, t->tex);
    std::vector<uint8_t> zero(static_cast<size_t>(t->w) * t->h * 4, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, t->w, t->h, 0, GL_RGBA, GL_UNSIGNED_BYTE, zero.data());
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

  void ApplySampler(bool linear, bool wrap) {
    const GLint f = linear ? GL_LINEAR : GL_NEAREST;
    const GLint a = wrap ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    glSamplerParameteri(sampler_, GL_TEXTURE_MIN_FILTER, f);
    glSamplerParameteri(sampler_, GL_TEXTURE_MAG_FILTER, f);
    glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_S, a);
    glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_T, a);
    glBindSampler(0, sampler_);
  }

  BatchState Pending() const {
    BatchState s;
    s.target = state_.target;
    s.tex = white_;
    if (bound_) {
      auto it = textures_.find(bound_);
      if (it != textures_.end() && bound_ != state_.target) s.tex = it->second.tex;
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

  // Makes the program current with its clip matrix; 0 picks the built-in smooth or flat one.
  // An effect's program, or the plain one (which also writes premultiplied colour into covers).
  void UseGlProgram(ProgramId id, bool flat, const float* m, bool premul) {
    auto it = programs_.find(id);
    if (id && it != programs_.end()) {
      glUseProgram(it->second.prog);
      if (it->second.locM >= 0) glUniformMatrix4fv(it->second.locM, 1, GL_FALSE, m);
      return;
    }
    glUseProgram(flat ? programFlat_ : program_);
    glUniformMatrix4fv(flat ? locMFlat_ : locM_, 1, GL_FALSE, m);
    glUniform1i(flat ? locPremulFlat_ : locPremul_, premul ? 1 : 0);
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
    if (sampler_) glDeleteSamplers(1, &sampler_);
    if (white_) glDeleteTextures(1, &white_);
    if (vbo_) glDeleteBuffers(1, &vbo_);
    if (ibo_) glDeleteBuffers(1, &ibo_);
    if (vao_) glDeleteVertexArrays(1, &vao_);
    if (program_) glDeleteProgram(program_);
    if (programFlat_) glDeleteProgram(programFlat_);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
  }

  int width_, height_;
  GLint maxTex_ = 0;
  GLuint program_ = 0, programFlat_ = 0;
  GLint locM_ = -1, locMFlat_ = -1, locPremul_ = -1, locPremulFlat_ = -1;
  GLuint vao_ = 0, vbo_ = 0, ibo_ = 0, white_ = 0, sampler_ = 0;
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

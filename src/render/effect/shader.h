// Shaders: small objects that own one effect compiled from "Data\effect\*.cfx", select its
// technique and, once per frame, set its parameters from their own clocks and state, from the
// time step and colour of the widget that owns them and from the texture that widget shows.
#pragma once
#include <cstdint>

class CDGEffect;
class CDGManager;
class CDGTexture;
class CVTexture;

// What a shader reads of its owner (a widget).
class ShaderOwner {
 public:
  virtual ~ShaderOwner() = default;
  // The time step of the current frame, in the unit of the widget animations.
  virtual float ShaderTimeStep() const = 0;
  // The texture the owner shows now, or null.
  virtual CDGTexture* ShaderSourceTexture() const = 0;
  // The owner's colour (0..255 each) with its effective alpha (0..255).
  virtual void ShaderColor(float* r, float* g, float* b, float* a) const = 0;
};

// Movies played into a texture for the movie transition; installed by the program.
struct ShaderMoviePort {
  virtual ~ShaderMoviePort() = default;
  // Starts the movie (full path) drawing into the texture; the id, or -1.
  virtual int32_t Open(const char* path, CVTexture* target) = 0;
  virtual bool IsFinished(int32_t id) = 0;
  // Stops the movie; it no longer touches its texture afterwards.
  virtual void Close(int32_t id) = 0;
};
void SetShaderMoviePort(ShaderMoviePort* port);
ShaderMoviePort* GetShaderMoviePort();

class CVShader {
 public:
  CVShader() = default;
  CVShader(const CVShader&) = delete;
  CVShader& operator=(const CVShader&) = delete;
  virtual ~CVShader();

  virtual void SetId(int32_t id) { id_ = id; }
  virtual int32_t GetId() const { return id_; }
  virtual void Load() {}
  virtual void SetParams() = 0;
  virtual void Start() {}
  virtual void Disable();
  virtual void Enable();
  virtual bool IsActive() const { return enabled_ != 0; }
  virtual void SetParam(int32_t index, float value) {}
  virtual void SetUserData(ShaderOwner* owner) { owner_ = owner; }
  virtual void SetUserData2(CDGTexture* texture) { textureOverride_ = texture; }
  virtual CDGEffect* GetEffect() const { return effect_; }
  virtual void CreateEffect(CDGManager* manager);
  virtual void ReleaseEffect();
  // Takes a reference to an effect made elsewhere in place of the own one (tests record with it).
  void SetEffect(CDGEffect* effect);
  bool IsEnabledFlag() const { return enabled_ != 0; }

 protected:
  // CreateEffect on the program's device manager, read and compile the file, select the technique.
  void LoadEffect(const char* file, const char* technique);
  // The override texture, else the owner's current texture (null without either).
  CDGTexture* Source() const;
  float TimeStep() const;
  static bool TextureSize(CDGTexture* t, float* w, float* h);
  static bool HolderSize(CVTexture* t, float* w, float* h);
  static CVTexture* LoadPattern(const char* file);
  static void FreePattern(CVTexture*& t);

  ShaderOwner* owner_ = nullptr;
  CDGEffect* effect_ = nullptr;
  CDGTexture* textureOverride_ = nullptr;
  int32_t id_ = -1;
  uint8_t enabled_ = 0;
};

class CVShaderGaussFilter : public CVShader {
 public:
  void Load() override;
  void SetParams() override;
  void SetParam(int32_t index, float value) override;
  void SetDispersion(float d);
  const float* Weights() const { return weight_; }
  // The filter's eight tap offsets for a source of w x h texels ("TexDPosX", "TexDPosY").
  static void SetTapOffsets(CDGEffect* effect, float w, float h);

 private:
  float weight_[8] = {};
};

class CVShaderHSV : public CVShader {
 public:
  void Load() override;
  void SetParams() override {}
  void SetParam(int32_t index, float value) override;
  void SetH(float x);
  void SetS(float x);
  void SetV(float x);
  float H() const { return h_; }
  float S() const { return s_; }
  float V() const { return v_; }

 private:
  void Reevaluate();
  float h_ = 0, s_ = 0, v_ = 0;
};

class CVShaderKsnCloud : public CVShader {
 public:
  CVShaderKsnCloud(float periodA, int32_t kind, const char* patternFile);
  CVShaderKsnCloud(float periodA, float periodB, int32_t kind, const char* patternFile);
  ~CVShaderKsnCloud() override;
  void Load() override;
  void SetParams() override;

 private:
  CVTexture* pattern_ = nullptr;
  int32_t kind_;
  float periodA_, periodB_;
  float timeA_ = 0, timeB_ = 0;
};

class CVShaderKsnCutin : public CVShader {
 public:
  CVShaderKsnCutin(const char* patternFile, float duration, bool reverse);
  ~CVShaderKsnCutin() override;
  void Load() override;
  void SetParams() override;
  void Start() override { skip_ = 1; }
  bool IsActive() const override { return enabled_ && !finished_; }
  void Reset();
  bool Finished() const { return finished_ != 0; }

 private:
  uint8_t finished_ = 0, skip_ = 0, reverse_;
  float duration_, time_ = 0;
  CVTexture* pattern_ = nullptr;
};

class CVShaderKsnFire : public CVShader {
 public:
  CVShaderKsnFire(int32_t columns, int32_t rows, float period, float startTime);
  void Load() override;
  void SetParams() override;

 private:
  int32_t columns_, rows_;
  float period_, time_;
};

class CVShaderKuniCursor : public CVShader {
 public:
  explicit CVShaderKuniCursor(const char* maskFile);
  ~CVShaderKuniCursor() override;
  void Load() override;
  void SetParams() override;
  void SetCursor(uint16_t code, uint16_t x, uint16_t y, uint16_t w, uint16_t h);

 private:
  CVTexture* mask_ = nullptr;
  uint32_t maskWidth_ = 0, maskHeight_ = 0;
  uint16_t provinceCode_ = 0, pad_ = 0;
  uint16_t x_ = 0, y_ = 0, w_ = 0, h_ = 0;
};

class CVShaderMovieTransition : public CVShader {
 public:
  explicit CVShaderMovieTransition(const char* movieFile);
  ~CVShaderMovieTransition() override;
  void Load() override;
  void SetParams() override;
  bool IsActive() const override { return !finished_; }
  CVTexture* MovieTexture() const { return movie_; }
  // The movie started (a missing file or no movie port leaves the shader finished at once).
  bool HasMovie() const { return movieId_ >= 0; }

 private:
  int32_t movieId_ = -1;
  uint8_t finished_ = 0;
  CVTexture* movie_ = nullptr;
};

class CVShaderMultipleAlpha : public CVShader {
 public:
  void Load() override;
  void SetParams() override {}
};

class CVShaderSepia : public CVShader {
 public:
  explicit CVShaderSepia(int32_t mode) : mode_(mode) {}
  void SetId(int32_t x) override { mode_ = x; }
  void Load() override;
  void SetParams() override;
  static float GetDefaultParam(int32_t mode) { return mode == 0 ? 0.1f : 0.0f; }
  static float GetDefaultParamQ(int32_t) { return 0.0f; }

 private:
  int32_t mode_;
};

class CVShaderTexBlendBy : public CVShader {
 public:
  explicit CVShaderTexBlendBy(const char* patternFile);
  ~CVShaderTexBlendBy() override;
  void Load() override;
  void SetParams() override;

 private:
  CVTexture* pattern_ = nullptr;
};

class CVShaderTransition : public CVShader {
 public:
  CVShaderTransition(const char* patternFile, float duration, bool reverse);
  ~CVShaderTransition() override;
  void Load() override;
  void SetParams() override;
  bool IsActive() const override { return !finished_; }
  float Time() const { return time_; }
  // The pattern picture was loaded (without it the wipe shows nothing of the source).
  bool HasPattern() const;

 private:
  uint8_t finished_ = 0, reverse_;
  float duration_, time_ = 0;
  CVTexture* pattern_ = nullptr;
};

class CVShaderVerAddCol : public CVShader {
 public:
  void Load() override;
  void SetParams() override;
};

class CVShaderMgr {
 public:
  virtual ~CVShaderMgr() = default;
  virtual CVShader* CloneShader(const CVShader* shader);
  // Kind 0: vertex add colour; kind 1: HSV; any other kind null.
  virtual CVShader* CreateShader(int32_t kind);
};
CVShaderMgr* GetShaderMgr();

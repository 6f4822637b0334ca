// Root of the graphics engine's objects (intrusive reference count) and the base of everything
// that draws: a renderer registers with the device manager for updates, queues itself for the
// next frame and draws once per pass of each enabled effect attached to it.
#pragma once
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

class CDGManager;
class CDGTexture;
class CDGEffect;

class CDGReferenceObject {
 public:
  CDGReferenceObject() = default;
  CDGReferenceObject(const CDGReferenceObject&) = delete;
  CDGReferenceObject& operator=(const CDGReferenceObject&) = delete;

  virtual void AddRef() { ++refCount_; }
  // Deletes the object when the count drops to 0 or below; true when it did.
  virtual bool Release();
  // Deletes at once, whatever the count; null is ignored.
  static void Destroy(CDGReferenceObject* object) { delete object; }

  int32_t RefCount() const { return refCount_; }

 protected:
  virtual ~CDGReferenceObject() = default;

 private:
  int32_t refCount_ = 1;
};

class CDGRendererBase : public CDGReferenceObject {
 public:
  // Registers for updates when the manager's device exists.
  explicit CDGRendererBase(CDGManager* manager);

  virtual void Update(float elapsedMs) = 0;
  // Draws through the attached effects (see the .cpp for the flags).
  virtual void Render();
  virtual void Draw(bool first, bool notFirst, bool notLast) = 0;
  virtual float GetSortKey() = 0;
  // Puts the renderer on the next frame's queue (nothing without a manager or when disabled).
  virtual void Queue(bool enable);
  virtual void AttachResource(CDGEffect* effect, bool clearFirst, bool deferRecount);
  virtual void DetachResource(CDGEffect* effect);
  virtual CDGTexture* GetTexture() { return nullptr; }
  virtual void SetTexture(CDGTexture*) {}
  virtual bool HitTest(float, float) { return false; }
  virtual void ReleaseResources();
  virtual void RecountPasses();
  virtual void OnMultiPass() {}
  virtual void OnSinglePass() {}
  // The manager is going away: drop every device object and stop calling it.
  virtual void OnManagerGone();

  CDGManager* GetManager() const { return manager_; }
  int32_t TotalPasses() const { return totalPasses_; }
  const std::list<CDGEffect*>& Effects() const { return effects_; }

 protected:
  ~CDGRendererBase() override;
  CDGManager* manager_ = nullptr;

 private:
  void ReleaseEffects();
  std::list<CDGEffect*> effects_;
  int32_t totalPasses_ = 0;
};

class CDGFileLoad;
struct Matrix44;
struct CompiledEffect;

// One effect compiled from an effect file (see render/effect): parameters set by name, a current
// technique whose passes a renderer runs with Begin / BeginPass / EndPass / End (End puts back
// every device state the passes changed). An effect that failed to compile, or was never made,
// has nothing to run: renderers then draw plain and every setter returns false.
class CDGEffect : public CDGReferenceObject {
 public:
  // With a manager the effect registers with its effect manager (device loss and re-creation).
  explicit CDGEffect(CDGManager* manager = nullptr);

  // Compiles the loader's bytes (the effect file); false on failure (the effect is then empty).
  virtual bool Create(CDGFileLoad* loader);
  virtual bool SetVector(const char* name, const float v[4]);
  virtual bool SetMatrix(const char* name, const Matrix44& m);
  // Null unbinds the parameter (it then reads white).
  virtual bool SetTexture(const char* name, CDGTexture* texture);
  virtual bool SetFloat(const char* name, float value);
  // Raw bytes: arrays of floats and float pairs, or a 4-byte integer.
  virtual bool SetValue(const char* name, const void* data, uint32_t byteCount);
  virtual bool SetTechnique(const char* name);
  virtual void SetDevice(CDGManager* manager) { manager_ = manager; }
  // Whether a compiled effect is present.
  virtual bool HasEffect() const;
  virtual bool OnLostDevice();
  virtual bool OnResetDevice();
  virtual void ReleaseEffect();
  // The manager is going away: forget it and every device object.
  virtual void OnManagerGone();

  virtual bool IsEnabled() const { return enabled_; }
  void SetEnabled(bool on) { enabled_ = on; }
  // False when the effect should be skipped altogether.
  virtual bool IsReady() const { return true; }
  // Pass count of the current technique, 0 without a compiled effect (the renderer then draws
  // plain); saves the device state the passes may change.
  virtual int Begin();
  virtual void BeginPass(int pass);
  virtual void EndPass() {}
  virtual void End();

  // The effect file's last compile message (empty after success).
  const std::string& LastError() const { return error_; }

 protected:
  ~CDGEffect() override;
  bool enabled_ = true;

 private:
  struct Value {
    std::vector<float> data;  // ints are stored bit for bit
    CDGTexture* texture = nullptr;
  };
  Value* FindValue(const char* name, int type);
  void DropValues();
  bool Compile();

  CDGManager* manager_ = nullptr;
  std::shared_ptr<CompiledEffect> compiled_;
  std::string source_;  // the effect file's text, kept for re-creation
  std::string path_;
  std::string technique_;
  int techniqueIndex_ = 0;
  std::vector<Value> values_;  // one per parameter of the compiled effect
  std::string error_;
  bool begun_ = false;
  struct Saved {
    uint8_t src = 0, dst = 0;
    bool z = true, linear = false, wrap = false;
    uint32_t program = 0;
  } saved_;
  bool unitsUsed_ = false;
};

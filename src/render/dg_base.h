// Root of the graphics engine's objects (intrusive reference count) and the base of everything
// that draws: a renderer registers with the device manager for updates, queues itself for the
// next frame and draws once per pass of each enabled effect attached to it.
#pragma once
#include <cstdint>
#include <list>

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

// A drawing effect as the renderers use it: an enabled flag and the passes of its current
// technique. A plain effect has one pass that changes nothing.
class CDGEffect : public CDGReferenceObject {
 public:
  virtual bool IsEnabled() const { return enabled_; }
  void SetEnabled(bool on) { enabled_ = on; }
  // False when the effect has nothing to run (then it is drawn as if it were disabled).
  virtual bool IsReady() const { return true; }
  // Pass count of the current technique.
  virtual int Begin() { return 1; }
  virtual void BeginPass(int) {}
  virtual void EndPass() {}
  virtual void End() {}

 protected:
  bool enabled_ = true;
};

#include "render/dg_base.h"

#include <vector>

#include "render/dg_manager.h"

bool CDGReferenceObject::Release() {
  if (--refCount_ <= 0) {
    delete this;
    return true;
  }
  return false;
}

CDGRendererBase::CDGRendererBase(CDGManager* manager) : manager_(manager) {
  if (manager_) manager_->AddToUpdateList(this);
}

CDGRendererBase::~CDGRendererBase() {
  ReleaseEffects();
  if (manager_) manager_->RemoveRenderer(this);
  manager_ = nullptr;
}

void CDGRendererBase::Queue(bool enable) {
  if (manager_ && enable) manager_->QueueRender(this);
}

void CDGRendererBase::AttachResource(CDGEffect* effect, bool clearFirst, bool deferRecount) {
  if (clearFirst) ReleaseResources();
  if (!effect) return;
  effect->AddRef();
  effects_.push_back(effect);
  if (!deferRecount) RecountPasses();
}

// Every node holding the effect goes, and each held one reference: release once per node (a
// single release would leak the references of duplicates).
void CDGRendererBase::DetachResource(CDGEffect* effect) {
  std::vector<CDGEffect*> removed;
  for (auto it = effects_.begin(); it != effects_.end();) {
    if (*it == effect) {
      removed.push_back(*it);
      it = effects_.erase(it);
    } else {
      ++it;
    }
  }
  for (CDGEffect* e : removed)
    if (e) e->Release();
  RecountPasses();
}

void CDGRendererBase::ReleaseEffects() {
  std::list<CDGEffect*> old;
  old.swap(effects_);
  for (CDGEffect* e : old)
    if (e) e->Release();
}

void CDGRendererBase::ReleaseResources() {
  ReleaseEffects();
  RecountPasses();
}

void CDGRendererBase::RecountPasses() {
  totalPasses_ = 0;
  bool announced = false;
  for (CDGEffect* e : effects_) {
    if (e && e->IsReady()) {
      totalPasses_ += e->Begin();
      e->End();
    }
    if (totalPasses_ > 1 && !announced) {
      OnMultiPass();
      announced = true;
    }
  }
  if (totalPasses_ <= 1) OnSinglePass();
}

// Disabled effects are skipped: "first" and "last" are worked out from the passes of the enabled
// effects alone, so a disabled effect neither draws an extra plain copy nor stops the last pass
// from being flagged. Without an enabled effect the renderer draws once, plain.
void CDGRendererBase::Render() {
  int total = 0;
  for (CDGEffect* e : effects_)
    if (e && e->IsEnabled() && e->IsReady()) {
      total += e->Begin();
      e->End();
    }
  if (total <= 0) {
    Draw(false, false, false);
    return;
  }
  int counter = 0;
  for (CDGEffect* e : effects_) {
    if (!e || !e->IsEnabled() || !e->IsReady()) continue;
    const int passes = e->Begin();
    for (int i = 0; i < passes; ++i) {
      e->BeginPass(i);
      Draw(counter == 0, counter != 0, counter != total - 1);
      ++counter;
      e->EndPass();
    }
    e->End();
  }
}

void CDGRendererBase::OnManagerGone() {
  // Called by the manager after it emptied its lists; anyone else leaves them here first.
  if (manager_) manager_->RemoveRenderer(this);
  ReleaseEffects();
  totalPasses_ = 0;
  manager_ = nullptr;
}

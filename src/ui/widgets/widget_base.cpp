#include "ui/widgets/widget_base.h"

#include <cmath>
#include <cstdio>

#include "core/game_clock.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/menu_button.h"

namespace {
constexpr float kEps = 1.1920929e-07f;

float Clamp255(float v) { return v < 0.0f ? 0.0f : (v > 255.0f ? 255.0f : v); }

// Id and pattern offsets come from layout data: the sum stops at the int range, never overflows.
int32_t AddClamped(int32_t a, int32_t d) {
  const int64_t s = static_cast<int64_t>(a) + d;
  return s > INT32_MAX ? INT32_MAX : (s < INT32_MIN ? INT32_MIN : static_cast<int32_t>(s));
}
}  // namespace

uint8_t ButtonClickLatch = 0;

void ClearOneShotInput() {
  if (ButtonClickLatch & 4) ButtonClickLatch &= static_cast<uint8_t>(~7u);
  if (ButtonClickLatch & 2) ButtonClickLatch |= 4;
}

int32_t RoundNudged(float v) {
  // Float on purpose: 2.99999976 + 1.1920929e-07 rounds to 3 in float and truncates to 2 in double.
  volatile float t = v > 0.0f ? v + kEps : v - kEps;
  if (!std::isfinite(t)) return 0;
  if (t >= 2147483520.0f) return INT32_MAX;
  if (t <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(t);
}

CVMenuBase::CVMenuBase() = default;

CVMenuBase::~CVMenuBase() {
  // Subclasses release in their own destructors; the base frees its own parts.
  CVMenuBase::Release();
}

void CVMenuBase::Release() {
  ReleaseShaders();
  children.DeleteAll(-1);
}

// ---------------------------------------------------------------------------------------------
// Update and drawing

void CVMenuBase::Update(int32_t x, int32_t y, uint32_t click) {
  if (flags.Test(kWfOpened)) flags.Set(kWfOpened, 0);
  selectedId = decidedId = disabledClickId = -1;
  UpdateAnime();
  if (flags.Test(kWfActive)) UpdateTransform(false);
  ApplyShaderParams();
  ForEachChild(this, [&](CVMenuBase* c) {
    c->timeStep = timeStep;
    c->clickState = clickState;
    c->Update(x, y, click);
  });
  if (flags.Test(kWfActive) && clickState == 2 && cancelId != -1 && decidedId == -1) PressCancel(cancelId);
}

void CVMenuBase::Draw(int32_t arg) {
  if (!flags.Test(kWfShown) || !flags.Test(kWfActive)) return;
  ForEachChild(this, [&](CVMenuBase* c) { c->Draw(arg); });
}

bool CVMenuBase::IsDrawable(int32_t) { return flags.Test(kWfShown) && flags.Test(kWfActive); }

bool CVMenuBase::IsShown() { return flags.Test(kWfShown) && flags.Test(kWfActive); }

void CVMenuBase::Open(int32_t a, int32_t b, int32_t c) {
  ForEachChild(this, [&](CVMenuBase* ch) { ch->Open(a, b, c); });
  SetFlagAll(kWfActive, true);
  SetFlagAll(kWfOpened, true);
  for (float& o : openOffsets) o = 0.0f;
  GetMenuMgr().clockMs = GetGameTimeMs();
  GetMenuMgr().frameCounter = 0;
  selectedId = decidedId = disabledClickId = -1;
  // A button tests the pointer before its own Update rebuilds its matrix: build the subtree's
  // matrices now, or the first frame after opening hit-tests at the identity place.
  UpdateTransform(true);
}

void CVMenuBase::Close() {
  ForEachChild(this, [&](CVMenuBase* ch) { ch->Close(); });
  SetFlagAll(kWfActive, false);
}

int32_t CVMenuBase::SetState(int32_t s, int32_t force) {
  if (GetState() == s && !force) return 0;
  state = static_cast<float>(s);
  return 1;
}

int32_t CVMenuBase::GetState() { return RoundNudged(state); }

void CVMenuBase::Tick() {
  if (!flags.Test(kWfActive)) return;
  ForEachChild(this, [&](CVMenuBase* c) { c->Tick(); });
}

bool CVMenuBase::SetColour(const Color& c) {
  if (!(c != colour)) return false;
  colour = c;
  return true;
}

void CVMenuBase::GetColour(Color& out) {
  out = Color(Clamp255(colour.r), Clamp255(colour.g), Clamp255(colour.b), Clamp255(effectiveAlpha));
}

void CVMenuBase::SetFlagAll(int bit, bool on) {
  flags.Set(bit, on);
  ForEachChild(this, [&](CVMenuBase* c) { c->SetFlagAll(bit, on); });
}

void CVMenuBase::SetFlag(int bit, bool on) { flags.Set(bit, on); }

void CVMenuBase::SetFlagByType(uint32_t type, int bit, bool on) {
  if (widgetType == type) SetFlag(bit, on);
  ForEachChild(this, [&](CVMenuBase* c) { c->SetFlagByType(type, bit, on); });
}

int32_t CVMenuBase::GetMouseButton() const { return GetWidgetInput().GetMouseButton(); }

void CVMenuBase::SetSelect(int32_t id, bool decided) {
  selectedId = id;
  if (decided) decidedId = id;
  if (parent) parent->SetSelect(id, decided);
}

void CVMenuBase::SetDisabledClick(int32_t id, bool on) {
  disabledClickId = on ? id : -1;
  if (parent) parent->SetDisabledClick(id, on);
}

void CVMenuBase::DumpTree() {
  ForEachChild(this, [&](CVMenuBase* c) { c->DumpTree(); });
}

const char* CVMenuBase::TypeWord(uint32_t type) {
  static const char* const kWords[] = {"Base", "Root", "Win", "Btn", "Text", "List", "ScrB", "ParB", "", ""};
  return type < 10 ? kWords[type] : "";
}

int32_t CVMenuBase::SiblingIndex() const {
  if (!parent) return IndexOf(-1) < 0 ? 0 : IndexOf(-1);
  int32_t n = 0;
  for (CVListBase* s = parent->children.first; s && s != this; s = s->next)
    if (static_cast<CVMenuBase*>(s)->widgetType == widgetType) ++n;
  return n;
}

void CVMenuBase::GetPathName(std::string& out) const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%2d", TypeWord(widgetType), static_cast<int>(SiblingIndex()));
  out = buf;
  for (const CVMenuBase* a = parent; a; a = a->parent) {
    std::snprintf(buf, sizeof buf, "%s%2d/", TypeWord(a->widgetType), static_cast<int>(a->SiblingIndex()));
    out.insert(0, buf);
  }
}

void CVMenuBase::SetStateAnimes(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4) {
  stateAnimes[0] = a0;
  stateAnimes[1] = a1;
  stateAnimes[2] = a2;
  stateAnimes[3] = a3;
  stateAnimes[4] = a4;
}

void CVMenuBase::ApplyShaderParams() {
  for (auto& [key, s] : shaders)
    if (s) s->Apply();
}

// ---------------------------------------------------------------------------------------------
// Transform

void CVMenuBase::SetPosXY(float x, float y) {
  if (position.x != x || position.y != y) {
    position.x = x;
    position.y = y;
  }
}

void CVMenuBase::SetPosXYZ(float x, float y, float z) {
  if (position.x != x || position.y != y || position.z != z) position = Vector3(x, y, z);
}

void CVMenuBase::SetPosZ(float z) {
  if (position.z != z) position.z = z;
}

void CVMenuBase::SetSize(float w, float h) {
  if (size.x != w || size.y != h) {
    size.x = w;
    size.y = h;
  }
}

void CVMenuBase::SetScale(float x, float y, float z) {
  if (scale.x != x || scale.y != y) scale = Vector3(x, y, z);
}

void CVMenuBase::SetRotX(float d) {
  if (rotation.x != d) rotation.x = d;
}
void CVMenuBase::SetRotY(float d) {
  if (rotation.y != d) rotation.y = d;
}
void CVMenuBase::SetRotZ(float d) {
  if (rotation.z != d) rotation.z = d;
}

void CVMenuBase::SetAlpha(float a) {
  if (alpha != a) alpha = a;
}

void CVMenuBase::UpdateTransform(bool recurse) {
  Matrix44 s = MakeTranslationMatrix(-scalePivot.x, -scalePivot.y, -scalePivot.z);
  s.Multiply(MakeScalingMatrix(scale.x, scale.y, scale.z), s);
  s.Multiply(MakeTranslationMatrix(scalePivot.x, scalePivot.y, scalePivot.z), s);

  const float cx = size.x / 2.0f, cy = size.y / 2.0f;
  Matrix44 r = MakeTranslationMatrix(cx - rotPivot.x, cy - rotPivot.y, 0.0f);
  r.Multiply(MakeRotationXMatrix(rotation.x), r);
  r.Multiply(MakeRotationYMatrix(rotation.y), r);
  Matrix44 rz;
  rz.RotationZ(rotation.z);
  r.Multiply(rz, r);
  r.Multiply(MakeTranslationMatrix(rotPivot.x - cx, rotPivot.y - cy, 0.0f), r);

  const Matrix44 t = MakeTranslationMatrix(position.x + offset.x, position.y + offset.y, position.z + offset.z);
  s.Multiply(r, localMatrix);
  localMatrix.Multiply(t, localMatrix);

  if (parent) {
    localMatrix.Multiply(parent->worldMatrix, worldMatrix);
    effectiveAlpha = Clamp255((parent->effectiveAlpha / 255.0f) * (alpha / 255.0f) * 255.0f);
  } else {
    worldMatrix = localMatrix;
    effectiveAlpha = alpha;
  }
  if (recurse) ForEachChild(this, [](CVMenuBase* c) { c->UpdateTransform(true); });
}

void CVMenuBase::GetWorldPos(Vector3& out) const { worldMatrix.TransformCoord(position, out); }

void CVMenuBase::GetParentWorldPos(Vector3& out) const {
  if (!parent) {
    out = Vector3(0, 0, 0);
    return;
  }
  parent->worldMatrix.TransformCoord(Vector3(0, 0, 0), out);
}

float CVMenuBase::GetWorldZ() const {
  Vector3 p;
  GetWorldPos(p);
  return p.z;
}

// ---------------------------------------------------------------------------------------------
// Tree

void CVMenuBase::AddChild(CVMenuBase* child) {
  if (!child || child == this) return;
  children.Append(child);
  child->parent = this;
}

CVMenuBase* CVMenuBase::FirstChild() const { return static_cast<CVMenuBase*>(children.first); }

CVMenuBase* CVMenuBase::NextSibling() const { return static_cast<CVMenuBase*>(next); }

CVMenuBase* CVMenuBase::FindChild(int32_t type, int32_t index) const {
  if (index < 0) return nullptr;
  int32_t n = 0;
  for (CVListBase* c = children.first; c; c = c->next) {
    CVMenuBase* w = static_cast<CVMenuBase*>(c);
    if (type != -1 && w->widgetType != static_cast<uint32_t>(type)) continue;
    if (n++ == index) return w;
  }
  return nullptr;
}

CVMenuBtn* CVMenuBase::FindButtonById(int32_t id) {
  for (CVListBase* c = children.first; c; c = c->next) {
    CVMenuBase* w = static_cast<CVMenuBase*>(c);
    if (w->widgetType == kWidgetBtn) {
      CVMenuBtn* b = static_cast<CVMenuBtn*>(w);
      if (b->firstId == id || b->secondId == id) return b;
    }
    if (CVMenuBtn* found = w->FindButtonById(id)) return found;
  }
  return nullptr;
}

void CVMenuBase::CollectShownByType(int32_t type, std::vector<CVMenuBase*>& out) {
  if (!IsShown()) return;
  for (CVListBase* c = children.first; c; c = c->next) {
    CVMenuBase* w = static_cast<CVMenuBase*>(c);
    if (type == -1 || w->widgetType == static_cast<uint32_t>(type)) out.push_back(w);
    w->CollectShownByType(type, out);
  }
}

void CVMenuBase::OffsetButtonIds(int32_t delta) {
  if (widgetType == kWidgetBtn) {
    CVMenuBtn* b = static_cast<CVMenuBtn*>(this);
    if (b->firstId != -1) b->firstId = AddClamped(b->firstId, delta);
    if (b->secondId != -1) b->secondId = AddClamped(b->secondId, delta);
  }
  ForEachChild(this, [&](CVMenuBase* c) { c->OffsetButtonIds(delta); });
}

void CVMenuBase::OffsetPatterns(int32_t delta) {
  if (widgetType == kWidgetBtn) {
    CVMenuBtn* b = static_cast<CVMenuBtn*>(this);
    for (int32_t& p : b->statePatterns) p = AddClamped(p, delta);
  } else {
    state += static_cast<float>(delta);
  }
  // The whole subtree's patterns move; its ids were already offset once by OffsetButtonIds.
  ForEachChild(this, [&](CVMenuBase* c) { c->OffsetPatterns(delta); });
}

void CVMenuBase::LatchButtonsTree() {
  if (widgetType == kWidgetBtn && static_cast<CVMenuBtn*>(this)->IsPressed()) ButtonClickLatch |= 2;
  ForEachChild(this, [](CVMenuBase* c) { c->LatchButtonsTree(); });
}

bool CVMenuBase::PressCancel(int32_t id) {
  const int32_t bound = GetMenuMgr().GetDepthBound();
  for (CVListBase* n = children.first; n; n = n->next) {
    CVMenuBase* c = static_cast<CVMenuBase*>(n);
    const float z = c->GetWorldZ();
    if (c->flags.Test(kWfActive) && c->flags.Test(kWfEnabled) && c->flags.Test(kWfShown) && !c->flags.Test(kWfNoHit) &&
        !(static_cast<float>(bound) > z) && c->widgetType == kWidgetBtn && !(ButtonClickLatch & 1)) {
      CVMenuBtn* b = static_cast<CVMenuBtn*>(c);
      if (b->firstId == id || b->secondId == id) {
        b->Press(id);
        return true;
      }
    }
    if (c->PressCancel(id)) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Reference parameters

void CVMenuBase::SetRefParam(int32_t i, float v) {
  if (i >= 0 && i < 3) refParams[i] = v;
}

void CVMenuBase::SetRefParams(float a, float b, float c) {
  refParams[0] = a;
  refParams[1] = b;
  refParams[2] = c;
}

float CVMenuBase::GetRefParam(int32_t i) const { return i >= 0 && i < 3 ? refParams[i] : 0.0f; }

void CVMenuBase::CopyRefParamsFrom(const CVMenuBase* other) {
  if (!other) return;
  for (int i = 0; i < 3; ++i) refParams[i] = other->refParams[i];
}

void CVMenuBase::SetRefParamTree(int32_t i, float v) {
  SetRefParam(i, v);
  ForEachChild(this, [&](CVMenuBase* c) { c->SetRefParamTree(i, v); });
}

// ---------------------------------------------------------------------------------------------
// Shaders

int32_t CVMenuBase::AddShader(WidgetShader* shader, bool clear, int32_t key) {
  if (clear) ReleaseShaders();
  if (!shader) return -1;
  if (key == 0) key = shaders.empty() ? 0 : shaders.rbegin()->first + 1;
  shaders[key].reset(shader);
  shader->Attach(this);
  return key;
}

void CVMenuBase::ReleaseShaders() { shaders.clear(); }

void CVMenuBase::RemoveShader(int32_t key) { shaders.erase(key); }

void CVMenuBase::EnableShaders() {
  for (auto& [k, s] : shaders)
    if (s) s->Enable();
}

void CVMenuBase::DisableShaders() {
  for (auto& [k, s] : shaders)
    if (s) s->Disable();
}

bool CVMenuBase::IsAnyShaderEnabled() const {
  for (const auto& [k, s] : shaders)
    if (s && s->IsEnabled()) return true;
  return false;
}

void CVMenuBase::SetShaderParams(int32_t key, float p0, float p1, float p2) {
  auto set = [&](WidgetShader* s) {
    if (!s) return;
    s->SetParam(0, p0);
    s->SetParam(1, p1);
    s->SetParam(2, p2);
  };
  if (key == -1) {
    for (auto& [k, s] : shaders) set(s.get());
    return;
  }
  auto it = shaders.find(key);
  if (it != shaders.end()) set(it->second.get());
}

void CVMenuBase::CopyShadersFrom(const CVMenuBase* other) {
  if (!other) return;
  if (!other->flags.Test(kWfLoadOnOpen)) {
    for (const auto& [k, s] : other->shaders)
      if (s) AddShader(CreateWidgetShader(s->Id()), false, 0);
  }
  effectId = other->effectId;
}

void CVMenuBase::AddEffectShader() {
  if (effectId == -1) return;
  if (WidgetShader* s = CreateWidgetShader(effectId)) AddShader(s, false, 0);
}

#include "ui/widgets/menu_model.h"

#include "core/game_file.h"
#include "platform/text/log.h"
#include "ui/widgets/safe_format.h"

CVMenuModel::~CVMenuModel() { CVMenuModel::Release(); }

void CVMenuModel::DropRenderer() {
  delete renderer;
  renderer = nullptr;
  ReleaseShaders();
}

void CVMenuModel::Release() {
  DropRenderer();
  CVMenuBase::Release();
}

void CVMenuModel::Update(int32_t x, int32_t y, uint32_t click) {
  if (renderer) {
    modelFlags &= static_cast<uint16_t>(~(kStarted | kEnded));
    const bool playing = renderer->IsPlaying();
    if (playing && !(modelFlags & kPlaying)) {
      modelFlags |= kPlaying | kStarted;
    } else if (!playing && (modelFlags & kPlaying)) {
      modelFlags &= static_cast<uint16_t>(~kPlaying);
      modelFlags |= kEnded;
    }
  }
  CVMenuBase::Update(x, y, click);
}

void CVMenuModel::Draw(int32_t arg) {
  // Like windows, a model is not drawn in the frame it opened.
  if (renderer && flags.Test(kWfShown) && flags.Test(kWfActive) && !flags.Test(kWfOpened)) {
    Vector3 p;
    worldMatrix.TransformCoord(Vector3(0, 0, 0), p);
    renderer->SetTransform(p, rotation, scale);
    IsDrawable(arg);
  }
  CVMenuBase::Draw(arg);
}

bool CVMenuModel::IsDrawable(int32_t) {
  if (!renderer || !flags.Test(kWfShown) || !flags.Test(kWfActive)) return false;
  Color c;
  GetColour(c);
  return renderer->IsDrawable(c.r, c.g, c.b, c.a, flags.bits);
}

void CVMenuModel::Open(int32_t a, int32_t b, int32_t c) {
  if (!flags.Test(kWfActive)) {
    FixedPath name = modelName;
    LoadModel(name.CStr(), true);
  }
  CVMenuBase::Open(a, b, c);
}

void CVMenuModel::Close() {
  if (flags.Test(kWfActive)) DropRenderer();
  CVMenuBase::Close();
}

bool CVMenuModel::LoadModel(const char* name, bool force) {
  if (!name) return false;
  if (!force && modelName.Equals(name)) return false;
  modelName.Assign(name);
  if (!*name) return false;
  if (!renderer) renderer = CreateMenuModelRenderer();
  if (!renderer) return false;  // no model renderer installed: nothing is loaded
  int32_t size = 0;
  uint8_t* data = LoadGameFile((std::string(GetModuleDir()) + name).c_str(), &size);
  bool ok = false;
  if (data && size > 0) {
    ok = renderer->LoadModel(data, size);
  } else {
    plat::Log("ui", "model %s could not be read", name);
  }
  if (data) FreeGameFile(data);
  AddEffectShader();
  return ok;
}

bool CVMenuModel::SetModelF(int32_t n) {
  if (namePattern.Length() == 0) return false;
  char name[FixedPath::kCapacity];
  SafeFormatInt(name, sizeof name, namePattern.CStr(), n);
  return LoadModel(name, false);
}

void CVMenuModel::SetAnimation(int32_t n) {
  if (renderer) renderer->RestartAnimation(n);
}

bool CVMenuModel::LoadModelWithTextures(const char* name, const std::vector<std::string>& textures) {
  const bool ok = LoadModel(name, true);
  if (renderer) renderer->ReplaceTexture(name, textures);
  return ok;
}

bool CVMenuModel::LoadModelOne(const char* name, const char* a, const char* b) {
  std::vector<std::string> list;
  list.emplace_back(a ? a : "");
  if (b) list.emplace_back(b);
  return LoadModelWithTextures(name, list);
}

#include "render/texture_holder.h"

#include <cstring>

#include "render/dg_manager.h"
#include "render/file_load.h"

CVTexture::~CVTexture() { ReleaseTexture(); }

void CVTexture::ReleaseTexture() {
  if (texture_) texture_->Release();
  texture_ = nullptr;
}

void CVTexture::Release() { ReleaseTexture(); }

int32_t CVTexture::GetWidth() const {
  uint32_t w = 0;
  return texture_ && texture_->GetSurfaceSize(&w, nullptr) ? static_cast<int32_t>(w) : 0;
}

int32_t CVTexture::GetHeight() const {
  uint32_t h = 0;
  return texture_ && texture_->GetSurfaceSize(nullptr, &h) ? static_cast<int32_t>(h) : 0;
}

void CVTexture::Drop() {
  if (--users_ <= 0) delete this;
}

bool CVTexture::Load(const char* path, bool mipmapped) {
  if (!path || !*path) return true;
  // A holder whose texture was released reloads even when the path is unchanged.
  if (path_.Equals(path) && texture_) return true;
  ReleaseTexture();
  CDGManager* mgr = GetDGManager();
  if (!mgr) return false;
  CDGFileLoad_QZT* loader = new CDGFileLoad_QZT();
  texture_ = mgr->LoadTextureFromLoader(path, loader, mipmapped ? 0 : 1);
  loader->Release();
  if (!texture_) return false;
  path_.Assign(path);
  path_.GetFileName(name_);
  uint32_t w = 0, h = 0;
  if (texture_->GetSurfaceSize(&w, &h)) {
    width_ = static_cast<int32_t>(w);
    height_ = static_cast<int32_t>(h);
  } else {
    width_ = height_ = 0;
  }
  return true;
}

bool CVTexture::LoadFlagged(const char* path, int32_t /*left*/, int32_t /*top*/, int32_t width, int32_t height) {
  if (!path || !*path) return true;
  if (path_.Equals(path) && texture_) return true;
  ReleaseTexture();
  CDGManager* mgr = GetDGManager();
  if (!mgr) return false;
  CDGFileLoad_QZT* loader = new CDGFileLoad_QZT();
  texture_ = mgr->LoadTextureFromLoader(path, loader, 1);
  loader->Release();
  if (!texture_) return false;
  path_.Assign(path);
  path_.GetFileName(name_);
  width_ = width;
  height_ = height;
  return true;
}

bool CVTexture::CreateEmpty(int32_t width, int32_t height) {
  ReleaseTexture();
  CDGManager* mgr = GetDGManager();
  if (!mgr) return false;
  auto* t = new CDGTexture(mgr);
  if (!t->CreateEmpty(width, height)) {
    t->Release();
    return false;
  }
  texture_ = t;
  width_ = width;
  height_ = height;
  return true;
}

CVTexture* CVTextureMgr::FindTexture(const char* path) const {
  if (!path) return nullptr;
  for (CVListBase* n = first; n; n = n->next) {
    auto* h = static_cast<CVTexture*>(n);
    if (h->Path().Equals(path)) return h;
  }
  return nullptr;
}

CVTexture* CVTextureMgr::GetTexture(const char* path, bool share, bool mipmapped) {
  if (share) {
    if (CVTexture* h = FindTexture(path)) {
      h->AddUser();
      return h;
    }
  }
  auto* h = new CVTexture(-1);
  if (!h->Load(path, mipmapped)) {
    delete h;
    return nullptr;
  }
  Append(h);
  return h;
}

CVTexture* CVTextureMgr::GetTextureFlagged(const char* path, int32_t left, int32_t top, int32_t width, int32_t height) {
  auto* h = new CVTexture(-1);
  if (!h->LoadFlagged(path, left, top, width, height)) {
    delete h;
    return nullptr;
  }
  Append(h);
  return h;
}

CVTexture* CVTextureMgr::CreateTexture() {
  auto* h = new CVTexture(-1);
  Append(h);
  return h;
}

CVTextureMgr* GetTextureMgr() {
  static CVTextureMgr* mgr = new CVTextureMgr();  // lives to the end of the program
  return mgr;
}

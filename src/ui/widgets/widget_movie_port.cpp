#include "ui/widgets/widget_movie_port.h"

#include <algorithm>

#include "movie/movie_mgr.h"
#include "movie/movie_screen.h"
#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "render/texture_holder.h"

CDGTextureMovieTarget::CDGTextureMovieTarget(CDGTexture* texture) : texture_(texture) {
  if (texture_) texture_->AddRef();
}

CDGTextureMovieTarget::~CDGTextureMovieTarget() {
  if (texture_) texture_->Release();
}

void CDGTextureMovieTarget::OnMovieFrame(const uint8_t* rgba, int width, int height, int pitch) {
  uint32_t tw = 0, th = 0;
  if (!texture_ || !rgba || width <= 0 || height <= 0 || pitch < width * 4) return;
  if (!texture_->GetSurfaceSize(&tw, &th) || tw == 0 || th == 0) return;
  scaled_.resize(static_cast<size_t>(tw) * th * 4);
  for (uint32_t y = 0; y < th; ++y) {
    const uint8_t* src = rgba + static_cast<size_t>(static_cast<int64_t>(y) * height / th) * pitch;
    uint8_t* dst = scaled_.data() + static_cast<size_t>(y) * tw * 4;
    for (uint32_t x = 0; x < tw; ++x) {
      const uint8_t* p = src + static_cast<size_t>(static_cast<int64_t>(x) * width / tw) * 4;
      std::copy(p, p + 4, dst + x * 4);
    }
  }
  if (texture_->ApplyUpload(plat::Rect{0, 0, static_cast<int>(tw), static_cast<int>(th)}, scaled_)) ++updates_;
}

MovieMgrShaderPort::~MovieMgrShaderPort() {
  for (auto& [id, target] : targets_) GetMovieMgr().SetTargetTexture(id, nullptr);
}

int32_t MovieMgrShaderPort::Open(const char* path, CVTexture* target) {
  CDGTexture* t = target ? target->GetTexture() : nullptr;
  if (!t) return -1;
  auto sink = std::make_unique<CDGTextureMovieTarget>(t);
  MovieMgr& mgr = GetMovieMgr();
  const int32_t id = mgr.OpenTextureMovie(-1, path, sink.get());
  if (id < 0) return -1;
  targets_[id] = std::move(sink);
  mgr.Play(id, false);
  return id;
}

bool MovieMgrShaderPort::IsFinished(int32_t id) { return GetMovieMgr().IsFinished(id); }

void MovieMgrShaderPort::Close(int32_t id) {
  GetMovieMgr().Close(id);
  targets_.erase(id);
}

MovieMgrWidgetPort::MovieMgrWidgetPort() = default;

MovieMgrWidgetPort::~MovieMgrWidgetPort() {
  for (auto& [id, target] : targets_) GetMovieMgr().SetTargetTexture(id, nullptr);
}

int32_t MovieMgrWidgetPort::Open(const char* path) {
  MovieMgr& mgr = GetMovieMgr();
  const int32_t id = mgr.OpenTextureMovie(-1, path, nullptr);
  if (id < 0) return -1;
  uint32_t w = 0, h = 0;
  mgr.GetVideoSize(id, &w, &h);
  if (w == 0 || h == 0) {
    mgr.Close(id);
    return -1;
  }
  return id;
}

void MovieMgrWidgetPort::GetVideoSize(int32_t id, uint32_t* w, uint32_t* h) { GetMovieMgr().GetVideoSize(id, w, h); }

void MovieMgrWidgetPort::SetTarget(int32_t id, CVTexture* texture) {
  CDGTexture* t = texture ? texture->GetTexture() : nullptr;
  CDGManager* mgr = t ? t->GetManager() : nullptr;
  if (!t || !mgr || !mgr->Device()) {
    GetMovieMgr().SetTargetTexture(id, nullptr);
    targets_.erase(id);
    return;
  }
  auto target = std::make_unique<CDGTextureMovieTarget>(t);
  GetMovieMgr().SetTargetTexture(id, target.get());
  targets_[id] = std::move(target);
}

void MovieMgrWidgetPort::Play(int32_t id, bool loop) { GetMovieMgr().Play(id, loop); }

bool MovieMgrWidgetPort::IsFinished(int32_t id) { return GetMovieMgr().IsFinished(id); }

void MovieMgrWidgetPort::Close(int32_t id) {
  GetMovieMgr().Close(id);
  targets_.erase(id);
}

void InstallMovieWidgetPort() {
  // Kept to the end of the process, like the movie manager it talks to.
  static MovieMgrWidgetPort* port = new MovieMgrWidgetPort();
  SetWidgetMoviePort(port);
  static MovieMgrShaderPort* shaderPort = new MovieMgrShaderPort();
  SetShaderMoviePort(shaderPort);
}

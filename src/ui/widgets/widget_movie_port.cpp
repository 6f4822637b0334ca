#include "ui/widgets/widget_movie_port.h"

#include "movie/movie_mgr.h"
#include "movie/movie_screen.h"
#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "render/texture_holder.h"

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
  auto target = std::make_unique<MovieTextureTarget>(mgr->Device(), t->DeviceId());
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
}

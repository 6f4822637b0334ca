#include "movie/movie_mgr.h"

#include <cstdint>
#include <string>

#include "core/game_clock.h"
#include "platform/fs/fs.h"
#include "platform/text/log.h"

MovieMgr::MovieMgr() : lastUpdate_(GetGameTimeMs()) {}

MovieMgr::~MovieMgr() { CloseAll(); }

bool MovieMgr::Init() {
  std::lock_guard<std::mutex> lock(mu_);
  lastUpdate_ = GetGameTimeMs();
  return true;
}

std::unique_ptr<MoviePlayer> MovieMgr::OpenPlayer(const char* file, MovieFrameTarget* target, bool* opened) {
  auto player = std::make_unique<MoviePlayer>();
  std::string hostPath;
  *opened = false;
  std::string error = "not found";
  if (file && plat::ResolvePath(file, hostPath)) {
    *opened = player->Open(hostPath, target, sinkFactory_, waitForDecoder_, &error);
  }
  if (!*opened) plat::Log("movie", "cannot play %s: %s", file ? file : "(null)", error.c_str());
  return player;
}

bool MovieMgr::PlayFullScreen(const char* file, bool loop, bool closeWhenFinished) {
  std::lock_guard<std::mutex> lock(mu_);
  CloseAllLocked();
  bool opened = false;
  std::unique_ptr<MoviePlayer> player = OpenPlayer(file, fullScreenTarget_, &opened);
  if (!opened) return false;
  player->SetVolume(volume_);
  player->loop = loop;
  player->closeWhenFinished = closeWhenFinished;
  player->Play();
  fullScreen_.store(true, std::memory_order_release);
  players_[kFullScreenId] = std::move(player);
  return true;
}

int32_t MovieMgr::OpenTextureMovie(int32_t requestedId, const char* file, MovieFrameTarget* texture) {
  std::lock_guard<std::mutex> lock(mu_);
  if (BlocksDisplay()) return -1;
  const int32_t id = AllocId(requestedId);
  bool opened = false;
  std::unique_ptr<MoviePlayer> player = OpenPlayer(file, texture, &opened);
  player->SetVolume(volume_);
  players_[id] = std::move(player);
  return id;
}

int32_t MovieMgr::AllocId(int32_t requestedId) const {
  if (requestedId != -1 && players_.find(requestedId) == players_.end()) return requestedId;
  if (players_.empty()) return 0;
  const int32_t largest = players_.rbegin()->first;
  if (largest < INT32_MAX) return largest + 1;
  // A script asked for the largest id there is: the next one would overflow and collide, so take
  // the smallest free id from 0 up instead.
  int32_t id = 0;
  while (players_.count(id) != 0) ++id;
  return id;
}

MoviePlayer* MovieMgr::Find(int32_t id) {
  auto it = players_.find(id);
  return it == players_.end() ? nullptr : it->second.get();
}

bool MovieMgr::Play(int32_t id, bool loop) {
  std::lock_guard<std::mutex> lock(mu_);
  MoviePlayer* p = Find(id);
  if (!p) return false;
  p->loop = loop;
  p->Play();
  return true;
}

bool MovieMgr::PlayFromStart(int32_t id, bool loop) {
  std::lock_guard<std::mutex> lock(mu_);
  MoviePlayer* p = Find(id);
  if (!p) return false;
  p->loop = loop;
  p->SeekAndRun(0);
  return true;
}

bool MovieMgr::IsFinished(int32_t id) {
  std::unique_lock<std::mutex> lock(mu_, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  if (BlocksDisplay()) {
    // The flag outlives the full-screen movie: with the table empty the movie is over.
    return players_.empty() || players_.begin()->second->IsFinished();
  }
  MoviePlayer* p = Find(id);
  return !p || p->IsFinished();
}

bool MovieMgr::IsAllFinished() {
  std::unique_lock<std::mutex> lock(mu_, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  if (BlocksDisplay()) return players_.empty() || players_.begin()->second->IsFinished();
  for (auto& [id, p] : players_) {
    if (!p->IsFinished()) return false;
  }
  return true;
}

void MovieMgr::GetVideoSize(int32_t id, uint32_t* width, uint32_t* height) {
  std::lock_guard<std::mutex> lock(mu_);
  MoviePlayer* p = Find(id);
  if (p) {
    p->GetVideoSize(width, height);
    return;
  }
  if (width) *width = 0;
  if (height) *height = 0;
}

void MovieMgr::SetTargetTexture(int32_t id, MovieFrameTarget* texture) {
  std::lock_guard<std::mutex> lock(mu_);
  if (MoviePlayer* p = Find(id)) p->SetTarget(texture);
}

void MovieMgr::SetVolumeAll(int32_t volume) {
  std::lock_guard<std::mutex> lock(mu_);
  for (auto& [id, p] : players_) p->SetVolume(volume);
}

void MovieMgr::Close(int32_t id) {
  std::lock_guard<std::mutex> lock(mu_);
  players_.erase(id);
}

void MovieMgr::CloseAllLocked() {
  players_.clear();
  fullScreen_.store(false, std::memory_order_release);
}

void MovieMgr::CloseAll() {
  std::lock_guard<std::mutex> lock(mu_);
  CloseAllLocked();
}

void MovieMgr::UpdateMovies() {
  std::unique_lock<std::mutex> lock(mu_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  const uint32_t now = GetGameTimeMs();
  const double elapsed = static_cast<double>(static_cast<uint32_t>(now - lastUpdate_)) / 1000.0;
  for (auto it = players_.begin(); it != players_.end();) {
    MoviePlayer& p = *it->second;
    if (!p.Advance(elapsed) && !p.loop && p.closeWhenFinished) {
      it = players_.erase(it);
    } else {
      ++it;
    }
  }
  lastUpdate_ = now;
}

void MovieMgr::SetFullScreenTarget(MovieFrameTarget* target) {
  std::lock_guard<std::mutex> lock(mu_);
  fullScreenTarget_ = target;
  if (MoviePlayer* p = Find(kFullScreenId)) p->SetTarget(target);
}

void MovieMgr::SetAudioSinkFactory(MovieAudioSinkFactory factory) {
  std::lock_guard<std::mutex> lock(mu_);
  sinkFactory_ = std::move(factory);
}

size_t MovieMgr::OpenCount() {
  std::lock_guard<std::mutex> lock(mu_);
  return players_.size();
}

MovieMgr& GetMovieMgr() {
  static MovieMgr mgr;
  return mgr;
}

void UpdateMovies() { GetMovieMgr().UpdateMovies(); }

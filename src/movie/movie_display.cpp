#include "movie/movie_display.h"

#include <string>

#include "core/game_file.h"

MovieDisplay::~MovieDisplay() { screen_.Release(); }

void MovieDisplay::SetDevice(plat::GfxDevice* device) {
  screen_.Release();
  device_ = device;
  own_.reset();
  ownFailed_ = false;
  screen_.SetDevice(device);
}

void MovieDisplay::Attach(MovieMgr& mgr) { mgr.SetFullScreenTarget(this); }
void MovieDisplay::Detach(MovieMgr& mgr) { mgr.SetFullScreenTarget(nullptr); }

plat::GfxDevice* MovieDisplay::Device() {
  if (device_) return device_;
  if (!own_ && !ownFailed_) {
    own_ = plat::CreateGlDevice(1280, 720);
    ownFailed_ = !own_;
    screen_.SetDevice(own_.get());
  }
  return own_.get();
}

void MovieDisplay::OnMovieFrame(const uint8_t* rgba, int width, int height, int pitch) {
  if (Device()) screen_.OnMovieFrame(rgba, width, height, pitch);
}

bool MovieDisplay::Present(const plat::Rect& picture, int drawableW, int drawableH) {
  plat::GfxDevice* device = Device();
  if (!device) return false;
  if (!device->SetRenderTarget(0)) return false;
  if (!screen_.Draw()) return false;
  device->Flush();
  return device->Present(plat::Rect{0, 0, device->BackBufferWidth(), device->BackBufferHeight()}, picture, drawableW,
                         drawableH);
}

bool PlayOpeningMovie() {
  const std::string path = std::string(GetModuleDir()) + "Data\\media\\op.mdm";
  return GetMovieMgr().PlayFullScreen(path.c_str(), false, true);
}

bool UpdateOpeningMovie() {
  MovieMgr& mgr = GetMovieMgr();
  if (!mgr.BlocksDisplay()) return false;
  if (!mgr.IsAllFinished()) return true;
  mgr.CloseAll();
  return false;
}

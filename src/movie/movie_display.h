// The full-screen movie in the window, for the application shell: the manager's full-screen target
// and the present step that replaces the scenes' picture while a movie owns the display. Frame
// thread only (it uses the GL context current there).
#pragma once
#include <memory>

#include "movie/movie_mgr.h"
#include "movie/movie_screen.h"
#include "platform/gl/gfx_device.h"

class MovieDisplay final : public MovieFrameTarget {
 public:
  MovieDisplay() = default;
  ~MovieDisplay() override;

  // The program's drawing device. Until one is given, the display makes its own 1280 x 720 device
  // on the current context when it first needs one.
  void SetDevice(plat::GfxDevice* device);
  // Becomes the manager's full-screen target.
  void Attach(MovieMgr& mgr);
  void Detach(MovieMgr& mgr);

  void OnMovieFrame(const uint8_t* rgba, int width, int height, int pitch) override;

  // Draws the movie's picture (black until the first one) into the back buffer and shows it in
  // `picture` of a drawable of drawableW x drawableH (black around it). False when the device failed.
  bool Present(const plat::Rect& picture, int drawableW, int drawableH);

 private:
  plat::GfxDevice* Device();

  plat::GfxDevice* device_ = nullptr;
  std::unique_ptr<plat::GfxDevice> own_;
  bool ownFailed_ = false;
  MovieScreen screen_;
};

// Starts the opening movie "Data\media\op.mdm" under the module directory full screen, closed at its
// end. False when it cannot be played (the game then goes on without it).
bool PlayOpeningMovie();
// Until the title scene starts movies itself: once the full-screen movie is over, gives the
// display back (CloseAll). True while it still plays.
bool UpdateOpeningMovie();

// Movie pictures on the drawing device: the full-screen movie's picture drawn fitted into the
// frame while a movie owns the display, and texture movies copied into a texture. Both receive
// pictures in MovieMgr's per-frame update, on the frame thread that owns the device.
#pragma once
#include <vector>

#include "movie/movie_ports.h"
#include "platform/gl/gfx_device.h"

class MovieScreen final : public MovieFrameTarget {
 public:
  explicit MovieScreen(plat::GfxDevice* device = nullptr) : device_(device) {}
  ~MovieScreen() override { Release(); }
  MovieScreen(const MovieScreen&) = delete;
  MovieScreen& operator=(const MovieScreen&) = delete;

  // A new or re-created device: the old texture is forgotten and made again on the next picture.
  void SetDevice(plat::GfxDevice* device);
  void Release();

  void OnMovieFrame(const uint8_t* rgba, int width, int height, int pitch) override;

  // Clears the current target to black and draws the latest picture fitted into it (letterboxed).
  // False when there is no device; a movie without a picture yet leaves the target black.
  bool Draw();

 private:
  plat::GfxDevice* device_ = nullptr;
  plat::TextureId texture_ = 0;
  int width_ = 0, height_ = 0;
};

// Copies a texture movie's pictures into an existing texture, scaled to its size when the sizes
// differ (nearest sample), as the texture's owner expects a whole-texture update.
class MovieTextureTarget final : public MovieFrameTarget {
 public:
  MovieTextureTarget(plat::GfxDevice* device, plat::TextureId texture) : device_(device), texture_(texture) {}
  void OnMovieFrame(const uint8_t* rgba, int width, int height, int pitch) override;
  int Updates() const { return updates_; }

 private:
  plat::GfxDevice* device_;
  plat::TextureId texture_;
  std::vector<uint8_t> scaled_;
  int updates_ = 0;
};

#include "movie/movie_screen.h"

void MovieScreen::SetDevice(plat::GfxDevice* device) {
  if (device != device_) texture_ = 0;  // belonged to the old device
  device_ = device;
  width_ = height_ = 0;
}

void MovieScreen::Release() {
  if (device_ && texture_) device_->DestroyTexture(texture_);
  texture_ = 0;
  width_ = height_ = 0;
}

void MovieScreen::OnMovieFrame(const uint8_t* rgba, int width, int height, int pitch) {
  if (!device_ || !rgba || width <= 0 || height <= 0 || pitch < width * 4) return;
  if (texture_ && (width != width_ || height != height_)) Release();
  if (!texture_) {
    texture_ = device_->CreateTexture(width, height, nullptr);
    if (!texture_) return;
    width_ = width;
    height_ = height;
  }
  device_->UpdateTexture(texture_, plat::Rect{0, 0, width, height}, rgba, pitch);
}

bool MovieScreen::Draw() {
  if (!device_) return false;
  device_->Clear(true, true, 0xFF000000u, 1.0f);
  if (!texture_) return true;
  const MovieRect r = FitMovieRect(width_, height_, 0, 0, device_->BackBufferWidth(), device_->BackBufferHeight());
  // Pixel centres sit on integers: the quad's edges are half a pixel outside them.
  const float x0 = static_cast<float>(r.x) - 0.5f, y0 = static_cast<float>(r.y) - 0.5f;
  const float x1 = x0 + static_cast<float>(r.width), y1 = y0 + static_cast<float>(r.height);
  const plat::ScreenVertex quad[4] = {
      {x0, y0, 0, 1, 0xFFFFFFFFu, 0, 0},
      {x1, y0, 0, 1, 0xFFFFFFFFu, 1, 0},
      {x0, y1, 0, 1, 0xFFFFFFFFu, 0, 1},
      {x1, y1, 0, 1, 0xFFFFFFFFu, 1, 1},
  };
  const bool z = device_->GetZEnable();
  device_->SetZEnable(false);
  device_->SetBlend(plat::BlendFactor::One, plat::BlendFactor::Zero);
  device_->SetLinearFilter(true);
  device_->SetTextureWrap(false);
  device_->BindTexture(texture_);
  device_->DrawScreenQuad(quad);
  device_->BindTexture(0);
  device_->SetBlend(plat::BlendFactor::SrcAlpha, plat::BlendFactor::InvSrcAlpha);
  device_->SetZEnable(z);
  return true;
}

void MovieTextureTarget::OnMovieFrame(const uint8_t* rgba, int width, int height, int pitch) {
  int tw = 0, th = 0;
  if (!device_ || !texture_ || !rgba || width <= 0 || height <= 0 || pitch < width * 4) return;
  if (!device_->TextureSize(texture_, &tw, &th) || tw <= 0 || th <= 0) return;
  if (tw == width && th == height) {
    if (device_->UpdateTexture(texture_, plat::Rect{0, 0, tw, th}, rgba, pitch)) ++updates_;
    return;
  }
  scaled_.resize(static_cast<size_t>(tw) * th * 4);
  for (int y = 0; y < th; ++y) {
    const uint8_t* src = rgba + static_cast<size_t>(static_cast<int64_t>(y) * height / th) * pitch;
    uint8_t* dst = scaled_.data() + static_cast<size_t>(y) * tw * 4;
    for (int x = 0; x < tw; ++x) {
      const uint8_t* p = src + static_cast<size_t>(static_cast<int64_t>(x) * width / tw) * 4;
      dst[x * 4 + 0] = p[0];
      dst[x * 4 + 1] = p[1];
      dst[x * 4 + 2] = p[2];
      dst[x * 4 + 3] = p[3];
    }
  }
  if (device_->UpdateTexture(texture_, plat::Rect{0, 0, tw, th}, scaled_.data(), tw * 4)) ++updates_;
}

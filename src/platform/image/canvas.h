// A small RGBA raster (straight alpha, row 0 = top) with the shapes our placeholder art is made
// of. Every shape is clipped to the canvas and composited "source over"; sizes below 1 and shapes
// entirely outside draw nothing. Edges of round shapes are anti-aliased by coverage.
#pragma once
#include <cstdint>
#include <vector>

namespace plat {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};

struct PointF {
  float x = 0.0f, y = 0.0f;
};

class Canvas {
 public:
  // Largest side accepted; bigger requests give an empty (0 x 0) canvas.
  static constexpr int kMaxSide = 8192;

  Canvas() = default;
  Canvas(int width, int height);  // transparent black

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return width_ == 0 || height_ == 0; }
  const std::vector<uint8_t>& pixels() const { return pixels_; }
  std::vector<uint8_t>& pixels() { return pixels_; }
  // Transparent black outside the canvas.
  Rgba At(int x, int y) const;

  // Composites c over the pixel with the given coverage (0..1).
  void Blend(int x, int y, Rgba c, float coverage = 1.0f);

  void FillRect(int x, int y, int w, int h, Rgba c);
  // A gradient from `from` at the top (left when horizontal) to `to` at the bottom (right).
  void GradientRect(int x, int y, int w, int h, Rgba from, Rgba to, bool horizontal = false);
  // A filled rectangle with rounded corners (radius clamped to half the shorter side).
  void RoundedRect(int x, int y, int w, int h, float radius, Rgba c);
  // The outline of a (rounded) rectangle, `thickness` pixels inside its edge.
  void Border(int x, int y, int w, int h, float thickness, float radius, Rgba c);
  void Ellipse(float cx, float cy, float rx, float ry, Rgba c);
  // A circle outline of the given thickness, centred on radius r.
  void Ring(float cx, float cy, float r, float thickness, Rgba c);
  // A filled polygon (even-odd rule), 4x4 supersampled; fewer than 3 points draw nothing.
  void Polygon(const std::vector<PointF>& points, Rgba c);

 private:
  // Coverage of a rounded rectangle at the pixel centre (px + 0.5, py + 0.5).
  static float RoundedCoverage(float px, float py, float x, float y, float w, float h, float r);

  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> pixels_;
};

}  // namespace plat

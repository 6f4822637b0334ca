#include "platform/image/canvas.h"

#include <algorithm>
#include <cmath>

namespace plat {

Canvas::Canvas(int width, int height) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return;
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<size_t>(width) * height * 4, 0);
}

Rgba Canvas::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return Rgba{0, 0, 0, 0};
  const uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
  return Rgba{p[0], p[1], p[2], p[3]};
}

void Canvas::Blend(int x, int y, Rgba c, float coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  coverage = std::clamp(coverage, 0.0f, 1.0f);
  const float sa = c.a / 255.0f * coverage;
  if (sa <= 0.0f) return;
  uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
  const float da = p[3] / 255.0f;
  const float oa = sa + da * (1.0f - sa);
  auto mix = [&](uint8_t s, uint8_t d) {
    const float v = (s * sa + d * da * (1.0f - sa)) / oa;
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 255.0f)));
  };
  p[0] = mix(c.r, p[0]);
  p[1] = mix(c.g, p[1]);
  p[2] = mix(c.b, p[2]);
  p[3] = static_cast<uint8_t>(std::lround(oa * 255.0f));
}

void Canvas::FillRect(int x, int y, int w, int h, Rgba c) {
  if (w < 1 || h < 1) return;
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = static_cast<int>(std::min<long long>(static_cast<long long>(x) + w, width_));
  const int y1 = static_cast<int>(std::min<long long>(static_cast<long long>(y) + h, height_));
  for (int py = y0; py < y1; ++py)
    for (int px = x0; px < x1; ++px) Blend(px, py, c);
}

void Canvas::GradientRect(int x, int y, int w, int h, Rgba from, Rgba to, bool horizontal) {
  if (w < 1 || h < 1) return;
  const int span = horizontal ? w : h;
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = static_cast<int>(std::min<long long>(static_cast<long long>(x) + w, width_));
  const int y1 = static_cast<int>(std::min<long long>(static_cast<long long>(y) + h, height_));
  for (int py = y0; py < y1; ++py)
    for (int px = x0; px < x1; ++px) {
      const int i = horizontal ? px - x : py - y;
      const float t = span > 1 ? static_cast<float>(i) / (span - 1) : 0.0f;
      auto mix = [t](uint8_t a, uint8_t b) { return static_cast<uint8_t>(std::lround(a + (b - a) * t)); };
      Blend(px, py, Rgba{mix(from.r, to.r), mix(from.g, to.g), mix(from.b, to.b), mix(from.a, to.a)});
    }
}

float Canvas::RoundedCoverage(float px, float py, float x, float y, float w, float h, float r) {
  const float cx = px + 0.5f, cy = py + 0.5f;
  // Distance outside the rectangle shrunk by r, then compared with r.
  const float qx = std::max({x + r - cx, cx - (x + w - r), 0.0f});
  const float qy = std::max({y + r - cy, cy - (y + h - r), 0.0f});
  const float d = std::sqrt(qx * qx + qy * qy) - r;
  // Straight edges: coverage of the pixel's extent across the edge.
  if (qx == 0.0f && qy == 0.0f) {
    const float inside = std::min({cx - x, x + w - cx, cy - y, y + h - cy});
    return std::clamp(inside + 0.5f, 0.0f, 1.0f);
  }
  return std::clamp(0.5f - d, 0.0f, 1.0f);
}

void Canvas::RoundedRect(int x, int y, int w, int h, float radius, Rgba c) {
  if (w < 1 || h < 1) return;
  const float r = std::clamp(radius, 0.0f, std::min(w, h) / 2.0f);
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = static_cast<int>(std::min<long long>(static_cast<long long>(x) + w, width_));
  const int y1 = static_cast<int>(std::min<long long>(static_cast<long long>(y) + h, height_));
  for (int py = y0; py < y1; ++py)
    for (int px = x0; px < x1; ++px)
      Blend(px, py, c,
            RoundedCoverage(static_cast<float>(px), static_cast<float>(py), static_cast<float>(x),
                            static_cast<float>(y), static_cast<float>(w), static_cast<float>(h), r));
}

void Canvas::Border(int x, int y, int w, int h, float thickness, float radius, Rgba c) {
  if (w < 1 || h < 1 || !(thickness > 0.0f)) return;
  const float r = std::clamp(radius, 0.0f, std::min(w, h) / 2.0f);
  const float t = std::min(thickness, std::min(w, h) / 2.0f);
  const float ri = std::max(r - t, 0.0f);
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = static_cast<int>(std::min<long long>(static_cast<long long>(x) + w, width_));
  const int y1 = static_cast<int>(std::min<long long>(static_cast<long long>(y) + h, height_));
  for (int py = y0; py < y1; ++py)
    for (int px = x0; px < x1; ++px) {
      const float fx = static_cast<float>(px), fy = static_cast<float>(py);
      const float outer = RoundedCoverage(fx, fy, static_cast<float>(x), static_cast<float>(y), static_cast<float>(w),
                                          static_cast<float>(h), r);
      const float inner = RoundedCoverage(fx, fy, x + t, y + t, w - 2 * t, h - 2 * t, ri);
      Blend(px, py, c, outer - inner);
    }
}

void Canvas::Ellipse(float cx, float cy, float rx, float ry, Rgba c) {
  if (!(rx > 0.0f) || !(ry > 0.0f)) return;
  const int x0 = std::max(0, static_cast<int>(std::floor(cx - rx - 1)));
  const int y0 = std::max(0, static_cast<int>(std::floor(cy - ry - 1)));
  const int x1 = std::min(width_, static_cast<int>(std::ceil(cx + rx + 1)));
  const int y1 = std::min(height_, static_cast<int>(std::ceil(cy + ry + 1)));
  const float rmin = std::min(rx, ry);
  for (int py = y0; py < y1; ++py)
    for (int px = x0; px < x1; ++px) {
      const float dx = (px + 0.5f - cx) / rx, dy = (py + 0.5f - cy) / ry;
      // Signed distance approximated in units of the shorter radius.
      const float d = (std::sqrt(dx * dx + dy * dy) - 1.0f) * rmin;
      Blend(px, py, c, std::clamp(0.5f - d, 0.0f, 1.0f));
    }
}

void Canvas::Ring(float cx, float cy, float r, float thickness, Rgba c) {
  if (!(r > 0.0f) || !(thickness > 0.0f)) return;
  const float half = thickness / 2.0f;
  const int x0 = std::max(0, static_cast<int>(std::floor(cx - r - half - 1)));
  const int y0 = std::max(0, static_cast<int>(std::floor(cy - r - half - 1)));
  const int x1 = std::min(width_, static_cast<int>(std::ceil(cx + r + half + 1)));
  const int y1 = std::min(height_, static_cast<int>(std::ceil(cy + r + half + 1)));
  for (int py = y0; py < y1; ++py)
    for (int px = x0; px < x1; ++px) {
      const float d = std::fabs(std::hypot(px + 0.5f - cx, py + 0.5f - cy) - r) - half;
      Blend(px, py, c, std::clamp(0.5f - d, 0.0f, 1.0f));
    }
}

void Canvas::Polygon(const std::vector<PointF>& points, Rgba c) {
  if (points.size() < 3 || empty()) return;
  float minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
  for (const PointF& p : points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
    minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
  }
  const int x0 = std::max(0, static_cast<int>(std::floor(std::max(minX, -1.0f))));
  const int y0 = std::max(0, static_cast<int>(std::floor(std::max(minY, -1.0f))));
  const int x1 = std::min(width_, static_cast<int>(std::ceil(std::min(maxX, static_cast<float>(width_)))));
  const int y1 = std::min(height_, static_cast<int>(std::ceil(std::min(maxY, static_cast<float>(height_)))));
  auto inside = [&](float sx, float sy) {
    bool in = false;
    for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
      const PointF& a = points[i];
      const PointF& b = points[j];
      if ((a.y > sy) != (b.y > sy) && sx < (b.x - a.x) * (sy - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
  };
  constexpr int kSub = 4;
  for (int py = y0; py < y1; ++py)
    for (int px = x0; px < x1; ++px) {
      int hits = 0;
      for (int sy = 0; sy < kSub; ++sy)
        for (int sx = 0; sx < kSub; ++sx)
          if (inside(px + (sx + 0.5f) / kSub, py + (sy + 0.5f) / kSub)) ++hits;
      if (hits) Blend(px, py, c, static_cast<float>(hits) / (kSub * kSub));
    }
}

}  // namespace plat

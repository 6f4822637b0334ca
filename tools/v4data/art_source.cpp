#include "art_source.h"

#include "tool_color.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include <nlohmann/json.hpp>

namespace plat {

namespace {

using json = nlohmann::json;

bool ParseColor(const json& v, Rgba* c) {
  ToolColor t;
  if (!v.is_string() || v.get<std::string>().empty() || v.get<std::string>()[0] != '#' ||
      !ParseToolColor(v.get<std::string>(), &t))
    return false;
  *c = Rgba{t.r, t.g, t.b, t.a};
  return true;
}

bool Numbers(const json& v, size_t count, std::vector<float>* out) {
  if (!v.is_array() || v.size() != count) return false;
  out->clear();
  for (const json& n : v) {
    if (!n.is_number()) return false;
    const double d = n.get<double>();
    if (!std::isfinite(d) || std::fabs(d) > 1e6) return false;
    out->push_back(static_cast<float>(d));
  }
  return true;
}

float NumberOr(const json& obj, const char* key, float def, bool* ok) {
  if (!obj.contains(key)) return def;
  const json& v = obj.at(key);
  if (!v.is_number() || !std::isfinite(v.get<double>()) || std::fabs(v.get<double>()) > 1e6) {
    *ok = false;
    return def;
  }
  return static_cast<float>(v.get<double>());
}

int I(float v) { return static_cast<int>(std::lround(v)); }

// What shapes may draw with besides the canvas: the text painter, the pictures described earlier in
// the same source, and the loader of pictures made before.
struct ArtTools {
  const ArtTextPainter& painter;
  const std::vector<ArtPicture>& earlier;
  const ArtPictureLoader& loader;
};

Canvas Reduce(const Canvas& from, int w, int h);

// The named picture: one described earlier in this source, else one the loader finds.
bool FindPicture(const std::string& name, const ArtTools& tools, Canvas& out) {
  for (const ArtPicture& e : tools.earlier)
    if (e.file == name) {
      out = e.canvas;
      return true;
    }
  return tools.loader && tools.loader(name, &out) && !out.empty();
}

// {"image": name, "at": [x, y], "source": [x, y, w, h], "size": [w, h], "alpha": a}: a picture (or
// the source part of it) drawn over the canvas, made smaller by area mean or larger by repetition.
bool DrawImage(const json& s, int ox, int oy, Canvas& canvas, const ArtTools& tools, std::string& why) {
  const json& name = s.at("image");
  std::vector<float> at, src, size;
  Canvas pic;
  if (!name.is_string() || !FindPicture(name.get<std::string>(), tools, pic)) {
    why = "image: must name a picture described earlier or made before";
    return false;
  }
  if (!Numbers(s.value("at", json()), 2, &at)) {
    why = "image: needs \"at\": [x, y]";
    return false;
  }
  if (s.contains("source")) {
    if (!Numbers(s.at("source"), 4, &src) || src[0] < 0 || src[1] < 0 || src[2] < 1 || src[3] < 1 ||
        I(src[0] + src[2]) > pic.width() || I(src[1] + src[3]) > pic.height()) {
      why = "image: \"source\" must be [x, y, w, h] inside the picture";
      return false;
    }
  } else {
    src = {0, 0, static_cast<float>(pic.width()), static_cast<float>(pic.height())};
  }
  if (s.contains("size")) {
    if (!Numbers(s.at("size"), 2, &size) || size[0] < 1 || size[1] < 1 || size[0] > Canvas::kMaxSide ||
        size[1] > Canvas::kMaxSide) {
      why = "image: \"size\" must be [w, h]";
      return false;
    }
  } else {
    size = {src[2], src[3]};
  }
  bool ok = true;
  const float alpha = NumberOr(s, "alpha", 1.0f, &ok);
  if (!ok || alpha < 0 || alpha > 1) {
    why = "image: \"alpha\" must be 0..1";
    return false;
  }
  Canvas part(I(src[2]), I(src[3]));
  for (int y = 0; y < part.height(); ++y)
    for (int x = 0; x < part.width(); ++x) {
      const Rgba c = pic.At(I(src[0]) + x, I(src[1]) + y);
      uint8_t* o = &part.pixels()[(static_cast<size_t>(y) * part.width() + x) * 4];
      o[0] = c.r, o[1] = c.g, o[2] = c.b, o[3] = c.a;
    }
  const int w = I(size[0]), h = I(size[1]);
  const bool smaller = w <= part.width() && h <= part.height();
  const Canvas shown = smaller ? Reduce(part, w, h) : part;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgba c = smaller ? shown.At(x, y) : part.At(x * part.width() / w, y * part.height() / h);
      if (c.a) canvas.Blend(I(at[0]) + ox + x, I(at[1]) + oy + y, c, alpha);
    }
  return true;
}

// Draws one shape offset by (ox, oy).
bool DrawShape(const json& s, int ox, int oy, Canvas& canvas, const ArtTools& tools, std::string& why) {
  const ArtTextPainter& painter = tools.painter;
  if (!s.is_object()) {
    why = "a shape must be an object";
    return false;
  }
  static const char* const kKinds[] = {"rect", "gradient", "panel", "border", "ellipse",
                                       "ring", "polygon",  "text",  "image"};
  const char* kind = nullptr;
  for (const char* k : kKinds)
    if (s.contains(k)) {
      if (kind) {
        why = std::string("a shape has both \"") + kind + "\" and \"" + k + "\"";
        return false;
      }
      kind = k;
    }
  if (!kind) {
    why = "a shape needs one of rect, gradient, panel, border, ellipse, ring, polygon, text, image";
    return false;
  }
  const std::string k = kind;
  if (k == "image") return DrawImage(s, ox, oy, canvas, tools, why);
  Rgba color;
  if (k != "gradient" && !ParseColor(s.value("color", json()), &color)) {
    why = k + ": missing or bad \"color\" (#RRGGBB or #RRGGBBAA)";
    return false;
  }
  bool ok = true;
  std::vector<float> v;
  if (k == "text") {
    const json& t = s.at("text");
    if (!t.is_string() || t.get<std::string>().empty()) {
      why = "text: must be a non-empty string";
      return false;
    }
    if (!Numbers(s.value("box", json()), 4, &v)) {
      why = "text: needs \"box\": [x, y, w, h]";
      return false;
    }
    const float size = NumberOr(s, "size", 24.0f, &ok);
    if (!ok || size < 4.0f || size > 512.0f) {
      why = "text: \"size\" must be 4..512";
      return false;
    }
    const std::string align = s.value("align", std::string("left"));
    const int a = align == "left" ? 0 : align == "center" ? 1 : align == "right" ? 2 : -1;
    if (a < 0) {
      why = "text: \"align\" must be left, center or right";
      return false;
    }
    if (!painter) {
      why = "text: no text painter (fonts are not available here)";
      return false;
    }
    std::string failure;
    if (!painter(canvas, t.get<std::string>(), I(v[0]) + ox, I(v[1]) + oy, I(v[2]), I(v[3]), I(size), color, a,
                 &failure)) {
      why = "text: " + failure;
      return false;
    }
    return true;
  }
  if (k == "polygon") {
    const json& pts = s.at("polygon");
    if (!pts.is_array() || pts.size() < 3) {
      why = "polygon: needs at least three [x, y] points";
      return false;
    }
    std::vector<PointF> points;
    for (const json& p : pts) {
      if (!Numbers(p, 2, &v)) {
        why = "polygon: a point must be [x, y]";
        return false;
      }
      points.push_back(PointF{v[0] + ox, v[1] + oy});
    }
    canvas.Polygon(points, color);
    return true;
  }
  const size_t want = k == "ring" ? 3 : 4;
  if (!Numbers(s.at(k), want, &v)) {
    why = k + ": needs " + std::to_string(want) + " numbers";
    return false;
  }
  if (k == "rect") {
    canvas.FillRect(I(v[0]) + ox, I(v[1]) + oy, I(v[2]), I(v[3]), color);
  } else if (k == "gradient") {
    Rgba from, to;
    if (!ParseColor(s.value("from", json()), &from) || !ParseColor(s.value("to", json()), &to)) {
      why = "gradient: missing or bad \"from\"/\"to\" colour";
      return false;
    }
    canvas.GradientRect(I(v[0]) + ox, I(v[1]) + oy, I(v[2]), I(v[3]), from, to, s.value("horizontal", false));
  } else if (k == "panel") {
    const float r = NumberOr(s, "radius", 0.0f, &ok);
    canvas.RoundedRect(I(v[0]) + ox, I(v[1]) + oy, I(v[2]), I(v[3]), r, color);
  } else if (k == "border") {
    const float r = NumberOr(s, "radius", 0.0f, &ok);
    const float t = NumberOr(s, "width", 1.0f, &ok);
    canvas.Border(I(v[0]) + ox, I(v[1]) + oy, I(v[2]), I(v[3]), t, r, color);
  } else if (k == "ellipse") {
    canvas.Ellipse(v[0] + ox, v[1] + oy, v[2], v[3], color);
  } else if (k == "ring") {
    const float t = NumberOr(s, "width", 1.0f, &ok);
    canvas.Ring(v[0] + ox, v[1] + oy, v[2], t, color);
  }
  if (!ok) {
    why = k + ": \"radius\" and \"width\" must be numbers";
    return false;
  }
  return true;
}

bool DrawList(const json& list, const char* what, int ox, int oy, Canvas& canvas, const ArtTools& tools,
              std::string& why) {
  if (!list.is_array()) {
    why = std::string("\"") + what + "\" must be a list of shapes";
    return false;
  }
  for (size_t i = 0; i < list.size(); ++i)
    if (!DrawShape(list[i], ox, oy, canvas, tools, why)) {
      why = std::string(what) + "[" + std::to_string(i) + "]: " + why;
      return false;
    }
  return true;
}

bool SafeRelativeName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find('\\') != std::string::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    const size_t end = name.find('/', start);
    const std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}

// `from` resampled to w x h, each target pixel the area-weighted mean of the source pixels it
// covers (colours weighted by alpha, so transparent edges do not darken).
Canvas Reduce(const Canvas& from, int w, int h) {
  Canvas out(w, h);
  const double sx = static_cast<double>(from.width()) / w, sy = static_cast<double>(from.height()) / h;
  for (int y = 0; y < h; ++y) {
    const double y0 = y * sy, y1 = (y + 1) * sy;
    for (int x = 0; x < w; ++x) {
      const double x0 = x * sx, x1 = (x + 1) * sx;
      double acc[4] = {0, 0, 0, 0}, area = 0;
      for (int py = static_cast<int>(y0); py < y1 && py < from.height(); ++py) {
        const double wy = std::min<double>(py + 1, y1) - std::max<double>(py, y0);
        for (int px = static_cast<int>(x0); px < x1 && px < from.width(); ++px) {
          const double wgt = wy * (std::min<double>(px + 1, x1) - std::max<double>(px, x0));
          if (wgt <= 0) continue;
          const Rgba c = from.At(px, py);
          const double a = c.a / 255.0;
          acc[0] += c.r * a * wgt;
          acc[1] += c.g * a * wgt;
          acc[2] += c.b * a * wgt;
          acc[3] += a * wgt;
          area += wgt;
        }
      }
      if (area <= 0 || acc[3] <= 0) continue;
      auto byte = [](double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))); };
      uint8_t* o = &out.pixels()[(static_cast<size_t>(y) * w + x) * 4];
      o[0] = byte(acc[0] / acc[3]);
      o[1] = byte(acc[1] / acc[3]);
      o[2] = byte(acc[2] / acc[3]);
      o[3] = byte(acc[3] / area * 255.0);
    }
  }
  return out;
}

bool RenderPicture(const json& pic, const ArtTools& tools, ArtPicture& out, std::string& why) {
  const std::vector<ArtPicture>& earlier = tools.earlier;
  if (!pic.is_object()) {
    why = "a picture must be an object";
    return false;
  }
  out.file = pic.value("file", std::string());
  if (!SafeRelativeName(out.file)) {
    why = "\"file\" must be a relative path inside the output folder";
    return false;
  }
  const json w = pic.value("width", json()), h = pic.value("height", json());
  if (!w.is_number_integer() || !h.is_number_integer() || w.get<long long>() < 1 || h.get<long long>() < 1 ||
      w.get<long long>() > Canvas::kMaxSide || h.get<long long>() > Canvas::kMaxSide) {
    why = "\"width\" and \"height\" must be integers from 1 to " + std::to_string(Canvas::kMaxSide);
    return false;
  }
  const int width = static_cast<int>(w.get<long long>()), height = static_cast<int>(h.get<long long>());
  out.canvas = Canvas(width, height);
  if (pic.contains("reduce")) {
    const json& r = pic.at("reduce");
    const ArtPicture* source = nullptr;
    for (const ArtPicture& e : earlier)
      if (r.is_string() && e.file == r.get<std::string>()) source = &e;
    if (!source) {
      why = "\"reduce\" must name a picture described earlier in the same source";
      return false;
    }
    if (width > source->canvas.width() || height > source->canvas.height()) {
      why = "\"reduce\" makes a picture smaller, not larger";
      return false;
    }
    out.canvas = Reduce(source->canvas, width, height);
  }
  if (pic.contains("shapes") && !DrawList(pic.at("shapes"), "shapes", 0, 0, out.canvas, tools, why)) return false;
  if (!pic.contains("grid")) {
    if (pic.contains("cells") || pic.contains("each")) {
      why = "\"cells\" and \"each\" need a \"grid\"";
      return false;
    }
    return true;
  }
  const json& grid = pic.at("grid");
  if (!grid.is_array() || grid.size() != 2 || !grid[0].is_number_integer() || !grid[1].is_number_integer()) {
    why = "\"grid\" must be [columns, rows]";
    return false;
  }
  const long long cols = grid[0].get<long long>(), rows = grid[1].get<long long>();
  if (cols < 1 || rows < 1 || cols > width || rows > height || width % cols || height % rows) {
    why = "the grid must divide the picture into equal cells";
    return false;
  }
  const int cw = width / static_cast<int>(cols), ch = height / static_cast<int>(rows);
  const json cells = pic.value("cells", json::array());
  if (!cells.is_array() || static_cast<long long>(cells.size()) > cols * rows) {
    why = "\"cells\" must be a list of at most columns x rows shape lists";
    return false;
  }
  for (long long i = 0; i < cols * rows; ++i) {
    const int ox = static_cast<int>(i % cols) * cw, oy = static_cast<int>(i / cols) * ch;
    if (pic.contains("each") && !DrawList(pic.at("each"), "each", ox, oy, out.canvas, tools, why)) return false;
    if (i < static_cast<long long>(cells.size())) {
      const std::string what = "cells[" + std::to_string(i) + "]";
      if (!DrawList(cells[static_cast<size_t>(i)], what.c_str(), ox, oy, out.canvas, tools, why)) return false;
    }
  }
  return true;
}

}  // namespace

bool RenderArtSource(const std::string& jsonText, std::vector<ArtPicture>* out, std::string* error,
                     const ArtTextPainter& painter, const ArtPictureLoader& loader) {
  if (!out) return false;
  out->clear();
  std::string why;
  const json root = json::parse(jsonText, nullptr, false);
  if (root.is_discarded() || !root.is_object() || !root.contains("pictures") || !root.at("pictures").is_array()) {
    if (error) *error = "the source must be a JSON object with a \"pictures\" list";
    return false;
  }
  const json& pictures = root.at("pictures");
  for (size_t i = 0; i < pictures.size(); ++i) {
    ArtPicture pic;
    if (!RenderPicture(pictures[i], ArtTools{painter, *out, loader}, pic, why)) {
      if (error) {
        const std::string name = pictures[i].is_object() ? pictures[i].value("file", std::string("?")) : "?";
        *error = "picture " + std::to_string(i) + " (" + name + "): " + why;
      }
      out->clear();
      return false;
    }
    for (const ArtPicture& earlier : *out)
      if (earlier.file == pic.file) {
        if (error) *error = "picture " + std::to_string(i) + ": \"" + pic.file + "\" is described twice";
        out->clear();
        return false;
      }
    out->push_back(std::move(pic));
  }
  return true;
}

}  // namespace plat

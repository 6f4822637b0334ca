// v4data image <source.json> <outdir>: draws the sample pictures described in the source into
// PNG and DDS files. Each picture: {"file": "x.png" | "x.dds", "width", "height", and one of
//   "cells": {"columns", "rows", "colors": ["#RRGGBBAA", ...]}   a sheet of numbered cells,
//   "disc": {"color": "#RRGGBBAA"}                              a soft-edged disc on transparency,
//   "gradient": {"top": "#RRGGBBAA", "bottom": "#RRGGBBAA"}}     a vertical gradient}.
// Scrambling ("tig"/"tds") and packing are done by the scramble and szs commands.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "command.h"
#include "tool_io.h"
#include "platform/png/png_image.h"
#include "render/dds_image.h"

namespace {

struct Rgba8 {
  uint8_t r = 0, g = 0, b = 0, a = 255;
};

bool ParseColor(const std::string& s, Rgba8* c) {
  if (s.size() != 9 || s[0] != '#') return false;
  unsigned v[4];
  for (int i = 0; i < 4; ++i) {
    char* end = nullptr;
    const std::string part = s.substr(1 + 2 * i, 2);
    v[i] = static_cast<unsigned>(std::strtoul(part.c_str(), &end, 16));
    if (*end) return false;
  }
  *c = Rgba8{static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2]),
             static_cast<uint8_t>(v[3])};
  return true;
}

// Digits 0-9 as 3x5 bitmaps, for numbering cells.
const uint16_t kDigits[10] = {0x7B6F, 0x2492, 0x73E7, 0x73CF, 0x5BC9, 0x79CF, 0x79EF, 0x7249, 0x7BEF, 0x7BCF};

void Put(std::vector<uint8_t>& px, int w, int x, int y, Rgba8 c) {
  uint8_t* p = &px[(static_cast<size_t>(y) * w + x) * 4];
  p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = c.a;
}

bool Draw(const nlohmann::json& pic, int w, int h, std::vector<uint8_t>& px, std::string& error) {
  px.assign(static_cast<size_t>(w) * h * 4, 0);
  if (pic.contains("cells")) {
    const auto& c = pic["cells"];
    const int cols = c.value("columns", 1), rows = c.value("rows", 1);
    if (cols < 1 || rows < 1 || w % cols || h % rows) {
      error = "cells must divide the picture evenly";
      return false;
    }
    std::vector<Rgba8> colors;
    for (const auto& s : c.value("colors", std::vector<std::string>{})) {
      Rgba8 col;
      if (!ParseColor(s, &col)) {
        error = "bad colour " + s;
        return false;
      }
      colors.push_back(col);
    }
    if (colors.empty()) colors.push_back(Rgba8{255, 255, 255, 255});
    const int cw = w / cols, ch = h / rows;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int cell = (y / ch) * cols + x / cw;
        Rgba8 col = colors[static_cast<size_t>(cell) % colors.size()];
        const int lx = x % cw, ly = y % ch;
        if (lx == 0 || ly == 0 || lx == cw - 1 || ly == ch - 1) col = Rgba8{255, 255, 255, 255};  // frame
        // The cell number, 3x5 digits scaled to a quarter of the cell, in the middle.
        const int scale = std::max(1, ch / 20), dw = 3 * scale, dh = 5 * scale;
        const int ox = (cw - dw) / 2, oy = (ch - dh) / 2;
        if (lx >= ox && lx < ox + dw && ly >= oy && ly < oy + dh) {
          const int bx = (lx - ox) / scale, by = (ly - oy) / scale;
          if ((kDigits[cell % 10] >> (14 - (by * 3 + bx))) & 1) col = Rgba8{0, 0, 0, 255};
        }
        Put(px, w, x, y, col);
      }
    return true;
  }
  if (pic.contains("disc")) {
    Rgba8 col;
    if (!ParseColor(pic["disc"].value("color", std::string()), &col)) {
      error = "bad disc colour";
      return false;
    }
    const float cx = w / 2.0f, cy = h / 2.0f, r = std::min(w, h) / 2.0f - 1.0f;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
        const float cover = std::clamp(r - d, 0.0f, 1.0f);
        Rgba8 c = col;
        c.a = static_cast<uint8_t>(std::lround(col.a * cover * (0.6f + 0.4f * (1.0f - d / r))));
        Put(px, w, x, y, c);
      }
    return true;
  }
  if (pic.contains("gradient")) {
    Rgba8 top, bottom;
    if (!ParseColor(pic["gradient"].value("top", std::string()), &top) ||
        !ParseColor(pic["gradient"].value("bottom", std::string()), &bottom)) {
      error = "bad gradient colour";
      return false;
    }
    for (int y = 0; y < h; ++y) {
      const float t = h > 1 ? static_cast<float>(y) / (h - 1) : 0.0f;
      auto mix = [t](uint8_t a, uint8_t b) { return static_cast<uint8_t>(std::lround(a + (b - a) * t)); };
      const Rgba8 c{mix(top.r, bottom.r), mix(top.g, bottom.g), mix(top.b, bottom.b), mix(top.a, bottom.a)};
      for (int x = 0; x < w; ++x) Put(px, w, x, y, c);
    }
    return true;
  }
  error = "no drawing (cells, disc or gradient)";
  return false;
}

int RunImage(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: v4data image <source.json> <outdir>\n");
    return 2;
  }
  nlohmann::json src;
  if (!ReadToolJson("image", args[0], src)) return 1;
  if (!src.contains("pictures") || !src["pictures"].is_array()) {
    std::fprintf(stderr, "image: %s is not a picture list\n", args[0].c_str());
    return 1;
  }
  std::error_code ec;
  std::filesystem::create_directories(args[1], ec);
  for (const auto& pic : src["pictures"]) {
    const std::string file = pic.value("file", std::string());
    const int w = pic.value("width", 0), h = pic.value("height", 0);
    if (file.empty() || file.find('/') != std::string::npos || w <= 0 || h <= 0 || w > 4096 || h > 4096) {
      std::fprintf(stderr, "image: picture needs a plain file name and a size of 1..4096\n");
      return 1;
    }
    std::vector<uint8_t> px;
    std::string error;
    if (!Draw(pic, w, h, px, error)) {
      std::fprintf(stderr, "image: %s: %s\n", file.c_str(), error.c_str());
      return 1;
    }
    std::vector<uint8_t> bytes;
    const bool dds = file.size() > 4 && file.compare(file.size() - 4, 4, ".dds") == 0;
    if (dds) {
      bytes = EncodeDdsArgb(w, h, px);
    } else {
      plat::RgbaImage img{w, h, px};
      if (!plat::EncodePng(img, &bytes)) bytes.clear();
    }
    const std::string path = args[1] + "/" + file;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (bytes.empty() || !out) {
      std::fprintf(stderr, "image: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

const V4Command kCmd{"image", "<source.json> <outdir>   draw the sample pictures (png, dds)", &RunImage};

}  // namespace

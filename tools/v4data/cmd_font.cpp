// v4data font <font.json> <out.fnt>: renders a bitmap font from the installed system font. The
// picture (PNG, named in the description) is written beside the .fnt key file. Description (UTF-8 JSON):
//   {"picture": "gold.png", "face": "ＭＳ ゴシック", "height": 24, "characters": "0123456789",
//    "color": "FFD040", "outline": 2, "outlineColor": "402000", "columns": 16}
// Each character gets a cell of (advance + 1 + 2 * outline) x (cell height + 1 + 2 * outline):
// the outline colour where the thickened glyph covers, the glyph colour over it.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "command.h"
#include "tool_color.h"
#include "tool_io.h"
#include "platform/font/font.h"
#include "platform/png/png_image.h"
#include "platform/text/cp932.h"
#include "render/text/bitmap_font.h"
#include "render/text/glyph_cache.h"

namespace {

bool ParseColor(const std::string& text, uint8_t rgb[3]) {
  ToolColor c;
  if (!ParseToolColor(text, &c)) return false;
  rgb[0] = c.r, rgb[1] = c.g, rgb[2] = c.b;
  return true;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

struct Cell {
  std::string key;  // CP932 bytes
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
};

int MakeFont(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: v4data font <font.json> <out.fnt>\n");
    return 2;
  }
  nlohmann::json description;
  if (!ReadToolJson("font", args[0], description)) return 1;
  // The picture's file name as written on disk (UTF-8) and as the key file names it (Shift-JIS,
  // the way the game reads every name).
  const std::string picture = description.value("picture", std::string());
  std::string pictureSjis;
  const std::string face = plat::Utf8ToCp932(description.value("face", std::string()));
  const int height = description.value("height", 0);
  const int outline = description.value("outline", 0);
  const int columns = description.value("columns", 16);
  std::string chars;
  uint8_t color[3] = {255, 255, 255}, outlineColor[3] = {0, 0, 0};
  if (!plat::Utf8ToCp932Strict(picture, pictureSjis) || pictureSjis.empty() || pictureSjis.size() >= kFntNameBytes ||
      height <= 0 || height > 256 || outline < 0 || outline > 8 || columns <= 0 ||
      !plat::Utf8ToCp932Strict(description.value("characters", std::string()), chars) || chars.empty() ||
      !ParseColor(description.value("color", std::string("FFFFFF")), color) ||
      !ParseColor(description.value("outlineColor", std::string("000000")), outlineColor)) {
    std::fprintf(stderr,
                 "font: %s: needs picture (Shift-JIS encodable, under 32 bytes), height 1..256, characters "
                 "(Shift-JIS encodable), outline 0..8, colours as RRGGBB\n",
                 args[0].c_str());
    return 1;
  }
  auto font = plat::OpenFont(face, height, false, false);
  if (!font) {
    std::fprintf(stderr, "font: no usable system font (install fonts-ipafont-gothic)\n");
    return 1;
  }
  const plat::FontMetrics& m = font->Metrics();
  std::vector<Cell> cells;
  for (const std::string& ch : SplitSjisChars(chars)) {
    plat::GlyphImage g;
    font->RenderGlyph(SjisCharCode(ch), &g);
    Cell c;
    c.key = ch;
    c.w = g.advance + 1 + 2 * outline;
    c.h = m.height + 1 + 2 * outline;
    c.rgba.assign(static_cast<size_t>(c.w) * c.h * 4, 0);
    int bw = 0, bh = 0;
    const std::vector<uint8_t> thick = GlyphCoverage(g, outline, &bw, &bh);
    const std::vector<uint8_t> plain = GlyphCoverage(g, 0, &bw, &bh);
    const int left = g.originX, top = m.ascent - g.originY;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        // Thick coverage sits at (left, top); the plain glyph `outline` texels in from it.
        auto sample = [&](const std::vector<uint8_t>& cov, int w, int h, int ox, int oy) -> int {
          const int sx = x - ox, sy = y - oy;
          return sx >= 0 && sy >= 0 && sx < w && sy < h ? cov[static_cast<size_t>(sy) * w + sx] : 0;
        };
        const int a1 = outline ? sample(thick, g.width + 2 * outline, g.height + 2 * outline, left, top) : 0;
        const int a2 = sample(plain, g.width, g.height, left + outline, top + outline);
        uint8_t* p = &c.rgba[(static_cast<size_t>(y) * c.w + x) * 4];
        // Glyph over outline ("over" compositing, straight alpha).
        const int a = a2 + a1 * (255 - a2) / 255;
        for (int k = 0; k < 3; ++k)
          p[k] = a ? static_cast<uint8_t>((color[k] * a2 + outlineColor[k] * a1 * (255 - a2) / 255) / a) : 0;
        p[3] = static_cast<uint8_t>(a);
      }
    cells.push_back(std::move(c));
  }
  // Grid of equal slots, each as large as the largest cell.
  int slotW = 0, slotH = 0;
  for (const Cell& c : cells) slotW = std::max(slotW, c.w), slotH = std::max(slotH, c.h);
  const int cols = std::min<int>(columns, static_cast<int>(cells.size()));
  const int rows = (static_cast<int>(cells.size()) + cols - 1) / cols;
  plat::RgbaImage img;
  img.width = cols * slotW;
  img.height = rows * slotH;
  if (img.width > 0xFFFF || img.height > 0xFFFF) {
    std::fprintf(stderr, "font: the picture would be too large\n");
    return 1;
  }
  img.pixels.assign(static_cast<size_t>(img.width) * img.height * 4, 0);
  std::vector<uint8_t> fnt(kFntNameBytes, 0);
  std::memcpy(fnt.data(), pictureSjis.data(), pictureSjis.size());
  for (size_t i = 0; i < cells.size(); ++i) {
    const Cell& c = cells[i];
    const int x0 = static_cast<int>(i % cols) * slotW, y0 = static_cast<int>(i / cols) * slotH;
    for (int y = 0; y < c.h; ++y)
      std::memcpy(&img.pixels[(static_cast<size_t>(y0 + y) * img.width + x0) * 4],
                  &c.rgba[static_cast<size_t>(y) * c.w * 4], static_cast<size_t>(c.w) * 4);
    uint8_t rec[kFntRecordBytes] = {};
    std::memcpy(rec, c.key.data(), std::min(c.key.size(), kFntKeyBytes));
    const int v[4] = {x0, y0, c.w, c.h};
    for (int k = 0; k < 4; ++k) {
      rec[4 + k * 2] = static_cast<uint8_t>(v[k] & 0xFF);
      rec[5 + k * 2] = static_cast<uint8_t>((v[k] >> 8) & 0xFF);
    }
    fnt.insert(fnt.end(), rec, rec + kFntRecordBytes);
  }
  std::vector<uint8_t> png;
  if (!plat::EncodePng(img, &png)) {
    std::fprintf(stderr, "font: cannot encode the picture\n");
    return 1;
  }
  const std::string& out = args[1];
  const size_t slash = out.find_last_of('/');
  const std::string picturePath = (slash == std::string::npos ? std::string() : out.substr(0, slash + 1)) + picture;
  if (!WriteFile(picturePath, png) || !WriteFile(out, fnt)) {
    std::fprintf(stderr, "font: cannot write %s or %s\n", out.c_str(), picturePath.c_str());
    return 1;
  }
  return 0;
}

// A field of the wrong type ("height": "24") is a description error, not a crash of the tool.
int RunFont(const std::vector<std::string>& args) {
  try {
    return MakeFont(args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "font: %s: %s\n", args.empty() ? "" : args[0].c_str(), e.what());
    return 1;
  }
}

const V4Command kCmd{"font", "<font.json> <out.fnt>   bitmap font (key file + picture) from the system font", &RunFont};

}  // namespace

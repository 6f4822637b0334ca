// v4data art [--from <dir> ...] <source.json> <outdir>: renders the placeholder pictures a readable description
// names (rectangles, gradients, rounded panels, borders, ellipses, rings, polygons; sheets of
// equal cells such as a button's five state patterns) into PNG files under outdir.
// The description format is in platform/image/art_source.h. Text shapes (question pictures and
// the like) are drawn with the program's own font layer, so they look like the game's texts.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "command.h"
#include "tool_io.h"
#include "art_source.h"
#include "platform/image/png_file.h"
#include "platform/font/font.h"
#include "platform/text/cp932.h"
#include "render/dds_image.h"

namespace {

// Shift-JIS character codes of a CP932 string (lead * 256 + trail for two-byte characters).
std::vector<uint16_t> SjisCodes(const std::string& cp932) {
  std::vector<uint16_t> codes;
  for (size_t i = 0; i < cp932.size(); ++i) {
    const auto b = static_cast<uint8_t>(cp932[i]);
    if (plat::IsSjisLead(b) && i + 1 < cp932.size()) {
      codes.push_back(static_cast<uint16_t>(b << 8 | static_cast<uint8_t>(cp932[i + 1])));
      ++i;
    } else {
      codes.push_back(b);
    }
  }
  return codes;
}

bool PaintText(plat::Canvas& canvas, const std::string& utf8, int x, int y, int w, int h, int size, plat::Rgba color,
               int align, std::string* error) {
  std::string cp932;
  if (!plat::Utf8ToCp932Strict(utf8, cp932)) {
    *error = "text not representable in CP932";
    return false;
  }
  const auto font = plat::OpenFont("", size, false, false);
  if (!font) {
    *error = "no font found";
    return false;
  }
  std::vector<plat::GlyphImage> glyphs;
  int width = 0;
  for (uint16_t code : SjisCodes(cp932)) {
    glyphs.emplace_back();
    font->RenderGlyph(code, &glyphs.back());
    width += glyphs.back().advance;
  }
  const plat::FontMetrics& m = font->Metrics();
  int pen = align == 1 ? x + (w - width) / 2 : align == 2 ? x + w - width : x;
  const int baseline = y + (h - m.height) / 2 + m.ascent;
  for (const plat::GlyphImage& g : glyphs) {
    for (int gy = 0; gy < g.height; ++gy)
      for (int gx = 0; gx < g.width; ++gx) {
        const uint8_t level = g.levels[static_cast<size_t>(gy) * g.width + gx];
        if (level) canvas.Blend(pen + g.originX + gx, baseline - g.originY + gy, color, level / 16.0f);
      }
    pen += g.advance;
  }
  return true;
}

int RunArt(const std::vector<std::string>& all) {
  // --from <dir> (repeatable): more folders holding pictures made before, after the output folder.
  std::vector<std::string> args, from;
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i] == "--from" && i + 1 < all.size())
      from.push_back(all[++i]);
    else
      args.push_back(all[i]);
  }
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: v4data art [--from <dir> ...] <source.json> <outdir>\n");
    return 2;
  }
  from.insert(from.begin(), args[1]);
  std::string text;
  if (!ReadToolText("art", args[0], text)) return 1;
  std::vector<plat::ArtPicture> pictures;
  std::string error;
  // Pictures made before, by sources rendered earlier into the same folder (a screen drawn from
  // the pictures its layout names).
  const plat::ArtPictureLoader loader = [&from](const std::string& file, plat::Canvas* out) {
    if (file.find("..") != std::string::npos) return false;
    for (const std::string& dir : from) {
      std::ifstream in(std::filesystem::path(dir) / file, std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::string why;
      if (!bytes.empty() && plat::DecodeCanvasPng(bytes.data(), bytes.size(), out, &why)) return true;
    }
    return false;
  };
  if (!plat::RenderArtSource(text, &pictures, &error, &PaintText, loader)) {
    std::fprintf(stderr, "art: %s: %s\n", args[0].c_str(), error.c_str());
    return 1;
  }
  const std::filesystem::path outDir(args[1]);
  for (const plat::ArtPicture& pic : pictures) {
    const std::filesystem::path target = outDir / pic.file;
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    if (ec) {
      std::fprintf(stderr, "art: cannot create %s\n", target.parent_path().string().c_str());
      return 1;
    }
    if (target.extension() == ".dds") {
      // Uncompressed 32-bit DDS, as the game's texture loader reads it.
      const plat::Canvas& c = pic.canvas;
      const std::vector<uint8_t> dds = EncodeDdsArgb(c.width(), c.height(), c.pixels());
      std::ofstream out(target, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(dds.data()), static_cast<std::streamsize>(dds.size()));
      if (!out) {
        std::fprintf(stderr, "art: cannot write %s\n", target.string().c_str());
        return 1;
      }
    } else if (!plat::WriteCanvasPng(target.string(), pic.canvas, &error)) {
      std::fprintf(stderr, "art: %s\n", error.c_str());
      return 1;
    }
  }
  return 0;
}

const V4Command kCmd{
    "art", "[--from <dir> ...] <source.json> <outdir>   draw the sample pictures (png, dds) from a description",
    &RunArt};

}  // namespace

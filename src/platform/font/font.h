// System fonts for the text engine: a face is opened by its (Shift-JIS) name at a pixel height,
// and single Shift-JIS characters are rasterised into 17 grey levels (0..16) with the metrics the
// glyph cache lays its cells out by.
//
// Face names come from game data. A name that fontconfig cannot match to an installed font with
// Japanese coverage (the default "ＭＳ ゴシック" among them) resolves to the best installed
// Japanese font, preferring fixed pitch. When no font at all can be found, one log line says so
// and every open fails; callers draw what they can.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// Cell metrics of a font at one pixel height.
struct FontMetrics {
  int ascent = 0;  // baseline below the top of the cell, pixels
  int height = 0;  // cell height: ascent + descent, pixels
};

// One rasterised character.
struct GlyphImage {
  int advance = 0;              // horizontal pen advance, whole pixels
  int originX = 0;              // left edge of the ink box relative to the pen (may be negative)
  int originY = 0;              // top edge of the ink box above the baseline
  int width = 0, height = 0;    // ink box; 0 x 0 when the character has no ink
  std::vector<uint8_t> levels;  // width * height grey levels 0..16, top row first, no padding
};

// Where a face name led.
struct FontMatch {
  std::string file;          // font file (empty: nothing found)
  int index = 0;             // face index inside the file
  std::string family;        // UTF-8 family name of the face found
  bool japanese = false;     // the face covers Japanese
  bool substituted = false;  // the asked-for name was not found as such
};

class Font {
 public:
  virtual ~Font() = default;
  virtual const FontMetrics& Metrics() const = 0;
  virtual const FontMatch& Match() const = 0;
  // code: a single byte (0..255) or lead * 256 + trail. Characters the font or the code page
  // lacks come back blank with a half-width (single byte) or full-width advance. False only when
  // the rasteriser failed; `out` then still holds a blank glyph with that advance.
  virtual bool RenderGlyph(uint16_t code, GlyphImage* out) const = 0;
};

// A shared, cached font; null when no font can be found or the height is not positive.
std::shared_ptr<const Font> OpenFont(std::string_view cp932Face, int pixelHeight, bool bold, bool italic);

// The face a name resolves to (cached per name).
FontMatch ResolveFontFace(std::string_view cp932Face);

// Unicode scalar of a Shift-JIS character code, or 0 when the code page does not define it.
uint32_t SjisCodeToUnicode(uint16_t code);

// An 8-bit coverage value as one of 17 grey levels (0 -> 0, 255 -> 16, rounded).
constexpr uint8_t CoverageToLevel(uint8_t coverage) { return static_cast<uint8_t>((coverage * 16 + 127) / 255); }

}  // namespace plat

#include "platform/font/font.h"

#include <errno.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_map>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include "platform/text/cp932.h"
#include "platform/text/log.h"

namespace plat {
namespace {

// One lock for the library, the face caches and the code converter: FreeType faces are not
// thread-safe, and glyphs are made on one thread in practice, so contention is nil.
std::mutex& Lock() {
  static std::mutex m;
  return m;
}

FT_Library Library() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) {
      Log("font", "FreeType could not be initialised");
      return static_cast<FT_Library>(nullptr);
    }
    return l;
  }();
  return lib;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool HasJapanese(FcPattern* font) {
  FcLangSet* langs = nullptr;
  if (FcPatternGetLangSet(font, FC_LANG, 0, &langs) != FcResultMatch || !langs) return false;
  return FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual;
}

// Matches a pattern string; fills `out` from the best font. False when fontconfig finds none.
bool MatchPattern(FcPattern* pat, FontMatch* out, std::vector<std::string>* families) {
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result = FcResultNoMatch;
  FcPattern* font = FcFontMatch(nullptr, pat, &result);
  if (!font) return false;
  FcChar8* file = nullptr;
  bool ok = FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch && file;
  if (ok) {
    out->file = reinterpret_cast<const char*>(file);
    int index = 0;
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    out->index = index;
    out->japanese = HasJapanese(font);
    FcChar8* fam = nullptr;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &fam) == FcResultMatch; ++i) {
      if (i == 0) out->family = reinterpret_cast<const char*>(fam);
      if (families) families->push_back(reinterpret_cast<const char*>(fam));
    }
  }
  FcPatternDestroy(font);
  return ok;
}

FontMatch ResolveUncached(std::string_view cp932Face) {
  FontMatch found;
  if (!FcInit()) {
    Log("font", "fontconfig could not be initialised");
    return found;
  }
  const std::string utf8 = Cp932ToUtf8(cp932Face);
  // 1. The face itself, when an installed font carries that family name and covers Japanese
  //    (the text is Shift-JIS, so a face without Japanese would draw little of it).
  if (!utf8.empty()) {
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(utf8.c_str()));
    std::vector<std::string> families;
    FontMatch m;
    if (MatchPattern(pat, &m, &families) && m.japanese) {
      const std::string want = Lower(utf8);
      for (const std::string& f : families) {
        if (Lower(f) == want) {
          FcPatternDestroy(pat);
          return m;
        }
      }
    }
    FcPatternDestroy(pat);
  }
  // 2. The best Japanese font, fixed pitch preferred (the faces the data names are fixed-pitch
  //    Gothic faces that need not be installed here).
  {
    FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>("monospace:lang=ja"));
    FontMatch m;
    const bool ok = pat && MatchPattern(pat, &m, nullptr);
    if (pat) FcPatternDestroy(pat);
    if (ok && m.japanese) {
      m.substituted = true;
      return m;
    }
  }
  // 3. Anything at all: Latin text still shows.
  {
    static bool warned = false;
    FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>("monospace"));
    FontMatch m;
    const bool ok = pat && MatchPattern(pat, &m, nullptr);
    if (pat) FcPatternDestroy(pat);
    if (!warned) {
      warned = true;
      if (ok)
        Log("font", "no Japanese font is installed (install fonts-ipafont-gothic); using %s", m.file.c_str());
      else
        Log("font", "no font is installed (install fonts-ipafont-gothic); text cannot be drawn");
    }
    if (ok) {
      m.substituted = true;
      return m;
    }
  }
  return found;
}

// CP932 -> UTF-32 for one character, through one cached iconv handle (under Lock()).
uint32_t ConvertCode(uint16_t code) {
  static iconv_t cd = iconv_open("UTF-32LE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
  char in[2];
  size_t inLen;
  if (code > 0xFF) {
    in[0] = static_cast<char>(code >> 8);
    in[1] = static_cast<char>(code & 0xFF);
    inLen = 2;
  } else {
    in[0] = static_cast<char>(code);
    inLen = 1;
  }
  char outBuf[8];
  char* src = in;
  char* dst = outBuf;
  size_t left = inLen, room = sizeof outBuf;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  const size_t r = iconv(cd, &src, &left, &dst, &room);
  if (r == static_cast<size_t>(-1) || left != 0 || dst - outBuf != 4) return 0;
  uint32_t u;
  std::memcpy(&u, outBuf, 4);
  return u;
}

class FtFont final : public Font {
 public:
  FtFont(FT_Face face, FontMatch match, int pixelHeight, bool bold, bool italic)
      : face_(face), match_(std::move(match)), pixelHeight_(pixelHeight), bold_(bold), italic_(italic) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    const double upem = face_->units_per_EM ? face_->units_per_EM : 1000.0;
    if (os2 && os2->version != 0xFFFF && (os2->usWinAscent || os2->usWinDescent)) {
      // The cell the text layout expects: ascent and descent from the Windows metrics of the
      // font, each rounded, so the cell height is the rounded ascent plus the rounded descent.
      metrics_.ascent = static_cast<int>(std::lround(os2->usWinAscent * pixelHeight / upem));
      metrics_.height = metrics_.ascent + static_cast<int>(std::lround(os2->usWinDescent * pixelHeight / upem));
    } else {
      metrics_.ascent = static_cast<int>(std::lround(face_->ascender * pixelHeight / upem));
      metrics_.height = metrics_.ascent + static_cast<int>(std::lround(-face_->descender * pixelHeight / upem));
    }
    if (metrics_.height < pixelHeight) metrics_.height = pixelHeight;
  }
  ~FtFont() override { FT_Done_Face(face_); }

  const FontMetrics& Metrics() const override { return metrics_; }
  const FontMatch& Match() const override { return match_; }

  bool RenderGlyph(uint16_t code, GlyphImage* out) const override {
    *out = GlyphImage{};
    const bool wide = code > 0xFF;
    out->advance = wide ? pixelHeight_ : pixelHeight_ / 2;
    std::lock_guard<std::mutex> lock(Lock());
    uint32_t uni;
    auto it = unicode_.find(code);
    if (it != unicode_.end()) {
      uni = it->second;
    } else {
      uni = ConvertCode(code);
      unicode_.emplace(code, uni);
    }
    if (uni == 0) return true;  // not a character of the code page: blank
    const FT_UInt index = FT_Get_Char_Index(face_, uni);
    if (index == 0) return true;  // the font lacks it: blank
    if (FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixelHeight_)) != 0) return false;
    if (FT_Load_Glyph(face_, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL) != 0) return false;
    FT_GlyphSlot slot = face_->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
    FT_Pos extra = 0;
    if (bold_) {
      // Synthetic bold: thicken the outline by about 1/24 em (at least one pixel) and widen the
      // advance by the same amount.
      extra = std::max<FT_Pos>(64, pixelHeight_ * 64 / 24);
      FT_Outline_EmboldenXY(&slot->outline, extra, 0);
    }
    if (italic_) {
      // Synthetic oblique, about 12 degrees.
      FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};
      FT_Outline_Transform(&slot->outline, &shear);
    }
    out->advance = static_cast<int>((slot->advance.x + extra + 32) >> 6);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return false;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) return false;
    if (bm.width == 0 || bm.rows == 0) return true;  // no ink (a space the font draws empty)
    out->originX = slot->bitmap_left;
    out->originY = slot->bitmap_top;
    out->width = static_cast<int>(bm.width);
    out->height = static_cast<int>(bm.rows);
    out->levels.resize(static_cast<size_t>(out->width) * out->height);
    const int pitch = std::abs(bm.pitch);
    for (int y = 0; y < out->height; ++y) {
      const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * pitch;
      uint8_t* dst = &out->levels[static_cast<size_t>(y) * out->width];
      for (int x = 0; x < out->width; ++x) dst[x] = CoverageToLevel(row[x]);
    }
    return true;
  }

 private:
  FT_Face face_;
  FontMatch match_;
  int pixelHeight_;
  bool bold_, italic_;
  FontMetrics metrics_;
  mutable std::unordered_map<uint16_t, uint32_t> unicode_;
};

}  // namespace

FontMatch ResolveFontFace(std::string_view cp932Face) {
  static std::map<std::string, FontMatch> cache;
  std::lock_guard<std::mutex> lock(Lock());
  auto it = cache.find(std::string(cp932Face));
  if (it != cache.end()) return it->second;
  FontMatch m = ResolveUncached(cp932Face);
  cache.emplace(std::string(cp932Face), m);
  return m;
}

uint32_t SjisCodeToUnicode(uint16_t code) {
  std::lock_guard<std::mutex> lock(Lock());
  return ConvertCode(code);
}

std::shared_ptr<const Font> OpenFont(std::string_view cp932Face, int pixelHeight, bool bold, bool italic) {
  if (pixelHeight <= 0 || pixelHeight > 4096) return nullptr;
  const FontMatch match = ResolveFontFace(cp932Face);
  if (match.file.empty()) return nullptr;
  using Key = std::tuple<std::string, int, int, bool, bool>;
  static std::map<Key, std::shared_ptr<const Font>> fonts;
  std::lock_guard<std::mutex> lock(Lock());
  const Key key{match.file, match.index, pixelHeight, bold, italic};
  auto it = fonts.find(key);
  if (it != fonts.end()) return it->second;
  FT_Library lib = Library();
  FT_Face face = nullptr;
  if (!lib || FT_New_Face(lib, match.file.c_str(), match.index, &face) != 0) {
    static bool warned = false;
    if (!warned) {
      warned = true;
      Log("font", "cannot open font file %s", match.file.c_str());
    }
    return nullptr;
  }
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight)) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  auto font = std::make_shared<FtFont>(face, match, pixelHeight, bold, italic);
  fonts.emplace(key, font);
  return font;
}

}  // namespace plat

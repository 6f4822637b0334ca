// Bitmap fonts: a ".fnt" key file names a picture and gives each character's rectangle in it;
// a glyph is cut out of the picture into a texture of its own. Fonts are cached by file name.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "render/dg_base.h"
#include "render/dg_texture.h"

class CDGFileLoad;

constexpr size_t kFntNameBytes = 32;
constexpr size_t kFntRecordBytes = 12;
constexpr size_t kFntKeyBytes = 4;

// The contents of a ".fnt" file: the picture's name (empty when the file is shorter than the
// name field) and the rectangle of every key. The first record of a key wins; a trailing partial
// record is ignored. Names and keys are bounded by their fields, terminated or not.
struct FntFile {
  std::string pictureName;
  std::map<std::string, DGRect> glyphs;
};
void ParseFntFile(const uint8_t* data, size_t size, FntFile* out);

class CDGFont : public CDGReferenceObject {
 public:
  virtual bool Load(const char* path, CDGFileLoad* loader, CDGManager* manager) = 0;
  // Fills *texture (made on the manager when null) with the key's glyph; false when there is none.
  virtual bool GetGlyph(const std::string& key, CDGTexture** texture, CDGManager* manager) = 0;

 protected:
  ~CDGFont() override = default;
};

class CDGFont_QZT : public CDGFont {
 public:
  bool Load(const char* path, CDGFileLoad* loader, CDGManager* manager) override;
  bool GetGlyph(const std::string& key, CDGTexture** texture, CDGManager* manager) override;
  virtual bool LoadPicture(const std::string& pictureName, const char* fontPath, CDGFileLoad* loader,
                           CDGManager* manager);

  const std::map<std::string, DGRect>& Glyphs() const { return glyphs_; }
  CDGTexture* Picture() const { return picture_; }

 protected:
  ~CDGFont_QZT() override;

 private:
  std::map<std::string, DGRect> glyphs_;
  CDGTexture* picture_ = nullptr;
};

class CDGFontManager : public CDGReferenceObject {
 public:
  CDGFontManager() = default;
  ~CDGFontManager() override { ReleaseAll(); }

  // Fonts loaded for another device manager are dropped (their pictures belong to it).
  void SetDevice(CDGManager* manager);
  bool HasFont(const char* name) { return GetFont(name) != nullptr; }
  bool GetGlyph(const char* name, const std::string& key, CDGTexture** texture);
  void ReleaseAll();
  // The cached font of that name, loaded on first use when the name ends in ".fnt" (exact case);
  // null for any other name. A font that failed to load stays cached (empty).
  CDGFont* GetFont(const char* name);

 private:
  CDGManager* manager_ = nullptr;
  std::map<std::string, CDGFont*> fonts_;
};

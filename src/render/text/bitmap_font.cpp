#include "render/text/bitmap_font.h"

#include <cstring>

#include "platform/text/cp932.h"
#include "platform/text/log.h"
#include "render/dg_manager.h"
#include "render/file_load.h"
#include "platform/byte_order.h"

void ParseFntFile(const uint8_t* data, size_t size, FntFile* out) {
  *out = FntFile{};
  if (!data) return;
  size_t pos = 0;
  if (size >= kFntNameBytes) {
    const char* name = reinterpret_cast<const char*>(data);
    out->pictureName.assign(name, strnlen(name, kFntNameBytes));
    pos = kFntNameBytes;
  }
  for (; size - pos >= kFntRecordBytes; pos += kFntRecordBytes) {
    const uint8_t* r = data + pos;
    const char* key = reinterpret_cast<const char*>(r);
    auto u16 = [r](int at) { return static_cast<int32_t>(le::Get16(r + at)); };
    const int32_t l = u16(4), t = u16(6), w = u16(8), h = u16(10);
    out->glyphs.emplace(std::string(key, strnlen(key, kFntKeyBytes)), DGRect{l, t, l + w, t + h});
  }
}

// ---------------------------------------------------------------------------------------------
// CDGFont_QZT

CDGFont_QZT::~CDGFont_QZT() {
  if (picture_) picture_->Release();
}

bool CDGFont_QZT::Load(const char* path, CDGFileLoad* loader, CDGManager* manager) {
  glyphs_.clear();
  if (!path || !loader) return false;
  if (loader->Load(path) < 0) {
    plat::LogRefusedFile("font", path, "font not found or unreadable");
    return false;
  }
  FntFile fnt;
  ParseFntFile(loader->Data(), loader->Size(), &fnt);
  // A key file too short for its picture's name, or naming no character, cannot draw anything.
  if (fnt.pictureName.empty()) {
    plat::LogRefusedFile("font", path, "font names no picture (file too short)");
    return false;
  }
  if (fnt.glyphs.empty()) {
    plat::LogRefusedFile("font", path, "font has no characters");
    return false;
  }
  glyphs_ = std::move(fnt.glyphs);
  if (LoadPicture(fnt.pictureName, path, loader, manager)) return true;
  if (manager) plat::LogRefusedFile("font", path, ("its picture " + fnt.pictureName + " cannot be used").c_str());
  return false;
}

bool CDGFont_QZT::LoadPicture(const std::string& pictureName, const char* fontPath, CDGFileLoad* loader,
                              CDGManager* manager) {
  if (!manager || !fontPath) return false;
  // The font's folder ends at its last separator; 0x5C as a trail byte is part of a character.
  const std::string font(fontPath);
  size_t dirLength = 0;
  for (size_t i = 0; i < font.size(); ++i) {
    const auto c = static_cast<unsigned char>(font[i]);
    if (plat::IsSjisLead(c) && i + 1 < font.size())
      ++i;
    else if (c == '\\' || c == '/')
      dirLength = i + 1;
  }
  const std::string path = font.substr(0, dirLength) + pictureName;
  CDGTexture* picture = manager->LoadTextureFromLoader(path.c_str(), loader, 1);
  if (picture_) picture_->Release();
  picture_ = picture;
  return picture_ != nullptr;
}

bool CDGFont_QZT::GetGlyph(const std::string& key, CDGTexture** texture, CDGManager* manager) {
  if (!texture || !picture_) return false;
  auto it = glyphs_.find(key);
  if (it == glyphs_.end()) return false;
  const DGRect& r = it->second;
  // A rectangle outside the picture is refused before a texture of its (damaged, up to
  // 65535 x 65535) size is made.
  uint32_t picW = 0, picH = 0;
  if (!picture_->GetSurfaceSize(&picW, &picH) || r.left < 0 || r.top < 0 || r.right <= r.left || r.bottom <= r.top ||
      static_cast<uint32_t>(r.right) > picW || static_cast<uint32_t>(r.bottom) > picH)
    return false;
  const bool made = *texture == nullptr;
  if (made) *texture = new CDGTexture(manager);
  const bool ok =
      (*texture)->CreateEmpty(r.right - r.left, r.bottom - r.top) && (*texture)->CopyFromTexture(picture_, &r, nullptr);
  if (!ok && made) {
    // A failed copy gives no glyph, not a blank texture.
    (*texture)->Release();
    *texture = nullptr;
  }
  return ok;
}

// ---------------------------------------------------------------------------------------------
// CDGFontManager

void CDGFontManager::SetDevice(CDGManager* manager) {
  if (manager != manager_) ReleaseAll();
  manager_ = manager;
}

bool CDGFontManager::GetGlyph(const char* name, const std::string& key, CDGTexture** texture) {
  CDGFont* font = GetFont(name);
  return font && font->GetGlyph(key, texture, manager_);
}

void CDGFontManager::ReleaseAll() {
  std::map<std::string, CDGFont*> fonts;
  fonts.swap(fonts_);
  for (auto& [name, font] : fonts)
    if (font) font->Release();
}

CDGFont* CDGFontManager::GetFont(const char* name) {
  if (!name) return nullptr;
  auto it = fonts_.find(name);
  if (it != fonts_.end()) {
    // A picture whose device went away (a manager with a reused address) means: load again.
    auto* qzt = dynamic_cast<CDGFont_QZT*>(it->second);
    const CDGTexture* pic = qzt ? qzt->Picture() : nullptr;
    if (!pic || (pic->HasTexture() && pic->GetManager() == manager_)) return it->second;
    it->second->Release();
    fonts_.erase(it);
  }
  const char* dot = std::strrchr(name, '.');
  if (!dot || std::strcmp(dot, ".fnt") != 0) return nullptr;
  auto* font = new CDGFont_QZT;
  auto* loader = new CDGFileLoad_QZT;
  font->Load(name, loader, manager_);
  loader->Release();
  fonts_.emplace(name, font);
  return font;
}

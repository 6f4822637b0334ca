#include "render/text/bitmap_font.h"

#include <cstring>

#include "render/dg_manager.h"
#include "render/file_load.h"

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
    auto u16 = [r](int at) { return static_cast<int32_t>(r[at] | r[at + 1] << 8); };
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
  if (!path || !loader || loader->Load(path) < 0) return false;
  FntFile fnt;
  ParseFntFile(loader->Data(), loader->Size(), &fnt);
  glyphs_ = std::move(fnt.glyphs);
  return LoadPicture(fnt.pictureName, path, loader, manager);
}

bool CDGFont_QZT::LoadPicture(const std::string& pictureName, const char* fontPath, CDGFileLoad* loader,
                              CDGManager* manager) {
  if (!manager || !fontPath) return false;
  const std::string font(fontPath);
  const size_t slash = font.find_last_of("\\/");
  const std::string path = (slash == std::string::npos ? std::string() : font.substr(0, slash + 1)) + pictureName;
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
  const bool made = *texture == nullptr;
  if (made) *texture = new CDGTexture(manager);
  const bool ok = (*texture)->CreateEmpty(r.right - r.left, r.bottom - r.top) &&
                  (*texture)->CopyFromTexture(picture_, &r, nullptr);
  if (!ok && made) {
    // A rectangle outside the picture (or a zero-sized one) gives no glyph, not a blank texture.
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

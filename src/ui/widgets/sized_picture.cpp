#include "ui/widgets/sized_picture.h"

#include <cmath>
#include <cstring>
#include <unordered_map>

#include "core/game_file.h"
#include "render/sprite.h"
#include "render/texture_holder.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/safe_format.h"

namespace {

// Whether the game data holds a file, by module folder and name; read once per name.
std::unordered_map<std::string, bool>& Found() {
  static std::unordered_map<std::string, bool> found;
  return found;
}

bool GameFileFound(const std::string& name) {
  const std::string key = std::string(GetModuleDir()) + '\n' + name;
  auto it = Found().find(key);
  if (it != Found().end()) return it->second;
  int32_t size = 0;
  uint8_t* data = name.size() <= kMaxGamePath ? LoadGameFile(name.c_str(), &size) : nullptr;
  if (data) FreeGameFile(data);
  return Found().emplace(key, data != nullptr).first->second;
}

int32_t Side(float v) {
  return std::isfinite(v) && v > 0.0f && v < 65536.0f ? static_cast<int32_t>(std::lround(v)) : 0;
}

}  // namespace

std::string SizedPictureName(const char* name, int32_t w, int32_t h) {
  if (!name || w <= 0 || h <= 0) return {};
  const char* dot = std::strrchr(name, '.');
  const char* slash = std::strrchr(name, '\\');
  if (!dot || dot == name || (slash && dot < slash) || dot[-1] == '\\') return {};
  return std::string(name, dot) + '_' + std::to_string(w) + 'x' + std::to_string(h) + dot;
}

std::string PatternForSize(const char* pattern, int32_t n, int32_t w, int32_t h) {
  if (!pattern) return {};
  const std::string sized = SizedPictureName(pattern, w, h);
  if (sized.empty()) return pattern;
  char name[kMaxGamePath + 1];
  SafeFormatInt(name, sizeof name, sized.c_str(), n);
  return GameFileFound(name) ? sized : std::string(pattern);
}

bool ShowPictureAtSize(CVMenuWindow* win, const char* pattern, int32_t n) {
  if (!win || !pattern) return false;
  CVSprite* s = win->GetSprite();
  if (!s) return false;
  const int32_t w = Side(s->width), h = Side(s->height);
  const std::string use = PatternForSize(pattern, n, w, h);
  const bool sized = use != pattern;
  // A copy of the window's size is its cell as it stands; the picture itself fills the cell whole,
  // whatever size the layout's definition gave it.
  if (sized) {
    s->SetCellWidth(static_cast<float>(w));
    s->SetCellHeight(static_cast<float>(h));
  }
  win->SetNamePattern(use.c_str());
  const bool changed = win->SetTextureF(n, false);
  if (!sized && s->texture && s->texture->GetWidth() > 0 && s->texture->GetHeight() > 0) {
    s->SetCellWidth(static_cast<float>(s->texture->GetWidth()) / static_cast<float>(s->columns < 1 ? 1 : s->columns));
    s->SetCellHeight(static_cast<float>(s->texture->GetHeight()) / static_cast<float>(s->rows < 1 ? 1 : s->rows));
  }
  return changed;
}

void ForgetSizedPictures() { Found().clear(); }

// The message window's saved state (block 8 of a slot's adv.dat): every picture layer with its
// picture, place, look and the animation keys still to run, so that a loaded game shows the same
// pictures. The format is this program's own: little-endian, versioned, every count bounded and
// every field checked on the way in; a buffer that fails any check is refused as a whole.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ui/widgets/anime_types.h"

namespace adv {

enum class LayerKind : uint8_t { kChar = 0, kPicture = 1, kEffect = 2, kPage = 3, kSprite = 4 };
inline constexpr uint8_t kLayerKinds = 5;

struct LayerRecord {
  LayerKind kind = LayerKind::kPicture;
  int32_t number = 0;
  std::string image;  // program-relative picture name (Shift-JIS)
  std::string face;   // character layers: the face picture
  float faceRect[4] = {0, 0, 0, 0};
  float position[3] = {0, 0, 0};
  float scale[3] = {1, 1, 1};
  float rotation[3] = {0, 0, 0};
  float colour[4] = {255, 255, 255, 255};
  float alpha = 255.0f;
  float size[2] = {0, 0};
  uint8_t visible = 1;
  uint8_t addBlend = 0;
  uint8_t waitCheck = 0;
  std::vector<std::pair<uint32_t, AnimeKey>> keys;
  std::vector<AnimeRequest> queue;
};

struct WindowStateData {
  uint8_t shownPage = 0;  // 0 or 1
  LayerKind currentKind = LayerKind::kPicture;
  int32_t currentNumber = -1;  // the element the tween operations address; -1 none
  std::vector<LayerRecord> layers;
};

inline constexpr uint16_t kWindowStateVersion = 1;
inline constexpr uint32_t kMaxLayers = 256;
inline constexpr int32_t kMaxLayerNumber = 999;
inline constexpr uint32_t kMaxKeys = 256;
inline constexpr uint32_t kMaxQueue = 64;
inline constexpr size_t kMaxNameBytes = 259;

std::vector<uint8_t> EncodeWindowState(const WindowStateData& state);
// False (with a reason) for anything that is not a whole, valid buffer of this version.
bool DecodeWindowState(const uint8_t* data, size_t size, WindowStateData& out, std::string* why = nullptr);

}  // namespace adv

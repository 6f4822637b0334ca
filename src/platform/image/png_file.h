// PNG files of a Canvas (8-bit RGBA) through the shared codec (platform/png). Host paths are UTF-8.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/image/canvas.h"

namespace plat {

// False with a message when the canvas is empty or cannot be encoded, or the file cannot be written.
bool EncodeCanvasPng(const Canvas& canvas, std::vector<uint8_t>* out, std::string* error);
bool WriteCanvasPng(const std::string& hostPath, const Canvas& canvas, std::string* error);
// False with a message (and an empty canvas) for anything that is not a complete, readable PNG
// within kPngMaxSide.
bool DecodeCanvasPng(const uint8_t* data, size_t size, Canvas* out, std::string* error);
bool ReadCanvasPng(const std::string& hostPath, Canvas* out, std::string* error);

}  // namespace plat

// DDS images: uncompressed RGB(A) with bit masks (16/24/32 bits) and DXT1/3/5 blocks, top level
// only, decoded into 8-bit RGBA (row 0 = top). Anything else, or a truncated file, fails.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

bool DdsInfo(const uint8_t* data, size_t size, int* width, int* height);
bool DecodeDds(const uint8_t* data, size_t size, int* width, int* height, std::vector<uint8_t>* rgba);
// An uncompressed 32-bit A8R8G8B8 DDS of the RGBA pixels (the tools' writer).
std::vector<uint8_t> EncodeDdsArgb(int width, int height, const std::vector<uint8_t>& rgba);

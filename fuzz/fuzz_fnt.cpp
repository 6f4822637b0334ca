// Bitmap font descriptions (.fnt): the input is the whole file.
#include "render/text/bitmap_font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FntFile fnt;
  ParseFntFile(data, size, &fnt);
  return 0;
}

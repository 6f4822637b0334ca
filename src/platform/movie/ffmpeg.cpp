#include "platform/movie/ffmpeg.h"

namespace plat {

std::string AvError(int code) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, buf, sizeof buf);
  return buf;
}

}  // namespace plat

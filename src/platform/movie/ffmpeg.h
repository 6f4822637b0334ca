// FFmpeg as the movie layer's decoder and encoder both use it: the C headers, and error codes as
// text for messages and the log. Internal to src/platform/movie.
#pragma once
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace plat {

std::string AvError(int code);

}  // namespace plat

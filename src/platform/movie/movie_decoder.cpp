#include "platform/movie/movie_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
}

#include "platform/movie/ffmpeg.h"
#include "platform/text/log.h"

namespace plat {

namespace {

// FFmpeg's own messages (errors only) go to our log, so tests can silence them.
void LogFromFfmpeg(void* avcl, int level, const char* fmt, va_list args) {
  if (level > AV_LOG_ERROR) return;
  char line[512];
  int prefix = 1;
  av_log_format_line2(avcl, level, fmt, args, line, sizeof line, &prefix);
  size_t n = std::strlen(line);
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
  if (n > 0) plat::Log("movie", "%s", line);
}

// Pictures larger than this are refused (a damaged header must not ask for gigabytes).
constexpr int kMaxPictureSide = 8192;

// A decoder gives up on a stream after this many damaged packets in a row.
constexpr int kMaxConsecutiveErrors = 32;

}  // namespace

struct MovieDecoder::Impl {
  AVFormatContext* fmt = nullptr;
  AVCodecContext* vdec = nullptr;
  AVCodecContext* adec = nullptr;
  int vIndex = -1;
  int aIndex = -1;
  AVPacket* pkt = nullptr;
  AVFrame* frame = nullptr;
  SwsContext* sws = nullptr;
  SwrContext* swr = nullptr;
  AVChannelLayout swrLayout{};  // input format the resampler is set up for
  int swrFormat = -1;
  int swrRate = 0;
  MovieInfo info;
  double startTime = 0;      // stream time of the first picture: our time 0
  double frameDuration = 0;  // 1 / fps, or 0
  bool inputDone = false;    // demuxer exhausted, decoders flushed
  bool vDone = true;
  bool aDone = true;
  int errorRun = 0;
  double vSkipBefore = -1;  // after a seek: drop what ends before this time
  double aSkipBefore = -1;
  double nextAudioPts = 0;  // for audio frames without a timestamp

  ~Impl() { Close(); }

  void Close() {
    sws_freeContext(sws);
    sws = nullptr;
    swr_free(&swr);
    av_channel_layout_uninit(&swrLayout);
    avcodec_free_context(&vdec);
    avcodec_free_context(&adec);
    avformat_close_input(&fmt);
    av_packet_free(&pkt);
    av_frame_free(&frame);
    vIndex = aIndex = -1;
    info = MovieInfo{};
  }

  double Seconds(int64_t ts, AVRational tb) const { return static_cast<double>(ts) * av_q2d(tb) - startTime; }

  bool OpenCodec(int index, int threads, AVCodecContext** out, std::string* error) {
    AVStream* st = fmt->streams[index];
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec) {
      if (error) *error = "no decoder for the stream's codec";
      return false;
    }
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    if (!ctx) return false;
    if (avcodec_parameters_to_context(ctx, st->codecpar) < 0) {
      avcodec_free_context(&ctx);
      return false;
    }
    ctx->pkt_timebase = st->time_base;
    ctx->thread_count = threads;
    int rc = avcodec_open2(ctx, codec, nullptr);
    if (rc < 0) {
      if (error) *error = "cannot open decoder: " + AvError(rc);
      avcodec_free_context(&ctx);
      return false;
    }
    *out = ctx;
    return true;
  }

  bool ConvertVideo(MovieVideoFrame& out) {
    const int w = frame->width, h = frame->height;
    if (w <= 0 || h <= 0 || w > kMaxPictureSide || h > kMaxPictureSide) return false;
    sws = sws_getCachedContext(sws, w, h, static_cast<AVPixelFormat>(frame->format), w, h, AV_PIX_FMT_RGBA,
                               SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!sws) return false;
    out.width = w;
    out.height = h;
    out.rgba.resize(static_cast<size_t>(w) * h * 4);
    uint8_t* dst[4] = {out.rgba.data(), nullptr, nullptr, nullptr};
    int dstPitch[4] = {w * 4, 0, 0, 0};
    sws_scale(sws, frame->data, frame->linesize, 0, h, dst, dstPitch);
    int64_t ts = frame->best_effort_timestamp;
    out.pts = ts == AV_NOPTS_VALUE ? 0 : Seconds(ts, fmt->streams[vIndex]->time_base);
    return true;
  }

  // Follows the decoded frames' own format (it may change mid-stream); in == nullptr keeps the
  // current resampler for draining.
  bool EnsureResampler(const AVFrame* in) {
    if (!in) return swr != nullptr;
    const bool same = swr && in->format == swrFormat && in->sample_rate == swrRate &&
                      av_channel_layout_compare(&in->ch_layout, &swrLayout) == 0;
    if (same) return true;
    swr_free(&swr);
    av_channel_layout_uninit(&swrLayout);
    if (in->sample_rate <= 0 || in->format < 0) return false;
    AVChannelLayout outLayout{};
    av_channel_layout_default(&outLayout, kMovieAudioChannels);
    if (in->ch_layout.nb_channels > 0) {
      av_channel_layout_copy(&swrLayout, &in->ch_layout);
    } else {
      av_channel_layout_default(&swrLayout, 2);
    }
    int rc = swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_S16, kMovieAudioRate, &swrLayout,
                                 static_cast<AVSampleFormat>(in->format), in->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&outLayout);
    if (rc < 0 || swr_init(swr) < 0) {
      swr_free(&swr);
      return false;
    }
    swrFormat = in->format;
    swrRate = in->sample_rate;
    return true;
  }

  // in == nullptr drains the resampler.
  bool ConvertAudio(const AVFrame* in, MovieAudioChunk& out) {
    if (!EnsureResampler(in)) return false;
    const int inCount = in ? in->nb_samples : 0;
    // Samples still buffered in the resampler come out ahead of this frame's own.
    const double buffered = static_cast<double>(swr_get_delay(swr, kMovieAudioRate)) / kMovieAudioRate;
    const int cap = swr_get_out_samples(swr, inCount) + 32;
    if (cap <= 0) return false;
    out.samples.resize(static_cast<size_t>(cap) * kMovieAudioChannels);
    uint8_t* dst[1] = {reinterpret_cast<uint8_t*>(out.samples.data())};
    int got = swr_convert(swr, dst, cap, in ? const_cast<const uint8_t**>(in->extended_data) : nullptr, inCount);
    if (got < 0) return false;
    out.samples.resize(static_cast<size_t>(got) * kMovieAudioChannels);
    double pts = nextAudioPts;
    if (in && in->best_effort_timestamp != AV_NOPTS_VALUE) {
      pts = Seconds(in->best_effort_timestamp, fmt->streams[aIndex]->time_base) - buffered;
    }
    out.pts = pts;
    nextAudioPts = out.End();
    return got > 0;
  }

  // After a seek: drops what ends before the target and trims the audio chunk that straddles it.
  bool KeepVideo(const MovieVideoFrame& v) {
    if (vSkipBefore < 0) return true;
    double end = v.pts + (frameDuration > 0 ? frameDuration : 0.001);
    if (end <= vSkipBefore + 1e-6) return false;
    vSkipBefore = -1;
    return true;
  }
  bool KeepAudio(MovieAudioChunk& a) {
    if (aSkipBefore < 0) return !a.samples.empty();
    if (a.End() <= aSkipBefore) return false;
    if (a.pts < aSkipBefore) {
      size_t drop = static_cast<size_t>(std::lround((aSkipBefore - a.pts) * kMovieAudioRate));
      drop = std::min(drop, a.Frames());
      a.samples.erase(a.samples.begin(), a.samples.begin() + static_cast<std::ptrdiff_t>(drop * kMovieAudioChannels));
      a.pts += static_cast<double>(drop) / kMovieAudioRate;
    }
    aSkipBefore = -1;
    return !a.samples.empty();
  }
};

MovieDecoder::MovieDecoder() : impl_(std::make_unique<Impl>()) {}
MovieDecoder::~MovieDecoder() = default;

bool MovieDecoder::IsOpen() const { return impl_->fmt != nullptr; }
const MovieInfo& MovieDecoder::Info() const { return impl_->info; }
void MovieDecoder::Close() { impl_->Close(); }

bool MovieDecoder::Open(const std::string& osPath, int threads, std::string* error) {
  Close();
  Impl& d = *impl_;
  av_log_set_level(AV_LOG_ERROR);
  av_log_set_callback(&LogFromFfmpeg);
  AVDictionary* opts = nullptr;
  // Movies are local files: never let a name select a network or pipe protocol.
  av_dict_set(&opts, "protocol_whitelist", "file", 0);
  std::string url = "file:" + osPath;
  int rc = avformat_open_input(&d.fmt, url.c_str(), nullptr, &opts);
  av_dict_free(&opts);
  if (rc < 0) {
    if (error) *error = "cannot open: " + AvError(rc);
    d.fmt = nullptr;
    return false;
  }
  rc = avformat_find_stream_info(d.fmt, nullptr);
  if (rc < 0) {
    if (error) *error = "cannot read stream information: " + AvError(rc);
    d.Close();
    return false;
  }
  d.vIndex = av_find_best_stream(d.fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  d.aIndex = av_find_best_stream(d.fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (d.vIndex < 0) d.vIndex = -1;
  if (d.aIndex < 0) d.aIndex = -1;
  std::string why;
  if (d.vIndex >= 0 && !d.OpenCodec(d.vIndex, threads, &d.vdec, &why)) {
    plat::Log("movie", "video stream ignored: %s", why.c_str());
    d.vIndex = -1;
  }
  if (d.vIndex >= 0 && (d.vdec->width > kMaxPictureSide || d.vdec->height > kMaxPictureSide)) {
    plat::Log("movie", "video stream ignored: %dx%d is too large", d.vdec->width, d.vdec->height);
    avcodec_free_context(&d.vdec);
    d.vIndex = -1;
  }
  if (d.aIndex >= 0 && !d.OpenCodec(d.aIndex, threads, &d.adec, &why)) {
    plat::Log("movie", "audio stream ignored: %s", why.c_str());
    d.aIndex = -1;
  }
  if (d.vIndex < 0 && d.aIndex < 0) {
    if (error) *error = "no playable video or audio stream";
    d.Close();
    return false;
  }
  d.pkt = av_packet_alloc();
  d.frame = av_frame_alloc();
  if (!d.pkt || !d.frame) {
    if (error) *error = "out of memory";
    d.Close();
    return false;
  }
  // Time 0 is the first picture (muxers may shift streams to keep timestamps non-negative);
  // sound before it is encoder priming and is cut off below.
  d.startTime = 0;
  if (d.vIndex >= 0 && d.fmt->streams[d.vIndex]->start_time != AV_NOPTS_VALUE) {
    d.startTime = d.fmt->streams[d.vIndex]->start_time * av_q2d(d.fmt->streams[d.vIndex]->time_base);
  } else if (d.fmt->start_time != AV_NOPTS_VALUE && d.fmt->start_time > 0) {
    d.startTime = static_cast<double>(d.fmt->start_time) / AV_TIME_BASE;
  }
  MovieInfo& info = d.info;
  info.hasVideo = d.vIndex >= 0;
  info.hasAudio = d.aIndex >= 0;
  if (info.hasVideo) {
    info.width = d.vdec->width;
    info.height = d.vdec->height;
    AVRational rate = d.fmt->streams[d.vIndex]->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = d.fmt->streams[d.vIndex]->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) info.fps = av_q2d(rate);
    d.frameDuration = info.fps > 0 ? 1.0 / info.fps : 0;
  }
  if (d.fmt->duration != AV_NOPTS_VALUE && d.fmt->duration > 0) {
    // Measured from our time 0, so it ends where the last stream ends.
    const int64_t start = d.fmt->start_time != AV_NOPTS_VALUE ? d.fmt->start_time : 0;
    info.duration = static_cast<double>(start + d.fmt->duration) / AV_TIME_BASE - d.startTime;
  } else if (info.hasVideo && d.fmt->streams[d.vIndex]->duration > 0) {
    info.duration = d.fmt->streams[d.vIndex]->duration * av_q2d(d.fmt->streams[d.vIndex]->time_base);
  }
  d.inputDone = false;
  d.vDone = !info.hasVideo;
  d.aDone = !info.hasAudio;
  d.errorRun = 0;
  d.vSkipBefore = d.aSkipBefore = 0;
  d.nextAudioPts = 0;
  return true;
}

MovieDecodeStatus MovieDecoder::Next(MovieVideoFrame& video, MovieAudioChunk& audio) {
  Impl& d = *impl_;
  if (!d.fmt) return MovieDecodeStatus::kEnd;
  for (;;) {
    // Hand out what the decoders already hold before reading more input.
    if (!d.vDone) {
      int rc = avcodec_receive_frame(d.vdec, d.frame);
      if (rc == 0) {
        bool ok = d.ConvertVideo(video);
        av_frame_unref(d.frame);
        if (ok && d.KeepVideo(video)) return MovieDecodeStatus::kVideo;
        continue;
      }
      if (rc == AVERROR_EOF || (rc != AVERROR(EAGAIN) && d.inputDone)) d.vDone = true;
    }
    if (!d.aDone) {
      int rc = avcodec_receive_frame(d.adec, d.frame);
      if (rc == 0) {
        bool ok = d.ConvertAudio(d.frame, audio);
        av_frame_unref(d.frame);
        if (ok && d.KeepAudio(audio)) return MovieDecodeStatus::kAudio;
        continue;
      }
      if (rc == AVERROR_EOF || (rc != AVERROR(EAGAIN) && d.inputDone)) {
        d.aDone = true;
        if (d.swr && d.ConvertAudio(nullptr, audio) && d.KeepAudio(audio)) return MovieDecodeStatus::kAudio;
      }
    }
    if (d.inputDone) {
      if (d.vDone && d.aDone) return MovieDecodeStatus::kEnd;
      // A decoder answered EAGAIN after the flush: it has nothing more.
      d.vDone = d.aDone = true;
      continue;
    }
    int rc = av_read_frame(d.fmt, d.pkt);
    if (rc < 0) {
      if (rc != AVERROR_EOF) plat::Log("movie", "read error, treated as end: %s", AvError(rc).c_str());
      d.inputDone = true;
      if (d.vdec && !d.vDone) avcodec_send_packet(d.vdec, nullptr);
      if (d.adec && !d.aDone) avcodec_send_packet(d.adec, nullptr);
      continue;
    }
    AVCodecContext* dec = nullptr;
    if (d.pkt->stream_index == d.vIndex && !d.vDone) dec = d.vdec;
    if (d.pkt->stream_index == d.aIndex && !d.aDone) dec = d.adec;
    if (dec) {
      rc = avcodec_send_packet(dec, d.pkt);
      if (rc < 0 && rc != AVERROR(EAGAIN)) {
        if (++d.errorRun >= kMaxConsecutiveErrors) {
          plat::Log("movie", "too many damaged packets, treated as end");
          d.inputDone = true;
          if (d.vdec && !d.vDone) avcodec_send_packet(d.vdec, nullptr);
          if (d.adec && !d.aDone) avcodec_send_packet(d.adec, nullptr);
        }
      } else {
        d.errorRun = 0;
      }
    }
    av_packet_unref(d.pkt);
  }
}

bool MovieDecoder::Seek(double seconds) {
  Impl& d = *impl_;
  if (!d.fmt) return false;
  if (seconds < 0) seconds = 0;
  int64_t ts = static_cast<int64_t>((seconds + d.startTime) * AV_TIME_BASE);
  int rc = avformat_seek_file(d.fmt, -1, INT64_MIN, ts, ts, 0);
  if (rc < 0) rc = av_seek_frame(d.fmt, -1, ts, AVSEEK_FLAG_BACKWARD);
  if (rc < 0) {
    plat::Log("movie", "seek to %.3f failed: %s", seconds, AvError(rc).c_str());
    return false;
  }
  if (d.vdec) avcodec_flush_buffers(d.vdec);
  if (d.adec) avcodec_flush_buffers(d.adec);
  swr_free(&d.swr);
  d.inputDone = false;
  d.vDone = !d.info.hasVideo;
  d.aDone = !d.info.hasAudio;
  d.errorRun = 0;
  d.vSkipBefore = d.aSkipBefore = seconds;
  d.nextAudioPts = seconds;
  return true;
}

}  // namespace plat

#include "platform/movie/movie_encoder.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/movie/ffmpeg.h"
#include "platform/movie/movie_decoder.h"

namespace plat {

struct MovieEncoder::Impl {
  AVFormatContext* fmt = nullptr;
  AVCodecContext* venc = nullptr;
  AVCodecContext* aenc = nullptr;
  AVStream* vst = nullptr;
  AVStream* ast = nullptr;
  AVFrame* vframe = nullptr;
  AVFrame* aframe = nullptr;
  AVPacket* pkt = nullptr;
  SwsContext* sws = nullptr;
  MovieEncodeParams params;
  int64_t videoIndex = 0;
  int64_t audioSamples = 0;
  std::vector<int16_t> pending;  // audio not yet a whole codec frame
  bool headerWritten = false;
  bool failed = false;

  ~Impl() { Release(); }

  void Release() {
    sws_freeContext(sws);
    sws = nullptr;
    avcodec_free_context(&venc);
    avcodec_free_context(&aenc);
    av_frame_free(&vframe);
    av_frame_free(&aframe);
    av_packet_free(&pkt);
    if (fmt) {
      if (fmt->pb) avio_closep(&fmt->pb);
      avformat_free_context(fmt);
      fmt = nullptr;
    }
    vst = ast = nullptr;
    headerWritten = false;
  }

  bool Drain(AVCodecContext* enc, AVStream* st) {
    for (;;) {
      int rc = avcodec_receive_packet(enc, pkt);
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
      if (rc < 0) return false;
      av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
      pkt->stream_index = st->index;
      rc = av_interleaved_write_frame(fmt, pkt);
      av_packet_unref(pkt);
      if (rc < 0) return false;
    }
  }

  bool Send(AVCodecContext* enc, AVStream* st, AVFrame* f) {
    int rc = avcodec_send_frame(enc, f);
    if (rc < 0 && rc != AVERROR_EOF) return false;
    return Drain(enc, st);
  }

  bool SendAudioFrame(const int16_t* src, int count) {
    if (av_frame_make_writable(aframe) < 0) return false;
    aframe->nb_samples = count;
    auto* dst = reinterpret_cast<int16_t*>(aframe->data[0]);
    std::copy(src, src + static_cast<size_t>(count) * params.audioChannels, dst);
    aframe->pts = audioSamples;
    audioSamples += count;
    return Send(aenc, ast, aframe);
  }
};

MovieEncoder::MovieEncoder() : impl_(std::make_unique<Impl>()) {}
MovieEncoder::~MovieEncoder() = default;

bool MovieEncoder::Create(const std::string& osPath, const MovieEncodeParams& p, std::string* error) {
  Impl& e = *impl_;
  e.Release();
  e.failed = false;
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    e.Release();
    e.failed = true;
    return false;
  };
  if (p.width < 16 || p.height < 16 || p.width > 4096 || p.height > 4096 || (p.width | p.height) & 1)
    return fail("picture size must be even and within 16..4096");
  if (p.fps < 1 || p.fps > 120) return fail("frame rate must be 1..120");
  if (p.audio && (p.audioChannels < 1 || p.audioChannels > 2 || p.audioRate < 8000 || p.audioRate > 48000))
    return fail("sound must be 1 or 2 channels at 8000..48000 Hz");
  e.params = p;
  e.videoIndex = 0;
  e.audioSamples = 0;
  e.pending.clear();
  int rc = avformat_alloc_output_context2(&e.fmt, nullptr, "matroska", nullptr);
  if (rc < 0 || !e.fmt) return fail("cannot create the container");

  const AVCodec* vcodec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  if (!vcodec) return fail("no MPEG-4 encoder");
  e.vst = avformat_new_stream(e.fmt, nullptr);
  e.venc = avcodec_alloc_context3(vcodec);
  if (!e.vst || !e.venc) return fail("out of memory");
  e.venc->width = p.width;
  e.venc->height = p.height;
  e.venc->time_base = AVRational{1, p.fps};
  e.venc->framerate = AVRational{p.fps, 1};
  e.venc->pix_fmt = AV_PIX_FMT_YUV420P;
  e.venc->gop_size = p.fps;
  e.venc->max_b_frames = 0;
  e.venc->flags |= AV_CODEC_FLAG_QSCALE;
  e.venc->global_quality = FF_QP2LAMBDA * std::clamp(p.quality, 1, 31);
  if (e.fmt->oformat->flags & AVFMT_GLOBALHEADER) e.venc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  rc = avcodec_open2(e.venc, vcodec, nullptr);
  if (rc < 0) return fail("cannot open the video encoder: " + AvError(rc));
  avcodec_parameters_from_context(e.vst->codecpar, e.venc);
  e.vst->time_base = e.venc->time_base;
  e.vst->avg_frame_rate = e.venc->framerate;

  if (p.audio) {
    const AVCodec* acodec = avcodec_find_encoder(AV_CODEC_ID_MP2);
    if (!acodec) return fail("no MP2 encoder");
    e.ast = avformat_new_stream(e.fmt, nullptr);
    e.aenc = avcodec_alloc_context3(acodec);
    if (!e.ast || !e.aenc) return fail("out of memory");
    e.aenc->sample_fmt = AV_SAMPLE_FMT_S16;
    e.aenc->sample_rate = p.audioRate;
    av_channel_layout_default(&e.aenc->ch_layout, p.audioChannels);
    e.aenc->bit_rate = p.audioBitrate;
    e.aenc->time_base = AVRational{1, p.audioRate};
    if (e.fmt->oformat->flags & AVFMT_GLOBALHEADER) e.aenc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    rc = avcodec_open2(e.aenc, acodec, nullptr);
    if (rc < 0) return fail("cannot open the audio encoder: " + AvError(rc));
    avcodec_parameters_from_context(e.ast->codecpar, e.aenc);
    e.ast->time_base = e.aenc->time_base;
    e.aframe = av_frame_alloc();
    if (!e.aframe) return fail("out of memory");
    e.aframe->format = AV_SAMPLE_FMT_S16;
    av_channel_layout_copy(&e.aframe->ch_layout, &e.aenc->ch_layout);
    e.aframe->sample_rate = p.audioRate;
    e.aframe->nb_samples = e.aenc->frame_size;
    if (av_frame_get_buffer(e.aframe, 0) < 0) return fail("out of memory");
  }

  e.vframe = av_frame_alloc();
  e.pkt = av_packet_alloc();
  if (!e.vframe || !e.pkt) return fail("out of memory");
  e.vframe->format = AV_PIX_FMT_YUV420P;
  e.vframe->width = p.width;
  e.vframe->height = p.height;
  if (av_frame_get_buffer(e.vframe, 0) < 0) return fail("out of memory");

  rc = avio_open(&e.fmt->pb, osPath.c_str(), AVIO_FLAG_WRITE);
  if (rc < 0) return fail("cannot write " + osPath + ": " + AvError(rc));
  rc = avformat_write_header(e.fmt, nullptr);
  if (rc < 0) return fail("cannot write the header: " + AvError(rc));
  e.headerWritten = true;
  return true;
}

bool MovieEncoder::AddVideoFrame(const uint8_t* rgba, int pitch) {
  Impl& e = *impl_;
  if (!e.headerWritten || e.failed || !rgba) return false;
  const int w = e.params.width, h = e.params.height;
  e.sws = sws_getCachedContext(e.sws, w, h, AV_PIX_FMT_RGBA, w, h, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr,
                               nullptr);
  if (!e.sws || av_frame_make_writable(e.vframe) < 0) return false;
  const uint8_t* src[4] = {rgba, nullptr, nullptr, nullptr};
  int srcPitch[4] = {pitch, 0, 0, 0};
  sws_scale(e.sws, src, srcPitch, 0, h, e.vframe->data, e.vframe->linesize);
  e.vframe->pts = e.videoIndex++;
  if (!e.Send(e.venc, e.vst, e.vframe)) {
    e.failed = true;
    return false;
  }
  return true;
}

bool MovieEncoder::AddAudio(const int16_t* samples, size_t frames) {
  Impl& e = *impl_;
  if (!e.headerWritten || e.failed || !e.aenc) return false;
  const size_t channels = static_cast<size_t>(e.params.audioChannels);
  e.pending.insert(e.pending.end(), samples, samples + frames * channels);
  const size_t block = static_cast<size_t>(e.aenc->frame_size) * channels;
  size_t used = 0;
  while (e.pending.size() - used >= block) {
    if (!e.SendAudioFrame(e.pending.data() + used, e.aenc->frame_size)) {
      e.failed = true;
      return false;
    }
    used += block;
  }
  e.pending.erase(e.pending.begin(), e.pending.begin() + static_cast<std::ptrdiff_t>(used));
  return true;
}

bool MovieEncoder::Finish() {
  Impl& e = *impl_;
  if (!e.headerWritten) return false;
  bool ok = !e.failed;
  if (ok && e.aenc && !e.pending.empty()) {
    // Pad the last block with silence: the codec takes whole frames only.
    std::vector<int16_t> last(e.pending);
    last.resize(static_cast<size_t>(e.aenc->frame_size) * e.params.audioChannels, 0);
    ok = e.SendAudioFrame(last.data(), e.aenc->frame_size);
    e.pending.clear();
  }
  if (ok) ok = e.Send(e.venc, e.vst, nullptr);
  if (ok && e.aenc) ok = e.Send(e.aenc, e.ast, nullptr);
  if (ok) ok = av_write_trailer(e.fmt) >= 0;
  e.Release();
  return ok;
}

void DrawTestPatternFrame(uint8_t* rgba, int width, int height, int index, int count) {
  static const uint8_t kBars[7][3] = {{192, 192, 192}, {192, 192, 0}, {0, 192, 192}, {0, 192, 0},
                                      {192, 0, 192},   {192, 0, 0},   {0, 0, 192}};
  const int counterTop = height - std::max(4, height / 12);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = rgba + static_cast<size_t>(y) * width * 4;
    for (int x = 0; x < width; ++x) {
      const uint8_t* c = kBars[std::min(6, x * 7 / width)];
      uint8_t r = c[0], g = c[1], b = c[2];
      if (y >= counterTop) {
        // 16 cells, most significant bit on the left: white for 1, black for 0.
        int bit = 15 - x * 16 / width;
        r = g = b = ((index >> bit) & 1) ? 235 : 16;
      }
      row[x * 4 + 0] = r;
      row[x * 4 + 1] = g;
      row[x * 4 + 2] = b;
      row[x * 4 + 3] = 255;
    }
  }
  const int side = std::max(2, height / 6) & ~1;
  const int travel = std::max(1, width - side);
  const int left = count > 1 ? static_cast<int>(static_cast<int64_t>(travel) * index / (count - 1)) : 0;
  const int top = (counterTop - side) / 2;
  for (int y = std::max(0, top); y < std::min(counterTop, top + side); ++y) {
    uint8_t* row = rgba + static_cast<size_t>(y) * width * 4;
    for (int x = std::max(0, left); x < std::min(width, left + side); ++x) {
      row[x * 4 + 0] = row[x * 4 + 1] = row[x * 4 + 2] = 255;
    }
  }
}

bool WriteTestPatternMovie(const std::string& osPath, const TestPatternParams& tp, std::string* error) {
  if (tp.seconds <= 0 || tp.seconds > 600) {
    if (error) *error = "length must be within 0..600 seconds";
    return false;
  }
  MovieEncodeParams p;
  p.width = tp.width;
  p.height = tp.height;
  p.fps = tp.fps;
  p.quality = tp.quality;
  p.audio = tp.toneHz > 0;
  MovieEncoder enc;
  if (!enc.Create(osPath, p, error)) return false;
  const int count = std::max(1, static_cast<int>(std::lround(tp.seconds * tp.fps)));
  std::vector<uint8_t> picture(static_cast<size_t>(tp.width) * tp.height * 4);
  std::vector<int16_t> tone;
  int64_t sampleIndex = 0;
  for (int i = 0; i < count; ++i) {
    DrawTestPatternFrame(picture.data(), tp.width, tp.height, i, count);
    if (!enc.AddVideoFrame(picture.data(), tp.width * 4)) {
      if (error) *error = "video encoding failed";
      return false;
    }
    if (p.audio) {
      // Audio up to the end of this frame, so both streams stay interleaved.
      const int64_t until = static_cast<int64_t>(i + 1) * kMovieAudioRate / tp.fps;
      tone.clear();
      for (; sampleIndex < until; ++sampleIndex) {
        double v = std::sin(2.0 * M_PI * tp.toneHz * static_cast<double>(sampleIndex) / kMovieAudioRate);
        auto s = static_cast<int16_t>(std::lround(v * 8192));
        tone.push_back(s);
        tone.push_back(s);
      }
      if (!enc.AddAudio(tone.data(), tone.size() / 2)) {
        if (error) *error = "audio encoding failed";
        return false;
      }
    }
  }
  if (!enc.Finish()) {
    if (error) *error = "cannot finish the file";
    return false;
  }
  return true;
}

}  // namespace plat

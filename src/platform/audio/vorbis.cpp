#include "platform/audio/vorbis.h"

#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/audio/sound_formats.h"

namespace plat {
namespace {

void SetError(std::string* e, const char* what) {
  if (e) *e = what;
}

// Memory source for ov_open_callbacks.
struct MemSource {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

size_t MemRead(void* ptr, size_t size, size_t n, void* src) {
  auto* m = static_cast<MemSource*>(src);
  if (size == 0) return 0;
  size_t want = size * n;
  const size_t left = m->size - m->pos;
  if (want > left) want = left;
  std::memcpy(ptr, m->data + m->pos, want);
  m->pos += want;
  return want / size;
}
int MemSeek(void* src, ogg_int64_t off, int whence) {
  auto* m = static_cast<MemSource*>(src);
  ogg_int64_t p;
  switch (whence) {
    case SEEK_SET:
      p = off;
      break;
    case SEEK_CUR:
      p = ogg_int64_t(m->pos) + off;
      break;
    case SEEK_END:
      p = ogg_int64_t(m->size) + off;
      break;
    default:
      return -1;
  }
  if (p < 0 || p > ogg_int64_t(m->size)) return -1;
  m->pos = size_t(p);
  return 0;
}
long MemTell(void* src) { return long(static_cast<MemSource*>(src)->pos); }

// File source with a base offset: the decoder sees the Ogg stream as the whole file.
struct FileSource {
  FILE* f = nullptr;
  uint64_t base = 0;
  uint64_t size = 0;  // bytes from base to the end
};
size_t FileRead(void* ptr, size_t size, size_t n, void* src) {
  return std::fread(ptr, size, n, static_cast<FileSource*>(src)->f);
}
int FileSeek(void* src, ogg_int64_t off, int whence) {
  auto* s = static_cast<FileSource*>(src);
  ogg_int64_t p;
  switch (whence) {
    case SEEK_SET:
      p = off;
      break;
    case SEEK_CUR:
      p = ogg_int64_t(ftello(s->f)) - ogg_int64_t(s->base) + off;
      break;
    case SEEK_END:
      p = ogg_int64_t(s->size) + off;
      break;
    default:
      return -1;
  }
  if (p < 0) return -1;
  return fseeko(s->f, off_t(s->base + uint64_t(p)), SEEK_SET) == 0 ? 0 : -1;
}
long FileTell(void* src) {
  auto* s = static_cast<FileSource*>(src);
  return long(ftello(s->f) - off_t(s->base));
}

}  // namespace

bool IsOggStreamComplete(const uint8_t* ogg, size_t size) {
  constexpr size_t kPageHeader = 27;
  size_t pos = 0;
  bool lastEnds = false;
  while (pos < size) {
    if (size - pos < kPageHeader || std::memcmp(ogg + pos, "OggS", 4) != 0) return false;
    const uint8_t type = ogg[pos + 5];
    const size_t segments = ogg[pos + 26];
    if (size - pos < kPageHeader + segments) return false;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += ogg[pos + kPageHeader + i];
    const size_t page = kPageHeader + segments + body;
    if (size - pos < page) return false;
    lastEnds = (type & 0x04) != 0;
    pos += page;
  }
  return pos > 0 && lastEnds;
}

bool DecodeVorbisMemory(const uint8_t* ogg, size_t size, int bytesPerSample, DecodedSound& out, std::string* error) {
  out = DecodedSound{};
  if (bytesPerSample != 1 && bytesPerSample != 2) return SetError(error, "word is error"), false;
  MemSource src{ogg, size, 0};
  ov_callbacks cb{MemRead, MemSeek, nullptr, MemTell};
  OggVorbis_File vf;
  if (!ogg || ov_open_callbacks(&src, &vf, nullptr, 0, cb) != 0) return SetError(error, "Open Error"), false;
  vorbis_info* vi = ov_info(&vf, -1);
  if (!vi) {
    ov_clear(&vf);
    return SetError(error, "Get Info Error"), false;
  }
  const ogg_int64_t frames = ov_pcm_total(&vf, -1);
  if (frames < 0 || vi->channels < 1 || vi->channels > 2 || frames > (ogg_int64_t(1) << 31) / 4) {
    ov_clear(&vf);
    return SetError(error, "Get Info Error"), false;
  }
  out.channels = vi->channels;
  out.rate = int(vi->rate);
  out.bitsPerSample = 8 * bytesPerSample;
  const size_t total = size_t(frames) * size_t(vi->channels) * size_t(bytesPerSample);
  // The length comes from the last page's granule position, which a damaged file can inflate far
  // beyond its data: it only bounds the decoding, the buffer grows with what really decodes.
  out.pcm.reserve(std::min<size_t>(total, size_t(1) << 20));
  char chunk[4096];
  int section = 0;
  while (out.pcm.size() < total) {
    const int want = int(std::min<size_t>(total - out.pcm.size(), sizeof chunk));
    // WAVE's 8-bit samples are unsigned.
    const long r = ov_read(&vf, chunk, want, 0, bytesPerSample, bytesPerSample == 2 ? 1 : 0, &section);
    if (r == 0) break;
    if (r < 0) {
      ov_clear(&vf);
      out.pcm.clear();
      return SetError(error, "Decode Error"), false;
    }
    out.pcm.insert(out.pcm.end(), chunk, chunk + r);
  }
  ov_clear(&vf);
  return true;
}

struct VorbisFileStream::Impl {
  FileSource src;
  OggVorbis_File vf;
  bool open = false;
  int channels = 0;
  int rate = 0;
  std::vector<char> mono;
};

VorbisFileStream::VorbisFileStream() : impl_(new Impl) {}
VorbisFileStream::~VorbisFileStream() { Close(); }

bool VorbisFileStream::Open(const std::string& osPath, uint64_t offset) {
  Close();
  FILE* f = std::fopen(osPath.c_str(), "rb");
  if (!f) return false;
  if (fseeko(f, 0, SEEK_END) != 0) {
    std::fclose(f);
    return false;
  }
  const off_t end = ftello(f);
  if (end < 0 || uint64_t(end) < offset || fseeko(f, off_t(offset), SEEK_SET) != 0) {
    std::fclose(f);
    return false;
  }
  impl_->src = FileSource{f, offset, uint64_t(end) - offset};
  ov_callbacks cb{FileRead, FileSeek, nullptr, FileTell};
  if (ov_open_callbacks(&impl_->src, &impl_->vf, nullptr, 0, cb) != 0) {
    std::fclose(f);
    impl_->src.f = nullptr;
    return false;
  }
  vorbis_info* vi = ov_info(&impl_->vf, -1);
  if (!vi || vi->channels < 1 || vi->channels > 2) {
    ov_clear(&impl_->vf);
    std::fclose(f);
    impl_->src.f = nullptr;
    return false;
  }
  impl_->channels = vi->channels;
  impl_->rate = int(vi->rate);
  impl_->open = true;
  return true;
}

bool VorbisFileStream::OpenVoi(const std::string& osPath) {
  Close();
  FILE* f = std::fopen(osPath.c_str(), "rb");
  if (!f) return false;
  uint8_t head[kVoiHeaderSize];
  const size_t got = std::fread(head, 1, sizeof head, f);
  fseeko(f, 0, SEEK_END);
  const off_t end = ftello(f);
  std::fclose(f);
  size_t base = 0;
  if (got != sizeof head || end < off_t(sizeof head)) return false;
  // The header only holds the extra length; check it against the real file size.
  if (!ParseVoiHeader(head, size_t(end), base)) return false;
  return Open(osPath, base);
}

void VorbisFileStream::Close() {
  if (!impl_->open) return;
  ov_clear(&impl_->vf);  // our callbacks have no close: the file is ours
  std::fclose(impl_->src.f);
  impl_->src.f = nullptr;
  impl_->open = false;
}

bool VorbisFileStream::IsOpen() const { return impl_->open; }
int VorbisFileStream::Rate() const { return impl_->rate; }
int VorbisFileStream::SourceChannels() const { return impl_->channels; }

long VorbisFileStream::Read(char* out, int bytes) {
  if (!impl_->open) return -1;
  bytes &= ~3;
  if (bytes <= 0) return 0;
  int section = 0;
  if (impl_->channels == 2) return ov_read(&impl_->vf, out, bytes, 0, 2, 1, &section);
  // Mono: read half as many bytes and duplicate each sample.
  impl_->mono.resize(size_t(bytes / 2));
  const long r = ov_read(&impl_->vf, impl_->mono.data(), bytes / 2, 0, 2, 1, &section);
  if (r <= 0) return r;
  const long samples = r / 2;
  for (long i = 0; i < samples; ++i) {
    std::memcpy(out + 4 * i, impl_->mono.data() + 2 * i, 2);
    std::memcpy(out + 4 * i + 2, impl_->mono.data() + 2 * i, 2);
  }
  return samples * 4;
}

bool EncodeVorbis(const int16_t* samples, size_t frames, int channels, int rate, float quality,
                  std::vector<uint8_t>& ogg, std::string* error) {
  ogg.clear();
  if (channels < 1 || channels > 2 || rate <= 0) return SetError(error, "bad format"), false;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
    vorbis_info_clear(&vi);
    return SetError(error, "encoder set-up failed"), false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 0x564F4931);  // fixed serial: the output depends only on the input
  ogg_page og;
  ogg_packet op;
  auto writePage = [&](const ogg_page& p) {
    ogg.insert(ogg.end(), p.header, p.header + p.header_len);
    ogg.insert(ogg.end(), p.body, p.body + p.body_len);
  };
  {
    ogg_packet h, hc, hcode;
    vorbis_analysis_headerout(&vd, &vc, &h, &hc, &hcode);
    ogg_stream_packetin(&os, &h);
    ogg_stream_packetin(&os, &hc);
    ogg_stream_packetin(&os, &hcode);
    while (ogg_stream_flush(&os, &og) != 0) writePage(og);
  }
  const size_t chunk = 1024;
  size_t pos = 0;
  bool eos = false;
  while (!eos) {
    const size_t n = std::min(chunk, frames - pos);
    if (n == 0) {
      vorbis_analysis_wrote(&vd, 0);
    } else {
      float** buf = vorbis_analysis_buffer(&vd, int(n));
      for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c) buf[c][i] = samples[(pos + i) * channels + c] / 32768.0f;
      vorbis_analysis_wrote(&vd, int(n));
      pos += n;
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (ogg_stream_pageout(&os, &og) != 0) {
          writePage(og);
          if (ogg_page_eos(&og)) eos = true;
        }
      }
    }
    if (n == 0) {
      while (ogg_stream_flush(&os, &og) != 0) {
        writePage(og);
        if (ogg_page_eos(&og)) eos = true;
      }
      eos = true;
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return true;
}

}  // namespace plat

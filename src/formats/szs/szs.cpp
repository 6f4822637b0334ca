#include "formats/szs/szs.h"

#include <climits>
#include <cstring>
#include <new>

#include "platform/fs/fs.h"
#include "platform/text/cp932.h"
#include "platform/byte_order.h"

namespace v4fmt {
namespace {

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

}  // namespace

void XorSzsData(uint8_t* data, size_t size) {
  if (!data) return;
  for (size_t i = 0; i < size; ++i) data[i] ^= kSzsKey;
}

void NormalizeSzsName(char* text) {
  if (!text) return;
  for (char* p = text; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (plat::IsSjisLead(c) && p[1] != '\0') {
      ++p;  // the trail byte stays as it is
      continue;
    }
    if (c >= 'A' && c <= 'Z') {
      *p = static_cast<char>(c - 'A' + 'a');
    } else if (c == ';' || c == '/') {
      *p = '\\';
    }
  }
}

std::string NormalizeSzsName(std::string_view text) {
  std::string s(text.substr(0, text.find('\0')));
  NormalizeSzsName(s.data());
  return s;
}

size_t SzsDirectoryBytes(int32_t count, uint64_t fileSize) {
  if (fileSize < kSzsHeaderSize || count < 0) return 0;
  if (count == 0) return kSzsHeaderSize;
  const uint64_t room = (fileSize - kSzsHeaderSize) / kSzsRecordSize;
  if (static_cast<uint64_t>(count) > room) return 0;
  return kSzsHeaderSize + static_cast<size_t>(count) * kSzsRecordSize;
}

bool ParseSzsDirectory(const uint8_t* header, size_t headerSize, uint64_t fileSize, std::vector<SzsDirEntry>& out,
                       std::string* error) {
  out.clear();
  if (!header || headerSize < kSzsHeaderSize || fileSize < kSzsHeaderSize)
    return Fail(error, "file shorter than the header");
  const int32_t count = static_cast<int32_t>(le::Get32(header + kSzsCountOffset));
  // A negative count is damage, not an empty archive.
  if (count < 0) return Fail(error, "entry count " + std::to_string(count) + " is negative");
  if (count == 0) return true;
  const size_t need = SzsDirectoryBytes(count, fileSize);
  if (need == 0) return Fail(error, "entry count " + std::to_string(count) + " does not fit the file");
  if (headerSize < need) return Fail(error, "directory truncated");
  out.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* rec = header + kSzsHeaderSize + static_cast<size_t>(i) * kSzsRecordSize;
    const void* nul = std::memchr(rec, 0, kSzsNameSize);
    if (!nul) return Fail(error, "entry " + std::to_string(i) + ": name not terminated");
    const size_t len = static_cast<size_t>(static_cast<const uint8_t*>(nul) - rec);
    if (len == 0) return Fail(error, "entry " + std::to_string(i) + ": empty name");
    SzsDirEntry e;
    e.name.assign(reinterpret_cast<const char*>(rec), len);
    // The offset field is 64 bits wide, but only its low 32 bits place the data: whatever the
    // high word holds is not part of the position.
    e.offset = le::Get32(rec + kSzsNameSize);
    e.size = le::Get64(rec + kSzsNameSize + 8);
    if (e.offset > fileSize || e.size > fileSize - e.offset) {
      return Fail(error, "entry " + std::to_string(i) + ": data outside the file");
    }
    out.push_back(std::move(e));
  }
  return true;
}

bool ReadSzsDirectoryFile(std::string_view path, std::vector<SzsDirEntry>& out, std::string* error) {
  out.clear();
  plat::ReadFile file;
  if (!file.Open(path)) return Fail(error, "cannot open");
  return ReadSzsDirectory(file, out, error);
}

bool ReadSzsDirectory(const plat::ReadFile& file, std::vector<SzsDirEntry>& out, std::string* error) {
  out.clear();
  plat::FileInfo info;
  if (!file.Info(info)) return Fail(error, "cannot read the size");
  uint8_t head[kSzsHeaderSize];
  if (info.size < kSzsHeaderSize || !file.ReadAt(0, head, sizeof head))
    return Fail(error, "file shorter than the header");
  const int32_t count = static_cast<int32_t>(le::Get32(head + kSzsCountOffset));
  const size_t need = SzsDirectoryBytes(count, info.size);
  if (need == 0) return Fail(error, "entry count " + std::to_string(count) + " does not fit the file");
  std::vector<uint8_t> dir(need);
  if (!file.ReadAt(0, dir.data(), dir.size())) return Fail(error, "directory truncated");
  return ParseSzsDirectory(dir.data(), dir.size(), info.size, out, error);
}

bool ReadSzsEntryData(std::string_view path, const SzsDirEntry& entry, std::vector<uint8_t>& out) {
  plat::ReadFile file;
  if (!file.Open(path)) return false;
  plat::FileInfo info;
  if (!file.Info(info)) return false;
  if (entry.offset > info.size || entry.size > info.size - entry.offset) return false;
  std::vector<uint8_t> data;
  try {
    data.resize(static_cast<size_t>(entry.size));
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!data.empty() && !file.ReadAt(entry.offset, data.data(), data.size())) return false;
  XorSzsData(data.data(), data.size());
  out = std::move(data);
  return true;
}

bool BuildSzsArchive(const std::vector<SzsSourceEntry>& entries, std::vector<uint8_t>& out, std::string* error) {
  out.clear();
  if (entries.size() > static_cast<size_t>(INT32_MAX) / kSzsRecordSize) return Fail(error, "too many entries");
  uint64_t total = kSzsHeaderSize + entries.size() * kSzsRecordSize;
  for (const SzsSourceEntry& e : entries) {
    if (e.name.empty() || e.name.size() >= kSzsNameSize || e.name.find('\0') != std::string::npos) {
      return Fail(error, "bad entry name '" + plat::Cp932ToUtf8(e.name) + "' (1 to 255 bytes)");
    }
    // Readers place data by the low 32 bits of its offset, so every entry must start below 4 GiB.
    if (total > UINT32_MAX) return Fail(error, "archive too large (entries must start below 4 GiB)");
    total += e.data.size();
  }
  out.assign(static_cast<size_t>(total), 0);
  le::Put32(out.data() + kSzsCountOffset, static_cast<uint32_t>(entries.size()));
  uint64_t offset = kSzsHeaderSize + entries.size() * kSzsRecordSize;
  for (size_t i = 0; i < entries.size(); ++i) {
    const SzsSourceEntry& e = entries[i];
    uint8_t* rec = out.data() + kSzsHeaderSize + i * kSzsRecordSize;
    std::memcpy(rec, e.name.data(), e.name.size());
    le::Put64(rec + kSzsNameSize, offset);
    le::Put64(rec + kSzsNameSize + 8, e.data.size());
    if (!e.data.empty()) {
      std::memcpy(out.data() + offset, e.data.data(), e.data.size());
      XorSzsData(out.data() + offset, e.data.size());
    }
    offset += e.data.size();
  }
  return true;
}

}  // namespace v4fmt

#include "core/fixed_path.h"

#include <cstring>

#include "platform/text/cp932.h"

namespace {

// Index of the last '\' or '/' that is not the trail byte of a two-byte character, or -1.
long LastSeparator(const char* s) {
  long last = -1;
  for (long i = 0; s[i]; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (plat::IsSjisLead(c) && s[i + 1]) {
      ++i;
      continue;
    }
    if (c == '\\' || c == '/') last = i;
  }
  return last;
}

}  // namespace

void FixedPath::Clear() {
  buf_[0] = '\0';
  valid_ = true;
}

void FixedPath::Invalidate() {
  buf_[0] = '\0';
  valid_ = false;
}

void FixedPath::Assign(const char* text) {
  if (!text) {
    Clear();
    return;
  }
  size_t n = std::strlen(text);
  if (n >= kCapacity) {
    Invalidate();
    return;
  }
  std::memmove(buf_, text, n);  // text may point into this path
  buf_[n] = '\0';
  valid_ = true;
}

void FixedPath::Append(const char* text) {
  if (!valid_ || !text) return;
  size_t have = std::strlen(buf_);
  size_t add = std::strlen(text);
  if (have + add >= kCapacity) {
    Invalidate();
    return;
  }
  std::memmove(buf_ + have, text, add);
  buf_[have + add] = '\0';
}

void FixedPath::Concat(FixedPath& out, const char* text) const {
  FixedPath tmp(*this);
  tmp.Append(text);
  out = tmp;
}

int FixedPath::Equals(const char* text) const {
  if (!text || !valid_) return 0;
  return std::strcmp(buf_, text) == 0 ? 1 : 0;
}

int FixedPath::NotEquals(const char* text) const { return Equals(text) ? 0 : 1; }

size_t FixedPath::Length() const { return std::strlen(buf_); }

void FixedPath::GetExtension(FixedPath& out) const {
  if (!valid_) return out.Invalidate();
  const char* dot = std::strrchr(buf_, '.');  // '.' is never a trail byte
  out.Assign(dot ? dot + 1 : "");
}

void FixedPath::GetDirectory(FixedPath& out, int withoutSeparator) const {
  if (!valid_) return out.Invalidate();
  long sep = LastSeparator(buf_);
  if (sep < 0) return out.Clear();
  size_t n = static_cast<size_t>(sep) + (withoutSeparator ? 0 : 1);
  char tmp[kCapacity];
  std::memcpy(tmp, buf_, n);
  tmp[n] = '\0';
  out.Assign(tmp);
}

void FixedPath::GetFileName(FixedPath& out) const {
  if (!valid_) return out.Invalidate();
  long sep = LastSeparator(buf_);
  out.Assign(buf_ + (sep + 1));
}

void FixedPath::GetBaseName(FixedPath& out) const {
  if (!valid_) return out.Invalidate();
  FixedPath name;
  GetFileName(name);
  char tmp[kCapacity];
  std::strcpy(tmp, name.CStr());
  if (char* dot = std::strchr(tmp, '.')) *dot = '\0';
  out.Assign(tmp);
}

void FixedPath::RemoveSubstring(const char* text) {
  if (!valid_ || !text) return;
  size_t have = std::strlen(buf_);
  size_t n = std::strlen(text);
  if (n == 0 || n >= have) return;
  // Only matches that start on a character boundary count.
  for (size_t i = 0; i + n <= have; ++i) {
    if (std::memcmp(buf_ + i, text, n) == 0) {
      std::memmove(buf_ + i, buf_ + i + n, have - i - n + 1);
      return;
    }
    if (plat::IsSjisLead(static_cast<unsigned char>(buf_[i])) && buf_[i + 1]) ++i;
  }
}

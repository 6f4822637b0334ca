#include "platform/text/cp932.h"

#include <errno.h>
#include <iconv.h>

namespace plat {
namespace {

// iconv handles are not shared between threads: one conversion opens its own.
bool Convert(const char* to, const char* from, std::string_view in, std::string& out, bool lenient) {
  out.clear();
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  bool ok = true;
  char buf[512];
  while (left > 0) {
    char* dst = buf;
    size_t room = sizeof buf;
    size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buf, static_cast<size_t>(dst - buf));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      ok = false;
      if (!lenient) break;
      // Skip one undecodable byte (EILSEQ) or a truncated tail (EINVAL).
      out.push_back('?');
      ++src;
      --left;
    }
  }
  if (ok || lenient) {
    char* dst = buf;
    size_t room = sizeof buf;
    iconv(cd, nullptr, nullptr, &dst, &room);
    out.append(buf, static_cast<size_t>(dst - buf));
  }
  iconv_close(cd);
  return ok;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view s) {
  std::string out;
  Convert("UTF-8", "CP932", s, out, true);
  return out;
}

std::string Utf8ToCp932(std::string_view s) {
  std::string out;
  Convert("CP932", "UTF-8", s, out, true);
  return out;
}

bool Cp932ToUtf8Strict(std::string_view s, std::string& out) { return Convert("UTF-8", "CP932", s, out, false); }
bool Utf8ToCp932Strict(std::string_view s, std::string& out) { return Convert("CP932", "UTF-8", s, out, false); }

}  // namespace plat

#include "platform/text/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/text/cp932.h"

namespace plat {
namespace {
std::atomic<bool> g_enabled{true};
std::mutex g_mutex;
}  // namespace

void SetLogEnabled(bool on) { g_enabled = on; }

void Log(const char* category, const char* fmt, ...) {
  if (!g_enabled) return;
  char buf[2048];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  std::string text = Cp932ToUtf8(buf);
  std::lock_guard<std::mutex> lock(g_mutex);
  std::fprintf(stderr, "[%s] %s\n", category, text.c_str());
}

}  // namespace plat

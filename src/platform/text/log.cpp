#include "platform/text/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>

#include "platform/text/cp932.h"

namespace plat {
namespace {
std::atomic<bool> g_enabled{true};
std::mutex g_mutex;
std::mutex g_refusedMutex;
std::set<std::string>* g_refused = new std::set<std::string>;  // never freed: used until exit
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

namespace plat {

void LogRefusedFile(const char* category, const char* path, const char* reason) {
  if (!g_enabled) return;  // not marked as reported while silenced
  const std::string key = path ? path : "";
  {
    std::lock_guard<std::mutex> lock(g_refusedMutex);
    if (!g_refused->insert(key).second) return;
  }
  Log(category, "%s: %s", key.c_str(), reason && *reason ? reason : "refused");
}

}  // namespace plat

#include "tool_io.h"

#include <cstdio>

#include "platform/fs/fs.h"

bool ReadToolInput(const char* who, const std::string& path, std::vector<uint8_t>& out) {
  std::string error;
  if (plat::ReadHostFile(path, out, &error)) return true;
  std::fprintf(stderr, "%s: %s: %s\n", who, path.c_str(), error.c_str());
  return false;
}

bool ReadToolText(const char* who, const std::string& path, std::string& out) {
  std::vector<uint8_t> bytes;
  if (!ReadToolInput(who, path, bytes)) return false;
  out.assign(bytes.begin(), bytes.end());
  return true;
}

bool ReadToolJson(const char* who, const std::string& path, nlohmann::json& out) {
  std::string text;
  if (!ReadToolText(who, path, text)) return false;
  try {
    out = nlohmann::json::parse(text);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s: %s\n", who, path.c_str(), e.what());
    return false;
  }
  return true;
}

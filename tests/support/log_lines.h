// The lines of a captured log that name a given text (a file's path).
#pragma once
#include <sstream>
#include <string>
#include <vector>

namespace v4test {

inline std::vector<std::string> LogLinesNaming(const std::string& log, const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (line.find(text) != std::string::npos) out.push_back(line);
  }
  return out;
}

}  // namespace v4test

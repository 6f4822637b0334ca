#include "tests/support/run_command.h"

#include <sys/wait.h>

#include <cstdio>

namespace v4test {

int RunCommand(const std::string& cmd, std::string* out) {
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  const int status = pclose(p);
  if (out) *out = text;
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace v4test

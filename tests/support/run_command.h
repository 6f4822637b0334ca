// Runs a shell command as a user would (the data tool in the tool tests) and collects its output.
#pragma once
#include <string>

namespace v4test {

// Runs cmd through the shell; returns its exit status (-1 when it could not run or did not exit
// normally) and, when out is given, everything it wrote on standard output.
int RunCommand(const std::string& cmd, std::string* out = nullptr);

}  // namespace v4test

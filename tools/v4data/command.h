// v4data sub-command registry. A command file registers itself at static-initialisation time:
//   static const V4Command kCmd{"szs", "pack|list|extract ...", &RunSzs};
// The handler receives the arguments after the command name and returns the process exit code.
#pragma once
#include <string>
#include <vector>

using V4CommandFn = int (*)(const std::vector<std::string>& args);

struct V4Command {
  V4Command(const char* name, const char* usage, V4CommandFn fn);
  const char* name;
  const char* usage;
  V4CommandFn fn;
};

const std::vector<const V4Command*>& V4Commands();

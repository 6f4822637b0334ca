#include "command.h"

static std::vector<const V4Command*>& Registry() {
  static std::vector<const V4Command*> commands;
  return commands;
}

V4Command::V4Command(const char* n, const char* u, V4CommandFn f) : name(n), usage(u), fn(f) {
  Registry().push_back(this);
}

const std::vector<const V4Command*>& V4Commands() { return Registry(); }

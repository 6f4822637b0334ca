// v4data: builds and inspects the game's data files. Usage: v4data <command> [args...]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"

static void Usage() {
  std::fprintf(stderr, "usage: v4data <command> [args...]\ncommands:\n");
  for (const V4Command* c : V4Commands()) std::fprintf(stderr, "  %s %s\n", c->name, c->usage);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage();
    return 2;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const V4Command* c : V4Commands()) {
    if (std::strcmp(c->name, argv[1]) == 0) return c->fn(args);
  }
  std::fprintf(stderr, "v4data: unknown command '%s'\n", argv[1]);
  Usage();
  return 2;
}

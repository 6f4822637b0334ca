// v4data: builds and inspects the game's data files. Usage: v4data <command> [args...]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"

// Sanitizer builds: fontconfig and the codecs keep allocations of their own until exit.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

static void Usage() {
  std::fprintf(stderr, "usage: v4data <command> [args...]\ncommands:\n");
  for (const V4Command* c : V4Commands()) std::fprintf(stderr, "  %s %s\n", c->name, c->usage);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage();
    return 2;
  }
  // Two areas claiming one command name would make the tool's behaviour depend on link order.
  for (size_t i = 0; i < V4Commands().size(); ++i) {
    for (size_t j = i + 1; j < V4Commands().size(); ++j) {
      if (std::strcmp(V4Commands()[i]->name, V4Commands()[j]->name) == 0) {
        std::fprintf(stderr, "v4data: command '%s' is registered twice\n", V4Commands()[i]->name);
        return 2;
      }
    }
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const V4Command* c : V4Commands()) {
    if (std::strcmp(c->name, argv[1]) != 0) continue;
    // A command reports its own errors; anything that still escapes ends the tool with a reason,
    // never an abort.
    try {
      return c->fn(args);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "v4data %s: %s\n", c->name, e.what());
      return 1;
    }
  }
  std::fprintf(stderr, "v4data: unknown command '%s'\n", argv[1]);
  Usage();
  return 2;
}

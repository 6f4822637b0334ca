// v4play: the automatic player. Plays the real game headless on a copy of a game folder, by input
// alone, from the title, and stops with `stuck:` and a dump when the game stops moving.
//   v4play <game-dir> --seed S --seasons N     the strategy game, N seasons
//   v4play <game-dir> --seed S --story [--runs N]   the story and the tutorial chapters
// --avoid C never chooses map command C (a known fault's), --trace prints every action, --verbose
// adds the turn to the season lines and lets the game's own log through.
// Exit status: 0 when the run ended as asked, 1 when it stopped, 2 for bad arguments, 143 when
// SIGTERM or SIGINT ended it (after the summary so far and a dump).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/autoplay/auto_player.h"
#include "tests/support/autoplay/game_session.h"
#include "platform/text/log.h"

// Sanitizer builds: SDL, fontconfig and the GL driver keep allocations of their own until exit.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: v4play <game-dir> --seed S (--seasons N | --story [--runs N]) [--stuck-steps N] "
               "[--avoid COMMAND]... [--trace] [--verbose]\n");
  return 2;
}

bool ParseInt(const char* s, long lo, long hi, long* out) {
  if (!s || !*s) return false;
  char* end = nullptr;
  const long v = std::strtol(s, &end, 10);
  if (*end || v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') return Usage();
  const std::string gameDir = argv[1];
  v4play::PlayOptions o;
  bool modeGiven = false;
  for (int i = 2; i < argc; ++i) {
    const char* a = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    long v = 0;
    if (!std::strcmp(a, "--seed") && ParseInt(next, 0, 0xFFFFFFFFL, &v)) {
      o.seed = static_cast<uint32_t>(v);
      ++i;
    } else if (!std::strcmp(a, "--seasons") && ParseInt(next, 1, 100000, &v)) {
      o.seasons = static_cast<int>(v);
      o.story = false;
      modeGiven = true;
      ++i;
    } else if (!std::strcmp(a, "--story")) {
      o.story = true;
      modeGiven = true;
    } else if (!std::strcmp(a, "--runs") && ParseInt(next, 1, 100000, &v)) {
      o.steps = static_cast<int>(v);
      ++i;
    } else if (!std::strcmp(a, "--stuck-steps") && ParseInt(next, 100, 10000000, &v)) {
      o.stuckSteps = static_cast<int>(v);
      ++i;
    } else if (!std::strcmp(a, "--avoid") && ParseInt(next, 0, 255, &v)) {
      o.avoid.push_back(static_cast<int>(v));
      ++i;
    } else if (!std::strcmp(a, "--trace")) {
      o.trace = true;
    } else if (!std::strcmp(a, "--verbose")) {
      o.verbose = true;
    } else {
      std::fprintf(stderr, "v4play: bad argument: %s\n", a);
      return Usage();
    }
  }
  if (!modeGiven) return Usage();
  // Headless: no window, no sound device of the machine.
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);

  // A run ended from outside (a timeout, a soak cut short) still reports what it played; a signal
  // during the start-up ends the run at its first step.
  std::signal(SIGTERM, [](int) { v4play::AutoPlayer::RequestTermination(); });
  std::signal(SIGINT, [](int) { v4play::AutoPlayer::RequestTermination(); });

  // The program's diagnostic log only when asked: the run's own lines are the report.
  plat::SetLogEnabled(o.verbose);
  v4play::GameSession session;
  std::string error;
  // The virtual clock starts at a time of the seed's, so the game's own timings differ by seed too.
  if (!session.Start(gameDir, o.seed * 2654435761u + 1u, 100000u + (o.seed % 1000u) * 7u, &error)) {
    std::fprintf(stderr, "v4play: %s\n", error.c_str());
    return 1;
  }
  v4play::AutoPlayer player(session, o, nullptr);
  return player.Run();
}

#!/usr/bin/env bash
# ThreadSanitizer over the tests that exercise the frame thread, the audio streams and movie
# decoding (the program's threads). Builds only those test programs in build/tsan.
set -euo pipefail
cd "$(dirname "$0")/.."
tests=(app_shell_tests app_sound_tests app_sound_device_tests app_movie_tests app_movie_mixer_tests app_movie_gfx_tests)
[ -f build/tsan/build.ninja ] || cmake --preset tsan
cmake --build build/tsan -j "$(nproc)" --target "${tests[@]}"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan/suppressions.txt halt_on_error=0 exitcode=66"
fail=0
for t in "${tests[@]}"; do
  echo "== $t (ThreadSanitizer)"
  log=$(mktemp)
  if ! (cd build/tsan/tests && "./$t" >"$log" 2>&1); then fail=1; fi
  grep -E "^\[  (PASSED|FAILED)|WARNING: ThreadSanitizer" "$log" || true
  if grep -q "WARNING: ThreadSanitizer" "$log"; then sed -n '/WARNING: ThreadSanitizer/,/^SUMMARY/p' "$log" | head -80; fail=1; fi
  rm -f "$log"
done
exit $fail

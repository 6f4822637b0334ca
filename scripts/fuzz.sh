#!/usr/bin/env bash
# Builds the fuzz targets with AFL++ (GCC plugin mode) and runs each for FUZZ_SECONDS (default 60)
# on its seeds. Crashing inputs are left in build/fuzz/findings/<family>/default/crashes; copy one
# to fuzz/regressions/<family>/ with its mend so that the normal build replays it from then on.
set -eu
cd "$(dirname "$0")/.."
secs=${FUZZ_SECONDS:-60}
jobs=${JOBS:-$(nproc)}

if ! command -v afl-g++-fast >/dev/null || ! command -v afl-fuzz >/dev/null; then
  echo "installing afl++"
  if [ "$(id -u)" -eq 0 ]; then apt-get install -y afl++; else sudo apt-get install -y afl++; fi
fi

# GCC plugin mode (afl-g++-fast) first. Distribution packages may ship a plugin built for another
# build of the same GCC, which refuses to load; then AFL++'s classic GCC mode (afl-g++, assembler
# instrumentation) with the same libFuzzer-compatible driver and AFL++'s runtime object.
aflLib=${AFL_PATH:-/usr/lib/afl}
probe=$(mktemp -d)
printf 'int main(void) { return 0; }\n' > "$probe/p.c"
if AFL_QUIET=1 afl-gcc-fast "$probe/p.c" -o "$probe/p" >/dev/null 2>&1; then
  mode=plugin
  extra=()
else
  mode=classic
  echo "afl-gcc-fast does not work with this GCC; using afl-g++ (classic GCC mode)"
  mkdir -p build/fuzz
  # afl-g++ drops arguments naming its runtime, so it is linked under another name.
  cp "$aflLib/afl-compiler-rt-64.o" build/fuzz/afl-runtime.o
  # AddressSanitizer hangs the fork server in this mode: crashes are found by their signal, and
  # the ASan build replays them once they are under fuzz/regressions/.
  extra=(-DCMAKE_C_COMPILER=afl-gcc -DCMAKE_CXX_COMPILER=afl-g++ -DV4_SANITIZE=OFF
         "-DV4_FUZZ_DRIVER=$PWD/build/fuzz/afl-runtime.o;$aflLib/libAFLDriver.a")
fi
rm -rf "$probe"
if [ "$(cat build/fuzz/.mode 2>/dev/null)" != "$mode" ] || [ ! -f build/fuzz/build.ninja ]; then
  rm -rf build/fuzz/CMakeCache.txt build/fuzz/CMakeFiles
  cmake --preset fuzz "${extra[@]}"
  echo "$mode" > build/fuzz/.mode
fi
cmake --build build/fuzz --target fuzz_targets -j "$jobs"

export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
export AFL_SKIP_CPUFREQ=1 AFL_NO_UI=1 AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES=1
found=0
for list in build/fuzz/fuzz/*.seeds; do
  family=$(basename "$list" .seeds)
  in=build/fuzz/seeds/$family
  out=build/fuzz/findings/$family
  rm -rf "$in"; mkdir -p "$in" "$out"
  # AFL++ takes seeds up to 1 MB; larger sample files are left out.
  while IFS= read -r p; do
    [ -n "$p" ] || continue
    find "$p" -type f -size -1024k ! -name '.*' 2>/dev/null | while IFS= read -r f; do
      cp "$f" "$in/$(basename "$f")"
    done
  done < "$list"
  if [ -z "$(ls -A "$in")" ]; then printf 'seed\n' > "$in/seed"; fi
  echo "== $family ($secs s)"
  # The input goes to the target as a file (@@): the driver runs it once per fork, with the target's
  # one-time set-up (copying sample data, making slots) covered by a longer first-trial timeout.
  # Some binaries' driver (AFL++ 4.04c) refuses a file argument under afl-fuzz (an assertion before
  # the fork server is up); those take the input from AFL++'s shared memory instead.
  if ! afl-fuzz -V "$secs" -t 10000+ -i "$in" -o "$out" -- "build/fuzz/fuzz/fuzz_$family" @@ >"$out.log" 2>&1; then
    if grep -q 'Fork server crashed with signal' "$out.log"; then
      rm -rf "$out"; mkdir -p "$out"
      echo "   input by shared memory"
      afl-fuzz -V "$secs" -t 10000+ -i "$in" -o "$out" -- "build/fuzz/fuzz/fuzz_$family" >"$out.log" 2>&1 || {
        echo "afl-fuzz failed for $family (see $out.log)"; found=1; continue; }
    else
      echo "afl-fuzz failed for $family (see $out.log)"; found=1; continue
    fi
  fi
  st=$out/default/fuzzer_stats
  echo "   $(awk '/^(execs_done|execs_per_sec|corpus_count|saved_crashes|saved_hangs) /{printf "%s=%s ", $1, $3}' "$st")"
  n=$(find "$out"/default/crashes "$out"/default/hangs -type f ! -name README.txt 2>/dev/null | wc -l)
  if [ "$n" -gt 0 ]; then echo "$family: $n crashing or hanging inputs in $out/default"; found=1; fi
done
exit $found

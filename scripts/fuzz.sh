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

[ -f build/fuzz/build.ninja ] || cmake --preset fuzz
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
  afl-fuzz -V "$secs" -i "$in" -o "$out" -- "build/fuzz/fuzz/fuzz_$family" >"$out.log" 2>&1 || {
    echo "afl-fuzz failed for $family (see $out.log)"; found=1; continue; }
  n=$(find "$out"/default/crashes "$out"/default/hangs -type f ! -name README.txt 2>/dev/null | wc -l)
  if [ "$n" -gt 0 ]; then echo "$family: $n crashing or hanging inputs in $out/default"; found=1; fi
done
exit $found

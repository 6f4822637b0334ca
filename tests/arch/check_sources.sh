#!/usr/bin/env bash
# Every .cpp file under the given folders is compiled by some target of the build: a file left out
# of its CMakeLists.txt (or a folder nobody adds) fails here instead of silently not building.
# The sample data's per-file sources (layouts, sounds, voices, pictures, fonts) are named in their
# folder's CMakeLists.txt the same way, and a data folder with a CMakeLists.txt is added.
# Usage: check_sources.sh <source root> <build's v4_sources.txt> <folder>...
set -u
root=$1
list=$(realpath -- "$2" 2> /dev/null || echo "$2")
shift 2
if [ ! -f "$list" ]; then echo "$list: no source list (configure the build first)"; exit 1; fi
fail=0
cd "$root" || exit 1
root=$(pwd -P)
while IFS= read -r file; do
  if ! grep -qxF "$root/$file" "$list"; then
    echo "$file: not in any target's sources (add it to a CMakeLists.txt)"
    fail=1
  fi
done < <(find "$@" -name '*.cpp' -type f | sort)
# Data: folder, file ending, the CMakeLists.txt that names each file by its stem.
data_lists=(
  "data/ui/layout .txt data/ui/CMakeLists.txt"
  "data/sound/slg_se .json data/sound/CMakeLists.txt"
  "data/sound/slg_v/091 .json data/sound/CMakeLists.txt"
  "data/sound/slg_v/battle .json data/sound/CMakeLists.txt"
  "data/scenario/voice .json data/scenario/CMakeLists.txt"
  "data/system/voice .json data/system/CMakeLists.txt"
  "data/image .json data/image/CMakeLists.txt"
  "data/fonts .json data/fonts/CMakeLists.txt"
)
for entry in "${data_lists[@]}"; do
  read -r dir ext cml <<< "$entry"
  for f in "$dir"/*"$ext"; do
    [ -f "$f" ] || continue
    stem=$(basename "$f" "$ext")
    if ! grep -qw -- "$stem" "$cml"; then
      echo "$f: not named in $cml"
      fail=1
    fi
  done
done
for d in data/*/; do
  d=${d%/}
  [ -f "$d/CMakeLists.txt" ] || continue
  if ! grep -qw -- "$(basename "$d")" data/CMakeLists.txt; then
    echo "$d: not added in data/CMakeLists.txt"
    fail=1
  fi
done
[ $fail -eq 0 ] && echo "ok"
exit $fail

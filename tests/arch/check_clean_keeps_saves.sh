#!/usr/bin/env bash
# `make clean` removes the build but keeps the player's SaveData under build/<preset>/game.
set -euo pipefail
root="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
cp "$root/Makefile" "$tmp/"
mkdir -p "$tmp/build/release/game/SaveData/sys" "$tmp/build/release/game/SaveData/d00" \
         "$tmp/build/release/game/Data/sys" "$tmp/build/release/src/core" "$tmp/build/asan/game/SaveData/sys"
echo plc > "$tmp/build/release/game/SaveData/sys/plc.dat"
echo head > "$tmp/build/release/game/SaveData/d00/head.dat"
echo sys > "$tmp/build/asan/game/SaveData/sys/sys.dat"
echo exe > "$tmp/build/release/game/vornakest4"
echo tbl > "$tmp/build/release/game/Data/sys/scene.bin"
echo obj > "$tmp/build/release/src/core/a.o"
echo ninja > "$tmp/build/release/build.ninja"
ln -s "$tmp/build/release/game/Data" "$tmp/build/release/link"
make -s -C "$tmp" clean
fail=0
for kept in release/game/SaveData/sys/plc.dat release/game/SaveData/d00/head.dat asan/game/SaveData/sys/sys.dat; do
  [ -f "$tmp/build/$kept" ] || { echo "removed: $kept"; fail=1; }
done
left="$(cd "$tmp/build" && find . -type f -o -type l | grep -v '/game/SaveData/' || true)"
[ -z "$left" ] || { echo "left behind:"; echo "$left"; fail=1; }
[ ! -e "$tmp/build/release/src" ] || { echo "empty folders left behind"; fail=1; }
# A second clean and a clean without build/ both succeed.
make -s -C "$tmp" clean
rm -rf "$tmp/build"
make -s -C "$tmp" clean
exit $fail

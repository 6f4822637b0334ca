#!/usr/bin/env bash
# The long form of the automatic player: `seeds` strategy runs of `seasons` seasons and `stories`
# story runs, `jobs` at a time, each logged under <build>/soak/. Ends with a summary line, the
# map commands no run completed, and the first lines of every stopped run; fails when one stopped.
# Usage: soak.sh <build dir> <seeds> <seasons> <stories> <jobs> [extra arguments of every run]
# [first seed]: the seeds run from the first seed (1) on, to run the long form in parts.
set -u
build=$1 seeds=$2 seasons=$3 stories=$4 jobs=$5
extra=${6:-}
first=${7:-1}
player="$build/bin/v4play"
game="$build/game"
logs="$build/soak"
rm -rf "$logs"
mkdir -p "$logs"
{
  for s in $(seq "$first" $((first + seeds - 1))); do echo "seasons $s"; done
  for s in $(seq "$first" $((first + stories - 1))); do echo "story $s"; done
} | xargs -P "$jobs" -L 1 bash -c '
  kind=$0 seed=$1
  if [ "$kind" = seasons ]; then args="--seasons '"$seasons"'"; else args="--story --runs 2"; fi
  args="$args '"$extra"'"
  "'"$player"'" "'"$game"'" --seed "$seed" $args > "'"$logs"'/$kind-$seed.log" 2>&1
  echo $? > "'"$logs"'/$kind-$seed.rc"'
ok=0 stopped=0
for rc in "$logs"/*.rc; do
  if [ "$(cat "$rc")" = 0 ]; then ok=$((ok + 1)); else stopped=$((stopped + 1)); fi
done
# Every map command over all strategy runs: opened, completed, refused, backed.
cat "$logs"/seasons-*.log 2> /dev/null | awk '/^command / && $3 == "opened" {
    o[$2] += $4; c[$2] += $6; r[$2] += $8; b[$2] += $10; if (!($2 in seen)) { seen[$2] = 1; order[n++] = $2 } }
  END { for (i = 0; i < n; ++i) { k = order[i];
    printf "command %s opened %d completed %d refused %d backed %d%s\n", k, o[k], c[k], r[k], b[k], c[k] ? "" : "  <- never completed" } }'
for rc in "$logs"/*.rc; do
  [ "$(cat "$rc")" = 0 ] && continue
  log=${rc%.rc}.log
  echo "== $(basename "$log" .log)"
  grep -A 30 -m 1 '^stuck:' "$log" || tail -n 20 "$log"
done
echo "soak: $((ok + stopped)) runs ($seeds x $seasons seasons, $stories stories), $ok ok, $stopped stopped; logs in $logs"
[ "$stopped" = 0 ]

#!/usr/bin/env bash
# The game's pace on two cores of software GL: starts the built game under a virtual X server
# (Xvfb), pinned to two cores (taskset) with LP_NUM_THREADS=2, walks title -> story -> strategy
# map -> battle by scripted input (xdotool), ends it with SIGTERM and prints the frame record the
# game writes to its log at exit: per scene the logic steps due and run (the pace) and the frame
# time's median, 95th and 99th percentile; also the processor share the game used while a screen
# stood idle. Usage: scripts/pace.sh [build folder (build/release)] [seconds per idle screen (10)]
# Needs Xvfb and xdotool (apt-get install xvfb xdotool). The game's SaveData is moved aside and put
# back, so the run is a first start and the player's files stay untouched.
set -u
cd "$(dirname "$0")/.."
build=${1:-build/release}
idle=${2:-10}
game=$build/game
[ -x "$game/vornakest4" ] || { echo "no game at $game (make build first)"; exit 2; }
for t in Xvfb xdotool taskset; do
  command -v $t >/dev/null || { echo "$t is missing (apt-get install xvfb xdotool)"; exit 2; }
done

display=:$((90 + RANDOM % 100))
log=$(mktemp /tmp/v4_pace.XXXXXX.log)
Xvfb "$display" -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
saved=""
if [ -d "$game/SaveData" ]; then saved="$game/SaveData.pace-$$"; mv "$game/SaveData" "$saved"; fi
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  if [ -n "$saved" ]; then rm -rf "$game/SaveData"; mv "$saved" "$game/SaveData"; fi
}
trap cleanup EXIT
sleep 1
export DISPLAY=$display SDL_AUDIODRIVER=dummy LP_NUM_THREADS=2
(cd "$game" && exec taskset -c 0,1 ./vornakest4) >"$log" 2>&1 &
pid=$!

# Waits (at most $2 seconds) until the log has a line matching $1.
wait_for() {
  local i
  for ((i = 0; i < $2 * 5; ++i)); do
    grep -q "$1" "$log" && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-0.15}"; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
# The game's processor share over $1 seconds, in per cent of one core.
idle_share() {
  local a b hz
  hz=$(getconf CLK_TCK)
  a=$(cpu_ticks)
  sleep "$1"
  b=$(cpu_ticks)
  echo $(((b - a) * 100 / hz / $1))
}

wait_for "scene title (1)" 60 || { echo "the title never came"; cat "$log"; exit 1; }
# The logo and the opening movie give way to a click away from the buttons.
for _ in 1 2 3 4 5 6; do click 60 60 0.5; done
sleep 3
echo "title idle: $(idle_share "$idle") % of a core"
click 640 352 1 # はじめから
wait_for "scene story (2)" 20 || echo "the story did not start"
sleep 2
echo "message window idle: $(idle_share "$idle") % of a core"
# Through the story: a click on the empty screen completes and advances a page; where choices
# show, the clicks at their height pick one.
for _ in $(seq 1 600); do
  grep -q "scene map (3)" "$log" && break
  kill -0 "$pid" 2>/dev/null || break
  click 640 268 0.1
  click 640 308 0.1
  click 640 200 0.2
done
if wait_for "scene map (3)" 5; then
  sleep 4
  echo "map idle: $(idle_share "$idle") % of a core"
  # Phases end and reports are clicked away until a battle opens.
  for _ in $(seq 1 300); do
    grep -q "scene battle (8)" "$log" && break
    kill -0 "$pid" 2>/dev/null || break
    click 1214 678 0.3 # フェイズ終了
    click 60 580 0.3   # the sea: closes a report
    click 530 434 0.3  # はい of a question
  done
  if wait_for "scene battle (8)" 2; then sleep "$idle"; else echo "no battle came"; fi
else
  echo "the story did not reach the map"
fi
kill -TERM "$pid" 2>/dev/null
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
pid=""
echo "frame record ($log):"
grep "frame record:" "$log" | sed 's/^\[frame\] frame record: /  /'

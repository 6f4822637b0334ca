#!/usr/bin/env bash
# Names against .clang-tidy (naming rules only). A whole-tree run takes many minutes, so by default
# it checks the C++ files changed since the merge base with main (or, without one, the last
# commit) plus one fixed file of each library folder; the headers they include are checked with
# them. Pass files to check those instead; V4_NAMING_ALL=1 checks every .cpp.
# Usage: scripts/check-naming.sh [build dir] [file...]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
shift || true
if ! command -v clang-tidy > /dev/null; then echo "check-naming: clang-tidy is not installed"; exit 1; fi
if [ ! -f "$build/compile_commands.json" ]; then echo "check-naming: configure $build first"; exit 1; fi
# clang does not take the GCC charset options (CP932 literals): a copy of the database without them.
db=$(mktemp -d)
trap 'rm -rf "$db"' EXIT
sed -e 's/ -fexec-charset=CP932//g' -e 's/ -finput-charset=UTF-8//g' "$build/compile_commands.json" > "$db/compile_commands.json"
if [ $# -gt 0 ]; then
  files=("$@")
elif [ "${V4_NAMING_ALL:-0}" = 1 ]; then
  mapfile -t files < <(git ls-files 'src/*.cpp' 'tools/*.cpp')
else
  base=$(git merge-base HEAD main 2> /dev/null || git rev-parse HEAD~1 2> /dev/null || true)
  mapfile -t changed < <([ -n "$base" ] && git diff --name-only --diff-filter=AM "$base" -- 'src/*.cpp' 'tools/*.cpp')
  mapfile -t sample < <(git ls-files 'src/*.cpp' 'tools/*.cpp' | grep -v '/backends/' | awk -F/ '{d=$0; sub(/\/[^\/]*$/, "", d)} !seen[d]++')
  mapfile -t files < <(printf '%s\n' "${changed[@]}" "${sample[@]}" | grep -v -e '^$' | sort -u)
fi
echo "check-naming: ${#files[@]} files"
# Only the naming findings at a place in this tree count: compiler warnings are the build's business
# (-w), and findings with no location (implicit names of library templates) cannot be acted on.
root=$(pwd -P)
found=$(printf '%s\n' "${files[@]}" | xargs -P "${JOBS:-4}" -n 4 clang-tidy -p "$db" --quiet --extra-arg=-w 2> /dev/null |
  grep -E "^$root/.*(error|warning): .*\[readability-identifier-naming" | sort -u || true)
if [ -n "$found" ]; then
  echo "$found"
  exit 1
fi
echo "check-naming: ok"

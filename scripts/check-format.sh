#!/usr/bin/env bash
# Fails when a source file is not laid out as .clang-format says (ImGui's backend copies excepted).
set -u
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is not installed"; exit 1; }
bad=0
while IFS= read -r f; do
  clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || { echo "not formatted: $f"; bad=1; }
done < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'tools/*.cpp' 'tools/*.h' \
           'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
[ $bad -eq 0 ] && echo "format ok"
exit $bad

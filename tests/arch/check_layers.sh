#!/usr/bin/env bash
# The folders of src/ are layers: a file may include headers of its own folder and of lower layers
# only. Same-rank folders (world, render; scenario, sound, movie; the screens) stay apart. A folder
# missing from the table fails the check so that a new one is placed on purpose.
set -u
root=$1
declare -A rank=(
  [platform]=0 [formats]=1 [core]=2 [world]=3 [render]=3 [scenario]=4 [sound]=4 [movie]=4
  [battle]=5 [save]=6 [ui]=7 [screens]=8 [shell]=9
)
area() {  # src-relative path -> its layer folder (screens/<area> for the screens)
  local p=$1
  case $p in
    screens/*/*) p=${p#screens/}; echo "screens/${p%%/*}" ;;
    */*) echo "${p%%/*}" ;;
    *) echo "" ;;
  esac
}
fail=0
cd "$root/src" || exit 1
while IFS= read -r file; do
  from=$(area "$file")
  fromTop=${from%%/*}
  if [ -z "${rank[$fromTop]+x}" ]; then echo "src/$file: folder '$fromTop' is not in the layer table"; fail=1; continue; fi
  while IFS= read -r inc; do
    [ -f "$inc" ] || continue  # system or library header
    to=$(area "$inc")
    [ "$to" = "$from" ] && continue
    toTop=${to%%/*}
    if [ -z "${rank[$toTop]+x}" ] || [ "${rank[$toTop]}" -ge "${rank[$fromTop]}" ]; then
      echo "src/$file includes $inc: $from may not use $to"
      fail=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort)
[ $fail -eq 0 ] && echo "ok"
exit $fail

#!/usr/bin/env bash
# Library headers of SDL, GL, FreeType, fontconfig, vorbis, FFmpeg, iconv, Assimp, libpng and ImGui may be
# included only under src/platform: everything else reaches them through our own layer.
set -u
root=$1
pattern='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](SDL|GL/|EGL/|epoxy/|ft2build|freetype/|fontconfig/|vorbis/|ogg/|libav|libsw|iconv\.h|assimp/|png\.h|pngconf\.h|imgui)'
hits=$(grep -rnE "$pattern" "$root/src" "$root/tools" "$root/tests" "$root/bench" --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' 2>/dev/null \
  | grep -v "^$root/src/platform/" | grep -v "^$root/tests/platform/" | grep -v "^$root/bench/platform/" || true)
if [ -n "$hits" ]; then
  echo "platform headers included outside src/platform:"
  echo "$hits"
  exit 1
fi
echo "ok"

#!/usr/bin/env bash
# Installs the Debian packages the build, the data tools and the tests need.
# Idempotent: asks apt only for what is missing.
set -euo pipefail
pkgs=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libepoxy-dev libgl1-mesa-dri libegl-dev libopengl-dev libegl-mesa0
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic
  xfonts-base  # the X core fonts that SDL's message boxes draw with
  libvorbis-dev libogg-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  libassimp-dev libpng-dev zlib1g-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang-format clang-tidy
  libimgui-dev  # the debug window (its SDL2 and OpenGL 3 backends are compiled from the package's examples)
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian 12 packages that are missing, skipping the ones already
# there. Run as root (or with sudo).
#
#   scripts/deps.sh play   what building the game and playing it need (./play.sh)
#   scripts/deps.sh test   that, and what the tests and the sanitizer and fuzzing
#                          builds need (./test.sh, bench/run.sh)
set -euo pipefail

play=(
  # build
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-multimedia-dev libsqlcipher-dev libssl-dev
  # run
  libqt6multimedia6 libsqlcipher0 fonts-liberation2 fonts-dejavu-core
)
test=(
  # the developers' tools: sources, and a compile cache for the second build
  git ccache
  # offscreen and X11 windows, keystrokes, screenshots, audio, packaging
  sqlcipher xvfb xauth xdotool x11-utils imagemagick pulseaudio pulseaudio-utils sox
  desktop-file-utils appstream dpkg-dev file lintian strace
  # sanitizer and fuzzing builds
  clang libclang-rt-14-dev
)

case ${1-} in
  play) packages=("${play[@]}") ;;
  test) packages=("${play[@]}" "${test[@]}") ;;
  *) echo "usage: $0 play|test" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs the Debian 12 packages the game needs to build, run and test,
# skipping the ones already there. Run as root (or with sudo).
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config git ccache
  qt6-base-dev qt6-multimedia-dev libsqlcipher-dev libssl-dev libfontconfig-dev
  # run
  libqt6multimedia6 libsqlcipher0 fonts-liberation2 fonts-dejavu-core
  # tests: offscreen and X11 windows, keystrokes, screenshots, audio, packaging
  sqlcipher xvfb xauth xdotool x11-utils imagemagick pulseaudio pulseaudio-utils sox
  desktop-file-utils appstream dpkg-dev file
  # sanitizer and fuzzing builds
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  [[ $p == \#* ]] && continue
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

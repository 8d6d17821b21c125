#!/usr/bin/env bash
# Installs what building and playing need, builds the game and its data into
# build/ and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh play
cmake --preset default
cmake --build --preset default --target gallows gallows_data
exec build/gallows

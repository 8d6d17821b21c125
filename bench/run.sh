#!/usr/bin/env bash
# Prints the benchmark table: the game beside a bare Qt window, measured in
# the same run on a display of its own. See bench/README.md.
#
#   bench/run.sh [build-folder]     (default: build-bench beside this folder)
#
# RUNS (default 15) sets the number of measured starts of each program.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
build=$(realpath -m "${1:-$repo/build-bench}")

# The bench programs are built only with GALLOWS_BENCH on.
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGALLOWS_BENCH=ON >/dev/null
elif ! grep -q '^GALLOWS_BENCH:[A-Z]*=ON$' "$build/CMakeCache.txt"; then
  cmake -S "$repo" -B "$build" -DGALLOWS_BENCH=ON >/dev/null
fi
cmake --build "$build" --parallel 2 \
  --target gallows gallows-catalogue-reader gallows-cue-player gallows_data gallows-bench-bare gallows-bench-catalogue >&2

scratch=$(mktemp -d "${TMPDIR:-/tmp}/gallows-bench.XXXXXX")
# The runtime folder is in memory, as a desktop session's /run/user/<uid> is.
runtime=$(mktemp -d /dev/shm/gallows-bench-runtime.XXXXXX 2>/dev/null) || runtime=$scratch/runtime
xvfb=
pulse=
cleanup() {
  for pid in $pulse $xvfb; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$scratch" "$runtime"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display itself and writes its number to fd 3.
mkdir -p -m 700 "$runtime" "$scratch/config"
chmod 700 "$runtime"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
  3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
  [[ -s $scratch/display ]] && break
  kill -0 "$xvfb" 2>/dev/null || { cat "$scratch/xvfb.log" >&2; exit 1; }
  sleep 0.1
done
display=$(head -n1 "$scratch/display")
[[ -n $display ]] || { echo "bench: Xvfb gave no display" >&2; exit 1; }

# A sound server of its own with a null sink, as on a desktop, so that the
# game's sound stack starts up for real.
if command -v pulseaudio >/dev/null; then
  mkdir -m 700 "$runtime/pulse"
  XDG_RUNTIME_DIR="$runtime" HOME="$scratch" \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no -F /dev/null \
    -L "module-null-sink sink_name=bench" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$runtime/pulse/native" \
    2>"$scratch/pulse.log" &
  pulse=$!
  for _ in $(seq 100); do
    [[ -S $runtime/pulse/native ]] && break
    sleep 0.1
  done
else
  echo "bench: no pulseaudio; the game's sound stack will find no server" >&2
fi
echo "autospawn = no" >"$scratch/client.conf"
export PULSE_CLIENTCONFIG="$scratch/client.conf"

DISPLAY=":$display" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$runtime" XDG_CACHE_HOME="$scratch/cache" \
  python3 "$here/measure.py" --build "$build" --repo "$repo" --runs "${RUNS:-15}"

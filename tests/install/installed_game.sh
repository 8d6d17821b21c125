#!/bin/bash
# The game as the Debian package installs it, unpacked into a scratch root.
#
#   installed_game.sh package <build dir> <dir> <version>
#       CPack builds the .deb into <dir>; lintian passes it with no error or
#       warning; it is unpacked into <dir>/root, where the desktop entry and
#       AppStream file validate and every name they use is installed.
#   installed_game.sh options <dir> <version>
#       --help, --version and a bad option answer on the terminal with no
#       display, and touch no file of the user's and none of the game's data.
#   installed_game.sh game <dir>
#       the installed game starts under its own X server with both run-time
#       parts loaded from the installed tree, a second start brings it to the
#       front, and Ctrl+Q ends it with its settings saved.
set -euo pipefail
mode=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/gallows-installed.XXXXXX")
# Stops what this script started (its own jobs only), then removes its files.
trap 'kill $(jobs -p) 2>/dev/null || true; wait; rm -rf "$work"' EXIT
# Waits up to $1 seconds for the command after it to succeed.
poll() {
    local deadline=$((SECONDS + $1)); shift
    until "$@"; do ((SECONDS < deadline)) || return 1; sleep 0.1; done
}
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_CACHE_HOME=$work/home/cache \
    XDG_DATA_HOME=$work/home/data XDG_RUNTIME_DIR=$work/home/runtime
mkdir -p "$HOME" && cd "$work" # not the build folder: only the installed Data/ can be found

case $mode in
package)
    build=$2 dir=$3 version=$4
    rm -rf "$dir" && mkdir -p "$dir"
    cpack --config "$build/CPackConfig.cmake" -B "$dir" >"$work/cpack.log" 2>&1 || fail "cpack: $(cat "$work/cpack.log")"
    deb=$(echo "$dir"/*.deb)
    [[ -f $deb && $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "no .deb of version $version: $deb"
    lintian --display-info --fail-on error,warning "$deb" || fail "lintian found errors or warnings (above)"
    dpkg-deb -x "$deb" "$dir/root"
    usr=$dir/root/usr
    for need in libsqlcipher0 libqt6multimedia6 fonts-liberation2 fonts-dejavu-core; do
        dpkg-deb -f "$deb" Depends | grep -qE "(^|, )$need( |,|$)" || fail "Depends lacks $need"
    done
    desktop=$usr/share/applications/org.tarvolin.Gallows.desktop
    metainfo=$usr/share/metainfo/org.tarvolin.Gallows.metainfo.xml
    out=$(desktop-file-validate "$desktop" 2>&1) && [[ -z $out ]] || fail "desktop-file-validate: $out"
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli found problems (above)"
    grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream file lacks release $version"
    exec=$(sed -n 's/^Exec=//p' "$desktop") icon=$(sed -n 's/^Icon=//p' "$desktop")
    [[ -x $usr/games/$exec ]] || fail "Exec=$exec is not in /usr/games"
    [[ -f $usr/share/icons/hicolor/48x48/apps/$icon.png ]] || fail "Icon=$icon is not installed"
    diff -r "$build/Data" "$usr/share/tarvolin-gallows/Data" || fail "the installed Data/ differs from the built one"
    ;;
options)
    game=$2/root/usr/games/gallows version=$3
    # No display: a program that tried to open a window would abort.
    run() { env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb strace -f -qq -e trace=%file \
        -o "$work/trace.$1" "$game" "$@" >"$work/out" 2>"$work/err"; }
    status=0; run --help || status=$?
    ((status == 0)) && grep -q '^Usage: .*gallows \[options\]' "$work/out" && grep -q -- '--version' "$work/out" ||
        fail "--help: status $status, said: $(cat "$work/out" "$work/err")"
    status=0; run --version || status=$?
    [[ $status == 0 && $(cat "$work/out") == "Tarvolin Gallows $version" ]] || fail "--version: status $status, said: $(cat "$work/out")"
    status=0; run --bogus || status=$?
    ((status == 2)) && [[ ! -s $work/out && $(head -n1 "$work/err") == "gallows: Unknown option 'bogus'." ]] &&
        grep -q '^Usage:' "$work/err" || fail "--bogus: status $status, said: $(cat "$work/out" "$work/err")"
    [[ -z $(ls -A "$HOME") ]] || fail "the options wrote into the home folder: $(find "$HOME")"
    for trace in "$work"/trace.*; do
        grep -q 'execve(.*gallows' "$trace" || fail "strace did not see the game start"
        ! grep -E 'bsk\.cab|/Data|gallows-catalogue-reader|fonts\.conf|Tarvolin\.conf|tarvolin-gallows\.lock' "$trace" ||
            fail "${trace##*.} touched the game's files (above)"
    done
    ;;
game)
    root=$2/root parts=$(echo "$2"/root/usr/lib/*/tarvolin-gallows)
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
    poll 10 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    "$root/usr/games/gallows" 2>"$work/first.err" &
    pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name '^Tarvolin Gallows$' 2>/dev/null | head -n1)
    [[ -n $window ]] || fail "no window: $(cat "$work/first.err")"
    # The catalogue reader at start-up, the cue player half a second after the first board.
    loaded() { grep -q "$parts/gallows-catalogue-reader.so" "/proc/$pid/maps" && grep -q "$parts/gallows-cue-player.so" "/proc/$pid/maps"; }
    poll 15 loaded || fail "the parts were not loaded from $parts: $(cat "$work/first.err")"
    ! grep "^gallows:" "$work/first.err" || fail "the installed game reported a problem by the time both parts were up"
    # A window over the whole screen; a second start brings the game above it.
    xmessage -geometry 1024x768+0+0 -title cover cover &
    cover=$(timeout 20 xdotool search --sync --onlyvisible --name '^cover$' | head -n1)
    [[ -n $cover ]] || fail "the covering window did not appear"
    above() { xwininfo -root -children | awk -v a="$(printf '0x%x' "$1")" -v b="$(printf '0x%x' "$2")" \
        '$1 == a { print "yes"; exit } $1 == b { exit }' | grep -q yes; }
    above "$cover" "$window" || fail "the cover is not above the game"
    status=0; timeout 20 "$root/usr/games/gallows" 2>"$work/second.err" || status=$?
    ((status == 0)) || fail "the second start ended with $status: $(cat "$work/second.err")"
    poll 10 above "$window" "$cover" || fail "the second start did not bring the game to the front"
    xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+q
    poll 15 eval '! kill -0 $pid 2>/dev/null' || fail "the game did not end within 15 s of Ctrl+Q"
    status=0; wait "$pid" || status=$?
    ((status == 0)) || fail "the game ended with status $status"
    grep -q '^GamesTotal=' "$XDG_CONFIG_HOME/Tarvolin.conf" || fail "no settings saved under XDG_CONFIG_HOME"
    ;;
*) fail "unknown mode $mode" ;;
esac
echo "PASS: $mode"

#!/bin/bash
# Installs the built game into a fresh temporary prefix and checks it there.
#
#   installed_game.sh layout <build dir>   the installed files, and nothing pointing back at the build
#   installed_game.sh start  <build dir>   the installed game opens its window under its own X server
#                                          and closes cleanly from its menu shortcut
#   installed_game.sh raise  <build dir>   a second start brings the running game's window to the front
#                                          and ends at once with status 0
#   installed_game.sh deb    <build dir> <version>
#                                          the Debian package CPack makes: name, version, dependencies,
#                                          contents, and the AppStream release it carries
#
# Everything (prefix, X server, settings, runtime folder) is private to one
# run and removed afterwards; only processes started here are stopped.
set -euo pipefail

mode=${1:?mode}
build=${2:?build dir}
app_id=org.tarvolin.Gallows

work=$(mktemp -d "${TMPDIR:-/tmp}/gallows-installed.XXXXXX")
started=()
cleanup() {
    local i
    # Newest first, so the X server goes last.
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do
        kill "${started[i]}" 2>/dev/null || true
        wait "${started[i]}" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# A missing tool skips the test (ctest SKIP_RETURN_CODE 77) rather than failing it.
need_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
}

prefix=$work/prefix
install_game() {
    cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
        fail "cmake --install failed: $(cat "$work/install.log")"
}

# ---------------------------------------------------------------- layout

check_layout() {
    local data=$prefix/share/tarvolin-gallows/Data
    local missing=()
    local want=(bin/gallows
        lib/tarvolin-gallows/gallows-catalogue-reader.so
        lib/tarvolin-gallows/gallows-cue-player.so
        share/tarvolin-gallows/Data/bsk.cab
        "share/applications/$app_id.desktop"
        "share/metainfo/$app_id.metainfo.xml"
        "share/icons/hicolor/scalable/apps/$app_id.svg")
    for n in 0 1 2 3 4 5 6 7 8 9 10; do
        want+=("share/tarvolin-gallows/Data/Gallows/Graphics/$n.gif")
    done
    for cue in correct1 correct2 correct3 correct4 wrong1 wrong2 wrong3 wrong4 win1 win2 lose1 giveup1; do
        want+=("share/tarvolin-gallows/Data/Gallows/Sounds/$cue.wav")
    done
    for size in 16 32 48 64 128 256; do
        want+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
    done
    for file in "${want[@]}"; do
        [[ -s $prefix/$file ]] || missing+=("$file")
    done
    ((${#missing[@]} == 0)) || fail "not installed: ${missing[*]}"
    [[ -x $prefix/bin/gallows ]] || fail "bin/gallows is not executable"
    [[ ! -e $prefix/bin/Data ]] || fail "Data/ must not sit beside the installed program"

    # The launcher's names resolve to what was installed.
    local desktop=$prefix/share/applications/$app_id.desktop
    grep -qx "Exec=gallows" "$desktop" || fail "Exec= is not the installed program's name"
    grep -qx "Icon=$app_id" "$desktop" || fail "Icon= is not the installed icon's name"
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
        "$prefix/share/metainfo/$app_id.metainfo.xml" || fail "metainfo launches another desktop file"

    # The installed program must not lean on the build folder.
    if readelf -d "$prefix/bin/gallows" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
        fail "bin/gallows still has the build folder in its library path"
    fi
    cmp -s "$build/Data/bsk.cab" "$data/bsk.cab" || fail "the installed catalogue differs from the built one"
}

# ---------------------------------------------------------------- X session

start_x() {
    need_tools Xvfb xdotool xwininfo
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
    started+=($!)
    for _ in $(seq 100); do
        [[ -s $work/display ]] && break
        sleep 0.1
    done
    [[ -s $work/display ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    DISPLAY=":$(head -n1 "$work/display")"
    export DISPLAY
    export QT_QPA_PLATFORM=xcb
    export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
    export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$HOME"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    cd "$work" # not the build folder, so only the installed Data/ can be found
}

# Starts the installed game in the background; sets game_pid.
start_game() {
    local name=$1
    "$prefix/bin/gallows" >"$work/$name.out" 2>"$work/$name.err" &
    game_pid=$!
    started+=("$game_pid")
}

# The game window of process $1: the visible "Tarvolin Gallows" window that
# is the game window's width, not a message box with the same title.
game_window() {
    local pid=$1 ids id
    ids=$(timeout 30 xdotool search --sync --all --onlyvisible --pid "$pid" --name '^Tarvolin Gallows$' 2>/dev/null) ||
        fail "no window from the game within 30 s; it said: $(cat "$work"/*.err)"
    for id in $ids; do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        if [[ $WIDTH == 513 ]]; then
            echo "$id"
            return
        fi
    done
    fail "only other windows named Tarvolin Gallows appeared (a message box?)"
}

# Stacking position of window $1 among the root's children, 0 = topmost.
stack_position() {
    xwininfo -root -children | awk -v id="$(printf '0x%x' "$1")" '
        /^ +0x/ { if ($1 == id) { print n + 0; found = 1; exit } n++ }
        END { if (!found) print -1 }'
}

# Exits the game through its own menu shortcut (Game > Exit, Ctrl+Q) and
# checks that it ended cleanly and saved its settings.
exit_game() {
    local pid=$1 window=$2 status=0
    # Without a window manager, a click is what makes the window active.
    xdotool mousemove --window "$window" 120 180 click 1
    sleep 0.3
    xdotool key --clearmodifiers ctrl+q
    for _ in $(seq 150); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "the game did not end within 15 s of Ctrl+Q"
    wait "$pid" || status=$?
    ((status == 0)) || fail "the game ended with status $status"
    grep -q '^GamesTotal=' "$XDG_CONFIG_HOME/Tarvolin.conf" 2>/dev/null ||
        fail "no settings saved under XDG_CONFIG_HOME"
}

no_start_up_failure() {
    ! grep -h '^gallows:' "$work"/*.err >&2 || fail "the game reported a start-up failure"
}

# ---------------------------------------------------------------- modes

check_package() {
    local version=${1:?version} deb depends field
    need_tools dpkg-deb dpkg-shlibdeps
    cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
        fail "cpack failed: $(cat "$work/cpack.log")"
    deb=$(find "$work/package" -maxdepth 1 -name '*.deb')
    [[ $(wc -l <<<"$deb") == 1 && -s $deb ]] || fail "expected one .deb, got: $deb"

    [[ $(dpkg-deb -f "$deb" Package) == tarvolin-gallows ]] || fail "package name"
    field=$(dpkg-deb -f "$deb" Version)
    [[ $field == "$version" ]] || fail "package version $field, expected $version"
    depends=$(dpkg-deb -f "$deb" Depends)
    # Found by dpkg-shlibdeps, and the fonts the windows ask for by name.
    for need in libqt6widgets6 libqt6multimedia6 libsqlcipher0 fonts-liberation2 fonts-dejavu-core; do
        grep -qE "(^|, )$need( |,|$)" <<<"$depends" || fail "Depends lacks $need: $depends"
    done

    dpkg-deb -x "$deb" "$work/unpacked"
    for file in usr/bin/gallows usr/lib/tarvolin-gallows/gallows-catalogue-reader.so \
        usr/lib/tarvolin-gallows/gallows-cue-player.so usr/share/tarvolin-gallows/Data/bsk.cab \
        usr/share/tarvolin-gallows/Data/Gallows/Graphics/10.gif \
        usr/share/tarvolin-gallows/Data/Gallows/Sounds/giveup1.wav \
        "usr/share/applications/$app_id.desktop" "usr/share/metainfo/$app_id.metainfo.xml" \
        "usr/share/icons/hicolor/48x48/apps/$app_id.png" "usr/share/icons/hicolor/scalable/apps/$app_id.svg"; do
        [[ -s $work/unpacked/$file ]] || fail "the package lacks /$file"
    done
    grep -q "<release version=\"$version\" date=\"[0-9-]*\"" "$work/unpacked/usr/share/metainfo/$app_id.metainfo.xml" ||
        fail "the AppStream file does not name release $version"
}

case $mode in
layout)
    install_game
    check_layout
    ;;
deb)
    check_package "${3:-}"
    ;;
start)
    install_game
    start_x
    start_game first
    window=$(game_window "$game_pid")
    no_start_up_failure
    # The cue player is loaded from lib/tarvolin-gallows half a second after
    # the first board is up.
    sleep 1.5
    ! grep -h 'playing without sound' "$work"/*.err >&2 || fail "the installed game found no cue player"
    exit_game "$game_pid" "$window"
    ;;
raise)
    need_tools xmessage
    install_game
    start_x
    start_game first
    first=$game_pid
    window=$(game_window "$first")

    # Another program's window over the whole screen hides the game.
    xmessage -geometry 1024x768+0+0 -title gallows-cover "covering the game" &
    started+=($!)
    cover=$(timeout 20 xdotool search --sync --onlyvisible --name '^gallows-cover$' | head -n1) ||
        fail "the covering window did not appear"
    (($(stack_position "$cover") < $(stack_position "$window"))) || fail "the cover is not above the game"

    # The second copy asks the first to come forward and ends quietly.
    status=0
    timeout 20 "$prefix/bin/gallows" >"$work/second.out" 2>"$work/second.err" || status=$?
    ((status == 0)) || fail "the second start ended with status $status"
    no_start_up_failure
    for _ in $(seq 50); do
        (($(stack_position "$window") < $(stack_position "$cover"))) && break
        sleep 0.1
    done
    (($(stack_position "$window") < $(stack_position "$cover"))) ||
        fail "the running game was not brought in front of the covering window"
    xwininfo -id "$window" | grep -q 'Map State: IsViewable' || fail "the game window is not shown"
    shown=$(xdotool search --all --onlyvisible --name '^Tarvolin Gallows$' | wc -l)
    ((shown == 1)) || fail "$shown windows named Tarvolin Gallows, expected only the first game's"

    exit_game "$first" "$window"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
echo "PASS: $mode"

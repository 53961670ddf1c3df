# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the end-to-end scripts: a virtual display with the real
# program on it, and a new contact typed and not yet saved.
#   start_session <name> <program> [tray]   then $window, $app, $work, press x y
#   type_unsaved_contact <name>
#   stored <text>                           the store holds the text
for tool in Xvfb xdotool xwininfo; do
    command -v "$tool" >/dev/null || { echo "$tool missing, skipped"; exit 77; }
done
work=$(mktemp -d)
cleanup() {
    [ -n "${app:-}" ] && kill "$app" 2>/dev/null
    [ -n "${tray:-}" ] && kill "$tray" 2>/dev/null
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "$session: $*"
    grep -v '^ALSA' "$work/program.log" 2>/dev/null | tail -5
    exit 1
}
# Waits up to ten seconds for a command to succeed.
await() {
    i=0
    until "$@" >/dev/null 2>&1; do
        i=$((i + 1))
        [ $i -gt 100 ] && return 1
        sleep 0.1
    done
}
# The main window, 800 x 560, not the splash before it.
main_window() {
    for w in $(xdotool search --onlyvisible --name '^Quillary$'); do
        xwininfo -id "$w" | grep -q 'Width: 800' && echo "$w" && return 0
    done
    return 1
}
press() { xdotool mousemove --window "$window" "$1" "$2" click 1; }

start_session() {
    session=$1
    Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
        2>/dev/null &
    xvfb=$!
    await grep -q . "$work/display" || fail "Xvfb did not come up"
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
    if [ "${3:-}" = tray ]; then
        command -v trayer >/dev/null || { echo "trayer missing, skipped"; exit 77; }
        trayer --edge top --align right --widthtype pixel --width 120 --height 32 \
            >/dev/null 2>&1 &
        tray=$!
        sleep 1
    fi
    XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache \
        QT_QPA_PLATFORM=xcb \
        "$2" >"$work/program.log" 2>&1 &
    app=$!
    await main_window || fail "the window never showed"
    window=$(main_window)
}

type_unsaved_contact() {
    press 206 32  # contacts page
    sleep 0.3
    press 246 490 # add: the fields unlock on a new row
    sleep 0.3
    press 200 98  # the name field
    xdotool type --delay 20 "$1"
}

# Waits for the program to end; its exit status in $status.
await_end() {
    i=0
    while kill -0 "$app" 2>/dev/null; do
        i=$((i + 1))
        [ $i -gt 100 ] && fail "$1"
        sleep 0.1
    done
    wait "$app"
    status=$?
    app=
}

stored() { cat "$work/data/quillary/work.db"* 2>/dev/null | grep -aq "$1"; }

#!/bin/sh
# The real program in a real notification area: hidden with its hide button
# and brought back by a left or a right click on its icon, several times,
# with a contact typed and not yet saved; the close button then writes it.
# Usage: e2e_tray.sh <program>
set -u
program=$1
for tool in Xvfb trayer xdotool xwininfo; do
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
    echo "e2e_tray: $*"
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

Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
await grep -q . "$work/display" || fail "Xvfb did not come up"
DISPLAY=:$(cat "$work/display")
export DISPLAY
trayer --edge top --align right --widthtype pixel --width 120 --height 32 >/dev/null 2>&1 &
tray=$!
sleep 1
XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb \
    "$program" >"$work/program.log" 2>&1 &
app=$!

# The main window, 800 x 560, not the splash before it.
main_window() {
    for w in $(xdotool search --onlyvisible --name '^Quillary$'); do
        xwininfo -id "$w" | grep -q 'Width: 800' && echo "$w" && return 0
    done
    return 1
}
await main_window || fail "the window never showed"
window=$(main_window)
press() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
# A new contact, its name typed and not yet written.
press 206 32          # contacts page
sleep 0.3
press 246 490         # add: the fields unlock on a new row
sleep 0.3
press 200 98          # the name field
xdotool type --delay 20 "Tray Keeper"

icon() { xdotool search --onlyvisible --class quillary | grep -vx "$window" | head -1; }
hidden() { ! xdotool search --onlyvisible --name '^Quillary$' | grep -qx "$window"; }
shown() { xdotool search --onlyvisible --name '^Quillary$' | grep -qx "$window"; }
for button in 3 1 3 3 1; do
    press 742 22      # hide to the notification area
    await hidden || fail "the window did not hide"
    await icon || fail "no icon in the notification area"
    xdotool mousemove --window "$(icon)" 10 10 click "$button"
    if ! await shown; then
        kill -0 "$app" 2>/dev/null || fail "the program ended on button $button"
        fail "button $button on the icon did not bring the window back"
    fi
done

press 774 22          # close: typed fields are written first
i=0
while kill -0 "$app" 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt 100 ] && fail "the close button did not end the program"
    sleep 0.1
done
wait "$app"
status=$?
app=
[ "$status" -eq 0 ] || fail "the program ended with status $status"
cat "$work/data/quillary/work.db"* 2>/dev/null | grep -aq "Tray Keeper" ||
    fail "the typed name was not saved"
echo "e2e_tray: hidden and restored 5 times by both buttons; the typed contact was kept"

#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Text typed into the journal and never saved comes back through the draft
# offer after the program was killed a second after the last key, after the
# close button, after the display went away, and after a click on another
# day and back; restored and saved, it is in the store whole.
# Usage: e2e_drafts.sh <program>
set -u
. "$(dirname "$0")/x11_session.sh"
start_session e2e_drafts "$1"

restart() {
    XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache \
        QT_QPA_PLATFORM=xcb "$1" >"$work/program.log" 2>&1 &
    app=$!
    await main_window || fail "the window never showed again"
    window=$(main_window)
    sleep 0.5
}
# Over whatever the editor holds, as a user replaces it.
type_entry() {
    press 500 300
    xdotool key ctrl+a
    xdotool type --delay 25 "$1"
}
# The offer's restore button, then Ctrl+S and OK.
restore_and_save() {
    press 693 518
    sleep 0.3
    xdotool key ctrl+s
    sleep 0.5
    xdotool key Return
    await stored "$1" || fail "$2: the restored draft was not saved"
}
# A day of the calendar shown (this month, its first day of the week Sunday).
day_cell() {
    first=$(date -d "$(date +%Y-%m-01)" +%w)
    [ "$first" -eq 0 ] && first=7
    cell=$((first + $1 - 1))
    echo "$((43 + cell % 7 * 41)) $((137 + cell / 7 * 27))"
}

type_entry "killed a second after the last key"
sleep 1
kill -9 "$app"
wait "$app" 2>/dev/null
restart "$1"
restore_and_save "killed a second after the last key" "after SIGKILL"

type_entry "typed before the close button"
press 774 22
await_end "the close button did not end the program"
restart "$1"
restore_and_save "typed before the close button" "after the close button"

type_entry "typed before the display went away"
xdotool windowkill "$window"
await_end "losing the display did not end the program"
restart "$1"
restore_and_save "typed before the display went away" "after losing the display"

today=$(date +%-d)
type_entry "typed before a click on another day"
# shellcheck disable=SC2046
press $(day_cell $((today == 15 ? 16 : 15)))
sleep 0.3
# shellcheck disable=SC2046
press $(day_cell "$today")
sleep 0.3
restore_and_save "typed before a click on another day" "after a day click"

press 774 22
await_end "the close button did not end the program"
echo "e2e_drafts: typing came back after a kill, the close button, a lost display and a day click"

#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program killed with SIGKILL two seconds after the reader last
# scrolled chapter 37: started again, it opens the novel at the same line,
# which is what the close button then writes.
# Usage: e2e_reading_place.sh <program>
set -u
. "$(dirname "$0")/x11_session.sh"
start_session e2e_reading_place "$1"

story=$work/data/quillary/story/she
mkdir -p "$story"
seq 1 3000 | sed 's/.*/第37回 第&行。/' >"$story/37"
places=$work/data/quillary/places.json
kept() { sed -n "s/.*\"$1\": *\([0-9]*\).*/\1/p" "$places" 2>/dev/null; }

catalogue() { xdotool search --onlyvisible --name '^ $' | head -1; }
# The novels page, then 射雕英雄传: the first category opened by the
# keyboard, its first novel clicked.
open_novel() {
    press 150 32
    await catalogue || fail "the catalogue never showed"
    book=$(catalogue)
    xdotool mousemove --window "$book" 60 22 click 1 key Right
    sleep 0.3
    xdotool mousemove --window "$book" 80 42 click 1
    await sh -c '! xdotool search --onlyvisible --name "^ \$" | grep -q .' ||
        fail "choosing the novel did not close the catalogue"
    sleep 0.5
}

open_novel
press 60 98 # the first chapter
for _ in $(seq 36); do xdotool key Down; done
xdotool key Return
sleep 0.5
xdotool mousemove --window "$window" 330 240 click --repeat 20 --delay 30 5
sleep 2
kill -9 "$app"
wait "$app" 2>/dev/null
app=
[ "$(kept chapter)" = 37 ] || fail "chapter 37 was not kept before the kill"
offset=$(kept offset)
[ "${offset:-0}" -gt 0 ] || fail "no place in the chapter was kept before the kill"

XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache \
    QT_QPA_PLATFORM=xcb "$1" >"$work/program.log" 2>&1 &
app=$!
await main_window || fail "the window never showed again"
window=$(main_window)
open_novel
rm "$places"
press 774 22 # close: the place seen now is written again
await_end "the close button did not end the program"
[ "$(kept chapter)" = 37 ] || fail "chapter 37 was not reopened"
[ "$(kept offset)" = "$offset" ] || fail "reopened at $(kept offset), not at $offset"
echo "e2e_reading_place: killed 2 s after scrolling; reopened chapter 37 at offset $offset"

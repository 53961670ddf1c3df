#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The real program in a real notification area: hidden with its hide button
# and brought back by a left or a right click on its icon, several times,
# with a contact typed and not yet saved; the close button then writes it.
# Usage: e2e_tray.sh <program>
set -u
. "$(dirname "$0")/x11_session.sh"
start_session e2e_tray "$1" tray
type_unsaved_contact "Tray Keeper"

icon() { xdotool search --onlyvisible --class quillary | grep -vx "$window" | head -1; }
hidden() { ! xdotool search --onlyvisible --name '^Quillary$' | grep -qx "$window"; }
shown() { xdotool search --onlyvisible --name '^Quillary$' | grep -qx "$window"; }
for button in 3 1 3 3 1; do
    press 742 22 # hide to the notification area
    await hidden || fail "the window did not hide"
    await icon || fail "no icon in the notification area"
    xdotool mousemove --window "$(icon)" 10 10 click "$button"
    if ! await shown; then
        kill -0 "$app" 2>/dev/null || fail "the program ended on button $button"
        fail "button $button on the icon did not bring the window back"
    fi
done

press 774 22 # close: typed fields are written first
await_end "the close button did not end the program"
[ "$status" -eq 0 ] || fail "the program ended with status $status"
stored "Tray Keeper" || fail "the typed name was not saved"
echo "e2e_tray: hidden and restored 5 times by both buttons; the typed contact was kept"

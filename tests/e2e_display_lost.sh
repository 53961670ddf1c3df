#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The display goes away under the running program: the process ends, and the
# contact typed and not yet saved is in the store.
# Usage: e2e_display_lost.sh <program>
set -u
. "$(dirname "$0")/x11_session.sh"
start_session e2e_display_lost "$1"
type_unsaved_contact "Display Gone"
sleep 0.3
kill -9 "$xvfb"
wait "$xvfb" 2>/dev/null
xvfb=
await_end "the program outlived its display"
stored "Display Gone" || fail "the typed name was lost with the display"
echo "e2e_display_lost: the display died; the typed contact was kept (exit status $status)"

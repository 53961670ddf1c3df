#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The folders of src/ are layers: each may include only folders of a lower
# layer (or itself), so the include graph between folders has no cycle. A
# form's custom controls count too: the code uic makes of it includes their
# headers. The core also stays free of Qt Widgets.
# Usage: layers_check.sh <src folder>
set -eu
src=$1
# Layer of each folder, bottom first.
layer() {
    case $1 in
        core) echo 0 ;;
        widgets | music) echo 1 ;;
        journal | contacts | photos | novels | options | about | backups | transfer) echo 2 ;;
        app) echo 3 ;;
        *) echo "" ;;
    esac
}
status=0
for dir in "$src"/*/; do
    from=$(basename "$dir")
    from_layer=$(layer "$from")
    if [ -z "$from_layer" ]; then
        echo "src/$from: a folder with no layer; add it to tests/layers_check.sh and src/README.md"
        status=1
        continue
    fi
    for to in $({
        grep -ho '^#include "[a-z]*/' "$dir"*.h "$dir"*.cpp 2>/dev/null | sed 's/#include "//'
        grep -ho '<header[^>]*>[a-z]*/' "$dir"*.ui 2>/dev/null | sed 's/<header[^>]*>//'
    } | sed 's|/$||' | sort -u); do
        [ "$to" = "$from" ] && continue
        to_layer=$(layer "$to")
        if [ -z "$to_layer" ] || [ "$to_layer" -ge "$from_layer" ]; then
            grep -n -e "^#include \"$to/" -e "<header[^>]*>$to/" "$dir"*.h "$dir"*.cpp "$dir"*.ui 2>/dev/null |
                sed "s|^$src/|src/|; s|$| (src/$from may not include src/$to)|"
            status=1
        fi
    done
done
if grep -n '#include <Q\(Widget\|Dialog\|Label\|LineEdit\|TextEdit\|Application\|Abstract.*View\)' "$src"/core/*.h "$src"/core/*.cpp; then
    echo "src/core uses Qt Widgets"
    status=1
fi
[ $status -eq 0 ] && echo "layers: no folder includes one at or above its own layer"
exit $status

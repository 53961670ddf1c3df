#!/bin/sh
# Starts Quillary from its application folder, wherever the tree was moved.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../libexec/quillary/quillary" "$@"

#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts Quillary from its application folder, wherever the tree was moved.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../libexec/quillary/quillary" "$@"

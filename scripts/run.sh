#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds and starts Quillary.
set -eu
cd "$(dirname "$0")/.."
./scripts/build.sh run
exec ./build/quillary "$@"

#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that are missing. Quiet and quick when
# everything is already there.
#   deps.sh run    what building and running the program needs
#   deps.sh test   that, and what the test suite and benchmarks need (default)
set -eu

RUN="
cmake
g++
make
pkg-config
qt6-base-dev
libsqlite3-dev
qt6-svg-dev
libqt6svg6
qt6-qpa-plugins
qt6-translations-l10n
libgl-dev
libfluidsynth-dev
libpulse-dev
libasound2-dev
libsndfile1-dev
fluid-soundfont-gm
fonts-wqy-zenhei
dpkg-dev
"

TEST="
libxcb1-dev
xvfb
xauth
x11-utils
trayer
xdotool
desktop-file-utils
appstream
lintian
file
clang
clang-format
clang-tidy
libclang-rt-14-dev
pulseaudio
python3-vobject
python3-html5lib
"

case "${1:-test}" in
    run) PACKAGES=$RUN ;;
    test) PACKAGES="$RUN $TEST" ;;
    *) echo "usage: deps.sh [run|test]" >&2; exit 2 ;;
esac

missing=""
for p in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        *"install ok installed"*) ;;
        *) missing="$missing $p" ;;
    esac
done

[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
else
    echo "Need root or sudo to install:$missing" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing

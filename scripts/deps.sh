#!/bin/sh
# Installs the Debian packages that building, testing and running need.
# Quiet and quick when everything is already there.
set -eu

PACKAGES="
cmake
g++
make
pkg-config
qt6-base-dev
libxcb1-dev
libsqlite3-dev
qt6-svg-dev
libqt6svg6
libqt6sql6-sqlite
qt6-qpa-plugins
libgl-dev
libfluidsynth-dev
fluid-soundfont-gm
fonts-wqy-zenhei
xvfb
trayer
xdotool
qt6-translations-l10n
xauth
x11-utils
desktop-file-utils
appstream
clang
clang-format
libclang-rt-14-dev
"

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

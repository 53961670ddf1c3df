#!/bin/sh
# Installs into a temporary prefix, validates the desktop files, moves the
# tree and starts the installed program from there; then builds the Debian
# package and checks its fields and contents.
# Usage: install_check.sh <build folder> <e2e_start binary> <apppaths_probe binary>
set -eu
build=$1
e2e=$2
probe=$3
for tool in desktop-file-validate appstreamcli dpkg-deb cpack; do
    command -v "$tool" >/dev/null || { echo "missing $tool, skipped"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
desktop-file-validate "$work/prefix/share/applications/org.quillary.Quillary.desktop"
# Clean means not even a pedantic note; the screenshot it names is shipped.
metainfo=$work/prefix/share/metainfo/org.quillary.quillary.metainfo.xml
report=$(appstreamcli validate --pedantic --no-net "$metainfo" 2>&1) || { echo "$report"; exit 1; }
if echo "$report" | grep -q '^[EWIP]:'; then echo "$report"; exit 1; fi
shot=$(sed -n 's|.*<image[^>]*>.*/\([^/<]*\)</image>.*|\1|p' "$metainfo")
test -n "$shot" && test -s "$work/prefix/share/quillary/screenshots/$shot"
for size in 16 32 48 64 128 256; do
    test -s "$work/prefix/share/icons/hicolor/${size}x${size}/apps/org.quillary.Quillary.png"
done
test -s "$work/prefix/share/icons/hicolor/scalable/apps/org.quillary.Quillary.svg"
test "$(ls "$work/prefix/share/quillary/story/titanic" | wc -l)" -eq 12
# The synthesizer module, beside the program and complete in itself.
if ldd -r "$work/prefix/libexec/quillary/quillary-fluid.so" 2>&1 | grep -E "undefined symbol|not found"; then
    exit 1
fi

# The tree works wherever it is moved. The probe, put beside the program,
# names the shipped files it reads: each must be inside the moved tree.
mv "$work/prefix" "$work/moved"
cp "$probe" "$work/moved/libexec/quillary/apppaths_probe"
found=$("$work/moved/libexec/quillary/apppaths_probe")
rm "$work/moved/libexec/quillary/apppaths_probe"
test "$(echo "$found" | wc -l)" -eq 6 || { echo "probe printed: $found"; exit 1; }
echo "$found" | while IFS= read -r path; do
    case "$path" in
        "$work/moved"/share/quillary/*) test -s "$path" || { echo "missing $path"; exit 1; } ;;
        *) echo "looks outside the moved tree: '$path'"; exit 1 ;;
    esac
done
"$e2e" "$work/moved/bin/quillary" "$work"

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/quillary_*.deb | head -1)
info=$(dpkg-deb -I "$deb")
for dep in libqt6widgets6 libqt6sql6-sqlite libfluidsynth3 fluid-soundfont-gm fonts-wqy-zenhei; do
    echo "$info" | grep -q "Depends:.*$dep" || { echo "Depends lacks $dep"; exit 1; }
done
contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/quillary ./usr/libexec/quillary/quillary ./usr/share/quillary/start.ini \
            ./usr/libexec/quillary/quillary-fluid.so \
            ./usr/share/applications/org.quillary.Quillary.desktop \
            ./usr/share/metainfo/org.quillary.quillary.metainfo.xml \
            ./usr/share/icons/hicolor/48x48/apps/org.quillary.Quillary.png \
            ./usr/share/quillary/story/firsttouch/1 ./usr/share/quillary/mid/1.mid; do
    echo "$contents" | grep -q " $path\$" || { echo "package lacks $path"; exit 1; }
done
echo "install check passed: $deb"

#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs into a temporary prefix, validates the desktop files, moves the
# tree and starts the installed program from there. Then makes the Debian
# package from the same tree into a folder of its own, checks it with lintian
# (errors fail, the rest is printed), unpacks it into a throw-away root and
# starts the program from there.
# Usage: install_check.sh <build folder> <e2e_start binary> <apppaths_probe binary>
set -eu
build=$1
e2e=$2
probe=$3
for tool in desktop-file-validate appstreamcli dpkg-deb dpkg-shlibdeps cpack lintian readelf file; do
    command -v "$tool" >/dev/null || { echo "missing $tool, skipped"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
id=org.quillary.quillary

fail() {
    echo "install check: $*" >&2
    exit 1
}

# Clean means not even a pedantic note.
validate_metainfo() {
    report=$(appstreamcli validate --pedantic --no-net "$1" 2>&1) || { echo "$report"; exit 1; }
    if echo "$report" | grep -q '^[EWIP]:'; then
        echo "$report"
        fail "metainfo is not clean"
    fi
}

# The probe, put beside an installed program, names the shipped files that
# program reads: each must exist inside the installed tree.
check_finds_its_files() {
    tree=$1
    cp "$probe" "$tree/libexec/quillary/apppaths_probe"
    found=$("$tree/libexec/quillary/apppaths_probe")
    rm "$tree/libexec/quillary/apppaths_probe"
    test "$(echo "$found" | wc -l)" -eq 6 || fail "probe printed: $found"
    echo "$found" | while IFS= read -r path; do
        case "$path" in
            "$tree"/share/quillary/*) test -s "$path" || fail "missing $path" ;;
            *) fail "looks outside $tree/share/quillary: '$path'" ;;
        esac
    done
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
desktop-file-validate "$work/prefix/share/applications/org.quillary.Quillary.desktop"
validate_metainfo "$work/prefix/share/metainfo/$id.metainfo.xml"
for size in 16 32 48 64 128 256; do
    test -s "$work/prefix/share/icons/hicolor/${size}x${size}/apps/org.quillary.Quillary.png"
done
test -s "$work/prefix/share/icons/hicolor/scalable/apps/org.quillary.Quillary.svg"
test "$(ls "$work/prefix/share/quillary/story/titanic" | wc -l)" -eq 12
# Only what depends on the architecture sits beside the program.
test "$(ls "$work/prefix/libexec/quillary")" = "$(printf 'quillary\nquillary-fluid.so')" ||
    fail "libexec/quillary holds: $(ls "$work/prefix/libexec/quillary")"
# The synthesizer module, complete in itself.
if ldd -r "$work/prefix/libexec/quillary/quillary-fluid.so" 2>&1 | grep -E "undefined symbol|not found"; then
    exit 1
fi

# The tree works wherever it is moved.
mv "$work/prefix" "$work/moved"
check_finds_its_files "$work/moved"
"$e2e" "$work/moved/bin/quillary" "$work"

# The package, made from this same tree, hardened as it was built.
cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work/pkg"/quillary_*.deb)
dbgsym=$(ls "$work/pkg"/quillary-dbgsym_*.deb)
# Errors fail, and so do warnings of missing hardening; the rest is printed
# for whoever reads the log.
lintian --pedantic --display-info --fail-on none "$deb" "$dbgsym" >"$work/lintian.txt" 2>&1 ||
    { cat "$work/lintian.txt"; fail "lintian did not run"; }
grep -v '^running with root privileges' "$work/lintian.txt" || true
if grep -q '^E: \|^W: .*hardening-' "$work/lintian.txt"; then
    fail "lintian found errors"
fi

# Linked libraries with the versions dpkg-shlibdeps found, and by hand what
# is only loaded at run time.
depends=$(dpkg-deb -f "$deb" Depends)
for dep in 'libc6 (>=' 'libqt6widgets6 (>=' 'libsqlite3-0 (>=' 'libfluidsynth3 (>=' \
           qt6-qpa-plugins fluid-soundfont-gm fonts-wqy-zenhei qt6-translations-l10n; do
    case "$depends" in *"$dep"*) ;; *) fail "Depends lacks $dep: $depends" ;; esac
done

root=$work/root
dpkg-deb -x "$deb" "$root"
for path in usr/bin/quillary usr/share/man/man1/quillary.1.gz usr/share/doc/quillary/copyright \
            usr/share/doc/quillary/changelog.Debian.gz usr/share/applications/org.quillary.Quillary.desktop \
            usr/share/icons/hicolor/48x48/apps/org.quillary.Quillary.png; do
    test -s "$root/$path" || fail "package lacks /$path"
done
validate_metainfo "$root/usr/share/metainfo/$id.metainfo.xml"
# The screenshot the metainfo names is the one the package ships.
shot=$(sed -n 's|.*<image[^>]*>.*/\([^/<]*\)</image>.*|\1|p' "$root/usr/share/metainfo/$id.metainfo.xml")
test -n "$shot" && test -s "$root/usr/share/quillary/screenshots/$shot" ||
    fail "the metainfo's screenshot '$shot' is not in the package"

# Stripped and hardened; the symbols are in the debug package, by build id.
dpkg-deb -x "$dbgsym" "$work/debug"
for binary in quillary quillary-fluid.so; do
    elf=$root/usr/libexec/quillary/$binary
    file "$elf" | grep -q ', stripped' || fail "$binary is not stripped"
    readelf -lW "$elf" | grep -q GNU_RELRO || fail "$binary lacks RELRO"
    readelf -dW "$elf" | grep -q 'FLAGS.*BIND_NOW\|FLAGS_1.*NOW' || fail "$binary lacks bind-now"
    readelf -dW "$elf" | grep -q 'NEEDED.*libc\.so' || fail "$binary is not linked against libc"
    readelf --dyn-syms -W "$elf" | grep -q __stack_chk_fail || fail "$binary lacks a stack protector"
    buildid=$(readelf -nW "$elf" | sed -n 's/.*Build ID: \([0-9a-f]*\).*/\1/p')
    rest=${buildid#??}
    readelf -SW "$work/debug/usr/lib/debug/.build-id/${buildid%"$rest"}/$rest.debug" 2>/dev/null |
        grep -q '\.debug_info' || fail "no debug symbols for $binary in $(basename "$dbgsym")"
done
readelf -hW "$root/usr/libexec/quillary/quillary" | grep -q 'DYN (Position-Independent' ||
    fail "the program is not position-independent"
# Fortification leaves no trace where every call is proven safe while
# compiling, so it is checked where the program was compiled.
grep '"command":.*src/app/main\.cpp' "$build/compile_commands.json" |
    grep -q -- '-D_FORTIFY_SOURCE=2 .*-fstack-protector-strong' || fail "the program is not fortified"

check_finds_its_files "$root/usr"
"$e2e" "$root/usr/bin/quillary" "$work"
echo "install check passed: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"

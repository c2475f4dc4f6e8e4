#!/bin/sh
# Builds the Debian package from a finished build tree and checks what a user
# gets from it: the files, the declared dependencies, and programs that run
# from an unpacked copy without a display.
# Usage: check-package.sh CPACK BUILD_DIR WORK_DIR VERSION
set -eu
cpack=$1
build=$2
work=$3
version=$4

fail() {
    echo "check-package: $*" >&2
    exit 1
}

rm -rf "$work"
mkdir -p "$work"
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack could not build the package"
fi
deb="$work/kestrelview_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb") among: $(ls "$work")"

# The control fields. The Qt libraries in Depends come from dpkg-shlibdeps, so
# their absence means the binaries' dependencies were never looked up.
field() {
    dpkg-deb --field "$deb" "$1"
}
[ "$(field Package)" = kestrelview ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
depends=$(field Depends)
echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//' >"$work/depends"
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6charts6 libqt6core5compat6 \
    libqt6sql6 libqt6sql6-sqlite; do
    grep -qxF "$library" "$work/depends" || fail "Depends lacks $library: $depends"
done
[ "$(field Recommends)" = assistant-qt6 ] || fail "Recommends: $(field Recommends), not assistant-qt6"

# Every file the user needs, and nothing outside the places the package owns:
# a stray cache or a path of the build machine would clash or dangle.
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|' | sort >"$work/files"
for file in /usr/lib/kestrelview/kestrelview /usr/lib/kestrelview/Corvos.qhc /usr/lib/kestrelview/kestrelview.qch \
    /usr/bin/kestrelview /usr/bin/kestrel-cli /usr/bin/kestrel-tracegen \
    /usr/share/applications/kestrelview.desktop /usr/share/icons/hicolor/32x32/apps/kestrelview.png \
    /usr/share/icons/hicolor/64x64/apps/kestrelview.png /usr/share/icons/hicolor/256x256/apps/kestrelview.png \
    /usr/share/mime/packages/kestrelview.xml /usr/share/metainfo/com.sarvek.kestrelview.metainfo.xml \
    /usr/share/man/man1/kestrelview.1.gz /usr/share/man/man1/kestrel-tracegen.1.gz \
    /usr/share/man/man1/kestrel-cli.1.gz; do
    grep -qx "$file" "$work/files" || fail "the package lacks $file"
done
stray=$(grep -Ev '^/usr/(bin/[^/]+|lib/kestrelview/[^/]+|share/(applications|mime/packages|metainfo)/[^/]+|share/icons/hicolor/.+|share/man/man1/[^/]+\.1\.gz|share/doc/kestrelview/.+)$' "$work/files" || true)
[ -z "$stray" ] || fail "files outside the package's places: $stray"

root="$work/root"
dpkg-deb --extract "$deb" "$root"
[ "$(readlink "$root/usr/bin/kestrelview")" = ../lib/kestrelview/kestrelview ] ||
    fail "/usr/bin/kestrelview links to $(readlink "$root/usr/bin/kestrelview")"
for page in "$root"/usr/share/man/man1/*.1.gz; do
    gzip --test "$page" || fail "$(basename "$page") is not a gzip file"
done

# The programs run from the unpacked copy: the viewer answers without a
# display, the generator writes a project that the command-line tool reads.
answer=$(QT_QPA_PLATFORM=none "$root/usr/bin/kestrelview" --version) || fail "kestrelview --version failed"
[ "$answer" = "kestrelview $version" ] || fail "kestrelview --version says: $answer"
"$root/usr/bin/kestrel-tracegen" --nodes 2 --events 200 --output "$work/project" >/dev/null ||
    fail "the installed kestrel-tracegen failed"
"$root/usr/bin/kestrel-cli" summary "$work/project/node1.trace" "$work/project/node2.trace" >"$work/summary" ||
    fail "the installed kestrel-cli failed"
[ "$(wc -l <"$work/summary")" -ge 2 ] || fail "kestrel-cli summary printed: $(cat "$work/summary")"

# The desktop entry starts the installed command; the software-centre data is
# valid and describes this version.
share="$root/usr/share"
grep -qx 'Exec="/usr/bin/kestrelview" %F' "$share/applications/kestrelview.desktop" ||
    fail "the desktop entry runs: $(grep '^Exec=' "$share/applications/kestrelview.desktop")"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$share/applications/kestrelview.desktop" || fail "the desktop entry is not valid"
fi
metainfo="$share/metainfo/com.sarvek.kestrelview.metainfo.xml"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
        fail "the metainfo is not valid: $(cat "$work/appstream.log")"
fi
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d'"' -f2)
[ "$newest" = "$version" ] || fail "the metainfo's newest release is $newest, not $version"
echo "check-package: $(basename "$deb") is complete"

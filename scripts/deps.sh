#!/bin/sh
# Installs the Debian packages the build, the tests and the demo need, when
# any is missing. Runs as root on Debian 12.
set -eu

# Qt 6 with the SAX reader of Qt5Compat; Assistant and qhelpgenerator for the
# manual; a font so that offscreen rendering in the tests has glyphs; clang
# with its runtime libraries (libFuzzer, the sanitizers) for the fuzzing harnesses;
# clang-format, whose verdict on the sources the tests include; Qt Charts for the
# statistics' histograms (its CMake package needs the OpenGL one) and Qt SVG for
# exporting the chart as a drawing; Qt SQL's SQLite driver for kestrel-cli's database export.
packages="cmake g++ make qt6-base-dev qt6-base-dev-tools qt6-5compat-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev
qt6-documentation-tools assistant-qt6 libgl-dev fonts-dejavu-core clang libclang-rt-14-dev clang-format
libqt6sql6-sqlite"
# The Debian package: dpkg-shlibdeps (dpkg-dev) finds its dependencies in the
# binaries CPack recognises with file(1); the other two check its desktop
# entry and its software-centre data.
packages="$packages dpkg-dev file appstream desktop-file-utils"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing
fi

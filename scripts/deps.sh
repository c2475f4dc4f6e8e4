#!/bin/sh
# Installs the Debian packages the build, the tests and the demo need, when
# any is missing. Runs as root on Debian 12.
set -eu

packages="cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools qt6-5compat-dev qt6-l10n-tools
qt6-documentation-tools assistant-qt6 libgl-dev xvfb xauth fonts-dejavu-core clang-14 libclang-rt-14-dev"

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

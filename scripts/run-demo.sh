#!/bin/sh
# Builds what is needed and starts the viewer on the bundled demo project.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" "$root/build"
exec "$root/build/src/kestrelview" "$root"/demo/*.trace

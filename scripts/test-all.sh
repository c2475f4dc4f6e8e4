#!/bin/sh
# Checks the formatting, then builds (warnings are errors) and runs the whole
# test suite twice: a normal build, then a build with AddressSanitizer and
# UndefinedBehaviorSanitizer that fails on any report.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"

# The sources are formatted as .clang-format says, before anything is built.
(cd "$root" && git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror)

export QT_QPA_PLATFORM=offscreen

"$root/scripts/build.sh" "$root/build" -DKESTREL_WERROR=ON
(cd "$root/build" && ctest --output-on-failure -j 2)

"$root/scripts/build.sh" "$root/build-asan" -DKESTREL_SANITIZE=ON
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
(cd "$root/build-asan" && ctest --output-on-failure -j 2)

# Last, a short fuzzing smoke: each harness for 25 seconds over its corpus.
"$root/scripts/fuzz.sh" 25

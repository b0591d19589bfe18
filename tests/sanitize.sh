#!/bin/sh
# The native unit tests and golden checks built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/) and run with ctest; any report fails the run.
# Usage: tests/sanitize.sh   (CXX=clang++ tests/sanitize.sh for clang's sanitizers)
set -eu
cd "$(dirname "$0")/.."
build=${PLIX_ASAN_BUILD:-build-asan}

cmake -S . -B "$build" -DPLIX_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Everything ctest runs: the unit tests (the web page's module with its own
# platform, the Wayland platform's where it is built), plix-sim for the golden
# checks and the command lines, plix-ini for its command line.
targets="plix_unit_tests plix_web_tests plix-sim plix-ini"
if grep -q plix_wayland_tests "$build/Makefile" 2>/dev/null; then
    targets="$targets plix_wayland_tests"
fi
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets

# allocator_may_return_null: the out-of-memory tests ask for more than the
# sanitizer's allocator will give; the program must see the null malloc returns.
ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1:detect_leaks=1:abort_on_error=0}
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export ASAN_OPTIONS UBSAN_OPTIONS
cd "$build"
ctest --output-on-failure -j2

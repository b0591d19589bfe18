#!/bin/sh
# Builds the libFuzzer targets (build-fuzz/, clang only) and runs each for a
# bounded time from its committed seed corpus; any crash, sanitizer report,
# broken invariant or time-out fails the run. Skipped when clang has no libFuzzer.
#
# Usage: tests/fuzz.sh [SECONDS] [TARGET ...]
#   SECONDS  per target, default 20
#   TARGET   cmdline_fuzz, ini_fuzz, frame_fuzz (default: all three)
# A longer run of one target, keeping what it learns in build-fuzz/corpus/:
#   tests/fuzz.sh 3600 ini_fuzz
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-20}
[ $# -gt 0 ] && shift
targets=${*:-cmdline_fuzz ini_fuzz frame_fuzz}
build=${PLIX_FUZZ_BUILD:-build-fuzz}
cxx=${FUZZ_CXX:-clang++}

probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }\n' \
    >"$probe/p.cpp"
if ! command -v "$cxx" >/dev/null 2>&1 ||
   ! "$cxx" -fsanitize=fuzzer "$probe/p.cpp" -o "$probe/p" >/dev/null 2>&1; then
    echo "fuzz: skipped, $cxx with libFuzzer is not available"
    exit 0
fi

CXX=$cxx cmake -S . -B "$build" -DPLIX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets

export ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for t in $targets; do
    # New inputs go to the build's own corpus; the committed seeds are only read.
    mkdir -p "$build/corpus/$t" "$build/artifacts"
    echo "fuzz: $t for ${seconds}s"
    if ! "$build/tests/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" \
            "$build/corpus/$t" "tests/fuzz/corpus/$t" >"$build/$t.log" 2>&1; then
        tail -40 "$build/$t.log"
        echo "fuzz: $t FAILED (input saved under $build/artifacts/, log $build/$t.log)"
        status=1
    else
        grep -E '^stat::number_of_executed_units' "$build/$t.log" | sed "s/^/fuzz: $t /"
    fi
done
exit $status

#!/usr/bin/env bash
# Builds and tests everything: the native build and its unit tests, the Linux
# program on Xvfb, the web page (the core in WebAssembly, in Chromium), the 32-bit
# and the 64-bit Windows builds, the release (both zips and installers, the
# winget manifest) and its checks, and the end-to-end tests under Wine. One summary line per stage;
# non-zero exit if any stage failed.
# usage: scripts/test.sh [STAGE ...]   only the stages named (deps always runs);
#   a stage that needs a build another stage makes uses the one already there.
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 2

all_stages="deps native unit x11 web sanitize fuzz lint win32 win64 packaging e2e"
only=" $* "
for s in "$@"; do
    [[ " $all_stages " == *" $s "* ]] || { echo "test.sh: no stage '$s' (stages: $all_stages)" >&2; exit 2; }
done
# want NAME: NAME is among the stages to run.
want() { [ "$only" = "  " ] || [[ "$only" == *" $1 "* ]]; }

logs=build-logs   # full output of every stage
mkdir -p "$logs"
jobs=$(nproc 2>/dev/null || echo 2)
summary=()
failed=0
t_all=$SECONDS

# stage NAME COMMAND...: runs COMMAND, output to $logs/NAME.log (and the terminal
# when STAGE_SHOW=1); records "ok" or "FAILED" with the time taken.
stage() {
    local name=$1 t0=$SECONDS status
    shift
    echo "--- $name"
    if [ "${STAGE_SHOW:-0}" = 1 ]; then
        "$@" 2>&1 | tee "$logs/$name.log"
        status=${PIPESTATUS[0]}
    else
        "$@" >"$logs/$name.log" 2>&1
        status=$?
        [ "$status" -eq 0 ] || tail -n 30 "$logs/$name.log"
    fi
    if [ "$status" -eq 0 ]; then
        summary+=("$(printf '%-12s ok      %4ds' "$name" $((SECONDS - t0)))")
    else
        summary+=("$(printf '%-12s FAILED  %4ds  (%s)' "$name" $((SECONDS - t0)) "$logs/$name.log")")
        failed=1
    fi
    return "$status"
}

skip() {
    summary+=("$(printf '%-12s skipped        (%s)' "$1" "$2")")
    failed=1
}

# no_build BUILD_STAGE STAGE: why STAGE has no build: BUILD_STAGE failed, or it
# was not named and made none before, and then what to run.
no_build() {
    if want "$1"; then
        echo "$1 build failed"
    else
        echo "nothing built: run scripts/test.sh $1 $2"
    fi
}

# shellcheck disable=SC2317  # called through stage
build() {  # build DIR [CMAKE ARGS...]
    local dir=$1
    shift
    cmake -S . -B "$dir" "$@" && cmake --build "$dir" -j "$jobs"
}

stage deps scripts/install-deps.sh || { printf '%s\n' "${summary[@]}"; exit 1; }

native=0
if want native; then
    stage native build build && native=1
elif [ -f build/CMakeCache.txt ]; then
    native=1
fi
if ! want unit; then
    :
elif [ "$native" = 1 ]; then
    stage unit ctest --test-dir build --output-on-failure -j "$jobs"
    grep -E 'tests passed|\*\*\*|\(Failed\)' "$logs/unit.log"
else
    skip unit "$(no_build native unit)"
fi

# plix, the Linux program, on Xvfb without Wine; and what `cmake --install` puts where.
if ! want x11; then
    :
elif [ -x build/plix ]; then
    STAGE_SHOW=1 stage x11 tests/e2e/run.sh --native
elif [ "$native" = 1 ]; then
    skip x11 "build/plix was not built (X11 and Xext development files missing?)"
else
    skip x11 "$(no_build native x11)"
fi

# shellcheck disable=SC2317  # called through stage
web() {  # the core in WebAssembly: the golden cases under Node.js, then the page in Chromium
    build build-wasm -DCMAKE_TOOLCHAIN_FILE=cmake/wasm32-wasi.cmake &&
        node tests/web/golden.mjs build-wasm/web/plix.wasm tests/golden/cases.txt &&
        (cd tests/web && npm ci --no-audit --no-fund) &&
        node tests/web/browser.mjs build-wasm/web build/plix-sim build/plix-ini
}

# The web page needs plix-sim and plix-ini to compare with.
if ! want web; then
    :
elif [ -x build/plix-sim ] && [ -x build/plix-ini ]; then
    STAGE_SHOW=1 stage web web
else
    skip web "$(no_build native web)"
fi

# ASan/UBSan unit tests, each fuzz target for 20 s, clang-tidy and cppcheck.
want sanitize && stage sanitize tests/sanitize.sh
want fuzz && stage fuzz tests/fuzz.sh 20
want lint && stage lint tests/lint.sh

# built_or_stage NAME DIR: the Windows build in DIR made by stage NAME, or the
# one already there when NAME is not run; 0 when there is one.
built_or_stage() {
    if want "$1"; then
        stage "$1" build "$2" -DCMAKE_TOOLCHAIN_FILE="cmake/$3.cmake"
    else
        [ -f "$2/Plix.scr" ]
    fi
}
built_or_stage win32 build-win32 i686-w64-mingw32
win32=$?
built_or_stage win64 build-win64 x86_64-w64-mingw32
win64=$?

# shellcheck disable=SC2317  # called through stage
release() {  # both architectures' zips and installers and the winget manifest
             # (scripts/release.sh), then the static checks of them and of each
             # Plix.scr; the Debian package of the native build and its checks
    local status=0
    if [ "$win32" -eq 0 ] && [ "$win64" -eq 0 ]; then
        { scripts/release.sh build-release &&
            tests/packaging.sh build-release build-win32 build-win64; } || status=1
    else
        echo "FAIL the Windows release: the 32-bit or the 64-bit build failed"
        status=1
    fi
    if [ -x build/plix ]; then
        { (cd build && cpack -G DEB) && tests/packaging.sh --deb build; } || status=1
    else
        echo "FAIL the Debian package: build/plix was not built"
        status=1
    fi
    return "$status"
}

want packaging && STAGE_SHOW=1 stage packaging release

# The e2e run picks the build this machine can execute (32-bit where it can, and
# then the 64-bit one beside it in the cases that run both).
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    runnable=$win32 runnable_stage=win32
else
    runnable=$win64 runnable_stage=win64
fi
if ! want e2e; then
    :
elif [ "$runnable" -eq 0 ]; then
    STAGE_SHOW=1 stage e2e tests/e2e/run.sh
else
    skip e2e "$(no_build "$runnable_stage" e2e)"
fi

echo "=== summary ($((SECONDS - t_all)) s)"
printf '%s\n' "${summary[@]}"
if [ "$failed" -eq 0 ]; then echo "ALL PASSED"; else echo "SOME STAGES FAILED"; fi
exit "$failed"

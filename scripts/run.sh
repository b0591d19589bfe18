#!/usr/bin/env bash
# Builds Plix and runs the saver (Plix.scr /s) under Wine: on $DISPLAY when set,
# otherwise on a private Xvfb display. Reports the exit status.
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 2
root=$PWD

scripts/install-deps.sh || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
build() {  # build DIR [CMAKE ARGS...]
    local dir=$1
    shift
    echo "--- building $dir"
    { cmake -S . -B "$dir" "$@" && cmake --build "$dir" -j "$jobs"; } >"build-logs/$dir.log" 2>&1 ||
        { tail -n 30 "build-logs/$dir.log"; echo "run: building $dir failed (log: build-logs/$dir.log)"; exit 1; }
}
mkdir -p build-logs
build build
build build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake
build build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake

# The harness's helpers pick Wine (32-bit where possible) and a free display.
# shellcheck source-path=SCRIPTDIR/.. source=tests/e2e/lib.sh
. tests/e2e/lib.sh
e2e_pick_wine
win_build="$root/$E2E_DEFAULT_WIN_BUILD"
E2E_TMP=$(mktemp -d /tmp/plix-run.XXXXXX) || exit 1
export WINEPREFIX="$E2E_TMP/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'timeout 20 "$E2E_SERVER" -k >/dev/null 2>&1
      [ -z "$E2E_XVFB" ] || kill "$E2E_XVFB" 2>/dev/null
      rm -rf "$E2E_TMP"' EXIT

limit=()
if [ -n "${DISPLAY:-}" ]; then
    echo "run: using your display $DISPLAY"
else
    e2e_start_xvfb || exit 1
    echo "run: no DISPLAY; using a virtual Xvfb display $DISPLAY"
    limit=(timeout 60)   # nobody can press a key there
fi

echo "run: creating a fresh Wine prefix (about 15 s)"
timeout 180 "$WINE" wineboot -i >/dev/null 2>&1 || { echo "run: wineboot failed"; exit 1; }

echo "run: $win_build/Plix.scr /s  (settings: $win_build/Plix.ini, if present)"
(cd "$win_build" && "${limit[@]}" "$WINE" ./Plix.scr /s)
status=$?
echo "run: Plix.scr /s ended with exit status $status"
cat <<'EOF'
What this version does: the saver's set-up only. It reads Plix.ini beside
Plix.scr, prepares the dot field (or shows "Out of memory" and ends with 1), and
ends with status 0. The full-screen window with the animation is not written yet,
so nothing is drawn.
EOF
exit "$status"

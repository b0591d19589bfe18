#!/usr/bin/env bash
# Builds Plix and runs the saver (Plix.scr /s) full-screen under Wine: on $DISPLAY
# when set (end it with a key or the mouse), otherwise on a private Xvfb display
# for a few seconds, with a screenshot, ended by a key press. Reports the exit status.
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
saver=""
trap '[ -z "$saver" ] || kill "$saver" 2>/dev/null
      timeout 20 "$E2E_SERVER" -k >/dev/null 2>&1
      [ -z "$E2E_XVFB" ] || kill "$E2E_XVFB" 2>/dev/null
      rm -rf "$E2E_TMP"' EXIT

virtual=0
if [ -n "${DISPLAY:-}" ]; then
    echo "run: using your display $DISPLAY; any key, button or mouse movement ends the saver"
else
    e2e_start_xvfb || exit 1
    virtual=1
    echo "run: no DISPLAY; using a virtual Xvfb display $DISPLAY"
fi

echo "run: creating a fresh Wine prefix (about 15 s)"
timeout 180 "$WINE" wineboot -i >/dev/null 2>&1 || { echo "run: wineboot failed"; exit 1; }

echo "run: $win_build/Plix.scr /s  (settings: $win_build/Plix.ini)"
if [ "$virtual" = 0 ]; then
    (cd "$win_build" && "$WINE" ./Plix.scr /s)
    status=$?
else
    # Nobody can press a key on a virtual display: look, take a picture, press one.
    (cd "$win_build" && exec "$WINE" ./Plix.scr /s) &
    saver=$!
    if ! window=$(e2e_wait_window "Plix screensaver" 60); then
        echo "run: the saver window did not appear within 60 s"
        exit 1
    fi
    sleep 3
    shot="$root/build-logs/saver.png"
    import -window root "$shot" && echo "run: screenshot after 3 s: $shot"
    xdotool windowfocus --sync "$window" key space
    for ((t = 0; t < 100; t++)); do
        kill -0 "$saver" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$saver" 2>/dev/null; then
        echo "run: the saver did not end within 10 s of the key press; stopping it"
        kill "$saver"
        wait "$saver"
        saver=""
        exit 1
    fi
    wait "$saver"
    status=$?
    saver=""
    echo "run: pressed a key to end the saver"
fi
echo "run: Plix.scr /s ended with exit status $status"
exit "$status"

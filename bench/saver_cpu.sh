#!/usr/bin/env bash
# Share of a core the running saver takes: Plix.scr /s under Wine on a private
# Xvfb (1024x768), for a few settings, over SECONDS of running each. Prints a
# Markdown table: the saver process, and beside it the wineserver and Xvfb.
# usage: bench/saver_cpu.sh [WIN_BUILD_DIR (default build-win32)] [SECONDS (default 10)]
set -u
# shellcheck source=bench/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build=$(cd "${1:-build-win32}" && pwd) || exit 2
seconds=${2:-10}
wine=wine
/usr/lib/wine/wine --version >/dev/null 2>&1 || wine=/usr/lib/wine/wine64
tmp=$(mktemp -d)
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$tmp"' EXIT
n=$((200 + RANDOM % 50))
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$n" WINEPREFIX="$tmp/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
sleep 1
wineserver -p
server=$(pgrep -n -x wineserver)  # ours: just started
"$wine" wineboot -i >/dev/null 2>&1
cp "$build/Plix.scr" "$tmp/"

share() { echo "$(bench_share "$1" "$2" 0 "$seconds") %"; }

echo "$("$wine" --version), $(basename "$build")/Plix.scr; load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| dot_count | dot_history | Plix.scr | wineserver | Xvfb |"
echo "|---:|---:|---:|---:|---:|"
for s in "100 64" "1000 256" "1000 1024"; do
    set -- $s
    printf '[Plix]\ndot_count=%s\ndot_history=%s\ninertia=400\nspeed_limit=3\nbrownian=0\nbounce=1\nchow=0\nstarting_pos=1\n' \
        "$1" "$2" >"$tmp/Plix.ini"
    (cd "$tmp" && exec "$wine" ./Plix.scr /s) >/dev/null 2>&1 &
    pid=$!
    sleep 3  # window up, trails spread
    p0=$(bench_ticks $pid) w0=$(bench_ticks "$server") x0=$(bench_ticks $xvfb)
    sleep "$seconds"
    p1=$(bench_ticks $pid) w1=$(bench_ticks "$server") x1=$(bench_ticks $xvfb)
    echo "| $1 | $2 | $(share "$p0" "$p1") | $(share "$w0" "$w1") | $(share "$x0" "$x1") |"
    xdotool key a
    wait $pid
done

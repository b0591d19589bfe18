#!/usr/bin/env bash
# Frame rate and CPU share of plix, the Linux program, on the root window of a
# private 1024x768 Xvfb (24 bits deep, or DEPTH): one row per setting for BENCHMARKS.md.
# With ARGB=1, in a window of that size of a depth-32 ARGB visual instead, whose
# alpha each copy sets. PLIX_BENCH_SETTINGS="100 64,1000 256" picks the rows.
# usage: bench/x11_bench.sh [BUILD_DIR] [SECONDS]   (default build, 10 s per row)
set -u
# shellcheck source=bench/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build=$(cd "${1:-build}" && pwd) || exit 2
seconds=${2:-10}
tmp=$(mktemp -d)
n=$((200 + RANDOM % 50))
Xvfb ":$n" -screen 0 "1024x768x${DEPTH:-24}" -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
xvfb=$!
window=""
trap 'kill $window $xvfb 2>/dev/null; rm -rf "$tmp"' EXIT
export DISPLAY=":$n"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
target=(--root)
if [ "${ARGB:-0}" = 1 ]; then
    "$build/plix-test-window" 0 0 1024 768 00000000 >"$tmp/window.txt" &
    window=$!
    for _ in $(seq 50); do [ -s "$tmp/window.txt" ] && break; sleep 0.1; done
    target=(--window-id "$(head -n 1 "$tmp/window.txt")")
fi

echo "| dot_count | dot_history | pixels per frame | frames per second | plix: share of a core | Xvfb: share of a core | load average |"
echo "|---:|---:|---:|---:|---:|---:|---|"
IFS=, read -ra settings <<<"${PLIX_BENCH_SETTINGS:-100 64,1000 256,1000 1024}"
for setting in "${settings[@]}"; do
    set -- $setting
    "$build/plix" "${target[@]}" --fps --seed 1 --dot-count "$1" --dot-history "$2" 2>"$tmp/fps.log" &
    pid=$!
    sleep 2  # set-up and the first frames are left out
    p0=$(bench_ticks $pid) x0=$(bench_ticks $xvfb) t0=$(bench_now) lines0=$(wc -l <"$tmp/fps.log")
    sleep "$seconds"
    p1=$(bench_ticks $pid) x1=$(bench_ticks $xvfb) t1=$(bench_now)
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    kill $pid
    wait $pid
    fps=$(tail -n +$((lines0 + 1)) "$tmp/fps.log" | head -n "$seconds" |
        awk '{ s += $2; n++ } END { printf "%.1f", n ? s / n : 0 }')
    echo "| $1 | $2 | $(($1 * ($2 + 2))) | $fps | $(bench_share "$p0" "$p1" "$t0" "$t1") % |" \
        "$(bench_share "$x0" "$x1" "$t0" "$t1") % | $load |"
done

#!/usr/bin/env bash
# What plix --idle costs while it waits: on headless sway with two 1920x1080
# outputs (as an ordinary user), its share of a core over SECONDS of waiting
# (--idle 3600, so that idle never comes) and its memory (VmRSS) then; beside
# that, its memory while it shows the field (--idle 1, the field up for 5 s)
# and once a key has taken the field down again. RUNS rounds; the worst of each.
# usage: bench/idle_bench.sh [BUILD_DIR] [SECONDS]   (default build, 60 s); RUNS (3)
set -u
# shellcheck source=bench/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build=$(cd "${1:-build}" && pwd) || exit 2
seconds=${2:-60}
runs=${RUNS:-3}
tmp=$(mktemp -d)
chmod 755 "$tmp"
sway_pid='' plix_pid='' keyboard_pid=''
trap 'kill $plix_pid $keyboard_pid $sway_pid 2>/dev/null; sleep 0.5; rm -rf "$tmp"' EXIT
[ -x "$build/plix" ] || { echo "no $build/plix: build it first" >&2; exit 2; }
cp "$build/plix" "$tmp/"
printf 'output HEADLESS-1 mode 1920x1080 position 0 0\noutput HEADLESS-2 mode 1920x1080 position 1920 0\n' \
    >"$tmp/sway.conf"
bench_sway "$tmp" "$tmp/sway.conf"
started=$?
sway_pid=$bench_sway_pid
[ "$started" = 0 ] || exit 1
wl=("${bench_as_user[@]}" XDG_RUNTIME_DIR="$tmp/run" WAYLAND_DISPLAY="$bench_socket")
# A keyboard on the seat from the start, as the e2e tests keep one.
"${wl[@]}" wtype -s 600000 &
keyboard_pid=$!
sleep 1

rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }  # KiB
worst() { sort -g | tail -n 1; }

for ((r = 0; r < runs; r++)); do
    "${wl[@]}" "$tmp/plix" --idle 3600 >/dev/null 2>&1 &
    plix_pid=$!
    sleep 2
    p0=$(bench_ticks $plix_pid) t0=$(bench_now)
    sleep "$seconds"
    p1=$(bench_ticks $plix_pid) t1=$(bench_now)
    bench_share "$p0" "$p1" "$t0" "$t1" >>"$tmp/share"
    echo >>"$tmp/share"
    rss $plix_pid >>"$tmp/waiting"
    kill $plix_pid
    wait $plix_pid 2>/dev/null
    "${wl[@]}" "$tmp/plix" --idle 1 >/dev/null 2>&1 &
    plix_pid=$!
    sleep 6
    rss $plix_pid >>"$tmp/showing"
    "${wl[@]}" wtype -k space
    sleep 0.5  # less than the second after which idle comes again
    rss $plix_pid >>"$tmp/after"
    kill $plix_pid
    wait $plix_pid 2>/dev/null
done
plix_pid=''

echo "$(uname -m), $(sway --version), two 1920x1080 outputs; worst of $runs; load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| plix --idle | share of a core | memory (VmRSS) |"
echo "|---|---:|---:|"
echo "| waiting, over $seconds s | $(worst <"$tmp/share") % | $(worst <"$tmp/waiting") KiB |"
echo "| showing the field (defaults) | | $(worst <"$tmp/showing") KiB |"
echo "| waiting again, the field taken down | | $(worst <"$tmp/after") KiB |"

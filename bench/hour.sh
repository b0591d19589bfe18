#!/usr/bin/env bash
# Each front end for an hour, side by side, at the shipped defaults: Plix.scr /s
# under Wine and plix --root, each on an Xvfb of its own, plix on headless sway
# (as an ordinary user: sway refuses root), and the web page in headless
# Chromium. Every INTERVAL seconds: each program's resident memory, plix's
# shared-memory segments on X11, and each program's share of a core over the
# interval. Prints the samples, then per program the first sample, the last, the
# highest and the growth from the sample at 10 minutes to the last.
# usage: bench/hour.sh [NATIVE_BUILD (build)] [WIN_BUILD (build-win64)] [WASM_BUILD (build-wasm)]
# environment: DURATION (3600), INTERVAL (60), SIZE (1920x1080)
set -u
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 2
# shellcheck source=bench/lib.sh
. bench/lib.sh
native=$(cd "${1:-build}" && pwd) || exit 2
win=$(cd "${2:-build-win64}" && pwd) || exit 2
wasm=$(cd "${3:-build-wasm}" && pwd) || exit 2
duration=${DURATION:-3600}
interval=${INTERVAL:-60}
size=${SIZE:-1920x1080}
tmp=$(mktemp -d /tmp/plix-hour.XXXXXX) || exit 2
chmod 755 "$tmp"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; WINEPREFIX=$tmp/pfx timeout 20 wineserver -k 2>/dev/null
      sleep 0.5; rm -rf "$tmp"' EXIT
for f in "$native/plix" "$win/Plix.scr" "$wasm/web/plix.wasm"; do
    [ -e "$f" ] || { echo "hour: no $f: build it first" >&2; exit 2; }
done
cp "$native/plix" "$tmp/"

# xvfb N: an X server of SIZE on display :N, up before it returns.
xvfb() {
    Xvfb ":$1" -screen 0 "${size}x24" -nolisten tcp -noreset >"$tmp/xvfb$1.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do DISPLAY=":$1" xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "hour: Xvfb :$1 did not start" >&2
    exit 1
}
n=$((300 + RANDOM % 50))
xvfb "$n"
xvfb $((n + 1))

# Plix.scr under the Wine of its architecture, in a prefix of its own.
export WINEPREFIX=$tmp/pfx WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ "$(od -An -t x2 -j $(($(od -An -t u4 -j 60 -N 4 "$win/Plix.scr") + 4)) -N 2 "$win/Plix.scr" | tr -d ' ')" = 014c ] &&
    wine=/usr/lib/wine/wine
"$wine" --version >/dev/null 2>&1 || { echo "hour: $wine does not run" >&2; exit 1; }
DISPLAY=":$n" timeout 180 "$wine" wineboot -i >/dev/null 2>&1
(cd "$win" && DISPLAY=":$n" exec "$wine" ./Plix.scr /s) >/dev/null 2>&1 &
pids+=($!)
DISPLAY=":$((n + 1))" "$tmp/plix" --root >/dev/null 2>&1 &
x11=$!
pids+=("$x11")

# sway as an ordinary user, with a private runtime folder.
printf 'output HEADLESS-1 mode %s position 0 0\n' "$size" >"$tmp/sway.conf"
bench_sway "$tmp" "$tmp/sway.conf" 1 || exit 1
sway=$bench_sway_pid
pids+=("$sway")
as_user=("${bench_as_user[@]}")
socket=$bench_socket
"${as_user[@]}" XDG_RUNTIME_DIR="$tmp/run" WAYLAND_DISPLAY="$socket" "$tmp/plix" >/dev/null 2>&1 &
wl=$!
pids+=("$wl")

# The page, served from its build, in Chromium at SIZE.
port=$((20000 + RANDOM % 20000))
python3 -m http.server -b 127.0.0.1 -d "$wasm/web" "$port" >/dev/null 2>&1 &
pids+=($!)
sleep 1
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$tmp/chrome" --window-size="${size/x/,}" \
    "http://127.0.0.1:$port/" >/dev/null 2>&1 &
pids+=($!)
sleep 5

scr=$(pgrep -f 'Plix\.scr /s' | while read -r p; do
    [ "$(readlink "/proc/$p/exe")" != "$(readlink -f "$wine")" ] && echo "$p"; done | head -n 1)
[ -n "$scr" ] || scr=$(pgrep -n -f 'Plix\.scr')
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }
chrome_rss() {  # every process of the page's Chromium, in kB
    pgrep -f -- "--user-data-dir=$tmp/chrome" | while read -r p; do rss "$p"; done | awk '{ s += $1 } END { print s + 0 }'
}
chrome_ticks() {
    pgrep -f -- "--user-data-dir=$tmp/chrome" | while read -r p; do bench_ticks "$p"; done | awk '{ s += $1 } END { print s + 0 }'
}
shm() { ipcs -m -p 2>/dev/null | awk -v p="$x11" '$3 == p { n++ } END { print n + 0 }'; }

echo "Samples: seconds, then resident kB and share of a core over the interval of"
echo "Plix.scr ($(basename "$wine")), plix --root (and its shm segments), plix on sway, sway, Chromium (all its processes);"
echo "$size, load average at the start $(cut -d' ' -f1-3 /proc/loadavg)."
echo
t_start=$(bench_now)
prev=("$(bench_ticks "$scr")" "$(bench_ticks "$x11")" "$(bench_ticks "$wl")" "$(chrome_ticks)")
t_prev=$t_start
elapsed=0
while [ "$elapsed" -lt "$duration" ]; do
    sleep "$interval"
    elapsed=$((elapsed + interval))
    now=$(bench_now)
    ticks=("$(bench_ticks "$scr")" "$(bench_ticks "$x11")" "$(bench_ticks "$wl")" "$(chrome_ticks)")
    printf '%d %s %s %s %s %s %s %s %s %s %s\n' "$elapsed" \
        "$(rss "$scr")" "$(bench_share "${prev[0]}" "${ticks[0]}" "$t_prev" "$now")" \
        "$(rss "$x11")" "$(bench_share "${prev[1]}" "${ticks[1]}" "$t_prev" "$now")" "$(shm)" \
        "$(rss "$wl")" "$(bench_share "${prev[2]}" "${ticks[2]}" "$t_prev" "$now")" "$(rss "$sway")" \
        "$(chrome_rss)" "$(bench_share "${prev[3]}" "${ticks[3]}" "$t_prev" "$now")"
    prev=("${ticks[@]}")
    t_prev=$now
done | tee "$tmp/samples"

echo
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)."
echo
echo "| program | memory, first sample | at 10 min | last | highest | share of a core, first interval – last |"
echo "|---|---:|---:|---:|---:|---:|"
awk -v i="$interval" '
    function row(name, m, s) {
        ten = 0; for (k = 1; k <= n; k++) if (t[k] <= 600) ten = v[k, m]
        hi = 0; for (k = 1; k <= n; k++) if (v[k, m] > hi) hi = v[k, m]
        printf "| %s | %d kB | %d kB | %d kB | %d kB | %s |\n", name, v[1, m], ten, v[n, m], hi,
            s ? v[1, s] " % – " v[n, s] " %" : ""
    }
    { n++; t[n] = $1; for (f = 2; f <= NF; f++) v[n, f] = $f }
    END {
        row("Plix.scr", 2, 3); row("plix --root", 4, 5); row("plix on sway", 7, 8)
        row("sway", 9, 0); row("Chromium, the page", 10, 11)
        hi = 0; lo = 1e9; for (k = 1; k <= n; k++) { if (v[k, 6] > hi) hi = v[k, 6]; if (v[k, 6] < lo) lo = v[k, 6] }
        printf "\nplix --root shm segments: %d to %d.\n", lo, hi
    }' "$tmp/samples"

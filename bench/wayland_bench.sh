#!/usr/bin/env bash
# plix natively on Wayland beside plix --root on X11, at the same total size:
# headless sway with two 1920x1080 outputs side by side (software rendering, as
# an ordinary user: sway refuses root) and a 3840x1080 Xvfb, both up for the
# whole run. Beside plix on each, two reference programs paced as it is: the
# floor (one pixel changed and damaged a frame on each output) and the naive
# saver (every output copied and damaged whole every frame). The cases take
# turns, RUNS rounds of them; per case, over the rounds, the best and the worst:
# plix's share of a core, the display server's, the two together, and the lowest
# frame rate; then plix plus its server on Wayland over the same on X11.
# With BASE_BUILD, that build's plix on sway too, in the same rounds. With
# COMPOSITE=1 (root, perf), also what sway composites from the clients' buffers:
# the rectangles it clips each composite to, counted by a probe on pixman's
# pixman_image_set_clip_region32 (the probe's own cost then counts in sway's share).
# Each plix setting also at steady state: started as the field stands STEADY
# (defaults) or STEADY_BIG (1000 x 256) frames on, with --frames-ahead; the
# window is taken from its first frames shown.
# usage: bench/wayland_bench.sh [BUILD_DIR] [SECONDS] [BASE_BUILD]
#   (default build, 10 s per run); environment: RUNS (3), WARMUP (2), COMPOSITE,
#   STEADY (5500), STEADY_BIG (24000): bench/screens.sh's margins at 3840 x 2160, which cover 3840 x 1080
set -u
# shellcheck source=bench/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build=$(cd "${1:-build}" && pwd) || exit 2
seconds=${2:-10}
base=
[ -n "${3:-}" ] && { base=$(cd "$3" && pwd) || exit 2; }
runs=${RUNS:-3}
warmup=${WARMUP:-2}
composite=${COMPOSITE:-}
steady=${STEADY:-5500}
steady_big=${STEADY_BIG:-24000}
tmp=$(mktemp -d)
chmod 755 "$tmp"
sway_pid='' xvfb_pid=''
trap 'kill $sway_pid $xvfb_pid 2>/dev/null; sleep 0.5; rm -rf "$tmp"
      [ -z "$composite" ] || perf probe -q -d "probe_libpixman:*" 2>/dev/null' EXIT
for program in plix bench/plix-screens-wayland bench/plix-screens-x11; do
    [ -x "$build/$program" ] || { echo "no $build/$program: build it first" >&2; exit 2; }
    cp "$build/$program" "$tmp/"
done
[ -z "$base" ] || cp "$base/plix" "$tmp/plix-base" || exit 2

printf 'output HEADLESS-1 mode 1920x1080 position 0 0\noutput HEADLESS-2 mode 1920x1080 position 1920 0\n' \
    >"$tmp/sway.conf"
bench_sway "$tmp" "$tmp/sway.conf"
started=$?
sway_pid=$bench_sway_pid socket=$bench_socket as_user=("${bench_as_user[@]}")
[ "$started" = 0 ] || exit 1
if [ -n "$composite" ]; then
    pixman=$(ldd "$(command -v sway)" | awk '/libpixman-1/ { print $3 }')
    # The clip's box: pixman_region32_t begins with its extents, x1 y1 x2 y2.
    perf probe -q -x "$pixman" --add \
        'pixman_image_set_clip_region32 x1=+0(%si):s32 y1=+4(%si):s32 x2=+8(%si):s32 y2=+12(%si):s32' ||
        { echo "COMPOSITE=1: no probe on $pixman (root and perf needed)" >&2; exit 2; }
fi
n=$((200 + RANDOM % 50))
Xvfb ":$n" -screen 0 3840x1080x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

wl=("${as_user[@]}" XDG_RUNTIME_DIR="$tmp/run" WAYLAND_DISPLAY="$socket")
x=(env -u WAYLAND_DISPLAY DISPLAY=":$n")
big=(--dot-count 1000 --dot-history 256)
# Each case: display|setting|what, then its command.
cases=(
    "sway|floor|one pixel a frame" "${wl[*]} $tmp/plix-screens-wayland pixel"
    "Xvfb|floor|one pixel a frame" "${x[*]} $tmp/plix-screens-x11 pixel"
    "sway|naive|whole outputs a frame" "${wl[*]} $tmp/plix-screens-wayland whole"
    "Xvfb|naive|whole screen a frame" "${x[*]} $tmp/plix-screens-x11 copy"
    "sway|defaults|plix" "${wl[*]} $tmp/plix --fps --seed 1"
    "Xvfb|defaults|plix --root" "${x[*]} $tmp/plix --root --fps --seed 1"
    "sway|1000 × 256|plix" "${wl[*]} $tmp/plix --fps --seed 1 ${big[*]}"
    "Xvfb|1000 × 256|plix --root" "${x[*]} $tmp/plix --root --fps --seed 1 ${big[*]}"
    "sway|defaults, steady ($steady)|plix" "${wl[*]} $tmp/plix --fps --seed 1 --frames-ahead $steady"
    "Xvfb|defaults, steady ($steady)|plix --root" "${x[*]} $tmp/plix --root --fps --seed 1 --frames-ahead $steady"
    "sway|1000 × 256, steady ($steady_big)|plix" "${wl[*]} $tmp/plix --fps --seed 1 ${big[*]} --frames-ahead $steady_big"
    "Xvfb|1000 × 256, steady ($steady_big)|plix --root" "${x[*]} $tmp/plix --root --fps --seed 1 ${big[*]} --frames-ahead $steady_big"
)
[ -z "$base" ] || cases+=(
    "sway|defaults|plix of BASE_BUILD" "${wl[*]} $tmp/plix-base --fps --seed 1"
    "sway|1000 × 256|plix of BASE_BUILD" "${wl[*]} $tmp/plix-base --fps --seed 1 ${big[*]}"
)

# run CASE COMMAND: one run; a line "CASE|plix share|server share|frames a
# second|frame step share", and with COMPOSITE on sway "|rectangles a second|Mpx a second".
run() {
    local name=$1 server=$sway_pid pid p0 p1 s0 s1 t0 t1 lines0 fps probe='' drawn=''
    [ "${name%%|*}" = Xvfb ] && server=$xvfb_pid
    # shellcheck disable=SC2086  # the command's words
    $2 2>"$tmp/fps.log" &
    pid=$!  # setpriv and env exec: $! is the program
    # Frames run ahead show nothing: the warm-up counts from the first frames shown.
    for _ in $(seq 3000); do [ -s "$tmp/fps.log" ] && break; sleep 0.1; done
    sleep "$warmup"  # set-up and the first frames are left out
    p0=$(bench_ticks "$pid") s0=$(bench_ticks "$server") t0=$(bench_now)
    lines0=$(wc -l <"$tmp/fps.log")
    if [ -n "$composite" ] && [ "$server" = "$sway_pid" ]; then
        perf record -q -e probe_libpixman:pixman_image_set_clip_region32 -p "$sway_pid" \
            -o "$tmp/clip.data" -- sleep "$seconds" >/dev/null 2>&1 &
        probe=$!
    fi
    sleep "$seconds"
    p1=$(bench_ticks "$pid") s1=$(bench_ticks "$server") t1=$(bench_now)
    if [ -n "$probe" ]; then
        wait "$probe"
        # A clip of no area ends a frame: not a composite.
        drawn=$(perf script -i "$tmp/clip.data" 2>/dev/null | awk -v s="$seconds" '
            { delete v; for (i = 1; i <= NF; i++) if (split($i, kv, "=") == 2) v[kv[1]] = kv[2]
              a = (v["x2"] - v["x1"]) * (v["y2"] - v["y1"]); if (a > 0) { n++; area += a } }
            END { printf "|%.0f|%.1f", n / s, area / s / 1e6 }')
    fi
    kill "$pid"
    wait "$pid" 2>/dev/null
    # The rate, and plix's frame step as it measured it ("-" for the references).
    tail -n +$((lines0 + 1)) "$tmp/fps.log" | head -n "$seconds" >"$tmp/window.log"
    fps="$(awk '{ s += $2; n++ } END { printf "%.1f", n ? s / n : 0 }' "$tmp/window.log")|$(bench_step_share <"$tmp/window.log")"
    echo "$name|$(bench_share "$p0" "$p1" "$t0" "$t1")|$(bench_share "$s0" "$s1" "$t0" "$t1")|$fps$drawn"
}

for ((r = 0; r < runs; r++)); do
    for ((c = 0; c < ${#cases[@]}; c += 2)); do run "${cases[c]}" "${cases[c + 1]}"; done
done >"$tmp/results"

echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg); $runs rounds of $seconds s."
echo "Shares of a core: the run whose program and server together took least, then most."
echo
echo "| display | setting | program | plix or reference | server | together | frames a second (lowest) | plix's frame step in the run (highest) |"
echo "|---|---|---|---:|---:|---:|---:|---:|"
awk -F'|' '
    { k = $1 "|" $2 "|" $3; if (!(k in n)) order[++cases] = k; n[k]++
      t = $4 + $5
      if (n[k] == 1 || t < best[k]) { best[k] = t; bp[k] = $4; bs[k] = $5 }
      if (n[k] == 1 || t > worst[k]) { worst[k] = t; wp[k] = $4; ws[k] = $5 }
      if (n[k] == 1 || $6 < fps[k]) fps[k] = $6
      if ($7 != "-" && (!(k in step) || $7 > step[k])) step[k] = $7 }
    END {
      for (i = 1; i <= cases; i++) {
        k = order[i]; split(k, f, "|")
        printf "| %s | %s | %s | %.1f–%.1f %% | %.1f–%.1f %% | %.1f–%.1f %% | %s | %s |\n", f[1], f[2],
            f[3], bp[k], wp[k], bs[k], ws[k], best[k], worst[k], fps[k], k in step ? step[k] " %" : "-"
      }
      print ""
      print "plix and its server together, Wayland over X11 (best of the runs; worst):"
      for (i = 1; i <= cases; i++) {
        k = order[i]; split(k, f, "|")
        if (f[1] != "sway") continue
        xk = ""
        for (j = 1; j <= cases; j++) { split(order[j], g, "|")
          if (g[1] == "Xvfb" && g[2] == f[2]) xk = order[j] }
        if (xk != "" && best[xk] > 0 && worst[xk] > 0)
          printf "- %s, %s: %.2f× (%.2f×)\n", f[2], f[3], best[k] / best[xk], worst[k] / worst[xk]
      }
    }' "$tmp/results"
[ -z "$composite" ] || awk -F'|' '
    NF >= 9 { k = $1 "|" $2 "|" $3; if (!(k in n)) order[++cases] = k; n[k]++
      if (n[k] == 1 || $8 < lr[k]) lr[k] = $8; if (n[k] == 1 || $8 > hr[k]) hr[k] = $8
      if (n[k] == 1 || $9 < la[k]) la[k] = $9; if (n[k] == 1 || $9 > ha[k]) ha[k] = $9 }
    END {
      print ""
      print "What sway composited from the clients'"'"' buffers (lowest–highest of the runs):"
      print ""
      print "| setting | program | rectangles a second | Mpx a second |"
      print "|---|---|---:|---:|"
      for (i = 1; i <= cases; i++) { split(order[i], f, "|")
        printf "| %s | %s | %d–%d | %.1f–%.1f |\n", f[2], f[3], lr[order[i]], hr[order[i]], la[order[i]], ha[order[i]] }
    }' "$tmp/results"

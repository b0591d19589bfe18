#!/usr/bin/env bash
# plix natively on Wayland beside plix --root on X11, at the same total size:
# headless sway with two 1920x1080 outputs side by side (software rendering, as
# an ordinary user: sway refuses root) and a 3840x1080 Xvfb. Per display and
# setting, the worst of three runs: plix's share of a core, the display server's,
# and the frame rate. One row each for BENCHMARKS.md.
# usage: bench/wayland_bench.sh [BUILD_DIR] [SECONDS]   (default build, 10 s per run)
set -u
# shellcheck source=bench/lib.sh
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build=$(cd "${1:-build}" && pwd) || exit 2
seconds=${2:-10}
tmp=$(mktemp -d)
chmod 755 "$tmp"
server=
trap 'kill $server 2>/dev/null; sleep 0.5; rm -rf "$tmp"' EXIT
cp "$build/plix" "$tmp/plix"

# As an ordinary user, with a private runtime folder; root runs it as plixe2e.
as_user=(env)
if [ "$(id -u)" = 0 ]; then
    id -u plixe2e >/dev/null 2>&1 || useradd --system --no-create-home \
        --home-dir /nonexistent --shell /usr/sbin/nologin plixe2e
    as_user=(setpriv --reuid plixe2e --regid plixe2e --clear-groups env)
fi
mkdir -m 0700 "$tmp/run"
[ "$(id -u)" = 0 ] && chown plixe2e: "$tmp/run"

# measure DISPLAY_NAME SETTING_NAME PLIX_ARGS...: the worst of three runs, one row.
measure() {
    local what=$1 setting=$2 pid p0 p1 s0 s1 t0 t1 lines0 fps share sshare
    local worst_plix=0 worst_server=0 worst_fps=1000 load
    shift 2
    for _ in 1 2 3; do
        "$@" 2>"$tmp/fps.log" &
        pid=$!
        sleep 2  # set-up and the first frames are left out (setpriv and env exec: $! is plix)
        p0=$(bench_ticks "$pid") s0=$(bench_ticks "$server") t0=$(bench_now)
        lines0=$(wc -l <"$tmp/fps.log")
        sleep "$seconds"
        p1=$(bench_ticks "$pid") s1=$(bench_ticks "$server") t1=$(bench_now)
        kill "$pid"
        wait "$pid" 2>/dev/null
        fps=$(tail -n +$((lines0 + 1)) "$tmp/fps.log" | head -n "$seconds" |
            awk '{ s += $2; n++ } END { printf "%.1f", n ? s / n : 0 }')
        share=$(bench_share "$p0" "$p1" "$t0" "$t1")
        sshare=$(bench_share "$s0" "$s1" "$t0" "$t1")
        worst_plix=$(awk -v a="$worst_plix" -v b="$share" 'BEGIN { print (b > a) ? b : a }')
        worst_server=$(awk -v a="$worst_server" -v b="$sshare" 'BEGIN { print (b > a) ? b : a }')
        worst_fps=$(awk -v a="$worst_fps" -v b="$fps" 'BEGIN { print (b < a) ? b : a }')
    done
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    echo "| $what | $setting | $worst_plix % | $worst_server % | $worst_fps/s | $load |"
}

echo "| display | setting | plix: share of a core | server: share of a core | frames per second | load average |"
echo "|---|---|---:|---:|---:|---|"

printf 'output HEADLESS-1 mode 1920x1080 position 0 0\noutput HEADLESS-2 mode 1920x1080 position 1920 0\n' \
    >"$tmp/sway.conf"
"${as_user[@]}" XDG_RUNTIME_DIR="$tmp/run" WLR_BACKENDS=headless WLR_RENDERER=pixman \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS=2 sway -c "$tmp/sway.conf" >"$tmp/sway.log" 2>&1 &
server=$!
socket=
for _ in $(seq 100); do
    socket=$(cd "$tmp/run" && find . -maxdepth 1 -name "wayland-[0-9]" -printf "%f\n" | head -n 1)
    [ -n "$socket" ] && break
    sleep 0.1
done
[ -n "$socket" ] || { echo "sway did not start: $(cat "$tmp/sway.log")" >&2; exit 1; }
wayland_env=(XDG_RUNTIME_DIR="$tmp/run" WAYLAND_DISPLAY="$socket")
measure "sway, 2 × 1920x1080" defaults "${as_user[@]}" "${wayland_env[@]}" "$tmp/plix" --fps --seed 1
measure "sway, 2 × 1920x1080" "1000 × 256" "${as_user[@]}" "${wayland_env[@]}" "$tmp/plix" --fps \
    --seed 1 --dot-count 1000 --dot-history 256
kill "$server"
wait "$server" 2>/dev/null

n=$((200 + RANDOM % 50))
Xvfb ":$n" -screen 0 3840x1080x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
server=$!
for _ in $(seq 50); do DISPLAY=":$n" xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
measure "Xvfb 3840x1080, --root" defaults env -u WAYLAND_DISPLAY DISPLAY=":$n" "$tmp/plix" --root \
    --fps --seed 1
measure "Xvfb 3840x1080, --root" "1000 × 256" env -u WAYLAND_DISPLAY DISPLAY=":$n" "$tmp/plix" \
    --root --fps --seed 1 --dot-count 1000 --dot-history 256

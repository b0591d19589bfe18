# shellcheck shell=bash
# What the benchmark scripts share: a process's CPU time from /proc and its share
# of one core over a wall-clock window.

bench_hz=$(getconf CLK_TCK)

# utime + stime of PID (all its threads) in clock ticks; 0 once it has gone.
bench_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }

# The wall clock in seconds, with fractions.
bench_now() { date +%s.%N; }

# bench_share TICKS0 TICKS1 T0 T1: percent of one core, one decimal.
bench_share() {
    awk -v a="$1" -v b="$2" -v t0="$3" -v t1="$4" -v hz="$bench_hz" \
        'BEGIN { printf "%.1f", 100 * (b - a) / hz / (t1 - t0) }'
}

# The frame step's share of a core as plix measured it in the run, from its
# --fps lines on standard input ("R frames per second (...), step T ms of CPU a
# frame": T times R), averaged; "-" where none says a step.
bench_step_share() {
    awk '/ms of CPU a frame/ {
        for (i = 2; i <= NF; i++) { if ($i == "frames") f = $(i - 1); if ($i == "step") t = $(i + 1) }
        s += t * f / 10; m++ }
        END { if (m) printf "%.1f", s / m; else print "-" }'
}

# bench_sway DIR CONF [OUTPUTS]: headless sway (pixman) with OUTPUTS (2) outputs configured by CONF,
# as an ordinary user (root runs it as plixe2e) with the private runtime
# folder DIR/run; sets bench_as_user (the command prefix running as that user),
# bench_sway_pid and bench_socket, or returns 1.
bench_sway() {
    local dir=$1
    bench_as_user=(env)
    if [ "$(id -u)" = 0 ]; then
        id -u plixe2e >/dev/null 2>&1 || useradd --system --no-create-home \
            --home-dir /nonexistent --shell /usr/sbin/nologin plixe2e
        bench_as_user=(setpriv --reuid plixe2e --regid plixe2e --clear-groups env)
    fi
    mkdir -m 0700 "$dir/run"
    [ "$(id -u)" = 0 ] && chown plixe2e: "$dir/run"
    "${bench_as_user[@]}" XDG_RUNTIME_DIR="$dir/run" WLR_BACKENDS=headless WLR_RENDERER=pixman \
        WLR_LIBINPUT_NO_DEVICES=1 WLR_HEADLESS_OUTPUTS="${3:-2}" sway -c "$2" >"$dir/sway.log" 2>&1 &
    # shellcheck disable=SC2034  # read by the script that called it
    bench_sway_pid=$!
    bench_socket=
    for _ in $(seq 100); do
        bench_socket=$(cd "$dir/run" && find . -maxdepth 1 -name "wayland-[0-9]" -printf "%f\n" | head -n 1)
        [ -n "$bench_socket" ] && return 0
        sleep 0.1
    done
    echo "sway did not start: $(cat "$dir/sway.log")" >&2
    return 1
}

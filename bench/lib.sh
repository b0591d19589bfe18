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

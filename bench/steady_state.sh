#!/bin/bash
# Where steady state begins: the frame count at which the tiles a frame touches
# level off, per screen size and setting, from plix-sim's --tile-counts.
# usage: bench/steady_state.sh [BUILD_DIR] [FRAMES]   (default build, 40000)
# The level is the mean over the last quarter of the run; steady state begins at
# the first frame whose mean over the 500 frames up to it (all of them, before
# frame 500) reaches 95 % of it.
set -eu
build=${1:-build}
frames=${2:-40000}
sim=$(cd "$build" && pwd)/plix-sim
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf '| size | setting | tiles of the field | level (tiles a frame) | steady from frame |\n|---|---|---|---|---|\n'
for size in 1024x768 1920x1080 3840x2160; do
    for setting in defaults random 1000x256; do
        case $setting in
        defaults) printf '[Plix]\r\nstarting_pos=0\r\n' > "$dir/s.ini" ;;
        random) printf '[Plix]\r\nstarting_pos=1\r\n' > "$dir/s.ini" ;;
        1000x256) printf '[Plix]\r\ndot_count=1000\r\ndot_history=256\r\n' > "$dir/s.ini" ;;
        esac
        # The shipped defaults, then the row's own values over them.
        awk 'NR == FNR { if (/=/) own[substr($0, 1, index($0, "=") - 1)] = $0; next }
             /=/ { k = substr($0, 1, index($0, "=") - 1); if (k in own) { print own[k]; next } }
             { print }' "$dir/s.ini" "$(dirname "$0")/../src/resources/Plix.default.ini" \
            | tr -d '\r' | sed 's/$/\r/' > "$dir/row.ini"
        "$sim" --settings "$dir/row.ini" --size "$size" --seed 1 --frames "$frames" \
            --tile-counts "$dir/counts.txt" > /dev/null
        w=${size%x*} h=${size#*x}
        awk -v n="$frames" -v size="$size" -v setting="$setting" \
            -v grid=$(( ((w + 15) / 16) * ((h + 15) / 16) )) '
            { t[$1] = $2; if ($1 > n * 3 / 4) { sum += $2; k++ } }
            END {
                level = sum / k; run = 0; from = "-"
                for (f = 1; f <= n; f++) {
                    run += t[f]; if (f > 500) run -= t[f - 500]
                    if (run / (f < 500 ? f : 500) >= 0.95 * level) { from = f; break }
                }
                printf "| %s | %s | %d | %.0f | %s |\n", size, setting, grid, level, from
            }' "$dir/counts.txt"
    done
done

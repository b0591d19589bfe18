#!/usr/bin/env bash
# Makes the README's moving picture, docs/plix.gif: plix-sim's screen at the shipped
# defaults, every third frame from the start, shown at the saver's 100 frames a
# second, looping.
# usage: scripts/make-animation.sh [PLIX_SIM (default build/plix-sim)] [OUT (default docs/plix.gif)]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
sim=${1:-build/plix-sim}
out=${2:-docs/plix.gif}
size=400x240
shots=150  # pictures in the loop
step=3     # frames between them: 30 ms, a GIF delay of 3
largest=$((2 * 1024 * 1024))

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
settings=src/resources/Plix.default.ini  # the shipped defaults
for ((i = 1; i <= shots; i++)); do
    "$sim" --settings "$settings" --size "$size" --seed 2026 --frames $((i * step)) \
        --png "$tmp/$(printf '%04d' "$i").png" > /dev/null
done
convert -delay "$step" -loop 0 "$tmp"/*.png -layers Optimize "$out"
bytes=$(stat -c %s "$out")
echo "$out: $shots pictures, $bytes bytes"
if [ "$bytes" -gt "$largest" ]; then
    echo "make-animation: $out is over 2 MiB, too large for the README" >&2
    exit 1
fi

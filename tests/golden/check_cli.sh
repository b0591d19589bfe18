#!/bin/bash
# plix-sim's command line: bad arguments give one line on stderr and status 2,
# an allocation failure the out-of-memory text and status 1, an unwritable output
# file a message and status 1, --help the usage and status 0.
# usage: check_cli.sh PLIX_SIM
set -u
sim=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
printf '[Plix]\ndot_count=3\ndot_history=4\n' > ok.ini
failed=0

# expect STATUS STDERR_PATTERN ARGS...: exit status, and exactly $err_lines (1)
# stderr lines, matching.
expect() {
    local want=$1 pattern=$2
    shift 2
    "$sim" "$@" > out.txt 2> err.txt
    local got=$?
    local lines
    lines=$(wc -l < err.txt)
    if [ $got -ne "$want" ] || [ "$lines" -ne "${err_lines:-1}" ] || ! grep -q -- "$pattern" err.txt || [ -s out.txt ]; then
        echo "FAIL plix-sim $*: status $got (want $want), stderr: $(cat err.txt), stdout: $(cat out.txt)"
        failed=1
    else
        echo "PASS plix-sim $*"
    fi
}

base=(--settings ok.ini --size 8x8 --seed 1 --frames 2)
long=$(printf 'd%.0s' $(seq 1 300))
expect 2 "missing --settings"
expect 2 "missing --frames" --settings ok.ini --size 8x8 --seed 1
expect 2 "missing value" --settings ok.ini --size 8x8 --seed 1 --frames
expect 2 "unknown argument" "${base[@]}" --bogus
expect 2 "given twice" "${base[@]}" --seed 2
for size in 0x8 8x0 -5x8 +5x8 32768x8 8x32768 8 8x x8 8x8x8 axb 99999999999999999999x1; do
    expect 2 "size" --settings ok.ini --size "$size" --seed 1 --frames 1
done
for seed in 2147483648 -2147483649 1.5 abc "" 0x10; do
    expect 2 "seed" --settings ok.ini --size 8x8 --seed "$seed" --frames 1
done
for frames in -1 2147483648 1e3 ""; do
    expect 2 "frames" --settings ok.ini --size 8x8 --seed 1 --frames "$frames"
done
expect 2 "longer than 255" --settings "$long" --size 8x8 --seed 1 --frames 1
expect 2 "file name" "${base[@]}" --raw ""

# The out-of-memory text is the saver's own, two lines.
err_lines=2
printf '[Plix]\ndot_count=100000000\ndot_history=1\n' > huge.ini
expect 1 "isn't enough memory" --settings huge.ini --size 8x8 --seed 1 --frames 1
printf '[Plix]\ndot_count=2147483647\ndot_history=1024\n' > huger.ini
expect 1 "isn't enough memory" --settings huger.ini --size 8x8 --seed 1 --frames 1
unset err_lines
expect 1 "cannot write" "${base[@]}" --raw no/such/dir/x.raw

# The extremes of every range are accepted; a missing settings file is all zero.
for args in "--size 1x1 --seed -2147483648 --frames 0" "--size 32767x1 --seed 2147483647 --frames 1"; do
    # shellcheck disable=SC2086
    out=$("$sim" --settings missing.ini $args --raw r.raw 2> err.txt)
    status=$?
    if [ $status -ne 0 ] || [ "$out" != "frames=${args##* } pixels_per_frame=0" ] || [ -s err.txt ]; then
        echo "FAIL plix-sim $args: status $status, stdout $out"
        failed=1
    else
        echo "PASS plix-sim $args"
    fi
done
if [ "$(stat -c %s r.raw)" -ne $((32767 * 4)) ]; then
    echo "FAIL raw size $(stat -c %s r.raw)"
    failed=1
fi

# The PNG shows what a person would see: bits 16-23 as red, 0-7 as blue. Decoded
# by an independent reader (ImageMagick) and compared with the raw words.
if command -v convert >/dev/null && command -v python3 >/dev/null; then
    printf '[Plix]\ndot_count=40\ndot_history=20\ninertia=10\nspeed_limit=3\nstarting_pos=1\n' > png.ini
    "$sim" --settings png.ini --size 37x23 --seed 5 --frames 30 --raw p.raw --png p.png > /dev/null &&
        convert p.png -depth 8 rgb:p.rgb &&
        python3 - <<'PY'
import sys
raw = open("p.raw", "rb").read()
rgb = open("p.rgb", "rb").read()
n = 37 * 23
lit = sum(1 for i in range(n) if raw[4 * i:4 * i + 3] != b"\0\0\0")
same = len(raw) == 4 * n and len(rgb) == 3 * n and all(
    rgb[3 * i] == raw[4 * i + 2] and rgb[3 * i + 1] == raw[4 * i + 1] and rgb[3 * i + 2] == raw[4 * i]
    for i in range(n))
sys.exit(0 if same and lit > 20 else 1)
PY
    if [ $? -ne 0 ]; then
        echo "FAIL png content differs from the raw pixels"
        failed=1
    else
        echo "PASS png content"
    fi
else
    echo "SKIP png content (needs ImageMagick convert and python3)"
fi

if ! "$sim" --help | grep -q "^usage: plix-sim --settings FILE --size WxH --seed N --frames K"; then
    echo "FAIL --help"
    failed=1
fi
exit $failed

#!/bin/bash
# plix-sim's command line: bad arguments give one line on stderr and status 2,
# an allocation failure the out-of-memory text and status 1, an unwritable output
# file a message and status 1, --help the usage and status 0. plix-ini's: what a
# write does to links, devices and other users' files, and its exit status.
# Every run has a time limit: a FIFO must not make either wait.
# usage: check_cli.sh PLIX_SIM PLIX_INI
set -u
sim=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
ini=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
defaults=$(cd "$(dirname "$0")/../../src/resources" && pwd)/Plix.default.ini
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
    timeout 20 "$sim" "$@" > out.txt 2> err.txt
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
expect 2 "missing --size"
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
expect 2 "file name" "${base[@]}" --tile-counts ""
for frames in -1 2147483648 1e3 ""; do
    expect 2 "frames-ahead" "${base[@]}" --frames-ahead "$frames"
done

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
# Without --settings, the shipped defaults, as plix takes them.
"$sim" --settings "$defaults" --size 60x40 --seed 1 --frames 50 --raw shipped.raw > /dev/null
out=$("$sim" --size 60x40 --seed 1 --frames 50 --raw default.raw 2> err.txt)
[ "$out" = "frames=50 pixels_per_frame=6600" ] && [ ! -s err.txt ] && cmp -s shipped.raw default.raw ||
    { echo "FAIL plix-sim without --settings: stdout $out, stderr $(cat err.txt)"; failed=1; }

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

# What cannot be read as settings is refused at once and said: a FIFO, a device,
# a file over 64 MiB.
mkfifo fifo
printf '[Plix]\r\na=1\r\n' > big.ini
truncate -s 65M big.ini
for f in fifo /dev/null big.ini; do
    expect 2 "cannot read --settings file (.*): $f" --settings "$f" --size 8x8 --seed 1 --frames 1
done

# plix-ini write of a=2 over a=1: PATH|STATUS|what holds afterwards. Through a
# symbolic link (its target need not exist), into every name of a hard link,
# never over a device or a FIFO, keeping another user's owner and mode; a
# read-only folder (as "nobody": root may write anywhere) fails. Rows that need
# root are left out without it.
chmod 755 "$dir"
mkdir sub ro
cp "$ini" plix-ini
for f in real.ini hard.ini other.ini ro/Plix.ini; do printf '[Plix]\r\na=1\r\n' > "$f"; done
ln -s ../real.ini sub/link.ini
ln -s ../gone.ini sub/dangling.ini
ln hard.ini hard2.ini
chmod 555 ro
root=$([ "$(id -u)" = 0 ] && command -v setpriv > /dev/null && echo 1)
if [ -n "$root" ]; then
    mknod dev.ini c 1 3
    chown 65534:65534 other.ini ro/Plix.ini
    chmod 640 other.ini
fi
while IFS='|' read -r path want holds; do
    runner=()
    [ "$path" = ro/Plix.ini ] && [ -n "$root" ] &&
        runner=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    [ -e "$path" ] || [ -L "$path" ] || continue
    out=$(timeout 20 "${runner[@]}" ./plix-ini write "$path" Plix a 2 2> err.txt)
    got=$?
    if [ $got -ne "$want" ] || [ "$out" != $((1 - want)) ] || ! eval "$holds" ||
        { [ "$want" != 0 ] && ! grep -q "cannot write $path: " err.txt; }; then
        echo "FAIL plix-ini write $path: status $got (want $want), stdout $out, stderr $(cat err.txt), holds: $holds"
        failed=1
    else
        echo "PASS plix-ini write $path"
    fi
done <<'TABLE'
sub/link.ini|0|[ -L sub/link.ini ] && grep -q a=2 real.ini
sub/dangling.ini|0|[ -L sub/dangling.ini ] && grep -q a=2 gone.ini
hard.ini|0|[ hard.ini -ef hard2.ini ] && grep -q a=2 hard2.ini
dev.ini|1|[ -c dev.ini ]
fifo|1|[ -p fifo ]
other.ini|0|[ "$(stat -c %u:%g:%a other.ini)" = 65534:65534:640 ] && grep -q a=2 other.ini
ro/Plix.ini|1|grep -q a=1 ro/Plix.ini && [ "$(ls ro)" = Plix.ini ]
TABLE
chmod 755 ro

# Writers at once, over a user's own busy.ini.new: each rename puts a whole file
# in place, so every key parses after each round and every writer succeeds; the
# user's file and no temporary one is left. Then the order on disk: the new
# file's data synced before its rename, the folder's entry after it.
mkdir race
{ printf '[Plix]\r\n'; for i in $(seq 20000); do printf 'k%d=%d\r\n' "$i" "$i"; done; } > race/busy.ini
echo mine > race/busy.ini.new
: > err.txt
for round in $(seq 30); do
    pids=()
    for w in 1 2 3; do
        timeout 20 ./plix-ini write race/busy.ini Plix "w$w" "$round" > /dev/null 2>> err.txt &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || echo "writer $pid: status $?" >> err.txt; done
    [ "$(./plix-ini get race/busy.ini Plix -d 0 k1 k20000 | tr '\n' ' ')" = "1 20000 " ] ||
        echo "round $round: $(tail -c 40 race/busy.ini | tr '\r\n' '  ')" >> err.txt
done
names=(race/*)
[ ! -s err.txt ] && [ "$(cat race/busy.ini.new)" = mine ] && [ "${names[*]}" = "race/busy.ini race/busy.ini.new" ] ||
    { echo "FAIL plix-ini writers at once: $(head -5 err.txt) ${names[*]}"; failed=1; }
if command -v strace > /dev/null; then
    strace -f -y -o trace.txt -e trace=fsync,fdatasync,rename,renameat,renameat2 \
        ./plix-ini write race/busy.ini Plix w 0 > /dev/null
    order=$(sed -n -e 's|^.*sync([0-9]*<'"$dir"'/race/busy\.ini\.[^/>]*>).*|file |p' \
        -e 's|^.*rename.*"race/busy\.ini".*|rename |p' -e 's|^.*fsync([0-9]*<'"$dir"'/race>).*|folder|p' trace.txt)
    [ "$(echo $order)" = "file rename folder" ] ||
        { echo "FAIL plix-ini write syncs: $(cat trace.txt)"; failed=1; }
else
    echo "SKIP plix-ini write syncs (needs strace)"
fi
rm err.txt
# A get from what cannot be read gives the default and status 1; a batch file is
# read up to 64 MiB.
for f in fifo big.ini; do
    out=$(timeout 20 "$ini" get "$f" Plix -d 7 a 2> err.txt)
    got=$?
    [ $got = 1 ] && [ "$out" = 7 ] && grep -q "cannot read $f: " err.txt ||
        { echo "FAIL plix-ini get $f: status $got, stdout $out, stderr $(cat err.txt)"; failed=1; }
done
timeout 20 "$ini" batch /dev/zero > out.txt 2> err.txt
got=$?
[ $got = 2 ] && [ ! -s out.txt ] && grep -q "over 64 MiB\|larger than 64 MiB" err.txt ||
    { echo "FAIL plix-ini batch /dev/zero: status $got, stderr $(cat err.txt)"; failed=1; }

if ! "$sim" --help | grep -q "^usage: plix-sim \[--settings FILE\] --size WxH --seed N --frames K"; then
    echo "FAIL --help"
    failed=1
fi
exit $failed

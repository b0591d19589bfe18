# Golden runs across builds: plix-sim.exe under Wine must write the very bytes the
# native plix-sim writes, and both the pinned hashes (rounding differences between
# compilers or x87/SSE would show here first).
. "$(dirname "${BASH_SOURCE[0]}")/../../golden/golden_lib.sh"

# golden_both NAME: the case run natively and under Wine, compared byte for byte.
golden_both() {
    local name=$1 dir
    dir=$(mktemp -d "$E2E_TMP/golden-$name.XXXX")
    mkdir "$dir/native"
    golden_run "$name" "$dir/native" "$(cd "$E2E_NATIVE_BUILD" && pwd)/plix-sim" ||
        { e2e_fail "native plix-sim failed on $name"; return 1; }
    local build f
    # Both Windows builds where both run.
    for build in "$E2E_WIN_BUILD" $E2E_OTHER_WIN_BUILD; do
        rm -rf "$dir/win" && mkdir "$dir/win"
        golden_run "$name" "$dir/win" $WINE "$build/plix-sim.exe" ||
            { e2e_fail "$build/plix-sim.exe failed on $name: $(cat "$dir/win/$name.out")"; return 1; }
        for f in "$name.raw" "$name.png"; do
            cmp "$dir/native/$f" "$dir/win/$f" || { e2e_fail "$f differs between builds ($build)"; return 1; }
        done
        if [ "$(tr -d '\r' < "$dir/win/$name.out")" != "$(cat "$dir/native/$name.out")" ]; then
            e2e_fail "stdout differs: $(cat "$dir/win/$name.out") vs $(cat "$dir/native/$name.out") ($build)"
            return 1
        fi
        golden_verify "$name" "$dir/win" || { e2e_fail "$build/plix-sim.exe off the pinned output"; return 1; }
    done
}

# One test per line of cases.txt (the harness finds tests by name in this file).
test_golden_inertial_bounce() { golden_both inertial_bounce; }
test_golden_inertial_wrap_inertia0() { golden_both inertial_wrap_inertia0; }
test_golden_brownian_centre() { golden_both brownian_centre; }
test_golden_history1_random() { golden_both history1_random; }
test_golden_history1024_clamped() { golden_both history1024_clamped; }
test_golden_negative_limit_min() { golden_both negative_limit_min; }
test_golden_huge_limit_wrap() { golden_both huge_limit_wrap; }
test_golden_screen_1024x768() { golden_both screen_1024x768; }

test_golden_every_case_has_a_test() {
    local name
    for name in $(golden_names); do
        declare -F "test_golden_$name" >/dev/null || { e2e_fail "no test for golden case $name"; return 1; }
    done
}

# The Windows program reports bad arguments and lack of memory as the native one does.
test_golden_exe_exit_statuses() {
    local dir
    dir=$(mktemp -d "$E2E_TMP/golden-cli.XXXX")
    local exe
    exe="$(cd "$E2E_WIN_BUILD" && pwd)/plix-sim.exe"
    cd "$dir" || return 1
    $WINE "$exe" --settings none.ini --size 0x5 --seed 1 --frames 1 > out.txt 2> err.txt
    local status=$?
    # Lines of Wine's own (a fresh prefix announces itself) are not the program's.
    if [ $status -ne 2 ] || [ "$(grep -vc '^wine: ' err.txt)" -ne 1 ] || ! grep -q size err.txt; then
        e2e_fail "bad size: status $status, stderr $(cat err.txt)"
        return 1
    fi
    printf '[Plix]\r\ndot_count=100000000\r\ndot_history=1\r\n' > huge.ini
    $WINE "$exe" --settings huge.ini --size 8x8 --seed 1 --frames 1 > out.txt 2> err.txt
    status=$?
    if [ $status -ne 1 ] || ! grep -q "isn't enough memory" err.txt || [ -s out.txt ]; then
        e2e_fail "out of memory: status $status, stderr $(cat err.txt)"
        return 1
    fi
}

#!/usr/bin/env bash
# Runs the end-to-end cases: Plix.scr under Wine on a private Xvfb display, or
# with --native the native programs' cases (tests/e2e/native/) without Wine.
# usage: tests/e2e/run.sh [--native] [--win-build DIR] [--native-build DIR] [CASEFILE[:TEST] ...]
# Every test_* function of each case file (or only TEST, a test_* function of
# it) runs in its own subshell with a fixed time-out; the last line is
# "N passed, N failed"; exit status 0 only if none failed.

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$here/../.." || exit 2

E2E_TEST_TIMEOUT=${E2E_TEST_TIMEOUT:-240}   # seconds per test function, whatever it waits for

win_build=""
native_build=build
cases=()
while [ $# -gt 0 ]; do
    case $1 in
        --win-build) win_build=$2; shift 2 ;;
        --native-build) native_build=$2; shift 2 ;;
        --native) export E2E_NATIVE=1; shift ;;
        -h|--help) sed -n '2,7p' "$0"; exit 0 ;;
        -*) echo "run.sh: unknown option $1" >&2; exit 2 ;;
        *) cases+=("$1"); shift ;;
    esac
done
if [ ${#cases[@]} -eq 0 ]; then
    if [ "${E2E_NATIVE:-0}" = 1 ]; then cases=("$here"/native/*.sh); else cases=("$here"/cases/*.sh); fi
fi

# shellcheck source-path=SCRIPTDIR source=lib.sh
. "$here/lib.sh"

current_test=""   # pid of the test subshell running now
trap '[ -z "$current_test" ] || e2e_kill_tree "$current_test"; e2e_teardown' EXIT
trap 'exit 130' INT TERM

e2e_setup "$win_build" "$native_build" || { echo "0 passed, 1 failed"; E2E_KEEP=1; exit 1; }

passed=0
failed=0

# run_test NAME: the function in a background subshell, watched by the clock.
run_test() {
    local name=$1 log="$E2E_TMP/$1.log" t0=$SECONDS status
    ( "$name" ) >"$log" 2>&1 </dev/null &
    local pid=$! t
    current_test=$pid
    for ((t = 0; t < E2E_TEST_TIMEOUT * 10; t++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        # What was on the screen is taken before anything is stopped.
        e2e_fail "timed out after ${E2E_TEST_TIMEOUT}s" >>"$log" 2>&1
        e2e_kill_tree "$pid"
        wait "$pid" 2>/dev/null
        status=124
    else
        wait "$pid"
        status=$?
    fi
    current_test=""
    if [ "$status" -ne 0 ] && ! grep -q '^screenshot: ' "$log"; then
        e2e_fail "returned status $status" >>"$log" 2>&1
    fi
    # Whatever the test left running goes now, so it cannot disturb the next one.
    e2e_kill_programs
    if [ "$status" -eq 0 ]; then
        passed=$((passed + 1))
        printf 'PASS %s (%ds)\n' "$name" $((SECONDS - t0))
    else
        failed=$((failed + 1))
        printf 'FAIL %s (%ds, status %d)\n' "$name" $((SECONDS - t0)) "$status"
        sed 's/^/    /' "$log"
    fi
}

for case_arg in "${cases[@]}"; do
    case_file=${case_arg%%:*}
    only=${case_arg#"$case_file"}
    only=${only#:}
    if [ ! -f "$case_file" ]; then
        echo "FAIL $case_file (no such case file)"
        failed=$((failed + 1))
        continue
    fi
    # The test_ functions in the order the file defines them.
    names=$(grep -oE '^[[:space:]]*(function[[:space:]]+)?test_[A-Za-z0-9_]+' "$case_file" |
        sed -E 's/^[[:space:]]*(function[[:space:]]+)?//')
    if [ -n "$only" ]; then
        if ! grep -qx -- "$only" <<<"$names"; then
            echo "FAIL $case_arg (no such test in $case_file)"
            failed=$((failed + 1))
            continue
        fi
        names=$only
    fi
    echo "== $(basename "$case_file")"
    # shellcheck disable=SC1090
    . "$case_file"
    for name in $names; do
        run_test "$name"
    done
    for name in $names; do unset -f "$name"; done
done

# shellcheck disable=SC2034  # read by e2e_teardown at exit
[ "$failed" -eq 0 ] || { E2E_KEEP=1; echo "logs and screenshots kept in $E2E_TMP"; }
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

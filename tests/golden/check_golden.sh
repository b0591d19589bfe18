#!/bin/bash
# Native golden check: plix-sim's --raw output for every pinned case, also with
# half its frames run ahead unseen (--frames-ahead), as the front ends can start.
# usage: check_golden.sh PLIX_SIM
set -u
. "$(dirname "$0")/golden_lib.sh"
sim=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0
for name in $(golden_names); do
    golden_run "$name" "$dir" "$sim"
    status=$?
    if [ $status -ne 0 ]; then
        echo "FAIL $name: plix-sim exited $status"
        failed=1
    elif ! golden_verify "$name" "$dir"; then
        echo "FAIL $name"
        failed=1
    elif ! golden_ahead "$name" "$dir" "$sim"; then
        echo "FAIL $name: with half its frames run ahead unseen, not the same screen"
        failed=1
    else
        echo "PASS $name"
    fi
done
exit $failed

#!/bin/bash
# Native golden check: plix-sim's --raw output for every pinned case.
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
    else
        echo "PASS $name"
    fi
done
exit $failed

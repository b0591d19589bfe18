# shellcheck shell=bash
# End-to-end cases for the preview (Plix.scr /p HANDLE) in plix-preview-host.exe,
# which stands in for the settings window and reports from the host's side: the
# windows inside its monitor, their owner, and the preview's exit status.

# preview_start DIR [SWITCH]: starts the host on DIR/Plix.scr and waits for the
# preview to start. Sets PREVIEW_OUT (the host's output), PREVIEW_IN (its
# commands), PREVIEW_HOST (its pid) and PREVIEW_PLIX (the preview's Windows pid).
preview_start() {
    local dir=$1 sw=${2:-/p}
    PREVIEW_OUT="$dir/host.out"
    PREVIEW_IN="$dir/host.in"
    mkfifo "$PREVIEW_IN" && : >"$PREVIEW_OUT" || return 1
    # Opened for reading and writing, the pipe never reaches its end for the host.
    # The full path: a bare name would find the Plix.scr beside the host first.
    (cd "$dir" && exec "$WINE" "$E2E_WIN_BUILD/plix-preview-host.exe" "Z:${dir//\//\\}\\Plix.scr" "$sw" \
        <>"$PREVIEW_IN" >"$PREVIEW_OUT" 2>>"$E2E_TMP/helpers.log") &
    PREVIEW_HOST=$!
    echo "$PREVIEW_HOST" >>"$E2E_TMP/pids"
    PREVIEW_PLIX=$(preview_wait '^plix ' 30) || { e2e_fail "the host never started the preview"; return 1; }
    PREVIEW_PLIX=${PREVIEW_PLIX#plix }
}

# preview_wait REGEX [SECONDS]: prints the first line of the host's output that
# matches; returns 1 if none comes in time.
preview_wait() {
    local t line
    for ((t = 0; t <= ${2:-5} * 10; t++)); do
        line=$(tr -d '\r' <"$PREVIEW_OUT" | grep -m 1 -E "$1") && { printf '%s\n' "$line"; return 0; }
        sleep 0.1
    done
    return 1
}

# preview_children: the windows inside the host's monitor, "HANDLE pid PID at X,Y size WxH".
preview_children() {
    local n
    n=$(($(grep -c '^children ' "$PREVIEW_OUT") + 1))
    echo list >"$PREVIEW_IN"
    preview_wait "^children $n " >/dev/null || return 1
    tr -d '\r' <"$PREVIEW_OUT" | sed -n "s/^child $n //p"
}

# The preview's Linux processes (the case directory is in their command line).
preview_processes() { ps -eo pid=,args= | grep -F "$(basename "$1")" | grep -F Plix.scr | grep -vF preview-host; }

test_preview_fills_the_hosts_window_and_ends_with_it() {
    local ends how sw dir children status rc=0 t
    # The host closes our window, destroys its own (our parent), or quits; the
    # forms /p HANDLE and /l:HANDLE take turns.
    for ends in "close /p" "destroy /l:" "quit /p"; do
        read -r how sw <<<"$ends"
        dir=$(e2e_case_dir) || return 1
        printf '[Plix]\r\ndot_count=40\r\ndot_history=30\r\nspeed_limit=3\r\nstarting_pos=1\r\n' \
            >"$dir/Plix.ini"
        e2e_wine_exe plix-spi.exe set 0 >/dev/null
        preview_start "$dir" "$sw" || return 1
        sleep 1  # some frames
        children=$(preview_children)
        echo "$how ($sw): preview pid $PREVIEW_PLIX, children: $children"
        [ "$children" = "${children%%$'\n'*}" ] && [[ "$children" =~ \ pid\ $PREVIEW_PLIX\ at\ 0,0\ size\ 152x112$ ]] ||
            { e2e_fail "$how: not one child of the preview's process filling the host"; rc=1; }
        preview_wait '^exit ' 0 && { e2e_fail "$how: the preview ended by itself"; rc=1; }
        # Showing a preview leaves the screen-saving state alone.
        [ "$(e2e_wine_exe plix-spi.exe get)" = 0 ] || { e2e_fail "$how: screen saving switched on"; rc=1; }
        echo "$how" >"$PREVIEW_IN"
        status=$(preview_wait '^exit ' 5) || status="no exit"
        echo "$how: $status"
        [[ "$status" =~ ^exit\ 0\ after\ ([0-9]+)\ ms$ ]] && [ "${BASH_REMATCH[1]}" -le 1000 ] ||
            { e2e_fail "$how: expected exit 0 within a second, got '$status'"; rc=1; }
        for ((t = 0; t < 50; t++)); do preview_processes "$dir" >/dev/null || break; sleep 0.1; done
        preview_processes "$dir" && { e2e_fail "$how: a preview process is left"; rc=1; }
        e2e_kill_programs
    done
    e2e_wine_exe plix-spi.exe set 1 >/dev/null
    return $rc
}

test_preview_ends_when_the_host_dies() {
    local dir t
    # Killed, the host says nothing: the preview notices its parent is gone.
    dir=$(e2e_case_dir) || return 1
    preview_start "$dir" || return 1
    preview_processes "$dir" >/dev/null || { e2e_fail "no preview process to watch"; return 1; }
    kill -9 "$PREVIEW_HOST"
    for ((t = 0; t < 30; t++)); do preview_processes "$dir" >/dev/null || return 0; sleep 0.1; done
    e2e_fail "the preview still runs 3 s after its host died"
}

test_preview_out_of_memory_ends_quietly_with_1() {
    local dir status
    dir=$(e2e_case_dir) || return 1
    printf '[Plix]\r\ndot_count=-1\r\n' >"$dir/Plix.ini"
    preview_start "$dir" || return 1
    status=$(preview_wait '^exit ' 10) || status="no exit"
    [[ "$status" = "exit 1 "* ]] || { e2e_fail "expected exit 1, got '$status'"; return 1; }
    e2e_no_window "Out of memory" 1 || { e2e_fail "a box popped up over the host"; return 1; }
    [ "$(preview_children)" = "" ] || e2e_fail "the preview left a window in the host"
}

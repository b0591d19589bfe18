# shellcheck shell=bash
# The preview (Plix.scr /p HANDLE) in plix-preview-host.exe, which stands in for
# the settings window and reports from the host's side what the preview did.

# preview_host DIR SWITCH STEP: runs the host on DIR/Plix.scr (the full path: a
# bare name would find the Plix.scr beside the host) and prints its output.
preview_host() {
    (cd "$1" && timeout 60 "$WINE" "$E2E_WIN_BUILD/plix-preview-host.exe" \
        "Z:${1//\//\\}\\Plix.scr" "$2" "$3" 2>>"$E2E_TMP/helpers.log" </dev/null | sed -u 's/\r$//')
}

# The Linux processes of DIR's preview (of its host with "host" after DIR).
preview_processes() {
    pgrep -af "$(basename "$1").Plix\.scr" |
        if [ "$2" = host ]; then grep -F preview-host; else grep -vF preview-host; fi
}

# preview_gone DIR SECONDS: succeeds once DIR's preview has no process left.
preview_gone() {
    local t
    for ((t = 0; t <= $2 * 10; t++)); do preview_processes "$1" >/dev/null || return 0; sleep 0.1; done
    return 1
}

test_preview_fills_the_hosts_window_and_ends_with_it() {
    local step sw dir out pid want rc=0
    # The host closes our window (after it resized its own), destroys its
    # parent, or goes; /p and /l: alike.
    # The X server puts the screen-saving state back to its default when its
    # last client leaves, as it may between two Wine programs: one kept connected.
    e2e_start_cmd "$E2E_TMP" xprop -root -spy
    for step in "close /p" "resize /p" "destroy /l:" "quit /p"; do
        read -r step sw <<<"$step"
        dir=$(e2e_case_dir) || return 1
        printf '[Plix]\r\ndot_count=40\r\ndot_history=30\r\nspeed_limit=3\r\n' >"$dir/Plix.ini"
        e2e_wine_exe plix-spi.exe set 0 >/dev/null
        out=$(preview_host "$dir" "$sw" "$step")
        echo "$step ($sw): $out"
        pid=$(sed -n 's/^plix //p' <<<"$out")
        want="child $pid 0,0 152x112"
        [ "$step" = resize ] && want+=$'\n'"child $pid 0,0 200x150"
        [ "$(grep '^child' <<<"$out")" = "$want" ] ||
            { e2e_fail "$step: not one window of the preview's process filling the host"; rc=1; }
        [[ "$(grep '^exit' <<<"$out")" =~ ^exit\ 0\ after\ ([0-9]+)\ ms$ ]] &&
            [ "${BASH_REMATCH[1]}" -le 1000 ] || { e2e_fail "$step: no exit 0 within a second"; rc=1; }
        preview_gone "$dir" 1 || { e2e_fail "$step: a preview process is left"; rc=1; }
        # A preview leaves the screen-saving state alone.
        [ "$(e2e_wine_exe plix-spi.exe get)" = 0 ] || { e2e_fail "$step: screen saving switched on"; rc=1; }
    done
    e2e_wine_exe plix-spi.exe set 1 >/dev/null
    return $rc
}

test_preview_ends_when_the_host_is_killed() {
    local dir t
    dir=$(e2e_case_dir) || return 1
    preview_host "$dir" /p wait >"$dir/out" &
    for ((t = 0; t < 100; t++)); do grep -q '^child' "$dir/out" && break; sleep 0.1; done
    preview_processes "$dir" || { e2e_fail "no preview started"; return 1; }
    kill -9 $(preview_processes "$dir" host | awk '{print $1}')
    preview_gone "$dir" 2 || e2e_fail "the preview still runs 2 s after its host was killed"
}

# What the preview cannot be shown in ends it at once with status 1, no window
# and no box: settings that need more memory than there is, and the desktop
# window as host (a child of it would be a full-screen window nothing ends).
test_preview_refusals_end_quietly_with_1() {
    local row ini sw step dir out rc=0
    for row in "dot_count=-1|/p|close" "dot_count=40|/p|desktop" "dot_count=40|/l:|desktop"; do
        IFS='|' read -r ini sw step <<<"$row"
        dir=$(e2e_case_dir) || return 1
        printf '[Plix]\r\n%s\r\n' "$ini" >"$dir/Plix.ini"
        out=$(preview_host "$dir" "$sw" "$step")
        echo "$row: $out"
        grep -q '^exit 1 ' <<<"$out" && ! grep -q '^child' <<<"$out" ||
            { e2e_fail "$row: expected status 1 and no window in the host, no box"; rc=1; }
        preview_gone "$dir" 1 || {
            e2e_fail "$row: the preview still runs"
            kill $(preview_processes "$dir" | awk '{print $1}')
            rc=1
        }
    done
    return $rc
}

# While the display is off the preview takes no processor time; on again, it does.
test_preview_display_off_takes_no_time() {
    local dir pid t state t0 used=() rc=0
    dir=$(e2e_case_dir) || return 1
    printf '[Plix]\r\ndot_count=40\r\ndot_history=30\r\nspeed_limit=3\r\n' >"$dir/Plix.ini"
    preview_host "$dir" /p wait >"$dir/out" &
    for ((t = 0; t < 100; t++)); do grep -q '^child' "$dir/out" && break; sleep 0.1; done
    pid=$(preview_processes "$dir" | awk 'NR == 1 {print $1}')
    [ -n "$pid" ] || { e2e_fail "no preview started"; return 1; }
    for state in on off on; do
        e2e_wine_exe plix-power.exe "Plix preview" "$state" || { e2e_fail "plix-power $state failed"; rc=1; }
        sleep 0.5
        t0=$(e2e_ticks "$pid") && sleep 2 && used+=($(($(e2e_ticks "$pid") - t0)))
    done
    echo "ticks over 2 s: display on ${used[0]}, off ${used[1]}, on again ${used[2]}"
    [ "${used[1]}" -le 2 ] || { e2e_fail "the preview still runs while the display is off"; rc=1; }
    [ "${used[0]}" -gt 2 ] && [ "${used[2]}" -gt 2 ] ||
        { e2e_fail "the preview takes no time with the display on: nothing to compare"; rc=1; }
    kill -9 $(preview_processes "$dir" host | awk '{print $1}')
    return $rc
}

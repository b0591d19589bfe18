# shellcheck shell=bash
# Start-up under Wine: the exit status of each run mode, and the "Out of memory"
# box of the saver's set-up.

OOM_TEXT="Sorry, there isn't enough memory to run the screensaver.\\r\\nTry specifying fewer Plix or shorter trails in the configuration."

# write_ini DIR LINE...: DIR/Plix.ini with section [Plix] and the given lines.
write_ini() {
    local dir=$1
    shift
    { printf '[Plix]\r\n'; printf '%s\r\n' "$@"; } >"$dir/Plix.ini"
}

test_unserved_modes_exit_1() {
    local dir args status bad=0
    dir=$(e2e_case_dir) || return 1
    # A preview into a handle naming no window, password and unknown switches
    # end at once with status 1.
    for args in "/p 5678" "/l:5678" "/a 1" "/x"; do
        # shellcheck disable=SC2086  # the switch and its handle are separate words
        status=$(e2e_run "$dir" $args)
        if [ "$status" != 1 ]; then
            echo "Plix.scr $args: exit status $status, expected 1"
            bad=1
        fi
    done
    [ ! -e "$dir/Plix.ini" ] || { echo "a settings file appeared"; bad=1; }
    [ "$bad" = 0 ] || e2e_fail "unserved modes"
}

# run_saver_to_end DIR: runs /s; should the saver window show, a key press ends
# it. Prints the exit status.
run_saver_to_end() {
    local dir=$1 win t
    e2e_start "$dir" /s
    for ((t = 0; t < 150; t++)); do
        [ -f "$E2E_TAG.status" ] && break
        win=$(e2e_find_window "Plix screensaver")
        if [ -n "$win" ]; then
            xdotool windowfocus --sync "$win" key space
            break
        fi
        sleep 0.2
    done
    e2e_wait_exit 30
}

test_saver_without_settings_file_exits_0() {
    local dir status
    dir=$(e2e_case_dir) || return 1
    status=$(run_saver_to_end "$dir")
    [ "$status" = 0 ] || { e2e_fail "exit status $status, expected 0"; return 1; }
    # The saver only reads its settings; it never creates the file.
    [ ! -e "$dir/Plix.ini" ] || { e2e_fail "the saver created Plix.ini"; return 1; }
}

test_saver_with_no_dots_exits_0() {
    local dir status
    dir=$(e2e_case_dir) || return 1
    write_ini "$dir" dot_count=0 dot_history=5000
    status=$(run_saver_to_end "$dir")
    [ "$status" = 0 ] || e2e_fail "exit status $status, expected 0"
}

# expect_out_of_memory DIR SECONDS [SWITCH]: runs the saver (/s by default),
# expects the box within SECONDS and never the saver window; checks the box's
# text, dismisses it, expects status 1.
expect_out_of_memory() {
    local dir=$1 limit=$2 switch=${3:-/s} win text status
    e2e_start "$dir" "$switch"
    win=$(e2e_wait_window "Out of memory" "$limit") ||
        { e2e_fail "no \"Out of memory\" box within ${limit}s"; return 1; }
    e2e_no_window "Plix screensaver" 0 ||
        { e2e_fail "the saver window is shown alongside the box"; return 1; }
    if [ -f "$E2E_WIN_BUILD/wintext.exe" ]; then
        text=$(e2e_wine_exe wintext.exe "Out of memory")
        if ! grep -qxF "Static: $OOM_TEXT" <<<"$text"; then
            e2e_fail "the box's text is not the expected one; it holds:
$text"
            return 1
        fi
    fi
    xdotool windowfocus --sync "$win" key Return
    # Nothing of the saver may show on the way out either.
    e2e_no_window "Plix screensaver" 1 ||
        { e2e_fail "the saver window appeared after the box"; return 1; }
    status=$(e2e_wait_exit 20)
    [ "$status" = 1 ] || { e2e_fail "exit status $status after the box, expected 1"; return 1; }
}

test_negative_dot_count_is_out_of_memory() {
    local dir
    dir=$(e2e_case_dir) || return 1
    write_ini "$dir" dot_count=-1
    expect_out_of_memory "$dir" 30
}

test_huge_dot_count_is_out_of_memory() {
    local dir
    dir=$(e2e_case_dir) || return 1
    # 2e9 records of 4120 bytes: beyond any 32-bit size. A 64-bit build asks for
    # 8 TB, which 64-bit Wine reserves first, writing one protection byte per
    # 4 KiB page (2 GB, 10 s idle, over a minute on a busy machine), then refuses.
    write_ini "$dir" dot_count=2000000000
    expect_out_of_memory "$dir" 150
}

test_saver_switch_forms_in_a_directory_with_blanks() {
    local dir sw
    dir=$(e2e_case_dir) || return 1
    # Wine quotes a program path with blanks; the saver must skip it whole and
    # still find Plix.ini beside itself (the box proves both).
    mkdir "$dir/a dir with blanks" && mv "$dir/Plix.scr" "$dir/a dir with blanks/" || return 1
    dir="$dir/a dir with blanks"
    write_ini "$dir" dot_count=-1
    for sw in -S save; do
        expect_out_of_memory "$dir" 30 "$sw" || { echo "(switch $sw)"; return 1; }
    done
}

# The configuration dialog under Wine: its template, what it shows and stores,
# the ways out of it, the About box, its owner, and the settings it hands on to
# the saver and to plix-sim. Fields are read from outside with dialog-probe.exe.

DLG_TITLE="Plix screensaver configuration"

dlg_probe() { e2e_wine_exe dialog-probe.exe "$@"; }

# dlg_open DIR ARGS...: starts Plix.scr, waits for the dialog, gives it the keyboard.
dlg_open() {
    e2e_start "$@"
    DLG_WIN=$(e2e_wait_window "$DLG_TITLE" 30) || { e2e_fail "no dialog for: ${*:2}"; return 1; }
    xdotool windowfocus --sync "$DLG_WIN" 2>/dev/null
    return 0
}

# dlg_click ID [TITLE]: clicks control ID (or "close": the caption's close box).
dlg_click() {
    local xy
    xy=$(dlg_probe where "${2:-$DLG_TITLE}" "$1")
    case $xy in
        [0-9]*' '[0-9]*) xdotool mousemove $xy click 1 ;;
        *) e2e_fail "cannot click $1 in \"${2:-$DLG_TITLE}\": $xy" ;;
    esac
}

# dlg_type ID TEXT: replaces the text of edit field ID with TEXT, as a user would.
dlg_type() {
    dlg_click "$1" || return 1
    xdotool key End shift+Home Delete
    [ -z "$2" ] || xdotool type --delay 15 -- "$2"
}

# The eight fields as "ID value" lines: edit text, or the check state of a box.
dlg_fields() { dlg_probe fields | sed -n '/^1[01][0-9] /p'; }
dlg_owner() { dlg_probe fields | sed -n 's/^owner //p'; }

# dlg_expect_fields EXPECTED WHAT: the fields must read EXPECTED.
dlg_expect_fields() {
    local got
    got=$(dlg_fields)
    [ "$got" = "$1" ] || { e2e_fail "$2: fields are" "$got" "expected" "$1"; return 1; }
}

# dlg_wait_closed: the program ended by itself within 15 s and its dialog is gone.
dlg_wait_closed() {
    local status
    status=$(e2e_wait_exit 15)
    [ "$status" != 124 ] || { e2e_fail "the dialog did not end"; return 1; }
    [ -z "$(e2e_find_window "$DLG_TITLE")" ] || { e2e_fail "the program ended but its dialog stayed"; return 1; }
}

# A Unix path as Wine's Z: drive spells it.
dlg_winpath() {
    local p=$1
    [ "${p#/}" != "$p" ] || p="$PWD/$p"
    printf 'Z:%s' "${p//\//\\}"
}

# The settings file without its carriage returns.
dlg_ini() { tr -d '\r' <"$1/Plix.ini"; }

dlg_expect_ini() {
    local got
    got=$(dlg_ini "$1")
    [ "$got" = "$2" ] || { e2e_fail "$3: Plix.ini is" "$got" "expected" "$2"; return 1; }
}

# dlg_ini_with N H I S B O C R: the file OK writes for these eight values.
dlg_ini_with() {
    printf '[Plix]\ndot_count=%s\ndot_history=%s\ninertia=%s\nspeed_limit=%s\n' "$1" "$2" "$3" "$4"
    printf 'brownian=%s\nbounce=%s\nchow=%s\nstarting_pos=%s' "$5" "$6" "$7" "$8"
}

dlg_fields_with() {
    printf '104 %s\n105 %s\n106 %s\n107 %s\n108 %s\n109 %s\n110 %s\n111 %s' "$@"
}

# Wine draws a window's caption itself only for windows it does not hand to a
# window manager; the test display has none, so the close box needs this.
dlg_unmanaged_windows() {
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}
dlg_managed_windows() {
    "$WINE" reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1
}

test_template_matches_the_layout_and_every_text_fits() {
    local WS_POPUP=0x80000000 WS_CHILD=0x40000000 WS_VISIBLE=0x10000000 WS_CAPTION=0x00C00000
    local WS_BORDER=0x00800000 WS_SYSMENU=0x00080000 WS_GROUP=0x00020000 WS_TABSTOP=0x00010000
    local DS_MODALFRAME=0x80 DS_SETFONT=0x40 BS_DEFPUSHBUTTON=1 BS_AUTOCHECKBOX=3 ES_AUTOHSCROLL=0x80
    hex() { printf '0x%08x' $(($1)); }
    local def push label edit box
    def=$(hex "WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON")
    push=$(hex "WS_CHILD | WS_VISIBLE | WS_TABSTOP")
    label=$(hex "WS_CHILD | WS_VISIBLE | WS_GROUP")
    edit=$(hex "WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL")
    box=$(hex "WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX")
    local expected
    expected="dialog style=$(hex "WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT") exstyle=0x00000000 rect=57,105,253,94 menu=\"\" class=\"\" caption=\"$DLG_TITLE\" font=8,\"MS Sans Serif\" items=15
item id=101 class=BUTTON style=$def exstyle=0x00000000 rect=10,70,50,14 text=\"OK\"
item id=102 class=BUTTON style=$push exstyle=0x00000000 rect=101,70,50,14 text=\"Cancel\"
item id=103 class=BUTTON style=$push exstyle=0x00000000 rect=192,70,50,14 text=\"About\"
item id=-1 class=STATIC style=$label exstyle=0x00000000 rect=10,10,92,12 text=\"Amount of Plix\"
item id=104 class=EDIT style=$edit exstyle=0x00000000 rect=106,8,30,12 text=\"\"
item id=-1 class=STATIC style=$label exstyle=0x00000000 rect=10,25,92,12 text=\"Trail length (1024 or less)\"
item id=105 class=EDIT style=$edit exstyle=0x00000000 rect=106,23,30,12 text=\"\"
item id=-1 class=STATIC style=$label exstyle=0x00000000 rect=10,40,92,12 text=\"Inertia\"
item id=106 class=EDIT style=$edit exstyle=0x00000000 rect=106,38,30,12 text=\"\"
item id=-1 class=STATIC style=$label exstyle=0x00000000 rect=10,55,92,12 text=\"Speed_limit\"
item id=107 class=EDIT style=$edit exstyle=0x00000000 rect=106,53,30,12 text=\"\"
item id=108 class=BUTTON style=$box exstyle=0x00000000 rect=142,8,101,12 text=\"Brownian Motion\"
item id=109 class=BUTTON style=$box exstyle=0x00000000 rect=142,23,101,12 text=\"Bounce\"
item id=110 class=BUTTON style=$box exstyle=0x00000000 rect=142,38,101,12 text=\"Chow\"
item id=111 class=BUTTON style=$box exstyle=0x00000000 rect=142,53,101,12 text=\"Random starting positions\""
    # The build that runs here, and both products where they have been built.
    local scr got checked=0
    for scr in "$E2E_WIN_BUILD/Plix.scr" build-win32/Plix.scr build-win64/Plix.scr; do
        [ -f "$scr" ] || continue
        got=$(dlg_probe template "$(dlg_winpath "$scr")")
        [ "$got" = "$expected" ] || { e2e_fail "template of $scr:" "$got" "expected" "$expected"; return 1; }
        checked=$((checked + 1))
    done
    [ "$checked" -gt 0 ] || { e2e_fail "no Plix.scr to read"; return 1; }
    # Every label, box and button of the running dialog shows its whole text.
    local texts
    dlg_open "$(e2e_case_dir)" || return 1
    texts=$(dlg_probe texts)
    printf '%s\n' "$texts"
    [ "$(grep -c '^fits ' <<<"$texts")" = 11 ] || { e2e_fail "texts cut or missing:" "$texts"; return 1; }
}

# The new file's data is flushed to the disk before it takes the old one's
# place (a trace of those two calls), so a power loss leaves one of them whole.
test_first_run_shows_zeros_and_ok_writes_every_key() {
    local dir calls pid
    dir=$(e2e_case_dir)
    "$WINE" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d 'FlushFileBuffers;MoveFileExA' /f \
        >/dev/null 2>&1 || return 1
    WINEDEBUG=+relay dlg_open "$dir" || return 1
    dlg_expect_fields "$(dlg_fields_with 0 0 0 0 0 0 0 0)" "with no settings file" || return 1
    [ ! -e "$dir/Plix.ini" ] || { e2e_fail "opening the dialog created Plix.ini"; return 1; }
    dlg_click 101 || return 1
    dlg_wait_closed || return 1
    dlg_expect_ini "$dir" "$(dlg_ini_with 0 0 0 0 0 0 0 0)" "after OK" || return 1
    # The calls of the process that moved the file: Wine's own programs flush files too.
    pid=$(sed -n 's/^\([0-9a-f]*\):Ret  *KERNEL32\.MoveFileExA(.*) retval=0*1 .*/\1/p' "$E2E_TAG.log" | head -n 1)
    calls=$(sed -n "s/^$pid:Ret  *KERNEL32\\.\\(FlushFileBuffers\\|MoveFileExA\\)(.*) retval=0*1 .*/\\1/p" "$E2E_TAG.log")
    [ "$(echo $calls)" = "FlushFileBuffers MoveFileExA" ] ||
        { e2e_fail "calls: $calls" "$(grep -i 'FlushFileBuffers\|MoveFileExA' "$E2E_TAG.log")"; return 1; }
}

# dlg_typing_round IN_FILE SHOWN TYPED STORED: with the four numbers IN_FILE
# stored (none: no file), the fields must show SHOWN (unclamped, as unsigned
# numbers); typing TYPED ("a|b|c|d") into them and pressing OK must store
# STORED: each field read as an unsigned number and written signed, with empty
# text, letters and numbers past 4294967295 read as 0.
dlg_typing_round() {
    local dir id typed got want
    dir=$(e2e_case_dir)
    # shellcheck disable=SC2086
    [ -z "$1" ] || dlg_ini_with $1 0 0 0 0 >"$dir/Plix.ini"
    dlg_open "$dir" || return 1
    # shellcheck disable=SC2086
    dlg_expect_fields "$(dlg_fields_with $2 0 0 0 0)" "opened on '$1'" || return 1
    IFS='|' read -r -a typed <<<"$3"
    for id in 0 1 2 3; do dlg_type $((104 + id)) "${typed[id]}" || return 1; done
    got=$(dlg_fields | sed -n '1,4p')
    want=$(printf '104 %s\n105 %s\n106 %s\n107 %s' "${typed[@]}")
    [ "$got" = "$want" ] || { e2e_fail "typing did not reach the fields:" "$got" "expected" "$want"; return 1; }
    dlg_click 101 || return 1
    dlg_wait_closed || return 1
    # shellcheck disable=SC2086
    dlg_expect_ini "$dir" "$(dlg_ini_with $4 0 0 0 0)" "after typing '$3'"
}

# Each round starts from what the one before stored.
test_typed_trail_length_letters_and_largest_number() {
    dlg_typing_round "" "0 0 0 0" "12|2000|letters|4294967295" "12 2000 0 -1"
}

test_typed_overflow_empty_field_and_sign_boundary() {
    dlg_typing_round "12 2000 0 -1" "12 2000 0 4294967295" \
        "12345678901234567890||2147483648|0042" "0 0 -2147483648 42"
}

test_typed_just_past_the_largest_and_largest_positive() {
    dlg_typing_round "0 0 -2147483648 42" "0 0 2147483648 42" \
        "1|4294967296|0|2147483647" "1 0 0 2147483647"
}

test_check_boxes_store_one_when_checked_and_zero_otherwise() {
    local dir
    dir=$(e2e_case_dir)
    # Flags other than 0 and 1 are handed to the boxes as stored; Wine's check
    # boxes show every such value as checked.
    printf '[Plix]\r\ndot_count=5\r\ndot_history=6\r\ninertia=7\r\nspeed_limit=8\r\nbrownian=0\r\nbounce=7\r\nchow=2\r\nstarting_pos=-1\r\n' >"$dir/Plix.ini"
    dlg_open "$dir" || return 1
    dlg_expect_fields "$(dlg_fields_with 5 6 7 8 0 1 1 1)" "flags 0, 7, 2, -1" || return 1
    dlg_click 108 || return 1
    dlg_click 109 || return 1
    dlg_expect_fields "$(dlg_fields_with 5 6 7 8 1 0 1 1)" "after clicking Brownian Motion and Bounce" || return 1
    dlg_click 101 || return 1
    dlg_wait_closed || return 1
    dlg_expect_ini "$dir" "$(dlg_ini_with 5 6 7 8 1 0 1 1)" "after OK" || return 1
    # And back: every box cleared stores 0 for each.
    dlg_open "$dir" || return 1
    for id in 108 110 111; do dlg_click $id || return 1; done
    dlg_expect_fields "$(dlg_fields_with 5 6 7 8 0 0 0 0)" "after clearing every box" || return 1
    dlg_click 101 || return 1
    dlg_wait_closed || return 1
    dlg_expect_ini "$dir" "$(dlg_ini_with 5 6 7 8 0 0 0 0)" "after clearing every box and OK"
}

# dlg_leave_after_edits DIR WAY: edits three fields, then leaves the dialog by
# WAY (cancel, escape or close: the caption's close box); it must end.
dlg_leave_after_edits() {
    local dir=$1 way=$2 got
    [ "$way" = close ] && dlg_unmanaged_windows
    dlg_open "$dir" || return 1
    [ "$way" = close ] && dlg_managed_windows
    dlg_type 104 999 || return 1
    dlg_type 107 5 || return 1
    dlg_click 109 || return 1
    got=$(dlg_fields | sed -n '1p;4p;6p')
    [ "$got" = $'104 999\n107 5\n109 1' ] || { e2e_fail "$way: the edits did not take: $got"; return 1; }
    case $way in
        cancel) dlg_click 102 || return 1 ;;
        escape) xdotool windowfocus --sync "$DLG_WIN" key Escape ;;
        close) dlg_click close || return 1 ;;
    esac
    dlg_wait_closed || { echo "(way out: $way)"; return 1; }
}

# Cancel, the Escape key and the caption's close box end the dialog and leave
# the file as it was, byte for byte, after edits.
test_cancel_escape_and_close_box_leave_the_file_alone() {
    trap dlg_managed_windows EXIT
    local original way dir
    # Deliberately not in the dialog's own layout: a comment, another section,
    # a missing key, odd spacing, no final line break.
    original=$(printf '; kept as is\r\n[Other]\r\nx=1\r\n[Plix]\r\ndot_count = 3\r\ndot_history=9\r\nbrownian=1')
    for way in cancel escape close; do
        dir=$(e2e_case_dir)
        printf '%s' "$original" >"$dir/Plix.ini"
        dlg_leave_after_edits "$dir" $way || return 1
        cmp -s "$dir/Plix.ini" <(printf '%s' "$original") ||
            { e2e_fail "$way: Plix.ini changed:" "$(cat -A "$dir/Plix.ini")"; return 1; }
    done
}

# ... and where there was no settings file, none appears.
test_cancel_escape_and_close_box_create_no_file() {
    trap dlg_managed_windows EXIT
    local way dir
    for way in cancel escape close; do
        dir=$(e2e_case_dir)
        dlg_leave_after_edits "$dir" $way || return 1
        [ ! -e "$dir/Plix.ini" ] || { e2e_fail "$way: Plix.ini was created"; return 1; }
    done
}

test_enter_acts_as_ok() {
    local dir
    dir=$(e2e_case_dir)
    dlg_open "$dir" || return 1
    dlg_type 104 31 || return 1
    xdotool windowfocus --sync "$DLG_WIN" key Return
    dlg_wait_closed || return 1
    dlg_expect_ini "$dir" "$(dlg_ini_with 31 0 0 0 0 0 0 0)" "after Enter in a field"
}

test_about_shows_its_text_and_returns_to_the_dialog() {
    local dir
    dir=$(e2e_case_dir)
    dlg_open "$dir" || return 1
    dlg_type 105 77 || return 1
    dlg_click 103 || return 1
    e2e_wait_window About 15 >/dev/null || { e2e_fail "no About box"; return 1; }
    local got expected
    got=$(dlg_probe about)
    expected='owner-is-dialog 1
text Plix screensaver\r\nv0.8\r\n31/07/2000\r\n\r\nby the Plix team\r\nplix-team@example.org\r\nhttp://plix.example.org/\r\n\r\nThis screensaver is free, but I would\r\ngreatly appreciate any donations.'
    [ "$got" = "$expected" ] || { e2e_fail "About box:" "$got" "expected" "$expected"; return 1; }
    dlg_click 1 About || return 1
    local t
    for ((t = 0; t < 50; t++)); do
        [ -z "$(e2e_find_window About)" ] && break
        sleep 0.2
    done
    [ -z "$(e2e_find_window About)" ] || { e2e_fail "the About box stayed after its OK"; return 1; }
    # Back in the dialog, as it was, and About wrote nothing.
    e2e_wait_window "$DLG_TITLE" 2 >/dev/null || { e2e_fail "the dialog went with the About box"; return 1; }
    dlg_expect_fields "$(dlg_fields_with 0 77 0 0 0 0 0 0)" "after About" || return 1
    [ ! -e "$dir/Plix.ini" ] || { e2e_fail "About wrote Plix.ini"; return 1; }
    dlg_click 102 || return 1
    dlg_wait_closed
}

# dlg_owner_window SECONDS: starts a window "Plix test owner" that stays for
# SECONDS, made the foreground window; sets DLG_OWNER to its handle and
# DLG_OWNER_PID to its process.
dlg_owner_window() {
    local out t
    out=$(mktemp "$E2E_TMP/owner.XXXXXX")
    "$WINE" "$E2E_WIN_BUILD/dialog-probe.exe" owner "$1" >"$out" 2>/dev/null </dev/null &
    DLG_OWNER_PID=$!
    for ((t = 0; t < 200; t++)); do
        [ -s "$out" ] && break
        sleep 0.1
    done
    DLG_OWNER=$(tr -d '\r\n' <"$out")
    [ -n "$DLG_OWNER" ] || { e2e_fail "the owner window did not start"; return 1; }
}

# dlg_expect_owners ROW...: each ROW is "ARGUMENTS|OWNER"; Plix.scr started with
# the arguments shows the dialog owned by the window OWNER (0: none).
dlg_expect_owners() {
    local row args want got dir
    for row in "$@"; do
        args=${row%|*} want=${row##*|}
        dir=$(e2e_case_dir)
        # Word splitting of the arguments is the point here.
        # shellcheck disable=SC2086
        dlg_open "$dir" $args || { echo "(arguments: '$args')"; return 1; }
        got=$(dlg_owner)
        [ "$got" = "$want" ] || { e2e_fail "arguments '$args': owner $got, expected $want"; return 1; }
        dlg_click 102 || return 1
        dlg_wait_closed || return 1
    done
}

# Every spelling of the configuration switch, and none at all, opens the dialog;
# a bare /c gives it the foreground window as owner.
test_command_line_forms_open_the_dialog() {
    dlg_owner_window 100 || return 1
    trap "kill $DLG_OWNER_PID 2>/dev/null" EXIT
    local h=$DLG_OWNER
    e2e_wait_window "Plix test owner" 10 >/dev/null || { e2e_fail "the owner window is not shown"; return 1; }
    dlg_expect_owners "|0" "/c|$h" "/configure|0" "-C::  $h|$h" "c$h|$h"
}

# /c:HANDLE and /c HANDLE own the dialog by that window; a handle that names no
# window (mistyped, or its window has closed) gives an unowned dialog, not none.
test_owner_handles_from_the_command_line() {
    # A window that has come and gone: its handle names nothing any more.
    dlg_owner_window 0 || return 1
    wait "$DLG_OWNER_PID"
    local closed=$DLG_OWNER
    dlg_owner_window 100 || return 1
    trap "kill $DLG_OWNER_PID 2>/dev/null" EXIT
    local h=$DLG_OWNER
    e2e_wait_window "Plix test owner" 10 >/dev/null || { e2e_fail "the owner window is not shown"; return 1; }
    dlg_expect_owners "/c:$h|$h" "/c $h|$h" "/c:12345|0" "/c:$closed|0"
}

# dlg_configure DIR [INI_DIR [FIELDS]]: sets 40 dots, trail length 2000, inertia
# 10, speed limit 3, bounce and random starts through the dialog, and checks what
# it stored in INI_DIR/Plix.ini (default DIR's); with FIELDS, that the dialog
# opened showing them.
dlg_configure() {
    local dir=$1
    dlg_open "$dir" || return 1
    [ -z "${3-}" ] || dlg_expect_fields "$3" "opened" || return 1
    dlg_type 104 40 || return 1
    dlg_type 105 2000 || return 1
    dlg_type 106 10 || return 1
    dlg_type 107 3 || return 1
    dlg_click 109 || return 1
    dlg_click 111 || return 1
    dlg_click 101 || return 1
    dlg_wait_closed || return 1
    dlg_expect_ini "${2:-$dir}" "$(dlg_ini_with 40 2000 10 3 0 1 0 1)" "after configuring"
}

# plix-sim reads what the dialog wrote, with the trail length of 2000 used as
# 1024: 40 dots of 1024 + 2 pixels each per frame.
test_plix_sim_reads_the_dialog_settings() {
    local dir sim
    dir=$(e2e_case_dir)
    dlg_configure "$dir" || return 1
    if [ -x "$E2E_NATIVE_BUILD/plix-sim" ]; then
        sim=$("$E2E_NATIVE_BUILD/plix-sim" --settings "$dir/Plix.ini" --size 64x48 --seed 1 --frames 1)
    elif [ -f "$E2E_WIN_BUILD/plix-sim.exe" ]; then
        sim=$(e2e_wine_exe plix-sim.exe --settings "$(dlg_winpath "$dir/Plix.ini")" --size 64x48 --seed 1 --frames 1)
    else
        e2e_fail "plix-sim is not built"
        return 1
    fi
    [ "$sim" = "frames=1 pixels_per_frame=41040" ] || { e2e_fail "plix-sim said: $sim"; return 1; }
}

# dlg_saver_shows_dots DIR: Plix.scr /s from DIR shows dots on a black screen; a
# key ends it with status 0.
dlg_saver_shows_dots() {
    local saver="" t shot lit status
    e2e_start "$1" /s
    for ((t = 0; t < 100; t++)); do
        saver=$(e2e_find_window "Plix screensaver")
        [ -n "$saver" ] || [ -f "$E2E_TAG.status" ] && break
        sleep 0.2
    done
    [ -n "$saver" ] || { e2e_fail "no saver window (exit status: $(cat "$E2E_TAG.status" 2>/dev/null))"; return 1; }
    sleep 2
    shot=$(e2e_shot dialog-saver)
    lit=$(convert "$shot" -colorspace gray -threshold 0 -format '%[fx:round(mean*w*h)]' info:)
    [ "${lit:-0}" -gt 0 ] || { e2e_fail "the saver shows no dots"; return 1; }
    xdotool windowfocus --sync "$saver" key space
    status=$(e2e_wait_exit 20)
    [ "$status" = 0 ] || { e2e_fail "the saver ended with $status"; return 1; }
}

# The saver run after the dialog uses what it stored.
test_saver_runs_with_the_dialog_settings() {
    local dir
    dir=$(e2e_case_dir)
    dlg_configure "$dir" || return 1
    dlg_saver_shows_dots "$dir"
}

# A count typed as 4294967295 is stored as -1, which the saver's set-up refuses
# with the out-of-memory box and status 1.
test_saver_refuses_a_count_typed_as_4294967295() {
    local dir box status
    dir=$(e2e_case_dir)
    dlg_open "$dir" || return 1
    dlg_type 104 4294967295 || return 1
    dlg_click 101 || return 1
    dlg_wait_closed || return 1
    dlg_expect_ini "$dir" "$(dlg_ini_with -1 0 0 0 0 0 0 0)" "after typing 4294967295" || return 1
    e2e_start "$dir" /s
    box=$(e2e_wait_window "Out of memory" 20) || { e2e_fail "no out-of-memory box"; return 1; }
    xdotool windowfocus --sync "$box" key Return
    status=$(e2e_wait_exit 20)
    [ "$status" = 1 ] || { e2e_fail "after the out-of-memory box the status is $status"; return 1; }
}

# The user's own settings folder in the test prefix (%APPDATA%\Plix).
dlg_user_dir() { printf '%s/drive_c/users/%s/AppData/Roaming/Plix' "$WINEPREFIX" "$(id -un)"; }

# dlg_immutable PATH...: unchangeable even by root (chattr +i) until dlg_unlock,
# which also removes the user's settings folder, so the next test has none.
dlg_immutable() { chattr +i "$@" && DLG_IMMUTABLE+=("$@") || e2e_fail "chattr +i fails here"; }
dlg_unlock() {
    [ ${#DLG_IMMUTABLE[@]} -eq 0 ] || chattr -i "${DLG_IMMUTABLE[@]}"
    DLG_IMMUTABLE=()
    rm -rf "$(dlg_user_dir)"
}

# dlg_box_says TEXT: a "Plix settings" box shows TEXT (line breaks as \r\n);
# Enter dismisses it.
dlg_box_says() {
    local box text
    box=$(e2e_wait_window "Plix settings" 15) || { e2e_fail "no \"Plix settings\" box"; return 1; }
    text=$(e2e_wine_exe wintext.exe "Plix settings")
    [[ $text == *"$1"* ]] || { e2e_fail "the box says:" "$text" "expected:" "$1"; return 1; }
    xdotool windowfocus --sync "$box" key Return
}

# Where the folder beside Plix.scr cannot be written (an installation folder) or
# Plix.ini there is read-only, OK writes all eight keys to the user's own file;
# the next /c and /s use it (the file beside the program has no dots), and the
# file beside the program stays as it was, byte for byte.
test_unwritable_beside_the_program_saves_to_the_users_file() {
    trap dlg_unlock EXIT
    local way dir
    for way in folder read-only; do
        dir=$(e2e_case_dir)
        dlg_ini_with 0 5 6 7 0 0 0 0 | tee "$dir/original" >"$dir/Plix.ini"
        [ $way = folder ] && { dlg_immutable "$dir/Plix.ini" "$dir" || return 1; }
        [ $way = read-only ] && chmod 444 "$dir/Plix.ini"
        dlg_configure "$dir" "$(dlg_user_dir)" || { echo "($way)"; return 1; }
        cmp -s "$dir/Plix.ini" "$dir/original" || { e2e_fail "$way: Plix.ini beside Plix.scr changed"; return 1; }
        dlg_open "$dir" || return 1
        dlg_expect_fields "$(dlg_fields_with 40 2000 10 3 0 1 0 1)" "$way: reopened" || return 1
        dlg_click 102 && dlg_wait_closed && dlg_saver_shows_dots "$dir" || { echo "($way)"; return 1; }
        dlg_unlock
    done
}

# Neither file can be written: OK names both and the reason, the dialog stays
# open with what was typed, and no file changes.
test_nothing_writable_is_said_and_the_dialog_stays_open() {
    trap dlg_unlock EXIT
    local dir
    dir=$(e2e_case_dir)
    dlg_ini_with 1 2 3 4 0 0 0 0 | tee "$dir/original" >"$dir/Plix.ini"
    dlg_immutable "$dir/Plix.ini" "$dir" "$(dirname "$(dlg_user_dir)")" || return 1
    dlg_open "$dir" && dlg_type 104 55 && dlg_click 101 || return 1
    dlg_box_says "$(dlg_winpath "$dir/Plix.ini")\\r\\nAccess denied.\\r\\n\\r\\nC:\\users\\$(id -un)\\AppData\\Roaming\\Plix\\r\\nAccess denied." || return 1
    dlg_expect_fields "$(dlg_fields_with 55 2 3 4 0 0 0 0)" "after the box" || return 1
    dlg_click 102 && dlg_wait_closed || return 1
    cmp -s "$dir/Plix.ini" "$dir/original" && [ ! -e "$(dlg_user_dir)" ] || { e2e_fail "a file changed"; return 1; }
}

# dlg_odd_folder DIR KIND: moves DIR's Plix.scr into a folder under DIR whose
# path the ANSI calls cannot take as it is, and prints that folder. cyrillic: a
# name the Western code page cannot spell; long: Plix.scr's Windows path 258
# characters long (the settings path holds 255), the last folder a long name
# with a short (8.3) form; long83: as long, in names already 8.3, so with no
# shorter form.
dlg_odd_folder() {
    local dir=$1 sub rem c
    case $2 in
        cyrillic) sub="$dir/Заставка Plix" ;;
        long) sub="$dir/$(printf "%$((246 - ${#dir}))s" '' | tr ' ' l)" ;;
        long83)
            sub=$dir
            for ((rem = 247 - ${#dir}; rem > 0; rem -= c + 1)); do
                c=$((rem - 1 > 8 ? 8 : rem - 1))
                ((rem - 1 - c == 1)) && c=$((c - 1))  # a "/" alone would be left over
                sub+=/$(printf "%${c}s" '' | tr ' ' d)
            done ;;
    esac
    [ "${2#long}" = "$2" ] || [ $((2 + ${#sub} + 9)) = 258 ] || { e2e_fail "$2: ${#sub} characters"; return 1; }
    mkdir -p "$sub" && mv "$dir/Plix.scr" "$sub/" && printf '%s\n' "$sub"
}

# A folder whose path the ANSI calls cannot take as it is: /c reads and OK writes
# the Plix.ini beside Plix.scr all the same (through the folder's short form),
# and /s reads it; where the folder has no short form, both use the user's own
# file. Never the Windows folder's Plix.ini.
test_odd_folders_keep_the_settings_beside_the_program() {
    trap dlg_unlock EXIT
    export LC_ALL=C.UTF-8  # Wine's ANSI code page is then 1252; file names in UTF-8
    local row kind where dir sub
    for row in cyrillic:beside long:beside long83:user; do
        IFS=: read -r kind where <<<"$row"
        dir=$(e2e_case_dir) && sub=$(dlg_odd_folder "$dir" "$kind") || return 1
        dlg_ini_with 1 2 3 4 0 0 0 0 | tee "$dir/original" >"$sub/Plix.ini"
        if [ "$kind" = cyrillic ] &&
            [ "$(e2e_wine_exe ini_probe.exe get "$sub/Plix.ini" Plix -d -7 dot_count)" != -7 ]; then
            e2e_fail "the ANSI calls can name $sub here: nothing to test"
            return 1
        fi
        if [ "$where" = beside ]; then
            dlg_configure "$sub" "$sub" "$(dlg_fields_with 1 2 3 4 0 0 0 0)" || { echo "($kind)"; return 1; }
            [ ! -e "$(dlg_user_dir)" ] || { e2e_fail "$kind: the user's own file was made"; return 1; }
        else
            dlg_configure "$sub" "$(dlg_user_dir)" "$(dlg_fields_with 0 0 0 0 0 0 0 0)" || { echo "($kind)"; return 1; }
            cmp -s "$sub/Plix.ini" "$dir/original" || { e2e_fail "$kind: Plix.ini beside Plix.scr changed"; return 1; }
        fi
        [ ! -e "$WINEPREFIX/drive_c/windows/Plix.ini" ] || { e2e_fail "$kind: C:\\windows\\Plix.ini was written"; return 1; }
        dlg_saver_shows_dots "$sub" || { echo "($kind)"; return 1; }
        dlg_unlock
    done
}

# dlg_hidden PATH [set]: whether Wine shows the file as hidden (its attributes
# live in the user.DOSATTRIB extended attribute); with "set", makes it hidden.
dlg_hidden() {
    python3 -c 'import os, sys; p, n = sys.argv[1], "user.DOSATTRIB"
if sys.argv[2:]: os.setxattr(p, n, b"0x2")
sys.exit(0 if int(os.getxattr(p, n).rstrip(b"\0"), 16) & 2 else 1)' "$@" 2>/dev/null
}

# OK puts a new Plix.ini in place of the old one; what stands at that name is
# kept: through a symbolic link the file it names gets the settings and the
# link stays; a device is left alone, the settings going to the user's own
# file; a hidden file stays hidden.
test_ok_keeps_what_stands_at_the_settings_file() {
    trap dlg_unlock EXIT
    local kind dir ini_dir
    for kind in link device hidden; do
        dir=$(e2e_case_dir) || return 1
        ini_dir=$dir
        case $kind in
            link) mkdir "$dir/elsewhere" && ln -s elsewhere/Plix.ini "$dir/Plix.ini"
                  dlg_ini_with 1 2 3 4 0 0 0 0 >"$dir/elsewhere/Plix.ini"
                  ini_dir=$dir/elsewhere ;;
            device) ln -s /dev/null "$dir/Plix.ini" && ini_dir=$(dlg_user_dir) ;;
            hidden) dlg_ini_with 1 2 3 4 0 0 0 0 >"$dir/Plix.ini"
                    dlg_hidden "$dir/Plix.ini" set || { echo "hidden: no attributes on this file system, not tried"; continue; } ;;
        esac
        dlg_configure "$dir" "$ini_dir" || { echo "($kind)"; return 1; }
        case $kind in
            link) [ "$(readlink "$dir/Plix.ini")" = elsewhere/Plix.ini ] ;;
            device) [ "$(readlink "$dir/Plix.ini")" = /dev/null ] && [ -c /dev/null ] ;;
            hidden) dlg_hidden "$dir/Plix.ini" ;;
        esac || { e2e_fail "$kind: not kept:" "$(ls -l "$dir/Plix.ini")"; return 1; }
        [ "$ini_dir" = "$(dlg_user_dir)" ] || [ ! -e "$(dlg_user_dir)" ] ||
            { e2e_fail "$kind: the user's own file was made"; return 1; }
        dlg_unlock
    done
}

# Plix.ini locked by another program as the dialog opens: the dialog says so
# before any edit and shows 0s; OK, once the file is free again, stores only the
# fields the user changed and keeps every other setting.
test_unreadable_file_is_said_and_unread_settings_are_kept() {
    local dir out t locker
    dir=$(e2e_case_dir)
    out=$(mktemp "$E2E_TMP/lock.XXXXXX")
    dlg_ini_with 5 6 7 8 0 1 1 1 >"$dir/Plix.ini"
    "$WINE" "$E2E_WIN_BUILD/ini_probe.exe" lock "$dir/Plix.ini" 100 >"$out" 2>/dev/null </dev/null &
    locker=$!
    trap 'kill $locker 2>/dev/null' EXIT
    for ((t = 0; t < 200; t++)); do grep -q locked "$out" && break; sleep 0.1; done
    dlg_open "$dir" || return 1
    dlg_box_says "$(dlg_winpath "$dir/Plix.ini")\\r\\ncannot be read: Sharing violation" || return 1
    dlg_expect_fields "$(dlg_fields_with 0 0 0 0 0 0 0 0)" "unread" || return 1
    kill $locker && wait $locker 2>/dev/null
    dlg_type 104 40 && dlg_click 108 && dlg_click 101 && dlg_wait_closed || return 1
    dlg_expect_ini "$dir" "$(dlg_ini_with 40 6 7 8 1 1 1 1)" "after OK on a file read as locked"
}

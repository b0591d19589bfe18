# End-to-end case for the installer (Plix-<version>-setup.exe): silent install, its
# files and registry values, the saver started as Windows starts the selected one,
# and a silent uninstall.

INSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Plix'
INSTALL_DESKTOP='HKCU\Control Panel\Desktop'

# install_reg KEY NAME: prints the data of a registry value (nothing when absent).
install_reg() {
    "$WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 \{2,\}REG_[A-Z_]* *//p"
}
install_ls() { ls "$1" 2>&1 | tr '\n' ' '; }

# fresh: the default folder, nothing changed, so everything goes again. kept: a
# folder name too long for 8.3, the user's Plix.ini there before and another saver
# selected after: the uninstaller leaves both.
test_install_select_run_and_uninstall() {
    local version setup base round win dir scr lit t rc=0 files args
    files="LICENSE.txt Plix.default.ini Plix.ini Plix.scr README.txt Uninstall.exe "
    # The installer is 32-bit, like the product: without 32-bit Wine it cannot run.
    [ "$WINE" = wine ] || { echo "no 32-bit Wine here: the installer was not run"; return 0; }
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$E2E_WIN_BUILD/CMakeCache.txt")
    setup="$E2E_WIN_BUILD/Plix-$version-setup.exe"
    [ -f "$setup" ] || { e2e_fail "no $setup: cpack makes it in the 32-bit build"; return 1; }
    base="$("$WINE" cmd /c echo %LOCALAPPDATA% | tr -d '\r')\\Programs"
    for round in fresh kept; do
        win="$base\\Plix" && [ $round = kept ] && win="$base\\PlixScreenSaver"
        dir=$("$WINE" winepath -u "$win" | tr -d '\r')
        args=(/S)
        [ $round = kept ] && args+=("/D=$win") && mkdir -p "$dir" &&
            printf '[Plix]\r\ndot_count=7\r\n' >"$dir/Plix.ini"
        timeout 120 "$WINE" "$setup" "${args[@]}" || { e2e_fail "$round: setup failed"; return 1; }
        scr=$(install_reg "$INSTALL_DESKTOP" SCRNSAVE.EXE)
        echo "$round: $win holds $(install_ls "$dir"); SCRNSAVE.EXE=$scr"
        [ "$(install_ls "$dir")" = "$files" ] || { e2e_fail "$round: files"; rc=1; }
        { [ $round = fresh ] && cmp "$dir/Plix.ini" "$dir/Plix.default.ini"; } ||
            { [ $round = kept ] && grep -q '^dot_count=7' "$dir/Plix.ini"; } ||
            { e2e_fail "$round: Plix.ini"; rc=1; }
        [ "$scr" = "$("$WINE" winepath -s "$win\\Plix.scr" | tr -d '\r')" ] ||
            { e2e_fail "$round: SCRNSAVE.EXE is not the short path of Plix.scr"; rc=1; }
        [ "$(install_reg "$INSTALL_KEY" UninstallString)" = "\"$win\\Uninstall.exe\"" ] ||
            { e2e_fail "$round: uninstall entry"; rc=1; }

        # Dots on the screen: the saver found its Plix.ini from the registered path.
        xdotool mousemove 512 384 && sleep 0.3
        E2E_SCR=$scr e2e_start "$dir" /s
        e2e_wait_window "Plix screensaver" 30 >/dev/null && sleep 1
        lit=$(convert "$(e2e_shot "install_$round")" -format '%[fx:maxima]' info:)
        xdotool key a
        [ "$(e2e_wait_exit 10)" = 0 ] && [ "$lit" != 0 ] ||
            { e2e_fail "$round: saver (lit $lit)"; rc=1; }

        [ $round = kept ] && "$WINE" reg add "$INSTALL_DESKTOP" /v SCRNSAVE.EXE /d 'C:\other.scr' /f
        # As from Add/Remove Programs: the uninstaller hands over to a copy of itself
        # and returns at once. The copy deletes Uninstall.exe, then the folder if empty.
        timeout 60 "$WINE" "$dir/Uninstall.exe" /S
        for ((t = 0; t < 600; t++)); do
            [ ! -e "$dir" ] || { [ $round = kept ] && [ ! -e "$dir/Uninstall.exe" ]; } && break
            sleep 0.1
        done
        scr=$(install_reg "$INSTALL_DESKTOP" SCRNSAVE.EXE)
        echo "$round: uninstalled: $(install_ls "$dir"); SCRNSAVE.EXE=$scr"
        ! "$WINE" reg query "$INSTALL_KEY" >/dev/null 2>&1 ||
            { e2e_fail "$round: entry kept"; rc=1; }
        { [ $round = fresh ] && [ ! -e "$dir" ] && [ -z "$scr" ]; } ||
            { [ $round = kept ] && [ "$(install_ls "$dir")" = "Plix.ini " ] &&
                grep -q '^dot_count=7' "$dir/Plix.ini" && [ "$scr" = 'C:\other.scr' ]; } ||
            { e2e_fail "$round: not the expected remains"; rc=1; }
    done
    return $rc
}

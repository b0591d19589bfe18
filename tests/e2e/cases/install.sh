# End-to-end case for the release installer (Plix-<version>-setup.exe): silent
# install, its files and registry values, the saver started the way Windows starts
# the selected one, and a silent uninstall.

INSTALL_UNINST_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Plix'
INSTALL_DESKTOP_KEY='HKCU\Control Panel\Desktop'
INSTALL_FILES="LICENSE.txt Plix.default.ini Plix.ini Plix.scr README.txt Uninstall.exe"

# install_reg KEY NAME: prints the data of a registry value; fails when it is absent.
install_reg() {
    "$WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 \{2,\}REG_[A-Z_]* \{2,\}//p" | grep .
}

install_winepath() { "$WINE" winepath "$@" 2>/dev/null | tr -d '\r'; }

# install_saver_runs DIR SCRNSAVE: the saver started by the registered path shows
# dots (so it found its Plix.ini) and ends with a key press.
install_saver_runs() {
    local shot lit
    xdotool mousemove 512 384
    sleep 0.3
    E2E_SCR=$2 e2e_start "$1" /s
    e2e_wait_window "Plix screensaver" 30 >/dev/null || { e2e_fail "no saver window"; return 1; }
    sleep 1
    shot=$(e2e_shot "install_saver_$RANDOM")
    lit=$(convert "$shot" -format '%[fx:maxima]' info:)
    xdotool key a
    [ "$(e2e_wait_exit 10)" = 0 ] || { e2e_fail "the saver did not end with status 0"; return 1; }
    [ "$lit" != 0 ] || { e2e_fail "the saver showed a black screen: no settings read"; return 1; }
}

test_install_select_run_and_uninstall() {
    local version setup local_win round win dir scr t rc=0
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$E2E_WIN_BUILD/CMakeCache.txt")
    setup="$E2E_WIN_BUILD/Plix-$version-setup.exe"
    [ -f "$setup" ] || { e2e_fail "$setup is missing: run cpack in $E2E_WIN_BUILD"; return 1; }
    local_win=$("$WINE" cmd /c echo %LOCALAPPDATA% | tr -d '\r')
    # fresh: the default folder, nothing changed, so everything goes again.
    # kept: a folder with a name too long for 8.3, the user's Plix.ini there before, another
    # saver selected after: the uninstaller leaves both.
    for round in fresh kept; do
        win="$local_win\\Programs\\Plix"
        [ $round = kept ] && win="$local_win\\Programs\\PlixScreenSaver"
        dir=$(install_winepath -u "$win")
        if [ $round = kept ]; then
            mkdir -p "$dir" && printf '[Plix]\r\ndot_count=7\r\n' >"$dir/Plix.ini"
            timeout 120 "$WINE" "$setup" /S "/D=$win"
        else
            timeout 120 "$WINE" "$setup" /S
        fi || { e2e_fail "$round: the installer failed"; return 1; }
        echo "$round: installed in $win: $(ls "$dir" | tr '\n' ' ')"
        [ "$(ls "$dir" | tr '\n' ' ')" = "$INSTALL_FILES " ] || { e2e_fail "$round: files"; rc=1; }
        cmp "$dir/Plix.scr" "$E2E_WIN_BUILD/Plix.scr" || { e2e_fail "$round: Plix.scr"; rc=1; }
        if [ $round = fresh ]; then
            cmp "$dir/Plix.ini" "$dir/Plix.default.ini" || { e2e_fail "no default Plix.ini"; rc=1; }
        else
            grep -q '^dot_count=7' "$dir/Plix.ini" || { e2e_fail "Plix.ini was replaced"; rc=1; }
        fi
        scr=$(install_reg "$INSTALL_DESKTOP_KEY" SCRNSAVE.EXE)
        echo "$round: SCRNSAVE.EXE=$scr"
        [ "$scr" = "$(install_winepath -s "$win\\Plix.scr")" ] ||
            { e2e_fail "$round: SCRNSAVE.EXE is not the short path of Plix.scr"; rc=1; }
        [ "$(install_reg "$INSTALL_UNINST_KEY" UninstallString)" = "\"$win\\Uninstall.exe\"" ] &&
            [ "$(install_reg "$INSTALL_UNINST_KEY" DisplayVersion)" = "$version" ] ||
            { e2e_fail "$round: uninstall entry"; rc=1; }
        install_saver_runs "$dir" "$scr" || rc=1

        [ $round = kept ] && "$WINE" reg add "$INSTALL_DESKTOP_KEY" /v SCRNSAVE.EXE \
            /d 'C:\windows\system32\other.scr' /f >/dev/null 2>&1
        # As from Add/Remove Programs: the uninstaller hands over to a copy of
        # itself and returns at once. That copy ends by deleting Uninstall.exe,
        # then the folder where nothing is kept.
        timeout 60 "$WINE" "$dir/Uninstall.exe" /S
        for ((t = 0; t < 600; t++)); do
            [ ! -e "$dir" ] || { [ $round = kept ] && [ ! -e "$dir/Uninstall.exe" ]; } && break
            sleep 0.1
        done
        scr=$(install_reg "$INSTALL_DESKTOP_KEY" SCRNSAVE.EXE)
        echo "$round: uninstalled: $(ls "$dir" 2>&1 | tr '\n' ' '); SCRNSAVE.EXE=$scr"
        ! "$WINE" reg query "$INSTALL_UNINST_KEY" >/dev/null 2>&1 ||
            { e2e_fail "$round: uninstall entry left"; rc=1; }
        if [ $round = fresh ]; then
            [ ! -e "$dir" ] || { e2e_fail "the folder is left"; rc=1; }
            [ -z "$scr" ] || { e2e_fail "Plix still selected"; rc=1; }
        else
            [ "$(ls "$dir")" = Plix.ini ] && grep -q '^dot_count=7' "$dir/Plix.ini" ||
                { e2e_fail "the changed Plix.ini was not left alone"; rc=1; }
            [ "$scr" = 'C:\windows\system32\other.scr' ] || { e2e_fail "other saver lost"; rc=1; }
        fi
    done
    return $rc
}

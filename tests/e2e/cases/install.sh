# End-to-end case for the release's installer (Plix-<version>-setup.exe, or
# -setup-x64.exe from the 64-bit build): silent install, its files, registry
# values and Start-menu entries, the saver started as Windows starts the selected
# one, and a silent uninstall. Where both architectures run, the 64-bit installer
# also goes over the 32-bit install.

INSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Plix'
INSTALL_DESKTOP='HKCU\Control Panel\Desktop'

# install_reg KEY NAME: prints the data of a registry value (nothing when absent).
install_reg() {
    "$WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 \{2,\}REG_[A-Z_]* *//p"
}
install_ls() { ls "$1" 2>&1 | tr '\n' ' '; }

# The release folder scripts/release.sh made (its winget manifest): E2E_RELEASE_DIR,
# by default build-release beside the Windows build.
install_release_dir() { echo "${E2E_RELEASE_DIR:-$(dirname "$E2E_WIN_BUILD")/build-release}"; }

# install_setup BUILD VERSION: the installer cpack made in BUILD, the 32-bit or
# the 64-bit one as its zip says.
install_setup() {
    if [ -f "$1/Plix-$2-win64.zip" ]; then echo "$1/Plix-$2-setup-x64.exe"; else echo "$1/Plix-$2-setup.exe"; fi
}

# The entries "Plix screensaver" in the user's Add/Remove Programs list.
install_entries() {
    "$WINE" reg query 'HKCU\Software' /s 2>/dev/null | tr -d '\r' | grep -c 'DisplayName .*Plix screensaver'
}

# install_silently SETUP ARGS...: runs the installer; fails if it fails or if any
# window appears or the Screen Saver Settings are opened meanwhile.
install_silently() {
    local seen=""
    timeout 120 "$WINE" "$@" &
    local pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        seen+=$(xdotool search --onlyvisible --name . 2>/dev/null | head -n 1)
        seen+=$(pgrep -f 'rundll32|desk\.cpl' | head -n 1)
        sleep 0.05
    done
    wait "$pid"
    local status=$?
    [ -z "$seen" ] || { e2e_fail "setup $*: a window or program appeared ($seen)"; return 1; }
    [ "$status" = 0 ] || { e2e_fail "setup $* failed ($status)"; return 1; }
}

# install_links DIR: the Start-menu entries in DIR as "NAME: TARGET ARGUMENTS" lines.
install_links() {
    local lnk
    for lnk in "$1"/*.lnk; do
        [ -e "$lnk" ] || continue
        printf '%s: %s\n' "$(basename "$lnk")" "$(e2e_wine_exe plix-shortcut.exe "$(
            "$WINE" winepath -w "$lnk" | tr -d '\r')" | sed -n 's/^\(target\|arguments\) //p' | tr '\n' ' ')"
    done
}

# fresh: the default folder, nothing changed, so everything goes again. kept: a
# folder name too long for 8.3, the user's Plix.ini there before and another saver
# selected after: the uninstaller leaves both; where the other architecture runs
# too, its installer goes over the first, finding the folder by itself.
test_install_select_run_and_uninstall() {
    local version setup over="" base round win dir scr lit t rc=0 files args menu links want
    files="LICENSE.txt Plix.default.ini Plix.ini Plix.scr README.txt Uninstall.exe "
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$E2E_WIN_BUILD/CMakeCache.txt")
    setup=$(install_setup "$E2E_WIN_BUILD" "$version")
    [ -f "$setup" ] || { e2e_fail "no $setup: scripts/release.sh makes it"; return 1; }
    [ -z "$E2E_OTHER_WIN_BUILD" ] || over=$(install_setup "$E2E_OTHER_WIN_BUILD" "$version")
    base="$("$WINE" cmd /c echo %LOCALAPPDATA% | tr -d '\r')\\Programs"
    menu=$("$WINE" winepath -u "$("$WINE" cmd /c echo %APPDATA% | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs" | tr -d '\r')
    for round in fresh kept; do
        win="$base\\Plix" && [ $round = kept ] && win="$base\\PlixScreenSaver"
        dir=$("$WINE" winepath -u "$win" | tr -d '\r')
        args=(/S)
        [ $round = kept ] && args+=("/D=$win") && mkdir -p "$dir" &&
            printf '[Plix]\r\ndot_count=7\r\n' >"$dir/Plix.ini"
        install_silently "$setup" "${args[@]}" || return 1
        if [ $round = kept ] && [ -n "$over" ]; then
            install_silently "$over" /S || return 1
            cmp -s "$dir/Plix.scr" "$E2E_OTHER_WIN_BUILD/Plix.scr" ||
                { e2e_fail "$round: $over did not replace Plix.scr"; rc=1; }
        fi
        [ "$(install_entries)" = 1 ] || { e2e_fail "$round: $(install_entries) Plix entries"; rc=1; }
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
        # The entry the winget manifest names is the one the installer wrote.
        want=$(python3 -c 'import sys, yaml; e = yaml.safe_load(open(sys.argv[1]))["AppsAndFeaturesEntries"][0]
print(e["DisplayName"], e["Publisher"], e["DisplayVersion"], sep="|")' \
            "$(install_release_dir)/Plix-$version-winget/"*.installer.yaml)
        [ "$(install_reg "$INSTALL_KEY" DisplayName)|$(install_reg "$INSTALL_KEY" Publisher)|$(
            install_reg "$INSTALL_KEY" DisplayVersion)" = "$want" ] ||
            { e2e_fail "$round: the entry is not the winget manifest's ($want)"; rc=1; }
        # "Plix" selects it again as the install does; "Plix settings" opens its dialog.
        links=$(install_links "$menu")
        want="Plix settings.lnk: $win\\Plix.scr /c "$'\n'"Plix.lnk: C:\\windows\\system32\\rundll32.exe desk.cpl,InstallScreenSaver $scr "
        echo "$round: Start menu:"$'\n'"$links"
        [ "${links,,}" = "${want,,}" ] || { e2e_fail "$round: Start-menu entries"; rc=1; }
        if [ $round = fresh ]; then
            e2e_start_cmd "$dir" "$WINE" start /wait "$("$WINE" winepath -w "$menu/Plix settings.lnk" | tr -d '\r')"
            t=$(e2e_wait_window "Plix screensaver configuration" 30) &&
                xdotool windowfocus --sync "$t" key Escape && [ "$(e2e_wait_exit 10)" = 0 ] ||
                { e2e_fail "$round: \"Plix settings\" opened no dialog, or one that did not close"; rc=1; }
        fi

        # Dots on the screen: the saver found its Plix.ini from the registered path.
        xdotool mousemove 512 384 && sleep 0.3
        E2E_SCR=$scr e2e_start "$dir" /s
        # Focus is the saver's own, as in the saver's cases: after the dialog
        # above closed, no window may have it, and the key would go nowhere.
        t=$(e2e_wait_window "Plix screensaver" 30) && xdotool windowfocus --sync "$t" 2>/dev/null
        sleep 1
        lit=$(convert "$(e2e_shot "install_$round")" -format '%[fx:maxima]' info:)
        xdotool key a
        [ "$(e2e_wait_exit 10)" = 0 ] && [ "$lit" != 0 ] ||
            { e2e_fail "$round: saver (lit $lit)"; rc=1; }

        [ $round = kept ] && "$WINE" reg add "$INSTALL_DESKTOP" /v SCRNSAVE.EXE /d 'C:\other.scr' /f
        if [ $round = fresh ]; then
            # The saver still running as the uninstall starts (as the Settings'
            # preview may be): its Plix.scr goes all the same once it has ended.
            E2E_SCR=$scr e2e_start "$dir" /s
            t=$(e2e_wait_window "Plix screensaver" 30) && xdotool windowfocus --sync "$t" 2>/dev/null
        fi
        # As from Add/Remove Programs: the uninstaller hands over to a copy of itself
        # and returns at once. The copy deletes Uninstall.exe, then the folder if empty.
        timeout 60 "$WINE" "$dir/Uninstall.exe" /S
        if [ $round = fresh ]; then
            sleep 1
            xdotool key a
            [ "$(e2e_wait_exit 10)" = 0 ] || { e2e_fail "$round: the saver during the uninstall"; rc=1; }
        fi
        for ((t = 0; t < 600; t++)); do
            [ ! -e "$dir" ] || { [ $round = kept ] && [ ! -e "$dir/Uninstall.exe" ]; } && break
            sleep 0.1
        done
        scr=$(install_reg "$INSTALL_DESKTOP" SCRNSAVE.EXE)
        echo "$round: uninstalled: $(install_ls "$dir"); SCRNSAVE.EXE=$scr"
        ! "$WINE" reg query "$INSTALL_KEY" >/dev/null 2>&1 ||
            { e2e_fail "$round: entry kept"; rc=1; }
        [ -z "$(install_links "$menu")" ] || { e2e_fail "$round: Start-menu entries kept"; rc=1; }
        { [ $round = fresh ] && [ ! -e "$dir" ] && [ -z "$scr" ]; } ||
            { [ $round = kept ] && [ "$(install_ls "$dir")" = "Plix.ini " ] &&
                grep -q '^dot_count=7' "$dir/Plix.ini" && [ "$scr" = 'C:\other.scr' ]; } ||
            { e2e_fail "$round: not the expected remains"; rc=1; }
    done
    return $rc
}

# shellcheck shell=bash
# End-to-end harness: one Xvfb display and one throw-away Wine prefix per run
# (no Wine at all with E2E_NATIVE=1, for the native programs' cases), and the
# helpers the case files use to drive Plix.scr or plix and judge what it did.
# Sourced by tests/e2e/run.sh; every process it starts is stopped by pid at exit.

E2E_SCREEN=1024x768x24
E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_WINEBOOT_TIMEOUT=180   # creating a prefix takes ~15 s; a slow CI box more
E2E_XVFB=""                # pid of our X server
E2E_SERVER=""              # wineserver binary used for -p / -k
E2E_PID=""                 # the program started last by e2e_start

e2e_log() { printf '%s\n' "$*" >&2; }

# 32-bit programs run only where 32-bit ELF binaries can execute: there the
# 32-bit build runs, and the 64-bit one too where a case asks for both
# (E2E_DEFAULT_OTHER_WIN_BUILD); otherwise the 64-bit build under 64-bit Wine.
e2e_pick_wine() {
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
        WINE=wine
        E2E_DEFAULT_WIN_BUILD=build-win32
        E2E_DEFAULT_OTHER_WIN_BUILD=build-win64
        e2e_log "wine: 32-bit Wine works here; running the 32-bit build, and the 64-bit one beside it"
    else
        WINE=/usr/lib/wine/wine64
        E2E_DEFAULT_WIN_BUILD=build-win64
        E2E_DEFAULT_OTHER_WIN_BUILD=""
        e2e_log "wine: 32-bit Wine does not run here (not installed, or this machine cannot execute 32-bit programs); running the 64-bit build under $WINE"
    fi
    if command -v wineserver >/dev/null 2>&1; then
        E2E_SERVER=wineserver
    else
        E2E_SERVER=/usr/lib/wine/wineserver64
    fi
}

# e2e_start_xvfb [XVFB ARGS...]: starts Xvfb on the first display from a random
# point in 100..199 that is free and exports DISPLAY; a lock lost to a
# concurrent run makes Xvfb exit, and the next number is tried.
e2e_start_xvfb() {
    local start=$((100 + RANDOM % 100)) i n
    for ((i = 0; i < 100; i++)); do
        n=$((100 + (start - 100 + i) % 100))
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 "$E2E_SCREEN" -nolisten tcp "$@" >>"$E2E_TMP/xvfb.log" 2>&1 &
        E2E_XVFB=$!
        local t
        for ((t = 0; t < 100; t++)); do
            kill -0 "$E2E_XVFB" 2>/dev/null || break
            # Ours must still be alive once the display answers: it may be a
            # concurrent run's server that won the lock.
            if xdpyinfo -display ":$n" >/dev/null 2>&1 && kill -0 "$E2E_XVFB" 2>/dev/null; then
                export DISPLAY=":$n"
                return 0
            fi
            sleep 0.1
        done
        kill "$E2E_XVFB" 2>/dev/null
        wait "$E2E_XVFB" 2>/dev/null
        E2E_XVFB=""
    done
    e2e_log "e2e: no free X display in :100..:199 (see $E2E_TMP/xvfb.log)"
    return 1
}

# e2e_xorg CONFIG: for the calling test alone (tests run in subshells), Xorg
# with the dummy driver laid out by tests/e2e/CONFIG, and under Wine a prefix of
# its own. two-heads.conf: two monitors side by side (Xvfb's Xinerama puts every
# head at (0, 0)), which the prefix takes from Xinerama: a 640x480 monitor left
# of the 800x600 primary, so the virtual screen is (-640, 0) 1440x600 for
# Windows and (0, 0) 1440x600 on the X display. one-head-modes.conf: one
# 1024x768 head that RandR (xrandr, or ChangeDisplaySettingsExA inside Wine)
# can switch to 800x600 and back. Sets DISPLAY (and WINEPREFIX); the X server
# ends with the test's programs, the prefix's with e2e_xorg_end.
e2e_xorg() {
    local conf=$1 n t xorg xinerama=()
    command -v Xorg >/dev/null || { e2e_log "e2e: Xorg is not installed"; return 1; }
    [ "$conf" = two-heads.conf ] && xinerama=(+xinerama)
    for ((n = 200 + RANDOM % 100, t = 0; t < 100; t++, n = 200 + (n - 199) % 100)); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    Xorg ":$n" -config "$E2E_LIB_DIR/$conf" -noreset -nolisten tcp "${xinerama[@]}" \
        -logfile "$E2E_TMP/xorg-$n.log" >/dev/null 2>&1 &
    xorg=$!
    echo "$xorg" >>"$E2E_TMP/pids"
    for ((t = 0; t < 100; t++)); do
        # Ours must still be alive: a concurrent run's server may have won the lock.
        kill -0 "$xorg" 2>/dev/null || t=100
        xdpyinfo -display ":$n" >/dev/null 2>&1 && kill -0 "$xorg" 2>/dev/null && break
        sleep 0.1
    done
    [ "$t" -lt 100 ] || { e2e_log "e2e: Xorg :$n did not start (see $E2E_TMP/xorg-$n.log)"; return 1; }
    export DISPLAY=":$n"
    [ "${E2E_NATIVE:-0}" = 1 ] && return 0
    # A prefix of its own each time: a later server can get the same number, and
    # must not inherit the settings an earlier test made (Xinerama's turn RandR off).
    WINEPREFIX=$(mktemp -d "$E2E_TMP/pfx-$n.XXXXXX") || return 1
    export WINEPREFIX
    timeout "$E2E_WINEBOOT_TIMEOUT" "$WINE" wineboot -i >"$E2E_TMP/wineboot-$n.log" 2>&1 ||
        { e2e_log "e2e: no prefix for Xorg (see $E2E_TMP/wineboot-$n.log)"; return 1; }
    # Mode changes need Wine's RandR; the monitors side by side come from Xinerama.
    [ ${#xinerama[@]} -eq 0 ] && return 0
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f >/dev/null 2>&1 &&
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v UseXVidMode /d N /f >/dev/null 2>&1 ||
        { e2e_log "e2e: no Xinerama settings in the prefix"; return 1; }
    # The X11 driver reads its settings when it starts: a fresh start for all.
    e2e_xorg_end
}

e2e_xorg_end() {
    timeout 20 "$E2E_SERVER" -k >/dev/null 2>&1
    timeout 20 "$E2E_SERVER" -w >/dev/null 2>&1
}

# e2e_setup WIN_BUILD NATIVE_BUILD: display, prefix, variables. Call once per run.
e2e_setup() {
    E2E_NATIVE_BUILD=$(cd "${2:-build}" 2>/dev/null && pwd) || E2E_NATIVE_BUILD=${2:-build}
    if [ "${E2E_NATIVE:-0}" = 1 ]; then
        unset WINEPREFIX  # no prefix of ours: teardown must not touch the caller's
        E2E_TMP=$(mktemp -d /tmp/plix-e2e.XXXXXX) || return 1
        : >"$E2E_TMP/pids"
        export E2E_NATIVE_BUILD E2E_TMP
        e2e_start_xvfb || return 1
        e2e_log "e2e: display $DISPLAY, native build $E2E_NATIVE_BUILD, no Wine"
        return 0
    fi
    e2e_pick_wine
    E2E_WIN_BUILD=$(cd "${1:-$E2E_DEFAULT_WIN_BUILD}" 2>/dev/null && pwd) || {
        e2e_log "e2e: Windows build directory '${1:-$E2E_DEFAULT_WIN_BUILD}' not found"
        return 1
    }
    if [ ! -f "$E2E_WIN_BUILD/Plix.scr" ]; then
        e2e_log "e2e: $E2E_WIN_BUILD/Plix.scr is missing; build it first"
        return 1
    fi
    # The other architecture's build, when run.sh was not told which build to run.
    E2E_OTHER_WIN_BUILD=""
    if [ -z "$1" ] && [ -n "$E2E_DEFAULT_OTHER_WIN_BUILD" ] && [ -f "$E2E_DEFAULT_OTHER_WIN_BUILD/Plix.scr" ]; then
        E2E_OTHER_WIN_BUILD=$(cd "$E2E_DEFAULT_OTHER_WIN_BUILD" && pwd)
    fi
    local tool
    for tool in Xvfb xdotool xdpyinfo xwininfo import; do
        command -v "$tool" >/dev/null || { e2e_log "e2e: '$tool' is not installed"; return 1; }
    done
    E2E_TMP=$(mktemp -d /tmp/plix-e2e.XXXXXX) || return 1
    : >"$E2E_TMP/pids"
    export E2E_WIN_BUILD E2E_OTHER_WIN_BUILD E2E_NATIVE_BUILD E2E_TMP WINE
    export WINEPREFIX="$E2E_TMP/pfx"
    export WINEDEBUG=-all
    # No menu entries on the Linux desktop for the shortcuts the installer makes.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    e2e_start_xvfb || return 1
    local t0=$SECONDS
    # A persistent server keeps Wine's own services up between tests, so each
    # test does not pay their start-up again (about 2.5 s per window shown).
    # It must be started before anything else: a running server ignores -p.
    "$E2E_SERVER" -p >/dev/null 2>&1
    if ! timeout "$E2E_WINEBOOT_TIMEOUT" "$WINE" wineboot -i >"$E2E_TMP/wineboot.log" 2>&1; then
        e2e_log "e2e: wineboot -i failed or took over ${E2E_WINEBOOT_TIMEOUT}s (see $E2E_TMP/wineboot.log)"
        return 1
    fi
    e2e_log "e2e: display $DISPLAY, prefix ready in $((SECONDS - t0)) s, build $E2E_WIN_BUILD${E2E_OTHER_WIN_BUILD:+ and $E2E_OTHER_WIN_BUILD}"
}

# Stops every program still recorded, then the wineserver, then Xvfb.
e2e_teardown() {
    e2e_kill_programs
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        timeout 20 "$E2E_SERVER" -k >/dev/null 2>&1
        timeout 20 "$E2E_SERVER" -w >/dev/null 2>&1
    fi
    if [ -n "$E2E_XVFB" ]; then
        kill "$E2E_XVFB" 2>/dev/null
        wait "$E2E_XVFB" 2>/dev/null
        E2E_XVFB=""
    fi
    if [ -n "${E2E_TMP:-}" ] && [ -d "$E2E_TMP" ]; then
        # A test stopped half-way may leave a folder made immutable (chattr +i).
        chattr -R -i "$E2E_TMP" 2>/dev/null
        rm -rf "$WINEPREFIX"
        [ "${E2E_KEEP:-0}" = 1 ] || rm -rf "$E2E_TMP"
    fi
}

# Ends every program e2e_start recorded that is still alive: TERM, then KILL.
e2e_kill_programs() {
    [ -n "${E2E_TMP:-}" ] && [ -f "$E2E_TMP/pids" ] || return 0
    local pid live=""
    while read -r pid; do
        kill -0 "$pid" 2>/dev/null && { kill "$pid" 2>/dev/null; live="$live $pid"; }
    done <"$E2E_TMP/pids"
    [ -n "$live" ] || return 0
    sleep 1
    for pid in $live; do kill -9 "$pid" 2>/dev/null; done
    : >"$E2E_TMP/pids"
}

# e2e_kill_tree PID: ends PID and every process descended from it (by pid).
e2e_kill_tree() {
    local child
    for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
        e2e_kill_tree "$child"
    done
    kill "$1" 2>/dev/null
}

# e2e_case_dir: a fresh directory holding a copy of Plix.scr.
e2e_case_dir() {
    local dir
    dir=$(mktemp -d "$E2E_TMP/case.XXXXXX") || return 1
    cp "$E2E_WIN_BUILD/Plix.scr" "$dir/" || return 1
    printf '%s\n' "$dir"
}

# e2e_start DIR ARGS...: runs DIR/Plix.scr in the background from DIR (or, when
# E2E_SCR is set, that Windows path, as Windows would start the selected saver).
e2e_start() {
    local dir=$1
    shift
    e2e_start_cmd "$dir" "$WINE" "${E2E_SCR:-./Plix.scr}" "$@"
}

# e2e_start_cmd DIR COMMAND...: runs COMMAND in the background from DIR, its
# output in $E2E_TAG.log. A watcher subshell records the exit status in a file,
# so e2e_wait_exit also works from inside $(...), where the program is not a
# child of the caller.
e2e_start_cmd() {
    local dir=$1
    shift
    local tag
    tag=$(mktemp -u "$E2E_TMP/run.XXXXXX")
    (
        cd "$dir" || exit
        "$@" </dev/null >>"$tag.log" 2>&1 &
        echo $! >"$tag.pid"
        wait $!
        echo $? >"$tag.status.tmp"
        mv "$tag.status.tmp" "$tag.status"
    ) </dev/null >/dev/null 2>&1 &
    local t
    for ((t = 0; t < 100; t++)); do
        [ -s "$tag.pid" ] && break
        sleep 0.05
    done
    E2E_PID=$(cat "$tag.pid" 2>/dev/null)
    E2E_TAG=$tag
    echo "$E2E_PID" >>"$E2E_TMP/pids"
}

# e2e_ticks PID: the processor time PID has used so far, in clock ticks (0 once gone).
e2e_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }

# e2e_wait_exit [SECONDS]: prints the exit status of the program started last;
# on time-out kills it, prints 124 and returns 124.
e2e_wait_exit() {
    local limit=${1:-30} t
    for ((t = 0; t < limit * 10; t++)); do
        if [ -f "$E2E_TAG.status" ]; then
            cat "$E2E_TAG.status"
            return 0
        fi
        sleep 0.1
    done
    kill "$E2E_PID" 2>/dev/null
    sleep 0.5
    kill -9 "$E2E_PID" 2>/dev/null
    echo 124
    return 124
}

# e2e_run DIR ARGS...: start and wait up to 30 s; prints the exit status.
e2e_run() {
    e2e_start "$@"
    e2e_wait_exit 30
}

# Regular expression matching exactly the given text (xdotool takes a regex).
e2e_exact_re() {
    printf '^%s$' "$(printf '%s' "$1" | sed 's/[][\\.^$*+?(){}|]/\\&/g')"
}

e2e_find_window() {
    xdotool search --onlyvisible --name "$(e2e_exact_re "$1")" 2>/dev/null | head -n 1
}

# e2e_wait_window TITLE [SECONDS]: prints the id of the first visible window
# titled exactly TITLE; returns 1 if none appears in time.
e2e_wait_window() {
    local title=$1 limit=${2:-20} t id
    for ((t = 0; t < limit * 5; t++)); do
        id=$(e2e_find_window "$title")
        if [ -n "$id" ]; then
            printf '%s\n' "$id"
            return 0
        fi
        sleep 0.2
    done
    return 1
}

# e2e_no_window TITLE [SECONDS]: succeeds if no visible window titled TITLE
# appears within SECONDS (default 3).
e2e_no_window() {
    local title=$1 limit=${2:-3} t id
    for ((t = 0; t <= limit * 5; t++)); do
        id=$(e2e_find_window "$title")
        if [ -n "$id" ]; then
            e2e_log "window '$title' appeared ($id)"
            return 1
        fi
        sleep 0.2
    done
    return 0
}

# e2e_shot NAME: screenshot of the whole display; prints its path.
e2e_shot() {
    local path="$E2E_TMP/$1.png"
    import -display "$DISPLAY" -window root "$path" 2>/dev/null
    printf '%s\n' "$path"
}

# The windows Wine shows right now: id, mapped or not, title (unnamed ones left out).
e2e_list_windows() {
    local id name state
    for id in $(xdotool search --name '.' 2>/dev/null); do
        name=$(xdotool getwindowname "$id" 2>/dev/null)
        state=$(xwininfo -id "$id" 2>/dev/null | sed -n 's/.*Map State: //p')
        [ "$name" = "Default IME" ] && continue
        printf '  %s %-12s "%s"\n' "$id" "$state" "$name"
    done
}

# e2e_fail MESSAGE: says what went wrong and what was on the screen; returns 1.
e2e_fail() {
    local shot
    shot=$(e2e_shot "fail-$(date +%H%M%S)-$$-$RANDOM")
    printf '%s\n' "$*"
    printf 'windows:\n'
    e2e_list_windows
    printf 'screenshot: %s\n' "$shot"
    return 1
}

# e2e_wine_exe EXE ARGS...: runs a helper program from the Windows build and
# waits for it (at most 60 s); prints its standard output.
e2e_wine_exe() {
    local exe=$1
    shift
    timeout 60 "$WINE" "$E2E_WIN_BUILD/$exe" "$@" 2>>"$E2E_TMP/helpers.log" </dev/null | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# plix, the Linux program, on the harness's Xvfb (no Wine): its pictures against
# plix-sim's, where it draws, how it ends, and its command line.

# The same settings as options, and as the file plix-sim reads.
X11_OPTIONS=(--dot-count 40 --dot-history 32 --inertia 10 --speed-limit 4 --no-brownian --bounce
    --starting-pos)
X11_INI='[Plix]\ndot_count=40\ndot_history=32\ninertia=10\nspeed_limit=4\nbounce=1\nstarting_pos=1\n'

# x11_plix DIR ARGS...: starts plix from DIR; its output goes to $E2E_TAG.log.
x11_plix() {
    local dir=$1
    shift
    e2e_start_cmd "$dir" "$E2E_NATIVE_BUILD/plix" "$@"
}

# x11_window X Y W H RRGGBB: a plain window of ours, its id in X11_WINDOW, the
# program showing it in E2E_PID.
x11_window() {
    e2e_start_cmd "$E2E_TMP" "$E2E_NATIVE_BUILD/plix-test-window" "$@"
    local t
    for ((t = 0; t < 100; t++)); do
        grep -q '^0x' "$E2E_TAG.log" 2>/dev/null && break
        sleep 0.1
    done
    X11_WINDOW=$(head -n 1 "$E2E_TAG.log")
    [ -n "$X11_WINDOW" ] || e2e_fail "no test window"
}

# x11_wait_line PATTERN: waits (20 s at most) for the last program's output to hold PATTERN.
x11_wait_line() {
    local t
    for ((t = 0; t < 200; t++)); do
        grep -q -- "$1" "$E2E_TAG.log" && return 0
        sleep 0.1
    done
    e2e_fail "no '$1' from plix: $(cat "$E2E_TAG.log")"
}

# x11_matches_sim SHOT.png DIR INI WxH SEED FRAMES [REFITS]: SHOT equals plix-sim's
# PNG exactly (with --refit REFITS when given).
x11_matches_sim() {
    local shot=$1 dir=$2 differ
    "$E2E_NATIVE_BUILD/plix-sim" --settings "$3" --size "$4" --seed "$5" --frames "$6" \
        ${7:+--refit "$7"} --png "$dir/sim.png" >/dev/null || { e2e_fail "plix-sim failed"; return 1; }
    differ=$(compare -metric AE "$shot" "$dir/sim.png" null: 2>&1)
    [ "$differ" = 0 ] || { e2e_fail "$shot: $differ pixels differ from plix-sim's $4 seed $5 ${7:-}"; return 1; }
}

# Its own window, the settings from a file with one option over it; then a new
# size, in which the dots go on. A Wayland display named that does not answer:
# one line says so and plix draws on X11.
test_x11_own_window_equals_sim_and_follows_its_size() {
    local dir id
    dir=$(mktemp -d "$E2E_TMP/x11.XXXX")
    printf "$X11_INI" >"$dir/given.ini"
    printf "${X11_INI/dot_count=40/dot_count=25}" >"$dir/want.ini"
    e2e_start_cmd "$dir" env WAYLAND_DISPLAY="$dir/wayland-gone" "$E2E_NATIVE_BUILD/plix" --dot-count 25 \
        --settings given.ini --size 256x192 --seed 1 --frames 200
    x11_wait_line 'frames=200 pixels_per_frame=850' || return 1
    [ "$(grep -v '^frames=' "$E2E_TAG.log")" = "plix: cannot connect to the Wayland display \"$dir/wayland-gone\": drawing on X11 instead" ] ||
        { e2e_fail "no Wayland: $(cat "$E2E_TAG.log")"; return 1; }
    id=$(xdotool search --name '^Plix$' | head -n 1)
    import -window "$id" "$dir/own.png"
    x11_matches_sim "$dir/own.png" "$dir" "$dir/want.ini" 256x192 1 200 || return 1
    : >"$E2E_TAG.log"
    xdotool windowsize "$id" 300 170
    x11_wait_line 'frames=200' || return 1
    import -window "$id" "$dir/resized.png"
    x11_matches_sim "$dir/resized.png" "$dir" "$dir/want.ini" 256x192 1 200 300x170
}

# Started further on, as benchmarks ask: by PLIX_SEED and PLIX_FRAMES_AHEAD, as
# Plix.scr takes them, and by the options, which win over them. Either way the
# window shows plix-sim's screen after the frames ahead and those shown.
test_x11_frames_ahead_equals_sim() {
    local dir id how
    dir=$(mktemp -d "$E2E_TMP/x11.XXXX")
    for how in variables options; do
        if [ $how = variables ]; then
            e2e_start_cmd "$dir" env PLIX_SEED=7 PLIX_FRAMES_AHEAD=3000 "$E2E_NATIVE_BUILD/plix" \
                --size 320x200 --frames 20
        else
            e2e_start_cmd "$dir" env PLIX_SEED=8 PLIX_FRAMES_AHEAD=1 "$E2E_NATIVE_BUILD/plix" \
                --size 320x200 --seed 7 --frames-ahead 3000 --frames 20
        fi
        x11_wait_line 'frames=20 pixels_per_frame=6600' || return 1
        id=$(xdotool search --name '^Plix$' | head -n 1)
        import -window "$id" "$dir/$how.png"
        x11_matches_sim "$dir/$how.png" "$dir" "$E2E_LIB_DIR/../../src/resources/Plix.default.ini" \
            320x200 7 3020 || return 1
        kill "$E2E_PID"
        e2e_wait_exit 10 >/dev/null
    done
}

# On the root window while RandR shrinks the screen and grows it again: each
# time the dots go on in the new size as plix-sim's do, and SIGTERM still ends it.
test_x11_root_follows_the_screen_size() {
    local dir size sizes="" shot status
    e2e_xorg one-head-modes.conf || return 1
    dir=$(mktemp -d "$E2E_TMP/x11.XXXX")
    printf "$X11_INI" >"$dir/want.ini"
    x11_plix "$dir" "${X11_OPTIONS[@]}" --root --seed 3 --frames 100
    x11_wait_line 'frames=100' || return 1
    for size in 800x600 1024x768; do
        : >"$E2E_TAG.log"
        xrandr --output DUMMY0 --mode "$size" || { e2e_fail "xrandr: no mode $size"; return 1; }
        x11_wait_line 'frames=100' || return 1
        sizes=${sizes:+$sizes,}$size
        shot=$(e2e_shot "root-$size")
        x11_matches_sim "$shot" "$dir" "$dir/want.ini" 1024x768 3 100 "$sizes" || return 1
    done
    kill "$E2E_PID"
    status=$(e2e_wait_exit 10)
    [ "$status" = 143 ] || { e2e_fail "SIGTERM after the changes: status $status"; return 1; }
}

# A window made here, named by --window-id, by XSCREENSAVER_WINDOW (which beats
# --root), or by both beside --root as XScreenSaver's settings window previews a
# program, single-dash options and all: plix-sim's picture in it, and nothing
# changed outside it. In a transparent window of an ARGB visual the picture is
# opaque: read from the window itself, as the root has no alpha.
test_x11_given_window_only() {
    local dir how id before after differ seed opaque
    dir=$(mktemp -d "$E2E_TMP/x11.XXXX")
    printf "$X11_INI" >"$dir/want.ini"
    for how in window-id env preview argb; do
        x11_window 100 120 320 200 "$([ "$how" = argb ] && echo 00)336699" || return 1
        id=$X11_WINDOW
        before=$(e2e_shot "before-$how")
        if [ "$how" = window-id ] || [ "$how" = argb ]; then
            seed=-77
            x11_plix "$dir" "${X11_OPTIONS[@]}" --window-id "$id" --seed $seed --frames 150
        elif [ "$how" = env ]; then
            seed=9
            XSCREENSAVER_WINDOW=$id x11_plix "$dir" "${X11_OPTIONS[@]}" --root --seed $seed --frames 150
        else
            seed=12
            XSCREENSAVER_WINDOW=$id x11_plix "$dir" "${X11_OPTIONS[@]//--/-}" --root --window-id "$id" \
                -seed=$seed --frames=150
        fi
        x11_wait_line 'frames=150' || return 1
        after=$(e2e_shot "after-$how")
        if [ "$how" = argb ]; then
            python3 "$E2E_LIB_DIR/native/xshot.py" "$dir/argb.pam" "$id" || return 1
            opaque=$(convert "$dir/argb.pam" -alpha extract -fill black +opaque white \
                -format '%[fx:int(mean*w*h+0.5)]' info:)
            [ "$opaque" = 64000 ] || { e2e_fail "argb: $opaque of 64000 pixels opaque"; return 1; }
            convert "$dir/argb.pam" -alpha off "$dir/inside.png"
        else
            convert "$after" -crop 320x200+100+120 +repage "$dir/inside.png"
        fi
        x11_matches_sim "$dir/inside.png" "$dir" "$dir/want.ini" 320x200 $seed 150 || return 1
        for f in "$before" "$after"; do
            convert "$f" -fill black -draw 'rectangle 100,120 419,319' "$f.outside.png"
        done
        differ=$(compare -metric AE "$before.outside.png" "$after.outside.png" null: 2>&1)
        [ "$differ" = 0 ] || { e2e_fail "$how: $differ pixels changed outside the window"; return 1; }
        e2e_kill_programs
    done
}

# x11_chow_matches SHOT SIM BELOW: every pixel a trail left lit in plix-sim's SIM
# is in SHOT, every other pixel of SHOT is black (eaten) or BELOW's (the picture
# that was there), and more than half of it is still BELOW's.
x11_chow_matches() {
    local f
    for f in "$@"; do convert "$f" -depth 8 "rgb:$f.rgb" || return 1; done
    python3 - "$1.rgb" "$2.rgb" "$3.rgb" <<'PY' || { e2e_fail "$1: chow picture wrong"; return 1; }
import sys
shot, sim, below = (open(p, "rb").read() for p in sys.argv[1:])
px = lambda b, i: b[3 * i:3 * i + 3]
n = len(sim) // 3
kept = sum(px(shot, i) == px(below, i) for i in range(n))
wrong = [i for i in range(n) if px(sim, i) != b"\0\0\0" and px(shot, i) != px(sim, i)
         or px(sim, i) == b"\0\0\0" and px(shot, i) not in (b"\0\0\0", px(below, i))]
print(f"kept {kept} of {n}, wrong {len(wrong)}")
sys.exit(0 if not wrong and n // 2 < kept < n else 1)
PY
}

# Chow: the window's own picture (0x336699), or the desktop picture saved for it
# (scaled from half its size, or the part behind the window of one far larger),
# stays where no trail has been, and every pixel a trail left lit is plix-sim's.
test_x11_chow_eats_the_window_picture() {
    local dir below limit
    dir=$(mktemp -d "$E2E_TMP/x11.XXXX")
    printf "$X11_INI" >"$dir/want.ini"
    "$E2E_NATIVE_BUILD/plix-sim" --settings "$dir/want.ini" --size 200x150 --seed 5 --frames 60 \
        --png "$dir/sim.png" >/dev/null
    convert -size 200x150 xc:'#336699' "$dir/own.png"
    convert -size 100x150 xc:'#c06020' xc:'#3f9fdf' +append "$dir/saved.png"
    convert -size 200x150 xc:'#c06020' "$dir/huge.png"
    for below in own saved huge; do
        case $below in
        own) x11_window 0 0 200 150 336699 ;;
        saved) x11_window 0 0 200 150 336699 c06020 ;;
        # A picture of a far larger screen: only the part behind the window is
        # read (all of it would not fit in the memory plix is given here).
        huge) x11_window 300 200 200 150 336699 c06020 8000x8000 ;;
        esac || return 1
        limit=()
        [ "$below" = huge ] && limit=(bash -c 'ulimit -v 200000 && exec "$@"' limited)
        e2e_start_cmd "$dir" "${limit[@]}" "$E2E_NATIVE_BUILD/plix" "${X11_OPTIONS[@]}" --chow \
            --window-id "$X11_WINDOW" --seed 5 --frames 60
        x11_wait_line 'frames=60' || return 1
        import -window "$X11_WINDOW" "$dir/chow.png"
        x11_chow_matches "$dir/chow.png" "$dir/sim.png" "$dir/$below.png" || return 1
        e2e_kill_programs
    done
}

# x11_segment PID: a shared memory segment made by PID exists.
x11_segment() { ipcs -m -p | awk -v p="$1" '$3 == p { f = 1 } END { exit !f }'; }

# x11_holds PID: what plix PID holds: its shared memory segments (their ids),
# its X resources by xrestop (windows, GCs, pixmaps, other bytes) and its
# resident memory in kB, on one line.
x11_holds() {
    echo "segments=$(ipcs -m -p | awk -v p="$1" '$3 == p { printf "%s%s", n++ ? "," : "", $1 }')" \
        "$(xrestop -b -m 1 | awk '/^[0-9]+ - Plix / { f = 1; next } /^[0-9]+ - / { f = 0 }
            f && /windows|GCs|^\tpixmaps|other bytes/ { gsub(/[ \t~]/, ""); sub(/:/, "="); printf "%s ", $0 }')" \
        "rss_kb=$(awk '/^VmRSS/ { print $2 }' "/proc/$1/status")"
}

# x11_lit SHOT.png: the number of pixels in SHOT that are not black.
x11_lit() { convert "$1" -fill white +opaque black -format '%[fx:int(mean*w*h+0.5)]' info:; }

# SIGTERM ends it by that signal and SIGINT with status 0, its shared memory
# gone either way; so does the end of its window. Started with its output
# closed, or with a reader of --fps that goes away, it runs on until ended.
test_x11_clean_ends() {
    local dir sig pid status want how
    dir=$(mktemp -d "$E2E_TMP/x11.XXXX")
    for how in TERM:143 INT:0 closed-output:143 fps-reader-gone:143; do
        sig=${how%%:*} want=${how#*:}
        case $sig in
        closed-output)
            e2e_start_cmd "$dir" bash -c 'exec "$0" --size 200x100 --frames 3 >&- 2>&-' \
                "$E2E_NATIVE_BUILD/plix" ;;
        fps-reader-gone)
            e2e_start_cmd "$dir" bash -c 'exec "$0" --size 200x100 --fps 2> >(head -n 1 >fps.txt)' \
                "$E2E_NATIVE_BUILD/plix" ;;
        *) x11_plix "$dir" --size 200x100 ;;
        esac
        pid=$E2E_PID
        sleep 2.5
        x11_segment "$pid" || { e2e_fail "$sig: no shared memory segment of plix's"; return 1; }
        if [ "$sig" = closed-output ] && [ "$(readlink "/proc/$pid/fd/1")" != /dev/null ]; then
            e2e_fail "closed output: descriptor 1 is $(readlink "/proc/$pid/fd/1")"
            return 1
        fi
        if [ "$sig" = fps-reader-gone ] && ! grep -q 'frames per second' "$dir/fps.txt"; then
            e2e_fail "no frame rate before the reader went: $(cat "$dir/fps.txt")"
            return 1
        fi
        [ "${sig#*-}" = "$sig" ] || sig=TERM
        kill -s "$sig" "$pid"
        status=$(e2e_wait_exit 10)
        [ "$status" = "$want" ] || { e2e_fail "$how: status $status"; return 1; }
        ! x11_segment "$pid" || { e2e_fail "$how: segment left: $(ipcs -m -p)"; return 1; }
    done
    x11_window 10 10 100 100 000000 || return 1
    local window_pid=$E2E_PID
    x11_plix "$dir" --window-id "$X11_WINDOW"
    sleep 1
    kill "$window_pid"
    status=$(e2e_wait_exit 10)
    [ "$status" = 0 ] || { e2e_fail "window destroyed: status $status"; return 1; }
}

# x11_as_user DIR: X11_AS runs a command as XScreenSaver's programs are run,
# with HOME=DIR and DIR first on PATH. XScreenSaver runs no program as root, so
# for a root caller that is the user plixe2e, made here once, who gets DIR.
x11_as_user() {
    local dir=$1
    X11_AS=(env HOME="$dir" PATH="$dir:$PATH")
    if [ "$(id -u)" = 0 ]; then
        id -u plixe2e >/dev/null 2>&1 || useradd --system --no-create-home \
            --home-dir /nonexistent --shell /usr/sbin/nologin plixe2e || id -u plixe2e || return 1
        chmod o+x "$E2E_TMP"  # the way to DIR, which is the user's own
        chown -R plixe2e: "$dir"
        xhost +SI:localuser:plixe2e >/dev/null || return 1
        X11_AS=(setpriv --reuid plixe2e --regid plixe2e --clear-groups "${X11_AS[@]}")
    fi
}

# x11_xscreensaver DIR [ARGS...]: XScreenSaver's daemon on the harness's display
# as x11_as_user DIR, with plix copied into DIR. With ARGS, DIR/.xscreensaver is
# written first: its programs are plix with each ARGS in turn, the first
# selected. Its output, and its programs', go to $E2E_TAG.log.
x11_xscreensaver() {
    local dir=$1 args t
    shift
    cp "$E2E_NATIVE_BUILD/plix" "$dir/plix" || return 1
    [ $# = 0 ] || {
        printf 'mode: one\nselected: 0\nlock: False\nfade: False\nunfade: False\n'
        printf 'grabDesktopImages: True\nprograms: \\\n'
        for args; do printf '  %s \\n\\\n' "$dir/plix $args"; done
        echo
    } >"$dir/.xscreensaver"
    x11_as_user "$dir" || return 1
    e2e_start_cmd "$dir" "${X11_AS[@]}" xscreensaver -no-splash -verbose
    for ((t = 0; t < 100; t++)); do
        "${X11_AS[@]}" xscreensaver-command -time >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    e2e_fail "xscreensaver did not start: $(cat "$E2E_TAG.log")"
}

# Under XScreenSaver itself: -activate runs plix in its window, plix-sim's
# picture; with chow the desktop it covered (a known picture on the root window)
# shows where no trail has eaten; -deactivate ends plix and its shared memory.
test_x11_under_xscreensaver() {
    local dir command pid
    dir=$(mktemp -d "$E2E_TMP/xss.XXXX")
    # A client kept connected keeps Xvfb from resetting, and the root window its picture.
    e2e_start_cmd "$dir" xprop -root -spy
    trap 'xsetroot -def' EXIT  # the root window's picture is the harness's again
    convert -size 1024x768 gradient:'#d0a040-#3050b0' -depth 8 "$dir/desktop.png" || return 1
    display -window root "$dir/desktop.png"  # its status is 1 either way
    [ "$(compare -metric AE "$(e2e_shot desktop)" "$dir/desktop.png" null: 2>&1)" = 0 ] ||
        { e2e_fail "the desktop picture is not on the root window"; return 1; }
    x11_xscreensaver "$dir" "--root --seed 5 --frames 100" "--chow --seed 5 --frames 100" ||
        return 1
    for command in -activate "-select 2"; do
        : >"$E2E_TAG.log"
        # shellcheck disable=SC2086  # the command and its number
        "${X11_AS[@]}" xscreensaver-command $command >/dev/null || return 1
        x11_wait_line 'frames=100' || return 1
        pid=$(sed -n 's/.*forked ".*plix .*" in pid \([0-9]*\).*/\1/p' "$E2E_TAG.log")
        x11_segment "$pid" || { e2e_fail "$command: no shared memory segment of plix $pid"; return 1; }
        import -window root "$dir/shot.png"
        if [ "$command" = -activate ]; then  # also leaves plix-sim's picture in sim.png
            x11_matches_sim "$dir/shot.png" "$dir" \
                "$E2E_LIB_DIR/../../src/resources/Plix.default.ini" 1024x768 5 100 || return 1
        else
            x11_chow_matches "$dir/shot.png" "$dir/sim.png" "$dir/desktop.png" || return 1
        fi
        "${X11_AS[@]}" xscreensaver-command -deactivate >/dev/null || return 1
        if ! timeout 10 tail --pid="$pid" -f /dev/null || x11_segment "$pid"; then
            e2e_fail "-deactivate left plix $pid or its memory: $(ps -p "$pid") $(ipcs -m -p)"
            return 1
        fi
    done
    "${X11_AS[@]}" xscreensaver-command -exit >/dev/null
}

# --install-xscreensaver puts plix at the end of the user's own list, once
# however often it runs, every other line of ~/.xscreensaver kept; the daemon
# then runs it by its number and ends it by SIGTERM, which it logs as normal.
# --uninstall-xscreensaver gives the file back as it was. Without a file of the
# user's, XScreenSaver's stock list comes first, and goes again with plix.
test_x11_install_into_xscreensaver() {
    local dir got pid stock t entry
    dir=$(mktemp -d "$E2E_TMP/xss.XXXX")
    e2e_start_cmd "$dir" xprop -root -spy  # a client kept connected keeps Xvfb from resetting
    printf '%s\n' 'mode: one' 'selected: 1' 'lock: False' 'fade: False' 'programs: \' \
        '  maze --root \n\' '- qix --root \n' '' 'pointerHysteresis: 10' >"$dir/.xscreensaver"
    sed 's/^- qix --root \\n$/&\\\n  plix --root \\n/' "$dir/.xscreensaver" >"$dir/want"
    cp "$dir/.xscreensaver" "$dir/original"
    x11_xscreensaver "$dir" || return 1
    for got in "added to the programs of $dir/.xscreensaver as number 3" "already number 3"; do
        "${X11_AS[@]}" plix --install-xscreensaver >"$dir/out.txt" 2>&1
        grep -q "$got" "$dir/out.txt" || { e2e_fail "install: $(cat "$dir/out.txt")"; return 1; }
        cmp "$dir/want" "$dir/.xscreensaver" ||
            { e2e_fail "install: $(diff "$dir/want" "$dir/.xscreensaver")"; return 1; }
    done
    : >"$E2E_TAG.log"
    "${X11_AS[@]}" xscreensaver-command -select 3 >/dev/null || return 1
    for ((t = 0; t < 100; t++)); do
        pid=$(sed -n 's/.*forked "plix --root" in pid \([0-9]*\).*/\1/p' "$E2E_TAG.log")
        [ -n "$pid" ] && x11_segment "$pid" && break
        sleep 0.1
    done
    [ -n "$pid" ] || { e2e_fail "-select 3 ran no plix: $(cat "$E2E_TAG.log")"; return 1; }
    x11_segment "$pid" || { e2e_fail "plix $pid draws nothing"; return 1; }
    # Selected again, the running one is ended and its end logged.
    "${X11_AS[@]}" xscreensaver-command -select 3 >/dev/null || return 1
    timeout 10 tail --pid="$pid" -f /dev/null || { e2e_fail "plix $pid did not end"; return 1; }
    for ((t = 0; t < 50; t++)); do
        grep -q "pid $pid (plix) exited normally with SIGTERM" "$E2E_TAG.log" && break
        sleep 0.1
    done
    grep -q "pid $pid (plix) exited normally with SIGTERM" "$E2E_TAG.log" ||
        { e2e_fail "the daemon's log: $(grep "$pid" "$E2E_TAG.log")"; return 1; }
    "${X11_AS[@]}" xscreensaver-command -exit >/dev/null
    "${X11_AS[@]}" plix --uninstall-xscreensaver >"$dir/out.txt" 2>&1 &&
        cmp "$dir/original" "$dir/.xscreensaver" ||
        { e2e_fail "uninstall: $(cat "$dir/out.txt") $(diff "$dir/original" "$dir/.xscreensaver")"; return 1; }
    rm "$dir/.xscreensaver"
    stock=$(sed -n '/^\*programs:/,/[^\\]$/p' /etc/X11/app-defaults/XScreenSaver | grep -c '\\n')
    "${X11_AS[@]}" plix --install-xscreensaver >"$dir/out.txt" 2>&1
    grep -q "as number $((stock + 1))\$" "$dir/out.txt" && grep -q '^programs:' "$dir/.xscreensaver" ||
        { e2e_fail "install into no file: $(cat "$dir/out.txt")"; return 1; }
    "${X11_AS[@]}" plix --uninstall-xscreensaver >"$dir/out.txt" 2>&1
    [ ! -e "$dir/.xscreensaver" ] || { e2e_fail "uninstall left $(cat "$dir/out.txt")"; return 1; }
    # The stock list of XAPPLRESDIR's app-defaults, where that is set; through a
    # link (to where dotfiles are kept), the file it names is written, and an
    # uninstall leaves the link.
    mkdir "$dir/res" "$dir/dotfiles"
    printf '%s\n' '*programs: qix -root \n\' '  maze -root \n' >"$dir/res/XScreenSaver"
    ln -s dotfiles/xss "$dir/.xscreensaver"
    chown -h plixe2e: "$dir/dotfiles" "$dir/.xscreensaver" 2>/dev/null
    XAPPLRESDIR=$dir/res "${X11_AS[@]}" plix --install-xscreensaver >"$dir/out.txt" 2>&1
    grep -q "as number 3\$" "$dir/out.txt" && grep -q "^  plix --root" "$dir/dotfiles/xss" ||
        { e2e_fail "install with XAPPLRESDIR: $(cat "$dir/out.txt")"; return 1; }
    XAPPLRESDIR=$dir/res "${X11_AS[@]}" plix --uninstall-xscreensaver >"$dir/out.txt" 2>&1
    [ -L "$dir/.xscreensaver" ] && ! grep -q plix "$dir/dotfiles/xss" ||
        { e2e_fail "uninstall through a link: $(cat "$dir/out.txt") $(ls -l "$dir")"; return 1; }
    # A disabled entry of plix is enabled, and said so; the rest stays.
    rm "$dir/.xscreensaver"
    for entry in '- plix --root \n' $'-\t GL: "Plix" /usr/libexec/xscreensaver/plix --root \\n'; do
        printf '%s\n' 'programs: \' '  maze --root \n\' "$entry" >"$dir/.xscreensaver"
        sed '3s/^-/ /' "$dir/.xscreensaver" >"$dir/want"
        chown plixe2e: "$dir/.xscreensaver" 2>/dev/null
        "${X11_AS[@]}" plix --install-xscreensaver >"$dir/out.txt" 2>&1
        grep -q "enabled in the programs of .* as number 2\$" "$dir/out.txt" &&
            cmp "$dir/want" "$dir/.xscreensaver" ||
            { e2e_fail "enable $entry: $(cat "$dir/out.txt") $(cat "$dir/.xscreensaver")"; return 1; }
    done
}

# --install-autostart writes KDE's autostart entry, naming plix by its absolute
# path, and says how to start it now; again, nothing changes; XDG_CONFIG_HOME
# moves it. Switched off (Hidden=true) it stays off, and says so. Through a link
# the file it names is written, and --uninstall-autostart takes the link only.
# Another program's entry, and a folder that cannot be written, are left as they were.
test_x11_install_autostart() {
    local dir entry status
    dir=$(mktemp -d "$E2E_TMP/auto.XXXX")
    entry=$dir/.config/autostart/plix.desktop
    cp "$E2E_NATIVE_BUILD/plix" "$dir/plix" && x11_as_user "$dir" || return 1
    auto() {  # auto ARGS...: plix as the user; its output in $dir/out.txt, its status in status
        chown -R plixe2e: "$dir" 2>/dev/null
        "${X11_AS[@]}" "$dir/plix" "$@" >"$dir/out.txt" 2>&1
        status=$?
    }
    auto --install-autostart 300
    [ "$status" = 0 ] && grep -qx "Exec=$dir/plix --idle 300" "$entry" && grep -qx 'OnlyShowIn=KDE;' "$entry" &&
        grep -q "without logging in again: setsid -f '$dir/plix' --idle 300\$" "$dir/out.txt" &&
        desktop-file-validate "$entry" ||
        { e2e_fail "install: $status $(cat "$dir/out.txt") $(cat "$entry")"; return 1; }
    cp "$entry" "$dir/want"
    auto --install-autostart 300
    cmp -s "$dir/want" "$entry" && grep -q "already so" "$dir/out.txt" || { e2e_fail "again: $(cat "$dir/out.txt")"; return 1; }
    XDG_CONFIG_HOME=$dir/conf auto --install-autostart 60
    grep -qx "Exec=$dir/plix --idle 60" "$dir/conf/autostart/plix.desktop" ||
        { e2e_fail "XDG_CONFIG_HOME: $(cat "$dir/out.txt")"; return 1; }
    echo 'Hidden=true' >>"$entry"
    auto --install-autostart 120
    grep -q "switched off (Hidden=true): left off" "$dir/out.txt" && grep -qx 'Hidden=true' "$entry" &&
        grep -qx "Exec=$dir/plix --idle 120" "$entry" || { e2e_fail "Hidden=true: $(cat "$dir/out.txt") $(cat "$entry")"; return 1; }
    rm "$entry" && mkdir "$dir/dotfiles" && ln -s ../../dotfiles/plix.desktop "$entry"
    auto --install-autostart 30
    [ -L "$entry" ] && grep -qx "Exec=$dir/plix --idle 30" "$dir/dotfiles/plix.desktop" ||
        { e2e_fail "through a link: $(cat "$dir/out.txt") $(ls -l "$entry")"; return 1; }
    auto --uninstall-autostart
    [ "$status" = 0 ] && [ ! -L "$entry" ] && [ -f "$dir/dotfiles/plix.desktop" ] && grep -q "a link" "$dir/out.txt" ||
        { e2e_fail "uninstall through a link: $(cat "$dir/out.txt")"; return 1; }
    printf '[Desktop Entry]\nType=Application\nName=Other\nExec=/usr/bin/other\n' >"$entry"
    cp "$entry" "$dir/want"
    for args in "--install-autostart 30" --uninstall-autostart; do
        # shellcheck disable=SC2086  # words on purpose
        auto $args
        [ "$status" = 1 ] && grep -q "is not plix's entry: left as it is" "$dir/out.txt" && cmp -s "$dir/want" "$entry" ||
            { e2e_fail "$args over another entry: $status $(cat "$dir/out.txt")"; return 1; }
    done
    rm "$entry"
    chown -R plixe2e: "$dir" 2>/dev/null
    chmod a-w "$dir/.config/autostart"
    "${X11_AS[@]}" "$dir/plix" --install-autostart 30 >"$dir/out.txt" 2>&1
    status=$?
    chmod u+w "$dir/.config/autostart"
    [ "$status" = 1 ] && grep -q "cannot write $entry: " "$dir/out.txt" && [ -z "$(ls -A "$dir/.config/autostart")" ] ||
        { e2e_fail "read-only folder: $status $(cat "$dir/out.txt") $(ls -A "$dir/.config/autostart")"; return 1; }
}

# XScreenSaver's settings window previews the selected program in a pane of
# its own with "plix --root --window-id ID": plix runs there and draws dots.
test_x11_previewed_in_xscreensaver_settings() {
    local dir id t lit
    dir=$(mktemp -d "$E2E_TMP/xss.XXXX")
    cp "$E2E_NATIVE_BUILD/plix" "$dir/plix" || return 1
    printf '%s\n' 'mode: one' 'selected: 0' 'programs: \' '  plix --root \n' >"$dir/.xscreensaver"
    x11_as_user "$dir" || return 1
    e2e_start_cmd "$dir" "${X11_AS[@]}" xscreensaver-settings
    for ((t = 0; t < 300; t++)); do
        id=$(pgrep -a -f '^plix --root --window-id 0x' | sed -n 's/.*--window-id \(0x[0-9A-Fa-f]*\)$/\1/p')
        [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || { e2e_fail "no preview ran: $(cat "$E2E_TAG.log")"; return 1; }
    sleep 2
    pgrep -f "^plix --root --window-id $id\$" >/dev/null ||
        { e2e_fail "the preview ended: $(cat "$E2E_TAG.log")"; return 1; }
    import -window "$id" "$dir/pane.png" || return 1
    lit=$(x11_lit "$dir/pane.png")
    [ "$lit" -gt 100 ] || { e2e_fail "the preview pane shows $lit lit pixels"; return 1; }
}

# x11_mate DIR COMMAND...: a program of MATE's screen saver as x11_as_user DIR,
# in a session bus of its own, in a MATE session that has plix installed as the
# Debian package puts it: `cmake --install --prefix /usr` into DIR/stage, whose
# data directory comes first and whose programs' directory is mounted over
# /usr/libexec/xscreensaver for this program alone (MATE runs savers from
# there, and from nowhere a test could write to). Its output goes to
# $E2E_TAG.log; X11_MATE runs commands on its bus, the one whose address
# DIR/bus holds. In a process namespace of its own, all it started ends with it.
x11_mate() {
    local dir=$1 t
    shift
    [ "$(id -u)" = 0 ] ||
        { e2e_fail "plix can be put where MATE's screen saver looks only by root"; return 1; }
    [ -d "$dir/stage" ] || DESTDIR="$dir/stage" cmake --install "$E2E_NATIVE_BUILD" --prefix /usr \
        >"$dir/install.log" || { e2e_fail "install failed: $(cat "$dir/install.log")"; return 1; }
    rm -f "$dir/bus"
    x11_as_user "$dir" || return 1
    e2e_start_cmd "$dir" unshare --mount --propagation private --pid --fork --kill-child \
        sh -c 'mount --bind "$0" /usr/libexec/xscreensaver && exec "$@"' "$dir/stage/usr/libexec/xscreensaver" \
        "${X11_AS[@]}" XDG_DATA_DIRS="$dir/stage/usr/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}" \
        XDG_CURRENT_DESKTOP=MATE dbus-run-session -- \
        sh -c 'echo "$DBUS_SESSION_BUS_ADDRESS" >bus.tmp && mv bus.tmp bus && exec "$@"' sh "$@"
    for ((t = 0; t < 100; t++)); do
        [ -s "$dir/bus" ] && break
        sleep 0.1
    done
    [ -s "$dir/bus" ] || { e2e_fail "no session bus: $(cat "$E2E_TAG.log")"; return 1; }
    X11_MATE=("${X11_AS[@]}" DBUS_SESSION_BUS_ADDRESS="$(cat "$dir/bus")")
}

# x11_mate_find_plix DIR TENTHS: waits TENTHS tenths of a second at most for the
# plix that the last x11_mate session started; its pid in X11_PLIX, the window it
# was given in X11_PLIX_WINDOW. Status 1 if none came.
x11_mate_find_plix() {
    local bus p t
    bus=$(cat "$1/bus")
    for ((t = 0; t < $2; t++)); do
        for p in $(pgrep -f '^/usr/libexec/xscreensaver/plix --root$'); do
            tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "DBUS_SESSION_BUS_ADDRESS=$bus" || continue
            X11_PLIX=$p
            X11_PLIX_WINDOW=$(tr '\0' '\n' <"/proc/$p/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
            return 0
        done
        sleep 0.1
    done
    return 1
}

# x11_mate_plix DIR: x11_mate_find_plix for 20 s, failing the test if none came.
x11_mate_plix() {
    x11_mate_find_plix "$1" 200 || e2e_fail "MATE's screen saver ran no plix: $(cat "$E2E_TAG.log")"
}

# MATE's screen saver as its user meets it. Its preferences list Plix: typed
# into the list, it is chosen (mode single, theme screensavers-plix) and its
# preview pane shows dots; Escape closes them and the preview. The daemon then
# runs the chosen plix on its own window when --activate'd, dots on the screen,
# and --deactivate ends it and its shared memory, nothing in the daemon's log
# against it (its complaints, or a status other than the signal's).
test_x11_under_mate_screensaver() {
    local dir id lit chosen try
    dir=$(mktemp -d "$E2E_TMP/mate.XXXX")
    x11_mate "$dir" mate-screensaver-preferences || return 1
    id=$(e2e_wait_window 'Screensaver Preferences') || { e2e_fail "no preferences window"; return 1; }
    # Keys typed into a window that has only just mapped can be lost before its
    # list takes the keyboard: typed again, what did arrive rubbed out first.
    for try in 1 2 3; do
        xdotool windowfocus --sync "$id" type --delay 100 Plix
        x11_mate_find_plix "$dir" 70 && break
        [ "$try" = 3 ] && { e2e_fail "typed Plix three times, MATE's screen saver ran no plix: $(cat "$E2E_TAG.log")"; return 1; }
        xdotool windowfocus --sync "$id" key --delay 50 BackSpace BackSpace BackSpace BackSpace
    done
    sleep 2
    import -window "$X11_PLIX_WINDOW" "$dir/preview.png" || return 1
    lit=$(x11_lit "$dir/preview.png")
    [ "$lit" -gt 100 ] || { e2e_fail "the preview shows $lit lit pixels"; return 1; }
    chosen=$("${X11_MATE[@]}" gsettings get org.mate.screensaver mode)
    chosen="$chosen $("${X11_MATE[@]}" gsettings get org.mate.screensaver themes)"
    [ "$chosen" = "'single' ['screensavers-plix']" ] || { e2e_fail "Plix chosen: $chosen"; return 1; }
    xdotool key --delay 300 Escape Escape  # the first closes the list's search box
    [ "$(e2e_wait_exit 10)" = 0 ] && ! kill -0 "$X11_PLIX" 2>/dev/null ||
        { e2e_fail "the preferences or their plix $X11_PLIX did not end"; return 1; }

    x11_mate "$dir" mate-screensaver --no-daemon --debug || return 1
    timeout 10 sh -c 'until "$@" >/dev/null 2>&1; do sleep 0.1; done' sh \
        "${X11_MATE[@]}" mate-screensaver-command --activate || { e2e_fail "no --activate"; return 1; }
    x11_mate_plix "$dir" || return 1
    sleep 2
    x11_segment "$X11_PLIX" || { e2e_fail "no shared memory segment of plix $X11_PLIX"; return 1; }
    [ "$(xwininfo -id "$X11_PLIX_WINDOW" | sed -n 's/^ *Map State: //p')" = IsViewable ] ||
        { e2e_fail "plix's window $X11_PLIX_WINDOW is not shown"; return 1; }
    lit=$(x11_lit "$(e2e_shot mate-active)")
    [ "$lit" -gt 1000 ] || { e2e_fail "the screen shows $lit lit pixels"; return 1; }
    "${X11_MATE[@]}" mate-screensaver-command --deactivate >/dev/null || return 1
    if ! timeout 10 tail --pid="$X11_PLIX" -f /dev/null || x11_segment "$X11_PLIX"; then
        e2e_fail "--deactivate left plix $X11_PLIX or its memory: $(ps -p "$X11_PLIX") $(ipcs -m -p)"
        return 1
    fi
    "${X11_MATE[@]}" mate-screensaver-command --exit >/dev/null
    [ "$(e2e_wait_exit 10)" = 0 ] || { e2e_fail "the daemon did not end"; return 1; }
    ! grep -E 'command output: .|Wait on child|Could not (start|parse)' "$E2E_TAG.log" ||
        { e2e_fail "the daemon's log holds the lines above"; return 1; }
}

# Where MIT-SHM is missing: XPutImage, and the same picture.
test_x11_without_shared_memory() {
    local dir
    dir=$(mktemp -d "$E2E_TMP/x11.XXXX")
    printf "$X11_INI" >"$dir/want.ini"
    e2e_start_xvfb -extension MIT-SHM || return 1
    echo "$E2E_XVFB" >>"$E2E_TMP/pids"
    x11_plix "$dir" "${X11_OPTIONS[@]}" --root --seed 3 --frames 120 --fps
    x11_wait_line 'frames=120' || return 1
    grep -q 'XPutImage' "$E2E_TAG.log" || { e2e_fail "not XPutImage: $(cat "$E2E_TAG.log")"; return 1; }
    import -window root "$dir/root.png"
    x11_matches_sim "$dir/root.png" "$dir" "$dir/want.ini" 1024x768 3 120
}

# On 16-bit (5-6-5) and 30-bit (10-10-10) screens the picture is plix-sim's,
# each channel taken to the screen's nearest value; an 8-bit PseudoColor screen
# is refused in one line.
test_x11_every_truecolor_depth() {
    local dir depth status
    dir=$(mktemp -d "$E2E_TMP/x11.XXXX")
    printf "$X11_INI" >"$dir/want.ini"
    "$E2E_NATIVE_BUILD/plix-sim" --settings "$dir/want.ini" --size 320x200 --seed 3 --frames 120 \
        --png "$dir/sim.png" >/dev/null || { e2e_fail "plix-sim failed"; return 1; }
    for depth in 16:5,6,5 30:10,10,10 8:; do
        E2E_SCREEN=320x200x${depth%%:*} e2e_start_xvfb || return 1
        echo "$E2E_XVFB" >>"$E2E_TMP/pids"
        x11_plix "$dir" "${X11_OPTIONS[@]}" --root --seed 3 --frames 120
        if [ "$depth" = 8: ]; then
            status=$(e2e_wait_exit 10)
            if [ "$status" != 2 ] || [ "$(wc -l <"$E2E_TAG.log")" != 1 ] ||
                ! grep -q 'needs a TrueColor visual; .* is PseudoColor, depth 8$' "$E2E_TAG.log"; then
                e2e_fail "8-bit screen: status $status, $(cat "$E2E_TAG.log")"
                return 1
            fi
            continue
        fi
        x11_wait_line 'frames=120' || return 1
        python3 "$E2E_LIB_DIR/native/xshot.py" "$dir/shot.ppm" || { e2e_fail "no screenshot"; return 1; }
        python3 - "$dir/sim.png" "$dir/shot.ppm" "${depth#*:}" <<'PY' ||
import subprocess, sys
sim = subprocess.run(["convert", sys.argv[1], "-depth", "8", "rgb:-"], capture_output=True,
                     check=True).stdout
shot = open(sys.argv[2], "rb").read().split(b"\n", 1)[1]
most = [(1 << int(b)) - 1 for b in sys.argv[3].split(",")]
near = lambda c, m: ((c * m + 127) // 255 * 255 + m // 2) // m
want = bytes(near(c, most[i % 3]) for i, c in enumerate(sim))
wrong = sum(a != b for a, b in zip(want, shot)) + abs(len(want) - len(shot))
print(f"{wrong} channel values differ")
sys.exit(wrong != 0)
PY
            { e2e_fail "depth ${depth%%:*}: not plix-sim's picture converted"; return 1; }
        e2e_kill_programs
    done
}

# Bad options, no display, no such window, settings that cannot be read (at once,
# a FIFO too): one line, status 2. Too much memory: the saver's message, status 1.
test_x11_errors() {
    local dir got want pattern env args
    dir=$(mktemp -d "$E2E_TMP/x11.XXXX")
    cd "$dir" || return 1
    mkfifo fifo
    printf '[Plix]\ndot_count=5\n' >big.ini
    truncate -s 65M big.ini
    while IFS='|' read -r want pattern env args; do
        # shellcheck disable=SC2086  # words on purpose
        timeout 20 env $env "$E2E_NATIVE_BUILD/plix" $args >out.txt 2>err.txt
        got=$?
        if [ "$got" != "$want" ] || ! grep -q -- "$pattern" err.txt || [ -s out.txt ] ||
            { [ "$want" = 2 ] && [ "$(wc -l <err.txt)" != 1 ]; }; then
            e2e_fail "$env plix $args: status $got (want $want), stderr: $(cat err.txt)"
            return 1
        fi
    done <<'TABLE'
2|unknown argument||--bogus
2|dot-count must be||--dot-count 1e3
2|given twice||--bounce --no-bounce
2|missing value||--seed
2|window id||--window-id 0x
2|frames must be||--frames -1
2|frames-ahead must be||--frames-ahead 2147483648
2|PLIX_FRAMES_AHEAD must be a decimal|PLIX_FRAMES_AHEAD=1e3|--frames 1
2|PLIX_SEED must be a signed|PLIX_SEED=0x10|--frames 1
2|dot-count must be a decimal 0..||--dot-count -1
2|dot-count must be a decimal 0..||-dot-count=many
2|takes no value||--bounce=1
2|takes no other arguments||--version --root
2|no such window: 0x1ffffff0||-root -window-id 0x1ffffff0
2|cannot read --settings file||--settings missing.ini
2|cannot read --settings file (not a regular file)||--settings fifo
2|cannot read --settings file (not a regular file)||--settings /dev/null
2|cannot read --settings file (file too large (over 64 MiB))||--settings big.ini
2|no such window: 0x1ffffff0||--window-id 0x1ffffff0
2|cannot open display: DISPLAY is not set$|-u DISPLAY|--frames 1
2|cannot open display: DISPLAY is not set$|DISPLAY=|--frames 1
2|cannot open display .:99999.$|DISPLAY=:99999|--frames 1
2|cannot connect to the Wayland display "/gone"$|-u DISPLAY WAYLAND_DISPLAY=/gone|--frames 1
2|cannot connect to the Wayland compositor on WAYLAND_SOCKET "99"$|-u DISPLAY WAYLAND_DISPLAY=/gone WAYLAND_SOCKET=99|--frames 1
2|XSCREENSAVER_WINDOW is not a window id|XSCREENSAVER_WINDOW=12abc|--root
2|--idle watches for idle on Wayland, and there is no Wayland display|-u WAYLAND_DISPLAY|--idle 3
2|cannot connect to the Wayland display "/gone"$|WAYLAND_DISPLAY=/gone|--idle 3
1|enough memory||--dot-count 2000000000
TABLE
    # --help's exit statuses name each cause of status 2 above.
    "$E2E_NATIVE_BUILD/plix" --help | tr '\n' ' ' >out.txt
    for want in 'bad options' 'settings file that cannot be read' 'no display' 'no such window' \
        'compositor without what plix needs'; do
        grep -q "2 [^.]*$want" out.txt || { e2e_fail "--help: no '$want' for status 2"; return 1; }
    done
    "$E2E_NATIVE_BUILD/plix" -version >out.txt 2>&1
    grep -qx "plix $(sed -n 's/^project(Plix VERSION \([0-9.]*\).*/\1/p' "$E2E_LIB_DIR/../../CMakeLists.txt")" \
        out.txt || { e2e_fail "-version: $(cat out.txt)"; return 1; }
}

# `cmake --install` puts the program, its XScreenSaver settings, its entry for
# MATE's screen saver and its man page where Debian's screen savers live, and
# every option the XML gives is plix's. The entry names the installed plix, in
# a prefix that needs quoting too, and desktop-file-validate finds no fault in it.
test_x11_install() {
    local prefix
    prefix=$(mktemp -d "$E2E_TMP/pre fix 100%.XXXX")
    cmake --install "$E2E_NATIVE_BUILD" --prefix "$prefix" >"$prefix.log" ||
        { e2e_fail "install failed: $(cat "$prefix.log")"; return 1; }
    local f desktop=$prefix/share/applications/screensavers/plix.desktop program
    for f in libexec/xscreensaver/plix share/xscreensaver/config/plix.xml share/man/man6/plix.6.gz \
        share/applications/screensavers/plix.desktop; do
        [ -s "$prefix/$f" ] || { e2e_fail "not installed: $f ($(find "$prefix" -type f))"; return 1; }
    done
    program=$prefix/libexec/xscreensaver/plix
    grep -qxF "Exec=\"${program//%/%%}\" --root" "$desktop" && grep -qxF "TryExec=$program" "$desktop" ||
        { e2e_fail "plix.desktop does not name $program: $(cat "$desktop")"; return 1; }
    f=$(desktop-file-validate "$desktop") && ! grep -E 'error:|warning:' <<<"$f" ||
        { e2e_fail "desktop-file-validate: $f"; return 1; }
    # XScreenSaver's settings give an option only where it moves off the XML's
    # default, so those defaults must be plix's own (its --help, from the table).
    # Without a display, options plix accepts end in "cannot open display".
    local args
    args=$(python3 - "$prefix/share/xscreensaver/config/plix.xml" \
        "$prefix/libexec/xscreensaver/plix" <<'PY'
import re, subprocess, sys, xml.etree.ElementTree as et
usage = subprocess.run([sys.argv[2], "--help"], capture_output=True, text=True).stdout
table = dict(re.findall(r"^  (--[a-z-]+)(?:, --no-[a-z-]+| N) \[(\S+)\]$", usage, re.M))
xml = {}
for e in et.parse(sys.argv[1]).iter():
    a = e.attrib
    if e.tag == "command":
        print(a["arg"])
    elif e.tag == "number":
        xml[a["arg"].split()[0]] = a["default"]
        print(a["arg"].replace("%", a["default"]))
    elif e.tag == "boolean":
        on = a.get("arg-set") or "--" + a["arg-unset"][len("--no-"):]
        xml[on] = "--no-" + on[2:] if "arg-set" in a else on
        print(a.get("arg-set") or a["arg-unset"])
    elif e.tag == "_description" and not re.search(r"\n\nWritten by [^\n]+; \d{4}\.\n *$", e.text):
        sys.exit(f"no 'Written by ...; YEAR.' line closes the description: {e.text!r}")
sys.exit(None if xml == table and table else f"XML {xml}\nplix --help {table}")
PY
    ) || { e2e_fail "plix.xml does not parse or its defaults are not plix's"; return 1; }
    # shellcheck disable=SC2086  # one word per option and value
    env -u DISPLAY "$prefix/libexec/xscreensaver/plix" $args 2>"$prefix/err.txt"
    grep -q 'cannot open display' "$prefix/err.txt" ||
        { e2e_fail "plix refuses the XML's options $args: $(cat "$prefix/err.txt")"; return 1; }
}

# Hundreds of refits, its window resized back and forth as a long session's
# screen and window changes would: each refit makes a new segment, and what plix
# holds (one segment, its X resources, its memory) stays as after the first.
test_x11_soak_refits_hold_nothing_more() {
    local dir id before after i n=${X11_SOAK_REFITS:-200} v
    dir=$(mktemp -d "$E2E_TMP/x11.XXXX")
    x11_plix "$dir" --size 256x192
    for ((i = 0; i < 50; i++)); do id=$(xdotool search --name '^Plix$' | head -n 1); [ -n "$id" ] && break; sleep 0.1; done
    [ -n "$id" ] || { e2e_fail "no plix window"; return 1; }
    for i in 1 2; do xdotool windowsize "$id" 300 170; sleep 0.2; xdotool windowsize "$id" 256 192; sleep 0.2; done
    before=$(x11_holds "$E2E_PID")
    for ((i = 0; i < n; i++)); do
        xdotool windowsize "$id" $((200 + i % 2 * 100)) $((150 + i % 2 * 20))
        sleep 0.02
    done
    xdotool windowsize "$id" 256 192
    sleep 0.5
    after=$(x11_holds "$E2E_PID")
    echo "before: $before"
    echo "after:  $after"
    field() { sed -n -E "s/.*\b$1=([0-9,]+).*/\1/p" <<<"$2"; }
    [ -n "$(field segments "$before")" ] && [ "$(field segments "$before")" != "$(field segments "$after")" ] ||
        { e2e_fail "no new segment after $n resizes: no refit seen"; return 1; }
    [ "$(field segments "$after" | tr ',' '\n' | wc -l)" = 1 ] || { e2e_fail "segments left: $after"; return 1; }
    for v in windows GCs pixmaps; do
        [ "$(field "$v" "$after")" = "$(field "$v" "$before")" ] || { e2e_fail "$v: $before -> $after"; return 1; }
    done
    [ "$(field otherbytes "$after")" -le $(($(field otherbytes "$before") + 1024)) ] &&
        [ "$(field rss_kb "$after")" -le $(($(field rss_kb "$before") + 2048)) ] ||
        { e2e_fail "grew over $n refits: $before -> $after"; return 1; }
}

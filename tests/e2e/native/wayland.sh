# plix drawing natively on Wayland: headless sway (layer shell, outputs that
# come and go) and headless weston (a fullscreen xdg toplevel), run as a user.

# shellcheck source-path=SCRIPTDIR source=x11.sh  # its settings, plix-sim check and user
. "$E2E_LIB_DIR/native/x11.sh"

# wl_compositor DIR RUN ENV... -- COMMAND...: COMMAND run as x11_as_user DIR with
# the 0700 XDG_RUNTIME_DIR DIR/RUN and ENV, waited for until its Wayland socket
# answers (sway: its IPC too). WL_AS then runs a client of it as that user;
# WL_SOCKET is its socket, WL_LOG its output, WL_PID its process.
wl_compositor() {
    local dir=$1 run=$1/$2 env=() t
    shift 2
    while [ "$1" != -- ]; do env+=("$1"); shift; done
    shift
    mkdir -m 700 "$run" && x11_as_user "$dir" || return 1
    e2e_start_cmd "$dir" "${X11_AS[@]}" XDG_RUNTIME_DIR="$run" "${env[@]}" "$@"
    WL_LOG=$E2E_TAG.log WL_PID=$E2E_PID
    for ((t = 0; t < 100; t++)); do
        WL_SOCKET=$run/$(cd "$run" && ls -d wayland-[0-9] 2>/dev/null | head -n 1)
        WL_AS=("${X11_AS[@]}" XDG_RUNTIME_DIR="$run" WAYLAND_DISPLAY="${WL_SOCKET##*/}"
            SWAYSOCK="$(ls "$run"/sway-ipc.*.sock 2>/dev/null)")
        if [ -S "$WL_SOCKET" ] && [ "$1" = sway ]; then
            "${WL_AS[@]}" swaymsg -t get_version >/dev/null 2>&1 && return 0
        elif [ -S "$WL_SOCKET" ]; then
            "${WL_AS[@]}" weston-info >/dev/null 2>&1 && return 0
        fi
        sleep 0.1
    done
    e2e_fail "$1 did not start: $(cat "$WL_LOG")"
}

# python3 -c "$WL_X11_WM" WINDOW...: asks each X window to close (WM_DELETE_WINDOW);
# with "hold" instead, makes those atoms and stays.
WL_X11_WM='
import ctypes as c, struct, sys, time
x = c.CDLL("libX11.so.6")
x.XOpenDisplay.restype, x.XInternAtom.restype = c.c_void_p, c.c_ulong
d = c.c_void_p(x.XOpenDisplay(None))
protocols, delete = (x.XInternAtom(d, name, 0) for name in (b"WM_PROTOCOLS", b"WM_DELETE_WINDOW"))
if sys.argv[1] == "hold":
    time.sleep(3600)
for w in (int(a, 0) for a in sys.argv[1:]):  # an XClientMessageEvent: type, serial, send_event, display, window, ...
    e = struct.pack("@iLiPLLil", 33, 0, 0, 0, w, protocols, 32, delete).ljust(192, b"\0")
    x.XSendEvent(d, c.c_ulong(w), 0, c.c_long(0), e)
x.XCloseDisplay(d)
'

# wl_sway DIR [nested|x11|scaled]: sway with two 320x200 outputs side by side; the next one
# made (swaymsg create_output) is 640x100 below both, the one after that 240x160
# at (400, 100). Headless outputs cannot be
# disabled (wlroots 0.15 refuses), so when nested the outputs are instead windows
# of a headless sway of its own (WL_HOST runs its clients), and one goes when
# its window is closed there. With x11 its two outputs are windows on the
# harness's X display, the second over the first at (0, 0), whose pointer
# xdotool moves (headless seats have none); one goes when asked to close, as a
# window manager would ask (WL_X11_WM WINDOW). With scaled the first output has scale 2 (160x100 in the layout),
# the second placed by sway beside it, as it is again when that scale changes.
wl_sway() {
    local dir=$1 out=HEADLESS backend=(WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=2)
    local sway=(WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1)
    if [ "${2:-}" = nested ]; then
        printf 'xwayland disable\nfor_window [app_id=wlroots] floating enable\n' >"$dir/host.conf"
        wl_compositor "$dir" host "${sway[@]}" WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=1 -- \
            sway -c "$dir/host.conf" || return 1
        WL_HOST=("${WL_AS[@]}")
        out=WL backend=(WLR_BACKENDS=wayland WLR_WL_OUTPUTS=2 WAYLAND_DISPLAY="$WL_SOCKET")
    elif [ "${2:-}" = x11 ]; then
        out=X11 backend=(WLR_BACKENDS=x11 WLR_X11_OUTPUTS=2 DISPLAY="$DISPLAY")
        # wlroots only asks to be told of a close if the atoms for it are
        # there already, and the server forgets them when its last client goes.
        e2e_start_cmd "$dir" python3 -c "$WL_X11_WM" hold
        sleep 1
    fi
    printf 'xwayland disable\noutput %s-1 mode 320x200 pos 0 0\noutput %s-2 mode 320x200 pos 320 0
output %s-3 mode 640x100 pos 0 200\noutput %s-4 mode 240x160 pos 400 100\n' $out $out $out $out \
        >"$dir/sway.conf"
    [ "${2:-}" != scaled ] || sed -i 's/^\(output HEADLESS-2 mode [^ ]*\).*/\1/; 1s/$/ scale 2/' "$dir/sway.conf"
    wl_compositor "$dir" run "${sway[@]}" "${backend[@]}" -- sway -c "$dir/sway.conf" || return 1
    # The seat has a keyboard from the start, as a desktop's has: without one a
    # wtype's key could come before a client has its new keyboard.
    e2e_start_cmd "$dir" "${WL_AS[@]}" wtype -s 600000
}

# wl_plix DIR ARGS...: plix (a copy the user can run) on the last compositor as its user.
wl_plix() {
    local dir=$1
    shift
    [ -x "$dir/plix" ] || cp "$E2E_NATIVE_BUILD/plix" "$dir/plix" || return 1
    e2e_start_cmd "$dir" "${WL_AS[@]}" "$dir/plix" "$@"
}

# wl_matches_sim DIR INI WxH SEED FRAMES [REFITS]: the field sway's layout makes
# is WxH (or the last of REFITS), and each output's picture (grim -o, in its
# device pixels) is its part of plix-sim's: its layout place times the largest
# scale, its size its own device pixels. Where every scale is 1 grim's picture
# of the whole layout is plix-sim's too.
wl_matches_sim() {
    local dir=$1 want=${6:-$3} name geometry differ size
    "${WL_AS[@]}" swaymsg -r -t get_outputs | python3 -c '
import json, sys
outs = [o for o in json.load(sys.stdin) if o["active"]]
x0, y0 = min(o["rect"]["x"] for o in outs), min(o["rect"]["y"] for o in outs)
top = max(o["scale"] for o in outs)
parts = [(o["name"], o["rect"]["width"] * o["scale"], o["rect"]["height"] * o["scale"],
          (o["rect"]["x"] - x0) * top, (o["rect"]["y"] - y0) * top) for o in outs]
print("field %dx%d" % (max(p[1] + p[3] for p in parts), max(p[2] + p[4] for p in parts)))
for p in parts:
    print(p[0], "%dx%d+%d+%d" % p[1:])
' >"$dir/outputs.txt"
    read -r name size <"$dir/outputs.txt"
    [ "$size" = "${want##*,}" ] || { e2e_fail "the field is $size, not ${want##*,}"; return 1; }
    "${WL_AS[@]}" grim "$dir/layout.png" || { e2e_fail "grim failed"; return 1; }
    if [ "$(identify -format %wx%h "$dir/layout.png")" = "$size" ]; then
        x11_matches_sim "$dir/layout.png" "$dir" "$2" "$3" "$4" "$5" "${6:-}" || return 1
    else  # grim draws a layout of several scales at the largest throughout
        "$E2E_NATIVE_BUILD/plix-sim" --settings "$2" --size "$3" --seed "$4" --frames "$5" \
            ${6:+--refit "$6"} --png "$dir/sim.png" >/dev/null || { e2e_fail "plix-sim failed"; return 1; }
    fi
    while read -r name geometry; do
        "${WL_AS[@]}" grim -o "$name" "$dir/$name.png" || { e2e_fail "grim -o $name failed"; return 1; }
        convert "$dir/sim.png" -crop "$geometry" +repage "$dir/part.png"
        differ=$(compare -metric AE "$dir/$name.png" "$dir/part.png" null: 2>&1)
        [ "$differ" = 0 ] || { e2e_fail "$name: $differ pixels differ from plix-sim's $geometry"; return 1; }
    done < <(tail -n +2 "$dir/outputs.txt")
}

# Two outputs side by side: the layout and each output's part are plix-sim's.
test_wayland_sway_two_outputs() {
    local dir
    dir=$(mktemp -d "$E2E_TMP/wl.XXXX")
    printf "$X11_INI" >"$dir/want.ini"
    wl_sway "$dir" || return 1
    wl_plix "$dir" "${X11_OPTIONS[@]}" --seed 4 --frames 120
    x11_wait_line 'frames=120' || return 1
    wl_matches_sim "$dir" "$dir/want.ini" 640x200 4 120
}

# On an output of scale 2 one dot is one device pixel, its part's place its
# layout place doubled. Scales changed while plix runs (sway placing the second
# output beside the first each time): each output shows its part at its new
# scale, placed as at a start on the new layout; the field is refitted when
# the box bounding the parts changes, and the picture stays as it was when not.
test_wayland_sway_scaled_output() {
    local dir step size sizes=""
    dir=$(mktemp -d "$E2E_TMP/wl.XXXX")
    printf "$X11_INI" >"$dir/want.ini"
    wl_sway "$dir" scaled || return 1
    wl_plix "$dir" "${X11_OPTIONS[@]}" --seed 5 --frames 80
    x11_wait_line 'frames=80' || return 1
    wl_matches_sim "$dir" "$dir/want.ini" 640x200 5 80 || return 1
    for step in HEADLESS-1:1: HEADLESS-2:2:960x200 HEADLESS-2:1:640x200; do
        : >"$E2E_TAG.log"
        size=${step##*:} step=${step%:*}
        "${WL_AS[@]}" swaymsg output "${step%:*}" scale "${step#*:}" >/dev/null ||
            { e2e_fail "swaymsg failed"; return 1; }
        if [ -n "$size" ]; then
            x11_wait_line 'frames=80' || return 1
            sizes=${sizes:+$sizes,}$size
        else
            sleep 1
        fi
        wl_matches_sim "$dir" "$dir/want.ini" 640x200 5 80 "$sizes" || return 1
    done
}

# The right output showing nothing (its window hidden in the host, so it draws
# no frames), the frames line does not wait for it; shown again, it has its
# part. An output made below the two, then it and the left one unplugged: each
# time the field is refitted to the layout's bounding box (then only the right
# output's, away from the origin) and the frames counted again. With no output
# left it waits, drawing nothing, until one comes.
test_wayland_sway_outputs_come_and_go() {
    local dir step sizes=""
    dir=$(mktemp -d "$E2E_TMP/wl.XXXX")
    printf "$X11_INI" >"$dir/want.ini"
    wl_sway "$dir" nested || return 1
    "${WL_HOST[@]}" swaymsg '[title="wlroots - WL-2"] move scratchpad' >/dev/null || { e2e_fail "swaymsg failed"; return 1; }
    wl_plix "$dir" "${X11_OPTIONS[@]}" --seed 6 --frames 60
    x11_wait_line 'frames=60' || return 1
    "${WL_HOST[@]}" swaymsg '[title="wlroots - WL-2"] scratchpad show' >/dev/null || { e2e_fail "swaymsg failed"; return 1; }
    sleep 1
    wl_matches_sim "$dir" "$dir/want.ini" 640x200 6 60 || return 1
    for step in new:640x300 WL-3:640x200 WL-1:320x200 WL-2: new:240x160; do
        : >"$E2E_TAG.log"
        if [ "${step%:*}" = new ]; then
            "${WL_AS[@]}" swaymsg create_output >/dev/null
        else
            "${WL_HOST[@]}" swaymsg "[title=\"wlroots - ${step%:*}\"] kill" >/dev/null
        fi || { e2e_fail "$step: swaymsg failed"; return 1; }
        if [ -z "${step#*:}" ]; then
            sleep 2
            kill -0 "$E2E_PID" && ! grep -q . "$E2E_TAG.log" ||
                { e2e_fail "no output: $(cat "$E2E_TAG.log")"; return 1; }
            continue
        fi
        x11_wait_line 'frames=60' || return 1
        sizes=${sizes:+$sizes,}${step#*:}
        wl_matches_sim "$dir" "$dir/want.ini" 640x200 6 60 "$sizes" || return 1
    done
}

# A key (the layer surface has the keyboard) ends it with status 0, SIGTERM by
# that signal; neither leaves anything in XDG_RUNTIME_DIR. With chow there is no
# desktop picture to eat: one line says so and it starts from black.
test_wayland_sway_ends_and_chow() {
    local dir how status before
    dir=$(mktemp -d "$E2E_TMP/wl.XXXX")
    printf "${X11_INI}chow=1\n" >"$dir/chow.ini"
    wl_sway "$dir" || return 1
    before=$(ls -A "$dir/run")
    for how in key:0 TERM:143; do
        wl_plix "$dir" "${X11_OPTIONS[@]}" --seed 8 --frames 30
        x11_wait_line 'frames=30' || return 1
        if [ "${how%:*}" = key ]; then
            "${WL_AS[@]}" wtype -k space || { e2e_fail "wtype failed"; return 1; }
        else
            kill -TERM "$E2E_PID"
        fi
        status=$(e2e_wait_exit 10)
        [ "$status" = "${how#*:}" ] || { e2e_fail "$how: status $status: $(cat "$E2E_TAG.log")"; return 1; }
        [ "$(ls -A "$dir/run")" = "$before" ] ||
            { e2e_fail "$how: XDG_RUNTIME_DIR holds $(ls -A "$dir/run")"; return 1; }
    done
    wl_plix "$dir" "${X11_OPTIONS[@]}" --chow --seed 8 --frames 90
    x11_wait_line 'frames=90' || return 1
    if [ "$(grep -vc '^frames=' "$E2E_TAG.log")" != 1 ] || ! grep -v '^frames=' "$E2E_TAG.log" | grep -q chow; then
        e2e_fail "--chow: not one line about chow: $(cat "$E2E_TAG.log")"
        return 1
    fi
    wl_matches_sim "$dir" "$dir/chow.ini" 640x200 8 90
}

# The pointer: a move within the 5-pixel slack leaves it running, one beyond it
# ends it with status 0, as a button does. The output under it unplugged, sway
# takes the pointer to the other one, telling plix where only once it moves
# again: not the user's doing, so that place is its new start, and a move
# beyond the slack from there still ends it. Each time it releases the pointer.
test_wayland_sway_pointer_ends() {
    local dir how status
    dir=$(mktemp -d "$E2E_TMP/wl.XXXX")
    wl_sway "$dir" x11 || return 1
    WL_AS+=(WAYLAND_DEBUG=client)
    for how in move click unplug; do
        xdotool mousemove 100 100
        wl_plix "$dir" --seed 3 --frames 10
        x11_wait_line 'frames=10' || return 1
        if [ $how = click ]; then
            xdotool click 1
        else
            if [ $how = unplug ]; then
                python3 -c "$WL_X11_WM" "$(xwininfo -root -tree | awk '/320x200/ { print $1; exit }')"
                sleep 1
                xdotool mousemove 150 150
            fi
            xdotool mousemove_relative -- 5 -5
            sleep 1
            kill -0 "$E2E_PID" 2>/dev/null || { e2e_fail "$how: it ended within the slack"; return 1; }
            xdotool mousemove_relative 1 5
        fi
        status=$(e2e_wait_exit 10)
        [ "$status" = 0 ] || { e2e_fail "$how: status $status: $(grep -v '^\[' "$E2E_TAG.log")"; return 1; }
        grep -q 'wl_pointer@[0-9]*\.release()' "$E2E_TAG.log" || { e2e_fail "$how: the pointer not released"; return 1; }
    done
}

# A shortened soak: 200 outputs made, rescaled and unplugged (closed as windows
# of the outer sway), ten at a time, while plix runs. What plix holds stays
# flat: each wl_output bound (at version 3 or later) is released when its output
# goes, its object ids are reused rather than growing, and its descriptors and
# memory are what they were after the first rounds. Ended, it releases the
# keyboard and the seat. (On sway's X11 backend, where outputs are closed too,
# sway takes the pointer into each new output, and rescaling one moves it
# there: plix would take that for the user.)
test_wayland_sway_outputs_soak() {
    local dir round k names lines=() fds=() rss=() bound released early late
    dir=$(mktemp -d "$E2E_TMP/wl.XXXX")
    wl_sway "$dir" nested || return 1
    "${WL_AS[@]}" swaymsg output '*' mode 160x100 >/dev/null || { e2e_fail "swaymsg failed"; return 1; }
    cp "$E2E_NATIVE_BUILD/plix" "$dir/plix" || return 1
    e2e_start_cmd "$dir" "${WL_AS[@]}" WAYLAND_DEBUG=client "$dir/plix" --seed 1
    for round in $(seq 1 20); do
        names=()
        for k in $(seq 1 10); do
            names+=("WL-$((2 + (round - 1) * 10 + k))")  # sway numbers the outputs it makes
            "${WL_AS[@]}" swaymsg create_output >/dev/null &&
                "${WL_AS[@]}" swaymsg output "${names[-1]}" scale 2 >/dev/null ||
                { e2e_fail "${names[-1]}: swaymsg failed"; return 1; }
        done
        sleep 0.1
        "${WL_HOST[@]}" swaymsg "[title=\"^wlroots - ($(IFS='|'; echo "${names[*]}"))\$\"] kill" >/dev/null ||
            { e2e_fail "round $round: swaymsg kill failed"; return 1; }
        sleep 0.2
        kill -0 "$E2E_PID" 2>/dev/null || { e2e_fail "round $round: plix ended: $(grep -v '^\[' "$E2E_TAG.log" | tail -n 3)"; return 1; }
        lines+=("$(wc -l <"$E2E_TAG.log")")
        fds+=("$(ls "/proc/$E2E_PID/fd" | wc -l)")
        rss+=("$(awk '/^VmRSS/ { print $2 }' "/proc/$E2E_PID/status")")
    done
    sleep 1
    bound=$(grep -c 'wl_registry@[0-9]*\.bind([0-9]*, "wl_output", [3-9]' "$E2E_TAG.log")
    released=$(grep -c 'wl_output@[0-9]*\.release()' "$E2E_TAG.log")
    [ "$bound" = 202 ] && [ "$released" = 200 ] ||
        { e2e_fail "$bound outputs bound at version 3 or later (202 came), $released released (200 went)"; return 1; }
    # The largest object id made up to the end of round 2, and in rounds 11 to 20.
    early=$(sed -n "1,${lines[1]}p" "$E2E_TAG.log" | grep -o 'new id [a-z_0-9]*@[0-9]*' | sed 's/.*@//' | sort -n | tail -n 1)
    late=$(sed -n "${lines[9]},${lines[19]}p" "$E2E_TAG.log" | grep -o 'new id [a-z_0-9]*@[0-9]*' | sed 's/.*@//' | sort -n | tail -n 1)
    [ "$late" -le $((early + 16)) ] || { e2e_fail "object ids grew from $early to $late"; return 1; }
    [ "${fds[19]}" -le "${fds[1]}" ] || { e2e_fail "descriptors grew: ${fds[*]}"; return 1; }
    [ "${rss[19]}" -le $((rss[1] + 2048)) ] || { e2e_fail "memory grew (kB): ${rss[*]}"; return 1; }
    kill -TERM "$E2E_PID"
    [ "$(e2e_wait_exit 10)" = 143 ] || { e2e_fail "SIGTERM: $(grep -v '^\[' "$E2E_TAG.log" | tail -n 3)"; return 1; }
    for k in wl_keyboard wl_seat; do
        grep -q "$k@[0-9]*\.release()" "$E2E_TAG.log" || { e2e_fail "no $k released"; return 1; }
    done
}

# Weston has no layer shell: a fullscreen xdg toplevel on its one output shows
# plix-sim's picture at the output's size; SIGTERM ends it there too, leaving
# nothing in XDG_RUNTIME_DIR. Its screenshooter needs --debug, and GL: under
# pixman its picture of XRGB pixels whose top byte is 0 is all transparent.
test_wayland_weston_fullscreen_toplevel() {
    local dir shot before status
    dir=$(mktemp -d "$E2E_TMP/wl.XXXX")
    printf "$X11_INI" >"$dir/want.ini"
    printf '[core]\nidle-time=0\n[shell]\nstartup-animation=none\nanimation=none\npanel-position=none\nlocking=false\n' \
        >"$dir/weston.ini"
    wl_compositor "$dir" run -- weston --backend=headless-backend.so --use-gl --width=400 \
        --height=240 --config="$dir/weston.ini" --debug || return 1
    before=$(ls -A "$dir/run")
    # Weston offers neither idle protocol: --idle says so in one line.
    wl_plix "$dir" --idle 1
    status=$(e2e_wait_exit 10)
    [ "$status" = 2 ] && [ "$(wc -l <"$E2E_TAG.log")" = 1 ] && grep -q "no idle protocol" "$E2E_TAG.log" ||
        { e2e_fail "--idle on weston: status $status: $(cat "$E2E_TAG.log")"; return 1; }
    wl_plix "$dir" "${X11_OPTIONS[@]}" --seed 2 --frames 100
    x11_wait_line 'frames=100' || return 1
    (cd "$dir" && "${WL_AS[@]}" weston-screenshooter) || { e2e_fail "no screenshot: $(cat "$WL_LOG")"; return 1; }
    shot=$(ls "$dir"/wayland-screenshot-*.png)
    x11_matches_sim "$shot" "$dir" "$dir/want.ini" 400x240 2 100 || return 1
    kill -TERM "$E2E_PID"
    status=$(e2e_wait_exit 10)
    [ "$status" = 143 ] && [ "$(ls -A "$dir/run")" = "$before" ] ||
        { e2e_fail "SIGTERM: status $status, XDG_RUNTIME_DIR holds $(ls -A "$dir/run")"; return 1; }
}

# wl_seen DIR OUTPUT...: for each output (grim -o), "none" when it shows hardly
# any black (sway's background is wl_idle_sway's #204060: nothing of plix),
# "dots" when most of it is black with other colours on it (plix's field),
# else "other".
wl_seen() {
    local dir=$1 name
    shift
    for name; do
        "${WL_AS[@]}" grim -o "$name" "$dir/seen.png" || { echo "grim-failed"; continue; }
        convert "$dir/seen.png" -format %c histogram:info:- | awk '
            { n = $1 + 0; total += n }
            /#000000 / { black += n; next }
            /#204060 / { bg += n; next }
            { other += n }
            END { print (black < total / 10 ? "none" : (black > total / 2 && other + bg > 0) ? "dots" : "other") }'
    done
}

# wl_wait_seen DIR SECONDS WANT OUTPUT...: until every OUTPUT is WANT (wl_seen),
# SECONDS at most; says what they were otherwise.
wl_wait_seen() {
    local dir=$1 within=$2 want=$3 got t
    shift 3
    for ((t = 0; t < within * 4; t++)); do
        got=$(wl_seen "$dir" "$@" | tr '\n' ' ')
        [ "$got" = "$(printf "$want %.0s" "$@")" ] && return 0
        sleep 0.25
    done
    e2e_fail "after ${within}s: $* show $got, not $want: $(cat "$E2E_TAG.log")"
}

# wl_idle_sway DIR [nested]: wl_sway with a background of its own, which shows
# where plix does not.
wl_idle_sway() {
    wl_sway "$@" || return 1
    "${WL_AS[@]}" swaymsg 'output * bg #204060 solid_color' >/dev/null ||
        { e2e_fail "swaymsg bg failed"; return 1; }
    sleep 0.5
}

# wl_switches PID: how often PID has gone to sleep and been woken: the same
# while it waits, blocked, with no timer.
wl_switches() { awk '/^voluntary_ctxt_switches:/ { print $2 }' "/proc/$1/status"; }

# plix --idle 3 on sway (org_kde_kwin_idle): nothing at 1 s, and no wake-up
# while it waits; by 5 s the field
# on both outputs; a key takes it down within a second, plix going on, and 5 s
# later it is back. An output unplugged while it shows changes nothing else.
test_wayland_sway_idle() {
    local dir start switches
    dir=$(mktemp -d "$E2E_TMP/wl.XXXX")
    wl_idle_sway "$dir" nested || return 1
    start=$(date +%s.%N)
    wl_plix "$dir" --idle 3
    sleep 1
    switches=$(wl_switches "$E2E_PID")
    [ "$(wl_seen "$dir" WL-1 WL-2 | tr '\n' ' ')" = "none none " ] ||
        { e2e_fail "at 1 s: $(wl_seen "$dir" WL-1 WL-2)"; return 1; }
    sleep 0.8
    [ "$(wl_switches "$E2E_PID")" = "$switches" ] || { e2e_fail "woken while it waits"; return 1; }
    wl_wait_seen "$dir" "$(awk -v s="$start" -v n="$(date +%s.%N)" 'BEGIN { printf "%d", 5 - (n - s) + 0.99 }')" \
        dots WL-1 WL-2 || return 1
    "${WL_AS[@]}" wtype -k space || { e2e_fail "wtype failed"; return 1; }
    start=$(date +%s.%N)
    wl_wait_seen "$dir" 1 none WL-1 WL-2 || return 1
    kill -0 "$E2E_PID" || { e2e_fail "plix ended on a key: $(cat "$E2E_TAG.log")"; return 1; }
    wl_wait_seen "$dir" 5 dots WL-1 WL-2 || return 1
    "${WL_HOST[@]}" swaymsg '[title="wlroots - WL-2"] kill' >/dev/null || { e2e_fail "swaymsg failed"; return 1; }
    sleep 1
    wl_wait_seen "$dir" 1 dots WL-1 || return 1
    kill -0 "$E2E_PID" && ! grep -q . "$E2E_TAG.log" ||
        { e2e_fail "an output unplugged: $(cat "$E2E_TAG.log")"; return 1; }
}

# wl_wait_log LOG PATTERN [COUNT]: until LOG holds COUNT (1) lines matching
# PATTERN, 10 s at most.
wl_wait_log() {
    local t
    for ((t = 0; t < 100; t++)); do
        [ "$(grep -c -- "$2" "$1")" -ge "${3:-1}" ] && return 0
        sleep 0.1
    done
    e2e_fail "no ${3:-1} '$2' in $1: $(cat "$1")"
}

# A window holding an idle inhibitor keeps the field from starting; once it is
# gone the field comes. Settings that cannot be had are said at the start; a
# second plix --idle in the session is refused; the compositor lost, plix
# --idle ends with status 1.
test_wayland_sway_idle_inhibited() {
    local dir inhibitor sway status
    dir=$(mktemp -d "$E2E_TMP/wl.XXXX")
    wl_idle_sway "$dir" || return 1
    sway=$WL_PID
    # Settings that cannot be had are said at the start, not at the first idle time.
    timeout 10 "${WL_AS[@]}" "$E2E_NATIVE_BUILD/plix" --idle 3600 --dot-count 2000000000 >"$dir/memory.txt" 2>&1
    status=$?
    [ "$status" = 1 ] && grep -q "enough memory" "$dir/memory.txt" ||
        { e2e_fail "--idle, too many dots: status $status: $(cat "$dir/memory.txt")"; return 1; }
    e2e_start_cmd "$dir" "${WL_AS[@]}" "$E2E_NATIVE_BUILD/plix-test-inhibitor"
    inhibitor=$E2E_PID
    wl_wait_log "$E2E_TAG.log" inhibiting || return 1
    wl_plix "$dir" --idle 1
    sleep 3
    [ "$(wl_seen "$dir" HEADLESS-1 HEADLESS-2 | tr '\n' ' ')" = "none none " ] ||
        { e2e_fail "inhibited: $(wl_seen "$dir" HEADLESS-1 HEADLESS-2)"; return 1; }
    kill "$inhibitor"
    wl_wait_seen "$dir" 3 dots HEADLESS-1 HEADLESS-2 || return 1
    "${WL_AS[@]}" "$dir/plix" --idle 1 >"$dir/second.txt" 2>&1
    status=$?
    [ "$status" = 1 ] && grep -q "already running" "$dir/second.txt" && [ "$(wc -l <"$dir/second.txt")" = 1 ] ||
        { e2e_fail "a second plix --idle: status $status: $(cat "$dir/second.txt")"; return 1; }
    kill "$sway"
    status=$(e2e_wait_exit 10)
    [ "$status" = 1 ] && grep -q "lost the connection\|protocol error" "$E2E_TAG.log" ||
        { e2e_fail "compositor lost: status $status: $(cat "$E2E_TAG.log")"; return 1; }
}

# An inhibition held on the session bus (a stand-in of the power manager's
# interface) keeps the field from starting, asked once when idle comes and not
# again, nor woken, until it says it changed; then the field comes with no input. The next
# idle time asks again. With the service gone (sway's case), nothing holds it back.
test_wayland_sway_idle_dbus_inhibition() {
    local dir bus standin asked switches
    dir=$(mktemp -d "$E2E_TMP/wl.XXXX")
    wl_idle_sway "$dir" || return 1
    bus=unix:path=$dir/run/test-bus
    e2e_start_cmd "$dir" "${WL_AS[@]}" dbus-daemon --session --nofork --address="$bus"
    sleep 0.5
    WL_AS+=(DBUS_SESSION_BUS_ADDRESS="$bus")
    e2e_start_cmd "$dir" "${WL_AS[@]}" /usr/bin/python3 "$E2E_LIB_DIR/native/inhibit_standin.py" held
    standin=$E2E_PID asked=$E2E_TAG.log
    wl_wait_log "$asked" serving || return 1
    wl_plix "$dir" --idle 1
    wl_wait_log "$asked" asked || return 1
    sleep 0.2
    switches=$(wl_switches "$E2E_PID")
    sleep 2
    [ "$(wl_switches "$E2E_PID")" = "$switches" ] || { e2e_fail "woken while inhibited"; return 1; }
    [ "$(wl_seen "$dir" HEADLESS-1 HEADLESS-2 | tr '\n' ' ')" = "none none " ] ||
        { e2e_fail "inhibited: $(wl_seen "$dir" HEADLESS-1 HEADLESS-2)"; return 1; }
    [ "$(grep -c asked "$asked")" = 1 ] || { e2e_fail "asked again with no change: $(cat "$asked")"; return 1; }
    kill -USR1 "$standin"
    wl_wait_seen "$dir" 3 dots HEADLESS-1 HEADLESS-2 || return 1
    wl_wait_log "$asked" asked 2 || return 1
    kill -USR1 "$standin"
    "${WL_AS[@]}" wtype -k space || { e2e_fail "wtype failed"; return 1; }
    wl_wait_log "$asked" asked 3 || return 1
    sleep 1
    [ "$(wl_seen "$dir" HEADLESS-1 HEADLESS-2 | tr '\n' ' ')" = "none none " ] ||
        { e2e_fail "inhibited again: $(wl_seen "$dir" HEADLESS-1 HEADLESS-2)"; return 1; }
    kill "$standin"
    wl_wait_seen "$dir" 3 dots HEADLESS-1 HEADLESS-2 || return 1
    kill -0 "$E2E_PID" && ! grep -q . "$E2E_TAG.log" ||
        { e2e_fail "plix: $(cat "$E2E_TAG.log")"; return 1; }
}

# KWin 5.27 (kwin_wayland --virtual, two outputs, with a session bus of its own)
# offers ext_idle_notifier_v1, which plix --idle 2 watches: no surface of plix
# before the time; once idled, a layer surface configured on each output and
# frames committed and answered, --fps counting them; with a window holding an
# idle inhibitor, no idled until it goes. (KWin has neither
# screencopy for grim nor a virtual keyboard for wtype: judged by the protocol.)
# The copy of kwin_wayland drops its file capability, which the bounding set of
# the test's user may lack; a copy needs KWin's own Qt platform plug-in forced.
test_wayland_kwin_idle() {
    local dir log t idled asked outputs inhibitor
    dir=$(mktemp -d "$E2E_TMP/wl.XXXX")
    cp "$(command -v kwin_wayland)" "$dir/kwin_wayland" || { e2e_fail "no kwin_wayland"; return 1; }
    # Its own session bus, as dbus-run-session gives it, but started here so that
    # the harness ends the bus and KWin (dbus-run-session, ended, leaves both running).
    x11_as_user "$dir" || return 1
    e2e_start_cmd "$dir" "${X11_AS[@]}" dbus-daemon --session --nofork --address="unix:path=$dir/bus"
    wl_compositor "$dir" run KWIN_FORCE_OWN_QPA=1 DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus" -- \
        "$dir/kwin_wayland" --virtual --output-count 2 --width 320 --height 200 --no-lockscreen || return 1
    WL_AS+=(WAYLAND_DEBUG=1)
    wl_plix "$dir" --idle 2 --fps
    log=$E2E_TAG.log
    sleep 1.5
    ! grep -q 'get_layer_surface\|create_surface' "$log" ||
        { e2e_fail "a surface before the time: $(grep surface "$log" | head -n 3)"; return 1; }
    for ((t = 0; t < 100; t++)); do
        [ "$(grep -c 'frames per second' "$log")" -ge 2 ] && break
        sleep 0.1
    done
    asked=$(sed -n 's/^\[ *\([0-9.]*\)\]  -> ext_idle_notifier_v1@[0-9]*\.get_idle_notification(.*, 2000, .*/\1/p' "$log")
    idled=$(sed -n 's/^\[ *\([0-9.]*\)\] ext_idle_notification_v1@[0-9]*\.idled()$/\1/p' "$log")
    # KWin's timer is one of Qt's coarse ones, which may fire up to 5 % early,
    # and the request's time is when plix queued it, a little before KWin had it.
    [ -n "$asked" ] && [ -n "$idled" ] && awk -v a="$asked" -v i="$idled" 'BEGIN { exit !(i - a >= 1850) }' ||
        { e2e_fail "idled at $idled, asked at $asked: $(grep idle "$log")"; return 1; }
    outputs=$(grep -o 'get_layer_surface(new id [^,]*, wl_surface@[0-9]*, wl_output@[0-9]*' "$log" |
        sed 's/.*wl_output/wl_output/' | sort -u | wc -l)
    [ "$outputs" = 2 ] && [ "$(grep -c 'zwlr_layer_surface_v1@[0-9]*\.configure(.*, 320, 200)' "$log")" = 2 ] ||
        { e2e_fail "layer surfaces: $(grep layer_surface "$log" | head)"; return 1; }
    [ "$(grep -c 'wl_callback@[0-9]*\.done(' "$log")" -ge 100 ] && [ "$(grep -c 'wl_surface@[0-9]*\.attach(' "$log")" -ge 100 ] ||
        { e2e_fail "frames: $(grep -c 'wl_callback@[0-9]*\.done(' "$log") answered"; return 1; }
    # The rate, and the step's own CPU time a frame: some, and at 320 x 200 well
    # under the 10 ms a frame has.
    grep 'frames per second' "$log" | tail -n 1 |
        awk '{ for (i = 3; i < NF; i++) if ($i == "step") t = $(i + 1); exit !($2 > 50 && t > 0 && t < 5) }' ||
        { e2e_fail "--fps: $(grep 'frames per second' "$log")"; return 1; }
    # A window holding an idle inhibitor: KWin sends no idled until it goes.
    kill -TERM "$E2E_PID"
    e2e_wait_exit 10 >/dev/null
    e2e_start_cmd "$dir" "${WL_AS[@]}" "$E2E_NATIVE_BUILD/plix-test-inhibitor"
    inhibitor=$E2E_PID
    wl_wait_log "$E2E_TAG.log" inhibiting || return 1
    wl_plix "$dir" --idle 1
    log=$E2E_TAG.log
    sleep 3
    ! grep -q 'idled()\|create_surface' "$log" || { e2e_fail "idled while inhibited"; return 1; }
    kill "$inhibitor"
    wl_wait_log "$log" 'zwlr_layer_surface_v1@[0-9]*\.configure(' 2 || return 1
}

# A lock screen (swaylock: on sway 1.7 an overlay layer surface, the input its
# own) started while the field shows, as swayidle locks later than plix shows:
# sway keeps the older overlay, the field, on top, but the user's first key,
# which goes to the lock's prompt, takes the field down, leaving the lock in
# view; plix goes on, and its next showing stays behind the lock.
test_wayland_sway_idle_lock_prompt() {
    local dir t plix log
    dir=$(mktemp -d "$E2E_TMP/wl.XXXX")
    wl_idle_sway "$dir" || return 1
    wl_plix "$dir" --idle 1
    plix=$E2E_PID log=$E2E_TAG.log
    wl_wait_seen "$dir" 3 dots HEADLESS-1 HEADLESS-2 || return 1
    e2e_start_cmd "$dir" "${WL_AS[@]}" swaylock --color 336699
    sleep 1
    wl_wait_seen "$dir" 1 dots HEADLESS-1 HEADLESS-2 || return 1
    "${WL_AS[@]}" wtype -k a || { e2e_fail "wtype failed"; return 1; }
    sleep 1
    for ((t = 0; t < 2; t++)); do
        "${WL_AS[@]}" grim "$dir/locked.png" || { e2e_fail "grim failed"; return 1; }
        [ "$(convert "$dir/locked.png" -format %c histogram:info:- | awk '{ print $3 }')" = "#336699" ] ||
            { e2e_fail "not the lock alone: $(convert "$dir/locked.png" -format %c histogram:info:- | head -n 3)"; return 1; }
        kill -0 "$plix" && ! grep -q . "$log" || { e2e_fail "plix: $(cat "$log")"; return 1; }
        sleep 2  # idle again: the next showing
    done
}

# Ten showings, each taken down by a key: between them plix holds no more
# descriptors and hardly more memory than after the second (the buffers of a
# showing are 1 MiB here).
test_wayland_sway_idle_soak() {
    local dir n fds rss
    dir=$(mktemp -d "$E2E_TMP/wl.XXXX")
    wl_idle_sway "$dir" || return 1
    wl_plix "$dir" --idle 1
    for ((n = 1; n <= 10; n++)); do
        wl_wait_seen "$dir" 4 dots HEADLESS-1 || return 1
        "${WL_AS[@]}" wtype -k space || { e2e_fail "wtype failed"; return 1; }
        wl_wait_seen "$dir" 1 none HEADLESS-1 || return 1
        if [ $n = 2 ]; then
            fds=$(ls "/proc/$E2E_PID/fd" | wc -l) rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$E2E_PID/status")
        fi
    done
    [ "$(ls "/proc/$E2E_PID/fd" | wc -l)" = "$fds" ] ||
        { e2e_fail "descriptors: $fds after 2 showings, $(ls "/proc/$E2E_PID/fd" | wc -l) after 10"; return 1; }
    awk -v a="$rss" -v b="$(awk '/^VmRSS:/ { print $2 }' "/proc/$E2E_PID/status")" 'BEGIN { exit !(b - a < 512) }' ||
        { e2e_fail "memory: $rss KiB after 2 showings, $(grep VmRSS "/proc/$E2E_PID/status") after 10"; return 1; }
    kill -0 "$E2E_PID" && ! grep -q . "$E2E_TAG.log" || { e2e_fail "plix: $(cat "$E2E_TAG.log")"; return 1; }
}

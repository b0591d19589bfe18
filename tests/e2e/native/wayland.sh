# plix drawing natively on Wayland: headless sway (layer shell, outputs that
# come and go) and headless weston (a fullscreen xdg toplevel), run as a user.

# shellcheck source-path=SCRIPTDIR source=x11.sh  # its settings, plix-sim check and user
. "$E2E_LIB_DIR/native/x11.sh"

# wl_compositor DIR RUN ENV... -- COMMAND...: COMMAND run as x11_as_user DIR with
# the 0700 XDG_RUNTIME_DIR DIR/RUN and ENV, waited for until its Wayland socket
# answers (sway: its IPC too). WL_AS then runs a client of it as that user;
# WL_SOCKET is its socket, WL_LOG its output.
wl_compositor() {
    local dir=$1 run=$1/$2 env=() t
    shift 2
    while [ "$1" != -- ]; do env+=("$1"); shift; done
    shift
    mkdir -m 700 "$run" && x11_as_user "$dir" || return 1
    e2e_start_cmd "$dir" "${X11_AS[@]}" XDG_RUNTIME_DIR="$run" "${env[@]}" "$@"
    WL_LOG=$E2E_TAG.log
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

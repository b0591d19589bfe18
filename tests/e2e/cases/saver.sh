# End-to-end cases for the full-screen saver (Plix.scr /s) under Wine and Xvfb:
# the picture it draws, what ends it, chow, and the screen-saving flag.

SAVER_TITLE="Plix screensaver"
# A small, lively field: a frame costs far less than the 10 ms tick.
SAVER_DEFAULTS="dot_count=40 dot_history=30 inertia=100 speed_limit=3 brownian=0 bounce=1 chow=0 starting_pos=1"
SAVER_MOUSE_X=512
SAVER_MOUSE_Y=384

# saver_dir [key=value ...]: a case directory whose Plix.ini holds the defaults
# above with the given keys replaced.
saver_dir() {
    local dir kv key
    dir=$(e2e_case_dir) || return 1
    {
        echo "[Plix]"
        for kv in $SAVER_DEFAULTS; do
            key=${kv%%=*}
            for over in "$@"; do [ "${over%%=*}" = "$key" ] && kv=$over; done
            echo "$kv"
        done
    } >"$dir/Plix.ini"
    echo "$dir"
}

# saver_start DIR: puts the pointer at a known place, starts the saver, waits for
# its window and gives it the keyboard. Sets SAVER_WIN.
saver_start() {
    xdotool mousemove "$SAVER_MOUSE_X" "$SAVER_MOUSE_Y"
    sleep 0.3
    e2e_start "$1" /s
    SAVER_WIN=$(e2e_wait_window "$SAVER_TITLE" 30) || {
        e2e_fail "the saver window never appeared"
        return 1
    }
    xdotool windowfocus --sync "$SAVER_WIN" 2>/dev/null
    sleep 1  # some frames
}

saver_running() { kill -0 "$E2E_PID" 2>/dev/null; }

# The saver window's place and size on the X display: "X,Y WxH".
saver_geometry() {
    xwininfo -id "$SAVER_WIN" | awk '/Absolute upper-left X/ {x=$NF}
        /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF}
        END {print x "," y " " w "x" h}'
}

# saver_expect_exit WHAT: the saver must end by itself within 10 s with status 0.
saver_expect_exit() {
    local status
    status=$(e2e_wait_exit 10)
    [ "$status" = 0 ] || {
        e2e_fail "$1: expected the saver to end with status 0, got '$status'"
        return 1
    }
}

# saver_expect_running WHAT: still running after a second and a half.
saver_expect_running() {
    sleep 1.5
    saver_running || {
        e2e_fail "$1: the saver ended, but should still be running"
        return 1
    }
}

# Ends a saver that is still running (after a failed check), by key, else by force.
saver_stop() {
    saver_running || return 0
    [ -n "$SAVER_WIN" ] && xdotool windowfocus "$SAVER_WIN" key Escape 2>/dev/null
    e2e_wait_exit 5 >/dev/null
}

# saver_stats PNG -> "nonblack distinct coloured": lit pixels, distinct lit
# colours, and lit pixels that are not grey (r, g, b not all equal).
saver_stats() {
    convert "$1" -depth 8 txt:- | awk -F'[(),]' '
        NR > 1 && ($3 != 0 || $4 != 0 || $5 != 0) {
            n++; c[$3 "," $4 "," $5] = 1
            if ($3 != $4 || $4 != $5) col++
        }
        END { d = 0; for (k in c) d++; printf "%d %d %d\n", n, d, col }'
}

# saver_lit_on_edges PNG -> "last_column last_row left_band right_band": lit
# pixels in the last column, the last row, and the first and last 8 columns.
saver_lit_on_edges() {
    convert "$1" -depth 8 txt:- | awk -F'[(),:]' '
        NR == 1 { split($0, h, /[ ,:]+/); w = h[5]; ht = h[6]; next }
        ($4 != 0 || $5 != 0 || $6 != 0) {
            if ($1 == w - 1) c++
            if ($2 == ht - 1) r++
            if ($1 < 8) lb++
            if ($1 >= w - 8) rb++
        }
        END { printf "%d %d %d %d\n", c, r, lb, rb }'
}

# The pattern window's picture: 32-pixel squares, yellow where (x/32 + y/32) is
# odd, white where even, in screen coordinates.
# saver_pattern_stats PNG [X0 Y0 X1 Y1] -> "pattern black other": pixels showing
# the pattern colour of their place, pure black ones, and the rest (only those
# with X0 <= x < X1 and Y0 <= y < Y1 when given).
saver_pattern_stats() {
    convert "$1" -depth 8 txt:- | awk -F'[(),:]' -v x0="${2:-0}" -v y0="${3:-0}" \
        -v x1="${4:-1e9}" -v y1="${5:-1e9}" '
        NR == 1 { next }
        $1 < x0 || $1 >= x1 || $2 < y0 || $2 >= y1 { next }
        {
            x = $1; y = $2; r = $4; g = $5; b = $6
            yellow = (int(x / 32) + int(y / 32)) % 2
            if (r == 255 && g == 255 && b == (yellow ? 0 : 255)) p++
            else if (r == 0 && g == 0 && b == 0) k++
            else o++
        }
        END { printf "%d %d %d\n", p, k, o }'
}

# saver_window TITLE [pattern|plain] [X Y W H]: starts our own Win32 window and
# waits for it. Sets HELPER_PID.
saver_window() {
    local title=$1
    shift
    (cd "$E2E_TMP" && exec $WINE "$E2E_WIN_BUILD/plix-e2e-window.exe" "$title" "$@") \
        >/dev/null 2>&1 &
    HELPER_PID=$!
    e2e_wait_window "$title" 30 >/dev/null || {
        e2e_fail "the helper window '$title' never appeared"
        return 1
    }
}

saver_window_stop() {
    [ -n "$HELPER_PID" ] || return 0
    kill "$HELPER_PID" 2>/dev/null
    wait "$HELPER_PID" 2>/dev/null
    HELPER_PID=
}

test_saver_dots_move_and_leave_fading_trails() {
    local dir a b stats_a stats_b changed rc=0
    dir=$(saver_dir) || return 1
    saver_start "$dir" || return 1
    a=$(e2e_shot saver_dots_a)
    sleep 0.5
    b=$(e2e_shot saver_dots_b)
    stats_a=($(saver_stats "$a"))
    stats_b=($(saver_stats "$b"))
    changed=$(compare -metric AE "$a" "$b" null: 2>&1)
    echo "first: lit ${stats_a[0]}, colours ${stats_a[1]}, not grey ${stats_a[2]}; second: lit ${stats_b[0]}; changed $changed"
    # 40 dots with 30-point trails: each shows its head and up to 29 fading points,
    # so far more lit pixels, and far more distinct colours, than dots.
    [ "${stats_a[0]}" -gt 200 ] && [ "${stats_b[0]}" -gt 200 ] ||
        { e2e_fail "too few lit pixels for 40 dots with trails"; rc=1; }
    [ "${stats_a[0]}" -le $((40 * 31)) ] ||
        { e2e_fail "more lit pixels than 40 dots and their trails can make"; rc=1; }
    [ "${stats_a[1]}" -gt 120 ] ||
        { e2e_fail "few distinct colours: the trails do not fade"; rc=1; }
    [ "${stats_a[2]}" -gt 100 ] || { e2e_fail "the dots are not coloured"; rc=1; }
    [ "$changed" -gt 100 ] || { e2e_fail "the picture did not change: the dots do not move"; rc=1; }
    saver_running || { e2e_fail "the saver ended by itself"; rc=1; }
    saver_stop
    return $rc
}

# Started further on (PLIX_SEED and PLIX_FRAMES_AHEAD, read once at start-up):
# the screen is plix-sim's after the frames ahead and those shown since, frame
# for frame. Which frame the shot caught is found by trying each in turn.
test_saver_frames_ahead_equals_sim() {
    local dir shot found
    [ -x "$E2E_NATIVE_BUILD/plix-sim" ] || { e2e_fail "plix-sim is not built"; return 1; }
    dir=$(saver_dir) || return 1
    PLIX_SEED=-5 PLIX_FRAMES_AHEAD=2000 saver_start "$dir" || return 1
    shot=$(e2e_shot saver_frames_ahead)
    saver_stop
    convert "$shot" -depth 8 BGRA:"$dir/shot.bgra" || { e2e_fail "no shot"; return 1; }
    found=$(python3 - "$E2E_NATIVE_BUILD/plix-sim" "$dir" <<'PY'
import subprocess, sys
sim, d = sys.argv[1:]
shot = open(d + "/shot.bgra", "rb").read()
want = [shot[i::4] for i in range(3)]
for k in range(2001, 2801):  # the first paint shows frame 2001
    subprocess.run([sim, "--settings", d + "/Plix.ini", "--size", "1024x768", "--seed", "-5",
                    "--frames", str(k), "--raw", d + "/sim.raw"], check=True, capture_output=True)
    raw = open(d + "/sim.raw", "rb").read()
    if all(raw[i::4] == want[i] for i in range(3)):
        print(k)
        break
PY
)
    echo "the shot is plix-sim's frame ${found:-none of 2001 to 2800}"
    [ -n "$found" ] || { e2e_fail "the saver's screen is none of plix-sim's frames 2001 to 2800 from seed -5"; return 1; }
}

test_saver_dots_stay_on_screen() {
    # A negative speed limit pushes every dot right and down at full speed: with
    # bounce they end pressed against the last column and row; wrapping, they
    # cross the edges again and again. Neither may draw off the screen.
    local bounce dir shot edges geom rc=0
    for bounce in 1 0; do
        dir=$(saver_dir dot_count=60 speed_limit=-7 bounce=$bounce) || return 1
        saver_start "$dir" || return 1
        geom=$(saver_geometry)
        sleep 4  # at 100 frames a second the dots reach the corner in about 1.5 s
        shot=$(e2e_shot "saver_edges_bounce$bounce")
        edges=($(saver_lit_on_edges "$shot"))
        echo "bounce=$bounce: window $geom, lit in last column ${edges[0]}, last row ${edges[1]}," \
            "first 8 columns ${edges[2]}, last 8 columns ${edges[3]}"
        [ "$geom" = "0,0 $(xdotool getdisplaygeometry | tr ' ' x)" ] ||
            { e2e_fail "the window does not cover exactly the screen: $geom"; rc=1; }
        if [ "$bounce" = 1 ]; then
            [ "${edges[0]}" -gt 0 ] && [ "${edges[1]}" -gt 0 ] ||
                { e2e_fail "no dot pressed against the right and bottom edges"; rc=1; }
        else
            # 60 trails about 200 pixels wide keep crossing both side edges.
            [ "${edges[2]}" -gt 0 ] && [ "${edges[3]}" -gt 0 ] ||
                { e2e_fail "no dot wrapping across the side edges"; rc=1; }
        fi
        saver_running || { e2e_fail "bounce=$bounce: the saver died"; rc=1; }
        xdotool key --window "$SAVER_WIN" a 2>/dev/null || xdotool key a
        saver_expect_exit "key press (bounce=$bounce)" || rc=1
        saver_stop
    done
    return $rc
}

test_saver_no_dots_screen_stays_black() {
    local dir shot stats i rc=0
    dir=$(saver_dir dot_count=0) || return 1
    saver_start "$dir" || return 1
    for i in 1 2; do
        shot=$(e2e_shot "saver_black_$i")
        stats=($(saver_stats "$shot"))
        [ "${stats[0]}" = 0 ] || { e2e_fail "shot $i: ${stats[0]} lit pixels on a dotless screen"; rc=1; }
        sleep 0.5
    done
    saver_running || { e2e_fail "the saver ended by itself"; rc=1; }
    xdotool key a
    saver_expect_exit "key press" || rc=1
    saver_stop
    return $rc
}

test_saver_key_and_buttons_end_it() {
    local dir how rc=0
    for how in "key a" "key space" "click 1" "click 3" "click 2"; do
        dir=$(saver_dir) || return 1
        saver_start "$dir" || return 1
        xdotool $how
        saver_expect_exit "$how" || rc=1
        saver_stop
    done
    return $rc
}

test_saver_system_keys_alone_do_not_end_it() {
    local dir key rc=0
    # Alt and F10 arrive as system key messages, not as key presses.
    dir=$(saver_dir) || return 1
    saver_start "$dir" || return 1
    for key in Alt_L F10; do
        xdotool key $key
        saver_expect_running "system key $key" || rc=1
    done
    xdotool key a
    saver_expect_exit "key press after the system keys" || rc=1
    saver_stop
    return $rc
}

test_saver_button_release_alone_does_not_end_it() {
    local dir button rc=0
    # The X server drops the release of a button that is not down, so the
    # releases go through Wine's own input queue; a press sent the same way
    # then shows that this route reaches the saver.
    dir=$(saver_dir) || return 1
    saver_start "$dir" || return 1
    for button in left right middle; do
        e2e_wine_exe plix-input.exe up $button || { e2e_fail "plix-input up $button failed"; rc=1; }
        saver_expect_running "release of the $button button alone" || rc=1
    done
    e2e_wine_exe plix-input.exe down middle
    saver_expect_exit "a middle button press sent the same way" || rc=1
    saver_stop
    return $rc
}

test_saver_mouse_slack_is_five_pixels() {
    local dir rc=0 dx dy stay
    # Within 5 pixels of the start on both axes nothing happens, however the
    # pointer wanders; the start position counts, not the last one.
    dir=$(saver_dir) || return 1
    saver_start "$dir" || return 1
    for stay in "5 0" "0 -5" "-5 5" "5 -5" "3 2"; do
        set -- $stay
        xdotool mousemove $((SAVER_MOUSE_X + $1)) $((SAVER_MOUSE_Y + $2))
        saver_expect_running "pointer moved by ($1, $2)" || rc=1
    done
    xdotool key a
    saver_expect_exit "key press" || rc=1
    saver_stop
    # Six pixels on either axis ends it, even when reached in small steps.
    for dx in "6 0" "0 -6" "-6 0" "0 6"; do
        set -- $dx
        dir=$(saver_dir) || return 1
        saver_start "$dir" || return 1
        xdotool mousemove $((SAVER_MOUSE_X + $1 / 2)) $((SAVER_MOUSE_Y + $2 / 2))
        sleep 0.3
        saver_running || { e2e_fail "ended after only half of ($1, $2)"; rc=1; }
        xdotool mousemove $((SAVER_MOUSE_X + $1)) $((SAVER_MOUSE_Y + $2))
        saver_expect_exit "pointer moved by ($1, $2)" || rc=1
        saver_stop
    done
    return $rc
}

test_saver_another_window_activated_ends_it() {
    local dir other rc=0
    # A window opened over the running saver takes the activation.
    dir=$(saver_dir) || return 1
    saver_start "$dir" || return 1
    saver_window "Plix e2e other" plain 64 64 128 128 || { saver_stop; return 1; }
    saver_expect_exit "a new window opened" || rc=1
    saver_stop
    saver_window_stop
    # A window that was there before is given the focus.
    saver_window "Plix e2e other" plain 64 64 128 128 || return 1
    other=$(e2e_wait_window "Plix e2e other" 5)
    dir=$(saver_dir) || return 1
    saver_start "$dir" || { saver_window_stop; return 1; }
    saver_running || { e2e_fail "the saver ended before the other window was focused"; rc=1; }
    xdotool windowfocus "$other"
    saver_expect_exit "the other window focused" || rc=1
    saver_stop
    saver_window_stop
    return $rc
}

test_saver_chow_eats_into_the_previous_picture() {
    local dir shot stats total rc=0
    saver_window "Plix e2e pattern" pattern || return 1
    sleep 0.5
    # No dots: the saver shows exactly the picture that was there.
    dir=$(saver_dir chow=1 dot_count=0) || { saver_window_stop; return 1; }
    saver_start "$dir" || { saver_window_stop; return 1; }
    shot=$(e2e_shot saver_chow_nodots)
    stats=($(saver_pattern_stats "$shot"))
    total=$((stats[0] + stats[1] + stats[2]))
    echo "chow, no dots: pattern ${stats[0]} black ${stats[1]} other ${stats[2]} of $total"
    [ "${stats[0]}" = "$total" ] || { e2e_fail "chow without dots changed the picture"; rc=1; }
    xdotool key a
    saver_expect_exit "key press (chow, no dots)" || rc=1
    saver_stop
    # Dots: the picture stays where they have not been, cut by black trail ends.
    dir=$(saver_dir chow=1 dot_count=60 speed_limit=4) || { saver_window_stop; return 1; }
    saver_start "$dir" || { saver_window_stop; return 1; }
    sleep 1
    shot=$(e2e_shot saver_chow_dots)
    stats=($(saver_pattern_stats "$shot"))
    echo "chow, dots: pattern ${stats[0]} black ${stats[1]} other ${stats[2]} of $total"
    [ "${stats[0]}" -gt $((total * 9 / 10)) ] ||
        { e2e_fail "the previous picture is gone"; rc=1; }
    [ "${stats[1]}" -gt 100 ] || { e2e_fail "no black trails cut into the picture"; rc=1; }
    [ "${stats[2]}" -gt 60 ] || { e2e_fail "no coloured dots on the picture"; rc=1; }
    xdotool key a
    saver_expect_exit "key press (chow)" || rc=1
    saver_stop
    # Without chow the same picture is cleared to black.
    dir=$(saver_dir chow=0 dot_count=60) || { saver_window_stop; return 1; }
    saver_start "$dir" || { saver_window_stop; return 1; }
    shot=$(e2e_shot saver_nochow_dots)
    stats=($(saver_pattern_stats "$shot"))
    echo "no chow: pattern ${stats[0]} black ${stats[1]} other ${stats[2]} of $total"
    [ "${stats[0]}" -lt 100 ] || { e2e_fail "the previous picture shows without chow"; rc=1; }
    [ "${stats[1]}" -gt $((total * 9 / 10)) ] || { e2e_fail "the background is not black"; rc=1; }
    xdotool key a
    saver_expect_exit "key press (no chow)" || rc=1
    saver_stop
    saver_window_stop
    return $rc
}

test_saver_covers_every_monitor() {
    local dir geom shot head stats total rc=0
    # Two monitors, the primary on the right: the virtual screen starts at
    # (-640, 0), which is (0, 0) on the X display (lib.sh, e2e_xorg).
    e2e_xorg two-heads.conf || return 1
    saver_window "Plix e2e pattern" pattern -640 0 1440 600 || return 1
    sleep 0.5
    dir=$(saver_dir chow=1 dot_count=60 speed_limit=4) || { saver_window_stop; return 1; }
    saver_start "$dir" || { saver_window_stop; return 1; }
    geom=$(saver_geometry)
    echo "saver window $geom"
    [ "$geom" = "0,0 1440x600" ] || { e2e_fail "the window does not cover both monitors: $geom"; rc=1; }
    sleep 1
    shot=$(e2e_shot saver_two_heads)
    # Each monitor keeps its picture, with dots and their black trail ends on it.
    for head in "0 0 640 480" "640 0 1440 600"; do
        stats=($(saver_pattern_stats "$shot" $head))
        total=$((stats[0] + stats[1] + stats[2]))
        echo "monitor $head: pattern ${stats[0]} black ${stats[1]} other ${stats[2]} of $total"
        [ "${stats[0]}" -gt $((total * 9 / 10)) ] ||
            { e2e_fail "monitor $head: the previous picture is gone"; rc=1; }
        [ "${stats[1]}" -gt 30 ] && [ "${stats[2]}" -gt 30 ] ||
            { e2e_fail "monitor $head: no dots with trails"; rc=1; }
    done
    xdotool key a
    saver_expect_exit "key press (two monitors)" || rc=1
    saver_stop
    saver_window_stop
    e2e_xorg_end
    return $rc
}

test_saver_follows_the_screen_when_it_changes_size() {
    local chow size geom shot stats total picture out t rc=0 SAVER_MOUSE_X=1000 SAVER_MOUSE_Y=700
    # The cursor starts outside the smaller screen, so shrinking moves it: no
    # user's doing. A window below shows wherever the saver does not cover, and
    # is what chow keeps.
    e2e_xorg one-head-modes.conf || return 1
    saver_window "Plix e2e pattern" pattern 0 0 1024 768 || return 1
    for chow in 0 1; do
        saver_start "$(saver_dir dot_count=100 chow=$chow)" || { saver_window_stop; return 1; }
        for size in 800x600 1024x768; do
            out=$(e2e_wine_exe plix-display-mode.exe "$size") || { e2e_fail "no mode $size: $out"; rc=1; }
            # The saver follows in its own time: its window and its picture are
            # waited for (15 s at most), then judged.
            for ((t = 0; t < 30; t++)); do
                geom=$(saver_geometry)
                shot=$(e2e_shot "saver_mode_${chow}_$size")
                stats=($(saver_pattern_stats "$shot"))
                total=$((stats[0] + stats[1] + stats[2]))
                if [ "$chow" = 1 ]; then picture=$((stats[0] > total * 9 / 10)); else picture=$((stats[0] < 100)); fi
                [ "$geom" = "0,0 $size" ] && [ "$total" = $((${size%x*} * ${size#*x})) ] &&
                    [ "$picture" = 1 ] && [ "${stats[2]}" -gt 300 ] && break
                sleep 0.5
            done
            echo "chow $chow $size: window $geom, pattern ${stats[0]} black ${stats[1]} other ${stats[2]} of $total"
            [ "$geom" = "0,0 $size" ] || { e2e_fail "$size: the window is $geom"; rc=1; }
            [ "$total" = $((${size%x*} * ${size#*x})) ] || { e2e_fail "$size: the screen is not"; rc=1; }
            [ "$picture" = 1 ] && [ "${stats[2]}" -gt 300 ] ||
                { e2e_fail "chow $chow $size: not the saver's picture with dots everywhere"; rc=1; }
            saver_running || { e2e_fail "chow $chow $size: the saver ended"; rc=1; }
        done
        xdotool key a
        saver_expect_exit "key press after the changes" || rc=1
        saver_stop
    done
    saver_window_stop
    e2e_xorg_end
    return $rc
}

test_saver_restores_the_screen_saving_state() {
    local before during after dir rc=0
    # Under Wine with X11 the state is the X server's own screen saver;
    # plix-spi reads and sets it as the saver does. The X server resets it to
    # its default when its last client disconnects, so a window of ours stays
    # connected from the first probe to the last.
    saver_window "Plix e2e keeper" plain 0 0 32 32 || return 1
    for before in 0 1; do
        e2e_wine_exe plix-spi.exe set "$before" >/dev/null
        [ "$(e2e_wine_exe plix-spi.exe get | tr -d '\r')" = "$before" ] ||
            { e2e_fail "could not set the screen-saving state to $before"; saver_window_stop; return 1; }
        dir=$(saver_dir) || { saver_window_stop; return 1; }
        saver_start "$dir" || { saver_window_stop; return 1; }
        during=$(e2e_wine_exe plix-spi.exe get | tr -d '\r')
        xdotool key a
        saver_expect_exit "key press (state $before)" || rc=1
        saver_stop
        after=$(e2e_wine_exe plix-spi.exe get | tr -d '\r')
        echo "before $before, during $during, after $after"
        [ "$during" = 1 ] || { e2e_fail "screen saving not active while the saver runs"; rc=1; }
        [ "$after" = "$before" ] || { e2e_fail "state $before became $after after the run"; rc=1; }
    done
    e2e_wine_exe plix-spi.exe set 1 >/dev/null
    saver_window_stop
    return $rc
}

test_saver_many_close_requests_end_cleanly() {
    local dir rc=0
    # Every input posts a close request: a burst queues many before the loop ends.
    dir=$(saver_dir) || return 1
    saver_start "$dir" || return 1
    xdotool key --delay 0 a b c d e f g h i j k l m n o p click 1 click 3 \
        mousemove 700 600 click 2
    saver_expect_exit "a burst of inputs" || rc=1
    saver_stop
    # Frames far slower than the tick: paints are still due when the close comes.
    dir=$(saver_dir dot_count=3000 dot_history=200) || return 1
    saver_start "$dir" || return 1
    xdotool key --delay 0 a b c d e f g h
    saver_expect_exit "a burst of keys during slow frames" || rc=1
    saver_stop
    return $rc
}

test_saver_huge_frames_still_end_promptly() {
    local dir rc=0 way t0 status
    # About 61 million pixels a frame, the most the dialog lets one ask for short
    # of "Out of memory": each way out must still end the saver within a second
    # or so, not after the frame (the wait also covers Wine ending the process).
    for way in key mouse activation; do
        dir=$(saver_dir dot_count=60000 dot_history=1024) || return 1
        saver_start "$dir" || return 1
        saver_running || { e2e_fail "$way: the saver ended before anything happened"; return 1; }
        sleep 2  # well inside a frame
        t0=$(date +%s%N)
        case $way in
            key) xdotool key a ;;
            mouse) xdotool mousemove $((SAVER_MOUSE_X + 200)) "$SAVER_MOUSE_Y" ;;
            activation) saver_window "Plix e2e other" plain 64 64 128 128 ;;
        esac
        status=$(e2e_wait_exit 3)
        echo "$way: ended with '$status' $((($(date +%s%N) - t0) / 1000000)) ms after it"
        [ "$status" = 0 ] || { e2e_fail "$way during a huge frame: status '$status'"; rc=1; }
        saver_stop
        saver_window_stop
    done
    return $rc
}

# A frame's tiles reach the window through one copy clipped to a region built in
# parts: read back from a real window, the region holds exactly the tiles.
test_saver_clipped_copy_shows_exactly_its_tiles() {
    local out
    out=$(e2e_wine_exe plix-present-probe.exe) || { e2e_fail "present probe: ${out:-no output}"; return 1; }
    [ "$out" = ok ] || { e2e_fail "present probe said: $out"; return 1; }
}

# saver_display STATE [VARIANT]: the display's state, delivered as Windows does.
saver_display() {
    e2e_wine_exe plix-power.exe "$SAVER_TITLE" "$@" || e2e_fail "plix-power $* failed"
}

# saver_still WHAT: two shots a second apart are identical and the saver's
# processor time stays flat meanwhile; with "moving", the picture changes instead.
saver_still() {
    local a b t0 t1 changed
    sleep 0.5
    a=$(e2e_shot "saver_power_a") t0=$(e2e_ticks "$E2E_PID")
    sleep 1
    b=$(e2e_shot "saver_power_b") t1=$(e2e_ticks "$E2E_PID")
    changed=$(compare -metric AE "$a" "$b" null: 2>&1)
    echo "$1: $changed pixels changed, $((t1 - t0)) ticks of processor time"
    if [ "${2:-}" = moving ]; then
        [ "$changed" -gt 100 ] || e2e_fail "$1: the dots do not move"
    else
        [ "$changed" = 0 ] && [ $((t1 - t0)) -le 1 ] || e2e_fail "$1: the saver is still drawing"
    fi
}

test_saver_display_off_draws_nothing() {
    local way back bad rc=0
    for way in "key a" "mousemove $((SAVER_MOUSE_X + 20)) $SAVER_MOUSE_Y"; do
        saver_start "$(saver_dir)" || return 1
        if [ "$way" = "key a" ]; then
            # Another setting, a length that is not a DWORD's, no address, an
            # unknown state: nothing changes.
            for bad in "off other-setting" "off length=2" "off length=8" "off null" "7"; do
                saver_display $bad || rc=1
            done
            saver_still "after messages to ignore" moving || rc=1
        fi
        back=on && [ "$way" != "key a" ] && back=dimmed
        saver_display off && saver_still "display off" || rc=1
        saver_display "$back" && saver_still "display $back" moving || rc=1
        # Whatever ends the saver ends it while the display is off too.
        saver_display off && sleep 0.5 && xdotool $way
        saver_expect_exit "$way while the display is off" || rc=1
        saver_stop
    done
    return $rc
}

# saver_counts: what the saver's process holds, from plix-soak.exe.
saver_counts() {
    e2e_wine_exe plix-soak.exe counts "$SAVER_TITLE"
}

# count NAME LINE: the value of NAME=... in a plix-soak counts line.
count() { sed -n -E "s/.*\b$1=(-?[0-9]+).*/\1/p" <<<"$2"; }

# Hundreds of screen changes and display off/on cycles, as hours of use would
# bring: the saver's GDI and USER objects, handles, windows and working set stay
# where they were after the first few. Under Wine GetGuiResources answers 0, so
# the GDI objects are also counted in the process's handle table. 32-bit Wine 8
# leaves that table out of a 32-bit process's PEB: where the other build is the
# 64-bit one, the soak takes it (the same code).
test_saver_soak_screen_and_display_changes_hold_nothing_more() {
    local before after n rc=0 SAVER_MOUSE_X=700 SAVER_MOUSE_Y=500
    local E2E_WIN_BUILD=${E2E_OTHER_WIN_BUILD:-$E2E_WIN_BUILD}
    n=${SAVER_SOAK_EVENTS:-200}
    e2e_xorg one-head-modes.conf || return 1
    saver_start "$(saver_dir dot_count=100 dot_history=64)" || { e2e_xorg_end; return 1; }
    # The first changes make what Wine keeps for good (its caches, the mode list).
    e2e_wine_exe plix-soak.exe modes 4 "$SAVER_TITLE" 800x600 1024x768 >/dev/null &&
        e2e_wine_exe plix-soak.exe power 4 "$SAVER_TITLE" >/dev/null ||
        { e2e_fail "the first changes failed"; rc=1; }
    before=$(saver_counts)
    e2e_wine_exe plix-soak.exe modes "$n" "$SAVER_TITLE" 800x600 1024x768 || { e2e_fail "mode changes failed"; rc=1; }
    e2e_wine_exe plix-soak.exe power "$n" "$SAVER_TITLE" || { e2e_fail "display cycles failed"; rc=1; }
    after=$(saver_counts)
    echo "before: $before"
    echo "after:  $after"
    saver_running || { e2e_fail "the saver ended during the changes"; rc=1; }
    [ "$(count gdi_table "$before")" -gt 0 ] 2>/dev/null ||
        { e2e_fail "no GDI objects counted: the count is no check (a 32-bit build under 32-bit Wine has no GDI table to read)"; rc=1; }
    local what slack
    for what in "gdi 2" "user 2" "gdi_table 4" "handles 4" "windows 0" "working_set_kb 4096"; do
        slack=${what#* } what=${what% *}
        [ "$(count "$what" "$after")" -le $(($(count "$what" "$before") + slack)) ] 2>/dev/null ||
            { e2e_fail "$what grew over $n changes: $(count "$what" "$before") -> $(count "$what" "$after")"; rc=1; }
    done
    # It still draws, on the size it was left at.
    [ "$(saver_geometry)" = "0,0 1024x768" ] || { e2e_fail "the window is $(saver_geometry)"; rc=1; }
    xdotool key a
    saver_expect_exit "key press after the soak" || rc=1
    saver_stop
    e2e_xorg_end
    return $rc
}

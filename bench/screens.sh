#!/usr/bin/env bash
# The saver's cost at real screen sizes, in one run: both Windows builds'
# Plix.scr /s under Wine (the 32-bit one where this machine can run 32-bit
# programs, and the 64-bit one) and the native plix --root, each beside two
# reference programs on the same Xvfb screen (a 100 Hz window that paints
# nothing, the floor; one that copies its whole screen every frame), at the
# shipped defaults with centre and with random starts and at 1000 dots x trail
# 256, and for Plix.scr with the display off (the defaults with random starts,
# told so as Windows tells it, by plix-power.exe). Each setting also at steady
# state: started as the field stands some thousands of frames on
# (PLIX_SEED=1 PLIX_FRAMES_AHEAD, see frames_ahead), beside the frame step's own
# share there (plix-sim's CPU time per frame drawn ahead, at 100 frames a
# second). For each: the program's and the X server's share of one core over
# SECONDS after WARMUP (counted from the first frames shown), and the frame
# rate; worst of RUNS runs, the builds alternated within each run. Prints a
# Markdown table per program, labelled by architecture, of the starts; then one
# of start and steady state side by side, with whether steady state costs no
# more than the frame step plus the whole-screen copy, program + server.
# With BASE_NATIVE and BASE_WIN64 (another build's folders, either or both), that
# build's plix --root and 64-bit Plix.scr at the start and at steady state too,
# taking turns with these in each run: before and after.
# usage: bench/screens.sh [NATIVE_BUILD (build)] [WIN32_BUILD (build-win32)] [WIN64_BUILD (build-win64)]
# environment: SIZES (default "1024x768 1920x1080 3840x2160 7680x2160"), RUNS (3),
#   SECONDS_EACH (4), WARMUP (2), PLATFORMS ("wine x11"), BASE_NATIVE, BASE_WIN64,
#   ONLY_STEPS=1 (the frame steps alone), PUTS=1 (as root, with perf: also what
#   Wine puts to the X server, by a probe on libXext's XShmPutImage, for each
#   64-bit Windows program: puts a second and pixels a put; and the 64-bit
#   Plix.scr's frame step in the run: its share times the part of perf's samples,
#   taken in a second window of SECONDS after the first, that lie in its own code).
#   plix --root says its own step in the run (--fps), which the goal takes.
set -u
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 2
# shellcheck source=bench/lib.sh
. bench/lib.sh
# shellcheck source=tests/e2e/lib.sh
. tests/e2e/lib.sh

native=$(cd "${1:-build}" 2>/dev/null && pwd) || native=""
sizes=${SIZES:-"1024x768 1920x1080 3840x2160 7680x2160"}
runs=${RUNS:-3}
seconds=${SECONDS_EACH:-4}
warmup=${WARMUP:-2}

E2E_TMP=$(mktemp -d /tmp/plix-screens.XXXXXX) || exit 2
export E2E_TMP
counter=$native/bench/plix-screens-x11
results=$E2E_TMP/results  # one line per measurement: platform size program run share xshare fps updates load step

cleanup() {
    [ -z "${PUTS:-}" ] || perf probe -q -d 'probe_libXext:*' 2>/dev/null
    [ -n "${WINEPREFIX:-}" ] && timeout 20 wineserver -k >/dev/null 2>&1
    [ -n "$E2E_XVFB" ] && kill "$E2E_XVFB" 2>/dev/null
    rm -rf "$E2E_TMP"
}
trap cleanup EXIT

# pe_field PE TYPE OFFSET: the field of od TYPE (u4, x2, ...) OFFSET bytes past
# the PE file's "PE" signature.
pe_field() {
    local pe
    pe=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
    od -An -t "$2" -j $((pe + $3)) -N "${2#?}" "$1" | tr -d ' '
}

# The COFF machine field of a PE file: 014c for i386, 8664 for x86-64.
pe_machine() { pe_field "$1" x2 4; }

# Which platforms can run, and why not where one cannot.
platforms=""
base_native=""
win_builds=()  # "PLATFORM DIR" of each Windows build measured
for p in ${PLATFORMS:-wine x11}; do
    case $p in
    wine)
        e2e_pick_wine 2>/dev/null  # WINE: 32-bit Wine where it runs, which runs both builds
        if ! "$WINE" --version >/dev/null 2>&1; then
            echo "screens: skipping Wine: $WINE does not run (install Wine)"
        elif [ ! -x "$counter" ]; then
            echo "screens: skipping Wine: $counter (its frame counter) is missing (libxdamage-dev?)"
        else
            # "PLATFORM MACHINE DIR": the build, the PE machine its Plix.scr must have.
            builds=("wine32 014c ${2:-build-win32}" "wine64 8664 ${3:-build-win64}")
            [ -z "${BASE_WIN64:-}" ] || builds+=("wine64-base 8664 $BASE_WIN64")
            for w in "${builds[@]}"; do
                read -r p machine win_dir <<<"$w"
                win=$(cd "$win_dir" 2>/dev/null && pwd) || win=""
                if [ -z "$win" ] || [ ! -f "$win/Plix.scr" ] || [ ! -f "$win/plix-screens.exe" ] ||
                    [ ! -f "$win/plix-power.exe" ]; then
                    echo "screens: skipping $p: no Plix.scr, plix-screens.exe and plix-power.exe in $win_dir (build it first)"
                elif [ "$(pe_machine "$win/Plix.scr")" != "$machine" ]; then
                    echo "screens: skipping $p: $win_dir/Plix.scr is not the $p build"
                elif [ "$p" = wine32 ] && [ "$WINE" != wine ]; then
                    echo "screens: skipping $p: 32-bit programs cannot run here"
                else
                    win_builds+=("$p $win")
                fi
            done
            [ ${#win_builds[@]} -eq 0 ] || platforms="$platforms wine"
        fi ;;
    x11)
        if [ ! -x "$native/plix" ] || [ ! -x "$counter" ]; then
            echo "screens: skipping plix: no plix and bench/plix-screens-x11 in ${1:-build} (build them first)"
        else
            platforms="$platforms x11"
        fi
        base_native=""
        if [ -n "${BASE_NATIVE:-}" ]; then
            base_native=$(cd "$BASE_NATIVE" 2>/dev/null && pwd)/plix
            [ -x "$base_native" ] || { echo "screens: skipping x11-base: no plix in $BASE_NATIVE"; base_native=""; }
        fi ;;
    esac
done
[ -n "$platforms" ] || { echo "screens: nothing to measure"; exit 0; }
command -v Xvfb >/dev/null || { echo "screens: skipping everything: Xvfb is not installed"; exit 0; }

# The settings measured: name, dot_count, dot_history, starting_pos; the rest are
# the shipped defaults (inertia 400, speed limit 3, bounce, no chow).
settings=("centre 100 64 0" "random 100 64 1" "1000x256 1000 256 1")
wine_then=()
ahead=0  # frames run ahead by the program started next (0: from the start)

# frames_ahead SIZE SETTING: where steady state is taken. bench/steady_state.sh
# has the touched tiles level off by frame 1137, 2185, 3451 with centre starts,
# 1183, 5150, 19578 at 1000x256; random starts level off at once, but their
# picture is a long run's only after about as many frames as centre starts take.
frames_ahead() {
    case $1/$2 in
    1024x768/*) echo 2000 ;;
    1920x1080/1000x256) echo 8000 ;;
    1920x1080/*) echo 3500 ;;
    3840x2160/1000x256) echo 24000 ;;
    3840x2160/*) echo 5500 ;;
    *x*/1000x256) echo 24000 ;;  # other sizes: the 4K margins, which cover smaller
    *) echo 5500 ;;
    esac
}

# write_ini FILE DOT_COUNT DOT_HISTORY STARTING_POS: the shipped defaults but these.
write_ini() {
    printf '[Plix]\r\ndot_count=%s\r\ndot_history=%s\r\ninertia=400\r\nspeed_limit=3\r\nbrownian=0\r\nbounce=1\r\nchow=0\r\nstarting_pos=%s\r\n' \
        "$2" "$3" "$4" >"$1"
}

# wait_for_frames: until the screen changes at least 20 times a second, at most
# 300 s: a program running frames ahead shows nothing until they are done.
wait_for_frames() {
    local cpid
    "$counter" count 2>"$E2E_TMP/wait.log" &
    cpid=$!
    for _ in $(seq 600); do
        awk '/per second/ { for (i = 2; i <= NF; i++) if ($i == "frames" && $(i - 1) >= 20) f = 1 }
            END { exit !f }' "$E2E_TMP/wait.log" && break
        sleep 0.5
    done
    kill "$cpid" 2>/dev/null
    wait "$cpid" 2>/dev/null
}

# mean_rate LOG SKIP: the per-second rates LOG holds after its first SKIP lines
# (the number before "frames per second" or "paints per second"), averaged.
mean_rate() {
    tail -n +$(($2 + 1)) "$1" | awk '/per second/ {
        for (i = 2; i <= NF; i++) if ($i ~ /^(frames|paints)$/) { s += $(i - 1); m++ } }
        END { if (m) printf "%.1f", s / m; else print "-" }'
}

# pe_image_range PE: the x86-64 image's preferred base (ImageBase) and its end
# (+ SizeOfImage), in hex.
pe_image_range() {
    local base
    base=$(pe_field "$1" u8 48)
    printf '%x %x\n' "$base" $((base + $(pe_field "$1" u4 80)))
}

# image_share SHARE PERF_DATA LOW HIGH: SHARE times the part of the samples in
# PERF_DATA whose instruction lies in [LOW, HIGH) (hex): a Windows build's frame
# step as it runs, from the time spent in its own code. Its own side of the plan
# is in there too; in plix, under perf, that is under 0.1 % of its samples.
image_share() {
    perf script -F ip -i "$2" 2>/dev/null | awk -v share="$1" -v lo="$3" -v hi="$4" '
        function hex(h,    i, n) { n = 0; h = tolower(h)
            for (i = 1; i <= length(h); i++) n = n * 16 + index("0123456789abcdef", substr(h, i, 1)) - 1
            return n }
        BEGIN { l = hex(lo); h = hex(hi) }
        { v = hex($1); n++; if (v >= l && v < h) m++ }
        END { if (n) printf "%.1f", share * m / n; else print "-" }'
}

# measure PLATFORM SIZE PROGRAM RUN PID OWN_RATE_LOG: after the warm-up, the shares
# of PID and of Xvfb over the window, the program's own frame rate (if its log
# says one) and the screen updates the counter saw meanwhile. With PUTS, for the
# 64-bit Plix.scr also its step in the run, from perf's samples of its own code.
measure() {
    local p0 x0 t0 p1 x1 t1 cpid lines probe="" sampler="" step
    sleep "$warmup"
    lines=$(wc -l <"$6")
    : >"$E2E_TMP/count.log"
    "$counter" count 2>"$E2E_TMP/count.log" &
    cpid=$!
    if [ -n "${PUTS:-}" ] && [[ $1 == wine64* ]]; then  # the x86-64 libXext probed
        perf record -q -e probe_libXext:XShmPutImage -p "$5" -o "$E2E_TMP/puts.data" -- \
            sleep "$seconds" >/dev/null 2>&1 &
        probe=$!
        # Sampled apart from the share: sampling at 2000 Hz costs the program
        # itself 1 to 3 points of a core (docs/benchmarks-history.md).
        [[ $3 == floor || $3 == copy ]] || sampler=1
    fi
    p0=$(bench_ticks "$5") x0=$(bench_ticks "$E2E_XVFB") t0=$(bench_now)
    sleep "$seconds"
    p1=$(bench_ticks "$5") x1=$(bench_ticks "$E2E_XVFB") t1=$(bench_now)
    kill "$cpid" 2>/dev/null
    wait "$cpid" 2>/dev/null
    if [ -n "$probe" ]; then
        wait "$probe"
        perf script -i "$E2E_TMP/puts.data" 2>/dev/null | awk -v s="$seconds" -v what="$1 $2 $3 $4" '
            { for (i = 1; i <= NF; i++) if (split($i, kv, "=") == 2) v[kv[1]] = kv[2]
              n++; area += v["w"] * v["h"] }
            END { printf "%s %.1f %.0f\n", what, n / s, n ? area / n : 0 }' >>"$E2E_TMP/puts"
    fi
    step=$(tail -n +$((lines + 1)) "$6" | bench_step_share)
    if [ -n "$sampler" ]; then
        perf record -q -e cpu-clock -F 2000 -p "$5" -o "$E2E_TMP/own.data" -- \
            sleep "$seconds" >/dev/null 2>&1
        # shellcheck disable=SC2046  # the range's two words
        step=$(image_share "$(bench_share "$p0" "$p1" "$t0" "$t1")" "$E2E_TMP/own.data" \
            $(pe_image_range "$E2E_TMP/$1/Plix.scr"))
    fi
    echo "$1 $2 $3 $4 $(bench_share "$p0" "$p1" "$t0" "$t1") $(bench_share "$x0" "$x1" "$t0" "$t1")" \
        "$(mean_rate "$6" "$lines")" "$(mean_rate "$E2E_TMP/count.log" 0)" \
        "$(cut -d' ' -f1 /proc/loadavg)" "$step" >>"$results"
}

# Ends a Wine program the way a user ends the saver (a key), else by its pid.
end_wine_program() {
    xdotool key a >/dev/null 2>&1
    for _ in $(seq 30); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill "$1" 2>/dev/null
    wait "$1" 2>/dev/null
}

# run_wine SIZE RUN PROGRAM_NAME WINDOW_TITLE COMMAND...: from the program's folder;
# once its window is up, the command in the array wine_then (if any) as well.
run_wine() {
    local size=$1 run=$2 name=$3 title=$4 pid
    shift 4
    if [ "$ahead" -gt 0 ]; then
        (cd "$E2E_TMP/$wine_platform" && PLIX_SEED=1 PLIX_FRAMES_AHEAD=$ahead exec "$wine_loader" "$@") \
            >/dev/null 2>"$E2E_TMP/own.log" &
    else
        (cd "$E2E_TMP/$wine_platform" && exec "$wine_loader" "$@") >/dev/null 2>"$E2E_TMP/own.log" &
    fi
    pid=$!
    # The window shows once the frames ahead are drawn.
    timeout 300 xdotool search --sync --onlyvisible --name "$title" >/dev/null 2>&1
    [ ${#wine_then[@]} -eq 0 ] || (cd "$E2E_TMP/$wine_platform" && "$wine_loader" "${wine_then[@]}") >/dev/null 2>&1 ||
        echo "screens: $name at $size: ${wine_then[*]} failed" >&2
    [ "$ahead" -eq 0 ] || wait_for_frames
    measure "$wine_platform" "$size" "$name" "$run" "$pid" "$E2E_TMP/own.log"
    end_wine_program "$pid"
}

wine_size() {  # SIZE RUN
    local s
    if [ "$wine_platform" = wine64-base ]; then  # the other build: its starts and steady states
        for s in "${settings[@]}"; do
            # shellcheck disable=SC2086  # the setting's words become arguments
            set -- "$1" "$2" $s
            write_ini "$E2E_TMP/$wine_platform/Plix.ini" "$4" "$5" "$6"
            run_wine "$1" "$2" "$3" "Plix screensaver" ./Plix.scr /s
            ahead=$(frames_ahead "$1" "$3")
            run_wine "$1" "$2" "$3+$ahead" "Plix screensaver" ./Plix.scr /s
            ahead=0
        done
        return
    fi
    run_wine "$1" "$2" floor plix-screens ./plix-screens.exe idle
    run_wine "$1" "$2" copy plix-screens ./plix-screens.exe copy
    for s in "${settings[@]}"; do
        # shellcheck disable=SC2086  # the setting's words become arguments
        set -- "$1" "$2" $s
        printf '[Plix]\ndot_count=%s\ndot_history=%s\ninertia=400\nspeed_limit=3\nbrownian=0\nbounce=1\nchow=0\nstarting_pos=%s\n' \
            "$4" "$5" "$6" >"$E2E_TMP/$wine_platform/Plix.ini"
        # Plix.scr says no frame rate: the counter's screen updates stand for it.
        run_wine "$1" "$2" "$3" "Plix screensaver" ./Plix.scr /s
        ahead=$(frames_ahead "$1" "$3")
        run_wine "$1" "$2" "$3+$ahead" "Plix screensaver" ./Plix.scr /s
        ahead=0
    done
    printf '[Plix]\ndot_count=100\ndot_history=64\ninertia=400\nspeed_limit=3\nbrownian=0\nbounce=1\nchow=0\nstarting_pos=1\n' \
        >"$E2E_TMP/$wine_platform/Plix.ini"
    wine_then=(./plix-power.exe "Plix screensaver" off)
    run_wine "$1" "$2" off "Plix screensaver" ./Plix.scr /s
    wine_then=()
}

run_x11() {  # SIZE RUN NAME COMMAND...
    local size=$1 run=$2 name=$3 pid
    shift 3
    if [ "$ahead" -gt 0 ]; then
        PLIX_SEED=1 PLIX_FRAMES_AHEAD=$ahead "$@" 2>"$E2E_TMP/own.log" &
        pid=$!
        wait_for_frames
    else
        "$@" 2>"$E2E_TMP/own.log" &
        pid=$!
    fi
    measure "${x11_platform:-x11}" "$size" "$name" "$run" "$pid" "$E2E_TMP/own.log"
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

x11_size() {  # SIZE RUN
    local s start name plix=$native/plix
    if [ "${x11_platform:-x11}" = x11-base ]; then
        plix=$base_native  # the other build: its starts and steady states
    else
        run_x11 "$1" "$2" floor "$counter" idle
        run_x11 "$1" "$2" copy "$counter" copy
    fi
    for s in "${settings[@]}"; do
        # shellcheck disable=SC2086  # the setting's words become arguments
        set -- "$1" "$2" $s
        start=--no-starting-pos
        [ "$6" = 1 ] && start=--starting-pos
        for ahead in 0 "$(frames_ahead "$1" "$3")"; do
            name=$3
            [ "$ahead" -eq 0 ] || name=$3+$ahead
            run_x11 "$1" "$2" "$name" "$plix" --root --fps --seed 1 --dot-count "$4" \
                --dot-history "$5" --inertia 400 --speed-limit 3 --bounce --no-chow "$start"
        done
        ahead=0
    done
}

# sim_cpu INI SIZE AHEAD: plix-sim's CPU seconds (user + system) drawing AHEAD frames unseen.
sim_cpu() {
    local TIMEFORMAT='%U %S' t
    t=$({ time "$native/plix-sim" --settings "$1" --size "$2" --seed 1 --frames 0 \
        --frames-ahead "$3" >/dev/null; } 2>&1)
    awk '{ print $1 + $2 }' <<<"$t"
}

# wine_ahead_cpu AHEAD: the Windows build's CPU seconds up to its window
# showing, which it does once PLIX_FRAMES_AHEAD=AHEAD frames are drawn (the
# settings in its Plix.ini).
wine_ahead_cpu() {
    local pid t
    (cd "$E2E_TMP/$wine_platform" && PLIX_SEED=1 PLIX_FRAMES_AHEAD=$1 exec "$wine_loader" ./Plix.scr /s) \
        >/dev/null 2>&1 &
    pid=$!
    timeout 300 xdotool search --sync --onlyvisible --name "Plix screensaver" >/dev/null 2>&1
    t=$(bench_ticks "$pid")
    end_wine_program "$pid"
    awk -v t="$t" -v hz="$bench_hz" 'BEGIN { print t / hz }'
}

# step_size SIZE RUN: the frame step's own share at each setting's steady state,
# "step SIZE SETTING+AHEAD RUN SHARE": the CPU time of the 2000 frames after
# AHEAD, at 100 frames a second. Drawn ahead, they are the step without the
# presentation. For each Windows build the same by its own Plix.scr, "step-PLATFORM
# ...": its CPU time up to its window showing, after AHEAD and after AHEAD + EXTRA
# frames drawn ahead (EXTRA 2000 at 1000 x 256, 20000 at the defaults, whose
# frames are short).
step_size() {
    local s n a b w extra
    for s in "${settings[@]}"; do
        # shellcheck disable=SC2086  # the setting's words become arguments
        set -- "$1" "$2" $s
        write_ini "$E2E_TMP/step.ini" "$4" "$5" "$6"
        n=$(frames_ahead "$1" "$3")
        a=$(sim_cpu "$E2E_TMP/step.ini" "$1" "$n")
        b=$(sim_cpu "$E2E_TMP/step.ini" "$1" $((n + 2000)))
        echo "step $1 $3+$n $2 $(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.1f", (b - a) / 2000 * 100 * 100 }')" \
            "0.0 - - $(cut -d' ' -f1 /proc/loadavg)" >>"$results"
        extra=20000
        [ "$4" -ge 1000 ] && extra=2000
        for w in "${win_builds[@]}"; do
            wine_platform=${w%% *}
            [ "$wine_platform" = wine64-base ] && continue  # draws no frames ahead
            wine_loader=$WINE
            [[ $wine_platform == wine64* ]] && wine_loader=/usr/lib/wine/wine64
            cp "$E2E_TMP/step.ini" "$E2E_TMP/$wine_platform/Plix.ini"
            a=$(wine_ahead_cpu "$n")
            b=$(wine_ahead_cpu $((n + extra)))
            echo "step-$wine_platform $1 $3+$n $2" \
                "$(awk -v a="$a" -v b="$b" -v e="$extra" 'BEGIN { printf "%.1f", (b - a) / e * 100 * 100 }')" \
                "0.0 - - $(cut -d' ' -f1 /proc/loadavg)" >>"$results"
        done
    done
}

if [ -n "${PUTS:-}" ] && [[ $platforms == *wine* ]]; then
    # XShmPutImage's width and height, its 9th and 10th arguments, on the stack.
    perf probe -q -x "$(ldconfig -p | awk '/libXext.so.6 .*x86-64/ { print $NF; exit }')" --add \
        'XShmPutImage w=+24(%sp):u32 h=+32(%sp):u32' ||
        { echo "screens: PUTS=1: no probe on libXext (root and perf needed)" >&2; exit 2; }
fi
if [[ $platforms == *wine* ]]; then
    export WINEPREFIX=$E2E_TMP/pfx WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    for w in "${win_builds[@]}"; do
        mkdir -p "$E2E_TMP/${w%% *}"
        cp "${w#* }/Plix.scr" "${w#* }/plix-screens.exe" "${w#* }/plix-power.exe" "$E2E_TMP/${w%% *}/"
    done
fi

echo "screens: $(date -u '+%F %H:%M') UTC, load average $(cut -d' ' -f1-3 /proc/loadavg);" \
    "$(nproc) cores; ${WINE:-no Wine} $("${WINE:-false}" --version 2>/dev/null) for Plix.scr (${win_builds[*]:-none}); native plix from $native"
for size in $sizes; do
    E2E_SCREEN=${size}x24  # read by e2e_start_xvfb
    # shellcheck disable=SC2119  # no Xvfb arguments beyond the screen
    e2e_start_xvfb || { echo "screens: no Xvfb at $size"; continue; }
    if [[ $platforms == *wine* ]] && [ ! -f "$WINEPREFIX/system.reg" ]; then
        timeout "$E2E_WINEBOOT_TIMEOUT" "$WINE" wineboot -i >"$E2E_TMP/wineboot.log" 2>&1 ||
            { echo "screens: wineboot failed, skipping Wine"; platforms=${platforms/wine/}; }
    fi
    for run in $(seq "$runs"); do
        [ -n "${ONLY_STEPS:-}" ] || for w in "${win_builds[@]}"; do
            wine_platform=${w%% *}
            # The 64-bit loader itself, so that the pid measured is the program's:
            # 32-bit Wine hands a 64-bit program to a wine64 process of its own.
            wine_loader=$WINE
            [[ $wine_platform == wine64* ]] && wine_loader=/usr/lib/wine/wine64
            wine_size "$size" "$run"
        done
        [ -z "${ONLY_STEPS:-}" ] && [[ $platforms == *x11* ]] && x11_platform=x11 x11_size "$size" "$run"
        [ -n "${ONLY_STEPS:-}" ] || [ -z "$base_native" ] || x11_platform=x11-base x11_size "$size" "$run"
        if [ -x "$native/plix-sim" ]; then step_size "$size" "$run"; else echo "screens: no plix-sim: no frame step" >&2; fi
    done
    # Wine's desktop process stays on this display: a fresh start on the next.
    [[ $platforms == *wine* ]] && timeout 20 wineserver -k >/dev/null 2>&1 && timeout 20 wineserver -w
    kill "$E2E_XVFB"
    wait "$E2E_XVFB" 2>/dev/null
    E2E_XVFB=""
    echo "screens: $size done, load average $(cut -d' ' -f1-3 /proc/loadavg)" >&2
done

echo
echo "Raw measurements (platform, screen, program, run, share, X server share," \
    "own frames/s, screen updates/s, load):"
sed 's/^/    /' "$results"
bench/screens_table.awk "$results"
[ ! -s "$E2E_TMP/puts" ] || awk '
    { k = $1 " | " $2 " | " $3; if (!(k in n)) order[++c] = k; n[k]++
      if (n[k] == 1 || $5 < lp[k]) lp[k] = $5; if (n[k] == 1 || $5 > hp[k]) hp[k] = $5
      if (n[k] == 1 || $6 < la[k]) la[k] = $6; if (n[k] == 1 || $6 > ha[k]) ha[k] = $6 }
    END {
      print ""
      print "What Wine put to the X server (XShmPutImage), lowest–highest of the runs:"
      print ""
      print "| platform | screen | program | puts a second | pixels a put |"
      print "|---|---|---|---:|---:|"
      for (i = 1; i <= c; i++) { k = order[i]
        printf "| %s | %.1f–%.1f | %d–%d |\n", k, lp[k], hp[k], la[k], ha[k] }
    }' "$E2E_TMP/puts"

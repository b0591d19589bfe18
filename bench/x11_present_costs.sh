#!/usr/bin/env bash
# The X11 presentation costs: plix-present-bench-x11 on a private Xvfb of the
# given size, the program's processor time and the server's counted together.
# usage: bench/x11_present_costs.sh [BUILD_DIR (default build)] [WxH (default 1024x768)]
set -u
build=$(cd "${1:-build}" && pwd) || exit 2
size=${2:-1024x768}
n=$((250 + RANDOM % 50))
Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
export DISPLAY=":$n"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
echo "Xvfb $size, load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/plix-present-bench-x11" "$xvfb"
echo "load average afterwards $(cut -d' ' -f1-3 /proc/loadavg)"

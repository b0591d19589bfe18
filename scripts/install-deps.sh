#!/usr/bin/env bash
# Installs what building and testing Plix needs on Debian 12 (bookworm), through
# apt, as root or with sudo. Installs nothing when everything is there. Holds up
# when the archive does not: a list that cannot be fetched is named and the lists
# apt has are used; 32-bit Wine is optional (the 64-bit build then runs under
# 64-bit Wine) and is tried again by the next run. Every other package is needed:
# one that cannot be installed fails the run, by name.
# For its tests: INSTALL_DEPS_RUNS_32BIT=yes|no stands for the probe of this
# machine, INSTALL_DEPS_RETRY_DELAY (seconds, default 10) for the wait between
# tries of apt-get update.
set -uo pipefail

needed=(cmake g++ pkg-config file libgtest-dev libbenchmark-dev python3 python3-yaml procps nsis unzip
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine64 xvfb xdotool imagemagick x11-utils e2fsprogs libx11-dev libxext-dev
    libxdamage-dev xserver-xorg-core xserver-xorg-video-dummy xscreensaver x11-xserver-utils dpkg-dev lintian
    mate-screensaver desktop-file-utils dbus-bin xrestop
    libwayland-dev wayland-protocols plasma-wayland-protocols libdbus-1-dev
    sway grim wtype weston libgl1-mesa-dri:amd64 swaylock kwin-wayland dbus-daemon python3-dbus python3-gi
    clang libclang-rt-14-dev clang-tidy cppcheck
    lld wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32
    nodejs chromium strace)
wine32=wine32:i386
export LC_ALL=C DEBIAN_FRONTEND=noninteractive

say() { echo "install-deps: $*"; }

installed() {
    [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

# runs_32bit: whether this machine executes i386 programs (a kernel without
# IA-32 emulation cannot run 32-bit Wine at all). Probed with the smallest ELF
# that exits with status 42.
runs_32bit() {
    case "${INSTALL_DEPS_RUNS_32BIT:-}" in
        yes) return 0 ;;
        no) return 1 ;;
    esac
    local dir status
    dir=$(mktemp -d) || return 1
    # ELF header, one program header loading the file, then: eax=1 (exit), bl=42, int 0x80.
    printf '%b' '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
        '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
        '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' \
        '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
        '\x5b\x00\x00\x00\x5b\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
        '\x31\xc0\x40\xb3\x2a\xcd\x80' >"$dir/probe" 2>/dev/null
    chmod +x "$dir/probe"
    "$dir/probe" 2>/dev/null
    status=$?
    rm -rf "$dir"
    [ "$status" -eq 42 ]
}

# apt_names LOG: the packages apt's messages in LOG say it cannot install, one
# per line with apt's reason.
apt_names() {
    sed -n -E \
        -e "s/^E: Unable to locate package (.*)$/\1 (no such package in the lists)/p" \
        -e "s/^E: Package '([^']*)' has no installation candidate$/\1 (no installation candidate)/p" \
        -e "s/^E: Version '[^']*' for '([^']*)' was not found$/\1 (version not found)/p" \
        -e "s/^ ([^ ]+) : (Pre)?Depends: (.*)$/\1 (depends: \3)/p" \
        -e "s/^ ([^ ]+) : (Conflicts|Breaks): (.*)$/\1 (\2: \3)/p" "$1"
}

# apt_install LOG PACKAGE...: installs them all or none, apt's output in LOG.
apt_install() {
    local log=$1
    shift
    # Another apt run (a second build on the machine) holds the lock for a while.
    "${sudo[@]}" env LC_ALL=C DEBIAN_FRONTEND=noninteractive \
        apt-get -o DPkg::Lock::Timeout=900 install -y -q "$@" >"$log" 2>&1
}

# failure LOG: apt's reasons in one line each; its last error where it named none.
failure() {
    local names
    names=$(apt_names "$1")
    if [ -n "$names" ]; then
        echo "$names"
    else
        grep '^E: ' "$1" | tail -n 1
    fi
}

missing=()
for p in "${needed[@]}"; do
    installed "$p" || missing+=("$p")
done
# Debian's nodejs comes without npm; other builds of nodejs carry their own.
command -v npm >/dev/null || missing+=(npm)
want32=0
if ! runs_32bit; then
    say "this machine cannot execute 32-bit programs: no 32-bit Wine"
elif ! installed "$wine32"; then
    want32=1
fi

if [ ${#missing[@]} -eq 0 ] && [ "$want32" = 0 ]; then
    say "all ${#needed[@]} needed packages and npm present; nothing to install"
else
    sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { say "not root and no sudo" >&2; exit 1; }
        sudo=(sudo)
    fi
    if [ "$want32" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386 ||
            { say "dpkg --add-architecture i386 failed: going on without 32-bit Wine"; want32=0; }
    fi
    log=$(mktemp) || exit 1
    trap 'rm -f "$log"' EXIT
    # A mirror part-way through a sync serves a list of the wrong size for a while;
    # apt keeps the lists it had, so after the last try go on with those.
    tries=3
    for ((try = 1; ; try++)); do
        "${sudo[@]}" env LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get update -q >"$log" 2>&1
        status=$?
        fails=$(sed -n -E 's/^(E|W): Failed to fetch ([^ ]+) +(.*)$/\2 (\3)/p' "$log")
        [ "$status" -eq 0 ] && [ -z "$fails" ] && break
        if [ "$try" -ge "$tries" ]; then
            [ -n "$fails" ] || fails=$(grep -E '^(E|W): ' "$log" | tail -n 1)
            say "apt-get update failed $tries times (status $status); going on with the lists apt has." \
                "Not fetched: $(echo "$fails" | paste -sd ';' | sed 's/;/; /g')"
            break
        fi
        sleep "${INSTALL_DEPS_RETRY_DELAY:-10}"
    done

    if [ ${#missing[@]} -gt 0 ]; then
        say "installing ${missing[*]}"
        if ! apt_install "$log" "${missing[@]}"; then
            failure "$log" | sed 's/^/install-deps: cannot install needed package /' >&2
            say "needed packages not installed: ${missing[*]}" >&2
            exit 1
        fi
    fi
    if [ "$want32" = 1 ]; then
        say "installing $wine32"
        if ! apt_install "$log" "$wine32"; then
            say "32-bit Wine ($wine32) cannot be installed now, going on without it:" \
                "$(failure "$log" | head -n 1); a later run tries again"
        fi
    fi
fi

if runs_32bit && installed "$wine32"; then
    say "this machine will test both Windows builds: 32-bit under 32-bit Wine, 64-bit under 64-bit Wine"
else
    say "this machine will test the 64-bit Windows build only, under 64-bit Wine"
fi

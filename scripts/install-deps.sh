#!/usr/bin/env bash
# Installs what building and testing Plix needs on Debian 12 (bookworm).
# Does nothing when everything is already there; otherwise enables i386 packages
# (for 32-bit Wine) and installs through apt. Run as root or with sudo rights.
set -euo pipefail

packages=(cmake g++ libgtest-dev libbenchmark-dev python3 python3-yaml procps nsis unzip
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine32:i386 wine64 xvfb xdotool imagemagick x11-utils e2fsprogs libx11-dev libxext-dev
    libxdamage-dev xserver-xorg-core xserver-xorg-video-dummy xscreensaver x11-xserver-utils dpkg-dev lintian
    mate-screensaver desktop-file-utils dbus-bin
    libwayland-dev wayland-protocols sway grim wtype weston libgl1-mesa-dri:amd64
    clang libclang-rt-14-dev clang-tidy cppcheck
    lld wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32
    nodejs chromium strace)

installed() {
    [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
# Debian's nodejs comes without npm; other builds of nodejs carry their own.
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#packages[@]} packages and npm present"
    exit 0
fi
echo "install-deps: installing ${missing[*]}"

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: not root and no sudo" >&2; exit 1; }
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
# Another apt run (a second build on the machine) holds the lock for a while.
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -q \
    "${missing[@]}"

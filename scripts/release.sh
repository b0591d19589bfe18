#!/usr/bin/env bash
# The Windows release in one command: the 32-bit and the 64-bit build from the
# same source (build-win32, build-win64), the zip and the installer of each made
# by cpack there, then the winget manifest for both installers, all gathered in
# one folder: Plix-<version>-win32.zip, Plix-<version>-setup.exe,
# Plix-<version>-win64.zip, Plix-<version>-setup-x64.exe, Plix-<version>-winget/.
# usage: scripts/release.sh [OUT (build-release)] [CMAKE ARGS...]
#   the CMake arguments go to both builds, e.g. -DPLIX_RELEASE_URL=https://example.org/plix/<version>
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 2
out=${1:-build-release}
[ $# -eq 0 ] || shift
jobs=$(nproc 2>/dev/null || echo 2)
for arch in win32:i686-w64-mingw32 win64:x86_64-w64-mingw32; do
    dir=build-${arch%%:*}
    echo "--- $dir"
    if ! { cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/${arch#*:}.cmake" "$@" &&
        cmake --build "$dir" -j "$jobs" && (cd "$dir" && cpack); }; then
        echo "release: $dir failed"
        exit 1
    fi
done
echo "--- $out"
rm -rf "$out"
cmake -DBUILDS="build-win32;build-win64" -DOUT="$out" -P packaging/winget/manifest.cmake

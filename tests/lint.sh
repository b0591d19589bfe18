#!/bin/sh
# clang-tidy (checks in .clang-tidy) and cppcheck over src/. clang-tidy takes
# the portable and native sources with the native compile database
# (build-lint/), the *_win32.cpp files with the 32-bit MinGW one
# (build-lint-win/), MinGW's C++ headers handed to it, and the web page's with the
# WebAssembly one (build-lint-web/). Any finding fails the run.
# Usage: tests/lint.sh
set -eu
cd "$(dirname "$0")/.."
status=0

cmake -S . -B build-lint -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
# The Wayland protocols' headers are generated at build time.
if grep -q plix_wayland_protocols build-lint/Makefile 2>/dev/null; then
    cmake --build build-lint --target plix_wayland_protocols >/dev/null
fi
native=$(find src -name '*.cpp' ! -name '*_win32.cpp' ! -path 'src/web/*' ! -name '*_web.cpp' | sort)
web=$(find src -name '*.cpp' \( -path 'src/web/*' -o -name '*_web.cpp' \) | sort)
win=$(find src -name '*_win32.cpp' | sort)
echo "lint: clang-tidy, native sources"
# shellcheck disable=SC2086
printf '%s\n' $native | xargs -P2 -n2 clang-tidy -p build-lint --quiet || status=1
echo "lint: cppcheck, native sources"
# cppcheck reads the sources directly: it needs our headers, not the system's.
cppcheck_args="--enable=warning,performance,portability,style --inline-suppr --error-exitcode=1 -q --std=c++20"
# shellcheck disable=SC2086
cppcheck -I src $cppcheck_args $native || status=1

if command -v wasm-ld >/dev/null 2>&1; then
    cmake -S . -B build-lint-web -DCMAKE_TOOLCHAIN_FILE=cmake/wasm32-wasi.cmake \
        -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
    # For the wasm32 target clang-tidy 14 takes every extern variable in our
    # headers for a dynamically initialised one; the native run keeps that check.
    echo "lint: clang-tidy, web sources (wasm32-wasi)"
    # shellcheck disable=SC2086
    printf '%s\n' $web | xargs -P2 -n2 clang-tidy -p build-lint-web --quiet \
        --checks=-bugprone-dynamic-static-initializers || status=1
    echo "lint: cppcheck, web sources"
    # shellcheck disable=SC2086
    cppcheck -I src $cppcheck_args $web || status=1
else
    echo "lint: wasm-ld not found, the web sources were not checked"
fi

if command -v i686-w64-mingw32-g++ >/dev/null 2>&1; then
    cmake -S . -B build-lint-win -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
        -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DCMAKE_CXX_USE_RESPONSE_FILE_FOR_INCLUDES=OFF >/dev/null
    # clang finds the MinGW C headers itself but not g++'s C++ library headers.
    extra="--extra-arg-before=--target=i686-w64-mingw32 --extra-arg=-nostdinc++"
    for d in $(echo | i686-w64-mingw32-g++ -std=c++20 -E -x c++ - -v 2>&1 |
               sed -n '/search starts here/,/End of search/p' | grep '^ /.*c++'); do
        extra="$extra --extra-arg=-isystem$d"
    done
    echo "lint: clang-tidy, Win32 sources (i686-w64-mingw32)"
    # shellcheck disable=SC2086
    printf '%s\n' $win | xargs -P2 -n2 clang-tidy -p build-lint-win --quiet $extra || status=1
    echo "lint: cppcheck, Windows build (win32A)"
    # shellcheck disable=SC2086
    cppcheck -I src --platform=win32A -D_WIN32 $cppcheck_args $win || status=1
else
    echo "lint: MinGW not found, the *_win32.cpp files were not checked"
fi

[ $status -eq 0 ] && echo "lint: clean"
exit $status

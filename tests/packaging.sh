#!/usr/bin/env bash
# Static checks of the shipped 32-bit Plix.scr (a PE32 GUI program for i386 that
# needs nothing but DLLs every Windows installation has) and of the release cpack
# made beside it: the zip, the installer, and one version throughout.
# usage: tests/packaging.sh BUILD_DIR_WIN32

build=${1:?usage: tests/packaging.sh BUILD_DIR_WIN32}
scr="$build/Plix.scr"
objdump=i686-w64-mingw32-objdump

# System DLLs present on every Windows since the 9x/NT days (compared in upper case).
allowed="KERNEL32.DLL USER32.DLL GDI32.DLL MSVCRT.DLL ADVAPI32.DLL COMCTL32.DLL
COMDLG32.DLL SHELL32.DLL OLE32.DLL OLEAUT32.DLL WINMM.DLL VERSION.DLL"

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "PASS $what"
    else
        failed=$((failed + 1))
        echo "FAIL $what"
    fi
}

if [ ! -f "$scr" ]; then
    echo "FAIL $scr does not exist"
    echo "0 passed, 1 failed"
    exit 1
fi
if ! headers=$("$objdump" -p "$scr" 2>&1); then
    echo "FAIL $objdump -p $scr: $headers"
    echo "0 passed, 1 failed"
    exit 1
fi

field() { sed -n "s/^$1[[:space:]]\{1,\}//p" <<<"$headers" | head -n 1 | tr -s '\t' ' '; }

# The COFF machine field, read from the file itself: 0x014c is i386.
machine_word() {
    local pe
    pe=$(od -An -t u4 -j 60 -N 4 "$scr" | tr -d ' ')
    od -An -t x2 -j $((pe + 4)) -N 2 "$scr" | tr -d ' '
}

magic=$(field Magic)
subsystem=$(field Subsystem)
check "PE32 optional header (Magic $magic)" [ "${magic%%[[:space:]]*}" = 010b ]
check "file format pei-i386" grep -q 'file format pei-i386' <<<"$headers"
check "machine i386 (0x$(machine_word))" [ "$(machine_word)" = 014c ]
check "subsystem Windows GUI ($subsystem)" [ "${subsystem%%[[:space:]]*}" = 00000002 ]

dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
echo "imports: $(tr '\n' ' ' <<<"$dlls")"
check "imports at least KERNEL32.dll" grep -qix 'KERNEL32.dll' <<<"$dlls"
for dll in $dlls; do
    upper=$(tr '[:lower:]' '[:upper:]' <<<"$dll")
    check "import $dll is a Windows system DLL" grep -qxF -- "$upper" <<<"$(tr ' ' '\n' <<<"$allowed")"
done

# The manifest, in the resource section: DPI-aware, so on a scaled display the
# screen size is the real one and every dot is one physical pixel.
rsrc=$(i686-w64-mingw32-objcopy -O binary --only-section=.rsrc "$scr" /dev/stdout 2>/dev/null | tr -d '\0')
check "manifest declares the program DPI-aware" \
    grep -aq '<dpiAware[^>]*>true</dpiAware>' <<<"$rsrc"

# The release: the version in its file names is the one in Plix.scr.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zip="$build/Plix-$version-win32.zip"
top="Plix-$version-win32"
listing=$(unzip -Z1 "$zip" 2>&1 | sort | tr '\n' ' ')
check "$zip holds Plix.scr, Plix.ini, README.txt, LICENSE.txt ($listing)" \
    [ "$listing" = "$top/LICENSE.txt $top/Plix.ini $top/Plix.scr $top/README.txt " ]
check "version resource says $version" grep -aq "FileVersion${version}[^0-9.]" <<<"$rsrc"
check "manifest says $version.0" grep -aq "assemblyIdentity[^>]*version=\"$version.0\"" <<<"$rsrc"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

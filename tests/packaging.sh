#!/usr/bin/env bash
# Static checks of the Windows release scripts/release.sh made: in each build
# directory, Plix.scr (a PE32 GUI program for i386 in the 32-bit build, PE32+
# for x86-64 in the 64-bit one, each needing nothing but DLLs every Windows
# installation has), its zip and installer, one version throughout; in the
# release folder, copies of those and the winget manifest naming both
# installers. With --deb, the Debian package made in the native build instead.
# usage: tests/packaging.sh RELEASE_DIR BUILD_DIR... | tests/packaging.sh --deb BUILD_DIR

usage="usage: tests/packaging.sh RELEASE_DIR BUILD_DIR... | --deb BUILD_DIR"
release=${1:?$usage}

# System DLLs present on every Windows since the 9x/NT days (compared in upper case).
allowed="KERNEL32.DLL USER32.DLL GDI32.DLL MSVCRT.DLL ADVAPI32.DLL COMCTL32.DLL
COMDLG32.DLL SHELL32.DLL OLE32.DLL OLEAUT32.DLL WINMM.DLL VERSION.DLL"

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...: also returns COMMAND's verdict
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "PASS $what"
    else
        failed=$((failed + 1))
        echo "FAIL $what"
        return 1
    fi
}

# quietly COMMAND...: its output only when it fails.
quietly() {
    local out
    out=$("$@" 2>&1) || { tail -n 20 <<<"$out"; return 1; }
}

# What installing and removing a package may change, as dpkg and the file system see it.
system_state() {
    dpkg-query -W -f='${Package}:${Architecture} ${Version} ${Status}\n' | sort
    find /usr/libexec/xscreensaver /usr/share/xscreensaver /usr/share/man/man6 /usr/share/doc \
        /usr/share/applications/screensavers -maxdepth 1 2>/dev/null | sort
}

# The Debian package `cpack -G DEB` made in the native build: its files where
# Debian's screen savers keep theirs, a Depends that dpkg-shlibdeps computed,
# lintian's verdict, and an install and removal with apt that leave no trace.
deb_checks() {
    local dir=$1 version deb listing tmp shlibs depends before desktop
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
    deb="$(cd "$dir" && pwd)/plix_${version}_$(dpkg --print-architecture).deb"
    check "$deb exists" [ -f "$deb" ] || return
    listing=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort | tr '\n' ' ')
    check "the package holds plix, plix.xml, plix.desktop, plix.6.gz, copyright, changelog.gz ($listing)" \
        [ "$listing" = "./usr/libexec/xscreensaver/plix ./usr/share/applications/screensavers/plix.desktop \
./usr/share/doc/plix/changelog.gz ./usr/share/doc/plix/copyright ./usr/share/man/man6/plix.6.gz \
./usr/share/xscreensaver/config/plix.xml " ]
    tmp=$(mktemp -d)
    dpkg-deb -x "$deb" "$tmp/root"
    # Where MATE's screen saver looks for savers, and runs only those in /usr/libexec/xscreensaver.
    desktop=$tmp/root/usr/share/applications/screensavers/plix.desktop
    check "plix.desktop runs /usr/libexec/xscreensaver/plix --root, a screen saver shown in MATE" \
        [ "$(grep -E '^(Exec|TryExec|Categories|OnlyShowIn)=' "$desktop" 2>&1 | tr '\n' ' ')" = \
        "Exec=/usr/libexec/xscreensaver/plix --root TryExec=/usr/libexec/xscreensaver/plix Categories=Screensaver; OnlyShowIn=MATE; " ]
    check "desktop-file-validate finds no error or warning in plix.desktop" \
        eval 'out=$(desktop-file-validate "$desktop") && ! grep -E "error:|warning:" <<<"$out"'
    check "copyright in the machine-readable format" grep -qx \
        'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
        "$tmp/root/usr/share/doc/plix/copyright"
    # dpkg-shlibdeps wants a debian/control where it runs; any will do.
    mkdir "$tmp/debian" && : >"$tmp/debian/control"
    shlibs=$(cd "$tmp" && dpkg-shlibdeps -O root/usr/libexec/xscreensaver/plix 2>/dev/null |
        sed -n 's/^shlibs:Depends=//p')
    depends=$(dpkg-deb -f "$deb" Depends)
    check "Depends ($depends) is what dpkg-shlibdeps reads from plix" [ "${depends:-none}" = "$shlibs" ]
    # Built with Wayland, as the release is: the package brings its client library.
    check "Depends names libwayland-client0" grep -q 'libwayland-client0' <<<"$depends"
    check "lintian reports no errors or warnings" lintian --fail-on error,warning "$deb"
    rm -rf "$tmp"

    if [ "$(id -u)" -ne 0 ]; then
        echo "SKIP installing and removing $deb: needs root"
        return
    fi
    if [ "$(dpkg-query -W -f='${Status}' plix 2>/dev/null)" = "install ok installed" ]; then
        echo "SKIP installing and removing $deb: a plix package is installed here already"
        return
    fi
    before=$(system_state)
    export DEBIAN_FRONTEND=noninteractive
    check "apt-get install $deb" quietly apt-get install -y -o DPkg::Lock::Timeout=900 "$deb"
    check "the installed plix runs" quietly /usr/libexec/xscreensaver/plix --help
    check "apt-get purge plix" quietly apt-get purge -y -o DPkg::Lock::Timeout=900 plix
    check "the system is as before the install" [ "$(system_state)" = "$before" ]
}

if [ "$release" = --deb ]; then
    deb_checks "${2:?$usage}"
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
fi

same_and_set() { [ -n "$1" ] && [ "$1" = "$2" ]; }
same_files() {  # same_files A B [C D...]: A holds B's bytes, C D's...
    while [ $# -ge 2 ]; do cmp -s "$1" "$2" || return 1; shift 2; done
}

# The COFF machine field, read from the file itself: 014c is i386, 8664 x86-64.
machine_word() {
    local pe
    pe=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
    od -An -t x2 -j $((pe + 4)) -N 2 "$1" | tr -d ' '
}

# build_checks BUILD_DIR: its Plix.scr, zip and installer, for the architecture
# its zip is named after (win32: i386, win64: x86-64); the copies in the release
# folder the same bytes. Sets version (all builds must agree) and arches.
build_checks() {
    local build=$1 scr="$1/Plix.scr" v arch objdump magic format machine winget_arch setup
    local headers subsystem dlls dll upper functions rsrc zip top listing readme links link
    v=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" 2>/dev/null)
    check "$build is a build of version ${version:-$v} ($v)" same_and_set "$v" "${version:-$v}" || return
    version=$v
    if [ -f "$build/Plix-$version-win64.zip" ]; then
        arch=win64 objdump=x86_64-w64-mingw32-objdump magic=020b format=pei-x86-64 machine=8664
        winget_arch=x64 setup=Plix-$version-setup-x64.exe
    else
        arch=win32 objdump=i686-w64-mingw32-objdump magic=010b format=pei-i386 machine=014c
        winget_arch=x86 setup=Plix-$version-setup.exe
    fi
    arches+=("$winget_arch $build/$setup")
    echo "--- $build: $arch"
    headers=$("$objdump" -p "$scr" 2>&1) || { check "$objdump -p $scr: $headers" false; return; }
    field() { sed -n "s/^$1[[:space:]]\{1,\}//p" <<<"$headers" | head -n 1 | tr -s '\t' ' '; }
    subsystem=$(field Subsystem)
    check "optional header magic $magic ($(field Magic))" [ "$(field Magic | cut -d' ' -f1)" = "$magic" ]
    check "file format $format" grep -q "file format $format\$" <<<"$headers"
    check "machine $machine (0x$(machine_word "$scr"))" [ "$(machine_word "$scr")" = "$machine" ]
    check "subsystem Windows GUI ($subsystem)" [ "${subsystem%%[[:space:]]*}" = 00000002 ]

    dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
    echo "imports: $(tr '\n' ' ' <<<"$dlls")"
    check "imports at least KERNEL32.dll" grep -qix 'KERNEL32.dll' <<<"$dlls"
    for dll in $dlls; do
        upper=$(tr '[:lower:]' '[:upper:]' <<<"$dll")
        check "import $dll is a Windows system DLL" grep -qxF -- "$upper" <<<"$(tr ' ' '\n' <<<"$allowed")"
    done

    # The functions imported by name. The saver never asks the system to keep the
    # display on, and looks up the display-state notification (which Windows before
    # Vista lacks) at run time rather than importing it.
    functions=$(awk -F'\t' '/^\t[0-9a-f]+\t/ { n = split($3, w, " "); print w[n] }' <<<"$headers")
    imports_none_of() { ! grep -qxE "$1" <<<"$functions"; }
    check "imports $(wc -l <<<"$functions") functions, SetThreadExecutionState and the power notification calls not among them" \
        imports_none_of 'SetThreadExecutionState|(Un)?RegisterPowerSettingNotification'

    # The manifest, in the resource section: DPI-aware on every monitor, so on a
    # scaled display the screen sizes are the real ones and every dot is one physical
    # pixel; per-monitor v2 first, then v1, and the older declaration for systems
    # that know only that one. Common Controls 6: the dialog in the system's look.
    rsrc=$("${objdump%objdump}objcopy" -O binary --only-section=.rsrc "$scr" /dev/stdout 2>/dev/null | tr -d '\0')
    check "manifest declares the program DPI-aware (per monitor where known)" \
        grep -aqi '<dpiAware [^>]*SMI/2005/WindowsSettings">true/pm</dpiAware>' <<<"$rsrc"
    check "manifest declares per-monitor v2 DPI awareness, v1 as the fallback" \
        grep -aqi '<dpiAwareness [^>]*SMI/2016/WindowsSettings">PerMonitorV2, *PerMonitor</dpiAwareness>' <<<"$rsrc"
    check "manifest depends on Common Controls 6" grep -aqiE \
        '<dependentAssembly>[[:space:]]*<assemblyIdentity type="win32" name="Microsoft\.Windows\.Common-Controls" version="6\.0\.0\.0"' \
        <<<"$(tr '\n' ' ' <<<"$rsrc")"

    # The release: the version in its file names is the one in Plix.scr, and the
    # zip holds this very Plix.scr.
    zip="$build/Plix-$version-$arch.zip"
    top="Plix-$version-$arch"
    listing=$(unzip -Z1 "$zip" 2>&1 | sort | tr '\n' ' ')
    check "$zip holds Plix.scr, Plix.ini, README.txt, LICENSE.txt ($listing)" \
        [ "$listing" = "$top/LICENSE.txt $top/Plix.ini $top/Plix.scr $top/README.txt " ]
    check "the zip's Plix.scr is the one built" cmp -s <(unzip -p "$zip" "$top/Plix.scr") "$scr"
    # The README.txt users get names each Start-menu entry the installer makes.
    readme=$(unzip -p "$zip" "$top/README.txt" | tr -s ' \r\n' ' ')
    # shellcheck disable=SC2016  # a literal $SMPROGRAMS
    links=$(sed -n 's/^!define [A-Z_]*_LINK "\$SMPROGRAMS\\\(.*\)\.lnk"\r\{0,1\}$/\1/p' \
        "$(dirname "$0")/../packaging/NSIS.template.in")
    check "the installer script makes Start-menu entries (${links//$'\n'/, })" [ -n "$links" ]
    while read -r link; do
        check "README.txt names the Start-menu entry \"$link\"" grep -q "\"$link\"" <<<"$readme"
    done <<<"$links"
    check "version resource says $version" grep -aq "FileVersion${version}[^0-9.]" <<<"$rsrc"
    check "manifest says $version.0" grep -aq "assemblyIdentity[^>]*version=\"$version.0\"" <<<"$rsrc"
    check "the release folder holds the same $(basename "$zip") and $setup" \
        same_files "$zip" "$release/$(basename "$zip")" "$build/$setup" "$release/$setup"
}

version=""
arches=()  # "WINGET_ARCH INSTALLER" of each build
[ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
for build in "${@:2}"; do build_checks "$build"; done
check "the builds are one 32-bit and one 64-bit ($(cut -d' ' -f1 <<<"$(printf '%s\n' "${arches[@]}")" | tr '\n' ' '))" \
    [ "$(printf '%s\n' "${arches[@]}" | cut -d' ' -f1 | sort | tr '\n' ' ')" = "x64 x86 " ]

# The winget manifest scripts/release.sh wrote into the release folder: its three files read by a
# YAML parser as "FILE KEY.PATH=VALUE" lines (FILE: version, defaultLocale or
# installer, by the ManifestType each says).
winget_values() {
    python3 - "$@" <<'EOF'
import sys, yaml
def walk(prefix, node, kind):
    if isinstance(node, dict):
        for k, v in node.items(): walk(f"{prefix}{k}.", v, kind)
    elif isinstance(node, list):
        for i, v in enumerate(node): walk(f"{prefix}{i}.", v, kind)
    else:
        print(f"{kind} {prefix[:-1]}={node}")
for path in sys.argv[1:]:
    doc = yaml.safe_load(open(path, encoding="utf-8"))
    walk("", doc, doc.get("ManifestType", "?") if isinstance(doc, dict) else "?")
EOF
}
all_set() {  # all_set VALUE...: none of them empty
    local v
    for v; do [ -n "$v" ] || return 1; done
}
winget_checks() {
    local dir="$release/Plix-$version-winget" values id entry arch setup n
    local nsi name publisher key sha url
    values=$(winget_values "$dir"/*.yaml) || { check "$dir holds YAML that parses" false; return; }
    w() { sed -n "s/^$1=//p" <<<"$values"; }
    id=$(w 'version PackageIdentifier')
    check "$dir holds $id.yaml, $id.installer.yaml, $id.locale.en-US.yaml" \
        [ "$(cd "$dir" && ls | tr '\n' ' ')" = "$id.installer.yaml $id.locale.en-US.yaml $id.yaml " ]
    check "a version, a defaultLocale and an installer manifest, all of manifest version 1.6.0" \
        [ "$(grep ' Manifest' <<<"$values" | sort | tr '\n' ' ')" = "defaultLocale ManifestType=defaultLocale \
defaultLocale ManifestVersion=1.6.0 installer ManifestType=installer installer ManifestVersion=1.6.0 \
version ManifestType=version version ManifestVersion=1.6.0 " ]
    check "each names the one package $id (Publisher.Name), version $version" \
        [ "$(grep -E ' Package(Identifier|Version)=' <<<"$values" | sed 's/^[a-zA-Z]* //' | sort | uniq -c |
            tr -s ' \n' ' ')" = " 3 PackageIdentifier=$id 3 PackageVersion=$version " ]
    check "the package identifier has the form Publisher.Name" grep -qxE '[^.[:space:]]+\.[^.[:space:]]+' <<<"$id"
    check "the default locale is that of the locale manifest ($(w 'version DefaultLocale'))" \
        [ "$(w 'version DefaultLocale')" = "$(w 'defaultLocale PackageLocale')" ]
    check "a package name and a short description" \
        all_set "$(w 'defaultLocale PackageName')" "$(w 'defaultLocale ShortDescription')"
    check "the licence LICENSE names ($(w 'defaultLocale License'))" \
        [ "$(w 'defaultLocale License') License" = "$(head -n 1 LICENSE)" ]
    check "two installers, nullsoft, for the user, silent with /S" \
        [ "$(grep -c '^installer Installers\.[0-9]*\.Architecture=' <<<"$values") \
$(w 'installer InstallerType') $(w 'installer Scope') $(w 'installer InstallerSwitches.Silent') \
$(w 'installer InstallerSwitches.SilentWithProgress')" = "2 nullsoft user /S /S" ]
    # Each build's entry: its architecture, its installer's address and SHA-256;
    # and the Add/Remove Programs entry as the script makensis built it from says.
    for entry in "${arches[@]}"; do
        arch=${entry%% *} setup=${entry#* }
        n=$(grep -x "installer Installers\.[0-9]*\.Architecture=$arch" <<<"$values" | cut -d. -f2)
        check "an installer entry for $arch" [ -n "$n" ] || continue
        sha=$(sha256sum "$setup" | cut -d' ' -f1 | tr '[:lower:]' '[:upper:]')
        check "$arch: InstallerSha256 is that of $setup ($sha)" [ "$(w "installer Installers.$n.InstallerSha256")" = "$sha" ]
        url=$(w "installer Installers.$n.InstallerUrl")
        name=$(basename "$setup")
        check "$arch: InstallerUrl is an https address of $name ($url)" \
            grep -qxE "https://[^/]+/(.*/)?${name//./\\.}" <<<"$url"
        nsi=$(echo "$(dirname "$setup")"/_CPack_Packages/*/NSIS/project.nsi)
        define() { sed -n "s/^!define $1 \"\(.*\)\"\r\{0,1\}$/\1/p" "$nsi"; }
        name=$(define ARP_NAME) publisher=$(define PUBLISHER) key=$(define UNINST_KEY)
        key=${key##*\\}
        check "$arch: the entry \"$name\" by \"$publisher\", version $version, key $key: as the installer writes it" \
            [ "$(w 'installer AppsAndFeaturesEntries.0.DisplayName')|$(w 'installer AppsAndFeaturesEntries.0.Publisher')|\
$(w 'installer AppsAndFeaturesEntries.0.DisplayVersion')|$(w 'installer ProductCode')|$(define VERSION)|\
$(w 'defaultLocale Publisher')" = "$name|$publisher|$version|$key|$version|$publisher" ]
        check "$arch: the installer's script names the entry and its publisher" all_set "$name" "$publisher"
    done
}
winget_checks

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

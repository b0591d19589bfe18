#!/bin/bash
# scripts/install-deps.sh against stand-ins of apt-get, dpkg and dpkg-query that
# replay apt's own messages: an archive list that cannot be fetched, 32-bit Wine
# refused, a needed package refused, a second run. Checks what it asks apt to
# install, the lines it prints and its exit status. No case reaches the real apt.
# usage: install_deps_test.sh
set -u
script=$(cd "$(dirname "$0")/../scripts" && pwd)/install-deps.sh
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
mkdir "$T/bin"
failed=0

# The stand-ins keep the machine's state in $T: installed (one package a line),
# archs, update (one outcome a line, the last repeated), refuse (package TAB
# apt's message), calls (what apt-get was asked).
cat >"$T/bin/dpkg-query" <<'EOF'
#!/bin/bash
pkg=${!#}
grep -qxF "$pkg" "$STATE/installed" && { printf 'install ok installed'; exit 0; }
echo "dpkg-query: no packages found matching $pkg" >&2
exit 1
EOF
cat >"$T/bin/dpkg" <<'EOF'
#!/bin/bash
case "$1" in
    --print-foreign-architectures) cat "$STATE/archs" ;;
    --add-architecture) echo "$2" >>"$STATE/archs"; echo "dpkg --add-architecture $2" >>"$STATE/calls" ;;
    *) echo "dpkg stand-in: $*" >&2; exit 2 ;;
esac
EOF
cat >"$T/bin/apt-get" <<'EOF'
#!/bin/bash
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        -o) shift 2 ;;
        -*) shift ;;
        *) args+=("$1"); shift ;;
    esac
done
echo "${args[*]}" >>"$STATE/calls"
if [ "${args[0]}" = update ]; then
    outcome=$(head -n 1 "$STATE/update")
    [ "$(wc -l <"$STATE/update")" -gt 1 ] && sed -i 1d "$STATE/update"
    echo "Get:1 http://deb.debian.org/debian bookworm InRelease [151 kB]"
    [ "$outcome" = ok ] && { echo "Reading package lists..."; exit 0; }
    cat <<'MSG'
Err:4 http://deb.debian.org/debian-security bookworm-security/main i386 Packages
  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]
Reading package lists...
E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]
   Hashes of expected file:
    - Filesize:376004 [weak]
E: Some index files failed to download. They have been ignored, or old ones used instead.
MSG
    exit 100
fi
refused=0
for p in "${args[@]:1}"; do
    msg=$(awk -F '\t' -v p="$p" '$1 == p { print $2 }' "$STATE/refuse")
    [ -n "$msg" ] && { printf '%b\n' "$msg"; refused=1; }
done
[ "$refused" = 0 ] || exit 100
printf '%s\n' "${args[@]:1}" >>"$STATE/installed"
EOF
printf '#!/bin/sh\nexit 0\n' >"$T/bin/npm"
printf '#!/bin/sh\nexec "$@"\n' >"$T/bin/sudo"
chmod +x "$T/bin"/*

wine32_refused=' libwine:i386 : Depends: libgstreamer-plugins-base1.0-0:i386 (>= 1.0.0) but it is not going to be installed\n                Recommends: libcups2:i386 (>= 1.4.0) but it is not going to be installed\nE: Unable to correct problems, you have held broken packages.'
sway_refused="Package sway is not available, but is referred to by another package.\nE: Package 'sway' has no installation candidate"
needed=$(sed -n '/^needed=(/,/)$/p' "$script" | tr -d '()' | sed 's/^needed=//' | tr -s ' \n' '\n' | sed '/^$/d')
all_needed=$(echo "$needed" | paste -sd ' ')
needed_re=$(echo "$all_needed" | sed 's/[+.]/\\&/g')

# fresh: a machine with none of the packages, the i386 architecture not added,
# every update succeeding and nothing refused.
fresh() {
    export STATE=$T/state
    rm -rf "$STATE"
    mkdir "$STATE"
    : >"$STATE/installed"
    : >"$STATE/archs"
    : >"$STATE/calls"
    : >"$STATE/refuse"
    echo ok >"$STATE/update"
}

# run [ENV...]: install-deps.sh with the stand-ins first on PATH.
run() {
    env PATH="$T/bin:/usr/bin:/bin" INSTALL_DEPS_RETRY_DELAY=0 INSTALL_DEPS_RUNS_32BIT=yes "$@" \
        bash "$script" >"$T/out" 2>&1
    status=$?
}

# check NAME STATUS CALLS LINES: the exit status, apt's calls (one a line, in
# order) and the printed lines, each an extended regular expression for the
# whole line.
check() {
    local name=$1 want=$2 calls=$3 lines=$4 ok=1
    [ "$status" = "$want" ] || { echo "  status $status, want $want"; ok=0; }
    diff <([ -z "$calls" ] || printf '%s\n' "$calls") "$STATE/calls" >"$T/diff" || { echo "  apt calls differ:"; cat "$T/diff"; ok=0; }
    if [ "$(wc -l <"$T/out")" -ne "$(printf '%s\n' "$lines" | wc -l)" ] ||
        ! paste -d '\n' <(printf '%s\n' "$lines") "$T/out" | awk 'NR % 2 { re = $0; next } $0 !~ "^" re "$" { exit 1 }'; then
        echo "  lines differ, want:"; printf '    %s\n' "$lines"; echo "  got:"; sed 's/^/    /' "$T/out"; ok=0
    fi
    if [ "$ok" = 1 ]; then echo "PASS $name"; else echo "FAIL $name"; failed=1; fi
}

both='install-deps: this machine will test both Windows builds: 32-bit under 32-bit Wine, 64-bit under 64-bit Wine'
only64='install-deps: this machine will test the 64-bit Windows build only, under 64-bit Wine'
fetch_failed='install-deps: apt-get update failed 3 times \(status 100\); going on with the lists apt has\. Not fetched: http://deb\.debian\.org/debian-security/dists/bookworm-security/main/binary-i386/Packages\.xz \(File has unexpected size \(374820 != 376004\)\. Mirror sync in progress\? \[IP: 203\.0\.113\.80 80\]\)'
no_wine32='install-deps: 32-bit Wine \(wine32:i386\) cannot be installed now, going on without it: libwine:i386 \(depends: libgstreamer-plugins-base1\.0-0:i386 \(>= 1\.0\.0\) but it is not going to be installed\); a later run tries again'

fresh
printf 'fail\n' >"$STATE/update"
printf 'wine32:i386\t%s\n' "$wine32_refused" >"$STATE/refuse"
run
check "a list never fetched: three tries, the needed set installed, 32-bit Wine apart and refused" 0 \
"dpkg --add-architecture i386
update
update
update
install $all_needed
install wine32:i386" \
"$fetch_failed
install-deps: installing $needed_re
install-deps: installing wine32:i386
$no_wine32
$only64"

# The same machine once the archive has healed: only 32-bit Wine is tried.
: >"$STATE/calls"
: >"$STATE/refuse"
echo ok >"$STATE/update"
run
check "the next run after the archive healed tries only 32-bit Wine" 0 \
"update
install wine32:i386" \
"install-deps: installing wine32:i386
$both"

# And with everything there, nothing at all.
: >"$STATE/calls"
run
check "everything there: no apt call" 0 "" \
"install-deps: all [0-9]+ needed packages and npm present; nothing to install
$both"

fresh
printf 'fail\nok\n' >"$STATE/update"
run
check "update fails once, then succeeds" 0 \
"dpkg --add-architecture i386
update
update
install $all_needed
install wine32:i386" \
"install-deps: installing $needed_re
install-deps: installing wine32:i386
$both"

fresh
printf 'sway\t%s\n' "$sway_refused" >"$STATE/refuse"
run
check "a needed package refused fails and names it" 1 \
"dpkg --add-architecture i386
update
install $all_needed" \
"install-deps: installing $needed_re
install-deps: cannot install needed package sway \(no installation candidate\)
install-deps: needed packages not installed: $needed_re"

fresh
echo "$needed" >"$STATE/installed"
run INSTALL_DEPS_RUNS_32BIT=no
check "a machine that cannot execute 32-bit programs asks for no i386 package" 0 "" \
"install-deps: this machine cannot execute 32-bit programs: no 32-bit Wine
install-deps: all [0-9]+ needed packages and npm present; nothing to install
$only64"

exit "$failed"

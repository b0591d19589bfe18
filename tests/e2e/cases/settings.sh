# The settings file: our own reader and writer (plix-ini, native and .exe) against
# the platform's GetPrivateProfileIntA / WritePrivateProfileStringA (ini_probe.exe)
# over every file of tests/data/ini, generated 10 MB files, and a set of writes.
# Queries go in batches (tools/plix-ini/ini_commands.h): a Wine start costs more
# than hundreds of profile calls.

SETTINGS_CORPUS=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../data/ini" && pwd)
SETTINGS_KEYS=(dot_count dot_history inertia speed_limit brownian bounce chow starting_pos
               a b " dot_count " DOT_COUNT)
# Where we read differently from Wine on purpose: file|key|ours|Wine's (in the
# file's [Plix]). Wine drops the last digit of a quoted value exactly 31
# characters long.
SETTINGS_KNOWN_DIFFERENCES=("quotes2.ini|chow|22|2")

# settings_batch RUNNER LIST: runs the commands of LIST with RUNNER (own, own_exe
# or platform); one output line each. A Wine start now and then prints nothing,
# so a short answer is asked for again.
settings_batch() {
    local runner=$1 list=$2 out try want
    want=$(grep -c . "$list")
    for try in 1 2 3; do
        case $runner in
            own) out=$("$E2E_NATIVE_BUILD/plix-ini" batch "$list") ;;
            own_exe) out=$(e2e_wine_exe plix-ini.exe batch "Z:$list") ;;
            platform) out=$(e2e_wine_exe ini_probe.exe batch "$list") ;;
        esac
        [ "$(printf '%s\n' "$out" | grep -c .)" = "$want" ] && break
        echo "$runner: $(printf '%s\n' "$out" | grep -c .) answers to $want commands (try $try)" >&2
    done
    printf '%s\n' "$out"
}

# settings_get_line FILE SECTION DEFAULT [PREFIX]: a batch line asking for every key.
settings_get_line() {
    local IFS=$'\t'
    printf 'get\t%s%s\t%s\t%s\t%s\n' "${4-}" "$1" "$2" "$3" "${SETTINGS_KEYS[*]}"
}

# settings_compare LIST OURS THEIRS: the answers to LIST's get commands, line by
# line and key by key; prints each disagreement (the known ones excepted) and
# returns 1 if there was one.
settings_compare() {
    local IFS='|'
    paste -d $'\001' "$1" "$2" "$3" | awk -F $'\001' -v keys="${SETTINGS_KEYS[*]}" \
        -v known="${SETTINGS_KNOWN_DIFFERENCES[*]}" '
        BEGIN { nk = split(keys, key, "|"); split(known, k, "|")
                for (i = 1; i in k; i += 4) skip[k[i] "|" k[i + 1] "|" k[i + 2] "|" k[i + 3]] = 1 }
        {
            split($1, cmd, "\t"); n = split(cmd[2], path, "/")
            split($2, ours, " "); split($3, wine, " ")
            for (i = 1; i <= nk; i++) {
                o = (i in ours) ? ours[i] : "none"; w = (i in wine) ? wine[i] : "none"
                if (o != w && !((path[n] "|" key[i] "|" o "|" w) in skip)) {
                    printf "%s [%s] \047%s\047 (default %s): ours %s, platform %s\n", path[n], cmd[3], key[i], cmd[4], o, w
                    bad = 1
                }
            }
        }
        END { exit bad }'
}

test_settings_corpus_reads_as_on_the_platform() {
    local list="$E2E_TMP/corpus.list" file section n=0 bad=0
    : >"$list"
    for file in "$SETTINGS_CORPUS"/*.ini; do
        settings_get_line "$file" Plix 0 >>"$list"
        for section in Plix "" " plix " Other; do settings_get_line "$file" "$section" -7 >>"$list"; done
        n=$((n + 1))
    done
    [ "$n" -ge 50 ] || { e2e_fail "only $n corpus files in $SETTINGS_CORPUS"; return 1; }
    settings_batch own "$list" >"$E2E_TMP/corpus.own"
    settings_batch platform "$list" >"$E2E_TMP/corpus.platform"
    settings_compare "$list" "$E2E_TMP/corpus.own" "$E2E_TMP/corpus.platform" || bad=1
    # The known differences must still be differences of exactly that kind.
    local known f k ours wine got
    for known in "${SETTINGS_KNOWN_DIFFERENCES[@]}"; do
        IFS='|' read -r f k ours wine <<<"$known"
        printf 'get\t%s\tPlix\t-7\t%s\n' "$SETTINGS_CORPUS/$f" "$k" >"$E2E_TMP/known.list"
        got="$(settings_batch own "$E2E_TMP/known.list")/$(settings_batch platform "$E2E_TMP/known.list")"
        [ "$got" = "$ours/$wine" ] || { echo "$known: now ours/platform = $got"; bad=1; }
    done
    [ "$bad" = 0 ] || e2e_fail "reads differ"
}

# settings_big_file PATH EOL: 10 MB of other entries, a 300 000-character line,
# then [Plix] at the very end.
settings_big_file() {
    awk -v eol="$2" 'BEGIN {
        printf "[Noise]%s", eol
        for (i = 0; size < 10000000; i++) {
            line = sprintf("key%d=%s", i, substr("vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv", 1, i % 50))
            printf "%s%s", line, eol
            size += length(line) + length(eol)
        }
        long = "x"
        while (length(long) < 300000) long = long long
        printf "long=%s%s", long, eol
        printf "[Plix]%sdot_count=17%sinertia=-3%s", eol, eol, eol
    }' >"$1"
}

test_settings_ten_megabyte_files_read_as_on_the_platform() {
    local list="$E2E_TMP/big.list" bad=0 name eol
    : >"$list"
    for name in crlf lf cr; do
        case $name in crlf) eol=$'\r\n' ;; lf) eol=$'\n' ;; cr) eol=$'\r' ;; esac
        settings_big_file "$E2E_TMP/big-$name.ini" "$eol"
        [ "$(stat -c %s "$E2E_TMP/big-$name.ini")" -gt 10000000 ] || { echo "big-$name.ini too small"; bad=1; }
        settings_get_line "$E2E_TMP/big-$name.ini" Plix -7 >>"$list"
        settings_get_line "$E2E_TMP/big-$name.ini" Noise -7 >>"$list"
    done
    settings_batch own "$list" >"$E2E_TMP/big.own"
    settings_batch platform "$list" >"$E2E_TMP/big.platform"
    settings_compare "$list" "$E2E_TMP/big.own" "$E2E_TMP/big.platform" || bad=1
    # The section at the very end was found at all.
    [ "$(grep -c '^17 ' "$E2E_TMP/big.own")" = 3 ] || { echo "dot_count=17 not read:" $(cat "$E2E_TMP/big.own"); bad=1; }
    [ "$bad" = 0 ] || e2e_fail "reads of the 10 MB files differ"
}

# Writes: NAME|BEFORE (printf format, or - for no file)|SECTION|KEY|VALUE|HOW.
# HOW "same": our bytes are the platform's. "kept": the platform rewrites the whole
# file in its own layout (blank lines and spacing dropped, CR LF everywhere) while
# we change only the key's line; then both files must read alike.
SETTINGS_WRITES='new_file|-|Plix|dot_count|5|same
empty_file||Plix|dot_count|5|same
replace|[Plix]\r\ndot_count=1\r\ninertia=2\r\n|Plix|dot_count|-2147483648|same
unchanged|[Plix]\r\ndot_count = 5\r\n\r\n  x\r\n|Plix|dot_count|5|same
new_key|[Plix]\r\ndot_count=1\r\n[Other]\r\na=1\r\n|Plix|inertia|5|same
new_section|[Other]\r\na=1\r\n|Plix|inertia|5|same
no_final_eol|[Other]\r\na=1|Plix|inertia|5|same
no_final_eol_in_section|[Plix]\r\na=1|Plix|b|5|same
header_only|[Plix]|Plix|b|5|same
section_twice|[Plix]\r\na=1\r\n[Plix]\r\nb=2\r\n|Plix|b|5|same
key_twice|[Plix]\r\nB=1\r\nb=2\r\n|plix|b|5|same
no_equals|[Plix]\r\ndot_count\r\n|Plix|dot_count|5|same
comment_entries|[Plix]\r\na=1\r\n;b=2\r\n|Plix|b|5|same
nameless_first|a=1\r\n|Plix|b|5|same
value_blanks|[Plix]\r\n|Plix|b|  5 |same
utf8_mark|\xef\xbb\xbf[Plix]\r\na=1\r\n|Plix|b|5|same
utf16|\xff\xfe[\0P\0l\0i\0x\0]\0\r\0\n\0a\0=\x001\0\r\0\n\0|Plix|b|5|same
utf16_replace|\xff\xfe[\0P\0l\0i\0x\0]\0\r\0\n\0a\0=\x001\0\r\0\n\0|Plix|a|7|same
utf16_big_endian|\xfe\xff\0[\0O\0]\0\r\0\n|Plix|b|5|same
blank_lines|[Plix]\r\na=1\r\n\r\n[Other]\r\n\r\n|Plix|b|5|kept
spacing| [ Plix ] ; s\r\n  c  =  3  \r\n|Plix|b|5|kept
written_line_layout|[Plix]\r\n  DOT_COUNT  =  1 ; c\r\n|Plix|dot_count|2|same
lf|[Plix]\na=1\n[Other]\nq=1\n|Plix|b|5|kept
cr|[Plix]\ra=1\r[Other]\rq=1\r|Plix|b|5|kept
ctrl_z|[Plix]\r\na=1\r\n\x1a|Plix|b|5|kept
nul_byte|[Plix]\r\na=1\0x\r\n|Plix|b|5|kept'

# settings_write_all RUNNER DIR [PREFIX]: makes DIR/NAME.ini from BEFORE for every
# write case and does all the writes in one batch; prints one status a line.
settings_write_all() {
    local runner=$1 dir=$2 prefix=${3-} name before section key value how
    mkdir -p "$dir"
    : >"$dir.list"
    while IFS='|' read -r name before section key value how; do
        rm -f "$dir/$name.ini"
        # shellcheck disable=SC2059  # BEFORE is a printf format by design
        [ "$before" = - ] || printf "$before" >"$dir/$name.ini"
        printf 'write\t%s\t%s\t%s\t%s\n' "$prefix$dir/$name.ini" "$section" "$key" "$value" >>"$dir.list"
    done <<<"$SETTINGS_WRITES"
    settings_batch "$runner" "$dir.list"
}

test_settings_writes_match_the_platform() {
    local ours="$E2E_TMP/w-own" theirs="$E2E_TMP/w-platform" bad=0 n=0
    local name before section key value how sec
    local -a s1 s2
    mapfile -t s1 < <(settings_write_all own "$ours")
    mapfile -t s2 < <(settings_write_all platform "$theirs")
    : >"$E2E_TMP/w-own.reads"
    : >"$E2E_TMP/w-platform.reads"
    while IFS='|' read -r name before section key value how; do
        if [ "${s1[$n]-}" != 1 ] || [ "${s2[$n]-}" != 1 ]; then
            echo "$name: status ours ${s1[$n]-none}, platform ${s2[$n]-none}"
            bad=1
        fi
        n=$((n + 1))
        if [ "$how" = same ]; then
            cmp -s "$ours/$name.ini" "$theirs/$name.ini" || {
                echo "$name: bytes differ"
                echo "  ours:     $(od -An -c "$ours/$name.ini" | tr -s ' ' | tr -d '\n')"
                echo "  platform: $(od -An -c "$theirs/$name.ini" | tr -s ' ' | tr -d '\n')"
                bad=1
            }
        elif cmp -s "$ours/$name.ini" "$theirs/$name.ini"; then
            echo "$name: expected the platform to rewrite the file, but the bytes are equal"
            bad=1
        fi
        for sec in Plix Other ""; do
            settings_get_line "$ours/$name.ini" "$sec" -7 >>"$E2E_TMP/w-own.reads"
            settings_get_line "$theirs/$name.ini" "$sec" -7 >>"$E2E_TMP/w-platform.reads"
        done
    done <<<"$SETTINGS_WRITES"
    # Whatever the bytes, the platform reads both results alike, and so do we.
    settings_batch platform "$E2E_TMP/w-own.reads" >"$E2E_TMP/w-own.platform"
    settings_batch platform "$E2E_TMP/w-platform.reads" >"$E2E_TMP/w-platform.platform"
    settings_batch own "$E2E_TMP/w-own.reads" >"$E2E_TMP/w-own.own"
    settings_compare "$E2E_TMP/w-own.reads" "$E2E_TMP/w-own.platform" "$E2E_TMP/w-platform.platform" || bad=1
    settings_compare "$E2E_TMP/w-own.reads" "$E2E_TMP/w-own.own" "$E2E_TMP/w-own.platform" || bad=1
    # Nothing else was left in the folder (no temporary files).
    [ -z "$(find "$ours" -type f ! -name '*.ini')" ] || { echo "left over:" "$ours"/*; bad=1; }
    [ "$bad" = 0 ] || e2e_fail "writes differ"
}

# The Windows build of our reader and writer (as in plix-sim.exe) gives the same
# bytes and values as the native one; it replaces existing files (MoveFileExA) and
# takes paths in the ANSI code page.
test_settings_windows_build_of_our_code_agrees() {
    local native="$E2E_TMP/x-native" exe="$E2E_TMP/x-exe" bad=0 name s file
    settings_write_all own "$native" >"$native.status"
    settings_write_all own_exe "$exe" Z: >"$exe.status"
    cmp -s "$native.status" "$exe.status" || { echo "statuses differ:" $(cat "$native.status") / $(cat "$exe.status"); bad=1; }
    grep -qv '^1$' "$native.status" && { echo "a write failed:" $(cat "$native.status"); bad=1; }
    for file in "$native"/*.ini; do
        name=$(basename "$file")
        cmp -s "$file" "$exe/$name" || { echo "$name: bytes differ"; bad=1; }
    done
    # Once more over the files just written, so every write replaces a file.
    settings_write_all own "$native" >/dev/null
    settings_write_all own_exe "$exe" Z: >/dev/null
    for file in "$native"/*.ini; do
        name=$(basename "$file")
        cmp -s "$file" "$exe/$name" || { echo "$name: bytes differ on the second write"; bad=1; }
    done
    [ -z "$(find "$exe" -type f ! -name '*.ini')" ] || { echo "left over:" "$exe"/*; bad=1; }
    : >"$E2E_TMP/x.list"
    : >"$E2E_TMP/x-exe.list"
    for file in "$SETTINGS_CORPUS"/*.ini; do
        settings_get_line "$file" Plix -7 >>"$E2E_TMP/x.list"
        settings_get_line "$file" Plix -7 Z: >>"$E2E_TMP/x-exe.list"
    done
    settings_batch own "$E2E_TMP/x.list" >"$E2E_TMP/x.own"
    settings_batch own_exe "$E2E_TMP/x-exe.list" >"$E2E_TMP/x.exe"
    cmp -s "$E2E_TMP/x.own" "$E2E_TMP/x.exe" || { echo "corpus reads differ:"; diff "$E2E_TMP/x.own" "$E2E_TMP/x.exe"; bad=1; }
    # A folder name outside ASCII ("é" is one byte in the ANSI code page).
    local dir="$E2E_TMP/caf"$'\xc3\xa9'
    mkdir -p "$dir"
    printf '[Plix]\r\na=1\r\n' >"$dir/Plix.ini"
    local rc=0
    s=$(e2e_wine_exe plix-ini.exe write "Z:$dir/Plix.ini" Plix a 2) || rc=$?
    [ "$s" = 1 ] && [ "$(cat "$dir/Plix.ini")" = $'[Plix]\r\na=2\r' ] || {
        echo "non-ASCII folder: printed '$s', exit status $rc, file:" "$(od -c "$dir/Plix.ini")"
        echo "Wine said last:"; tail -5 "$E2E_TMP/helpers.log"
        bad=1
    }
    [ "$bad" = 0 ] || e2e_fail "the Windows build of our reader and writer differs"
}

# settings_write_case DIR RUNNER NAME: one write of a=1 in [Plix] to DIR/NAME.ini.
settings_write_case() {
    local file="$1/$3.ini"
    case $2 in
        own) "$E2E_NATIVE_BUILD/plix-ini" write "$file" Plix a 1 ;;
        platform) e2e_wine_exe ini_probe.exe write "$file" Plix a 1 ;;
    esac
}

# Writes that cannot be done return 0 on both sides and leave what was there.
test_settings_failed_writes_return_0() {
    local d="$E2E_TMP/fail" bad=0 runner s
    for runner in own platform; do
        rm -rf "$d" && mkdir -p "$d/isdir/Plix.ini" "$d/plain"
        printf 'x' >"$d/plain/file"
        s=$(settings_write_case "$d" "$runner" nodir/Plix)
        [ "$s" = 0 ] || { echo "$runner: missing folder gave $s"; bad=1; }
        s=$(settings_write_case "$d/isdir" "$runner" Plix)
        [ "$s" = 0 ] && [ -d "$d/isdir/Plix.ini" ] || { echo "$runner: folder in the way gave $s"; bad=1; }
        [ -z "$(ls -A "$d/isdir/Plix.ini")" ] || { echo "$runner: wrote into the folder"; bad=1; }
        s=$(settings_write_case "$d/plain/file" "$runner" Plix)
        [ "$s" = 0 ] && [ "$(cat "$d/plain/file")" = x ] || { echo "$runner: file as folder gave $s"; bad=1; }
        [ "$(find "$d" -type f | wc -l)" = 1 ] || { echo "$runner: files appeared:" $(find "$d" -type f); bad=1; }
    done
    # A read-only folder: only checkable without root's rights, so as "nobody",
    # in a folder of its own that "nobody" can reach ($E2E_TMP is private).
    if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
        local ro
        ro=$(mktemp -d /tmp/plix-settings.XXXXXX) && chmod 755 "$ro" && mkdir "$ro/ro" "$ro/rw"
        cp "$E2E_NATIVE_BUILD/plix-ini" "$ro/"
        printf '[Plix]\r\na=1\r\n' >"$ro/ro/Plix.ini"
        cp "$ro/ro/Plix.ini" "$ro/rw/Plix.ini"
        chmod 666 "$ro/ro/Plix.ini" "$ro/rw/Plix.ini" && chmod 555 "$ro/ro" && chmod 777 "$ro/rw"
        s=$(setpriv --reuid=65534 --regid=65534 --clear-groups "$ro/plix-ini" write "$ro/ro/Plix.ini" Plix a 2)
        [ "$s" = 0 ] && [ "$(cat "$ro/ro/Plix.ini")" = $'[Plix]\r\na=1\r' ] &&
            [ "$(ls "$ro/ro")" = Plix.ini ] || { echo "read-only folder: status $s"; bad=1; }
        # The same user can write where it may: the check above fails for the right reason.
        s=$(setpriv --reuid=65534 --regid=65534 --clear-groups "$ro/plix-ini" write "$ro/rw/Plix.ini" Plix a 2)
        [ "$s" = 1 ] && [ "$(cat "$ro/rw/Plix.ini")" = $'[Plix]\r\na=2\r' ] || { echo "writable folder as nobody: status $s"; bad=1; }
        chmod 755 "$ro/ro"
        rm -rf "$ro"
    fi
    [ "$bad" = 0 ] || e2e_fail "failed writes"
}

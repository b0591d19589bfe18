# Shared by the native golden check and the Wine case: the case table and one run.
# Source it; GOLDEN_CASES points at cases.txt.

GOLDEN_CASES=${GOLDEN_CASES:-$(dirname "${BASH_SOURCE[0]}")/cases.txt}

# golden_fields NAME -> "size seed frames pixels sha settings" of that case.
golden_fields() {
    awk -v n="$1" '$1 == n { print $2, $3, $4, $5, $6, $7 }' "$GOLDEN_CASES"
}

golden_names() { awk '!/^#/ && NF { print $1 }' "$GOLDEN_CASES"; }

# golden_ini SETTINGS FILE: writes "key=value,..." as a settings file.
golden_ini() {
    { printf '[Plix]\r\n'; printf '%s\n' "$1" | tr ',' '\n' | sed 's/$/\r/'; } > "$2"
}

# golden_run NAME DIR RUNNER...: runs RUNNER --settings ... --raw DIR/NAME.raw
# --png DIR/NAME.png with the case's arguments; its stdout goes to DIR/NAME.out.
# Returns the runner's exit status.
golden_run() {
    local name=$1 dir=$2
    shift 2
    local size seed frames pixels sha settings
    read -r size seed frames pixels sha settings <<< "$(golden_fields "$name")"
    golden_ini "$settings" "$dir/$name.ini"
    (cd "$dir" && "$@" --settings "$name.ini" --size "$size" --seed "$seed" --frames "$frames" \
        --raw "$name.raw" --png "$name.png" > "$name.out")
}

# golden_ahead NAME DIR RUNNER...: after golden_run, the case again with half its
# frames run ahead unseen: the very same screen.
golden_ahead() {
    local name=$1 dir=$2
    shift 2
    local size seed frames pixels sha settings
    read -r size seed frames pixels sha settings <<< "$(golden_fields "$name")"
    (cd "$dir" && "$@" --settings "$name.ini" --size "$size" --seed "$seed" \
        --frames-ahead $((frames / 2)) --frames $((frames - frames / 2)) --raw "$name.ahead.raw" \
        > /dev/null) && cmp -s "$dir/$name.raw" "$dir/$name.ahead.raw"
}

# golden_verify NAME DIR: the raw file's hash and the stdout line are the pinned ones.
golden_verify() {
    local name=$1 dir=$2
    local size seed frames pixels sha settings
    read -r size seed frames pixels sha settings <<< "$(golden_fields "$name")"
    local got
    got=$(sha256sum < "$dir/$name.raw" | cut -c1-64)
    if [ "$got" != "$sha" ]; then
        echo "$name: raw sha256 $got, pinned $sha"
        return 1
    fi
    local line
    line=$(tr -d '\r' < "$dir/$name.out")
    if [ "$line" != "frames=$frames pixels_per_frame=$pixels" ]; then
        echo "$name: printed '$line'"
        return 1
    fi
}

#!/usr/bin/env bash
# Runs the real mirel binary on a temporary home: checks its console lines, byte for byte,
# then keeps one file and deletes one through the terminal review and looks at the disk.
set -euo pipefail
mirel=$1
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share LC_ALL=C.UTF-8
unset LANGUAGE
mkdir -p "$home/Desktop" "$home/Downloads"
printf 'old' > "$home/Downloads/old.txt"; touch -d '2026-01-01 10:00' "$home/Downloads/old.txt"
printf 'new' > "$home/Desktop/new.pdf"; touch -d '2026-01-02 10:00' "$home/Desktop/new.pdf"
printf 'bad' > "$home/Downloads/caf"$'\xe9'".txt"; touch -d '2025-06-01 10:00' "$home/Downloads/caf"$'\xe9'".txt"

fail() { echo "FAIL: $*" >&2; exit 1; }

printf 'k\nd\nq\n' | "$mirel" > "$home/stdout" 2> "$home/stderr"
scan() {
    printf 'Scanning: %s\nFound 1 items\nScanning: %s\nFound 2 items\nTotal files: 3\n' \
        "$home/Desktop" "$home/Downloads"
}
{ scan; scan; scan; } > "$home/expected"
cmp "$home/stdout" "$home/expected" || { diff "$home/stdout" "$home/expected"; fail "console lines"; }
grep -q $'\xef\xbf\xbd' "$home/stderr" || fail "the undecodable name is not shown with U+FFFD"

month=$(date +%B); year=$(date +%Y)
[[ "$(cat "$home/Documents/Kept/$year/$month/new.pdf")" == new ]] || fail "new.pdf was not kept"
[[ "$(cat "$home/.local/share/Trash/files/old.txt")" == old ]] || fail "old.txt is not in the Trash"
grep -qx "Path=$home/Downloads/old.txt" "$home/.local/share/Trash/info/old.txt.trashinfo" \
    || fail "trash info"
[[ -e "$home/Downloads/caf"$'\xe9'".txt" ]] || fail "the third file went missing"
echo "console session: 3 scans, keep and delete checked"

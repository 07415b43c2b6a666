#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: stalled-folder.sh MIREL
# A custom folder on a FUSE mount (bindfs) whose server is stopped with SIGSTOP, as a network
# share or a FUSE drive that hangs: Refresh gives up on that folder, the window answers again
# within 3 s, Desktop and Downloads are listed, and the console says "Error scanning <folder>:
# the folder does not respond". A second Refresh does not wait again; once the server runs
# again, the next Refresh lists the folder. Exits 77 (skipped) where FUSE cannot be mounted.
mirel=$1
source "$(dirname "$0")/e2e-lib.sh"

skip() {
    echo "SKIP: $*"
    exit 77
}
[[ $(id -u) -eq 0 ]] || skip "mounting with bindfs needs root here"
command -v bindfs >/dev/null || skip "bindfs is not installed (scripts/deps.sh --test)"
[[ -c /dev/fuse ]] || skip "no /dev/fuse in this system"

e2e_session
share=$home/Share
mkdir -p "$work/server" "$share"
bindfs_pid=
# The server must run again and the mount go before the work folder is removed: anything that
# touches a stopped FUSE mount waits for it.
stalled_cleanup() {
    if [[ -n $bindfs_pid ]]; then
        kill -CONT "$bindfs_pid" 2>/dev/null || true
        umount -l "$share" 2>/dev/null || true
        kill "$bindfs_pid" 2>/dev/null || true
    fi
    e2e_cleanup
}
trap stalled_cleanup EXIT
bindfs -f "$work/server" "$share" >/dev/null 2>&1 &
bindfs_pid=$!
waitfor 10 mountpoint -q "$share" || skip "bindfs could not mount (FUSE not permitted here)"

printf 'a' > "$home/Desktop/a.txt"; touch -d '2026-01-03 10:00' "$home/Desktop/a.txt"
printf 'b' > "$home/Downloads/b.txt"; touch -d '2026-01-02 10:00' "$home/Downloads/b.txt"
printf 'remote' > "$work/server/remote.txt"; touch -d '2025-01-01 10:00' "$work/server/remote.txt"
mkdir -p "$XDG_CONFIG_HOME/Mirel"
printf '[General]\nincludeDesktop=true\nincludeDownloads=true\nmonitoredFolders=%s\n' "$share" \
    > "$XDG_CONFIG_HOME/Mirel/Mirel.conf"

e2e_start "$mirel"
ui wait label '^a\.txt$' 20 || fail "the panel did not open on a.txt"
waitfor 10 grep -qxF "Total files: 3" "$work/stdout" || fail "the share was not listed at first"

now_ms() { date +%s%3N; }
block() { # the console lines of one Refresh with the server stopped
    printf 'Scanning: %s\nFound 1 items\nScanning: %s\nFound 1 items\nScanning: %s\n' \
        "$home/Desktop" "$home/Downloads" "$share"
    printf 'Error scanning %s: the folder does not respond\nTotal files: 2\n' "$share"
}
block > "$work/stalled-block"
last_block_is() { cmp -s <(tail -n "$(wc -l < "$1")" "$work/stdout") "$1"; }

kill -STOP "$bindfs_pid"
start=$(now_ms)
ui press '^Refresh$' 5 || fail "could not press Refresh"
waitfor 5 last_block_is "$work/stalled-block" ||
    { diff <(tail -7 "$work/stdout") "$work/stalled-block" >&2 || true; fail "no give-up lines for the stopped share"; }
ui wait label '^a\.txt$' 3 || fail "the window does not answer after the Refresh"
elapsed=$(($(now_ms) - start))
((elapsed <= 3000)) || fail "the window answered only after $elapsed ms"
echo "stalled share: window answering again after $elapsed ms"

# While the listing is still stuck, another Refresh neither waits again nor lists it twice.
refresh() { # presses Refresh and waits for its seven console lines
    local lines
    lines=$(wc -l < "$work/stdout")
    ui press '^Refresh$' 5 || return 1
    waitfor 5 bash -c "(( \$(wc -l < '$work/stdout') >= $lines + 7 ))"
}
start=$(now_ms)
refresh || fail "the second Refresh printed nothing"
last_block_is "$work/stalled-block" || fail "the second Refresh did not give up on the share"
ui wait label '^a\.txt$' 3 || fail "the window does not answer after the second Refresh"
elapsed=$(($(now_ms) - start))
((elapsed <= 3000)) || fail "the second Refresh held the window for $elapsed ms"

# The server answers again: a Refresh once the stuck listing has returned lists the share.
kill -CONT "$bindfs_pid"
printf 'Scanning: %s\nFound 1 items\nScanning: %s\nFound 1 items\nScanning: %s\nFound 1 items\nTotal files: 3\n' \
    "$home/Desktop" "$home/Downloads" "$share" > "$work/answering-block"
listed_again() {
    local deadline=$((SECONDS + 15))
    while ((SECONDS < deadline)); do
        refresh || return 1
        last_block_is "$work/answering-block" && return 0
    done
    return 1
}
listed_again || fail "the share was not listed again once its server answered"

ui press '^Quit$' || fail "could not press Quit"
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
echo "stalled-folder: passed"

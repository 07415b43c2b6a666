#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: keep-across-drives.sh MIREL
# A Keep of a 1.5 GiB file from another drive (a tmpfs mounted here, standing in for a USB
# stick): the card shows the copy's progress, the window answers all through the copy, and
# the kept file is whole while the original is gone. Then Quit during the Keep of a larger
# file: Mirel ends at once, the original stays whole, nothing is left in Kept, and the console
# says so. Needs root to mount the tmpfs; where that is impossible the check is skipped
# (exit 77) with a line that says so.
source "$(dirname "$0")/e2e-lib.sh"
mirel=$1

e2e_session
stick=$work/stick
mkdir -p "$stick"
if ! mount -t tmpfs -o size=4g,mode=0755 mirel-e2e "$stick" 2>/dev/null; then
    echo "SKIP: cannot mount a tmpfs here (needs root): the Keep across drives is not checked"
    exit 77
fi
trap 'umount -l "$stick" 2>/dev/null; e2e_cleanup' EXIT
mkdir -p "$XDG_CONFIG_HOME/Mirel"
printf '[General]\nincludeDesktop=false\nincludeDownloads=false\nmonitoredFolders=%s\n' "$stick" \
    > "$XDG_CONFIG_HOME/Mirel/Mirel.conf"
head -c 64M /dev/urandom > "$work/chunk"
for _ in $(seq 24); do cat "$work/chunk"; done > "$stick/big.bin"
sum=$(sha256sum < "$stick/big.bin")

e2e_open_panel "$mirel" 'big\.bin' 30

ui press '^Keep$' || fail "could not press Keep"
ui wait 'progress bar' '^Copy progress$' 20 || fail "the card shows no progress of the copy"
read -r calls worst < <(ui probe 'push button' '^Keep$' "$stick/big.bin") ||
    fail "the window stopped answering during the copy"
echo "the window answered $calls times during the copy (slowest answer $worst ms)"
((calls >= 3)) || fail "too few answers to tell that the window answered during the copy"
kept=$(find "$home/Documents/Kept" -name big.bin)
[[ -n $kept ]] || fail "big.bin is not in Kept"
[[ $(sha256sum < "$kept") == "$sum" ]] || fail "the kept big.bin is not whole"
[[ -z $(find "$home/Documents/Kept" -name '.mirel-keep-*') ]] || fail "a partial copy was left"
ui gone 'progress bar' '^Copy progress$' 10 || fail "the progress stays after the Keep"
! grep -q '^Failed' "$work/stdout" || fail "the Keep failed: $(grep '^Failed' "$work/stdout")"

# Quit while a larger file is copied.
for _ in $(seq 40); do cat "$work/chunk"; done > "$stick/bigger.bin"
touch -d '2000-01-01' "$stick/bigger.bin"
rm "$work/chunk"
bigger_sum=$(sha256sum < "$stick/bigger.bin")
ui press '^Refresh$' || fail "could not press Refresh"
ui wait label '^bigger\.bin$' 10 || fail "the panel does not show bigger.bin"
: > "$work/stdout"
ui press '^Keep$' || fail "could not press Keep on bigger.bin"
ui wait 'progress bar' '^Copy progress$' 20 || fail "the card shows no progress of the second copy"
ui tray-click '^Quit$'
waitfor 20 bash -c "! kill -0 $mirel_pid" || fail "Quit did not end Mirel during the copy"
if [[ ! -e $stick/bigger.bin ]]; then
    echo "the copy of bigger.bin ended before Quit arrived: quitting during a copy was not checked"
else
    [[ $(sha256sum < "$stick/bigger.bin") == "$bigger_sum" ]] || fail "bigger.bin changed"
    [[ -z $(find "$home/Documents/Kept" -name 'bigger*' -o -name '.mirel-keep-*') ]] ||
        fail "something of the cancelled copy was left in Kept"
    grep -qx "Keep cancelled on quit: \"$stick/bigger.bin\" stays where it was" "$work/stdout" ||
        fail "the console does not say that the Keep was cancelled"
fi
echo "keep across drives: progress shown, the window answered, the kept file whole; Quit during a copy left the original"

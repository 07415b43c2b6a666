#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: keep-across-drives.sh MIREL
# A Keep of a 1.5 GiB file from another drive (a tmpfs mounted here, standing in for a USB
# stick): the card shows the copy's progress, the window answers all through the copy, and
# the kept file is whole while the original is gone. Needs root to mount the tmpfs; where
# that is impossible the check is skipped (exit 77) with a line that says so.
source "$(dirname "$0")/e2e-lib.sh"
mirel=$1

e2e_session
stick=$work/stick
mkdir -p "$stick"
if ! mount -t tmpfs -o size=2g,mode=0755 mirel-e2e "$stick" 2>/dev/null; then
    echo "SKIP: cannot mount a tmpfs here (needs root): the Keep across drives is not checked"
    exit 77
fi
trap 'umount -l "$stick" 2>/dev/null; e2e_cleanup' EXIT
mkdir -p "$XDG_CONFIG_HOME/Mirel"
printf '[General]\nincludeDesktop=false\nincludeDownloads=false\nmonitoredFolders=%s\n' "$stick" \
    > "$XDG_CONFIG_HOME/Mirel/Mirel.conf"
head -c 64M /dev/urandom > "$work/chunk"
for _ in $(seq 24); do cat "$work/chunk"; done > "$stick/big.bin"
rm "$work/chunk"
sum=$(sha256sum < "$stick/big.bin")

e2e_tray
e2e_start "$mirel"
ui tray-wait || fail "no tray icon"
ui tray-activate
ui wait label '^big\.bin$' 30 || fail "the panel did not open on big.bin"

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
echo "keep across drives: progress shown, the window answered, the kept file whole"

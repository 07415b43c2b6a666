#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: decision-feedback.sh MIREL
# The panel opened from the tray has the keyboard focus on the file list, never on Delete.
# A Keep that cannot be done (the Kept folder is a plain file) says why under the file (its
# name and the cause in plain words), the file stays where it was and current, the console
# line is written; the next scan clears it.
# Escape closes the panel.
source "$(dirname "$0")/e2e-lib.sh"
mirel=$1

e2e_session
printf 'newest' > "$home/Downloads/a.txt"; touch -d '2026-01-03 10:00' "$home/Downloads/a.txt"
printf 'older' > "$home/Downloads/b.txt"; touch -d '2026-01-02 10:00' "$home/Downloads/b.txt"
mkdir -p "$home/Documents"
printf 'not a folder' > "$home/Documents/Kept"

e2e_open_panel a.txt

ui wait-focus '*' '^Files$' 10 || fail "the file list does not have the focus: $(ui focused)"
[[ $(ui focused) != *$'\tDelete' ]] || fail "Delete has the focus"

ui press '^Keep$'
ui wait label 'Not a directory' 5 || { ui dump >&2; fail "no reason under the file"; }
ui gone label '^Downloads ' 5 || fail "the details line shows beside the reason"
ui wait label '^a\.txt$' 5 || fail "a.txt is not current any more"
[[ $(cat "$home/Downloads/a.txt") == newest ]] || fail "a.txt went missing or changed"
[[ -f "$home/Documents/Kept" ]] || fail "the plain file in place of Kept changed"
waitfor 5 grep -q '^Failed to keep: .*Not a directory' "$work/stdout" || fail "no console line"
ui wait label '^Could not keep "a\.txt": its folder in Kept could not be made \(Not a directory\)$' 5 ||
    fail "the line under the file does not name the file and the cause"

ui press '^Refresh$'
ui gone label 'Not a directory' 5 || fail "a scan did not clear the reason"
ui wait label '^Downloads ' 5 || fail "the details line did not come back"

# Escape closes the panel, as desktop popups go.
xdotool key Escape
ui gone 'push button' '^Keep$' 5 || fail "Escape did not close the panel"
[[ -e /proc/$mirel_pid ]] || fail "Escape quit Mirel"
ui tray-click '^Quit$'
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
echo "decision feedback: initial focus on the list, failed Keep shows its reason, file kept in place, Escape: all checked"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: window-undo.sh MIREL
# No tray at all, as on stock GNOME: Mirel is a window. After a Keep its footer offers
# "Undo Keep: <name>", Ctrl+Z takes the Keep back, and the button goes when nothing is left.
source "$(dirname "$0")/e2e-lib.sh"
mirel=$1

e2e_session
printf 'photo' > "$home/Desktop/PXL_20250210_phone.jpg"; touch -d '2026-01-03 10:00' "$home/Desktop/PXL_20250210_phone.jpg"
printf 'older' > "$home/Downloads/older.txt"; touch -d '2025-06-01 10:00' "$home/Downloads/older.txt"

e2e_start "$mirel"
ui wait label '^PXL_20250210_phone\.jpg$' || fail "no window on the photo without a tray"
ui gone 'push button' '^Undo' 1 || fail "an undo button with nothing to undo"
ui press '^Keep$'
month=$(date +%B) year=$(date +%Y)
kept=$home/Documents/Kept/$year/$month/PXL_20250210_phone.jpg
waitfor 5 test -f "$kept" || fail "Keep did not move the photo"
ui wait 'push button' '^Undo Keep: PXL_20250210_phone\.jpg$' || fail "no undo button in the footer"

window=$(mirel_window) || fail "Mirel's window is not mapped"
xdotool windowfocus --sync "$window" || fail "could not focus the window"
xdotool key --clearmodifiers ctrl+z
waitfor 5 test -f "$home/Desktop/PXL_20250210_phone.jpg" || fail "Ctrl+Z did not take the Keep back"
[[ ! -e $kept && $(cat "$home/Desktop/PXL_20250210_phone.jpg") == photo ]] || fail "the photo changed on its way back"
ui gone 'push button' '^Undo' || fail "the undo button stayed with nothing to undo"

ui press '^Quit$'
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
wait "$mirel_pid" || fail "mirel exited with an error"
echo "window without a tray: undo button after Keep, Ctrl+Z took the Keep back: all checked"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: tray-late.sh MIREL
# The desktop's tray comes 3 s after Mirel, as panels often do at login: the icon docks within
# 10 s and the window used until then becomes the panel. The panel opens at the point that
# Activate(x, y) names, and "Open Mirel", a second launch and the tray's undo open it there
# again. The undo entry names a file with underscores exactly (escaped as dbusmenu wants).
source "$(dirname "$0")/e2e-lib.sh"
mirel=$1

e2e_session
printf 'photo' > "$home/Downloads/PXL_20250210_phone.jpg"; touch -d '2026-01-03 10:00' "$home/Downloads/PXL_20250210_phone.jpg"
printf 'older' > "$home/Downloads/older.txt"; touch -d '2025-06-01 10:00' "$home/Downloads/older.txt"

e2e_start "$mirel"
ui wait 'push button' '^Keep$' || fail "no window before the tray came"
# The scenario, not a wait: the tray starts three seconds after Mirel.
sleep 3
e2e_tray
ui tray-wait 10 || fail "the icon did not dock within 10 s of the tray's coming"
ui gone 'push button' '^Keep$' 5 || fail "the window did not give way to the tray's panel"
kill -0 "$mirel_pid" || fail "Mirel quit when the window went"

# A click at a point the tray names opens the panel there; the next closes it.
ui tray-activate 700 300
ui wait 'push button' '^Keep$' || fail "Activate did not open the panel"
waitfor 5 panel_at 700 300 || fail "the panel is not at Activate(700, 300): $(cat "$work/panel-at")"
ui tray-activate 700 300
ui gone 'push button' '^Keep$' || fail "a second Activate did not close the panel"

# "Open Mirel" puts it where the icon was last clicked.
[[ $(ui tray-menu | head -1) == $'Open Mirel\tenabled\tunchecked' ]] ||
    fail "the menu does not start with Open Mirel: $(ui tray-menu | head -1)"
ui tray-click '^Open Mirel$' || fail "could not click Open Mirel"
ui wait 'push button' '^Keep$' || fail "Open Mirel did not open the panel"
waitfor 5 panel_at 700 300 || fail "Open Mirel opened the panel elsewhere: $(cat "$work/panel-at")"
ui tray-activate 700 300
ui gone 'push button' '^Keep$' || fail "the panel did not close"

# So does a second launch.
timeout 10 "$mirel" > /dev/null 2>&1 || fail "the second launch did not exit cleanly"
ui wait 'push button' '^Keep$' || fail "the second launch did not open the panel"
waitfor 5 panel_at 700 300 || fail "a second launch opened the panel elsewhere: $(cat "$work/panel-at")"

# The undo entry: underscores doubled on the wire, shown as they are.
ui wait label '^PXL_20250210_phone\.jpg$' || fail "the panel is not on the photo"
ui press '^Keep$'
month=$(date +%B) year=$(date +%Y)
waitfor 5 test -f "$home/Documents/Kept/$year/$month/PXL_20250210_phone.jpg" || fail "Keep did not move the photo"
[[ $(ui tray-menu-raw | sed -n 2p) == 'Undo Keep: PXL__20250210__phone.jpg' ]] ||
    fail "the undo label is not escaped for dbusmenu: $(ui tray-menu-raw | sed -n 2p)"
[[ $(ui tray-menu | sed -n 2p) == $'Undo Keep: PXL_20250210_phone.jpg\tenabled\tunchecked' ]] ||
    fail "the undo entry does not show the name exactly: $(ui tray-menu | sed -n 2p)"
ui tray-activate 700 300
ui gone 'push button' '^Keep$' || fail "the panel did not close"
ui tray-click '^Undo Keep: PXL_20250210_phone\.jpg$' || fail "could not click the undo entry"
waitfor 5 test -f "$home/Downloads/PXL_20250210_phone.jpg" || fail "the undo did not bring the photo back"
ui wait 'push button' '^Keep$' || fail "the undo did not open the panel"
waitfor 5 panel_at 700 300 || fail "the undo opened the panel elsewhere: $(cat "$work/panel-at")"

ui tray-click '^Quit$' || fail "could not click Quit"
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
wait "$mirel_pid" || fail "mirel exited with an error"
echo "late tray: docked after 3 s, panel at Activate(700, 300), Open Mirel, second launch and undo at the same place, undo label escaped: all checked"

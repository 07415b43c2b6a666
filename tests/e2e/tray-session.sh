#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: tray-session.sh MIREL
# Runs the real mirel in a private desktop session with a StatusNotifierItem tray: checks the
# start-up scans on standard output, opens the panel from the tray icon, keeps the newest file
# and deletes the next through the panel's buttons (found by their accessible names), checks
# the disk and quits. Then starts it with no tray and checks the fallback window.
source "$(dirname "$0")/e2e-lib.sh"
mirel=$1

e2e_session
printf 'newest' > "$home/Desktop/new.pdf"; touch -d '2026-01-03 10:00' "$home/Desktop/new.pdf"
printf 'middle' > "$home/Downloads/middle.txt"; touch -d '2026-01-02 10:00' "$home/Downloads/middle.txt"
printf 'oldest' > "$home/Downloads/caf"$'\xe9'".txt"; touch -d '2025-06-01 10:00' "$home/Downloads/caf"$'\xe9'".txt"

e2e_tray
e2e_start "$mirel"

# Three scans at start-up, exactly these lines.
scan() {
    printf 'Scanning: %s\nFound 1 items\nScanning: %s\nFound 2 items\nTotal files: 3\n' \
        "$home/Desktop" "$home/Downloads"
}
{ scan; scan; scan; } | expect_stdout "start-up console lines"

# Only the tray icon: no window until it is clicked.
ui tray-wait || fail "no tray icon"
ui gone 'push button' '^Keep$' 5 || fail "a window opened at start-up"

# A click on the icon opens the panel on the newest file, the next closes it.
ui tray-activate
ui wait label '^new\.pdf$' || fail "a click on the tray icon did not open the panel on new.pdf"
ui tray-activate
ui gone 'push button' '^Keep$' || fail "a click on the tray icon did not close the panel"

# A second launch opens the first one's panel and leaves without scanning.
timeout 10 "$mirel" > "$work/second.out" 2>/dev/null || fail "the second launch did not exit cleanly"
[[ ! -s $work/second.out ]] || fail "the second launch scanned"
ui wait 'push button' '^Keep$' || fail "the second launch did not open the panel"

month=$(date +%B) year=$(date +%Y)
ui press '^Keep$'
waitfor 5 test -f "$home/Documents/Kept/$year/$month/new.pdf" || fail "Keep did not move new.pdf"
[[ $(cat "$home/Documents/Kept/$year/$month/new.pdf") == newest ]] || fail "the kept file changed"

ui wait label '^middle\.txt$' || fail "the panel did not go on to middle.txt"
ui press '^Delete$'
waitfor 5 test -f "$home/.local/share/Trash/files/middle.txt" || fail "Delete did not trash middle.txt"
grep -qx "Path=$home/Downloads/middle.txt" "$home/.local/share/Trash/info/middle.txt.trashinfo" ||
    fail "the trash record does not lead back to the file"
[[ -e "$home/Downloads/caf"$'\xe9'".txt" ]] || fail "the third file went missing"
ui wait label '^caf' || fail "the panel did not go on to the last file"

ui press '^Quit$'
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
wait "$mirel_pid" || fail "mirel exited with an error"

# No tray: the panel opens as an ordinary window and closing it quits.
pkill -f "mirel_ui.py watch" || true
waitfor 5 bash -c "! dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetNameOwner string:org.kde.StatusNotifierWatcher" || fail "the tray did not go"
e2e_start "$mirel"
ui wait 'push button' '^Keep$' || fail "no fallback window without a tray"
ui press '^Quit$'
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "the fallback window did not quit"
echo "tray session: start-up scans, tray toggle, second launch, Keep, Delete, quit, fallback window: all checked"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: user-folders-undo.sh MIREL
# A German desktop: user-dirs.dirs names ~/Schreibtisch, ~/Downloads and ~/Dokumente. The scan
# lines show those paths (never ~/Desktop), a Keep lands in ~/Dokumente/Kept, and the tray
# menu's undo entry (after "Open Mirel") takes back the latest decision: Delete, then Keep, each file back where
# it was, the Trash left without its .trashinfo. An undo whose original path is taken fails
# with its console line, moves nothing and stays in the menu until it can be done.
source "$(dirname "$0")/e2e-lib.sh"
mirel=$1

e2e_session
cat > "$XDG_CONFIG_HOME/user-dirs.dirs" <<'DIRS'
XDG_DESKTOP_DIR="$HOME/Schreibtisch"
XDG_DOWNLOAD_DIR="$HOME/Downloads"
XDG_DOCUMENTS_DIR="$HOME/Dokumente"
XDG_MUSIC_DIR="$HOME"
DIRS
mkdir -p "$home/Schreibtisch" "$home/Dokumente"
printf 'newest' > "$home/Schreibtisch/new.pdf"; touch -d '2026-01-03 10:00' "$home/Schreibtisch/new.pdf"
printf 'middle' > "$home/Downloads/middle.txt"; touch -d '2026-01-02 10:00' "$home/Downloads/middle.txt"
printf 'oldest' > "$home/Downloads/old & odd.txt"; touch -d '2025-06-01 10:00' "$home/Downloads/old & odd.txt"
printf 'stray' > "$home/Desktop/not-reviewed.txt"

e2e_tray
e2e_start "$mirel"

scan() {
    printf 'Scanning: %s\nFound 1 items\nScanning: %s\nFound 2 items\nTotal files: 3\n' \
        "$home/Schreibtisch" "$home/Downloads"
}
{ scan; scan; scan; } | expect_stdout "start-up scans of the desktop's folders"

ui tray-wait || fail "no tray icon"
first_entry() { ui tray-menu | sed -n 2p; }
[[ $(ui tray-menu | head -1) == $'Open Mirel\tenabled\tunchecked' ]] ||
    fail "the menu does not start with Open Mirel: $(ui tray-menu | head -1)"
[[ $(first_entry) == $'Undo\tdisabled\tunchecked' ]] ||
    fail "with nothing decided the undo entry is not a disabled Undo: $(first_entry)"

ui tray-activate || fail "could not click the tray icon"
ui wait label '^new\.pdf$' || fail "the panel did not open on new.pdf"
month=$(date +%B) year=$(date +%Y)
kept=$home/Dokumente/Kept/$year/$month
ui press '^Keep$'
waitfor 5 test -f "$kept/new.pdf" || fail "Keep did not file new.pdf under Dokumente/Kept"
[[ ! -e $home/Documents ]] || fail "a Documents folder appeared beside Dokumente"
ui wait label '^middle\.txt$' || fail "the panel did not go on to middle.txt"
ui press '^Delete$'
trash=$home/.local/share/Trash
waitfor 5 test -f "$trash/files/middle.txt" || fail "Delete did not trash middle.txt"
ui wait label '^old & odd\.txt$' || fail "the panel did not go on to the last file"

# Undo walks back: the Delete first, then the Keep.
[[ $(first_entry) == $'Undo Delete: middle.txt\tenabled\tunchecked' ]] ||
    fail "the undo entry does not offer to undo the Delete: $(first_entry)"
ui tray-click '^Undo Delete: middle\.txt$' || fail "could not click the undo entry"
waitfor 5 test -f "$home/Downloads/middle.txt" || fail "Undo did not bring middle.txt back"
[[ $(cat "$home/Downloads/middle.txt") == middle ]] || fail "the restored middle.txt changed"
[[ -z $(ls -A "$trash/files") && -z $(ls -A "$trash/info") ]] ||
    fail "the Trash still holds something: $(ls -A "$trash/files" "$trash/info")"
[[ $(first_entry) == $'Undo Keep: new.pdf\tenabled\tunchecked' ]] ||
    fail "the next entry does not offer to undo the Keep: $(first_entry)"
ui tray-click '^Undo Keep: new\.pdf$' || fail "could not click the undo entry"
waitfor 5 test -f "$home/Schreibtisch/new.pdf" || fail "Undo did not bring new.pdf back"
ui wait label '^new\.pdf$' 5 || fail "the panel does not show the restored new.pdf"
[[ $(cat "$home/Schreibtisch/new.pdf") == newest ]] || fail "the restored new.pdf changed"
[[ ! -e $kept/new.pdf ]] || fail "new.pdf is still in Kept"
[[ $(first_entry) == $'Undo\tdisabled\tunchecked' ]] ||
    fail "after the last undo the entry is not a disabled Undo: $(first_entry)"
grep -q '^Failed' "$work/stdout" && fail "a failure line after the undos"

# An undo that finds its original path taken moves nothing and stays, to be tried again once
# the way is clear.
ui press '^Keep$' || fail "could not press Keep"
waitfor 5 test -f "$kept/new.pdf" || fail "the second Keep did not file new.pdf"
printf 'someone else' > "$home/Schreibtisch/new.pdf"
ui tray-click '^Undo Keep: new\.pdf$' || fail "could not click the undo entry"
waitfor 5 grep -qxF "Failed to undo: \"new.pdf\" could not be put back: \"$home/Schreibtisch/new.pdf\" already exists" \
    "$work/stdout" || fail "no console line for the failed undo"
[[ $(cat "$kept/new.pdf") == newest && $(cat "$home/Schreibtisch/new.pdf") == 'someone else' ]] ||
    fail "the failed undo moved a file"
[[ $(first_entry) == $'Undo Keep: new.pdf\tenabled\tunchecked' ]] ||
    fail "the failed undo was not kept for another try: $(first_entry)"
rm "$home/Schreibtisch/new.pdf"
ui tray-click '^Undo Keep: new\.pdf$' || fail "could not click the undo entry again"
waitfor 5 test -f "$home/Schreibtisch/new.pdf" || fail "the second try did not bring new.pdf back"
[[ $(cat "$home/Schreibtisch/new.pdf") == newest && ! -e $kept/new.pdf ]] ||
    fail "the second try did not move the kept new.pdf back"
ui wait label '^new\.pdf$' 5 || fail "the panel does not show the restored new.pdf"
grep -q "Scanning: $home/Desktop" "$work/stdout" && fail "the home Desktop folder was scanned"
[[ -f $home/Desktop/not-reviewed.txt ]] || fail "a file in ~/Desktop moved"

ui tray-click '^Quit$' || fail "could not click Quit"
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
echo "user folders and undo: scans of Schreibtisch and Downloads, Keep into Dokumente/Kept, undo of Delete and Keep from the tray menu, failed undo: all checked"

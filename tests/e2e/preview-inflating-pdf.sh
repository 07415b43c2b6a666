#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: preview-inflating-pdf.sh MIREL
# The newest file in Downloads is a 3 MB PDF whose one page inflates to 400 MB of drawing
# commands. Mirel shows it (its row thumbnail and its preview) and must stay, all its processes
# together, under 1 GiB; the window keeps answering; the preview gives way to the information
# card; Delete moves the file to the Trash and the panel goes on to the next file.
set -euo pipefail
mirel=$1
here=$(dirname "$0")
source "$here/e2e-lib.sh"

e2e_session
printf 'older' > "$home/Downloads/older.txt"
touch -d '2026-01-02 10:00' "$home/Downloads/older.txt"
"$here/pdf-bomb.py" inflating "$home/Downloads/drawing.pdf" 400

# Under AddressSanitizer the preview process runs without its memory limit (the sanitizer's
# shadow memory alone is over it), so only the other builds are held to the bound; the
# sanitized one still has to give the page up and answer throughout.
limit=1024
[[ -z ${MIREL_SANITIZED:-} ]] || limit=$((1 << 20))
e2e_start "$mirel"
"$here/process-memory.py" "$mirel_pid" --until "$work/done" --over "$limit" > "$work/memory" &
sampler=$!
e2e_pids+=("$sampler")
ui wait 'push button' '^Delete$' 60 || fail "no panel"
ui wait label '^drawing\.pdf$' || fail "the panel does not show drawing.pdf"

# While the page is being given up on, every call to the window is answered.
"$here/responsiveness.py" "$mirel_pid" 60 --until "$work/card" > "$work/pings" &
pinger=$!
e2e_pids+=("$pinger")
ui wait label '^PDF document$' 60 || fail "the preview did not give way to the information card"
touch "$work/card"
wait "$pinger" || fail "the window stopped answering: $(cat "$work/pings")"
read -r _ pings _ median _ longest < "$work/pings"
echo "while the page was given up on: $pings calls, median $median ms, longest $longest ms"
awk -v m="$longest" 'BEGIN { exit !(m < 1000) }' ||
    fail "the window was held for $longest ms"

ui press '^Delete$' || fail "Delete"
waitfor 10 test -f "$home/.local/share/Trash/files/drawing.pdf" ||
    fail "Delete did not move drawing.pdf to the Trash"
[[ ! -e $home/Downloads/drawing.pdf ]] || fail "drawing.pdf is still in Downloads"
ui wait label '^older\.txt$' || fail "the panel did not go on to the next file"

touch "$work/done"
wait "$sampler" || fail "Mirel's processes passed $limit MiB together: $(cat "$work/memory")"
echo "memory of all Mirel's processes: $(cat "$work/memory")"
ui press '^Quit$'
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
echo "preview-inflating-pdf: passed"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: preview-fifo.sh MIREL
# A named pipe called pipe.png is the newest file in Downloads. The real program, with no tray,
# must still show its panel on it, answer, and move the pipe to the Trash on Delete: a preview
# that waits for a writer on the pipe would freeze it for good.
set -euo pipefail
mirel=$1
source "$(dirname "$0")/e2e-lib.sh"

e2e_session
printf 'older' > "$home/Downloads/older.txt"
touch -d '2026-01-02 10:00' "$home/Downloads/older.txt"
mkfifo "$home/Downloads/pipe.png"

e2e_start "$mirel"
ui wait 'push button' '^Keep$' || fail "no panel with a pipe as the newest file"
ui wait label '^pipe\.png$' || fail "the panel does not show the pipe"
ui press '^Delete$'
waitfor 10 test -p "$home/.local/share/Trash/files/pipe.png" || fail "Delete did not trash the pipe"
[[ ! -e $home/Downloads/pipe.png ]] || fail "the pipe is still in Downloads"
ui wait label '^older\.txt$' || fail "the panel did not go on to the next file"
ui press '^Quit$'
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
echo "preview-fifo: passed"

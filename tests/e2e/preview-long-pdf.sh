#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: preview-long-pdf.sh MIREL
# The newest file in Downloads is a PDF of 100,000 pages. From the panel's first showing it
# through its pages being laid out to a jump to the last page, the window never takes more than
# 100 ms to answer.
set -euo pipefail
mirel=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/e2e-lib.sh"

e2e_session
printf 'older' > "$home/Downloads/older.txt"
touch -d '2026-01-02 10:00' "$home/Downloads/older.txt"
"$here/pdf-bomb.py" pages "$home/Downloads/long.pdf" 100000

e2e_start "$mirel"
ui wait 'push button' '^Delete$' 60 || fail "no panel"
"$here/responsiveness.py" "$mirel_pid" 120 --until "$work/done" > "$work/pings" &
pinger=$!
e2e_pids+=("$pinger")
ui wait label '^long\.pdf$' || fail "the panel does not show long.pdf"
ui wait filler '^Pages of long\.pdf$' 60 || fail "the pages of long.pdf were not laid out"

# To the last page, as a drag of the scroll bar to its end would.
/usr/bin/python3 - "$here" <<'PY' || fail "could not scroll to the last page"
import sys
sys.path.insert(0, sys.argv[1])
import mirel_ui
import pyatspi
pane = mirel_ui.find("filler", r"^Pages of long\.pdf$")
bars = [node for node in mirel_ui.walk(pane) if node.getRole() == pyatspi.ROLE_SCROLL_BAR]
value = max(bars, key=lambda bar: bar.queryValue().maximumValue).queryValue()
if value.maximumValue <= 0:
    sys.exit("the scroll bar has no range")
value.currentValue = value.maximumValue
PY
# The last page is asked for; the window goes on answering while it comes.
ui wait label '^long\.pdf$' || fail "the panel stopped showing long.pdf"
touch "$work/done"
wait "$pinger" || fail "the window stopped answering: $(cat "$work/pings")"
read -r _ pings _ median _ longest < "$work/pings"
echo "while long.pdf was opened and scrolled: $pings calls, median $median ms, longest $longest ms"
awk -v m="$longest" 'BEGIN { exit !(m <= 100) }' ||
    fail "the window was held for $longest ms"

ui press '^Quit$'
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
echo "preview-long-pdf: passed"

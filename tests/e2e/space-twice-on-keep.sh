#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: space-twice-on-keep.sh MIREL
# Tab to Keep and press Space twice: one file is kept, the second Space is ignored (it opens
# no Settings window), and the keyboard focus stays on Keep.
source "$(dirname "$0")/e2e-lib.sh"
mirel=$1

e2e_session
printf 'newest' > "$home/Downloads/a.txt"; touch -d '2026-01-03 10:00' "$home/Downloads/a.txt"
printf 'older' > "$home/Downloads/b.txt"; touch -d '2026-01-02 10:00' "$home/Downloads/b.txt"
printf 'oldest' > "$home/Downloads/c.txt"; touch -d '2026-01-01 10:00' "$home/Downloads/c.txt"

e2e_open_panel a.txt
ui wait-focus '*' '^Files$' 10 || fail "the file list does not have the focus: $(ui focused)"
xdotool key Tab Tab
ui wait-focus 'push button' '^Keep$' 5 || fail "two Tabs did not reach Keep: $(ui focused)"

xdotool key space space
waitfor 10 bash -c '[[ -n $(find "$0/Documents/Kept" -name a.txt) ]]' "$home" ||
    fail "a.txt was not kept"
ui wait label '^b\.txt$' 5 || fail "b.txt is not current after the Keep"
# Both Spaces were handled before the decision ended, so what they did shows by now.
[[ -f $home/Downloads/b.txt ]] || fail "the second Space kept b.txt too"
[[ $(find "$home/Documents/Kept" -type f | wc -l) == 1 ]] || fail "more than one file was kept"
ui gone frame '^Settings$' 1 || fail "the second Space opened the Settings window"
ui wait-focus 'push button' '^Keep$' 5 || fail "the focus left Keep: $(ui focused)"
! grep -q '^Failed' "$work/stdout" || fail "a decision failed: $(grep '^Failed' "$work/stdout")"
echo "space twice on Keep: one file kept, nothing opened, the focus stays on Keep"

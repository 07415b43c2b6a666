#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: keep-then-refresh.sh MIREL
# Keep, then Refresh 50 ms later, inside the feedback: the file shown at the press is kept,
# the scan that follows no longer lists it, and nothing failed on the way.
source "$(dirname "$0")/e2e-lib.sh"
mirel=$1

e2e_session
printf 'newest' > "$home/Downloads/a.txt"; touch -d '2026-01-03 10:00' "$home/Downloads/a.txt"
printf 'older' > "$home/Downloads/b.txt"; touch -d '2026-01-02 10:00' "$home/Downloads/b.txt"
printf 'oldest' > "$home/Downloads/c.txt"; touch -d '2026-01-01 10:00' "$home/Downloads/c.txt"

e2e_open_panel a.txt

ui press-then '^Keep$' 50 '^Refresh$' || fail "could not press Keep, then Refresh"
waitfor 10 bash -c '[[ -n $(find "$0/Documents/Kept" -name a.txt) ]]' "$home" ||
    fail "a.txt was not kept"
[[ ! -e $home/Downloads/a.txt ]] || fail "a.txt is still in Downloads"
[[ $(cat "$(find "$home/Documents/Kept" -name a.txt)") == newest ]] || fail "the kept a.txt differs"
ui wait label '^b\.txt$' 5 || fail "b.txt is not current after the Keep"
waitfor 10 bash -c '[[ $(grep "^Total files: " "$0" | tail -1) == "Total files: 2" ]]' \
    "$work/stdout" || fail "the scan after the Keep still lists a.txt"

[[ -f $home/Downloads/b.txt && -f $home/Downloads/c.txt ]] || fail "another file went missing"
! grep -q '^Failed' "$work/stdout" || fail "a decision failed: $(grep '^Failed' "$work/stdout")"
echo "keep then refresh: the file shown at the press kept, the rescan after it"

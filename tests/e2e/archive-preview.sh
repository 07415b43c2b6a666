#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: archive-preview.sh MIREL
# A zip made with `zip` is the newest file in Downloads. The panel's preview must name the files
# inside it (read over AT-SPI) with the header that counts them; a .7z that is no archive at all
# gets the information card with the reason instead.
set -euo pipefail
mirel=$1
command -v zip >/dev/null || { echo "zip missing: skipped"; exit 77; }
source "$(dirname "$0")/e2e-lib.sh"

e2e_session
mkdir -p "$work/src/docs"
printf 'read me first\n' > "$work/src/readme.txt"
head -c 5000 /dev/zero > "$work/src/docs/data.bin"
(cd "$work/src" && zip -q "$home/Downloads/bundle.zip" readme.txt docs/data.bin)
touch -d '2026-01-09 10:00' "$home/Downloads/bundle.zip"
printf 'no archive at all' > "$home/Downloads/broken.7z"
touch -d '2026-01-08 10:00' "$home/Downloads/broken.7z"

e2e_open_panel "$mirel" 'bundle\.zip'
ui wait '*' '^readme\.txt$' || fail "the preview does not name readme.txt inside the zip"
ui wait '*' '^docs/data\.bin$' || fail "the preview does not name docs/data.bin inside the zip"
ui wait label '^Entries: 2, unpacked: ' || fail "no header with the number of entries"

ui press '^Keep$'
ui wait label '^broken\.7z$' || fail "the panel did not go on to broken.7z"
ui wait label '^This is not an archive Mirel can read\.$' ||
    fail "the card of a broken archive does not say why"
ui press '^Quit$'
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
echo "archive-preview: passed"

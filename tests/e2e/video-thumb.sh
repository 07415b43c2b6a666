#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: video-thumb.sh MIREL
# A video in Downloads gets a still of itself as its row's thumbnail, written to the shared
# thumbnail cache as the file managers read it: a PNG named after the MD5 of the file's URI, with
# that URI and the file's modification time in its Thumb::URI and Thumb::MTime.
source "$(dirname "$0")/e2e-lib.sh"
mirel=$1
for tool in ffmpeg identify; do
    command -v "$tool" >/dev/null || { echo "$tool missing (scripts/deps.sh --test): skipped"; exit 77; }
done

e2e_session
video=$home/Downloads/holiday.mp4
ffmpeg -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25 -t 3 -c:v libx264 \
    -pix_fmt yuv420p "$video" || { echo "ffmpeg cannot encode H.264 here: skipped"; exit 77; }
touch -d '2026-01-10 10:00' "$video"
e2e_downloads notes.txt

# The URI as the thumbnail standard hashes it, and the entry's name.
uri=$(/usr/bin/python3 -c 'import sys, urllib.parse; print("file://" + urllib.parse.quote(sys.argv[1], safe="/-._~!$&'"'"'()*+,;=:@"))' "$video")
name=$(printf '%s' "$uri" | md5sum | cut -d' ' -f1).png
cache=$XDG_CACHE_HOME/thumbnails

e2e_open_panel "$mirel" 'holiday\.mp4'
entry_made() { [[ -f $cache/normal/$name || -f $cache/large/$name ]]; }
waitfor 60 entry_made || fail "no thumbnail of the video in $cache: $(find "$cache" 2>/dev/null)"
entry=$cache/normal/$name
[[ -f $entry ]] || entry=$cache/large/$name

# The keys the standard asks for, read from the PNG's text chunks.
/usr/bin/python3 - "$entry" "$uri" "$(stat -c %Y "$video")" <<'PY' || fail "the cache entry is not the standard's"
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
texts, at = {}, 8
while at < len(data):
    length, kind = struct.unpack(">I4s", data[at:at + 8])
    body = data[at + 8:at + 8 + length]
    if kind == b"IHDR":
        width, height = struct.unpack(">II", body[:8])
    elif kind == b"tEXt":
        key, value = body.split(b"\0", 1)
        texts[key.decode()] = value.decode("latin-1")
    elif kind == b"zTXt":
        key, rest = body.split(b"\0", 1)
        texts[key.decode()] = zlib.decompress(rest[1:]).decode("latin-1")
    elif kind == b"iTXt":
        key, rest = body.split(b"\0", 1)
        compressed, rest = rest[0], rest[2:]
        _, _, value = rest.split(b"\0", 2)
        texts[key.decode()] = (zlib.decompress(value) if compressed else value).decode()
    at += 12 + length
assert texts.get("Thumb::URI") == sys.argv[2], "Thumb::URI is %r" % texts.get("Thumb::URI")
assert texts.get("Thumb::MTime") == sys.argv[3], "Thumb::MTime is %r" % texts.get("Thumb::MTime")
# 16:9, the longer side the flavour's (128 or 256).
assert width in (128, 256) and abs(width * 9 / 16 - height) <= 1, "%dx%d" % (width, height)
PY
[[ $(stat -c %a "$entry") == 600 ]] || fail "the entry can be read by others: $(stat -c %a "$entry")"
# A still of the test picture, not a black frame.
mean=$(identify -format '%[fx:mean]' "$entry")
/usr/bin/python3 -c "import sys; sys.exit(0 if float(sys.argv[1]) > 0.15 else 1)" "$mean" ||
    fail "the thumbnail is nearly black (mean $mean)"

ui press '^Quit$'
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
echo "video-thumb: $(basename "$(dirname "$entry")")/$name with the file's URI and time, mean $mean"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: desktop-thumbnailer.sh MIREL
# The test registers a MIME type of its own (a glob in its XDG_DATA_HOME/mime) and a desktop
# thumbnailer for it (XDG_DATA_HOME/thumbnailers): a tiny Python program that draws a picture as
# wide as the size asked and half as high, whose red channel says what it could see: bit 1 the
# test's home, bit 2 a file of the test's in /tmp, bit 4 a TCP connection to a listener of the
# test. A file of that type, the newest in Downloads, must get that picture as its list thumbnail
# (in the shared thumbnail cache) and as its large preview; where bubblewrap works the program
# must have seen none of the three.
set -euo pipefail
mirel=$1
for tool in update-mime-database import convert; do
    command -v "$tool" >/dev/null || { echo "$tool missing: skipped"; exit 77; }
done
source "$(dirname "$0")/e2e-lib.sh"

e2e_session
mkdir -p "$XDG_DATA_HOME/mime/packages" "$XDG_DATA_HOME/thumbnailers" "$work/bin"
cat > "$XDG_DATA_HOME/mime/packages/mirel-sample.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-mirel-sample">
    <comment>Mirel sample</comment>
    <glob pattern="*.mirelsample"/>
  </mime-type>
</mime-info>
XML
update-mime-database "$XDG_DATA_HOME/mime"
printf 'secret' > "$work/secret"

# A listener the program may try to reach; it writes its port once it listens.
/usr/bin/python3 -c '
import socket, sys
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(8)
open(sys.argv[1], "w").write(str(s.getsockname()[1]))
while True:
    s.accept()[0].close()
' "$work/port" &
e2e_pids+=($!)
waitfor 10 test -s "$work/port" || fail "the test's listener did not start"

cat > "$work/bin/mirel-sample-thumbnailer" <<PY
#!/usr/bin/python3
import os, socket, struct, sys, zlib
bits = 0
if os.path.exists("$home/Downloads"):
    bits |= 1
if os.path.exists("$work/secret"):
    bits |= 2
try:
    socket.create_connection(("127.0.0.1", $(cat "$work/port")), timeout=2).close()
    bits |= 4
except OSError:
    pass
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
w = max(16, int(sys.argv[3]))
h = w // 2
raw = b"".join(b"\x00" + bytes((10 + 30 * bits, 200, 30)) * w for _ in range(h))
out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
out += chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")
open(sys.argv[2], "wb").write(out)
PY
chmod 755 "$work/bin/mirel-sample-thumbnailer"
cat > "$XDG_DATA_HOME/thumbnailers/mirel-sample.thumbnailer" <<EOF2
[Thumbnailer Entry]
TryExec=$work/bin/mirel-sample-thumbnailer
Exec=$work/bin/mirel-sample-thumbnailer %i %o %s
MimeType=application/x-mirel-sample;
EOF2

sample=$home/Downloads/report.mirelsample
printf 'a sample of a kind only the thumbnailer knows' > "$sample"
touch -d '2026-01-09 10:00' "$sample"
printf 'older' > "$home/Downloads/older.txt"
touch -d '2026-01-08 10:00' "$home/Downloads/older.txt"

# Whether bubblewrap can make a sandbox here, asked as Mirel asks.
sandboxed=0
if command -v bwrap >/dev/null && bwrap --unshare-all --ro-bind /usr /usr --symlink usr/lib /lib \
    --symlink usr/lib64 /lib64 --symlink usr/bin /bin --proc /proc --dev /dev -- /usr/bin/true \
    2>/dev/null; then
    sandboxed=1
fi

e2e_open_panel "$mirel" 'report\.mirelsample'

# The list thumbnail, in the shared cache under the MD5 of the file's URI.
entry=$(/usr/bin/python3 -c '
import hashlib, sys, urllib.parse
uri = "file://" + urllib.parse.quote(sys.argv[1])
print(sys.argv[2] + "/thumbnails/normal/" + hashlib.md5(uri.encode()).hexdigest() + ".png")
' "$sample" "$XDG_CACHE_HOME")
waitfor 30 test -s "$entry" || fail "no thumbnail of the sample in the shared cache ($entry)"
# The red channel of its first pixel (of any filter, the first pixel is stored as it is).
red=$(/usr/bin/python3 -c '
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
pos, idat, kind = 8, b"", None
while pos < len(data):
    length, name = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if name == b"IHDR":
        depth, kind = body[8], body[9]
    elif name == b"IDAT":
        idat += body
    pos += 12 + length
assert depth == 8 and kind in (2, 6), (depth, kind)
print(zlib.decompress(idat)[1])
' "$entry") || fail "the cached thumbnail is not a PNG this test reads"
bits=$(((red - 10) / 30))
(((red - 10) % 30 == 0 && bits >= 0 && bits <= 7)) ||
    fail "the cached thumbnail is not the thumbnailer's picture (red $red)"
echo "the thumbnailer saw: home $((bits & 1)), /tmp $((bits >> 1 & 1)), network $((bits >> 2 & 1))" \
    "(bubblewrap works here: $sandboxed)"
if ((sandboxed)); then
    ((bits == 0)) || fail "the sandboxed thumbnailer could see the home, /tmp or the network ($bits)"
fi

# The large preview: the same picture, far more of it than any row thumbnail shows.
colour="rgb($red,200,30)"
large_preview() {
    import -window root "$work/shot.png" 2>/dev/null || return 1
    local count
    count=$(convert "$work/shot.png" -fill black +opaque "$colour" -fill white -opaque "$colour" \
        -format '%[fx:int(mean*w*h+0.5)]' info:)
    echo "$count" > "$work/count"
    ((count > 20000))
}
waitfor 30 large_preview || fail "the preview does not show the thumbnailer's picture" \
    "($(cat "$work/count" 2>/dev/null) pixels of it on screen)"
ui wait '*' '^Preview picture$' || fail "no preview picture over AT-SPI"

ui press '^Quit$'
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
echo "desktop-thumbnailer: passed"

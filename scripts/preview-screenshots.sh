#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: scripts/preview-screenshots.sh [FOLDER]     (docs/ by default)
# Pictures of the review panel showing each kind of preview the desktop's file managers do not
# give: a video's frame, what an archive holds, a font's sample and a desktop thumbnailer's
# picture, at scale 1 (preview-KIND.png) and scale 2 (preview-KIND@2x.png).
# Needs scripts/deps.sh --test (ffmpeg, zip, python3, shared-mime-info, fonts-dejavu-core).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs}")
build=$root/build/default
cmake --preset default >/dev/null
cmake --build --preset default --target panel_tool mirel-preview >/dev/null ||
    { echo "build failed" >&2; exit 1; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A home whose Downloads holds `file` as the newest file, with two older ones beside it.
home_with() {
    local kind=$1 home=$work/$1
    mkdir -p "$home/Downloads" "$home/Desktop" "$home/.local/share" "$home/runtime"
    chmod 700 "$home/runtime"
    printf 'Agenda\n\n- travel\n- budget\n' > "$home/Desktop/Agenda.txt"
    printf 'name,amount\nrent,900\n' > "$home/Downloads/expenses.csv"
    touch -d '2 days ago' "$home/Desktop/Agenda.txt" "$home/Downloads/expenses.csv"
    echo "$home"
}

shoot() {
    local kind=$1 home=$2 scale
    for scale in 1 2; do
        local name=preview-$kind.png
        [[ $scale == 2 ]] && name=preview-$kind@2x.png
        env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
            XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$home/runtime" \
            QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$scale LC_ALL=C.UTF-8 \
            MIREL_PREVIEW_WORKER="$build/libexec/mirel/mirel-preview" \
            "$build/bench/panel_tool" screenshot "$out/$name" >/dev/null
        echo "saved $out/$name"
    done
}

home=$(home_with video)
ffmpeg -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=25 -t 6 -c:v libx264 \
    -pix_fmt yuv420p "$home/Downloads/Holiday clip.mp4"
shoot video "$home"

home=$(home_with archive)
(cd "$work" && mkdir -p photos && for i in 1 2 3 4 5 6; do
    head -c $((i * 40000)) /dev/urandom > "photos/IMG_00$i.jpg"; done &&
    printf 'Photos of the trip\n' > photos/README.txt &&
    zip -qr "$home/Downloads/photos-backup.zip" photos)
shoot archive "$home"

home=$(home_with font)
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$home/Downloads/DejaVuSans.ttf"
shoot font "$home"

# A made-up document type with a thumbnailer of its own, as an office suite registers one.
home=$(home_with thumbnailer)
mime=$home/.local/share/mime
mkdir -p "$mime/packages" "$home/.local/share/thumbnailers"
cat > "$mime/packages/mirel-sample.xml" <<'XML'
<?xml version="1.0"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-mirel-sample"><comment>Sample document</comment>
    <glob pattern="*.mirelsample"/></mime-type>
</mime-info>
XML
update-mime-database "$mime" >/dev/null 2>&1
cat > "$home/.local/share/thumbnailers/sample-document" <<'PY'
#!/usr/bin/python3
# Draws a page with a title bar and lines of text, as a document thumbnailer would.
import struct, sys, zlib
size = int(sys.argv[3]); width, height = size * 3 // 4, size
rows = []
line = max(1, height // 28)
lengths = [10, 9, 10, 7, 10, 8, 4, 10, 9, 6]
for y in range(height):
    row = bytearray()
    for x in range(width):
        margin = width // 10
        if y < height // 6:
            pixel = (52, 101, 164)
        elif height // 4 < y < height - 2 * margin and (y // line) % 2 == 0 and margin < x < margin + lengths[
                (y // line // 2) % len(lengths)] * (width - 2 * margin) // 10:
            pixel = (120, 120, 120)
        else:
            pixel = (255, 255, 255)
        row += bytes(pixel)
    rows.append(b"\0" + bytes(row))
chunk = lambda kind, data: struct.pack(">I", len(data)) + kind + data + struct.pack(
    ">I", zlib.crc32(kind + data))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b"")
open(sys.argv[2], "wb").write(png)
PY
chmod +x "$home/.local/share/thumbnailers/sample-document"
printf '[Thumbnailer Entry]\nExec=%s %%i %%o %%s\nMimeType=application/x-mirel-sample;\n' \
    "$home/.local/share/thumbnailers/sample-document" \
    > "$home/.local/share/thumbnailers/sample-document.thumbnailer"
printf 'a document' > "$home/Downloads/Quarterly report.mirelsample"
shoot thumbnailer "$home"

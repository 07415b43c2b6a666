#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: bench/decision-memory.sh [MIREL]
# Memory of a long review: 150 files in Downloads cycling through video, photo, PDF, binary text
# and audio; the real program (built here in Release unless MIREL is given) runs under Xvfb with
# no tray, and Delete is pressed 150 times over AT-SPI, each once the file's name is on show.
# Prints the memory before the first Delete (idle) and the peak over the whole run of Mirel and
# its preview processes together, sampled every 50 ms: as the plain sum of their resident sizes,
# and as the memory they hold together, where a page of a library or file that several of them
# map counts once, as it is once in RAM (tests/e2e/process-memory.py).
# Last line: decision-memory <peak MB held together> <idle MB held together>.
# Target: peak at most 120 MB.
# Needs scripts/deps.sh --test (Xvfb, at-spi2-core, python3-pyatspi, ffmpeg).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mirel=${1:-}
if [[ -z $mirel ]]; then
    build=$root/build/bench
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIREL_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" --target mirel >/dev/null || { echo "build failed" >&2; exit 1; }
    mirel=$build/app/mirel
fi
count=150
source "$root/tests/e2e/e2e-lib.sh"
e2e_session

# One sample of each kind, copied under a name of its own; newest first in this order.
samples=$work/samples
mkdir -p "$samples"
ffmpeg -loglevel error -f lavfi -i testsrc=size=1280x720:rate=25 -t 4 -c:v mpeg4 \
    -pix_fmt yuv420p "$samples/video.mp4"
ffmpeg -loglevel error -f lavfi -i testsrc2=size=4000x3000 -frames:v 1 -q:v 3 "$samples/photo.jpg"
ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=4 "$samples/sound.mp3"
head -c 300000 /dev/urandom > "$samples/dump.txt"
/usr/bin/python3 - "$samples/report.pdf" <<'PY'
import sys
pages = 12
objects = ["<< /Type /Catalog /Pages 2 0 R >>",
           "<< /Type /Pages /Kids [%s] /Count %d >>"
           % (" ".join("%d 0 R" % (4 + 2 * i) for i in range(pages)), pages),
           "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
for i in range(pages):
    text = "".join("BT /F1 14 Tf 60 %d Td (Page %d, line %d of the quarterly report) Tj ET\n"
                   % (780 - 16 * line, i + 1, line + 1) for line in range(45))
    objects.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
                   "/Resources << /Font << /F1 3 0 R >> >> /Contents %d 0 R >>" % (5 + 2 * i))
    objects.append("<< /Length %d >>\nstream\n%sendstream" % (len(text), text))
out = b"%PDF-1.4\n"
offsets = []
for number, body in enumerate(objects, 1):
    offsets.append(len(out))
    out += b"%d 0 obj\n%s\nendobj\n" % (number, body.encode())
xref = len(out)
out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
open(sys.argv[1], "wb").write(out)
PY
kinds=(video.mp4 photo.jpg report.pdf dump.txt sound.mp3)
names=()
now=$(date +%s)
for ((i = 0; i < count; i++)); do
    sample=${kinds[i % 5]}
    name=$(printf 'f%03d-%s' "$i" "$sample")
    cp "$samples/$sample" "$home/Downloads/$name"
    touch -d "@$((now - 60 * (i + 1)))" "$home/Downloads/$name"
    names+=("$name")
done

e2e_start "$mirel"
"$root/tests/e2e/process-memory.py" "$mirel_pid" --until "$work/finished" --distinct \
    > "$work/memory" &
sampler=$!
e2e_pids+=("$sampler")
# Mirel and its preview processes (its children) together, now.
rss() { ps -o rss= --pid "$mirel_pid" --ppid "$mirel_pid" | awk '{ s += $1 } END { printf "%.1f", s / 1024 }'; }
ui wait 'push button' '^Delete$' 60 || fail "no panel"
ui wait label "^${names[0]//./\\.}\$" || fail "the panel does not show ${names[0]}"
# Settled: the first preview has loaded and the row thumbnails of the visible rows are made.
sleep 3
read -r _ idle_sum _ idle < <("$root/tests/e2e/process-memory.py" "$mirel_pid" --once)
echo "idle $idle MB held together ($idle_sum MB summed)"

for ((i = 0; i < count; i++)); do
    ui wait label "^${names[i]//./\\.}\$" || fail "the panel did not go on to ${names[i]}"
    ui press '^Delete$' || fail "Delete of ${names[i]}"
    if ((i % 25 == 24)); then echo "after $((i + 1)) deletes: $(rss) MB"; fi
done
waitfor 20 bash -c '[[ -z $(ls -A "$0") ]]' "$home/Downloads" ||
    fail "Downloads is not empty after $count deletes"
sleep 2
echo "at the end: $(rss) MB"
touch "$work/finished"
wait "$sampler"
read -r _ peak_sum _ most _ peak < "$work/memory"
echo "peak $peak MB held together ($peak_sum MB summed), at most $most processes at once"
ui press '^Quit$' || true
printf 'decision-memory %s %s\n' "$peak" "$idle"

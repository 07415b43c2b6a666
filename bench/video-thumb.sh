#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The first thumbnail of a 1080p H.264 video (10 s of ffmpeg's testsrc2, libx264's defaults),
# cold: an empty thumbnail cache and no preview process running yet.
#   bench/video-thumb.sh            (ROUNDS=7 by default; BUILD_DIR to reuse a build)
# Each round starts mirel-thumbs-bench (bench/thumbs) afresh with an empty cache: its first pass
# starts the preview process, which loads its video module, seeks to a tenth of the video,
# decodes the frame there and scales it, and the thumbnail is stored in the cache as a PNG; its
# second pass reads it back from the cache. The files and libraries are in the system's page
# cache (written or read just before): "cold" is Mirel's state, not the disk's.
# Prints one line per round, then "video-thumb-cached-ms <median>", and last
# "video-thumb-cold-ms <median>" (target: at most 300).
set -euo pipefail

rounds=${ROUNDS:-7}
source "$(dirname "${BASH_SOURCE[0]}")/thumbs/setup.sh" ffmpeg

clip=$work/clip-1080p.mp4
ffmpeg -loglevel error -f lavfi -i testsrc2=size=1920x1080:rate=30 -t 10 -c:v libx264 \
    -pix_fmt yuv420p "$clip"

now_ns() { date +%s%N; }
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
colds=()
cached=()
for round in $(seq 1 "$rounds"); do
    rm -rf "$work/cache"
    start=$(now_ns)
    XDG_CACHE_HOME=$work/cache "$bench" "$clip" >"$work/out"
    process_ms=$(( ($(now_ns) - start) / 1000000 ))
    cold_ms=$(awk '/^ms /{print $2}' "$work/out")
    again_ms=$(awk '/^again-ms /{print $2}' "$work/out")
    entry=$(find "$work/cache/thumbnails/normal" -name '*.png' | head -1)
    [[ -n $entry ]] || { echo "round $round: no thumbnail in the cache" >&2; exit 1; }
    echo "round $round: first thumbnail ${cold_ms} ms (whole bench process ${process_ms} ms)," \
         "from the cache ${again_ms} ms, load $(cut -d' ' -f1 /proc/loadavg)"
    colds+=("$cold_ms")
    cached+=("$again_ms")
done

echo "video-thumb-cached-ms $(printf '%s\n' "${cached[@]}" | median)"
echo "video-thumb-cold-ms $(printf '%s\n' "${colds[@]}" | median)"

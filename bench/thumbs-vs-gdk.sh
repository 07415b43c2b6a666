#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Mirel's thumbnails against gdk-pixbuf-thumbnailer, for 20 photos of 4000 x 3000 pixels.
#   bench/thumbs-vs-gdk.sh            (ROUNDS=5 by default; BUILD_DIR to reuse a build)
# Each round times, in turn and alternating which goes first:
#   - a loop of `gdk-pixbuf-thumbnailer -s 128` over the 20 files;
#   - Mirel making the 20 thumbnails with an empty cache (generation and storing, as the
#     file list does it), then the same 20 again from the now warm cache, in the same
#     process as a running Mirel would, and once more from a fresh process.
# Prints one line per round, then "warm-cache-ms <median>", and last
# "thumbs-vs-gdk <median of Mirel's time / gdk's time>" (lower is better).
set -euo pipefail

rounds=${ROUNDS:-5}
source "$(dirname "${BASH_SOURCE[0]}")/thumbs/setup.sh" convert gdk-pixbuf-thumbnailer

# Photo-like content (fine grain, soft edges), a different picture in each file.
mkdir "$work/photos" "$work/gdk"
seq 1 20 | xargs -P 2 -I{} convert -size 400x300 -seed {} xc: +noise Random -blur 0x1 \
    -resize 4000x3000! -quality 90 "$work/photos/photo-{}.jpg"
photos=("$work"/photos/*.jpg)

now_ns() { date +%s%N; }

# CPU seconds (user + system) of the last `timed` command, children included.
TIMEFORMAT='%U %S'
timed() {
    local times
    times=$( { time "$@" >"$work/out" 2>/dev/null; } 2>&1 )
    cpu_s=$(awk '{printf "%.2f", $1 + $2}' <<<"$times")
}

gdk_loop() {
    for photo in "${photos[@]}"; do
        gdk-pixbuf-thumbnailer -s 128 "$photo" "$work/gdk/$(basename "$photo" .jpg).png"
    done
}

run_gdk() {
    local start
    start=$(now_ns)
    timed gdk_loop
    gdk_ms=$(( ($(now_ns) - start) / 1000000 ))
    gdk_cpu=$cpu_s
}

run_mirel() {
    local start
    rm -rf "$work/cache"
    start=$(now_ns)
    XDG_CACHE_HOME=$work/cache timed "$bench" "${photos[@]}"
    process_ms=$(( ($(now_ns) - start) / 1000000 ))
    mirel_cpu=$cpu_s
    cold_ms=$(awk '/^ms /{print $2}' "$work/out")
    warm_ms=$(awk '/^again-ms /{print $2}' "$work/out")
    # The warm cache once more from a fresh process, which also loads Qt's image plugins.
    fresh_ms=$(XDG_CACHE_HOME=$work/cache "$bench" "${photos[@]}" | awk '/^ms /{print $2}')
}

median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }

# Other work on the machine takes CPU time from the two-thread run more than from the
# one-process-at-a-time loop (the scheduler shares the CPU between sessions, not threads),
# so the load is part of the result, and the CPU seconds of each side are shown too.
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
ratios=()
warms=()
for round in $(seq 1 "$rounds"); do
    if (( round % 2 )); then run_gdk; run_mirel; else run_mirel; run_gdk; fi
    ratio=$(awk -v m="$cold_ms" -v g="$gdk_ms" 'BEGIN {printf "%.3f", m / g}')
    echo "round $round: gdk ${gdk_ms} ms (cpu ${gdk_cpu} s), mirel ${cold_ms} ms" \
         "(whole process ${process_ms} ms, cpu ${mirel_cpu} s), warm cache ${warm_ms} ms" \
         "(fresh process ${fresh_ms} ms), ratio $ratio"
    ratios+=("$ratio")
    warms+=("$warm_ms")
done

echo "warm-cache-ms $(printf '%s\n' "${warms[@]}" | median)"
echo "thumbs-vs-gdk $(printf '%s\n' "${ratios[@]}" | median)"

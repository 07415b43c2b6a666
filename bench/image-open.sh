#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Benchmark: time from ZoomableImageView being shown to a 4000 x 3000 JPEG being on screen.
# Builds what it needs (Release) and prints each round, then last "image-open-ms <median>".
# Target: at most 100 ms.
#   bench/image-open.sh [--rounds N] [--image photo.jpg]
# QT_QPA_PLATFORM defaults to offscreen; set it (and DISPLAY) to time on a real screen.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${MIREL_BENCH_BUILD:-$root/build/bench-image-open}"

cmake -S "$root/bench/image-open" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j 2 --target image-open-bench >/dev/null

# Pictures are decoded by the preview process built beside the benchmark.
MIREL_PREVIEW_WORKER="$build/libexec/mirel/mirel-preview" \
    QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/image-open-bench" "$@"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: bench/archive-list.sh [N] [ROUNDS]
# Writes a zip and a tar.gz of N small entries (100,000 by default) and times listing each
# from a descriptor, headers only, as an archive's preview does. Last lines:
# archive-list zip N <median ms> and archive-list tar.gz N <median ms>.
set -euo pipefail
n=${1:-100000}
rounds=${2:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target archive_bench >/dev/null || { echo "build failed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for kind in zip tar.gz; do
    "$build/bench/archive_bench" make "$n" "$work/many.$kind"
    "$build/bench/archive_bench" time "$rounds" "$work/many.$kind" 2> "$work/rounds"
    cat "$work/rounds"
    ms=$(awk '{ print $(NF - 1) }' "$work/rounds" | median)
    echo "archive-list $kind $n $ms"
done

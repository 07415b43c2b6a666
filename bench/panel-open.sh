#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: bench/panel-open.sh N [ROUNDS]
# With N files in a temporary Downloads folder, times the review panel from its show request
# to its first complete paint (the rescan included) and scanFolders alone, and reports the
# process's peak memory. Last line: panel-open N <median ms> scan <median ms>.
set -euo pipefail
n=${1:?usage: panel-open.sh N [ROUNDS]}
rounds=${2:-7}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target scan_bench panel_tool >/dev/null || { echo "build failed" >&2; exit 1; }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/Downloads"
"$build/bench/scan_bench" make "$n" "$home/Downloads"
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
    XDG_CACHE_HOME=$home/.cache QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
    "$build/bench/panel_tool" open "$rounds" 2> "$home/rounds" >/dev/null
grep -E '^(round|peak)' "$home/rounds"
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
open=$(awk '/^round/ { print $4 }' "$home/rounds" | median)
scan=$(awk '/^round/ { print $6 }' "$home/rounds" | median)
printf 'panel-open %s %.1f scan %.1f\n' "$n" "$open" "$scan"

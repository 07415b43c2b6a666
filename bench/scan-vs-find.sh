#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: bench/scan-vs-find.sh N [ROUNDS]
# Makes N files in a temporary Downloads folder, then times Mirel's scan and
# `find -printf | sort -rn` on it alternately. Last line: scan-vs-find N <median ratio>.
set -euo pipefail
n=${1:?usage: scan-vs-find.sh N [ROUNDS]}
rounds=${2:-7}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target scan_bench >/dev/null || { echo "build failed" >&2; exit 1; }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/Downloads"
"$build/bench/scan_bench" make "$n" "$home/Downloads"
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
    "$build/bench/scan_bench" time "$rounds" 2> "$home/rounds" >/dev/null
cat "$home/rounds"
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
scan=$(awk '{ print $4 }' "$home/rounds" | median)
find=$(awk '{ print $6 }' "$home/rounds" | median)
ratio=$(awk '{ printf "%.4f\n", $4 / $6 }' "$home/rounds" | median)
echo "median scan $scan ms, find|sort $find ms"
printf 'scan-vs-find %s %.2f\n' "$n" "$ratio"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: scripts/panel-screenshot.sh OUT.png
# Shows the review panel on a temporary home holding a few everyday files and saves a
# picture of it as OUT.png, and one of the finished state as OUT-finished.png.
set -euo pipefail
out=$(realpath -m "${1:?usage: panel-screenshot.sh OUT.png}")
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/default
cmake --preset default >/dev/null
cmake --build --preset default --target panel_tool >/dev/null || { echo "build failed" >&2; exit 1; }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
    XDG_CACHE_HOME=$home/.cache QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
"$build/bench/panel_tool" samples "$home"
"$build/bench/panel_tool" screenshot "$out" >/dev/null
rm -rf "$home/Desktop"/* "$home/Downloads"/*
"$build/bench/panel_tool" screenshot "${out%.png}-finished.png" >/dev/null
echo "saved $out and ${out%.png}-finished.png"

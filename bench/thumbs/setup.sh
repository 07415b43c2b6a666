# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the thumbnail benches: checks for the tools given as arguments (cmake besides),
# makes a temporary $work (removed on exit) with Qt's private runtime folder, builds
# mirel-thumbs-bench and the preview process beside it in $build (BUILD_DIR to reuse one), and
# sets $bench, $here and $build.
here=$(cd "$(dirname "${BASH_SOURCE[1]}")" && pwd)
build=${BUILD_DIR:-$here/../build/bench-thumbs}

for tool in cmake "$@"; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/deps.sh --test" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Qt wants a private runtime folder; the offscreen platform needs no display.
export XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
mkdir -m 0700 "$XDG_RUNTIME_DIR"

cmake -S "$here/thumbs" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target mirel-thumbs-bench >/dev/null
bench=$build/mirel-thumbs-bench
# Pictures and videos are decoded by the preview process built beside the benchmark.
export MIREL_PREVIEW_WORKER=$build/libexec/mirel/mirel-preview

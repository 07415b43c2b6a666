#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: bench/keep-across-drives.sh [MIREL]
# Keep of a 1 GiB file from another drive (a tmpfs mounted here, standing in for a USB stick)
# into Kept on the home's drive, with the real program (built here in Release unless MIREL is
# given) under Xvfb, pressed over AT-SPI. Compared with `cp` followed by `sync` of the same
# file in the same run. Mirel's time runs from the press until the original is removed (the
# copy is then complete and flushed), less the 0.2 s that the panel waits before every
# decision. Meanwhile the window is asked for its place on screen over and over (a call its
# main thread answers): the slowest answer is the worst stall.
# Each is run ROUNDS times (3 unless set), alternately; the times are medians, the stall the
# worst of all rounds.
# Last line: keep-across-drives <Mirel seconds> <cp+sync seconds> <worst stall ms>.
# Targets: Mirel at most 1.1 times cp+sync; worst stall at most 100 ms.
# Needs root to mount the tmpfs; without it, it says so and measures nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mirel=${1:-}
rounds=${ROUNDS:-3}
if [[ -z $mirel ]]; then
    build=$root/build/bench
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIREL_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" --target mirel >/dev/null || { echo "build failed" >&2; exit 1; }
    mirel=$build/app/mirel
fi
source "$root/tests/e2e/e2e-lib.sh"
e2e_session
stick=$work/stick
mkdir -p "$stick"
if ! mount -t tmpfs -o size=2200m,mode=0755 mirel-bench "$stick" 2>/dev/null; then
    echo "keep-across-drives: cannot mount a tmpfs here (needs root); nothing measured"
    exit 0
fi
trap 'umount -l "$stick" 2>/dev/null; e2e_cleanup' EXIT
head -c 64M /dev/urandom > "$work/chunk"
for _ in $(seq 16); do cat "$work/chunk"; done > "$stick/big.bin"
rm "$work/chunk"

seconds_since() { awk -v now="$(date +%s.%N)" -v then="$1" 'BEGIN { printf "%.3f", now - then }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

mkdir -p "$XDG_CONFIG_HOME/Mirel"
printf '[General]\nincludeDesktop=false\nincludeDownloads=false\nmonitoredFolders=%s\n' "$stick" \
    > "$XDG_CONFIG_HOME/Mirel/Mirel.conf"
e2e_tray
e2e_start "$mirel"
ui tray-wait || fail "no tray icon"
ui tray-activate
ui wait label '^big\.bin$' 30 || fail "the panel did not open on big.bin"

# Alternately, so that both meet the drive in the same state: cp and sync, then Mirel's Keep
# (after which the file goes back onto the stick and a Refresh lists it again).
cp_times=() mirel_times=() worst=0 calls=0
for round in $(seq "$rounds"); do
    sync
    start=$(date +%s.%N)
    cp "$stick/big.bin" "$home/cp-copy.bin"
    sync
    cp_times+=("$(seconds_since "$start")")
    rm "$home/cp-copy.bin"
    sync

    ui probe 'push button' '^Keep$' "$stick/big.bin" > "$work/probe" &
    probe_pid=$!
    waitfor 10 ui focused || fail "no answer over AT-SPI"
    pressed=$(ui press-timed '^Keep$' "$stick/big.bin") || fail "could not press Keep"
    wait "$probe_pid" || fail "the window stopped answering during the Keep"
    read -r round_calls round_worst < "$work/probe"
    calls=$((calls + round_calls))
    ((round_worst > worst)) && worst=$round_worst
    mirel_times+=("$(awk -v t="$pressed" 'BEGIN { printf "%.3f", t - 0.2 }')")
    kept=$(find "$home/Documents/Kept" -name big.bin)
    [[ -n $kept && $(stat -c %s "$kept") == 1073741824 ]] || fail "big.bin was not kept whole"
    echo "round $round: cp+sync ${cp_times[-1]} s, Mirel ${mirel_times[-1]} s (press to removal, less the 0.2 s pause), slowest answer $round_worst ms"
    if ((round < rounds)); then
        mv "$kept" "$stick/big.bin"
        sync
        ui press '^Refresh$' || fail "could not press Refresh"
        ui wait label '^big\.bin$' 10 || fail "big.bin is not listed again"
    fi
done
! grep -q '^Failed' "$work/stdout" || fail "a Keep failed: $(grep '^Failed' "$work/stdout")"
echo "medians of $rounds rounds; the window answered $calls times during the Keeps"
echo "keep-across-drives $(median "${mirel_times[@]}") $(median "${cp_times[@]}") $worst"

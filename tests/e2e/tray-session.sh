#!/usr/bin/env bash
# Usage: tray-session.sh MIREL OUTDIR
# Runs the real mirel on a temporary home under Xvfb with trayer as the tray: checks the
# start-up scans on standard output, opens the panel from the tray icon, keeps the newest
# file and deletes the next through the panel's buttons, checks the disk, saves screenshots
# to OUTDIR and quits with the power button. Then starts it with no tray and checks the
# fallback window.
set -euo pipefail
mirel=$1
out=$2
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [[ -f $work/stdout ]] && { echo "--- mirel stdout"; cat "$work/stdout"; } >&2
    [[ -f $work/stderr ]] && { echo "--- mirel stderr"; tail -20 "$work/stderr"; } >&2
    exit 1
}
# waitfor SECONDS COMMAND...: polls until the command succeeds.
waitfor() {
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}

home=$work/home
mkdir -p "$home/Desktop" "$home/Downloads" "$work/tmp" "$work/run"
chmod 700 "$work/run"
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
    XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$work/run TMPDIR=$work/tmp LC_ALL=C.UTF-8
unset LANGUAGE QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS
printf 'newest' > "$home/Desktop/new.pdf"; touch -d '2026-01-03 10:00' "$home/Desktop/new.pdf"
printf 'middle' > "$home/Downloads/middle.txt"; touch -d '2026-01-02 10:00' "$home/Downloads/middle.txt"
printf 'oldest' > "$home/Downloads/caf"$'\xe9'".txt"; touch -d '2025-06-01 10:00' "$home/Downloads/caf"$'\xe9'".txt"

display=99
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
export DISPLAY=:$display
Xvfb "$DISPLAY" -screen 0 1280x800x24 -noreset -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
waitfor 15 xdpyinfo || fail "Xvfb did not start"

trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
    --transparent false --tint 0x303030 >/dev/null 2>&1 &
trayer_pid=$!
pids+=($trayer_pid)
waitfor 10 xdotool search --class trayer || fail "trayer did not start"

"$mirel" > "$work/stdout" 2> "$work/stderr" &
mirel_pid=$!
pids+=($mirel_pid)

# Three scans at start-up, exactly these lines.
scan() {
    printf 'Scanning: %s\nFound 1 items\nScanning: %s\nFound 2 items\nTotal files: 3\n' \
        "$home/Desktop" "$home/Downloads"
}
{ scan; scan; scan; } > "$work/expected"
waitfor 20 cmp -s "$work/stdout" "$work/expected" ||
    { diff "$work/stdout" "$work/expected" >&2 || true; fail "start-up console lines"; }

# No window but the tray icon.
sleep 1
[[ -z $(xdotool search --onlyvisible --name '^Mirel$' 2>/dev/null) ]] || fail "a window opened at start-up"

# A second launch opens the first one's panel and leaves.
timeout 10 "$mirel" > "$work/second.out" 2>/dev/null || fail "the second launch did not exit cleanly"
[[ ! -s $work/second.out ]] || fail "the second launch scanned"
waitfor 10 xdotool search --onlyvisible --name '^Mirel$' || fail "the second launch did not open the panel"
panel=$(xdotool search --onlyvisible --name '^Mirel$' | head -1)
# Close it again through the tray icon, then open it the way a person does.
tray=$(xdotool search --onlyvisible --class trayer | head -1)
eval "$(xdotool getwindowgeometry --shell "$tray")"
tray_x=$((X + WIDTH / 2)) tray_y=$((Y + HEIGHT / 2))
xdotool mousemove "$tray_x" "$tray_y" click 1
waitfor 5 bash -c "! xdotool search --onlyvisible --name '^Mirel\$' | grep -q ." || fail "a click on the tray icon did not close the panel"
sleep 0.5
xdotool mousemove "$tray_x" "$tray_y" click 1
waitfor 10 xdotool search --onlyvisible --name '^Mirel$' || fail "a click on the tray icon did not open the panel"
panel=$(xdotool search --onlyvisible --name '^Mirel$' | head -1)
sleep 1.5
import -window "$panel" "$work/panel.png"
cp "$work/panel.png" "$out/tray-panel.png"

# The decision buttons, found by their colours in the picture.
centre_of() {
    convert "$work/panel.png" -alpha off -fill black +opaque "$1" -fill white -opaque "$1" \
        -format "%@" info: 2>/dev/null |
        awk -F'[x+]' '$1 > 20 && $2 > 10 { printf "%d %d\n", $3 + $1 / 2, $4 + $2 / 2 }'
}
delete_at=$(centre_of '#FF3B30')
[[ -n $delete_at ]] || fail "no Delete button in the panel"
# Keep mirrors Delete across the panel's middle.
read -r dx dy <<< "$delete_at"
keep_at="$((320 - dx)) $dy"

month=$(date +%B) year=$(date +%Y)
read -r kx ky <<< "$keep_at"
xdotool mousemove --window "$panel" "$kx" "$ky" click 1
waitfor 5 test -f "$home/Documents/Kept/$year/$month/new.pdf" || fail "Keep did not move new.pdf"
[[ $(cat "$home/Documents/Kept/$year/$month/new.pdf") == newest ]] || fail "the kept file changed"

sleep 0.6
read -r dx dy <<< "$delete_at"
xdotool mousemove --window "$panel" "$dx" "$dy" click 1
waitfor 5 test -f "$home/.local/share/Trash/files/middle.txt" || fail "Delete did not trash middle.txt"
grep -qx "Path=$home/Downloads/middle.txt" "$home/.local/share/Trash/info/middle.txt.trashinfo" ||
    fail "the trash record does not lead back to the file"
[[ -e "$home/Downloads/caf"$'\xe9'".txt" ]] || fail "the third file went missing"
sleep 0.6
import -window "$panel" "$out/tray-panel-after.png"

# The power button sits in the footer's right corner.
xdotool mousemove --window "$panel" 296 456 click 1
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "the power button did not quit"
wait "$mirel_pid" || fail "mirel exited with an error"

# No tray: the panel opens as an ordinary window and closing it quits.
kill "$trayer_pid"
waitfor 5 bash -c "! xdotool search --class trayer | grep -q ." || true
"$mirel" > "$work/stdout2" 2> "$work/stderr2" &
mirel_pid=$!
pids+=($mirel_pid)
waitfor 15 xdotool search --onlyvisible --name '^Mirel$' || fail "no fallback window without a tray"
window=$(xdotool search --onlyvisible --name '^Mirel$' | head -1)
sleep 1
import -window "$window" "$out/fallback-window.png"
xdotool mousemove --window "$window" 296 456 click 1
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "the fallback window did not quit"
echo "tray session: start-up scans, tray toggle, second launch, Keep, Delete, quit, fallback window: all checked"

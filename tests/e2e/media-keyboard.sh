#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: media-keyboard.sh MIREL
# A sound file's preview by keyboard alone: Tab reaches the play/pause button, Space pauses,
# Tab goes on to the position bar, and the arrow keys move it.
source "$(dirname "$0")/e2e-lib.sh"
mirel=$1
command -v sox >/dev/null || { echo "sox missing: skipped"; exit 77; }

e2e_session
sox -n -r 8000 -c 1 "$home/Desktop/tone.wav" synth 20 sine 440

e2e_start "$mirel"
ui wait label '^tone\.wav$' || fail "no window on tone.wav"
ui wait 'push button' '^Pause$' 20 || fail "the sound did not start playing"
window=$(mirel_window) || fail "Mirel's window is not mapped"
xdotool windowfocus --sync "$window" || fail "could not focus the window"

# tab_to ROLE REGEX: presses Tab until that widget has the focus, at most once round the window.
tab_to() {
    local i
    for ((i = 0; i < 16; i++)); do
        ui wait-focus "$1" "$2" 0.3 2>/dev/null && return 0
        xdotool key Tab
    done
    return 1
}
tab_to 'push button' '^(Play|Pause)$' || fail "Tab never reached the play button: $(ui focused)"
xdotool key space
ui wait 'push button' '^Play$' 5 || fail "Space did not pause"
tab_to slider '^Position$' || fail "Tab never reached the position bar: $(ui focused)"
before=$(ui value slider '^Position$')
xdotool key Right
waitfor 5 bash -c "(( \$(/usr/bin/python3 '$e2e_dir/mirel_ui.py' value slider '^Position$' | cut -d. -f1) > ${before%.*} ))" ||
    fail "the right arrow did not move the position from $before"
tab_to 'push button' '^Play$' || fail "Tab did not come back round to the play button"
xdotool key space
ui wait 'push button' '^Pause$' 5 || fail "Space did not play again"

ui press '^Quit$'
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
echo "media by keyboard: Tab to play/pause, Space, Tab to the position bar, arrow: all checked"

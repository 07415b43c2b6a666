# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the end-to-end checks: a private desktop session for the real program.
#
#   source "$(dirname "$0")/e2e-lib.sh"
#   e2e_session            # $work, $home with Desktop and Downloads, HOME/XDG_*/TMPDIR set,
#                          # Xvfb, a private session bus and the accessibility bus
#   e2e_tray               # optional: a StatusNotifierItem watcher, so Mirel docks in a tray
#   e2e_start "$mirel"     # starts it; stdout in $work/stdout, stderr in $work/stderr, $mirel_pid
#   e2e_downloads a.txt b.txt         # small files in Downloads, the first the newest
#   e2e_open_panel "$mirel" 'a\.txt'  # a tray, Mirel started, its panel open on that file
#   ui press 'Delete'      # tests/e2e/mirel_ui.py: find widgets by accessible name, the tray menu
#   waitfor 10 test -f "$file" || fail "what went wrong"
#   panel_at X Y           # Mirel's shown window has its top or bottom edge within 8 px of
#                          # the point, which lies within its width
#   expect_stdout "what went wrong" < lines   # stdout becomes exactly these lines
#
# Everything started here is stopped and $work removed when the script exits.
set -euo pipefail

e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
e2e_pids=()
work=$(mktemp -d)
home=$work/home

e2e_cleanup() {
    local pid
    for pid in "${e2e_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap e2e_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [[ -f $work/stdout ]] && { echo "--- mirel stdout"; tail -40 "$work/stdout"; } >&2
    [[ -f $work/stderr ]] && { echo "--- mirel stderr"; tail -20 "$work/stderr"; } >&2
    exit 1
}

# waitfor SECONDS COMMAND...: polls until the command succeeds.
waitfor() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

ui() { /usr/bin/python3 "$e2e_dir/mirel_ui.py" "$@"; }

# expect_stdout MESSAGE < LINES: waits until Mirel's standard output is exactly LINES; otherwise
# shows the difference and fails with MESSAGE.
expect_stdout() {
    cat > "$work/expected"
    waitfor 20 cmp -s "$work/stdout" "$work/expected" ||
        { diff "$work/stdout" "$work/expected" >&2 || true; fail "$1"; }
}

e2e_session() {
    mkdir -p "$home/Desktop" "$home/Downloads" "$work/tmp" "$work/run"
    chmod 700 "$work/run"
    export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
        XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$work/run TMPDIR=$work/tmp \
        LC_ALL=${LC_ALL:-C.UTF-8} QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
    unset LANGUAGE QT_QPA_PLATFORM SESSION_MANAGER
    mkdir -p "$XDG_CONFIG_HOME"

    # Xvfb picks a free display itself and writes its number once it listens: a display in use
    # is not always visible as a file here (abstract sockets, another mount namespace).
    exec {display_fd}<> <(:)
    Xvfb -displayfd "$display_fd" -screen 0 1280x800x24 -noreset -nolisten tcp >/dev/null 2>&1 &
    e2e_pids+=($!)
    local display=
    read -r -t 15 -u "$display_fd" display || fail "Xvfb did not start"
    exec {display_fd}<&-
    export DISPLAY=:$display
    waitfor 15 xdpyinfo || fail "Xvfb does not answer on $DISPLAY"

    local bus
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
    export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
    e2e_pids+=("${bus##*$'\n'}")
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    e2e_pids+=($!)
    waitfor 10 dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress || fail "the accessibility bus did not start"
}

e2e_tray() {
    ui watch >/dev/null 2>&1 &
    e2e_pids+=($!)
    waitfor 10 dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetNameOwner string:org.kde.StatusNotifierWatcher ||
        fail "the tray watcher did not start"
}

e2e_start() {
    # Emptied here, not by the background job's redirection, so a wait that follows never
    # reads the previous run's lines.
    : >"$work/stdout"
    : >"$work/stderr"
    "$@" >>"$work/stdout" 2>>"$work/stderr" &
    mirel_pid=$!
    e2e_pids+=("$mirel_pid")
}

# mirel_window: the id of Mirel's one mapped window with a size of the panel's, as X sees it.
mirel_window() {
    local id
    for id in $(xdotool search --all --onlyvisible --pid "$mirel_pid" --name '.*' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        ((WIDTH >= 200 && HEIGHT >= 200)) && { echo "$id"; return 0; }
    done
    return 1
}

panel_at() {
    local x=$1 y=$2 id X Y WIDTH HEIGHT SCREEN WINDOW
    id=$(mirel_window) || return 1
    eval "$(xdotool getwindowgeometry --shell "$id")"
    echo "panel at $X,$Y ${WIDTH}x$HEIGHT for the point $x,$y" > "$work/panel-at"
    ((X <= x && x < X + WIDTH)) || return 1
    local top=$((Y - y)) bottom=$((y - (Y + HEIGHT)))
    ((${top#-} <= 8 || ${bottom#-} <= 8))
}

e2e_downloads() {
    local day=9 name
    for name in "$@"; do
        printf '%s' "$name" > "$home/Downloads/$name"
        touch -d "2026-01-0$day 10:00" "$home/Downloads/$name"
        day=$((day - 1))
    done
}

e2e_open_panel() { # mirel, the first name as a pattern, [seconds]
    e2e_tray
    e2e_start "$1"
    ui tray-wait || fail "no tray icon"
    ui tray-activate
    ui wait label "^$2\$" ${3:-} || fail "the panel did not open on $2"
}

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: bench/tray-placement-wayland.sh MIREL
# Where the panel lands in Wayland sessions with XWayland, run headless here: weston
# --xwayland, kwin_wayland --virtual --xwayland and GNOME Shell with its AppIndicator extension
# (each when installed). Mirel starts with
# WAYLAND_DISPLAY and DISPLAY set and QT_QPA_PLATFORM unset, docks in the test tray, and gets
# Activate(x, y) for three points; each line reports the panel's X window geometry. A panel
# edge within 8 px of the point is where it should be.
source "$(dirname "$0")/../tests/e2e/e2e-lib.sh"
mirel=$(realpath "${1:?usage: tray-placement-wayland.sh MIREL}")
points=("700 300" "1200 10" "100 790")

e2e_session
printf 'loose' > "$home/Desktop/loose.txt"
e2e_tray
unset DISPLAY

# measure NAME: inside a compositor's session (DISPLAY, WAYLAND_DISPLAY set), one line a point.
measure() {
    local point id X Y WIDTH HEIGHT SCREEN
    e2e_start "$mirel"
    ui tray-wait 20 >/dev/null 2>&1 || { echo "$1: Mirel did not dock"; return; }
    for point in "${points[@]}"; do
        # shellcheck disable=SC2086
        ui tray-activate $point
        ui wait 'push button' '^Keep$' 10 || { echo "$1: no panel for Activate($point)"; continue; }
        id=$(mirel_window) || { echo "$1: no X window (not on xcb?)"; continue; }
        eval "$(xdotool getwindowgeometry --shell "$id")"
        echo "$1: Activate(${point/ /, }) -> panel at $X,$Y ${WIDTH}x$HEIGHT"
        # shellcheck disable=SC2086
        ui tray-activate $point
        ui gone 'push button' '^Keep$' 5 || true
    done
    kill "$mirel_pid"
    wait "$mirel_pid" 2>/dev/null || true
}

if command -v weston >/dev/null && command -v Xwayland >/dev/null; then
    weston --backend=headless-backend.so --xwayland --socket=wayland-weston --width=1280 \
        --height=800 --idle-time=0 >"$work/weston.log" 2>&1 &
    weston_pid=$!
    e2e_pids+=("$weston_pid")
    if waitfor 20 grep -q "xserver listening on display" "$work/weston.log"; then
        (
            export WAYLAND_DISPLAY=wayland-weston
            DISPLAY=$(grep -o "listening on display :[0-9]*" "$work/weston.log" | grep -o ':[0-9]*$')
            export DISPLAY
            measure "weston $(weston --version | cut -d' ' -f2)"
        )
    else
        echo "weston: no XWayland"
    fi
    kill "$weston_pid"
fi

if command -v kwin_wayland >/dev/null && command -v Xwayland >/dev/null; then
    # The packaged binary has file capabilities that a container cannot grant; a copy has none.
    cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
    # The session script KWin runs gets its DISPLAY and WAYLAND_DISPLAY; it measures there.
    declare -f measure > "$work/measure.sh"
    cat > "$work/inside-kwin.sh" <<INSIDE
#!/usr/bin/env bash
source "$e2e_dir/e2e-lib.sh"
trap - EXIT
work=$work mirel=$mirel
points=("700 300" "1200 10" "100 790")
source "$work/measure.sh"
measure "kwin_wayland \$("$work/kwin_wayland" --version 2>/dev/null | cut -d' ' -f2)" > "$work/kwin.out" 2>&1
INSIDE
    chmod +x "$work/inside-kwin.sh"
    timeout 120 "$work/kwin_wayland" --virtual --xwayland --socket wayland-kwin \
        --width 1280 --height 800 --no-lockscreen --no-global-shortcuts \
        --exit-with-session "$work/inside-kwin.sh" >"$work/kwin.log" 2>&1 || true
    cat "$work/kwin.out" 2>/dev/null || { echo "kwin_wayland: did not run"; tail -5 "$work/kwin.log"; }
fi

if command -v gnome-shell >/dev/null && [[ -d /usr/share/gnome-shell/extensions/ubuntu-appindicators@ubuntu.com ]]; then
    (
        # GNOME Shell brings its own tray host (the AppIndicator extension): the test tray goes.
        pkill -f "mirel_ui.py watch" || true
        waitfor 5 bash -c "! dbus-send --session --print-reply --dest=org.freedesktop.DBus \
            /org/freedesktop/DBus org.freedesktop.DBus.GetNameOwner string:org.kde.StatusNotifierWatcher"
        system_bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
        export DBUS_SYSTEM_BUS_ADDRESS=${system_bus%%$'\n'*}
        e2e_pids+=("${system_bus##*$'\n'}")
        export GSETTINGS_BACKEND=memory XDG_SESSION_TYPE=wayland
        gnome-shell --headless --wayland --virtual-monitor 1280x800 --unsafe-mode \
            --wayland-display wayland-gnome >"$work/gnome-shell.log" 2>&1 &
        e2e_pids+=($!)
        shell() {
            gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
                --method org.gnome.Shell.Eval "$1" | sed -e "s/^(true, '\"\{0,1\}//" -e "s/\"\{0,1\}')$//"
        }
        waitfor 30 shell 1 || { echo "gnome-shell: did not start"; exit 0; }
        shell "Main.extensionManager.enableExtension('ubuntu-appindicators@ubuntu.com')" >/dev/null
        export WAYLAND_DISPLAY=wayland-gnome
        DISPLAY=$(shell "imports.gi.GLib.getenv('DISPLAY')")
        XAUTHORITY=$(shell "imports.gi.GLib.getenv('XAUTHORITY')")
        export DISPLAY XAUTHORITY
        e2e_start "$mirel"
        find_icon="Object.entries(Main.panel.statusArea).filter(([k]) => /^appindicator-/.test(k))"
        waitfor 20 bash -c "gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
            --method org.gnome.Shell.Eval \"$find_icon.length\" | grep -q \"'1'\"" ||
            { echo "gnome-shell: the icon did not appear"; exit 0; }
        read -r ix iy iw ih <<< "$(shell "$find_icon.map(([, v]) => [...v.get_transformed_position(), ...v.get_transformed_size()].map(Math.round).join(' '))[0]")"
        cx=$((ix + iw / 2)) cy=$((iy + ih / 2))
        # What a double click on the icon runs in the extension: Activate at the event's point.
        shell "$find_icon[0][1]._indicator.open($cx, $cy, 0)" >/dev/null
        ui wait 'push button' '^Keep$' 10 || { echo "gnome-shell: no panel"; exit 0; }
        id=$(mirel_window) || { echo "gnome-shell: no X window (not on xcb?)"; exit 0; }
        eval "$(xdotool getwindowgeometry --shell "$id")"
        echo "gnome-shell $(gnome-shell --version | cut -d' ' -f3): icon at $ix,$iy ${iw}x$ih, Activate($cx, $cy) -> panel at $X,$Y ${WIDTH}x$HEIGHT"
        kill "$mirel_pid"
    )
fi

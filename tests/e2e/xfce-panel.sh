#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: xfce-panel.sh MIREL
# Mirel under a real tray host that no one here wrote: Debian's xfce4-panel with its status
# tray plugin, in xfwm4 under Xvfb. A left click on the icon (xdotool) opens the panel right
# under the icon; a right click shows the tray menu drawn by the panel from Mirel's dbusmenu,
# whose first entry, "Open Mirel", opens the panel at the icon again. Through XEmbed, as where no
# StatusNotifierWatcher runs, Mirel docks in the same tray when the panel comes after it, and
# its click opens the panel under the icon too.
source "$(dirname "$0")/e2e-lib.sh"
mirel=$1
command -v xfce4-panel >/dev/null && command -v xfwm4 >/dev/null ||
    { echo "xfce4-panel or xfwm4 missing: skipped"; exit 77; }

e2e_session
printf 'loose' > "$home/Desktop/loose.txt"
# icon_window: "x y width height" of Mirel's small window, the XEmbed icon in the tray.
icon_window() {
    local id X Y WIDTH HEIGHT SCREEN
    for id in $(xdotool search --all --onlyvisible --pid "$mirel_pid" --name '.*' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        ((WIDTH < 64 && HEIGHT < 64)) && { echo "$X $Y $WIDTH $HEIGHT"; return 0; }
    done
    return 1
}
window_gone() { ! mirel_window; }

# An X tray that comes after Mirel: on a bus of its own, where no watcher will run, Mirel opens
# its window; once the Xfce panel is up, the icon docks through XEmbed and the window goes.
buses=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
own_bus=${buses%%$'\n'*}
e2e_pids+=("${buses##*$'\n'}")
DBUS_SESSION_BUS_ADDRESS=$own_bus e2e_start "$mirel"
waitfor 20 mirel_window || fail "no window before the tray came"

mkdir -p "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
cp "$e2e_dir/xfce/xfce4-panel.xml" "$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml/"
xfwm4 --compositor=off >"$work/xfwm4.log" 2>&1 &
e2e_pids+=($!)
xfce4-panel >"$work/xfce4-panel.log" 2>&1 &
panel_pid=$!
e2e_pids+=("$panel_pid")
waitfor 20 dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetNameOwner string:org.kde.StatusNotifierWatcher ||
    fail "the Xfce panel's tray did not start: $(tail -5 "$work/xfce4-panel.log")"
waitfor 10 icon_window || fail "the icon did not dock in the X tray that came after Mirel"
waitfor 5 window_gone || fail "the window stayed after the icon docked"
kill -0 "$mirel_pid" || fail "Mirel quit when its window went"
kill "$mirel_pid"
wait "$mirel_pid" 2>/dev/null || true

# What the panel asks Mirel over the bus, to see the menu entries it was given.
dbus-monitor --session >"$work/bus.log" 2>&1 &
e2e_pids+=($!)

e2e_start "$mirel"
ui tray-wait || fail "Mirel did not register with the Xfce panel's tray"
ui gone 'push button' '^Keep$' 3 || fail "a window opened although the Xfce panel has a tray"
# The icon is drawn once the panel has read the item's properties.
waitfor 10 grep -q 'path=/StatusNotifierItem; interface=org.freedesktop.DBus.Properties; member=GetAll' \
    "$work/bus.log" || fail "the Xfce panel did not read Mirel's item"
# Where the icon is drawn: the panel holds nothing but the tray plugin, so whatever differs
# from the panel's background is the icon. (The plugin's accessible extents lag behind.)
icon_area() {
    local fx fy fw fh bg box
    read -r fx fy fw fh < <(ui extents xfce4-panel frame 1) || return 1
    bar_bottom=$((fy + fh))
    # Inside the panel's one-pixel edge lines.
    import -window root -crop "${fw}x$((fh - 2))+$fx+$((fy + 1))" +repage "$work/strip.png" || return 1
    bg=$(convert "$work/strip.png" -format "%[pixel:p{$((fw - 4)),$((fh / 2 - 1))}]" info:)
    box=$(convert "$work/strip.png" -fuzz 8% -fill black -opaque "$bg" -fill white +opaque black \
        -trim -format '%w %h %X %Y' info:) || return 1
    read -r iw ih ix iy <<< "${box//+/ }"
    ix=$((fx + ix)) iy=$((fy + 1 + iy))
    ((iw >= 12 && iw <= 64 && ih >= 12))
}
waitfor 10 icon_area || fail "no icon drawn in the Xfce panel: ${iw:-?}x${ih:-?}"
cx=$((ix + iw / 2)) cy=$((iy + ih / 2))

panel_under_icon() {
    local id X Y WIDTH HEIGHT SCREEN
    id=$(mirel_window) || return 1
    eval "$(xdotool getwindowgeometry --shell "$id")"
    echo "panel at $X,$Y ${WIDTH}x$HEIGHT, icon at $ix,$iy ${iw}x$ih" > "$work/panel-at"
    # Under the icon's column, against the lower edge of the Xfce panel that holds it.
    local below=$((Y - bar_bottom))
    ((X <= cx && cx < X + WIDTH && ${below#-} <= 8))
}

# click_icon: a left click on the icon, again while the panel has not sent Activate for it: a
# click that comes before the panel has laid out its new button goes nowhere.
click_icon() {
    local before tries
    before=$(grep -c 'member=Activate' "$work/bus.log" || true)
    for ((tries = 0; tries < 5; tries++)); do
        xdotool mousemove "$cx" "$cy" click 1
        waitfor 3 bash -c "(( \$(grep -c 'member=Activate' '$work/bus.log') > $before ))" && return 0
    done
    return 1
}
click_icon || fail "the Xfce panel sent no Activate for five clicks on the icon"
ui wait 'push button' '^Keep$' 10 ||
    fail "a click on the icon did not open the panel ($(grep -c 'member=Activate' "$work/bus.log") Activate calls)"
waitfor 5 panel_under_icon || fail "the panel is not under the icon: $(cat "$work/panel-at")"
click_icon || fail "the Xfce panel sent no Activate for the second click"
ui gone 'push button' '^Keep$' 5 || fail "a second click on the icon did not close the panel"

xdotool mousemove "$cx" "$cy" click 3
for entry in 'Open Mirel' 'Undo' 'Settings...' 'Start at Login' 'Quit'; do
    waitfor 10 grep -qF "string \"$entry\"" "$work/bus.log" ||
        fail "the Xfce panel was not given the entry $entry"
done
# The menu that opened has the keyboard: its first entry is "Open Mirel" (without the menu,
# these keys open nothing).
xdotool key Down Return
ui wait 'push button' '^Keep$' 10 || fail "the menu's first entry did not open the panel"
waitfor 5 panel_under_icon || fail "Open Mirel put the panel elsewhere: $(cat "$work/panel-at")"

ui press '^Quit$'
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Quit did not quit"
line=$(cat "$work/panel-at")

# The same panel as an X tray alone: Mirel on a bus where no watcher runs docks through XEmbed
# (Qt's icon), and its click opens the panel under the icon too.
DBUS_SESSION_BUS_ADDRESS=$own_bus e2e_start "$mirel"
waitfor 10 icon_window || fail "no XEmbed icon in the Xfce panel's tray"
read -r ix iy iw ih < <(icon_window)
cx=$((ix + iw / 2)) cy=$((iy + ih / 2))
xdotool mousemove "$cx" "$cy" click 1
waitfor 10 panel_under_icon || fail "the XEmbed icon's click did not open the panel under it: $(cat "$work/panel-at" 2>/dev/null)"
kill "$mirel_pid"
wait "$mirel_pid" 2>/dev/null || true

# The bus started the panel's settings store for it: it goes with the panel, before the
# session's folder is removed.
xfconfd=$(dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetConnectionUnixProcessID string:org.xfce.Xfconf 2>/dev/null | awk '{print $2}') || true
kill "$panel_pid" ${xfconfd:+"$xfconfd"} 2>/dev/null || true
waitfor 10 bash -c "! kill -0 $panel_pid 2>/dev/null && ! kill -0 ${xfconfd:-$panel_pid} 2>/dev/null" || true
echo "Xfce panel: XEmbed dock after Mirel, StatusNotifierItem docked, panel under the icon on a click ($line), menu entries, Open Mirel, the XEmbed icon ($(cat "$work/panel-at")): all checked"

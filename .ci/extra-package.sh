#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package on this machine: validates the desktop entry and the AppStream metainfo,
# builds the package and checks it with lintian, installs it with apt-get, checks /usr/bin/mirel (its command line, a start
# offscreen, a start in German in a private desktop session, Start at Login from its tray menu)
# and removes the package again. Packages the ci build that scripts/test.sh made; MIREL_PACKAGE_PRESET=default
# packages the README's build instead.
source "$(dirname "$0")/../tests/e2e/e2e-lib.sh"
cd "$(dirname "$0")/.."

desktop-file-validate resources/io.mirel.Mirel.desktop || fail "desktop entry"

preset=${MIREL_PACKAGE_PRESET:-ci}
cmake --preset "$preset" >/dev/null
# Warnings fail the validation as errors do; appstream 0.16 only notes the <developer> tag it
# does not know yet, which 1.0 asks for.
metainfo=build/$preset/io.mirel.Mirel.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "AppStream metainfo"
cmake --build --preset "$preset" --target package >/dev/null || fail "cmake --target package"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "build/$preset/CMakeCache.txt")
deb=$PWD/build/$preset/mirel_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || fail "no $deb"
grep -q "<release version=\"$version\"" "$metainfo" ||
    fail "the metainfo's releases do not name version $version"
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Depends
# Debian's own check of the package: no error and no warning left.
lintian --fail-on error,warning "$deb" || fail "lintian"

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
# Removing the package at the end must leave the machine as it was.
[[ $(dpkg-query -W -f='${Status}' mirel 2>/dev/null || true) != *installed* ]] ||
    fail "mirel is installed already; this check would remove it"
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq -o DPkg::Lock::Timeout=300 \
    "$deb" >/dev/null || fail "apt-get install"
remove_package() { "${sudo[@]}" apt-get remove -y -qq -o DPkg::Lock::Timeout=300 mirel >/dev/null; }
trap 'remove_package; e2e_cleanup' EXIT

[[ $(/usr/bin/mirel --version) == "Mirel $version" ]] || fail "mirel --version"
/usr/bin/mirel --help | grep -q -- '--version' || fail "mirel --help"
status=0
/usr/bin/mirel --no-such-option 2>"$work/usage" || status=$?
[[ $status -eq 1 ]] && grep -q '^Usage: ' "$work/usage" || fail "an unknown option did not print the usage and fail"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/mirel 2>"$work/no-display" || status=$?
[[ $status -eq 1 && $(wc -l <"$work/no-display") -eq 1 ]] && grep -q 'graphical session' "$work/no-display" ||
    fail "without a display: status $status, $(cat "$work/no-display")"
for file in /usr/share/applications/io.mirel.Mirel.desktop /usr/share/metainfo/io.mirel.Mirel.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/io.mirel.Mirel.svg /usr/share/doc/mirel/copyright \
    /usr/share/doc/mirel/LICENSE /usr/share/doc/mirel/changelog.gz /usr/share/man/man1/mirel.1.gz; do
    [[ -f $file ]] || fail "the package did not install $file"
done

# Offscreen once, as a session without a window system runs it: the scan lines.
e2e_session
printf 'loose' > "$home/Desktop/loose.txt"
e2e_start env QT_QPA_PLATFORM=offscreen LANGUAGE=de /usr/bin/mirel
waitfor 20 grep -qx 'Total files: 1' "$work/stdout" || fail "no start-up scan lines offscreen"
grep -qx "Scanning: $home/Desktop" "$work/stdout" || fail "the Desktop was not scanned offscreen"
kill "$mirel_pid"
wait "$mirel_pid" || true

# The installed program in German, from its own translation: the scan lines, the tray menu,
# the panel's buttons.
e2e_tray
e2e_start env LANGUAGE=de /usr/bin/mirel
waitfor 20 grep -qx 'Total files: 1' "$work/stdout" || fail "no start-up scan lines"
grep -qx "Scanning: $home/Desktop" "$work/stdout" || fail "the Desktop was not scanned"
ui tray-wait || fail "no tray icon"
ui tray-menu > "$work/menu"
grep -q '^Einstellungen' "$work/menu" || fail "the tray menu is not in German: $(cat "$work/menu")"

# Start at Login: off at first; on, it names the packaged program; the menu notices an entry
# deleted by hand; off again removes it.
entry=$XDG_CONFIG_HOME/autostart/io.mirel.Mirel.desktop
login='^(Start at Login|Beim Anmelden starten)$'
login_state() { ui tray-menu | grep -E "^(Start at Login|Beim Anmelden starten)"$'\t' | cut -f3; }
[[ $(login_state) == unchecked ]] || fail "Start at Login is not off at first"
ui tray-click "$login"
waitfor 5 test -f "$entry" || fail "Start at Login wrote no autostart entry"
grep -qx 'Exec=mirel --autostart' "$entry" || fail "the autostart entry does not start the installed mirel"
desktop-file-validate "$entry" || fail "the autostart entry is not valid"
[[ $(login_state) == checked ]] || fail "Start at Login is not checked"
rm "$entry"
[[ $(login_state) == unchecked ]] || fail "Start at Login stays checked after its entry was deleted"
ui tray-click "$login"
waitfor 5 test -f "$entry" || fail "Start at Login wrote no entry the second time"
ui tray-click "$login"
waitfor 5 test ! -e "$entry" || fail "unchecking Start at Login left the entry"

ui tray-activate
ui wait 'push button' '^Behalten$' || fail "the panel is not in German"
ui press '^Beenden$'
waitfor 10 bash -c "! kill -0 $mirel_pid" || fail "Beenden did not quit"
wait "$mirel_pid" || fail "mirel exited with an error"
echo "package: validators, install, command line, offscreen start, start in German, Start at Login, removal: all checked"

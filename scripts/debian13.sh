#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds and tests Mirel on Debian 13 (trixie: Qt 6.8, GCC 14, clang 19) in a chroot made with
# debootstrap, from Debian 12: the formatting with clang-format 19, the AppStream metainfo with
# appstream 1.0, the ci preset with warnings as errors, and every unit suite and end-to-end check.
# Installs with the project's own scripts/deps.sh --test inside the chroot. Everything lives in
# build/debian13/ (the chroot is kept there and reused); the mounts are undone on every exit.
#
# Prints the ctest summary, and a last line "debian13: P passed, F failed" (or
# "debian13: skipped: <why>" with status 0 where this machine cannot make a chroot).
set -uo pipefail
cd "$(dirname "$0")/.."

skip() {
    echo "debian13: skipped: $*"
    exit 0
}

[[ $(id -u) -eq 0 ]] || skip "making a chroot needs root"
. /etc/os-release
[[ ${VERSION_CODENAME:-} != trixie ]] || skip "this is Debian 13 already"
command -v debootstrap >/dev/null || skip "debootstrap is not installed"

# The Debian mirror that this machine's own apt sources name, and nothing else.
mirror=$(
    {
        sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null
        sed -n 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]\+\)[[:space:]]\+bookworm[[:space:]].*/\2/p' \
            /etc/apt/sources.list 2>/dev/null
    } | tr ' ' '\n' | grep -E '^https?://' | grep -v -- '-security' | head -1
)
[[ -n $mirror ]] || skip "no Debian mirror in this machine's apt sources"
python3 - "$mirror" <<'EOF' || skip "the mirror $mirror does not answer"
import sys, urllib.request
urllib.request.urlopen(sys.argv[1].rstrip("/") + "/dists/trixie/Release", timeout=20).read(1)
EOF

stage=$PWD/build/debian13
root=$stage/root
mkdir -p "$stage"

mounted=()
undo_mounts() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -R "${mounted[i]}" 2>/dev/null || umount -R -l "${mounted[i]}" 2>/dev/null || true
    done
    mounted=()
}
trap undo_mounts EXIT
trap 'exit 130' INT TERM

if [[ ! -x $root/usr/bin/apt-get || ! -e $root/.mirel-debootstrapped ]]; then
    # A half-made chroot from an interrupted run is made again; it has nothing mounted in it
    # (the mounts are undone on every exit), which is checked before anything is removed.
    if findmnt -rn -o TARGET | grep -q "^$root/"; then
        echo "debian13: something is still mounted under $root" >&2
        exit 1
    fi
    rm -rf "$root"
    echo "debian13: debootstrap trixie from $mirror"
    debootstrap --variant=minbase trixie "$root" "$mirror" >"$stage/debootstrap.log" 2>&1 || {
        tail -20 "$stage/debootstrap.log" >&2
        echo "debian13: debootstrap failed (see $stage/debootstrap.log)"
        exit 1
    }
    touch "$root/.mirel-debootstrapped"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp /etc/hosts "$root/etc/hosts"

bind() { # bind SOURCE TARGET [rbind]
    mkdir -p "$2"
    mount "--${3:-bind}" "$1" "$2" || { echo "debian13: cannot mount $2" >&2; exit 1; }
    mounted+=("$2")
}
mkdir -p "$root/proc"
mount -t proc proc "$root/proc" || { echo "debian13: cannot mount proc" >&2; exit 1; }
mounted+=("$root/proc")
bind /sys "$root/sys" rbind
bind /dev "$root/dev" rbind
# A fresh copy of the sources each run, never the host's build folders.
rm -rf "$root/src"
mkdir -p "$root/src"
git ls-files -co --exclude-standard -z | tar --null -T - -cf - | tar -xf - -C "$root/src"

jobs=$(nproc)
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb \
    LANG=C.UTF-8 /bin/bash -s "$jobs" <<'EOF'
set -uo pipefail
jobs=$1
cd /src
passed=0
failed=0
result() { if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi; }

scripts/deps.sh --test >/tmp/deps.log 2>&1 || { tail -30 /tmp/deps.log; echo "deps.sh --test failed"; exit 1; }
echo "== Debian 13: Qt $(dpkg-query -W -f='${Version}' qt6-base-dev), $(g++ --version | head -1)"

echo "== Debian 13: formatting ($(clang-format --version))"
find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print >/tmp/sources
result xargs -r clang-format --dry-run --Werror </tmp/sources
echo "== Debian 13: build"
if cmake --preset ci >/dev/null && cmake --build --preset ci -j "$jobs"; then
    echo "== Debian 13: AppStream metainfo ($(appstreamcli --version))"
    result appstreamcli validate --no-net build/ci/io.mirel.Mirel.metainfo.xml
    echo "== Debian 13: tests"
    ctest --preset ci -j "$jobs" --timeout 300 | tee /tmp/ctest.log
    total=$(grep -oE 'tests failed out of [0-9]+' /tmp/ctest.log | grep -oE '[0-9]+$' || echo 0)
    bad=$(grep -oE '[0-9]+ tests failed out of' /tmp/ctest.log | grep -oE '^[0-9]+' || echo 0)
    [[ $total -gt 0 ]] || { echo "no tests ran"; failed=$((failed + 1)); }
    passed=$((passed + total - bad))
    failed=$((failed + bad))
else
    echo "the ci build failed"
    failed=$((failed + 1))
fi
echo "debian13: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
EOF

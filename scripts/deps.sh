#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what Mirel needs from Debian's packages (Debian 12 is what Mirel is tested on).
#   scripts/deps.sh          build, package and run Mirel
#   scripts/deps.sh --test   also what the tests, benchmarks and end-to-end checks use
# Runs apt-get through sudo when not started as root; does nothing when all is installed.
# Without apt-get it lists the packages to install instead.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config git dpkg-dev file
    qt6-base-dev qt6-svg-dev qt6-image-formats-plugins qt6-image-formats-plugin-pdf
    qt6-multimedia-dev qt6-pdf-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
    libxkbcommon-dev libheif-dev libssl-dev shared-mime-info qt6-qpa-plugins fonts-dejavu-core
    libarchive-dev libpng-dev bubblewrap libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
    libgstreamer1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
)
test=false
if [[ "${1:-}" == "--test" ]]; then
    test=true
    packages+=(
        xvfb xauth x11-utils xdotool imagemagick libheif-examples sox ffmpeg libgdk-pixbuf2.0-bin
        zip 7zip python3
        clang clang-format findutils coreutils procps
        dbus-daemon at-spi2-core python3-pyatspi
        appstream desktop-file-utils debootstrap lintian xfce4-panel xfwm4 bindfs
    )
fi
# libFuzzer and the sanitizer runtimes come in a package named after clang's major version.
clang_runtime=libclang-rt-N-dev

if ! command -v apt-get >/dev/null || ! command -v dpkg-query >/dev/null; then
    $test && packages+=("$clang_runtime (N: the major version of clang)")
    {
        echo "scripts/deps.sh installs with apt-get, which this system does not have."
        echo "Install these with your package manager (Debian's names; the README's table gives"
        echo "untested hints for other distributions), then run the cmake commands yourself:"
        echo "${packages[*]}" | fold -s -w 92 | sed 's/^/  /'
    } >&2
    exit 1
fi

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
install_missing() {
    local missing=() p status
    for p in "$@"; do
        status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
        [[ "$status" == "install ok installed" ]] || missing+=("$p")
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
}

install_missing "${packages[@]}"
if $test; then
    major=$(clang -dumpversion | cut -d. -f1)
    install_missing "${clang_runtime/N/$major}"
fi

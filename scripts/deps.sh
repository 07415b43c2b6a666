#!/usr/bin/env bash
# Installs what Mirel needs from Debian's or Ubuntu's packages.
#   scripts/deps.sh          build and run Mirel
#   scripts/deps.sh --test   also what the tests, benchmarks and end-to-end checks use
# Runs apt-get through sudo when not started as root; does nothing when all is installed.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config git
    qt6-base-dev qt6-svg-dev qt6-image-formats-plugins qt6-image-formats-plugin-pdf
    qt6-multimedia-dev qt6-pdf-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
    libxkbcommon-dev libheif-dev libssl-dev shared-mime-info qt6-qpa-plugins fonts-dejavu-core
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
)
if [[ "${1:-}" == "--test" ]]; then
    packages+=(
        xvfb xauth x11-utils xdotool trayer imagemagick libheif-examples sox ffmpeg libgdk-pixbuf2.0-bin
        clang clang-format libclang-rt-14-dev findutils coreutils procps
        dbus-daemon at-spi2-core python3-pyatspi
    )
fi

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"

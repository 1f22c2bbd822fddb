#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Zendrel need.
# Only what is missing is installed; through sudo when not root.
set -euo pipefail

packages=(
    build-essential cmake pkg-config ccache git
    libsqlcipher-dev sqlcipher
    libgtest-dev libgmock-dev libbenchmark-dev
    libx11-dev libxtst-dev libxkbfile-dev libx11-xcb-dev libxcb1-dev
    xvfb openbox xterm xdotool x11-xkb-utils x11-utils xauth xdg-utils
    python3 dbus-x11 at-spi2-core python3-dogtail
    fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

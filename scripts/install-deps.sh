#!/usr/bin/env bash
# Installs the Debian packages that building, running, testing and benchmarking Zendrel need, starting
# from a bare Debian 12 (apt, git, make and certificates). Only what is missing is installed; through
# sudo when not root. Every dependency of the project is listed here and nowhere else.
# Extra package names may be given as arguments (used to check the failure path by hand).
set -uo pipefail

packages=(
    build-essential cmake pkg-config ccache git
    qt6-base-dev
    libsqlcipher-dev sqlcipher libargon2-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libx11-dev libxtst-dev libxkbfile-dev libx11-xcb-dev libxcb1-dev
    libatspi2.0-dev
    libcups2-dev cups-daemon cups-client
    libwayland-dev libxkbcommon-dev
    libqt6svg6
    xvfb openbox xterm xdotool x11-xkb-utils x11-utils xauth xdg-utils
    sway foot wtype weston zenity qt6-wayland wl-clipboard
    python3 dbus-x11 at-spi2-core python3-dogtail python3-gi gir1.2-gtk-3.0 imagemagick
    fonts-dejavu-core mount
    poppler-utils enscript ghostscript
    trayer
    keepassxc
    dpkg-dev lintian desktop-file-utils groff-base bsdextrautils file librsvg2-bin
    libreoffice-calc-nogui sqlite3
    "$@"
)

fail() {
    echo "install-deps: $*" >&2
    exit 1
}

installed() {
    [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || fail "not root and no sudo: cannot install ${missing[*]}"
    sudo="sudo"
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT

if ! $sudo apt-get update -qq >"$log" 2>&1 || grep -q '^[WE]: Failed to fetch' "$log"; then
    sed -n '1,5p' "$log" >&2
    fail "cannot read the package lists (no network or no mirror?); not installed: ${missing[*]}"
fi

unknown=()
for p in "${missing[@]}"; do
    policy=$(apt-cache policy "$p" 2>/dev/null)
    [[ $policy == *"Candidate: "[!\(]* ]] || unknown+=("$p")
done
[ ${#unknown[@]} -eq 0 ] || fail "no such package in the package lists: ${unknown[*]}"

if ! $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
    tail -n 5 "$log" >&2
fi
still=()
for p in "${missing[@]}"; do
    installed "$p" || still+=("$p")
done
[ ${#still[@]} -eq 0 ] || fail "could not install: ${still[*]}"
echo "Installed ${#missing[@]} packages."

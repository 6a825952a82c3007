#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Mereval
# needs, and only those that are missing. Safe to run again and again.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config ccache clang libclang-rt-14-dev clang-format
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libxkbcommon-dev libxkbcommon-x11-dev libxcb1-dev
    libhpdf-dev libcups2-dev
    # tests and benchmarks
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libprotobuf-dev protobuf-compiler python3 python3-protobuf
    cups cups-client poppler-utils qpdf
    xvfb xdotool x11-xkb-utils xkb-data dbus-daemon
    # running
    fonts-liberation2 xdg-utils
    # the Debian package: building (dpkg-shlibdeps, file) and checking it
    dpkg-dev file lintian debootstrap
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

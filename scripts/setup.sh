#!/usr/bin/env bash
# Installs everything the build, the tests, the benchmarks and the demonstration need on a
# Debian 12 machine. Safe to run again: it only calls apt when a package is missing.
set -euo pipefail

packages=(
    cmake g++ make pkg-config ninja-build
    qt6-base-dev qt6-base-dev-tools
    zlib1g-dev libminizip-dev libjpeg-dev libpng-dev libgif-dev libx11-dev
    clang libclang-rt-14-dev
    fonts-wqy-zenhei
    xvfb xauth xdotool x11-utils imagemagick
    zip unzip p7zip-full netcat-openbsd
    python3 locales
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present"
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

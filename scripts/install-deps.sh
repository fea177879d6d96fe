#!/usr/bin/env bash
# Installs what building and testing Romwright needs (Debian 12 packages), when missing.
set -euo pipefail
pkgs=(cmake g++ make pkg-config qt6-base-dev qt6-serialport-dev libgl-dev libgtest-dev
      xvfb xauth x11-utils xdotool imagemagick clang libclang-rt-14-dev
      dpkg-dev file procps)
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

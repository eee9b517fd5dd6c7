#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root, or with sudo available).
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgtest-dev libgmock-dev
          libmodbus-dev libtinyxml2-dev nlohmann-json3-dev gettext xvfb xauth xdotool socat ccache
          fonts-dejavu-core clang libclang-rt-14-dev librsvg2-bin dpkg-dev file)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

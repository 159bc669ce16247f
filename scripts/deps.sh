#!/usr/bin/env bash
# Installs the Debian packages Velmora needs to build and run, when missing.
set -euo pipefail
pkgs=(cmake ninja-build g++ qt6-base-dev fonts-noto-cjk librsvg2-bin dbus-daemon clang-14 libclang-rt-14-dev "$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

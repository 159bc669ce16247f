#!/usr/bin/env bash
# Installs the Debian packages Velmora needs to build and run, when missing.
set -euo pipefail
# libxcb1-dev: the balloon asks X11 whether a compositor runs.
# qt6-translations-l10n: Qt's own Chinese texts (standard buttons, file dialog).
# librsvg2-bin: the package's icons; dbus-daemon: the file-manager test;
# clang-14, libclang-rt-14-dev: the fuzz targets.
pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev libxcb1-dev qt6-translations-l10n fonts-noto-cjk
      librsvg2-bin dbus-daemon clang-14 libclang-rt-14-dev "$@")
# openssl: the tests make their TLS certificates with it.
pkgs+=(openssl)
# libcurl4-openssl-dev: the network layer.
pkgs+=(libcurl4-openssl-dev)
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

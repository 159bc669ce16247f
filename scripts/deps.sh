#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Velmora developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs the Debian packages one job needs, when missing:
#   scripts/deps.sh [build|run|test|sanitize|fuzz|package|check|reuse] [PACKAGE...]
# Without a job it installs what a plain build needs.
set -euo pipefail
job=build
case "${1:-}" in
  build|run|test|sanitize|fuzz|package|check|reuse) job=$1; shift ;;
esac
# libxcb1-dev: the balloon asks X11 whether a compositor runs.
# librsvg2-bin: the package's icons are drawn from the SVG at build time.
# libssl-dev, libdeflate-dev: the hashes a download is checked with.
# libglib2.0-dev: GIO reads GNOME's proxy settings.
pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev libxcb1-dev libcurl4-openssl-dev libssl-dev libdeflate-dev
      libglib2.0-dev librsvg2-bin)
case "$job" in
  # A CJK font and qt6-translations-l10n: the windows' Chinese texts and Qt's
  # own (standard buttons, file dialog); dbus-daemon: the file-manager test;
  # openssl: certificates for the https test servers.
  run) pkgs+=(fonts-noto-cjk qt6-translations-l10n dbus-daemon openssl) ;;
  # And GNOME's proxy settings as a GNOME desktop keeps them, for the desktop
  # proxy test: the schema, dconf behind GSettings, the gsettings tool.
  # zlib1g-dev: the tests reckon CRC32 with zlib to check the program's.
  test|sanitize) pkgs+=(zlib1g-dev fonts-noto-cjk qt6-translations-l10n dbus-daemon openssl
                        gsettings-desktop-schemas dconf-gsettings-backend dconf-service libglib2.0-bin) ;;
  # The fuzz targets build only the window-free cores (Qt, libcurl, GIO,
  # OpenSSL, libdeflate), with clang's libFuzzer.
  fuzz) pkgs=(cmake ninja-build pkg-config qt6-base-dev libcurl4-openssl-dev libglib2.0-dev libssl-dev libdeflate-dev
              clang-14 libclang-rt-14-dev) ;;
  # dpkg-dev: dpkg-shlibdeps and dpkg-buildflags; file: CPack's program check.
  package) pkgs+=(dpkg-dev debhelper file lintian) ;;
  check) pkgs=(dpkg-dev lintian appstream desktop-file-utils debootstrap reuse file curl) ;;
  reuse) pkgs=(reuse) ;;
esac
pkgs+=("$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing for $job: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Velmora developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The quick way to packages: builds velmora_<version>_<arch>.deb and
# velmora-tools_<version>_<arch>.deb in the top folder with CPack, from a
# build of its own (build-package/) with Debian's hardening flags. The same
# install rules feed debian/ (dpkg-buildpackage), the way a distribution builds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh package
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
# Times in the packages are those of the last commit, so the same commit
# gives the same packages.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || dpkg-parsechangelog -STimestamp)
export SOURCE_DATE_EPOCH
launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=
command -v ccache >/dev/null && launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
cmake -S . -B build-package -G Ninja --log-level=WARNING "$launcher" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DVELMORA_BUILD_TESTS=OFF \
  -DVELMORA_WERROR=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build build-package -j"$(nproc)"
rm -f build-package/velmora*.deb
(cd build-package && cpack -G DEB)
for deb in build-package/velmora*.deb; do
  cp "$deb" .
  echo "Package: $(basename "$deb")"
done

#!/usr/bin/env bash
# Builds the Debian package velmora_<version>_<arch>.deb in the top folder,
# from a build of its own (build-package/) with Debian's hardening flags.
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-dev gives dpkg-shlibdeps (the package's library dependencies) and
# dpkg-buildflags; file tells CPack which installed files are programs.
bash scripts/deps.sh dpkg-dev file
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-package -G Ninja "${launcher[@]}" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DVELMORA_BUILD_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build build-package -j"$(nproc)"
(cd build-package && cpack -G DEB)
deb=$(ls -t build-package/velmora_*.deb | head -n 1)
cp "$deb" .
echo "Package: $(basename "$deb")"

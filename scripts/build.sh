#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Velmora developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Configures and builds everything, or only the named targets, into ./build:
#   scripts/build.sh [--dir DIR] [--target NAME]... [CMAKE-OPTION...]
# Configure runs on every call with all the options, so the cache always
# follows them: a changed VELMORA_WERROR (from the environment, or CI being
# set) or compiler flag takes effect without deleting the build folder.
# Options given here (-DNAME=VALUE) come last and win.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --dir) dir=$2; shift 2 ;;
    --target) targets+=(--target "$2"); shift 2 ;;
    *) break ;;
  esac
done
bash scripts/deps.sh build
werror=OFF
[ -n "${CI:-}" ] && werror=ON
werror=${VELMORA_WERROR:-$werror}
# A compiler cache, where there is one, makes a second checkout build fast;
# an empty launcher clears one a previous configure may have set.
launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD"
  launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
cmake -S . -B "$dir" -G Ninja --log-level=WARNING -DCMAKE_BUILD_TYPE=RelWithDebInfo "$launcher" \
  -DVELMORA_WERROR="$werror" "$@"
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"

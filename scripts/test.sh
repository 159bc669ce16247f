#!/usr/bin/env bash
# Builds and runs the whole test suite without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j2 "$@"

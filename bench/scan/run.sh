#!/bin/sh

# SPDX-FileCopyrightText: 2026 Velmora developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds and runs the page-scan and catalogue-load benchmarks (not part of the test suite).
# Usage: bench/scan/run.sh [build-folder]   (default: build-bench beside the sources)
set -e
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${1:-$top/build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --target bench_scan bench_load bench_bigpage -j2
status=0
"$build/bin/bench_scan" || status=$?
echo
"$build/bin/bench_load"
echo
"$build/bin/bench_bigpage" || status=$?
exit $status

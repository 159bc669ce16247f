#!/bin/sh
# Builds and runs the page-scan benchmark (not part of the test suite).
# Usage: bench/scan/run.sh [build-folder]   (default: build-bench beside the sources)
# The scan libraries come from the project's own build; the benchmark
# program itself is compiled here, optimised.
set -e
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${1:-$top/build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --target velmora_catalogue -j2
mkdir -p "$build/bench-scan"
${CXX:-c++} -std=c++17 -O2 -fPIC -I"$top/src" "$here/bench_scan.cpp" \
    "$build/src/libvelmora_catalogue.a" "$build/src/libvelmora_common.a" \
    $(pkg-config --cflags --libs Qt6Core Qt6Network) -o "$build/bench-scan/bench_scan"
exec "$build/bench-scan/bench_scan"

#!/usr/bin/env bash
# Builds and runs the whole test suite without a display.
#   scripts/test.sh [ctest options]             the plain build in ./build
#   scripts/test.sh --sanitize [ctest options]  the program and its tests built with
#       AddressSanitizer and UndefinedBehaviorSanitizer into ./build-asan; any
#       sanitizer report (memory error, undefined behaviour, leak) fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--sanitize" ]; then
  bash scripts/build.sh
  export QT_QPA_PLATFORM=offscreen
  cd build
  exec ctest --output-on-failure -j2 "$@"
fi

shift
bash scripts/deps.sh
build=build-asan
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags"
fi
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
# Reports end the process with a failing status; leaks are checked at exit.
# Leaks inside the platform's own libraries are listed in lsan.supp.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0:strict_init_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
cd "$build"
exec ctest --output-on-failure -j2 "$@"

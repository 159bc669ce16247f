#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Velmora developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds and runs the whole test suite without a display.
#   scripts/test.sh [ctest options]             the plain build in ./build
#   scripts/test.sh --sanitize [ctest options]  the program and its tests built with
#       AddressSanitizer and UndefinedBehaviorSanitizer into ./build-asan; any
#       sanitizer report (memory error, undefined behaviour, leak) fails the run.
# Both configure on every run (scripts/build.sh), so flags follow this script.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen

if [ "${1:-}" != "--sanitize" ]; then
  bash scripts/deps.sh test
  bash scripts/build.sh
  cd build
  exec ctest --output-on-failure -j2 "$@"
fi

shift
bash scripts/deps.sh sanitize
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
bash scripts/build.sh --dir build-asan -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags"

# Reports end the process with a failing status; leaks are checked at exit.
# Leaks inside the platform's own libraries are listed in lsan.supp.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0:strict_init_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
cd build-asan
exec ctest --output-on-failure -j2 "$@"

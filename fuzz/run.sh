#!/usr/bin/env bash

# SPDX-FileCopyrightText: 2026 Velmora developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Builds the libFuzzer targets with clang into build-fuzz and runs each one for
# SECONDS (default 15) from its seed corpus in fuzz/corpus/<name>. Any crash,
# leak, sanitizer report, failed property or input slower than 5 s fails the
# run; the input that did it is kept in build-fuzz/artifacts.
# Usage: fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-15}"
shift || true
bash scripts/deps.sh fuzz
build=build-fuzz
# Configured on every run, so the cache follows the options here.
cmake -S fuzz -B "$build" -G Ninja --log-level=WARNING -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$(command -v clang++-14)"
cmake --build "$build" -j"$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in fuzz/fuzz_*.cpp; do
    name=$(basename "$src" .cpp)
    targets+=("${name#fuzz_}")
  done
fi

mkdir -p "$build/artifacts"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=()
for name in "${targets[@]}"; do
  # New inputs go to a scratch folder; the seeds in the repository stay as they are.
  scratch=$(mktemp -d)
  echo "== fuzz_$name: ${seconds}s"
  if ! "$build/fuzz_$name" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" \
      "$scratch" "fuzz/corpus/$name" 2>"$build/fuzz_$name.log"; then
    tail -n 60 "$build/fuzz_$name.log"
    failed+=("$name")
  else
    grep -E '^stat::(number_of_executed_units|new_units_added)' "$build/fuzz_$name.log" | tr '\n' ' '
    echo
  fi
  rm -rf "$scratch"
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]}"
  exit 1
fi
echo "fuzzing clean: ${targets[*]}"

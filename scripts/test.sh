#!/usr/bin/env bash
# Installs what is needed, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every test suite, then runs each fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUNDELETE_SANITIZE=ON >/dev/null
cmake --build build-test -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-test --output-on-failure -j"$jobs" --timeout 900

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUNDELETE_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$jobs"
fuzz_seconds=${FUZZ_SECONDS:-20}
for target in build-fuzz/tests/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=tests/fuzz/seeds/$name
  [ -d "$seeds" ] || seeds=
  echo "fuzzing $name for ${fuzz_seconds}s"
  "$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -print_final_stats=0 \
    "$corpus" ${seeds:+"$seeds"} 2>build-fuzz/$name.log || { tail -50 build-fuzz/$name.log; exit 1; }
done
echo "all tests passed"

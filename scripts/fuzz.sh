#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a bounded time,
# starting from the seed corpus in fuzz/corpus/. Fails on any crash, leak, timeout or sanitizer
# report; the input that caused it is left in build-fuzz/artifacts/.
#
#   PLANEX_FUZZ_SECONDS   time per target in seconds (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${PLANEX_FUZZ_SECONDS:-60}
targets=(settings_read_fuzz value_decode_fuzz tsql_execute_fuzz)

echo "== Fuzzing (${seconds} s per target)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLANEX_WERROR=ON \
  -DPLANEX_TESTS=OFF -DPLANEX_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"

mkdir -p build-fuzz/artifacts
rm -rf build-fuzz/tmp
mkdir -p build-fuzz/tmp
export TMPDIR=$PWD/build-fuzz/tmp
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for target in "${targets[@]}"; do
  name=${target%_fuzz}
  # New inputs go to a scratch corpus in the build folder; the seeds in the tree stay as they are.
  work=build-fuzz/corpus/$name
  mkdir -p "$work"
  log=build-fuzz/$name.log
  echo "-- $target"
  # Statements may be long (deep nesting, long conditions); settings lines are short.
  max_len=4096
  [ "$target" = tsql_execute_fuzz ] && max_len=16384
  if ! "build-fuzz/$target" "$work" "fuzz/corpus/$name" \
        -max_total_time="$seconds" -max_len="$max_len" -timeout=20 -rss_limit_mb=1024 \
        -artifact_prefix="build-fuzz/artifacts/$name-" -print_final_stats=1 >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "FAILED: $target (full output in $log)"
    exit 1
  fi
  grep -E '^stat::number_of_executed_units|^Done ' "$log" || true
done

#!/usr/bin/env bash
# Installs what is missing, builds planex, its tools and the embedded database, and runs every
# test twice: in a Release build with warnings as errors, and in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)

echo "== Release build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPLANEX_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPLANEX_WERROR=ON -DPLANEX_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
# faketime preloads its library ahead of the sanitizer runtime in the processes the tests start.
export ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --output-on-failure -j"$jobs")

# Memcheck of small planex jobs on the Release build above, then the fuzz targets in a clang build
# of their own (PLANEX_FUZZ_SECONDS per target, default 60).
bash scripts/valgrind.sh
bash scripts/fuzz.sh

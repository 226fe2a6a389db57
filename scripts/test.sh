#!/usr/bin/env bash
# Installs what is missing, checks the sources' layout (.clang-format) and clang-tidy's findings
# in planex, its tools and the embedded database (.clang-tidy), builds planex, its tools
# and the embedded database, and runs every test twice: in a Release build with warnings as
# errors, and in a build with AddressSanitizer and UndefinedBehaviorSanitizer. Between the two:
# the Debian package (built, installed, run and purged), the demo on a small company, a memcheck
# of small planex jobs and the fuzz targets (PLANEX_FUZZ_SECONDS per target, default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# Runs ctest in a build folder, keeping its output for the summary at the end.
run_ctest() {
  local dir=$1 name=$2
  (cd "$dir" && ctest --output-on-failure -j"$jobs") 2>&1 | tee "$logs/$name.txt"
  return "${PIPESTATUS[0]}"
}

echo "== Layout (.clang-format) and clang-tidy"
bash scripts/lint.sh --tidy

echo "== Release build"
cmake --preset release >/dev/null
cmake --build build -j"$jobs"
run_ctest build release

# The Debian package: its files and dependencies, and as root install, run and purge.
bash scripts/package-test.sh build

# The README's first command on a small company: its run log must hold no error line.
PLANEX_DEMO_PERSONS=20 bash scripts/demo.sh
if grep -E '^(Error|Fehler)' demo/PLANEX.LOG; then
  echo "demo: the run log shows error lines" >&2
  exit 1
fi

bash scripts/valgrind.sh
bash scripts/fuzz.sh

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake --preset asan >/dev/null
cmake --build build-asan -j"$jobs"
# faketime preloads its library ahead of the sanitizer runtime in the processes the tests start.
export ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_ctest build-asan sanitizers

# One closing line over both test runs.
total=0
failed=0
for f in "$logs"/*.txt; do
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$f" | tail -n 1)
  [ -n "$line" ] || continue
  failed=$((failed + $(sed -E 's/.* ([0-9]+) tests failed out of.*/\1/' <<<"$line")))
  total=$((total + $(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")))
done
echo "tests: $((total - failed)) passed, $failed failed"

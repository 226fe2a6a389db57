#!/usr/bin/env bash
# Installs what is missing, checks the sources' layout (.clang-format) and clang-tidy's findings
# in planex, its tools and the embedded database (.clang-tidy), builds planex, its tools
# and the embedded database, and runs every test twice: in a Release build with warnings as
# errors, and in a build with AddressSanitizer and UndefinedBehaviorSanitizer. Between the two:
# the Debian package (built, installed, run and purged), the demo on a small company, a memcheck
# of small planex jobs and the fuzz targets (PLANEX_FUZZ_SECONDS per target, default 60).
# Every stage runs, whatever the stages before it gave; the end names the stages that failed, and
# the last line counts the tests of both runs. The exit status is 1 when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
failed_stages=()

# Runs one stage: its name, then the command. A stage that fails is noted and the next one runs.
stage() {
  local name=$1
  shift
  echo "== $name"
  if ! "$@"; then
    echo "== $name: FAILED" >&2
    failed_stages+=("$name")
  fi
}

# Runs ctest in a build folder, keeping its output for the summary at the end.
run_ctest() {
  local dir=$1 name=$2
  (cd "$dir" && ctest --output-on-failure -j"$jobs") 2>&1 | tee "$logs/$name.txt"
  return "${PIPESTATUS[0]}"
}

release_build() {
  cmake --preset release >/dev/null && cmake --build build -j"$jobs"
}

# The README's first command on a small company: its run log must hold no error line.
demo() {
  PLANEX_DEMO_PERSONS=20 bash scripts/demo.sh || return 1
  if grep -E '^(Error|Fehler)' demo/PLANEX.LOG; then
    echo "demo: the run log shows error lines" >&2
    return 1
  fi
}

asan_build() {
  cmake --preset asan >/dev/null && cmake --build build-asan -j"$jobs"
}

stage "Dependencies" bash scripts/deps.sh
stage "Layout (.clang-format) and clang-tidy" bash scripts/lint.sh --tidy
stage "Release build" release_build
stage "Release tests" run_ctest build release
# The Debian package: its files and dependencies, and as root install, run and purge.
stage "Package" bash scripts/package-test.sh build
stage "Demo" demo
stage "Valgrind" bash scripts/valgrind.sh
stage "Fuzz" bash scripts/fuzz.sh
stage "AddressSanitizer + UndefinedBehaviorSanitizer build" asan_build
# faketime preloads its library ahead of the sanitizer runtime in the processes the tests start.
export ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
stage "Sanitizer tests" run_ctest build-asan sanitizers

echo
if ((${#failed_stages[@]})); then
  echo "stages failed: ${#failed_stages[@]}"
  for s in "${failed_stages[@]}"; do echo "  $s"; done
else
  echo "stages failed: none"
fi

# One closing line over both test runs.
total=0
failed=0
for f in "$logs"/*.txt; do
  [ -e "$f" ] || continue
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$f" | tail -n 1)
  [ -n "$line" ] || continue
  failed=$((failed + $(sed -E 's/.* ([0-9]+) tests failed out of.*/\1/' <<<"$line")))
  total=$((total + $(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")))
done
echo "tests: $((total - failed)) passed, $failed failed"
if ((${#failed_stages[@]} || failed)); then exit 1; fi

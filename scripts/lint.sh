#!/usr/bin/env bash
# Checks the C++ sources: their layout against .clang-format (any difference fails), and with
# --tidy also the clang-tidy checks of .clang-tidy (faults and naming, every finding an error) over
# planex, its tools and the embedded database (whose naming rules are in tsqlite/.clang-tidy).
set -euo pipefail
cd "$(dirname "$0")/.."

files=$(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror $files; then
  echo "lint: the files above differ from .clang-format; run: git ls-files '*.cpp' '*.h' | xargs clang-format -i" >&2
  exit 1
fi
echo "lint: layout as .clang-format wants it"

if [ "${1:-}" = "--tidy" ]; then
  # The tidy preset only configures: clang-tidy needs compile_commands.json, not a build.
  cmake --preset tidy >/dev/null
  start=$(date +%s)
  out=$(run-clang-tidy -j"$(nproc)" -p build-tidy -quiet 'src/|tools/|tsqlite/' 2>/dev/null | grep -E 'warning:|error:' || true)
  if [ -n "$out" ]; then
    echo "$out" >&2
    exit 1
  fi
  echo "lint: clang-tidy finds nothing in src/, tools/ and tsqlite/ ($(($(date +%s) - start)) s)"
fi

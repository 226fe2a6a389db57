#!/usr/bin/env bash
# Checks the C++ sources: their layout against .clang-format (any difference fails), and with
# --tidy also the clang-tidy checks of .clang-tidy over planex, its tools and the embedded database.
set -euo pipefail
cd "$(dirname "$0")/.."

files=$(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror $files; then
  echo "lint: the files above differ from .clang-format; run: git ls-files '*.cpp' '*.h' | xargs clang-format -i" >&2
  exit 1
fi
echo "lint: layout as .clang-format wants it"

if [ "${1:-}" = "--tidy" ]; then
  cmake -S . -B build-tidy -DCMAKE_BUILD_TYPE=Release -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DPLANEX_TESTS=OFF >/dev/null
  cmake --build build-tidy -j"$(nproc)" >/dev/null
  out=$(run-clang-tidy -p build-tidy -quiet 'src/|tools/|tsqlite/' 2>/dev/null | grep -E 'warning:|error:' || true)
  if [ -n "$out" ]; then
    echo "$out" >&2
    exit 1
  fi
  echo "lint: clang-tidy finds nothing"
fi

# shellcheck shell=bash disable=SC2154  # build and schema are the sourcing script's
# The parts the benchmark scripts share; sourced after they have set build (the build folder) and
# schema (the client schema of the companies).

# The Release build in $build, with the targets named: bench_build TARGET...
bench_build() {
  echo "== Release build in build-bench/"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DPLANEX_BENCH=ON -DPLANEX_TESTS=OFF -DPLANEX_WERROR=OFF >/dev/null
  cmake --build "$build" -j2 --target "$@" >/dev/null
}

# A folder with its own DSN files and settings file: the DSN BENCH on a database of the embedded
# driver (DateFirst 1, and the further DSN keys given as KEY=VALUE), planex.ini naming it.
#   bench_dsn DIR DATABASE [KEY=VALUE...]
bench_dsn() {
  local dir=$1 db=$2 key
  shift 2
  mkdir -p "$dir"
  printf '[tsqlite]\nDriver = %s\n' "$build/libtsqlite.so" >"$dir/odbcinst.ini"
  {
    printf '[BENCH]\nDriver = %s\nDatabase = %s\nDateFirst = 1\n' "$build/libtsqlite.so" "$db"
    for key in "$@"; do printf '%s = %s\n' "${key%%=*}" "${key#*=}"; done
  } >"$dir/odbc.ini"
  printf 'bench\n' | "$build/planex-settings" write "$dir/planex.ini" --login bench --dsn BENCH --schema "$schema" \
    --password-stdin
}

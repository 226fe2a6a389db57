#!/usr/bin/env bash
# Measures planex-db copy and planex-db dump on a demo company after a year's planex run, and the
# dump run back into a new, empty file with planex-db sql.
#
#   bench/move.sh              companies of 2,000 and 10,000 persons
#   bench/move.sh 500 5000     other sizes
#
# For each size: planex-db init and demo (seed 1, BENCH_COLLATION, default Latin1_General_CI_AS),
# then planex (batched person step) for the year after BENCH_TODAY (default 2026-12-31 12:00:00)
# under faketime. Then, each under /usr/bin/time -v: copy into a new file, dump into a script, and
# planex-db sql of that script into a new, empty file of the same collation. The copy checks every
# table by count and checksum itself; the script checks that the file the dump made holds the same
# row counts. Rows are those of every table of QXSYSTEM and the client schema. Everything lands in
# build-bench/move/ (BENCH_BUILD: another build folder).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BENCH_BUILD:-$root/build-bench}
runs=$build/move
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(2000 10000)
today=${BENCH_TODAY:-2026-12-31 12:00:00}
year=$(( ${today:0:4} + 1 ))
schema=BENCH
collation=${BENCH_COLLATION:-Latin1_General_CI_AS}

command -v faketime >/dev/null || { echo "move.sh: faketime is missing (scripts/deps.sh)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "move.sh: /usr/bin/time is missing (scripts/deps.sh)" >&2; exit 1; }

. bench/common.sh
bench_build planex planex-db planex-settings tsqlite

# Runs a command under /usr/bin/time -v: timed NAME DIR COMMAND... Sets wall, cpu (user and system
# seconds), rss (KB); returns the command's status.
timed() {
  local name=$1 dir=$2 t0 t1 rc=0
  shift 2
  sync
  t0=$(date +%s.%N)
  /usr/bin/time -v -o "$dir/$name-time.txt" "$@" >"$dir/$name.out" 2>"$dir/$name.err" || rc=$?
  t1=$(date +%s.%N)
  wall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
  cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.2f", s }' "$dir/$name-time.txt")
  rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$dir/$name-time.txt")
  return $rc
}

db() { "$build/planex-db" --db "$@"; }
counts() { db "$1" counts --schema "$schema"; }
total() { counts "$1" | awk '{ s += $2 } END { print s }'; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", (s > 0 ? n / s : 0) }'; }
mb() { if [ -e "$1" ]; then awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", b / 1048576 }'; else echo -; fi; }

summary=()
for n in "${sizes[@]}"; do
  dir=$runs/p$n
  rm -rf "$dir"
  bench_dsn "$dir" "$dir/company.db"
  echo "== $n persons: init, demo, planex 0 $year planex.ini 0 0"
  db "$dir/company.db" --date-first 1 init --schema "$schema" --first-day "${year}0101" --collation "$collation" \
    >/dev/null
  db "$dir/company.db" demo --schema "$schema" --persons "$n" --seed 1 >/dev/null
  (cd "$dir" && ODBCSYSINI="$dir" ODBCINI="$dir/odbc.ini" PLANEX_PERSON_STEP=batched faketime "$today" \
    "$build/planex" 0 "$year" planex.ini 0 0)
  rows=$(total "$dir/company.db")

  echo "== $n persons: copy"
  timed copy "$dir" "$build/planex-db" --db "$dir/company.db" copy --schema "$schema" --to-db "$dir/copied.db"
  copy_wall=$wall copy_cpu=$cpu copy_rss=$rss
  grep -q "every table matches" "$dir/copy.out" || { echo "move.sh: the copy did not match" >&2; exit 1; }

  echo "== $n persons: dump"
  timed dump "$dir" "$build/planex-db" --db "$dir/company.db" dump --schema "$schema" --out "$dir/company.sql"
  dump_wall=$wall dump_cpu=$cpu dump_rss=$rss

  echo "== $n persons: planex-db sql of the dump into a new, empty file"
  same=same
  if timed load "$dir" "$build/planex-db" --db "$dir/dumped.db" sql "$dir/company.sql" --collation "$collation"; then
    diff -q <(counts "$dir/company.db") <(counts "$dir/dumped.db") >/dev/null || same=DIFFERENT
  else
    same="not compared: the script failed ($dir/load.err)"
  fi
  load_wall=$wall load_cpu=$cpu load_rss=$rss

  summary+=("$(printf '%6d persons  %9d rows  company %7s MB | copy %7.2f s wall %6.2f s cpu %7s rows/s %7s KB peak, file %7s MB | dump %7.2f s wall %6.2f s cpu %7s rows/s %7s KB peak, script %7s MB | sql of the dump %7.2f s wall %6.2f s cpu %7s rows/s %7s KB peak, file %s MB, row counts %s' \
    "$n" "$rows" "$(mb "$dir/company.db")" \
    "$copy_wall" "$copy_cpu" "$(rate "$rows" "$copy_wall")" "$copy_rss" "$(mb "$dir/copied.db")" \
    "$dump_wall" "$dump_cpu" "$(rate "$rows" "$dump_wall")" "$dump_rss" "$(mb "$dir/company.sql")" \
    "$load_wall" "$load_cpu" "$(rate "$rows" "$load_wall")" "$load_rss" "$(mb "$dir/dumped.db")" "$same")")
done

echo
echo "== planex-db copy and dump, year $year, $collation"
printf '%s\n' "${summary[@]}"

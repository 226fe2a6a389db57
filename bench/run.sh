#!/usr/bin/env bash
# Measures a whole planex run on the embedded database against the raw-SQLite limit.
#
#   bench/run.sh                 companies of 1,000 and 10,000 persons
#   bench/run.sh 200 2000        other sizes (the last one gives the ratio on the last line)
#
# For each size: a demo company (planex-db demo, seed 1), planex for the next full year with the
# clock pinned by faketime, then planex-limit (bench/limit) writing the same rows into a copy of
# the same company with raw SQLite prepared statements (autocommit, WAL, synchronous NORMAL, as
# the driver opens the file). Then two planex processes in parallel on the halves of the smallest
# company, each in its own folder. Everything lands in build-bench/ (Release build) and
# build-bench/runs/.
#
# Statements are counted by planex-limit, which takes the same decisions as planex statement for
# statement (one SQLExecDirect of planex = one statement of the limit); the script checks that
# both databases end with the same row counts. Cursor fetches are not counted as statements.
# BENCH_TODAY (default 2026-12-31 12:00:00) pins the clock; the year measured is the one after.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-bench
runs=$build/runs

sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000 10000)
today=${BENCH_TODAY:-2026-12-31 12:00:00}
year=$(( ${today:0:4} + 1 ))
schema=BENCH

command -v faketime >/dev/null || { echo "run.sh: faketime is missing (scripts/deps.sh)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "run.sh: /usr/bin/time is missing (scripts/deps.sh)" >&2; exit 1; }

echo "== Release build in build-bench/"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DPLANEX_BENCH=ON -DPLANEX_TESTS=OFF -DPLANEX_WERROR=OFF >/dev/null
cmake --build "$build" -j2 --target planex planex-db planex-settings tsqlite planex-limit >/dev/null

# A folder with its own DSN files and settings file, the company database in it.
setup() {
  local dir=$1 db=$2
  mkdir -p "$dir"
  cat >"$dir/odbcinst.ini" <<EOF
[tsqlite]
Driver = $build/libtsqlite.so
EOF
  cat >"$dir/odbc.ini" <<EOF
[BENCH]
Driver = $build/libtsqlite.so
Database = $db
DateFirst = 1
EOF
  printf 'bench\n' | "$build/planex-settings" write "$dir/planex.ini" --login bench --dsn BENCH --schema "$schema" \
    --password-stdin
}

# Runs planex in a folder: planex DIR PNRVON PNRBIS
planex() {
  local dir=$1
  (cd "$dir" && ODBCSYSINI="$dir" ODBCINI="$dir/odbc.ini" faketime "$today" \
    /usr/bin/time -v -o "$dir/time.txt" "$build/planex" 0 "$year" planex.ini "$2" "$3")
}

counts() { "$build/planex-db" --db "$1" --date-first 1 counts --schema "$schema"; }
now() { date +%s.%N; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", (s > 0 ? n / s : 0) }'; }

ratio=""
summary=()
declare -A walls
for n in "${sizes[@]}"; do
  dir=$runs/p$n
  rm -rf "$dir"
  setup "$dir" "$dir/company.db"
  "$build/planex-db" --db "$dir/company.db" --date-first 1 init --schema "$schema" --first-day "${year}0101" >/dev/null
  "$build/planex-db" --db "$dir/company.db" --date-first 1 demo --schema "$schema" --persons "$n" --seed 1 >/dev/null
  cp "$dir/company.db" "$dir/company0.db"

  echo "== $n persons: planex 0 $year planex.ini 0 0"
  t0=$(now)
  planex "$dir" 0 0
  t1=$(now)
  wall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
  cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.2f", s }' "$dir/time.txt")
  rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$dir/time.txt")
  errors=$(grep -c '^Error' "$dir/PLANEX.LOG" || true)

  echo "== $n persons: planex-limit"
  cp "$dir/company0.db" "$dir/limit.db"
  line=$(faketime "$today" /usr/bin/time -f '%U %S %M' -o "$dir/limit-time.txt" \
    "$build/planex-limit" "$dir/limit.db" "$schema" "$year" 0 0 1)
  stmts=$(sed -n 's/.*statements=\([0-9]*\).*/\1/p' <<<"$line")
  pdays=$(sed -n 's/.*person_days=\([0-9]*\).*/\1/p' <<<"$line")
  lsec=$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$line")
  lcpu=$(awk '{ printf "%.2f", $1 + $2 }' "$dir/limit-time.txt")
  lrss=$(awk '{ print $3 }' "$dir/limit-time.txt")
  if ! diff <(counts "$dir/company.db") <(counts "$dir/limit.db") >"$dir/counts.diff"; then
    echo "run.sh: planex and the limit wrote different rows (see $dir/counts.diff); the figures do not compare" >&2
  fi

  walls[$n]=$wall
  p_rate=$(rate "$stmts" "$wall")
  l_rate=$(rate "$stmts" "$lsec")
  ratio=$(awk -v p="$p_rate" -v l="$l_rate" 'BEGIN { printf "%.2f", (l > 0 ? p / l : 0) }')
  cpu_ratio=$(awk -v p="$cpu" -v l="$lcpu" 'BEGIN { printf "%.2f", (p > 0 ? l / p : 0) }')
  summary+=("$(printf '%6d persons  planex: %8.2f s wall %8.2f s cpu %7s person-days/s %7s statements/s %7s KB peak  | limit: %8.2f s %7s statements/s %7s KB  | ratio %s (cpu %s)  %s error lines' \
    "$n" "$wall" "$cpu" "$(rate "$pdays" "$wall")" "$p_rate" "$rss" "$lsec" "$l_rate" "$lrss" "$ratio" "$cpu_ratio" "$errors")")
  echo "   $pdays person-days, $stmts statements"
done

# Two processes on the halves of the smallest company, each in its own folder for its run log.
n=${sizes[0]}
dir=$runs/parallel$n
rm -rf "$dir"
mkdir -p "$dir"
cp "$runs/p$n/company0.db" "$dir/company.db"
half=$(( n / 2 ))
setup "$dir/a" "$dir/company.db"
setup "$dir/b" "$dir/company.db"
echo "== $n persons in two processes: 00000001..$(printf '%08d' "$half") and $(printf '%08d' $(( half + 1 )))..$(printf '%08d' "$n")"
t0=$(now)
planex "$dir/a" 00000001 "$(printf '%08d' "$half")" &
pa=$!
planex "$dir/b" "$(printf '%08d' $(( half + 1 )))" "$(printf '%08d' "$n")" &
pb=$!
wait "$pa" "$pb"
t1=$(now)
pwall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
single=${walls[$n]}
perrors=$(cat "$dir/a/PLANEX.LOG" "$dir/b/PLANEX.LOG" | grep -c '^Error' || true)
same=same
diff -q <(counts "$dir/company.db") <(counts "$runs/p$n/company.db") >/dev/null || same=different

echo
echo "== Results (year $year, clock pinned at $today)"
for s in "${summary[@]}"; do echo "$s"; done
speedup=$(awk -v a="$single" -v b="$pwall" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
printf '%6d persons  two processes: %8.2f s wall (one process: %s s, speed-up %s), %s error lines, rows %s as one process\n' \
  "$n" "$pwall" "$single" "$speedup" "$perrors" "$same"
echo "ratio planex/limit (statements per second, ${sizes[-1]} persons): $ratio"

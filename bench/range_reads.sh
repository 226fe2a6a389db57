#!/usr/bin/env bash
# Counts the instructions of the batched person step's range reads alone (the person's calendar
# days, day records, assignments with their plan rows, and schedule-assignment records: every
# statement planex runs through Db_Prepared_Rows) under each collation of a company file, with
# callgrind, which the load of a shared machine does not disturb.
#
#   bench/range_reads.sh            a demo company of 60 persons
#   bench/range_reads.sh 200        another size
#
# For each collation (BENCH_COLLATIONS, default Latin1_General_100_BIN2_UTF8 and
# Latin1_General_CI_AS): a demo company (seed 1), a first run of the year after BENCH_TODAY and a
# second run that reads every day again and adds nothing, each under callgrind with collection
# switched on inside Db_Prepared_Rows only; then the same two runs with the whole program counted.
# Uses the Release build of bench/run.sh (build-bench/, or BENCH_BUILD); output in its range/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BENCH_BUILD:-$root/build-bench}
out=$build/range
n=${1:-60}
today=${BENCH_TODAY:-2026-12-31 12:00:00}
year=$(( ${today:0:4} + 1 ))
schema=BENCH
read -r -a collations <<<"${BENCH_COLLATIONS:-Latin1_General_100_BIN2_UTF8 Latin1_General_CI_AS}"

command -v valgrind >/dev/null || { echo "range_reads.sh: valgrind is missing (scripts/deps.sh)" >&2; exit 1; }
command -v faketime >/dev/null || { echo "range_reads.sh: faketime is missing (scripts/deps.sh)" >&2; exit 1; }

. bench/common.sh
bench_build planex planex-db planex-settings tsqlite

# The instructions callgrind counted: irs FILE
irs() { awk '/^(summary|totals):/ { print $2; exit }' "$1"; }

results=()
for collation in "${collations[@]}"; do
  dir=$out/$collation
  rm -rf "$dir"
  bench_dsn "$dir" "$dir/company.db"
  "$build/planex-db" --db "$dir/company0.db" --date-first 1 init --schema "$schema" --first-day "${year}0101" \
    --collation "$collation" >/dev/null
  "$build/planex-db" --db "$dir/company0.db" --date-first 1 demo --schema "$schema" --persons "$n" --seed 1 >/dev/null
  line="$collation:"
  for scope in reads whole; do
    cp "$dir/company0.db" "$dir/company.db"
    toggle=()
    [ "$scope" = whole ] || toggle=(--toggle-collect='Db_Prepared_Rows*')
    for run in first again; do
      echo "== $n persons, $collation, $run run, $scope"
      (cd "$dir" && ODBCSYSINI="$dir" ODBCINI="$dir/odbc.ini" PLANEX_PERSON_STEP=batched faketime "$today" \
        valgrind --tool=callgrind "${toggle[@]}" --callgrind-out-file="$dir/$scope-$run.out" \
        "$build/planex" 0 "$year" planex.ini 0 0 2>"$dir/$scope-$run.err")
      line+=$(printf ' %s %s %s' "$scope" "$run" "$(irs "$dir/$scope-$run.out")")
    done
  done
  results+=("$line")
done

echo
echo "== Instructions (callgrind Ir), $n persons, year $year"
for r in "${results[@]}"; do echo "$r"; done

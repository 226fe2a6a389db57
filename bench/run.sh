#!/usr/bin/env bash
# Measures whole planex runs on the embedded database, in both person steps, against the
# raw-SQLite limit.
#
#   bench/run.sh                 companies of 1,000 and 10,000 persons
#   bench/run.sh 200 2000        other sizes
#   bench/run.sh --big 100000 1000 10000
#                                also a first run of the batched step alone on a company of 100,000
#                                persons, its time and peak memory set against the batched first
#                                run of the last size
#
# For each size: a demo company (planex-db demo, seed 1); for each person step (day by day, and
# batched) a copy of it, planex for the next full year with the clock pinned by faketime, and a
# second run that adds nothing; then planex-limit (bench/limit) writing the same rows into two more
# copies with raw SQLite prepared statements, once in autocommit mode and once with one commit per
# person. Then both steps once more on the first size with every round trip of a networked server
# delayed by BENCH_RTT_MICROS (default 500; the DSN key RoundTripMicros), and two planex processes
# in parallel on the halves of the first size. Everything lands in build-bench/ (Release build)
# and build-bench/runs/.
#
# Statements are counted, not estimated: the driver's CountFile (a DSN key) holds every statement
# planex executed, every fetch of its server cursors (the round trips beside the statements) and
# the statement texts a server would have compiled.
# The script checks that both steps end with the same rows (time stamps aside), and that the limit
# ends with as many rows.
# BENCH_TODAY (default 2026-12-31 12:00:00) pins the clock; the year measured is the one after.
# BENCH_COLLATION (default Latin1_General_CI_AS) is the collation of the company files.
# BENCH_BUILD (default build-bench/) is the build folder.
# BENCH_STEPS (default "daily batched") are the person steps measured; with batched alone the rows
# are not compared and the round-trip runs leave out the day-by-day step.
# BENCH_EXTRAS=0 leaves out the runs with a delay per round trip and the two processes.
# BENCH_LIMIT=0 leaves out planex-limit and the check of the row counts against it; person-days are
# then the day records the day-by-day step's first run added.
# BENCH_RTT_DAILY=0 leaves out the day-by-day step at BENCH_RTT_MICROS (it takes about 25 minutes
# at 1,000 persons and 0.5 ms); its time is then estimated from its counted round trips.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BENCH_BUILD:-$root/build-bench}
runs=$build/runs

big=0
if [ "${1:-}" = --big ]; then
  big=${2:?"run.sh: --big needs a number of persons"}
  shift 2
fi
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000 10000)
today=${BENCH_TODAY:-2026-12-31 12:00:00}
year=$(( ${today:0:4} + 1 ))
schema=BENCH
rtt=${BENCH_RTT_MICROS:-500}
rtt_daily=${BENCH_RTT_DAILY:-1}
collation=${BENCH_COLLATION:-Latin1_General_CI_AS}
with_limit=${BENCH_LIMIT:-1}
read -r -a steps <<<"${BENCH_STEPS:-daily batched}"
extras=${BENCH_EXTRAS:-1}

command -v faketime >/dev/null || { echo "run.sh: faketime is missing (scripts/deps.sh)" >&2; exit 1; }
command -v sqlite3 >/dev/null || { echo "run.sh: sqlite3 is missing (scripts/deps.sh)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "run.sh: /usr/bin/time is missing (scripts/deps.sh)" >&2; exit 1; }

. bench/common.sh
bench_build planex planex-db planex-settings tsqlite planex-limit

# A folder with its own DSN files and settings file, statements counted: setup DIR DATABASE
# [ROUNDTRIPMICROS]
setup() {
  bench_dsn "$1" "$2" "CountFile=$1/counts.txt" "RoundTripMicros=${3:-0}"
}

now() { date +%s.%N; }
rate() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.0f", (s > 0 ? n / s : 0) }'; }
per() { awk -v n="$1" -v d="$2" 'BEGIN { printf "%.4f", (d > 0 ? n / d : 0) }'; }
div() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }'; }

# Runs planex in a folder: run_planex DIR STEP PNRVON PNRBIS. Sets wall, cpu, rss, stmts, fetches,
# comps, errors.
run_planex() {
  local dir=$1 step=$2 t0 t1
  # The files the runs before wrote go to disk first, so that their write-back does not slow this one.
  sync
  t0=$(now)
  (cd "$dir" && ODBCSYSINI="$dir" ODBCINI="$dir/odbc.ini" PLANEX_PERSON_STEP="$step" faketime "$today" \
    /usr/bin/time -v -o "$dir/time.txt" "$build/planex" 0 "$year" planex.ini "$3" "$4")
  t1=$(now)
  wall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
  cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.2f", s }' "$dir/time.txt")
  rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$dir/time.txt")
  stmts=$(awk '/^statements/ { print $2 }' "$dir/counts.txt")
  fetches=$(awk '/^fetches/ { print $2 }' "$dir/counts.txt")
  comps=$(awk '/^compilations/ { print $2 }' "$dir/counts.txt")
  errors=$(grep -c '^Error' "$dir/PLANEX.LOG" || true)
}

# The rows of the person tables, time stamps aside, as one checksum (in byte order: the sqlite3
# shell does not know the driver's collations).
rows() {
  sqlite3 "$1" "SELECT TagPnr, TagTag, TagVon, TagUhr, TagBis, TagEnd FROM \"$schema.Qxs327Tag\" ORDER BY 1 COLLATE BINARY, 2 COLLATE BINARY;
    SELECT ZtgPnr, ZtgVon, ZtgAkr, ZtgAbt, ZtgKst, ZtgKtr, ZtgKrt, ZtgAgr, ZtgTag, ZtgBsd, ZtgVra, ZtgAzt, ZtgTtp,
      ZtgSta, ZtgPnm FROM \"$schema.Qxs329Ztg\" ORDER BY 1 COLLATE BINARY, 2 COLLATE BINARY;
    SELECT UrvPnr, UrvJhr, UrvTge FROM \"$schema.Qxs332Urv\" ORDER BY 1 COLLATE BINARY, 2 COLLATE BINARY;" | md5sum | cut -c1-12
}

# Runs planex-limit on a copy: run_limit DIR NAME [person]. Sets lsec, lrss, pdays.
run_limit() {
  local dir=$1 name=$2 line
  cp "$dir/company0.db" "$dir/$name.db"
  sync
  line=$(faketime "$today" /usr/bin/time -f '%U %S %M' -o "$dir/$name-time.txt" \
    "$build/planex-limit" "$dir/$name.db" "$schema" "$year" 0 0 1 ${3:-})
  pdays=$(sed -n 's/.*person_days=\([0-9]*\).*/\1/p' <<<"$line")
  lsec=$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$line")
  lrss=$(awk '{ print $3 }' "$dir/$name-time.txt")
}

counts() { "$build/planex-db" --db "$1" --date-first 1 counts --schema "$schema"; }
tag_rows() { counts "$1" | awk -v t="$schema.Qxs327Tag" '$1 == t { print $2 }'; }

# A demo company of N persons in DIR/company0.db: make_company DIR N
make_company() {
  rm -rf "$1"
  mkdir -p "$1"
  "$build/planex-db" --db "$1/company0.db" --date-first 1 init --schema "$schema" --first-day "${year}0101" \
    --collation "$collation" >/dev/null
  "$build/planex-db" --db "$1/company0.db" --date-first 1 demo --schema "$schema" --persons "$2" --seed 1 >/dev/null
}

summary=()
declare -A first_wall first_trips first_cpu first_rss
for n in "${sizes[@]}"; do
  dir=$runs/p$n
  make_company "$dir" "$n"

  person_sec=0
  if [ "$with_limit" != 0 ]; then
    run_limit "$dir" limit
    limit_sec=$lsec limit_rss=$lrss
    run_limit "$dir" limit-person person
    person_sec=$lsec
    summary+=("$(printf '%6d persons  limit: autocommit %8.2f s (%7s person-days/s, %s KB), one commit per person %8.2f s (%7s person-days/s)' \
      "$n" "$limit_sec" "$(rate "$pdays" "$limit_sec")" "$limit_rss" "$person_sec" "$(rate "$pdays" "$person_sec")")")
  fi

  declare -A walls=() cpus=()
  for step in "${steps[@]}"; do
    sdir=$dir/$step
    setup "$sdir" "$sdir/company.db"
    cp "$dir/company0.db" "$sdir/company.db"
    echo "== $n persons, $step: planex 0 $year planex.ini 0 0, twice"
    run_planex "$sdir" "$step" 0 0
    w1=$wall c1=$cpu r1=$rss s1=$stmts f1=$fetches k1=$comps e1=$errors
    first_trips[$n-$step]=$(( s1 + f1 ))
    first_wall[$n-$step]=$w1 first_cpu[$n-$step]=$c1 first_rss[$n-$step]=$r1
    if [ "$with_limit" = 0 ] && { [ "$step" = daily ] || [ "${steps[*]}" = batched ]; }; then
      pdays=$(( $(tag_rows "$sdir/company.db") - $(tag_rows "$dir/company0.db") ))
    fi
    run_planex "$sdir" "$step" 0 0
    walls[$step]=$w1 walls[$step-again]=$wall cpus[$step]=$c1 cpus[$step-again]=$cpu
    same=same
    [ -d "$dir/daily" ] || same="not compared"
    [ ! -d "$dir/daily" ] || [ "$(rows "$sdir/company.db")" = "$(rows "$dir/daily/company.db")" ] || same=DIFFERENT
    if [ "$with_limit" != 0 ]; then
      diff -q <(counts "$sdir/company.db") <(counts "$dir/limit.db") >/dev/null || same="$same, ROW COUNTS DIFFERENT FROM THE LIMIT"
    fi
    summary+=("$(printf '%6d persons  %-7s first run %8.2f s wall %8.2f s cpu %7s person-days/s %9s statements %7s per person-day %8s fetches %9s compilations %7s KB peak %s error lines | again %8.2f s wall %8.2f s cpu %9s statements %7s per person-day %9s compilations %s error lines | rows %s as day by day' \
      "$n" "$step" "$w1" "$c1" "$(rate "$pdays" "$w1")" "$s1" "$(per "$s1" "$pdays")" "$f1" "$k1" "$r1" "$e1" \
      "$wall" "$cpu" "$stmts" "$(per "$stmts" "$pdays")" "$comps" "$errors" "$same")")
  done
  [ -n "${walls[daily]:-}" ] || continue
  summary+=("$(printf '%6d persons  batched/daily wall: first run %s, again %s; cpu: first run %s, again %s; batched first run / limit with one commit per person: %s   (%s person-days)' \
    "$n" "$(div "${walls[batched]}" "${walls[daily]}")" "$(div "${walls[batched-again]}" "${walls[daily-again]}")" \
    "$(div "${cpus[batched]}" "${cpus[daily]}")" "$(div "${cpus[batched-again]}" "${cpus[daily-again]}")" \
    "$(div "${walls[batched]}" "$person_sec")" "$pdays")")
done

# Both steps once more on the first size, every round trip delayed as a networked server's.
n=${sizes[0]}
[ "$extras" != 0 ] || steps=()
for step in batched daily; do
  [[ " ${steps[*]} " == *" $step "* ]] || continue
  sdir=$runs/rtt$n/$step
  rm -rf "$sdir"
  setup "$sdir" "$sdir/company.db" "$rtt"
  cp "$runs/p$n/company0.db" "$sdir/company.db"
  if [ "$step" = daily ] && [ "$rtt_daily" = 0 ]; then
    # Its first run's time without delay, plus its counted round trips (statements and
    # server-cursor fetches) times the delay.
    est=$(awk -v w="${first_wall[$n-$step]}" -v t="${first_trips[$n-$step]}" -v rt="$rtt" \
      'BEGIN { printf "%.0f", w + t * rt / 1e6 }')
    summary+=("$(printf '%6d persons  %-7s at %s us per round trip: about %s s (not run; %s round trips)' \
      "$n" "$step" "$rtt" "$est" "${first_trips[$n-$step]}")")
    continue
  fi
  echo "== $n persons, $step, $rtt us per round trip"
  run_planex "$sdir" "$step" 0 0
  summary+=("$(printf '%6d persons  %-7s at %s us per round trip: %8.2f s wall, %s statements and %s server-cursor fetches, rows %s as day by day' \
    "$n" "$step" "$rtt" "$wall" "$stmts" "$fetches" \
    "$([ "$(rows "$sdir/company.db")" = "$(rows "$runs/p$n/${steps[0]}/company.db")" ] && echo same || echo DIFFERENT)")")
done

# Two processes on the halves of the first size, each in its own folder for its run log.
if [ "$extras" != 0 ]; then
  dir=$runs/parallel$n
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$runs/p$n/company0.db" "$dir/company.db"
  half=$(( n / 2 ))
  setup "$dir/a" "$dir/company.db"
  setup "$dir/b" "$dir/company.db"
  echo "== $n persons in two processes: 00000001..$(printf '%08d' "$half") and $(printf '%08d' $(( half + 1 )))..$(printf '%08d' "$n")"
  t0=$(now)
  run_planex "$dir/a" batched 00000001 "$(printf '%08d' "$half")" &
  pa=$!
  run_planex "$dir/b" batched "$(printf '%08d' $(( half + 1 )))" "$(printf '%08d' "$n")" &
  pb=$!
  wait "$pa" "$pb"
  t1=$(now)
  pwall=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
  perrors=$(cat "$dir/a/PLANEX.LOG" "$dir/b/PLANEX.LOG" | grep -c '^Error' || true)
  same=same
  [ "$(rows "$dir/company.db")" = "$(rows "$runs/p$n/batched/company.db")" ] || same=different
  summary+=("$(printf '%6d persons  batched in two processes: %8.2f s wall, %s error lines, rows %s as one process' \
    "$n" "$pwall" "$perrors" "$same")")
fi

# The batched step's first run alone on a big company, against the last size's.
if [ "$big" != 0 ]; then
  n=${sizes[-1]}
  dir=$runs/big$big
  echo "== $big persons, batched: planex 0 $year planex.ini 0 0, once"
  make_company "$dir" "$big"
  setup "$dir/batched" "$dir/batched/company.db"
  mv "$dir/company0.db" "$dir/batched/company.db"
  run_planex "$dir/batched" batched 0 0
  summary+=("$(printf '%6d persons  batched first run %8.2f s wall %8.2f s cpu %9s statements %9s compilations %7s KB peak %s error lines | against %d persons: wall %s, cpu %s, peak memory %s' \
    "$big" "$wall" "$cpu" "$stmts" "$comps" "$rss" "$errors" "$n" "$(div "$wall" "${first_wall[$n-batched]}")" \
    "$(div "$cpu" "${first_cpu[$n-batched]}")" "$(div "$rss" "${first_rss[$n-batched]}")")")
fi

echo
echo "== Results (year $year, clock pinned at $today, $collation)"
for s in "${summary[@]}"; do echo "$s"; done

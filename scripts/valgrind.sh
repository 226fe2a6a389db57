#!/usr/bin/env bash
# Runs build/planex under valgrind's memcheck on small jobs and fails on any memory error or
# definite leak. Each job runs in a fresh folder prepared by a setup function; the jobs are listed
# at the end of this file, one line each.
#
# Leaks inside the ODBC driver manager and the drivers are suppressed in scripts/valgrind.supp;
# planex's own code is never suppressed there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
planex=$root/build/planex
settings=$root/build/planex-settings
planex_db=$root/build/planex-db
freetds=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so

for bin in "$planex" "$settings" "$planex_db" "$root/build/libtsqlite.so"; do
  [ -e "$bin" ] || { echo "valgrind.sh: $bin is missing; build first" >&2; exit 1; }
done

scratch=$(mktemp -d /tmp/planex-valgrind-XXXXXX)
trap 'rm -rf "$scratch"' EXIT

# --- setups: each prepares the current folder for one kind of job --------------------------------

# Nothing: for calls that end before any settings file is read.
setup_none() { :; }

# A data source on FreeTDS's driver pointing at a port on 127.0.0.1 that refuses connections,
# and a settings file naming it.
setup_freetds() {
  [ -r "$freetds" ] || { echo "valgrind.sh: $freetds is missing (scripts/deps.sh installs tdsodbc)" >&2; return 1; }
  local port=""
  for p in 1 9 47 1433 50999; do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then port=$p; break; fi
  done
  [ -n "$port" ] || { echo "valgrind.sh: no closed port found on 127.0.0.1" >&2; return 1; }
  mkdir odbc
  printf '[FreeTDS]\nDriver=%s\n' "$freetds" >odbc/odbcinst.ini
  printf '[TDS_CLOSED]\nDriver=FreeTDS\nServer=127.0.0.1\nPort=%s\nTDS_Version=7.4\nTimeout=2\n' \
    "$port" >odbc/odbc.ini
  export ODBCSYSINI=$PWD/odbc
  echo "secret" | "$settings" write planex.ini --login planex --dsn TDS_CLOSED --schema abc_1 \
    --password-stdin
}

# A company on the embedded database: the schema, a few demo persons and a base calendar that
# begins on 1 December of this year, so that a run up to the end of the year stays small.
setup_company() {
  local year
  year=$(date +%Y)
  printf '[tsqlite]\nDriver=%s\n' "$root/build/libtsqlite.so" >odbcinst.ini
  printf '[PLANEX_VG]\nDriver=%s\nDatabase=%s\nDateFirst=1\n' "$root/build/libtsqlite.so" \
    "$PWD/company.db" >odbc.ini
  export ODBCSYSINI=$PWD
  echo "secret" | "$settings" write planex.ini --login planex --dsn PLANEX_VG --schema VG \
    --password-stdin
  "$planex_db" --db company.db --date-first 1 init --schema VG --first-day "${year}1201"
  "$planex_db" --db company.db --date-first 1 demo --schema VG --persons 3
}

# --- runner --------------------------------------------------------------------------------------

failed=0
# run_job NAME SETUP EXPECT ARGS...: prepares a folder with setup_SETUP, runs planex ARGS there
# under memcheck, and checks that the run log holds the text EXPECT, so that a job cannot pass
# by ending earlier than it was meant to.
run_job() {
  local name=$1 setup=$2 expect=$3
  shift 3
  local dir=$scratch/$name rc
  mkdir -p "$dir"
  echo "-- $name"
  set +e
  (
    set -e
    cd "$dir"
    export HOME=$dir  # keeps a user's ~/.odbc.ini and ~/.freetds.conf out of the job
    unset ODBCINI
    "setup_$setup" >/dev/null  # a failing step ends the job here (errexit), its message on stderr
    valgrind --quiet --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
      --show-leak-kinds=definite --suppressions="$root/scripts/valgrind.supp" \
      --log-file=valgrind.log "$planex" "$@" >/dev/null || { cat valgrind.log; exit 1; }
    grep -qF -- "$expect" PLANEX.LOG || { echo "PLANEX.LOG lacks: $expect"; cat PLANEX.LOG; exit 1; }
  )
  rc=$?
  set -e
  if [ "$rc" -ne 0 ]; then
    echo "FAILED: $name"
    failed=1
  fi
}

echo "== valgrind memcheck"
# Jobs: name, setup, a text the run log must hold, planex's arguments.
run_job wrong-arguments  none     "AnzParam: 2"                 0 2027
run_job connect-freetds  freetds  "Fehler(DB-Connect)! RC:-1 "  0 2027 planex.ini 0 0
run_job whole-run        company  "Aktuelles Schema: VG "       0 "$(date +%Y)" planex.ini 0 0

exit $failed

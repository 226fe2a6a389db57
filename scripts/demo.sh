#!/usr/bin/env bash
# Builds planex and runs it against a demo company on the embedded database.
#
#   scripts/demo.sh           re-creates demo/ from scratch (the default)
#   scripts/demo.sh --reuse   keeps an existing demo/demo.db and runs planex on it again
#
# PLANEX_DEMO_PERSONS sets the number of persons (default 200), PLANEX_DEMO_SEED the seed of the
# demo data (default 1). The demo uses the German weekday numbering (DATEFIRST 1).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

reuse=0
case "${1:-}" in
  "") ;;
  --reuse) reuse=1 ;;
  -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "demo.sh: unknown argument $1 (try --help)" >&2; exit 2 ;;
esac
persons=${PLANEX_DEMO_PERSONS:-200}
seed=${PLANEX_DEMO_SEED:-1}
schema=DEMO
next_year=$(( $(date +%Y) + 1 ))

echo "== Packages"
bash scripts/deps.sh

echo "== Release build"
# A demo for users: a newer compiler's new warning must not stop it (scripts/test.sh keeps
# warnings as errors). A build folder that is already configured keeps its settings, so the demo
# after scripts/test.sh reuses that build instead of compiling everything again.
if [ -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
else
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPLANEX_WERROR=OFF >/dev/null
fi
cmake --build build -j"$(nproc)" --target planex planex-settings planex-db tsqlite

demo=$root/demo
db=$demo/demo.db
planex_db=(build/planex-db --db "$db" --date-first 1)

if [ "$reuse" = 1 ] && [ -f "$db" ]; then
  echo "== Reusing the demo company in demo/ (planex goes on from where the last run ended)"
else
  if [ -e "$demo" ]; then
    echo "== Re-creating demo/ (the earlier demo is removed)"
    rm -rf "$demo"
  else
    echo "== Creating demo/"
  fi
  mkdir -p "$demo"
  cat >"$demo/odbcinst.ini" <<EOF
[tsqlite]
Description = planex embedded database
Driver = $root/build/libtsqlite.so
EOF
  cat >"$demo/odbc.ini" <<EOF
[PLANEX_DEMO]
Description = planex demo company
Driver = $root/build/libtsqlite.so
Database = $db
DateFirst = 1
EOF
  printf 'demo\n' | build/planex-settings write "$demo/planex.ini" \
    --login demo --dsn PLANEX_DEMO --schema "$schema" --password-stdin
  "${planex_db[@]}" init --schema "$schema"
  "${planex_db[@]}" demo --schema "$schema" --persons "$persons" --seed "$seed"
fi

"${planex_db[@]}" counts --schema "$schema" >"$demo/counts-before.txt"

echo "== planex 0 $next_year planex.ini 0 0   (in demo/, ODBCSYSINI=demo)"
start=$(date +%s)
(cd "$demo" && ODBCSYSINI="$demo" ODBCINI="$demo/odbc.ini" "$root/build/planex" 0 "$next_year" planex.ini 0 0)
echo "(run took $(( $(date +%s) - start )) s)"

log=$demo/PLANEX.LOG
if [ ! -f "$log" ]; then
  echo "demo.sh: planex wrote no run log" >&2
  exit 1
fi
lines=$(wc -l <"$log")
errors=$(grep -cE '^(Error|Fehler)' "$log" || true)
echo "== Run log demo/PLANEX.LOG: $lines lines, $errors error lines"
if [ "$lines" -le 12 ]; then
  cat "$log"
else
  head -n 6 "$log"
  echo "   ..."
  tail -n 6 "$log"
fi

echo "== Table counts before and after the run"
"${planex_db[@]}" counts --schema "$schema" >"$demo/counts-after.txt"
printf '%-20s %10s %10s %10s\n' table before after added
paste "$demo/counts-before.txt" "$demo/counts-after.txt" |
  awk '{ printf "%-20s %10s %10s %10s\n", $1, $2, $4, $4 - $2 }'
echo
echo "The demo is in demo/: run log PLANEX.LOG, database demo.db, settings planex.ini. Rows:"
echo "  build/planex-db --db demo/demo.db --date-first 1 sql - <<<\"SELECT PnrNum, PnrNam FROM $schema.Qxs300Pnr WHERE PnrNum <= '00000005'\""

echo "== Roster of the first 20 persons for the next 6 weeks"
"${planex_db[@]}" roster --schema "$schema" --from "$(date +%Y%m%d)" --to "$(date -d '+41 days' +%Y%m%d)" \
  --persons 00000001..00000020 --out "$demo/roster.html" >/dev/null
echo "The roster is in demo/roster.html; open it in a browser: file://$demo/roster.html"

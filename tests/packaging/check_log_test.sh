#!/usr/bin/env bash
# planex-check-log decides whether a scheduled run failed: each case is a run log and the exit
# status the check must give for it.
set -uo pipefail
check=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0

expect() {  # expect STATUS NAME LOG_TEXT [REPORT_TEXT]: with a report text, PLANEX_REPORT names it
  local want=$1 name=$2
  printf '%b' "$3" >"$dir/PLANEX.LOG"
  if [ $# -ge 4 ]; then
    printf '%b' "$4" >"$dir/report.json"
    (cd "$dir" && PLANEX_REPORT=report.json "$check" >/dev/null 2>&1)
  else
    (cd "$dir" && "$check" >/dev/null 2>&1)
  fi
  local got=$?
  if [ "$got" != "$want" ]; then
    echo "FAIL $name: status $got, want $want"
    failures=$((failures + 1))
  fi
}

expect 0 "clean run" 'Datum: 20261209\nAktuelles Schema: DEMO \nPersonen: 20\n'
expect 1 "statement error" 'Datum: 20261209\nAktuelles Schema: DEMO \nError: Bak_NewDay_Ins RC:-1\n'
expect 1 "error joined with a person" 'Datum: 20261209\nError:Tag einf\xfcgen RC:547 Person: 00000001\n'
expect 1 "connection failure" 'Datum: 20261209\nFehler(DB-Connect)! RC:-1 Name:u Pwd:**** Net:X \n'
expect 1 "wrong argument count" 'Falsche Anzahl Parameter(= 5)! AnzParam: 0\n'
expect 1 "error on the last line without line end" 'Datum: 20261209\nError: Schema ung\xc3\xbcltig'
expect 0 "error word inside a line" 'Datum: 20261209\nPerson 1: kein Error\n'
clean='Datum: 20261209\nAktuelles Schema: DEMO \n'
report() { printf '{\n  "version": "1.0.0",\n  "outcome": "%s",\n  "signal": null\n}\n' "$1"; }
expect 0 "report says ok" "$clean" "$(report ok)"
expect 1 "report says running: a killed run" "$clean" "$(report running)"
expect 1 "report says errors" "$clean" "$(report errors)"
expect 1 "interrupted run" "${clean}Error: Abbruch durch SIGTERM! Person: 00000007!\n" "$(report interrupted)"
expect 1 "empty report" "$clean" ""
rm -f "$dir/report.json"
(cd "$dir" && PLANEX_REPORT=report.json "$check" >/dev/null 2>&1)
[ $? = 1 ] || { echo "FAIL report named but missing: not reported"; failures=$((failures + 1)); }

rm -f "$dir/PLANEX.LOG" "$dir/report.json"
(cd "$dir" && "$check" >/dev/null 2>&1)
[ $? = 1 ] || { echo "FAIL missing run log: not reported"; failures=$((failures + 1)); }

# Without a report the check says that it cannot see a killed run, and keeps its status.
printf 'Datum: 20261209\n' >"$dir/PLANEX.LOG"
said=$(cd "$dir" && "$check" 2>&1 >/dev/null)
[ $? = 0 ] && grep -q 'cannot be told from a finished one' <<<"$said" ||
  { echo "FAIL no report: not said ($said)"; failures=$((failures + 1)); }
printf '%b' "$(report ok)" >"$dir/report.json"
said=$(cd "$dir" && "$check" PLANEX.LOG report.json 2>&1 >/dev/null)
[ $? = 0 ] && [ -z "$said" ] || { echo "FAIL report as argument: $said"; failures=$((failures + 1)); }
rm -f "$dir/report.json"

# The log named as argument is read, not the one of the current folder.
printf 'Error: x\n' >"$dir/other.log"
printf 'Datum: 20261209\n' >"$dir/PLANEX.LOG"
(cd "$dir" && "$check" other.log >/dev/null 2>&1)
[ $? = 1 ] || { echo "FAIL named run log: not read"; failures=$((failures + 1)); }

[ "$failures" = 0 ] && echo "all cases passed"
exit $((failures > 0))

#!/usr/bin/env bash
# Builds the Debian package in a build folder (default build/) and checks it as an operator would
# meet it: its files, its dependencies, lintian's verdict (where lintian is installed), and, as
# root on a machine where planex is not installed, a whole life cycle: apt-get install, the
# driver registered under its name, planex-db and planex run from the installed paths through a
# DSN that names the driver, the nightly service's own commands, the manual pages, then purge
# and nothing left behind.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=$(realpath "${1:-build}")
fail() { echo "package-test: $*" >&2; exit 1; }

echo "== Debian package"
rm -f "$build"/planex_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/planex_*.deb)

driver=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)/odbc/libtsqlite.so
contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
for f in /usr/bin/planex /usr/bin/planex-settings /usr/bin/planex-db "$driver" \
         /usr/share/planex/schema.sql /usr/libexec/planex/planex-check-log \
         /usr/share/man/man1/planex.1.gz /usr/share/man/man1/planex-settings.1.gz \
         /usr/share/man/man1/planex-db.1.gz /usr/share/man/man7/tsqlite.7.gz \
         /usr/share/doc/planex/README.md /usr/share/doc/planex/copyright \
         /usr/share/doc/planex/docs/operator.md /usr/share/doc/planex/docs/glossary.md \
         /usr/share/doc/planex/changelog.gz /usr/share/doc/planex/examples/planex.service \
         /usr/share/doc/planex/examples/planex.timer /usr/share/doc/planex/examples/planex-alerts.yml \
         /usr/share/doc/planex/docs/run-report.schema.json /usr/share/doc/planex/docs/monitoring.md; do
  grep -qx "$f" <<<"$contents" || fail "$f missing from the package"
done
if grep -E 'test|bench|fuzz|\.a$|\.h$' <<<"$contents"; then fail "the package holds build or test files"; fi
depends=$(dpkg-deb -f "$deb" Depends)
for d in odbcinst libodbc2 libodbcinst2 libsqlite3-0; do
  grep -qw "$d" <<<"$depends" || fail "Depends lacks $d: $depends"
done
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$deb" || fail "lintian finds fault with the package"
else
  echo "(lintian not installed: its check is skipped)"
fi
echo "package contents and dependencies: ok"

root_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || { echo "(not root: install test skipped)"; exit 0; }
  root_cmd=(sudo -n)
fi
if dpkg-query -W -f='${Status}' planex 2>/dev/null | grep -q "ok installed"; then
  echo "(planex is installed on this machine: install test skipped, it would purge it)"
  exit 0
fi

if odbcinst -q -d -n TSQLITE >/dev/null 2>&1; then
  echo "(a driver TSQLITE is registered already: install test skipped, it would change it)"
  exit 0
fi

echo "== apt-get install, run, purge"
work=$(mktemp -d)
trap '"${root_cmd[@]}" apt-get purge -y -qq planex >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
DEBIAN_FRONTEND=noninteractive "${root_cmd[@]}" apt-get install -y -qq "$deb" >/dev/null
odbcinst -q -d -n TSQLITE | grep -qx "Driver=$driver" || fail "driver TSQLITE not registered"
# Minimal images tell dpkg to leave out manual pages (path-exclude in /etc/dpkg/dpkg.cfg.d).
if grep -qs '^path-exclude=/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
  echo "(dpkg leaves out manual pages on this machine: man -w skipped)"
else
  for page in planex planex-settings planex-db tsqlite; do
    man -w "$page" >/dev/null || fail "no manual page $page"
  done
fi

cat >"$work/odbc.ini" <<INI
[PLANEX_PKG]
Driver = TSQLITE
Database = $work/company.db
DateFirst = 1
INI
export ODBCINI=$work/odbc.ini
cd "$work"
# A new database file is made by init through --db (a DSN opens only a file that exists).
/usr/bin/planex-db --db "$work/company.db" --date-first 1 init --schema PKG >/dev/null
/usr/bin/planex-db --dsn PLANEX_PKG demo --schema PKG --persons 5 >/dev/null
echo pw | /usr/bin/planex-settings write planex.ini --login pkg --dsn PLANEX_PKG --schema PKG \
  --password-stdin

# The service's commands (the unit is installed unchanged) as systemd runs them: its escapes "$$" and "%%" undone, the settings
# file of this test in place of /etc/planex/planex.ini.
unit=$src/packaging/examples/planex.service
command_of() {
  sed -n "s/^$1=//p" "$unit" | sed -e 's/\$\$/$/g' -e 's/%%/%/g' \
    -e "s|/etc/planex/planex.ini|$work/planex.ini|" -e "s|/var/lib/planex/|$work/|g"
}
# The service's environment: the run report and the metrics, here in this test's folder.
while IFS= read -r assignment; do
  export "${assignment?}"
done < <(command_of Environment | sed "s|/var/lib/prometheus/node-exporter/|$work/|")
[ "$PLANEX_REPORT" = "$work/report.json" ] && [ "$PLANEX_METRICS" = "$work/planex.prom" ] ||
  fail "the service sets no report or metrics"
sh -c "$(command_of ExecStart)"
sh -c "$(command_of ExecStartPost)" || fail "the service's check finds errors in a clean run"
python3 "$src/scripts/check-run-report.py" --schema /usr/share/doc/planex/docs/run-report.schema.json --outcome ok \
  "$PLANEX_REPORT" "$PLANEX_METRICS" || fail "the installed planex wrote a report or metrics that do not hold"
[ "$(stat -c %a "$PLANEX_METRICS")" = 644 ] || fail "the metrics are not readable by the collector"
next=$(( $(date +%Y) + 1 ))
last=$(/usr/bin/planex-db --dsn PLANEX_PKG sql - <<<"SELECT CONVERT(char(8), MAX(BakDtm), 112) AS d FROM QXSYSTEM.Qxs133Bak" | sed -n 3p)
[ "$(echo $last)" = "${next}1231" ] || fail "the service's run filled to '$last', not ${next}1231"
cp "$PLANEX_REPORT" report.ok
sed -i 's/"outcome": "ok"/"outcome": "running"/' "$PLANEX_REPORT"
if sh -c "$(command_of ExecStartPost)" 2>/dev/null; then fail "the service's check passes a killed run"; fi
mv report.ok "$PLANEX_REPORT"
echo "Error: Test RC:-1" >>PLANEX.LOG
if sh -c "$(command_of ExecStartPost)" 2>/dev/null; then fail "the service's check passes an error line"; fi
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify "$unit" "${unit%.service}.timer" || fail "systemd refuses the examples"
fi

# The operator's cron line: the schedule and user fields dropped, cron's "\%" undone.
cron=$(sed -n 's/^    30 1 \* \* \* planex //p' "$src/docs/operator.md" | sed -e 's/\\%/%/g' \
  -e "s|/etc/planex/planex.ini|$work/planex.ini|" -e "s|/var/lib/planex|$work|g")
[ -n "$cron" ] || fail "no cron line in docs/operator.md"
rm PLANEX.LOG
sh -c "$cron" || fail "the cron line fails on a clean run"
grep -q '^Aktuelles Schema: PKG' PLANEX.LOG || fail "the cron line did not run planex"
cd - >/dev/null

DEBIAN_FRONTEND=noninteractive "${root_cmd[@]}" apt-get purge -y -qq planex >/dev/null
if odbcinst -q -d -n TSQLITE >/dev/null 2>&1; then fail "driver TSQLITE still registered after purge"; fi
for f in /usr/bin/planex "$driver" /usr/share/planex /usr/share/doc/planex; do
  [ ! -e "$f" ] || fail "$f left behind after purge"
done
echo "install, run and purge: ok"

#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, where they are missing.
set -euo pipefail
packages=(cmake g++ make unixodbc unixodbc-dev odbcinst libsqlite3-dev sqlite3 libicu-dev
          libgtest-dev libgmock-dev faketime time
          clang libclang-rt-14-dev tdsodbc valgrind
          dpkg-dev file man-db python3-pyodbc clang-format clang-tidy
          nlohmann-json3-dev python3-jsonschema prometheus
          chromium)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  # Another apt (an unattended upgrade, a second terminal) may hold the dpkg lock: wait for it
  # instead of failing at once.
  lock=(-o "DPkg::Lock::Timeout=${PLANEX_APT_LOCK_SECONDS:-600}")
  "${sudo_cmd[@]}" apt-get "${lock[@]}" update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get "${lock[@]}" install -y -qq "${missing[@]}" >/dev/null
fi

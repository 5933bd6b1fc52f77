#!/usr/bin/env bash
# Installs what logdesk needs to build, run and test on Debian (run as root).
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc
  libsqlite3-dev unixodbc odbc-postgresql libsqliteodbc
  libgtest-dev libgmock-dev libbenchmark-dev
  postgresql xvfb xauth openssl
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs what is needed, builds, starts a throwaway PostgreSQL cluster and runs
# the whole test suite on SQLite and on PostgreSQL. The cluster is stopped
# whatever happens.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-packages.sh"
"$root/scripts/build.sh"
pgdir=$(mktemp -d /tmp/logdesk-pg.XXXXXX)
trap '"$root/scripts/pg-cluster.sh" stop "$pgdir"' EXIT
LOGDESK_TEST_PG=$("$root/scripts/pg-cluster.sh" start "$pgdir")
export LOGDESK_TEST_PG
export QT_QPA_PLATFORM=offscreen
cd "${LOGDESK_BUILD_DIR:-$root/build}"
ctest --output-on-failure -j"$(nproc)" --timeout 600

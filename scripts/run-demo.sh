#!/usr/bin/env bash
# Installs what is needed, builds, creates the demo database demo.db when it is
# missing and starts logdesk on it with the embedded engine ("/BDE").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-packages.sh"
"$root/scripts/build.sh"
build=${LOGDESK_BUILD_DIR:-$root/build}
cd "$root"
if [ ! -f demo.db ]; then
  "$build/tools/logdeskctl/logdeskctl" demo-db --bde --database demo.db
fi
if [ -z "${DISPLAY:-}" ] || [ -n "${LOGDESK_XVFB:-}" ]; then
  exec xvfb-run -a "$build/src/startup/logdesk" /BDE
fi
exec "$build/src/startup/logdesk" /BDE

#!/usr/bin/env bash
# A throwaway PostgreSQL cluster on loopback for the tests.
#   pg-cluster.sh start DIR   initdb in DIR, start on a free port, create the
#                             role "logdesk"; prints the LOGDESK_TEST_PG value
#   pg-cluster.sh stop DIR    stop it and remove DIR
# initdb and postgres refuse to run as root, so they run as "postgres".
set -euo pipefail
cmd=$1 dir=$2
bindir=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
as_postgres() { if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
case "$cmd" in
start)
  mkdir -p "$dir"
  [ "$(id -u)" = 0 ] && chown postgres "$dir"
  # A free port: one that nothing answers on.
  while :; do
    port=$((20000 + RANDOM % 40000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
  done
  as_postgres "$bindir/initdb" -D "$dir/data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1
  as_postgres "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
    -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c max_connections=200" start >/dev/null
  as_postgres "$bindir/psql" -h 127.0.0.1 -p "$port" -U postgres -d postgres -q \
    -c "CREATE ROLE logdesk LOGIN SUPERUSER PASSWORD 'k_vortex'" >/dev/null
  echo "host=127.0.0.1 port=$port user=logdesk password=k_vortex"
  ;;
stop)
  if [ -d "$dir/data" ]; then
    as_postgres "$bindir/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
  ;;
*) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac

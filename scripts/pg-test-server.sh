#!/usr/bin/env bash
# Starts (start DIR PORT) or stops (stop DIR) a throw-away PostgreSQL server on loopback for the
# tests. PostgreSQL refuses to run as root, so the server runs as the postgres user.
set -euo pipefail

action=$1
dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
as_pg() {
  if [ "$(id -u)" -eq 0 ]; then su postgres -s /bin/sh -c "$*"; else sh -c "$*"; fi
}

case "$action" in
  start)
    port=$3
    rm -rf "$dir"
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres "$dir"
    as_pg "'$bin/initdb' -D '$dir/data' -A trust -U postgres -E UTF8 --locale=C.UTF-8 >'$dir/initdb.log' 2>&1"
    as_pg "'$bin/pg_ctl' -D '$dir/data' -l '$dir/server.log' -w -t 60 \
      -o \"-p $port -k '$dir' -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200\" start >/dev/null"
    ;;
  stop)
    [ -d "$dir/data" ] && as_pg "'$bin/pg_ctl' -D '$dir/data' -m fast -w stop >/dev/null" || true
    rm -rf "$dir"
    ;;
  *)
    echo "usage: $0 start DIR PORT | stop DIR" >&2
    exit 2
    ;;
esac

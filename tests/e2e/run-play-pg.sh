#!/usr/bin/env bash
# Runs one play script on a fresh demo account set in a PostgreSQL database of its own, on the
# server that VEMO_TEST_PG names, and compares what it printed with the same .out file as the
# local-file run. Skipped (77) without a server.
set -uo pipefail
admin=$1
script=$2
if [ -z "${VEMO_TEST_PG:-}" ]; then
  echo "VEMO_TEST_PG is not set: no PostgreSQL test server"
  exit 77
fi
expected_out="${script%.play}.out"
expected_status=$(sed -n 's/^# exit: *\([0-9]\+\).*/\1/p' "$script" | head -1)
expected_status=${expected_status:-0}

# host, port and user of the conninfo; the database is made for this run and dropped after it.
value() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p" <<<"$VEMO_TEST_PG"; }
host=$(value host)
port=$(value port)
user=$(value user)
db="e2e_$(basename "${script%.play}")_$$"
psql_run() { psql -q -h "$host" -p "$port" -U "$user" -d postgres -c "$1" >/dev/null; }

work=$(mktemp -d)
trap 'psql_run "DROP DATABASE IF EXISTS $db" 2>/dev/null; rm -rf "$work"' EXIT
psql_run "CREATE DATABASE $db" || exit 1
"$admin" init --pg "host=$host port=$port user=$user dbname=$db" --demo >/dev/null || exit 1
"$admin" cfg set-connection --dir "$work" --pg "$host" "$port" "$db" "$user" "-" >/dev/null ||
  exit 1

"$admin" play --dir "$work" "$script" >"$work/stdout" 2>"$work/stderr"
status=$?
failed=0
if [ "$status" -ne "$expected_status" ]; then
  echo "exit status $status, expected $expected_status"
  failed=1
fi
if ! diff -u "$expected_out" "$work/stdout"; then
  failed=1
fi
if [ "$failed" -ne 0 ]; then
  echo "--- stderr"
  cat "$work/stderr"
fi
exit "$failed"

#!/usr/bin/env bash
# Runs one play script on a fresh demo account set and compares what it printed, and its exit
# status, with what the script's .out file and "# exit: N" line (default 0) expect.
set -uo pipefail
admin=$1
script=$2
expected_out="${script%.play}.out"
expected_status=$(sed -n 's/^# exit: *\([0-9]\+\).*/\1/p' "$script" | head -1)
expected_status=${expected_status:-0}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$admin" init --sqlite "$work/account.dat" --demo >/dev/null || exit 1
"$admin" cfg set-connection --dir "$work" --sqlite "$work/account.dat" >/dev/null || exit 1

"$admin" play --dir "$work" "$script" >"$work/stdout" 2>"$work/stderr"
status=$?
failed=0
if [ "$status" -ne "$expected_status" ]; then
  echo "exit status $status, expected $expected_status"
  failed=1
fi
if [ ! -f "$expected_out" ]; then
  echo "missing $expected_out"
  failed=1
elif ! diff -u "$expected_out" "$work/stdout"; then
  failed=1
fi
if [ "$failed" -ne 0 ]; then
  echo "--- stderr"
  cat "$work/stderr"
fi
exit "$failed"

#!/usr/bin/env bash
# The client update end to end: the update worker (run by vemo-admin update, with the client's
# own code) finds a newer client on the loopback update server, downloads it, starts the
# updater, and `up` puts it in place of the old client and starts it.
set -uo pipefail
admin=$1
updater=$2
server="$(dirname "$0")/../../tools/update-server/update-server.py"

work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
exe="$work/exe"
served="$work/served"
mkdir -p "$exe" "$served/files"

"$admin" init --sqlite "$exe/account.dat" --demo >/dev/null || exit 1
"$admin" cfg set-connection --dir "$exe" --sqlite "$exe/account.dat" >/dev/null || exit 1
cp "$updater" "$exe/up"
stat -c %s "$exe/up" >"$exe/up.size"
printf '#!/bin/sh\necho old > "$(dirname "$0")/started"\n' >"$exe/vemo"
chmod +x "$exe/vemo"

# The newer client: a program that says which it is, larger than the smallest accepted client.
echo '99.0.0.0' >"$served/client-version.txt"
{
  printf '#!/bin/sh\necho 99.0.0.0 > "$(dirname "$0")/started"\nexit 0\n'
  head -c 400000 /dev/zero | tr '\0' '#'
  echo
} >"$served/files/vemo"
cp "$updater" "$served/files/up"

python3 "$server" --dir "$served" --port 0 >"$work/server.log" 2>&1 &
pid=$!
for _ in $(seq 50); do
  grep -q serving "$work/server.log" 2>/dev/null && break
  sleep 0.1
done
port=$(sed -n 's/.*127.0.0.1:\([0-9]*\).*/\1/p' "$work/server.log" | head -1)
[ -n "$port" ] || { echo "the update server did not start"; cat "$work/server.log"; exit 1; }
"$admin" cfg set --dir "$exe" UPDATE DISCOVER1 "http://127.0.0.1:$port/readip.aspx" || exit 1

"$admin" update --dir "$exe" >"$work/update.log" 2>&1
for _ in $(seq 100); do
  [ -f "$exe/started" ] && break
  sleep 0.1
done
sleep 0.2
failed=0
grep -q '^client: 99.0.0.0 downloaded, updater started$' "$work/update.log" ||
  { echo "the worker did not start the updater:"; cat "$work/update.log"; failed=1; }
[ "$(cat "$exe/started" 2>/dev/null)" = "99.0.0.0" ] ||
  { echo "the new client did not start: $(cat "$exe/started" 2>/dev/null)"; failed=1; }
[ -f "$exe/vemo.previous" ] || { echo "the old client was not kept"; failed=1; }
[ ! -e "$exe/update/vemo" ] || { echo "the new client was left in update/"; failed=1; }
grep -q '^report ' "$work/server.log" || { echo "no installation report"; failed=1; }
exit "$failed"

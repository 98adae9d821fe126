#!/usr/bin/env bash
# The client update end to end: the publisher makes a key and signs the new client, its updater
# and the version answer; the update worker (run by vemo-admin update, with the client's own
# code) finds the newer client on the loopback update server, downloads it, checks it against
# the public key in cfg.ini, starts the updater, and `up` puts it in place of the old client and
# starts it. The new client is the real one: once its login shows (offscreen) it reports a
# healthy start, `up` removes the old one kept as vemo.previous and puts the signature beside
# it, and the client ends (VEMO_EXIT_WHEN_SHOWN).
set -uo pipefail
admin=$1
updater=$2
client=$3
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

# The newer client as announced by the server: the real client program, signed.
echo '99.0.0.0' >"$served/client-version.txt"
cp "$client" "$served/files/vemo"
cp "$updater" "$served/files/up"
"$admin" update keygen --out "$work" >/dev/null || exit 1
"$admin" update sign --key "$work/update.key" --version 99.0.0.0 "$served/files/vemo" \
  "$served/files/up" >/dev/null || exit 1
"$admin" update sign --key "$work/update.key" "$served/client-version.txt" >/dev/null || exit 1
"$admin" cfg set --dir "$exe" UPDATE PUBLIC_KEY "$(cat "$work/update.pub")" || exit 1

python3 "$server" --dir "$served" --port 0 >"$work/server.log" 2>&1 &
pid=$!
for _ in $(seq 50); do
  grep -q serving "$work/server.log" 2>/dev/null && break
  sleep 0.1
done
port=$(sed -n 's/.*127.0.0.1:\([0-9]*\).*/\1/p' "$work/server.log" | head -1)
[ -n "$port" ] || { echo "the update server did not start"; cat "$work/server.log"; exit 1; }
"$admin" cfg set --dir "$exe" UPDATE DISCOVER1 "http://127.0.0.1:$port/readip.aspx" || exit 1

QT_QPA_PLATFORM=offscreen VEMO_EXIT_WHEN_SHOWN=1 "$admin" update --dir "$exe" >"$work/update.log" 2>&1
# The updater puts the new client in place; the new client removes the old one once started.
for _ in $(seq 300); do
  cmp -s "$client" "$exe/vemo" && [ ! -e "$exe/vemo.previous" ] && break
  sleep 0.1
done
failed=0
grep -q '^client: 99.0.0.0 downloaded, updater started$' "$work/update.log" ||
  { echo "the worker did not start the updater:"; cat "$work/update.log"; failed=1; }
cmp -s "$client" "$exe/vemo" || { echo "the new client is not in place"; failed=1; }
[ ! -e "$exe/vemo.previous" ] || { echo "the new client did not start (the old one is still kept)"; failed=1; }
[ ! -f "$exe/started" ] || { echo "the old client was started instead"; failed=1; }
[ ! -e "$exe/update/vemo" ] || { echo "the new client was left in update/"; failed=1; }
cmp -s "$served/files/vemo.sig" "$exe/vemo.sig" || { echo "the signature is not beside the new client"; failed=1; }
[ ! -e "$exe/vemo.started" ] || { echo "the start report was left behind"; failed=1; }
grep -q '^report ' "$work/server.log" || { echo "no installation report"; failed=1; }
exit "$failed"

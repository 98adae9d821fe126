#!/usr/bin/env bash
# Sets up the machine, builds, starts the services the tests need and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

pgdir=$(mktemp -d /tmp/vemo-pg.XXXXXX)
pgport=${VEMO_TEST_PG_PORT:-55432}
cleanup() { bash "$root/scripts/pg-test-server.sh" stop "$pgdir"; }
trap cleanup EXIT
bash "$root/scripts/pg-test-server.sh" start "$pgdir" "$pgport"
export VEMO_TEST_PG="host=127.0.0.1 port=$pgport user=postgres dbname=postgres"
export QT_QPA_PLATFORM=offscreen

cd "$root/build"
ctest --output-on-failure -j 2 --timeout 600

#!/usr/bin/env bash
# Sets up the machine, builds, creates the demo account set and cfg.ini beside the client when they
# do not exist yet, and starts the client.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"

bin="$root/build/src/main"
if [ ! -f "$bin/account.dat" ]; then
  "$root/build/tools/vemo-admin/vemo-admin" init --sqlite "$bin/account.dat" --demo
fi
if [ ! -f "$bin/cfg.ini" ]; then
  "$root/build/tools/vemo-admin/vemo-admin" cfg set-connection --dir "$bin" --sqlite "$bin/account.dat"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "没有图形显示：请在桌面中运行，或用 xvfb-run -a bash scripts/run.sh 在虚拟显示中运行。" >&2
  exit 1
fi
exec "$bin/vemo"

#!/usr/bin/env bash
# Installs the built client into an empty folder and starts it there: the installed client must
# come up to its login dialog with a cfg.ini written by the installed admin tool.
#   scripts/install-check.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/vemo bin/up bin/up.size bin/vemo-admin share/applications/vemo.desktop \
         share/icons/hicolor/scalable/apps/vemo.svg share/doc/vemo/README.md; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
grep -q "^Exec=$prefix/bin/vemo$" "$prefix/share/applications/vemo.desktop" ||
  { echo "the desktop entry does not start the installed client"; exit 1; }
"$prefix/bin/vemo-admin" init --sqlite "$prefix/bin/account.dat" --demo >/dev/null
"$prefix/bin/vemo-admin" cfg set-connection --dir "$prefix/bin" --sqlite "$prefix/bin/account.dat" >/dev/null
# The client ends with 0 once its login dialog is shown.
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} VEMO_EXIT_WHEN_SHOWN=1 timeout 60 "$prefix/bin/vemo"
echo "installed client in $prefix shows its login"

#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Idempotent: packages already present are left alone, so repeated runs are quick.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc
  libgl-dev
  libsqlite3-dev libpq-dev unixodbc-dev tdsodbc
  libpugixml-dev libcurl4-openssl-dev libssl-dev libqrencode-dev libzip-dev
  libx11-dev libxtst-dev
  libgtest-dev libgmock-dev libbenchmark-dev qt6-tools-dev libqt6opengl6-dev
  libxml2-dev openssl
  clang libclang-rt-14-dev
  postgresql
  fonts-wqy-zenhei qt6-translations-l10n
  xvfb xauth openbox xdotool x11-apps imagemagick
  poppler-utils zbar-tools
  python3-openpyxl libreoffice-calc-nogui libxlsxwriter-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

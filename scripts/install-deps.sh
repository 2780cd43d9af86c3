#!/usr/bin/env bash
# The one list of packages vesk needs to build, test and run its demo.
# Installs only what is missing; uses sudo when not root.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qtbase5-dev libqt5webkit5-dev libqt5sql5-sqlite libqt5svg5 libsqlite3-dev
  python3 python3-pyftpdlib vsftpd
  openssl curl
  xvfb xauth fonts-dejavu-core
  dbus-daemon dunst trayer xdotool
)
# Only for the fuzz targets and the thumbnail benchmark's peer; a release
# without them still builds and tests.
OPTIONAL=(clang libclang-rt-dev python3-pil)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${PACKAGES[@]}"; do installed "$p" || missing+=("$p"); done
optional=()
for p in "${OPTIONAL[@]}"; do installed "$p" || optional+=("$p"); done
[ ${#missing[@]} -eq 0 ] && [ ${#optional[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
APT="$SUDO env DEBIAN_FRONTEND=noninteractive apt-get"
$APT update -q
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $APT install -y -q --no-install-recommends "${missing[@]}"
fi
for p in "${optional[@]}"; do
  $APT install -y -q --no-install-recommends "$p" || echo "Optional package $p not installed (only fuzzing and benchmarks need it)."
done

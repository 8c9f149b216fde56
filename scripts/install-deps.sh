#!/usr/bin/env bash
# Installs the Debian packages the build and the test suite need, only those missing.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config ninja-build
  qt6-base-dev libqt6opengl6-dev qt6-serialport-dev qt6-charts-dev qcoro-qt6-dev
  libsqlcipher-dev libfreexl-dev libcsv-dev
  libpq-dev postgresql
  xvfb xauth fonts-dejavu-core fonts-lohit-deva
  curl
  poppler-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  SUDO=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

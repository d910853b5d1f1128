#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# but only those that are missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev libgtk-3-dev libwebkit2gtk-4.1-dev
  libx11-dev libxtst-dev xvfb xauth imagemagick openssl python3 shared-mime-info
  dbus-daemon python3-dbusmock at-spi2-core libatspi2.0-dev
  clang libclang-rt-14-dev
  libgdk-pixbuf2.0-bin librsvg2-common desktop-file-utils appstream
  webkit2gtk-driver
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  if ! $sudo apt-get install -y --no-install-recommends "${missing[@]}"; then
    $sudo apt-get update
    $sudo apt-get install -y --no-install-recommends "${missing[@]}"
  fi
fi

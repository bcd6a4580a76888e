#!/usr/bin/env bash
# Installs what the build needs (only what is missing: the toolchain, Qt 6, fonts, Xvfb), builds the
# sanitizer preset and runs every test; the pixel tests run on Qt's offscreen platform, the
# screenshot test on a virtual X server.
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake g++ ninja-build pkg-config libsqlite3-dev zlib1g-dev libicu-dev libgtest-dev libbenchmark-dev
          qt6-base-dev qt6-qpa-plugins fonts-liberation2 xvfb xauth xdotool x11-xkb-utils sqlite3
          clang-format-14)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

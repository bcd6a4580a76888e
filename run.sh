#!/usr/bin/env bash
# Installs what is missing (with apt-get), builds the release preset, prepares the working folder
# (a database made from app/db/install_db.sql when none is there) and starts the program.
#   VELMORAT_HOME   the working folder; by default the user's data folder
set -euo pipefail
cd "$(dirname "$0")"
src="$PWD"

packages=(cmake g++ ninja-build pkg-config libsqlite3-dev zlib1g-dev libicu-dev libbenchmark-dev
          qt6-base-dev qt6-qpa-plugins fonts-liberation2 sqlite3)
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

# The application once it exists; until then the controls' test form.
if [ -f app/main.cpp ]; then target=velmorat; else target=testform; fi
cmake --preset release >/dev/null
cmake --build --preset release -j "$(( $(nproc) < 4 ? $(nproc) : 4 ))" --target "$target"

work="${VELMORAT_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/velmorat}"
mkdir -p "$work"
if [ -f app/db/install_db.sql ]; then
  cp -f app/db/install_db.sql "$work/install_db.sql"
  if [ ! -e "$work/velmorat.sdb" ]; then
    # Built aside and moved in whole, so a failed script leaves no half-made database behind.
    tmp="$work/velmorat.sdb.new"
    rm -f "$tmp"
    if ! sqlite3 -bail "$tmp" <app/db/install_db.sql; then
      rm -f "$tmp"
      echo "The database could not be made from app/db/install_db.sql" >&2
      exit 1
    fi
    mv "$tmp" "$work/velmorat.sdb"
  fi
fi

cd "$work"
exec "$src/build/release/$target" "$@"

#!/usr/bin/env bash
# Builds the release preset, prepares the working folder (a database made from app/db/install_db.sql
# when none is there) and starts the program. Packages are checked and the build configured only
# when the build folder is missing or a build fails; a start with nothing changed goes straight on.
#   VELMORAT_HOME   the working folder; by default the user's data folder
set -euo pipefail
cd "$(dirname "$0")"
src="$PWD"
build="$src/build/release"

packages=(cmake g++ ninja-build pkg-config libsqlite3-dev zlib1g-dev libicu-dev libbenchmark-dev
          qt6-base-dev qt6-qpa-plugins fonts-liberation2 sqlite3 xdg-utils)
install_missing() {
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO=sudo
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
}
set_up() {
  install_missing
  cmake --preset release >/dev/null
}
compile() {
  cmake --build --preset release -j "$(( $(nproc) < 4 ? $(nproc) : 4 ))" --target "$target"
}

# The application once it exists; until then the controls' test form.
if [ -f app/main.cpp ]; then target=velmorat; else target=testform; fi
program="$build/$target"

[ -f "$build/build.ninja" ] || set_up
# A source, folder or build file newer than the program means something changed (adding or
# removing a file touches its folder): only then is the build tool asked.
if [ ! -x "$program" ] ||
   [ -n "$(find CMakeLists.txt CMakePresets.json cmake app framework data controls testform -newer "$program" -print -quit 2>/dev/null)" ]; then
  compile || { set_up && compile; }
  touch "$program"
fi

work="${VELMORAT_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/velmorat}"
mkdir -p "$work"
if [ -f app/db/install_db.sql ]; then
  cmp -s app/db/install_db.sql "$work/install_db.sql" || cp -f app/db/install_db.sql "$work/install_db.sql"
  if [ ! -s "$work/velmorat.sdb" ]; then
    command -v sqlite3 >/dev/null || install_missing
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
exec "$program" "$@"

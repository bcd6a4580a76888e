#!/usr/bin/env bash
# The real program on a virtual X server, driven through the X server as a user would: a working
# folder with a database made from the install script and a seed; the seeded administrator logs
# in; Ctrl+O opens the inventories journal, whose sent-back row a screenshot shows pale yellow;
# Alt+F4 ends the program with status 0 and the name remembered; a second start presets it.
#   velmorat_road_test.sh PROGRAM INSTALL_SQL SCREEN_GRAB [OUT]
set -euo pipefail
program="$(realpath "$1")"
script="$2"
grab="$(realpath "$3")"
out="${4:-$PWD/velmorat_road}"
rm -rf "$out"
mkdir -p "$out"
for tool in Xvfb xdotool sqlite3; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 1; }
done

work="$out/work"
mkdir -p "$work"
cp "$script" "$work/install_db.sql"
sqlite3 -bail "$work/velmorat.sdb" <"$script"
sqlite3 -bail "$work/velmorat.sdb" <<'SQL'
INSERT INTO v_user (user_id, user_name, password, access, active) VALUES (9, 'Смирнова', 'ключ7', 3, 1);
INSERT INTO sources (id, sourcekind_id, num, source_name, source_fullname, curator_id)
  VALUES (1, 1, 1, 'Завод', 'Механический завод', 9), (2, 2, 1, 'Собрание', 'Собрание писем', 9);
INSERT INTO opisi (id, num, kind_id, source_id, reg_date, result_id, year_of)
  VALUES (1, 1, 1, 1, date('now'), 1, CAST(strftime('%Y', 'now') AS INTEGER)),
         (2, 2, 1, 2, date('now'), 2, CAST(strftime('%Y', 'now') AS INTEGER));
SQL

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>"$out/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r -t 30 display <"$fifo" || { echo "Xvfb did not start"; cat "$out/xvfb.log"; exit 1; }
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$out/runtime"; mkdir -p -m 700 "$XDG_RUNTIME_DIR"
# The sanitizers' leak report would flag the X libraries' one-off allocations.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

fail() {
  echo "velmorat_road: $*"
  exit 1
}
# The window of that title, once it is shown and has the keyboard.
window() {
  local id
  id=$(timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" | head -1) || fail "no window \"$1\""
  xdotool windowfocus --sync "$id"
  # The program takes the window's focus in its own loop, after the window system gave it.
  xdotool sleep 1
  echo "$id"
}
gone() {
  local i
  for i in $(seq 1 300); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    xdotool sleep 0.1
  done
  fail "the window \"$1\" stays"
}
# Starts the program in the working folder; its pid in $pid.
start() {
  (cd "$work" && exec "$program") >"$out/program$1.log" 2>&1 &
  pid=$!
}
finish() {
  local status=0
  timeout 60 tail --pid="$pid" -f /dev/null || fail "the program does not end"
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || { cat "$out/program$1.log"; fail "the program ended with status $status"; }
}

start 1
# The focus starts in the password; past OK and "Выход" the name comes round.
window "Вход в программу" >/dev/null
xdotool key Tab Tab Tab
xdotool type --delay 50 "Смирнова"
xdotool key Tab
xdotool type --delay 50 "ключ7"
xdotool key Return
gone "Вход в программу"
window "Вельморат" >/dev/null
xdotool key ctrl+o
window "Регистрация описей — Вельморат" >/dev/null
# The sent-back inventory's row ($00EEFFFF: red FF, green FF, blue EE) across the grid's columns.
read -r pale left top right bottom < <("$grab" "$out/inventories.png" FFFFEE) || fail "no screenshot"
[ "$pale" -gt 2000 ] && [ $((right - left)) -gt 300 ] && [ $((bottom - top)) -lt 30 ] ||
  fail "no pale-yellow row in $out/inventories.png ($pale pixels, $left,$top-$right,$bottom)"
xdotool key alt+F4
finish 1
grep -q "^LastUser=" "$work/setup.ini" || fail "no LastUser written"
[ "$(iconv -f CP1251 -t UTF-8 <"$work/setup.ini" | sed -n 's/^LastUser=//p' | tr -d '\r')" = "Смирнова" ] ||
  fail "LastUser is not the name typed"

# The second start presets the name: the password alone logs in.
start 2
window "Вход в программу" >/dev/null
xdotool key Tab Tab Tab Tab
xdotool type --delay 50 "ключ7"
xdotool key Return
gone "Вход в программу"
window "Вельморат" >/dev/null
xdotool key alt+F4
finish 2
echo "velmorat_road: logged in twice, the name remembered, the inventories journal shown with its sent-back row, Alt+F4 ended the program"

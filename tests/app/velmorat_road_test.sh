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
-- All the card asks for but the number of files and the note on the dates.
UPDATE opisi SET year_from = 1990, year_to = 2000, num_from = '1', num_to = 40, epmk_num = '3',
  epmk_date = date('now') WHERE id = 2;
SQL
# A Latin name: the X server's keymap switching loses Cyrillic letters typed into Qt's dialog.
attachment="$out/akt sverki.txt"
echo "акт" >"$attachment"

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
# Ctrl+O, again when a loaded machine lost the keys, until the inventories journal shows.
open_journal() {
  local i
  local main
  main=$(xdotool search --onlyvisible --name "^Вельморат\$" | head -1)
  for i in 1 2 3; do
    if [ "$i" -gt 1 ] && [ -n "$main" ]; then
      # Keys lost: a click on the status bar gives the window the keyboard again.
      eval "$(xdotool getwindowgeometry --shell "$main")"
      xdotool mousemove $((X + 20)) $((Y + HEIGHT - 6)) click 1 sleep 0.5
    fi
    xdotool key ctrl+o
    timeout 5 xdotool search --sync --onlyvisible --name "^Регистрация описей — Вельморат\$" >/dev/null 2>&1 && break
  done
  window "Регистрация описей — Вельморат" >/dev/null
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
open_journal
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

# The sent-back inventory's card: its number of files and a note typed, a file attached through
# the file dialog, saved.
open_journal
read -r pale left top right bottom < <("$grab" "$out/before_card.png" FFFFEE) || fail "no screenshot"
[ "$pale" -gt 0 ] || fail "no sent-back row to open"
xdotool mousemove $(((left + right) / 2)) $(((top + bottom) / 2)) click --repeat 2 --delay 100 1
card=$(window "Карточка описи")
eval "$(xdotool getwindowgeometry --shell "$card")"
# Places on the card: the group box at 8,8 holds the editors; the buttons stand along the bottom.
at() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; xdotool sleep 0.3; }
at 168 90
xdotool type --delay 50 "42"
at 168 142
xdotool type --delay 50 "Сверено по описи"
at 60 448
dialog=$(timeout 30 xdotool search --sync --onlyvisible --name "^Open\$" | head -1) || fail "no file dialog"
xdotool windowfocus --sync "$dialog"
xdotool sleep 1
xdotool key ctrl+a
xdotool type --delay 30 "$attachment"
xdotool sleep 1
xdotool key Return
# The first Return may only take the name the completer offers.
xdotool sleep 2
if xdotool search --onlyvisible --name "^Open\$" >/dev/null 2>&1; then
  "$grab" "$out/dialog.png" >/dev/null || true
  # It may have closed meanwhile.
  xdotool windowfocus --sync "$dialog" key Return 2>/dev/null || true
fi
gone "Open"
xdotool windowfocus --sync "$card"
xdotool sleep 1
at 411 448
gone "Карточка описи"
window "Регистрация описей — Вельморат" >/dev/null
"$grab" "$out/after_card.png" >/dev/null || true
xdotool key alt+F4
finish 2
row=$(sqlite3 "$work/velmorat.sdb" "SELECT units_count || '|' || note_dates || '|' || file_id FROM opisi WHERE id = 2")
[ "${row%|*}" = "42|Сверено по описи" ] || fail "the card saved \"$row\""
file_id="${row##*|}"
[ "$(sqlite3 "$work/velmorat.sdb" "SELECT file_name FROM files WHERE id = $file_id")" = "akt sverki.txt" ] ||
  fail "no files row for the attachment"
cmp -s "$attachment" "$work/files/$file_id.txt" || fail "no copy of the attachment in files/"
echo "velmorat_road: logged in twice, the name remembered, the inventories journal shown with its sent-back row, its card saved with a file, Alt+F4 ended the program"

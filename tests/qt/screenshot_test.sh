#!/usr/bin/env bash
# Drives the test form through a virtual X server as a user would, with xdotool and the Russian
# keyboard layout: types Cyrillic, double-clicks a word, Ctrl+A, Alt+letter from the edit, Shift+Tab, opens the
# combo box near the bottom and right screen edges and clicks the form's face to close it, opens the
# menu bar with Alt and the edit's popup menu with the right button. After
# each step the form writes its state and a screenshot, which testform_check checks.
#   screenshot_test.sh TESTFORM TESTFORM_CHECK [OUT]
set -euo pipefail
testform="$1"
check="$2"
out="${3:-$PWD/testform_screenshot}"
rm -rf "$out"
mkdir -p "$out"
for tool in Xvfb xdotool setxkbmap; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 1; }
done

# Xvfb picks a free display and tells it through the pipe once it accepts clients.
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>"$out/xvfb.log" &
xvfb=$!
form=""
cleanup() {
  [ -n "$form" ] && kill "$form" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -f "$fifo"
}
trap cleanup EXIT
read -r -t 30 display <"$fifo" || { echo "Xvfb did not start"; cat "$out/xvfb.log"; exit 1; }
export DISPLAY=":$display"
setxkbmap ru

# The sanitizers' leak report would flag the X libraries' one-off allocations.
export XDG_RUNTIME_DIR="$out/runtime"; mkdir -p -m 700 "$XDG_RUNTIME_DIR"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
QT_QPA_PLATFORM=xcb "$testform" --probe "$out" 2>"$out/testform.log" &
form=$!

# Waits (at most Seconds) for a file to appear, or to go when Gone is given.
wait_for() {
  local file="$1" gone="${2:-}" i
  for ((i = 0; i < 300; ++i)); do
    if [ -z "$gone" ] && [ -e "$file" ]; then return 0; fi
    if [ -n "$gone" ] && [ ! -e "$file" ]; then return 0; fi
    kill -0 "$form" 2>/dev/null || { echo "the test form ended"; cat "$out/testform.log"; exit 1; }
    sleep 0.05
  done
  echo "timed out waiting for $file"
  exit 1
}

failed=0
# Asks the form for its state and screenshot; checks them unless the step is only a look.
snap() {
  local step="$1"
  # Let the X server deliver what xdotool sent before asking.
  xdotool sleep 0.2
  touch "$out/request"
  wait_for "$out/request" gone
  mv "$out/state.txt" "$out/$step.state"
  mv "$out/screen.png" "$out/$step.png"
  if [ "${2:-}" != "look" ]; then
    "$check" "$step" "$out/$step.state" "$out/$step.png" || failed=1
  fi
}
box() { awk -v k="$2" '$1 == k { print $2, $3, $4, $5 }' "$out/$1.state"; }

wait_for "$out/ready"
snap start look
read -r ex ey ew eh < <(box start edit)
read -r cx cy cw ch < <(box start editclient)

xdotool mousemove $((ex + ew / 2)) $((ey + eh / 2)) click 1
# The form answers only once it has handled the click: typing starts in the focused edit.
snap focused look
xdotool key --delay 40 shift+Cyrillic_a Cyrillic_er Cyrillic_ha Cyrillic_i Cyrillic_ve space 7
snap typed

xdotool mousemove $((cx + 12)) $((cy + 6))
xdotool click --repeat 2 --delay 80 1
snap word

xdotool key ctrl+Cyrillic_ef
snap all

xdotool key alt+Cyrillic_zhe
snap alt

# Shift+Tab arrives from X as Qt's Backtab key and moves the focus back to the edit.
xdotool key shift+Tab
snap backtab

# The form moved so that its combo box sits at the bottom and past the right edge of the screen.
read -r fx fy fw fh < <(box start form)
read -r bx by bw bh < <(box start combo)
wid=$(xdotool search --sync --pid "$form" --name 'Вельморат' | head -n 1)
nx=$((1024 + 60 - (bx - fx) - bw))
ny=$((768 - 12 - (by - fy) - bh))
xdotool windowmove "$wid" "$nx" "$ny"
snap moved look
read -r bx by bw bh < <(box moved combo)
xdotool mousemove $((bx + 20)) $((by + bh / 2)) click 1
snap dropped

# The form's face left of the combo box.
xdotool mousemove $((bx - 8)) $((by + bh / 2)) click 1
snap closed

# Alt enters the menu bar, Down opens the first menu under it, Esc closes level by level.
xdotool key alt
snap menubar
xdotool key Down
snap menuopen
xdotool key Escape Escape
snap menuclosed

# The right button on the edit opens its popup menu at the pointer; Esc closes it.
read -r ex ey ew eh < <(box closed edit)
xdotool mousemove $((ex + 30)) $((ey + eh / 2)) click 3
snap popup
xdotool key Escape
snap popupclosed

exit $failed

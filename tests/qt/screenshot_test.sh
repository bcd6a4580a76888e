#!/usr/bin/env bash
# Starts the test form on a virtual X server, types into the edit, opens the drop-down and checks
# the screenshot: the typed Cyrillic text is drawn and the drop-down sits under the combo box.
set -euo pipefail
testform="$1"
out="${2:-$PWD/testform_screenshot}"
mkdir -p "$out"
command -v Xvfb >/dev/null || { echo "Xvfb is not installed"; exit 1; }

# Xvfb picks a free display and tells it through the pipe once it accepts clients.
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>"$out/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r -t 30 display <"$fifo" || { echo "Xvfb did not start"; cat "$out/xvfb.log"; exit 1; }

# The sanitizers' leak report would flag the X libraries' one-off allocations.
export XDG_RUNTIME_DIR="$out/runtime"; mkdir -p -m 700 "$XDG_RUNTIME_DIR"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
DISPLAY=":$display" QT_QPA_PLATFORM=xcb timeout 60 "$testform" --selftest "$out/screen.png" "$out/expect.txt"
timeout 60 "$testform" --check "$out/screen.png" "$out/expect.txt"

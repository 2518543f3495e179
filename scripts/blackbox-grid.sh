#!/usr/bin/env bash
# Black-box smoke test of the grid: starts the grid demo under Wine, drives
# it with real X input (xdotool) and reads its state from its title. Saves a
# screenshot. Needs DISPLAY and WINEPREFIX set up (scripts/test-windows.sh).
# Usage: scripts/blackbox-grid.sh BUILD_DIR ARTIFACT_DIR
set -uo pipefail
BUILD=$1
ART=$2
mkdir -p "$ART"
EXE=$(find "$BUILD" -name grid_demo.exe -print -quit)
[ -n "$EXE" ] || { echo "blackbox: grid_demo.exe not found in $BUILD" >&2; exit 1; }
LOG=$ART/grid_demo.log
passed=0
failed=0

( cd "$(dirname "$EXE")" && exec wine ./grid_demo.exe ) >"$LOG" 2>&1 &
APP=$!

check() {  # name, then a command that must succeed
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1)); echo "ok   $name"
  else
    failed=$((failed + 1)); echo "FAIL $name (title: $(xdotool getwindowname "$WID" 2>/dev/null))"
  fi
}

title_matches() {  # waits up to 5 s for the title to match the pattern
  for _ in $(seq 1 50); do
    xdotool getwindowname "$WID" 2>/dev/null | grep -Eq "$1" && return 0
    sleep 0.1
  done
  return 1
}

finish() {
  echo "blackbox: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit $?
}

WID=$(timeout 60 xdotool search --sync --onlyvisible --name '^Grid Demo' | head -1)
if [ -z "$WID" ]; then
  failed=$((failed + 1)); echo "FAIL window appears"; cat "$LOG"; finish
fi
passed=$((passed + 1)); echo "ok   window appears"
for _ in $(seq 1 50); do grep -q '^row0 ' "$LOG" && break; sleep 0.1; done
# The Windows C runtime ends its lines with CR LF.
geometry() { tr -d '\r' <"$LOG" | awk -v key="$1" '$1 == key { print $2, $3 }'; }
read -r GX GY < <(geometry grid-origin)
read -r PITCH _ < <(geometry pitch)
read -r ROW0 _ < <(geometry row0)
row_y() { echo $((GY + ROW0 + $1 * PITCH + PITCH / 2)); }

click() { xdotool mousemove --window "$WID" "$1" "$2" click 1; }

click $((GX + 150)) "$(row_y 2)"
check "click selects row 2, column 1" title_matches 'focus 2,1 .* sel 1 '
xdotool key Down
check "down arrow moves the focus" title_matches 'focus 3,1 .* sel 2 '
xdotool key Right
check "right arrow moves the focus column" title_matches 'focus 3,2 '
xdotool click 5
check "wheel toward the user pages down" title_matches 'vpos [1-9][0-9]* '
xdotool click 4
check "wheel away from the user pages up" title_matches 'vpos 0 '
xdotool mousemove --window "$WID" $((GX + 150)) "$(row_y 5)" click --repeat 2 --delay 80 1
check "double-click raises the flag" title_matches 'focus 5,1 .* dbl 1$'
# Border between column 1 (40..390) and column 2, in the header band.
xdotool mousemove --window "$WID" $((GX + 389)) $((GY + 5)) mousedown 1
sleep 0.2
xdotool mousemove --window "$WID" $((GX + 300)) $((GY + 5))
sleep 0.2
xdotool mousemove --window "$WID" $((GX + 240)) $((GY + 5)) mouseup 1
check "column border drag sets the width" title_matches 'width 200 .* rsz 1 '
click $((GX + 100)) $((GY + 5))
check "title click notifies (and sorts)" title_matches 'hdr 1 '
click $((GX + 150)) "$(row_y 1)"
check "click after sorting" title_matches 'focus 1,1 '
sleep 0.3
import -window root "$ART/grid_demo.png" 2>/dev/null
check "screenshot saved" test -s "$ART/grid_demo.png"

xdotool mousemove --window "$WID" 400 10 key alt+F4
if timeout 20 tail --pid="$APP" -f /dev/null; then
  wait "$APP"
  check "closes with exit code 0" test $? -eq 0
else
  check "closes on alt+F4" false
  kill "$APP" 2>/dev/null
fi
finish

#!/usr/bin/env bash
# Black-box test of vellum.exe under Wine: real X input (xdotool), the real
# common dialogs, folder chooser and message boxes; box and window texts read
# from outside with wintool.exe (run under the same Wine server). Saves
# screenshots into ARTIFACT_DIR. Needs DISPLAY and WINEPREFIX set up
# (scripts/test-windows.sh does that).
# Usage: scripts/blackbox-app.sh BUILD_DIR ARTIFACT_DIR
set -uo pipefail
BUILD=$(cd "$1" && pwd)
ART=$2
BIN=$BUILD/bin
mkdir -p "$ART"
for exe in vellum.exe vellumc.exe wintool.exe; do
  [ -f "$BIN/$exe" ] || { echo "blackbox-app: $BIN/$exe not found" >&2; exit 1; }
done
CORPUS=$(cd "$(dirname "$0")/../.." && pwd)/shared/corpus
# The folder chooser is driven through its tree from "/", so the scratch folder
# sits at a short path.
WORK=$(mktemp -d -t vellum-bb.XXXXXX)
LOG=$ART/vellum-app.log
passed=0
failed=0
APP=

cleanup() {
  [ -n "$APP" ] && kill "$APP" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

check() {  # name, then a command that must succeed
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1)); echo "ok   $name"
  else
    failed=$((failed + 1)); echo "FAIL $name"
  fi
}
finish() {
  echo "blackbox-app: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit $?
}

winpath() { winepath -w "$1" 2>/dev/null; }
windows() { wine "$BIN/wintool.exe" list 2>/dev/null | tr -d '\r'; }
# Waits up to 20 s for a visible top-level window with exactly this title.
has_window() {
  windows | awk -F'\t' -v t="$1" '$1 == "top" && $4 == 1 && $6 == t { f = 1 } END { exit !f }'
}
wait_window() {
  for _ in $(seq 1 100); do
    windows | awk -F'\t' -v t="$1" '$1 == "top" && $4 == 1 && $6 == t { f = 1 } END { exit !f }' && return 0
    sleep 0.2
  done
  return 1
}
gone_window() {
  for _ in $(seq 1 100); do
    windows | awk -F'\t' -v t="$1" '$1 == "top" && $4 == 1 && $6 == t { f = 1 } END { exit f }' && return 0
    sleep 0.2
  done
  return 1
}
# The texts of the children of the visible top-level window with this title.
child_texts() {
  windows | awk -F'\t' -v t="$1" '$1 == "top" { inside = ($4 == 1 && $6 == t) } $1 == "child" && inside { print $6 }'
}
child_rect() {  # TITLE CLASS: the first such child's x,y,width,height
  windows | awk -F'\t' -v t="$1" -v c="$2" '$1 == "top" { inside = ($4 == 1 && $6 == t) }
    $1 == "child" && inside && $5 == c { print $7; exit }'
}
box_says() {  # TITLE TEXT-PREFIX: a box with this title shows a text starting so
  wait_window "$1" && child_texts "$1" | grep -qF -- "$2"
}
main_window() { xdotool search --onlyvisible --name '^Vellum$' 2>/dev/null | head -1; }
focus_main() { xdotool mousemove --window "$(main_window)" 400 300; sleep 0.2; }
menu() {  # KEY DOWNS: the popup of ALT+KEY, DOWNS times down, Return
  focus_main
  xdotool key "alt+$1"; sleep 0.4
  for _ in $(seq 1 "$2"); do xdotool key Down; sleep 0.1; done
  xdotool key Return; sleep 0.3
}
# Toolbar button N (0..7): client (1 + 90 N .. , 0 .. 60); the client area starts
# at about (4, 42) of the window with Wine's own frame, caption and menu.
press_button() { xdotool mousemove --window "$(main_window)" $((50 + 90 * $1)) 72 click 1; sleep 0.3; }
answer() { xdotool key Return; sleep 0.3; }
# Types a path into the file dialog titled TITLE and confirms it.
file_dialog() {
  wait_window "$1" || return 1
  local id
  id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
  xdotool mousemove --window "$id" 200 150; sleep 0.3
  xdotool key ctrl+a
  xdotool type --delay 5 "$2"
  xdotool key Return; sleep 0.5
}
# Picks a folder in the shell's folder chooser through its tree (typing the
# names; its edit box is not used).
choose_folder() {
  wait_window "Browse for Folder" || return 1
  local id part
  id=$(xdotool search --onlyvisible --name '^Browse for Folder$' 2>/dev/null | head -1)
  xdotool mousemove --window "$id" 70 97 click 1; sleep 0.3   # the tree's Desktop item
  xdotool key Down; sleep 0.3                                  # "/"
  IFS=/ read -ra parts <<<"${1#/}"
  for part in "${parts[@]}"; do
    xdotool key Right; sleep 0.7
    xdotool type --delay 60 "$part"; sleep 0.4
  done
  xdotool key Return; sleep 0.5
}
shot() { import -window root "$ART/$1.png" 2>/dev/null; }
crop_toolbar() { import -window root -crop 730x110+0+0 "$ART/$1.png" 2>/dev/null; }
same_files() {  # FOLDER-A FOLDER-B NAME...
  local a=$1 b=$2
  shift 2
  for n in "$@"; do cmp -s "$a/$n" "$b/$n" || { echo "  differs: $n"; return 1; }; done
}

# --- the files ------------------------------------------------------------------
mkdir -p "$WORK/src/sub" "$WORK/my archives" "$WORK/here" "$WORK/big"
names=(alice29.txt html geo.protodata)
for n in "${names[@]}"; do
  if [ -f "$CORPUS/$n" ]; then cp "$CORPUS/$n" "$WORK/src/$n"; else head -c 100000 /dev/urandom | base64 >"$WORK/src/$n"; fi
done
printf 'a file in a folder\n' >"$WORK/src/sub/inner.txt"
# About 45 MB of text that codes slowly enough (many seconds under Wine, even on
# a quiet machine) for the progress window to be seen and asked several times.
head -c 34000000 /dev/urandom | base64 >"$WORK/big/large.txt"
# --best: the desktop program must read entries of any class the search chose.
(cd "$WORK/src" && wine "$BIN/vellumc.exe" -q add --best "../my archives/start.vlm" "${names[@]}") >/dev/null 2>&1
(cd "$WORK/src" && wine "$BIN/vellumc.exe" -q add ../other.vlm html) >/dev/null 2>&1
check "archives made by vellumc.exe" test -s "$WORK/my archives/start.vlm" -a -s "$WORK/other.vlm"

# --- start with a quoted archive path: the archive view, no chooser --------------
# Wine quotes an argument that holds a blank, as a shell does for a document path.
( cd "$WORK/here" && exec wine "$BIN/vellum.exe" "$(winpath "$WORK/my archives/start.vlm")" ) >"$LOG" 2>&1 &
APP=$!
if ! wait_window Vellum; then
  check "main window appears" false
  cat "$LOG"; finish
fi
check "main window appears" true
sleep 0.5
check "no folder chooser with an archive argument" \
  bash -c "! wine '$BIN/wintool.exe' list 2>/dev/null | grep -q 'Browse for Folder'"
check "main window 730 x 600 at 0,0" \
  test "$(windows | awk -F'\t' '$1 == "top" && $6 == "Vellum" { print $7; exit }')" = "0,0,730,600"
menu c 2   # Get Archive Info
check "info box counts the archive's entries" box_says Info "detected 3 files in Archive"
answer

# --- mark rows and "Extract here": the files come back next to the start folder ---
menu c 0   # Select   All
sleep 0.3
shot archive-view-marked
menu c 3   # Extract here
check "extract summary box" box_says "DECOMPRESSION COMPLETED" "Extracted 3 files "
shot summary-box
answer
check "extract here reproduces the files" same_files "$WORK/src" "$WORK/here" "${names[@]}"

# --- the About box through ALT+? and ALT+/ ----------------------------------------
focus_main
xdotool key alt+question
check "ALT+? opens the About box" box_says About " WELCOME"
shot about-box
answer
check "About box closes" gone_window About
focus_main
xdotool key alt+slash
check "ALT+/ opens the About box" wait_window About
answer

# --- open an archive through the real open dialog ---------------------------------
menu f 0   # Open Archive
file_dialog Open "$(winpath "$WORK/other.vlm")"
menu c 2
check "opened archive through the open dialog" box_says Info "detected 1 files in Archive"
answer

# --- compress a file through the real dialogs; the same bytes as vellumc.exe ------
menu f 1   # Compress single File
file_dialog Open "$(winpath "$WORK/src/alice29.txt")"
file_dialog "Save As" "$(winpath "$WORK/single.vlm")"
check "compress summary box" box_says NOTICE "Added 1 files  152089 bytes to "
answer
(cd "$WORK/src" && wine "$BIN/vellumc.exe" -q add ../reference.vlm alice29.txt) >/dev/null 2>&1
check "vellum.exe and vellumc.exe write the same archive" cmp -s "$WORK/single.vlm" "$WORK/reference.vlm"
NATIVE=$(cd "$(dirname "$0")/.." && pwd)/build/cli/vellum
if [ -x "$NATIVE" ]; then
  (cd "$WORK/src" && "$NATIVE" -q add ../native.vlm alice29.txt)
  check "vellum.exe and the Linux vellum write the same archive" cmp -s "$WORK/single.vlm" "$WORK/native.vlm"
fi

# --- resizing: the grid follows, the buttons stay ----------------------------------
# Without a window manager Wine draws the frame itself: drag its bottom-right corner.
drag() {  # FROM-X FROM-Y TO-X TO-Y, relative to the main window
  local id
  id=$(main_window)
  xdotool mousemove --window "$id" "$1" "$2"; sleep 0.2
  xdotool mousedown 1; sleep 0.2
  xdotool mousemove --window "$id" $((($1 + $3) / 2)) $((($2 + $4) / 2)); sleep 0.2
  xdotool mousemove --window "$id" "$3" "$4"; sleep 0.2
  xdotool mouseup 1; sleep 0.8
}
button_places() { windows | awk -F'\t' '$1 == "child" && $6 == "bmp2" { printf "%s ", $7 }'; }
before=$(child_rect Vellum DATAGRID)
buttons_before=$(button_places)
drag 728 598 900 700
after=$(child_rect Vellum DATAGRID)
check "resizing re-places the grid ($before -> $after)" test "$before" != "$after"
check "the eight buttons keep their places and sizes" \
  test "$(button_places)" = "$buttons_before" -a "$(echo "$buttons_before" | wc -w)" -eq 8
shot resized
drag 900 700 728 598

# --- the folder view through the Drive button and the real folder chooser ----------
press_button 3
choose_folder "$WORK/big"
sleep 0.5
shot folder-view
crop_toolbar toolbar-solid-off
press_button 6
sleep 0.3
crop_toolbar toolbar-solid-on
press_button 6
sleep 0.3

# --- a large compress: the windows stay responsive; the progress window ------------
menu c 0
press_button 0
file_dialog "Save As" "$(winpath "$WORK/big.vlm")"
check "progress window appears" wait_window "Vellum Dialog"
check "progress window: dialog class, 600 x 300 at 300,300" \
  test "$(windows | awk -F'\t' '$1 == "top" && $6 == "Vellum Dialog" { print $5, $7; exit }')" = "#32770 300,300,600,300"
# Both windows are asked, again and again while the command runs, whether they
# answer a message (the system calls a window that has not for 5 s "not
# responding"); the times go to responsive.log.
answered=0
asked=0
ask() {
  wine "$BIN/wintool.exe" responsive "$1" >>"$ART/responsive.log" 2>&1
  case $? in
    0) asked=$((asked + 1)); answered=$((answered + 1)) ;;
    1) asked=$((asked + 1)) ;;
  esac  # 2: the window has gone (the command has ended)
}
for _ in 1 2 3 4 5; do
  sleep 0.3
  has_window "Vellum Dialog" || break
  ask "Vellum Dialog"
  ask Vellum
done
check "both windows answer during the compress ($answered of $asked)" test "$answered" -eq "$asked" -a "$asked" -gt 0
if has_window "Vellum Dialog"; then shot progress-window; fi
check "large compress summary" box_says NOTICE "Added 1 files  "
answer

# --- closing ----------------------------------------------------------------------
focus_main
xdotool key alt+F4
if timeout 20 tail --pid="$APP" -f /dev/null; then
  wait "$APP"
  check "closes with exit code 0" test $? -eq 0
else
  check "closes on alt+F4" false
fi
APP=
finish

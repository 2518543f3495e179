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

DPI_SET=0
cleanup() {
  [ -n "$APP" ] && kill "$APP" 2>/dev/null
  [ "$DPI_SET" = 1 ] && wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
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
# A title: exactly this one; the main window's "Vellum" also stands for
# "Vellum - " and what the window shows.
TITLE_AWK='function is(text, t) { return text == t || (t == "Vellum" && index(text, "Vellum - ") == 1) }'
# Waits up to 20 s for a visible top-level window with this title.
has_window() {
  windows | awk -F'\t' -v t="$1" "$TITLE_AWK"' $1 == "top" && $4 == 1 && is($6, t) { f = 1 } END { exit !f }'
}
wait_window() {
  for _ in $(seq 1 100); do
    has_window "$1" && return 0
    sleep 0.2
  done
  return 1
}
gone_window() {
  for _ in $(seq 1 100); do
    has_window "$1" || return 0
    sleep 0.2
  done
  return 1
}
# The texts of the children of the visible top-level window with this title.
child_texts() {
  windows | awk -F'\t' -v t="$1" "$TITLE_AWK"' $1 == "top" { inside = ($4 == 1 && is($6, t)) } $1 == "child" && inside { print $6 }'
}
child_rect() {  # TITLE CLASS: the first such child's x,y,width,height
  windows | awk -F'\t' -v t="$1" -v c="$2" "$TITLE_AWK"' $1 == "top" { inside = ($4 == 1 && is($6, t)) }
    $1 == "child" && inside && $5 == c { print $7; exit }'
}
main_title() { windows | awk -F'\t' "$TITLE_AWK"' $1 == "top" && $4 == 1 && is($6, "Vellum") { print $6; exit }'; }
main_rect() { windows | awk -F'\t' "$TITLE_AWK"' $1 == "top" && $4 == 1 && is($6, "Vellum") { print $7; exit }'; }
# How many visible boxes with this title are up now.
count_windows() { windows | awk -F'\t' -v t="$1" '$1 == "top" && $4 == 1 && $6 == t { n++ } END { print n + 0 }'; }
box_says() {  # TITLE TEXT-PREFIX: a box with this title shows a text starting so
  wait_window "$1" && child_texts "$1" | grep -qF -- "$2"
}
main_window() { xdotool search --onlyvisible --name '^Vellum( - .*)?$' 2>/dev/null | head -1; }
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
# The screen's top left 1024 x 768, where the windows are (the screen is larger
# for the window at 144 dpi).
shot() { import -window root -crop 1024x768+0+0 "$ART/$1.png" 2>/dev/null; }
crop_toolbar() { import -window root -crop 730x110+0+0 "$ART/$1.png" 2>/dev/null; }
same_files() {  # FOLDER-A FOLDER-B NAME...
  local a=$1 b=$2
  shift 2
  for n in "$@"; do cmp -s "$a/$n" "$b/$n" || { echo "  differs: $n"; return 1; }; done
}
same_tree() { diff -r "$1" "$2" >/dev/null || { diff -r "$1" "$2" | head -5; return 1; }; }
# The first row of the grid (client 5,74 at 96 dpi, below the header): a click
# makes it the focus row, then the Select button marks it.
click_first_row() { xdotool mousemove --window "$(main_window)" 150 145 click 1; sleep 0.3; }
NATIVE=$(cd "$(dirname "$0")/.." && pwd)/build/cli/vellum
native() { "$NATIVE" "$@"; }

# --- the files ------------------------------------------------------------------
mkdir -p "$WORK/src/sub" "$WORK/my archives" "$WORK/here" "$WORK/big" "$WORK/elsewhere" "$WORK/two"
# Names in Latin, Greek, Japanese and emoji, in a folder named in two scripts.
UNI="Ελληνικά 日本語"
mkdir -p "$WORK/uni/$UNI/κάτω" "$WORK/rev" "$WORK/long-out"
printf 'latin\n' >"$WORK/uni/$UNI/café é.txt"
printf 'greek\n' >"$WORK/uni/$UNI/Ελληνικά.txt"
printf 'japanese\n' >"$WORK/uni/$UNI/日本語.txt"
printf 'emoji\n' >"$WORK/uni/$UNI/κάτω/😀 smile.txt"
# A folder tree whose deepest file lies more than 300 characters below WORK.
deep="$WORK/long/deep"
for letter in a b c d e f g h; do
  [ ${#deep} -ge $((${#WORK} + 300)) ] && break
  deep="$deep/$(printf "$letter%.0s" $(seq 1 40))-λ"
done
mkdir -p "$deep"
printf 'at the bottom\n' >"$deep/日本語.txt"
printf 'one\n' >"$WORK/two/one.txt"
printf 'two\n' >"$WORK/two/two.txt"
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
(cd "$WORK/two" && wine "$BIN/vellumc.exe" -q add --no-meta ../elsewhere/two.vlm one.txt two.txt) >/dev/null 2>&1
check "archives made by vellumc.exe" test -s "$WORK/my archives/start.vlm" -a -s "$WORK/other.vlm" -a -s "$WORK/elsewhere/two.vlm"

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
  test "$(main_rect)" = "0,0,730,600"
check "the title names the archive" test "$(main_title)" = "Vellum - start.vlm"
menu c 2   # Get Archive Info
check "info box counts the archive's entries" box_says Info "detected 3 files in Archive"
answer

# --- mark rows and "Extract here": the files come back beside the archive --------
menu c 0   # Select   All
sleep 0.3
shot archive-view-marked
menu c 3   # Extract here
check "extract summary box" box_says "DECOMPRESSION COMPLETED" "Extracted 3 files "
check "the summary names the folder beside the archive" \
  box_says "DECOMPRESSION COMPLETED" "Destination folder: $(winpath "$WORK/my archives")"
shot summary-box
answer
check "extract here reproduces the files beside the archive" same_files "$WORK/src" "$WORK/my archives" "${names[@]}"
check "nothing written into the folder the program started in" test -z "$(ls -A "$WORK/here")"

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

# --- "Extract here" after typing the full path of an archive elsewhere -------------
menu f 0   # Open Archive
file_dialog Open "$(winpath "$WORK/elsewhere/two.vlm")"
check "the title names the archive opened" test "$(main_title)" = "Vellum - two.vlm"
menu c 0
menu c 3
check "extract here after a typed path: summary" box_says "DECOMPRESSION COMPLETED" "Extracted 2 files "
answer
check "extract here after a typed path writes beside the archive" same_files "$WORK/two" "$WORK/elsewhere" one.txt two.txt
check "and nowhere else" test -z "$(ls -A "$WORK/here")"

# --- one Delete, one box ----------------------------------------------------------
click_first_row
press_button 2   # Select
shot delete-marked
press_button 5   # Delete
check "Delete shows DELETED" box_says NOTICE "DELETED"
shot deleted-box
answer
sleep 2
check "no second DELETED box" test "$(count_windows NOTICE)" = 0
if [ -x "$NATIVE" ]; then
  check "the archive holds the other entry" test "$(native list "$WORK/elsewhere/two.vlm" --json | grep -c '"file_name"')" = 1
fi

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
(cd "$WORK/src" && wine "$BIN/vellumc.exe" -q add --no-meta ../reference.vlm alice29.txt) >/dev/null 2>&1
check "vellum.exe and vellumc.exe write the same archive" cmp -s "$WORK/single.vlm" "$WORK/reference.vlm"
if [ -x "$NATIVE" ]; then
  (cd "$WORK/src" && "$NATIVE" -q add --no-meta ../native.vlm alice29.txt)
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
  ask "Vellum - *"
done
check "both windows answer during the compress ($answered of $asked)" test "$answered" -eq "$asked" -a "$asked" -gt 0
if has_window "Vellum Dialog"; then shot progress-window; fi
check "large compress summary" box_says NOTICE "Added 1 files  "
answer

# --- names in four scripts: the window compresses, Linux vellum extracts -----------
press_button 3   # Drive
choose_folder "$WORK/uni"
sleep 0.5
check "the title names the folder" test "$(main_title)" = "Vellum - $(winpath "$WORK/uni")"
shot unicode-folder-view
# Into the folder named in two scripts with Enter on its row, back with Backspace.
xdotool mousemove --window "$(main_window)" 150 162 click 1; sleep 0.3
xdotool key Return; sleep 0.5
check "Enter opens the focused folder row" test "$(main_title)" = "Vellum - $(winpath "$WORK/uni/$UNI")"
shot unicode-names
xdotool key BackSpace; sleep 0.5
check "Backspace goes to the parent folder" test "$(main_title)" = "Vellum - $(winpath "$WORK/uni")"
menu c 0
press_button 0
file_dialog "Save As" "$(winpath "$WORK/uni.vlm")"
check "compressing a folder of Unicode names" box_says NOTICE "Added 4 files  "
answer
if [ -x "$NATIVE" ]; then
  native -q extract "$WORK/uni.vlm" -o "$WORK/uni-linux"
  check "Linux vellum extracts the window's names as they were" same_tree "$WORK/uni" "$WORK/uni-linux"
  # The other way: Linux vellum compresses, the window extracts beside the archive.
  (cd "$WORK/uni" && native -q add "$WORK/rev/linux.vlm" "$UNI")
  menu f 0
  file_dialog Open "$(winpath "$WORK/rev/linux.vlm")"
  shot unicode-archive-view
  menu c 0
  menu c 3
  check "extracting Linux vellum's Unicode names: summary" box_says "DECOMPRESSION COMPLETED" "Extracted 4 files "
  answer
  check "the window extracts Linux vellum's names as they were" same_tree "$WORK/uni/$UNI" "$WORK/rev/$UNI"
  # vellumc.exe takes and prints the same names.
  (cd "$WORK/uni" && wine "$BIN/vellumc.exe" -q add "$(winpath "$WORK/rev/windows-cli.vlm")" "$UNI") >/dev/null 2>&1
  check "vellumc.exe and Linux vellum list the same names" \
    test "$(wine "$BIN/vellumc.exe" list "$(winpath "$WORK/rev/windows-cli.vlm")" 2>/dev/null | tr -d '\r' | tr '\\' /)" = \
         "$(native list "$WORK/rev/windows-cli.vlm")"
else
  echo "skip names across systems: $NATIVE is not built"
fi

# --- a path of more than 300 characters, in and out through the window ------------
press_button 3
choose_folder "$WORK/long"
sleep 0.5
menu c 0
press_button 0
file_dialog "Save As" "$(winpath "$WORK/long-out/long.vlm")"
check "compressing a 300-character path" box_says NOTICE "Added 1 files  14 bytes to "
answer
menu f 0
file_dialog Open "$(winpath "$WORK/long-out/long.vlm")"
menu c 0
menu c 3
check "extracting a 300-character path: summary" box_says "DECOMPRESSION COMPLETED" "Extracted 1 files "
answer
check "the 300-character path comes back" same_tree "$WORK/long/deep" "$WORK/long-out/deep"
if [ -x "$NATIVE" ]; then
  native -q extract "$WORK/long-out/long.vlm" -o "$WORK/long-linux"
  check "Linux vellum extracts the same long path" same_tree "$WORK/long/deep" "$WORK/long-linux/deep"
fi

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

# --- the window on a display scaled to 150 % ----------------------------------------
DPI_SET=1
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
# The command line a shell gives for a document: both paths quoted.
( cd "$WORK/here" && WINTOOL_COMMAND_LINE="\"$(winpath "$BIN/vellum.exe")\" \"$(winpath "$WORK/uni.vlm")\"" \
    wine "$BIN/wintool.exe" run ) >>"$LOG" 2>&1
if wait_window Vellum; then
  sleep 1
  check "at 144 dpi the main window is 1095 x 900" test "$(main_rect)" = "0,0,1095,900"
  check "at 144 dpi the toolbar buttons are 135 x 90" \
    test "$(windows | awk -F'\t' '$1 == "child" && $6 == "bmp2" { split($7, r, ","); print r[3] "x" r[4]; exit }')" = 135x90
  focus_main
  xdotool mousemove --window "$(main_window)" 150 220 click 1
  sleep 0.5
  import -window root -crop 1100x910+0+0 "$ART/dpi-144.png" 2>/dev/null
  focus_main
  xdotool key alt+F4
  check "closes at 144 dpi" gone_window Vellum
else
  check "main window appears at 144 dpi" false
fi
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
DPI_SET=0
finish

#!/usr/bin/env bash
# Times compressing and extracting a folder from vellum.exe's window under Wine
# (driven with xdotool, like a user), against vellumc.exe under Wine and the
# Linux vellum on the same files; asks the windows whether they answer while
# the commands run. Needs DISPLAY and WINEPREFIX (as scripts/test-windows.sh
# sets them up) and a short folder path (the folder chooser is driven through
# its tree).
# Usage: bench/desktop-timing.sh BUILD_WIN NATIVE_VELLUM FOLDER
set -uo pipefail
BIN=$(cd "$1" && pwd)/bin
NATIVE=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
SRC=$(cd "$3" && pwd)
WORK=$(mktemp -d -t vellum-time.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/in" "$WORK/out" "$WORK/native" "$WORK/wcli"
cp "$SRC"/* "$WORK/in/"
names=$(cd "$WORK/in" && ls)
now() { date +%s.%N; }
windows() { wine "$BIN/wintool.exe" list 2>/dev/null | tr -d '\r'; }
has_window() { windows | awk -F'\t' -v t="$1" '$1 == "top" && $4 == 1 && $6 == t { f = 1 } END { exit !f }'; }
wait_window() { for _ in $(seq 1 600); do has_window "$1" && return 0; sleep 0.05; done; return 1; }
box_text() { windows | awk -F'\t' -v t="$1" '$1 == "top" { i = ($4 == 1 && $6 == t) } $1 == "child" && i && $5 == "Static" && $6 != "" { print $6 }'; }
# The main window's title names what it shows: "Vellum - C:\in".
main_window() { xdotool search --onlyvisible --name '^Vellum( - .*)?$' 2>/dev/null | head -1; }
wait_main() { for _ in $(seq 1 600); do [ -n "$(main_window)" ] && return 0; sleep 0.05; done; return 1; }
focus_main() { xdotool mousemove --window "$(main_window)" 400 300; sleep 0.2; }
menu() { focus_main; xdotool key "alt+$1"; sleep 0.4; for _ in $(seq 1 "$2"); do xdotool key Down; sleep 0.1; done; xdotool key Return; }
press_button() { xdotool mousemove --window "$(main_window)" $((50 + 90 * $1)) 72 click 1; }
file_dialog() {
  wait_window "$1"; local id; id=$(xdotool search --onlyvisible --name "^$1\$" | head -1)
  xdotool mousemove --window "$id" 200 150; sleep 0.3; xdotool key ctrl+a; xdotool type --delay 5 "$2"
}
choose_folder() {
  wait_window "Browse for Folder"; local id part
  id=$(xdotool search --onlyvisible --name '^Browse for Folder$' | head -1)
  xdotool mousemove --window "$id" 70 97 click 1; sleep 0.3; xdotool key Down; sleep 0.3
  IFS=/ read -ra parts <<<"${1#/}"
  for part in "${parts[@]}"; do xdotool key Right; sleep 0.7; xdotool type --delay 60 "$part"; sleep 0.4; done
  xdotool key Return
}
# Runs until the box titled $1 shows, asking both windows whether they answer.
watch_command() {
  local t0=$1 title=$2 asked=0 answered=0
  while ! has_window "$title"; do
    if has_window "Vellum Dialog"; then
      wine "$BIN/wintool.exe" responsive "Vellum Dialog" >>"$WORK/responsive.log" 2>&1
      case $? in 0) asked=$((asked + 1)); answered=$((answered + 1)) ;; 1) asked=$((asked + 1)) ;; esac
    fi
  done
  echo "window: $(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }') s wall to the box;" \
       "progress window answered $answered of $asked (slowest $(awk '$1 == "answered" && $2 > m { m = $2 } END { print m + 0 }' "$WORK/responsive.log") ms); box: $(box_text "$title" | head -1)"
  xdotool key Return
}

echo "files: $(echo $names | wc -w), $(cat "$WORK/in"/* | wc -c) bytes"
t=$(now); (cd "$WORK/in" && "$NATIVE" -q add "$WORK/native.vlm" $names)
echo "vellum (Linux) add: $(awk -v a="$t" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }') s, $(stat -c %s "$WORK/native.vlm") bytes"
t=$(now); "$NATIVE" -q extract -o "$WORK/native" "$WORK/native.vlm"
echo "vellum (Linux) extract: $(awk -v a="$t" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }') s"
t=$(now); said=$(cd "$WORK/in" && wine "$BIN/vellumc.exe" add ../wcli.vlm $names 2>&1 | tr -d '\r' | tail -1)
echo "vellumc.exe (Wine) add: $(awk -v a="$t" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }') s with Wine's start; it says: $said"
t=$(now); said=$(cd "$WORK" && wine "$BIN/vellumc.exe" extract -o wcli wcli.vlm 2>&1 | tr -d '\r' | tail -1)
echo "vellumc.exe (Wine) extract: $(awk -v a="$t" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }') s with Wine's start; it says: $said"

( cd "$WORK" && exec wine "$BIN/vellum.exe" ) >/dev/null 2>&1 &
APP=$!
choose_folder "$WORK/in"
wait_main; sleep 1
menu c 0; sleep 0.3
press_button 0
file_dialog "Save As" "$(winepath -w "$WORK/window.vlm")"
t=$(now); xdotool key Return
echo -n "vellum.exe compress: "; watch_command "$t" NOTICE
sleep 0.5
menu f 0
file_dialog Open "$(winepath -w "$WORK/window.vlm")"; xdotool key Return; sleep 1
menu c 0; sleep 0.3
press_button 4
wait_window "Browse for Folder"
# The destination through the chooser, then the clock starts at its Return.
id=$(xdotool search --onlyvisible --name '^Browse for Folder$' | head -1)
xdotool mousemove --window "$id" 70 97 click 1; sleep 0.3; xdotool key Down; sleep 0.3
IFS=/ read -ra parts <<<"${WORK#/}/out"
for part in "${parts[@]}"; do xdotool key Right; sleep 0.7; xdotool type --delay 60 "$part"; sleep 0.4; done
t=$(now); xdotool key Return
echo -n "vellum.exe extract: "; watch_command "$t" "DECOMPRESSION COMPLETED"
focus_main; xdotool key alt+F4; wait "$APP"
cmp -s "$WORK/window.vlm" "$WORK/native.vlm" && echo "window archive = Linux vellum archive" || echo "window archive DIFFERS from the Linux one"
cmp -s "$WORK/window.vlm" "$WORK/wcli.vlm" && echo "window archive = vellumc.exe archive" || echo "window archive DIFFERS from the vellumc.exe one"
diff -r "$WORK/in" "$WORK/out" >/dev/null && echo "window extraction = originals" || echo "window extraction DIFFERS"

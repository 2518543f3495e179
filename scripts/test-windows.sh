#!/usr/bin/env bash
# Builds the Windows programs with MinGW-w64 into BUILD_DIR and runs their
# tests under Wine on a virtual X display: every GoogleTest program through
# ctest, then the black-box tests of the grid and of vellum.exe (screenshots
# in BUILD_DIR/artifacts). A fresh Wine prefix and a
# fresh display per run; both are removed on exit.
# Usage: scripts/test-windows.sh [BUILD_DIR]   (default: build-win)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-win}
ART=$BUILD/artifacts
JOBS=$(nproc 2>/dev/null || echo 2)

VELLUM_WINDOWS=1 "$ROOT/scripts/install-deps.sh"
# Fonts with Chinese, Japanese and Korean characters and with emoji, so that
# the screenshots show the names the tests use (the tests themselves compare
# what is drawn with what the system draws, whatever the fonts).
fonts=()
[ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ] || fonts+=(fonts-wqy-microhei)
[ -f /usr/share/fonts/truetype/ancient-scripts/Symbola_hint.ttf ] || fonts+=(fonts-symbola)
if [ ${#fonts[@]} -gt 0 ]; then
  SUDO=; [ "$(id -u)" = 0 ] || SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${fonts[@]}" >/dev/null ||
    echo "fonts ${fonts[*]} not installed: screenshots show boxes for those characters"
fi

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f s", b - a }'; }

t=$(now)
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$JOBS"
echo "windows build: $(since "$t")"
mkdir -p "$ART"
# The black-box tests check the window's names and long paths against the
# Linux vellum.
if [ ! -x "$ROOT/build/cli/vellum" ]; then
  t=$(now)
  cmake -S "$ROOT" -B "$ROOT/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$ROOT/build" -j"$JOBS" --target vellum
  echo "native vellum: $(since "$t")"
fi

WORK=$(mktemp -d -t vellum-win.XXXXXX)
XVFB_PID=
cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

# -displayfd: the server picks a free display and writes it once it is ready.
# Large enough for the main window at 144 dots per inch (1095 x 900).
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$WORK/display" 2>"$WORK/xvfb.log" &
XVFB_PID=$!
for _ in $(seq 1 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { echo "Xvfb did not start" >&2; cat "$WORK/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$WORK/display")"

t=$(now)
# Wine names Unix files in the locale's character set: a UTF-8 locale lets
# every name the tests use (Greek, Japanese, emoji) reach the disk.
export LC_ALL=C.UTF-8
export WINEPREFIX=$WORK/prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
wineboot -i >/dev/null 2>&1
# Without a window manager, managed windows stall 2 s on every hide/destroy.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# A new prefix does not see Wine's own fonts; metrics and glyphs need them.
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
# Characters a font lacks come from the linked fonts, as on Windows.
for face in Arial Tahoma "MS Shell Dlg" "Microsoft Sans Serif"; do
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
    /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei\0Symbola_hint.ttf,Symbola' /f >/dev/null 2>&1
done
# One server for the whole run: by default it exits a few seconds after the
# last program, and a test starting in that moment loses its connection. The
# server's helper processes are started here, writing nowhere: started by a
# test, they would keep its output pipe (and ctest waiting) open.
wineserver -w
wineserver -p
wineboot >/dev/null 2>&1 </dev/null
echo "wine prefix: $(since "$t")"

status=0
t=$(now)
(cd "$BUILD" && ctest --output-on-failure) || status=1
echo "ctest under wine: $(since "$t")"

t=$(now)
"$ROOT/scripts/blackbox-grid.sh" "$BUILD" "$ART" || status=1
echo "black-box grid: $(since "$t")"

t=$(now)
"$ROOT/scripts/blackbox-app.sh" "$BUILD" "$ART" || status=1
echo "black-box vellum.exe: $(since "$t")"
exit "$status"

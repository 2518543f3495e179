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

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f s", b - a }'; }

t=$(now)
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$JOBS"
echo "windows build: $(since "$t")"
mkdir -p "$ART"

WORK=$(mktemp -d -t vellum-win.XXXXXX)
XVFB_PID=
cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

# -displayfd: the server picks a free display and writes it once it is ready.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" 2>"$WORK/xvfb.log" &
XVFB_PID=$!
for _ in $(seq 1 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || { echo "Xvfb did not start" >&2; cat "$WORK/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$WORK/display")"

t=$(now)
export WINEPREFIX=$WORK/prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
wineboot -i >/dev/null 2>&1
# Without a window manager, managed windows stall 2 s on every hide/destroy.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# A new prefix does not see Wine's own fonts; metrics and glyphs need them.
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
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

#!/usr/bin/env bash
# Builds vellum.exe with MinGW-w64 and starts it under Wine on this Linux
# desktop, optionally with an archive to open (as a shell opens a document).
# Usage: scripts/desktop.sh [ARCHIVE]
# The Wine prefix is $WINEPREFIX when set, else build-win/wine-prefix (made on
# the first run). Needs a display (DISPLAY).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${VELLUM_WIN_BUILD:-$ROOT/build-win}
JOBS=$(nproc 2>/dev/null || echo 2)
[ -n "${DISPLAY:-}" ] || { echo "desktop.sh: no display (DISPLAY is not set)" >&2; exit 1; }
ARCHIVE=${1:-}
if [ -n "$ARCHIVE" ]; then
  [ -f "$ARCHIVE" ] || { echo "desktop.sh: $ARCHIVE: no such file" >&2; exit 1; }
  ARCHIVE=$(cd "$(dirname "$ARCHIVE")" && pwd)/$(basename "$ARCHIVE")
fi

VELLUM_WINDOWS=1 "$ROOT/scripts/install-deps.sh"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target vellum_desktop vellum wintool

export WINEPREFIX=${WINEPREFIX:-$BUILD/wine-prefix}
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
if [ ! -d "$WINEPREFIX/drive_c" ]; then
  echo "making the Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi

BIN=$BUILD/bin
cd "$BIN"
if [ -n "$ARCHIVE" ]; then
  # The exact command line a shell gives: the program's quoted path, a blank
  # and the quoted document path (wine itself would quote only paths with blanks).
  WINTOOL_COMMAND_LINE="\"$(winepath -w "$BIN/vellum.exe")\" \"$(winepath -w "$ARCHIVE")\"" \
    wine "$BIN/wintool.exe" run >/dev/null
else
  wine "$BIN/vellum.exe" &
fi
# Until the program (and anything it started in this prefix) has ended.
wineserver -w

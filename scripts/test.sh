#!/usr/bin/env bash
# Sets up and runs every test from a fresh checkout: installs what the machine
# lacks, builds natively (Release, then AddressSanitizer + UBSan) and runs the
# suites, fuzzes the archive readers for a minute, then the Windows build under Wine.
# Usage: scripts/test.sh [--native]   (--native: the native suites only)
set -euo pipefail
NATIVE_ONLY=0
case "${1:-}" in
  --native) NATIVE_ONLY=1 ;;
  "") ;;
  *) echo "usage: $0 [--native]" >&2; exit 2 ;;
esac
ROOT=$(cd "$(dirname "$0")/.." && pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

VELLUM_WINDOWS=$((1 - NATIVE_ONLY)) "$ROOT/scripts/install-deps.sh"

echo "== native build (Release)"
cmake -S "$ROOT" -B "$ROOT/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$ROOT/build" -j"$JOBS"
(cd "$ROOT/build" && ctest --output-on-failure)

echo "== native build (AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S "$ROOT" -B "$ROOT/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLUM_SANITIZE=ON >/dev/null
cmake --build "$ROOT/build-asan" -j"$JOBS"
(cd "$ROOT/build-asan" && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure)

echo "== fuzzing the archive readers (bounded; scripts/fuzz.sh SECONDS for a longer run)"
"$ROOT/scripts/fuzz.sh" "${VELLUM_FUZZ_SECONDS:-60}"

if [ "$NATIVE_ONLY" = 0 ] && [ -x "$ROOT/scripts/test-windows.sh" ]; then
  echo "== Windows build under Wine"
  "$ROOT/scripts/test-windows.sh" "$ROOT/build-win"
fi

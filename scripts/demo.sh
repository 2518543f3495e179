#!/usr/bin/env bash
# Sets up a fresh machine (installing only what it lacks), builds the vellum
# command and runs it on the sample folder that ships with the project:
# compress, list, extract into a scratch folder, compare with the originals.
# Every command is shown before it runs; the program and the archive stay in
# build-demo/ for trying further.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

VELLUM_WINDOWS=0 "$ROOT/scripts/install-deps.sh"

echo "== building vellum into build-demo/"
cmake -S "$ROOT" -B "$ROOT/build-demo" -DCMAKE_BUILD_TYPE=Release -DVELLUM_TESTS=OFF >/dev/null
cmake --build "$ROOT/build-demo" -j"$JOBS" --target vellum >/dev/null
VELLUM="$ROOT/build-demo/cli/vellum"
ARCHIVE="$ROOT/build-demo/samples.vlm"
OUT="$ROOT/build-demo/samples-out"
rm -rf "$ARCHIVE" "$OUT"

show() {
  echo "+ $*"
  "$@"
}

cd "$ROOT"
show "$VELLUM" add "$ARCHIVE" samples
show "$VELLUM" list "$ARCHIVE"
show "$VELLUM" list --entries "$ARCHIVE"
show "$VELLUM" info "$ARCHIVE"
show "$VELLUM" test "$ARCHIVE"
show "$VELLUM" extract -o "$OUT" "$ARCHIVE"

echo "+ diff -r samples $OUT/samples"
if diff -r samples "$OUT/samples"; then
  echo "demo: every sample file came back byte for byte"
else
  echo "demo: the extracted files differ from the samples" >&2
  exit 1
fi
echo
echo "program: $VELLUM"
echo "archive: $ARCHIVE (left for you: try '$VELLUM list $ARCHIVE')"

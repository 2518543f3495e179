#!/usr/bin/env bash
# Sets up a fresh machine (installing only what it lacks), builds the vellum
# command and runs it on the sample folder that ships with the project:
# compress, list, extract into a scratch folder, compare with the originals.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

VELLUM_WINDOWS=0 "$ROOT/scripts/install-deps.sh"

echo "== building vellum"
cmake -S "$ROOT" -B "$ROOT/build-demo" -DCMAKE_BUILD_TYPE=Release -DVELLUM_TESTS=OFF >/dev/null
cmake --build "$ROOT/build-demo" -j"$JOBS" --target vellum >/dev/null
VELLUM="$ROOT/build-demo/cli/vellum"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ARCHIVE="$WORK/samples.vlm"

echo "== vellum add $ARCHIVE samples"
"$VELLUM" add "$ARCHIVE" "$ROOT/samples"
echo "== vellum list"
"$VELLUM" list --entries "$ARCHIVE"
echo "== vellum info"
"$VELLUM" info "$ARCHIVE"
echo "== vellum extract -o $WORK/out"
"$VELLUM" extract -o "$WORK/out" "$ARCHIVE"

echo "== comparing"
if diff -r "$ROOT/samples" "$WORK/out/samples"; then
  echo "demo: every sample file came back byte for byte"
else
  echo "demo: the extracted files differ from the samples" >&2
  exit 1
fi

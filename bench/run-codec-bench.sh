#!/usr/bin/env bash
# Builds the codec benchmark (Release, in build-bench) and runs it on the corpus
# or on the folder given; the report goes to stdout and to bench/reports/codec.md.
#   bench/run-codec-bench.sh [--runs N] [--block MIB] [--no-tools] [FOLDER]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build-bench"
REPORT="$ROOT/bench/reports/codec.md"

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVELLUM_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target codec_bench -j2 >/dev/null

mkdir -p "$(dirname "$REPORT")"
{
  echo "# Codec benchmark"
  echo
  dirty=""
  git -C "$ROOT" diff --quiet HEAD -- codec archive platform cli 2>/dev/null || dirty=" (with uncommitted changes)"
  echo "$(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$ROOT" rev-parse --short HEAD)$dirty."
  echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'),"
  echo "load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)."
  echo
  "$BUILD/bench/codec_bench" "$@"
} | tee "$REPORT.tmp"
mv "$REPORT.tmp" "$REPORT"
echo "report: bench/reports/codec.md" >&2

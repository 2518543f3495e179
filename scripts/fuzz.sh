#!/usr/bin/env bash
# Builds the libFuzzer harness over the archive readers (clang, AddressSanitizer +
# UndefinedBehaviorSanitizer) and runs it for SECONDS (default 60) from the seed
# corpus in fuzz/corpus, with the format's dictionary. New inputs it finds are
# kept in build-fuzz/corpus for the next run; a crash, hang (10 s per input) or
# sanitizer report stops it with a failing status and leaves the input in
# build-fuzz/artifacts.
#   scripts/fuzz.sh          # the bounded run CI makes
#   scripts/fuzz.sh 3600     # a longer run
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUN_SECONDS=${1:-60}
BUILD=${VELLUM_FUZZ_BUILD:-$ROOT/build-fuzz}
JOBS=$(nproc 2>/dev/null || echo 2)

command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed" >&2; exit 2; }
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELLUM_FUZZ=ON -DVELLUM_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target archive_fuzzer >/dev/null
mkdir -p "$BUILD/corpus" "$BUILD/artifacts"

# Every input is written and extracted as files: memory-backed when there is one.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

LOG="$BUILD/fuzz.log"
status=0
"$BUILD/fuzz/archive_fuzzer" -max_total_time="$RUN_SECONDS" -timeout=10 -rss_limit_mb=2048 \
  -dict="$ROOT/fuzz/archive.dict" -print_final_stats=1 -artifact_prefix="$BUILD/artifacts/" \
  "$BUILD/corpus" "$ROOT/fuzz/corpus" >"$LOG" 2>&1 || status=$?
grep -E '^(stat::|INFO: seed corpus|Done )|ERROR|SUMMARY|runtime error|written outside' "$LOG" || true
echo "fuzz: status $status; artifacts: $(ls "$BUILD/artifacts" | wc -l); log: $LOG"
exit "$status"

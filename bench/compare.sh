#!/usr/bin/env bash
# Compares the vellum command (normal and solid) with general-purpose compressors
# on one folder: archive size, compress and decompress times and speeds, peak
# memory (max RSS), and a checked round trip for every method. The markdown
# table goes to stdout and to bench/reports/compare.md.
#
#   bench/compare.sh [FOLDER]          default: ../shared/corpus beside the checkout
#
# Environment: RUNS (default 3; times are the best run), VELLUM (a vellum binary;
# by default it is built in build-bench).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build-bench"
REPORT="$ROOT/bench/reports/compare.md"
RUNS=${RUNS:-3}
SRC=$(cd "${1:-$ROOT/../shared/corpus}" && pwd)
PARENT=$(dirname "$SRC")
NAME=$(basename "$SRC")
TIME=/usr/bin/time

[ -x "$TIME" ] || { echo "compare.sh: $TIME is missing (package: time)" >&2; exit 1; }

if [ -z "${VELLUM:-}" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVELLUM_TESTS=OFF >/dev/null
  if cmake --build "$BUILD" --target vellum -j2 >/dev/null 2>&1; then
    VELLUM=$(find "$BUILD" -type f -name vellum -perm -u+x | head -1)
  fi
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
INPUT_BYTES=$(find "$SRC" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
NOTES=()
FAILED=0

# Runs a shell command RUNS times under /usr/bin/time; sets BEST_S (best wall
# time, seconds) and PEAK_KB (largest max RSS of the process tree seen, KiB).
# `prepare` runs untimed before each run.
measure() {
  local prepare=$1 command=$2 i start end ns kb best_ns=""
  PEAK_KB=0
  for ((i = 0; i < RUNS; i++)); do
    bash -c "$prepare"
    start=$(date +%s%N)
    if ! "$TIME" -f %M -o "$WORK/rss" bash -c "$command" >"$WORK/out.log" 2>&1; then
      echo "compare.sh: failed: $command" >&2
      cat "$WORK/out.log" >&2
      return 1
    fi
    end=$(date +%s%N)
    ns=$((end - start))
    kb=$(tail -1 "$WORK/rss")
    if [ "$kb" -gt "$PEAK_KB" ]; then PEAK_KB=$kb; fi
    if [ -z "$best_ns" ] || [ "$ns" -lt "$best_ns" ]; then best_ns=$ns; fi
  done
  BEST_S=$(awk -v n="$best_ns" 'BEGIN { printf "%.3f", n / 1e9 }')
}

mbps() { awk -v b="$INPUT_BYTES" -v s="$1" 'BEGIN { if (s > 0) printf "%.2f", b / 1e6 / s; else print "—" }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

ROWS=()
# One method: its label, the archive file, the compress command, and the command
# that extracts the archive into $OUT (both run in the folder above the source,
# so archives hold relative names).
run_method() {
  local label=$1 archive=$2 pack=$3 unpack=$4 size c_s c_kb d_s d_kb check tree
  export ARC="$WORK/$archive" OUT="$WORK/out" SRCNAME="$NAME"
  if ! measure "rm -f \"\$ARC\"" "cd \"$PARENT\" && $pack"; then
    ROWS+=("| $label | — | — | — | — | — | — | — | — | compress failed |"); FAILED=1; return
  fi
  c_s=$BEST_S; c_kb=$PEAK_KB
  size=$(stat -c %s "$ARC")
  if ! measure "rm -rf \"\$OUT\" && mkdir -p \"\$OUT\"" "cd \"\$OUT\" && $unpack"; then
    ROWS+=("| $label | $size | — | $c_s | — | — | — | $(mib "$c_kb") | — | extract failed |"); FAILED=1; return
  fi
  d_s=$BEST_S; d_kb=$PEAK_KB
  # The extracted tree is the source's name below OUT, or OUT itself.
  tree="$OUT/$NAME"; [ -d "$tree" ] || tree=$OUT
  if diff -r "$SRC" "$tree" >"$WORK/diff.log" 2>&1; then check=identical; else check="DIFFERS"; FAILED=1; fi
  ROWS+=("| $label | $size | $(awk -v a="$size" -v b="$INPUT_BYTES" 'BEGIN { printf "%.3f", 8 * a / b }') | $c_s | $d_s | $(mbps "$c_s") | $(mbps "$d_s") | $(mib "$c_kb") | $(mib "$d_kb") | $check |")
}

have() { command -v "$1" >/dev/null 2>&1; }

if [ -n "${VELLUM:-}" ] && [ -x "$VELLUM" ]; then
  export VELLUM
  run_method "vellum (normal)" normal.vlm '"$VELLUM" add -q "$ARC" "$SRCNAME"' '"$VELLUM" extract -q "$ARC" -o "$OUT"'
  run_method "vellum --solid" solid.vlm '"$VELLUM" add -q --solid "$ARC" "$SRCNAME"' '"$VELLUM" extract -q "$ARC" -o "$OUT"'
else
  NOTES+=("vellum: no binary (the cli target did not build), no figures.")
fi
for t in gzip:gz bzip2:bz2 xz:xz; do
  tool=${t%%:*}; ext=${t#*:}
  if have "$tool"; then
    run_method "tar + $tool -9" "a.tar.$ext" "tar -cf - \"\$SRCNAME\" | $tool -9 > \"\$ARC\"" "$tool -dc \"\$ARC\" | tar -xf -"
  else NOTES+=("$tool: not installed, skipped."); fi
done
if have zstd; then
  run_method "tar + zstd -19" a.tar.zst 'tar -cf - "$SRCNAME" | zstd -q -19 -c > "$ARC"' 'zstd -q -dc "$ARC" | tar -xf -'
else NOTES+=("zstd: not installed, skipped."); fi
if have 7z; then
  run_method "7z a -mx9" a.7z '7z a -mx9 -bd "$ARC" "$SRCNAME" >/dev/null' '7z x -bd "$ARC" >/dev/null'
else NOTES+=("7z: not installed, skipped."); fi
if have zpaq; then
  run_method "zpaq -m5" a.zpaq 'zpaq a "$ARC" "$SRCNAME" -m5 >/dev/null 2>&1' 'zpaq x "$ARC" >/dev/null 2>&1'
else NOTES+=("zpaq: not installed, skipped."); fi

{
  echo "# Archiver comparison"
  echo
  dirty=""
  git -C "$ROOT" diff --quiet HEAD -- codec archive platform cli 2>/dev/null || dirty=" (with uncommitted changes)"
  echo "$(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$ROOT" rev-parse --short HEAD)$dirty."
  echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'),"
  echo "load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)."
  echo "Input: $(find "$SRC" -type f | wc -l) files, $INPUT_BYTES bytes. Times: best of $RUNS runs, wall clock"
  echo "of the whole command (pipelines included); MB = 10^6 bytes of input. Peak memory: max RSS"
  echo "of the largest process of the command (GNU time, %M). Every method's round trip is"
  echo "checked with diff -r. Tools run with their default thread settings."
  echo
  echo "| method | archive bytes | bits/byte | compress s | decompress s | compress MB/s | decompress MB/s | compress peak MiB | decompress peak MiB | round trip |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---|"
  printf '%s\n' "${ROWS[@]}"
  if [ ${#NOTES[@]} -gt 0 ]; then echo; printf -- '- %s\n' "${NOTES[@]}"; fi
} | tee "$REPORT.tmp"
mv "$REPORT.tmp" "$REPORT"
echo "report: bench/reports/compare.md" >&2
exit $FAILED

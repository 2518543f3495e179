#!/usr/bin/env bash
# vellum as a daily archiver against the archivers people use every day, on
# system folders, all in one run: archive size, add and extract times and a
# checked round trip for each method. The report goes to bench/reports/daily.md.
#
#   bench/run-daily-bench.sh [FOLDER...]     default: /usr/share/doc /usr/include
#
# Methods: this checkout's vellum (its default, the other metadata setting, and
# --solid); an older vellum for before/after (OLD=path to its binary; left out
# when not given); tar --zstd, tar -cJ, 7z a and zpaq a at their default
# settings (Debian packages zstd, xz-utils, 7zip, zpaq). Environment: VELLUM (a
# vellum binary; by default built in build-bench), OLD.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build-bench"
REPORT="$ROOT/bench/reports/daily.md"
FOLDERS=("$@")
[ ${#FOLDERS[@]} -gt 0 ] || FOLDERS=(/usr/share/doc /usr/include)

if [ -z "${VELLUM:-}" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVELLUM_TESTS=OFF >/dev/null
  cmake --build "$BUILD" --target vellum -j2 >/dev/null
  VELLUM="$BUILD/cli/vellum"
fi
export VELLUM OLD="${OLD:-}"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ROWS=()
NOTES=()
have() { command -v "$1" >/dev/null 2>&1; }

# Wall-clock seconds of one shell command (its output to $WORK/log); non-zero
# exit statuses are kept in STATUS (vellum says 1 when it skipped something).
timed() {
  local start end
  start=$(date +%s%N)
  set +e
  bash -c "$1" >"$WORK/log" 2>&1
  STATUS=$?
  set -e
  end=$(date +%s%N)
  SECONDS_TAKEN=$(awk -v n=$((end - start)) 'BEGIN { printf "%.1f", n / 1e9 }')
}

# One method on one folder: label, the archive's file name, the add command and
# the extract command (run in the folder above the source and in $OUT).
run_method() {
  local label=$1 archive=$2 pack=$3 unpack=$4 size add_s add_status x_s check
  export ARC="$WORK/$archive" OUT="$WORK/out" SRCNAME="$NAME"
  rm -rf "$ARC" "$OUT"; mkdir -p "$OUT"
  sync
  timed "cd \"$PARENT\" && $pack"
  add_s=$SECONDS_TAKEN; add_status=$STATUS
  if [ ! -s "$ARC" ]; then
    ROWS+=("| $NAME | $label | — | — | $add_s | — | add failed (status $add_status): $(head -c 120 "$WORK/log" | tr '\n|' '  ' || true) |")
    return
  fi
  size=$(stat -c %s "$ARC")
  timed "cd \"\$OUT\" && $unpack"
  x_s=$SECONDS_TAKEN
  # A method that keeps links as links must give the same tree, links and all
  # (diff --no-dereference); one that stores what a link leads to must give the
  # same contents with links followed on both sides (diff). A relative link that
  # leads out of the folder dangles once extracted elsewhere, so the first check
  # is the one that can hold for a method keeping links.
  if diff -r --no-dereference "$SRC" "$OUT/$NAME" >"$WORK/diff" 2>&1; then
    check="identical, links as links"
  elif diff -r "$SRC" "$OUT/$NAME" >"$WORK/diff2" 2>&1; then
    check="identical, links followed"
  else
    check="$(wc -l <"$WORK/diff") lines differ, the first: $(sed -n 1p "$WORK/diff" | cut -c1-110 | tr '|' '/')"
  fi
  [ "$add_status" -eq 0 ] || check="$check; add status $add_status"
  ROWS+=("| $NAME | $label | $size | $(awk -v a="$size" -v b="$INPUT_BYTES" 'BEGIN { printf "%.1f%%", 100 * a / b }') | $add_s | $x_s | $check |")
  rm -rf "$ARC" "$OUT"
}

# The other metadata setting of this build: --no-meta where metadata is the
# default, --meta where it is not.
if "$VELLUM" add --help | grep -c -- '--no-meta' >/dev/null; then OTHER_META=--no-meta; else OTHER_META=--meta; fi

# Absolute link targets are made only when asked (-P, as tar makes them); the
# round trip compares whole trees, so this build's extraction asks.
if "$VELLUM" extract --help | grep -c -- '--absolute-links' >/dev/null; then ABS=" -P"; else ABS=""; fi

for SRC in "${FOLDERS[@]}"; do
  SRC=$(cd "$SRC" && pwd)
  PARENT=$(dirname "$SRC")
  NAME=$(basename "$SRC")
  INPUT_BYTES=$(find "$SRC" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
  NOTES+=("$SRC: $(find "$SRC" -type f | wc -l) files, $INPUT_BYTES bytes, $(find "$SRC" -type l | wc -l) symbolic links.")
  run_method "vellum" a.vlm '"$VELLUM" add -q "$ARC" "$SRCNAME"' '"$VELLUM" extract -q'"$ABS"' "$ARC"'
  run_method "vellum $OTHER_META" b.vlm '"$VELLUM" add -q '"$OTHER_META"' "$ARC" "$SRCNAME"' '"$VELLUM" extract -q "$ARC"'
  run_method "vellum --solid" c.vlm '"$VELLUM" add -q --solid "$ARC" "$SRCNAME"' '"$VELLUM" extract -q'"$ABS"' "$ARC"'
  if [ -n "$OLD" ] && [ -x "$OLD" ]; then
    run_method "before: vellum" d.vlm '"$OLD" add -q "$ARC" "$SRCNAME"' '"$OLD" extract -q "$ARC"'
    run_method "before: vellum --solid" e.vlm '"$OLD" add -q --solid "$ARC" "$SRCNAME"' '"$OLD" extract -q "$ARC"'
  fi
  if have zstd; then
    run_method "tar --zstd" a.tar.zst 'tar --zstd -cf "$ARC" "$SRCNAME"' 'tar --zstd -xf "$ARC"'
  else NOTES+=("zstd: not installed, skipped."); fi
  if have xz; then
    run_method "tar -cJ" a.tar.xz 'tar -cJf "$ARC" "$SRCNAME"' 'tar -xJf "$ARC"'
  else NOTES+=("xz: not installed, skipped."); fi
  # Debian's 7zip package names the program 7zz.
  SEVEN=""; if have 7z; then SEVEN=7z; elif have 7zz; then SEVEN=7zz; fi
  if [ -n "$SEVEN" ]; then
    run_method "7z a" a.7z "$SEVEN"' a -bd "$ARC" "$SRCNAME" >/dev/null' "$SEVEN"' x -bd "$ARC" >/dev/null'
  else NOTES+=("7z: not installed, skipped."); fi
  if have zpaq; then
    run_method "zpaq a" a.zpaq 'zpaq a "$ARC" "$SRCNAME"' 'zpaq x "$ARC"'
  else NOTES+=("zpaq: not installed, skipped."); fi
done

{
  echo "# vellum as a daily archiver: system folders against the usual archivers"
  echo
  dirty=""
  git -C "$ROOT" diff --quiet HEAD -- codec archive meta manage platform cli 2>/dev/null || dirty=" (with uncommitted changes)"
  echo "$(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$ROOT" rev-parse --short HEAD)$dirty;"
  echo "\"before\" is the binary named by OLD${OLD:+ ($("$OLD" --version 2>/dev/null || echo unknown))}."
  echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'),"
  echo "load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)."
  echo "One run each, wall clock of the whole command, every tool with its default settings"
  echo "(vellum and 7z use both cores, zpaq too; tar's zstd and xz one). Sizes are the archive"
  echo "file's bytes and its share of the folder's file bytes (a method that follows links stores"
  echo "what they lead to, which may be more). The round trip compares the extracted folder with"
  echo "the source: with links as links (diff -r --no-dereference), else with links followed (diff -r)."
  echo
  echo "| folder | method | archive bytes | of input | add s | extract s | round trip |"
  echo "|---|---|---:|---:|---:|---:|---|"
  printf '%s\n' "${ROWS[@]}"
  echo
  printf -- '- %s\n' "${NOTES[@]}"
} | tee "$REPORT.tmp"
mv "$REPORT.tmp" "$REPORT"
echo "report: bench/reports/daily.md" >&2

#!/usr/bin/env bash
# Benchmark of add --strong, all figures from one run on one machine:
#   1. archive size and speed both ways on one thread (-T 1 and the peers' own
#      one-thread options) of vellum (default, --solid, --strong, --strong
#      --solid) against zpaq -m3/-m4/-m5, 7-Zip's PPMd (-m0=PPMd -mx=9) and
#      tar | xz -9, on the shared corpus, on a large text (the word list of
#      Debian's wamerican package) and on a tree of source code (/usr/include);
#   2. peak memory of one worker coding a large file with --strong;
#   3. -T 2 against -T 1 for --strong on the tree of many files.
# Every extraction is compared with its input (diff -r), the -T 2 archive with
# the -T 1 one. Speeds are MB (10^6 bytes) of input per second of processor
# time (user + system) of the best of R runs, so that other work on the machine
# counts little; wall times are in the tables too. The markdown report goes to
# stdout and to bench/reports/strong.md; the exit status is 1 when a check failed.
#
#   bench/run-strong-bench.sh [--runs R] [--tree-runs R] [--no-tree]
#
# Needs zpaq, 7zz, xz and the word list: apt-get install -y zpaq 7zip xz-utils wamerican
# Environment: VELLUM_CORPUS_DIR (default: ../shared/corpus beside the checkout).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
REPORT="$ROOT/bench/reports/strong.md"
BUILD="$ROOT/build-bench"
CORPUS=${VELLUM_CORPUS_DIR:-$ROOT/../shared/corpus}
WORDS=/usr/share/dict/american-english
TREE=/usr/include
RUNS=3
TREE_RUNS=1
DO_TREE=1
TIME=/usr/bin/time

while [ $# -gt 0 ]; do
  case $1 in
    --runs) RUNS=${2:?--runs needs a count}; shift 2 ;;
    --tree-runs) TREE_RUNS=${2:?--tree-runs needs a count}; shift 2 ;;
    --no-tree) DO_TREE=0; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "run-strong-bench.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
  esac
done
for tool in zpaq 7zz xz tar; do
  command -v $tool >/dev/null || { echo "run-strong-bench.sh: $tool is missing (apt-get install -y zpaq 7zip xz-utils)" >&2; exit 2; }
done
[ -d "$CORPUS" ] || { echo "run-strong-bench.sh: no corpus folder at $CORPUS (set VELLUM_CORPUS_DIR)" >&2; exit 2; }
[ -f "$WORDS" ] || { echo "run-strong-bench.sh: no $WORDS (apt-get install -y wamerican)" >&2; exit 2; }
CORPUS=$(cd "$CORPUS" && pwd)

LOAD_AT_START=$(cut -d' ' -f1-3 /proc/loadavg)
STARTED=$(date +%s)
SCRATCH=$(mktemp -d -t vellum-strong.XXXXXX)
trap 'chmod -R u+w "$SCRATCH" 2>/dev/null; rm -rf "$SCRATCH"' EXIT
trap 'exit 130' INT TERM
say() { echo "== $*" >&2; }
FAILURES=()
fail() { echo "run-strong-bench.sh: FAILED: $*" >&2; FAILURES+=("$*"); }

say "building $BUILD (Release)"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVELLUM_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target vellum >/dev/null
VELLUM="$BUILD/cli/vellum"

# timed R OUT -- command...: runs the command R times in the current folder and
# leaves "wall cpu peak_kib" of the run with the least processor time in OUT.
timed() {
  local runs=$1 out=$2; shift 3
  local best=""
  for _ in $(seq 1 "$runs"); do
    $TIME -f "%e %U %S %M" -o "$SCRATCH/time" "$@" >/dev/null 2>"$SCRATCH/err" || {
      cat "$SCRATCH/err" >&2; fail "$*"; echo "0 0 0" >"$out"; return 0; }
    read -r wall user sys peak < <(tail -1 "$SCRATCH/time")
    local cpu
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
    if [ -z "$best" ] || awk -v a="$cpu" -v b="${best#* }" 'BEGIN { exit !(a < b) }' </dev/null; then
      best="$wall $cpu $peak"
    fi
  done
  echo "$best" | awk '{ print $1, $2, $3 }' >"$out"
}

mbs() { awk -v b="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.2f", b / s / 1e6; else printf "-" }'; }
input_bytes() { find "$1" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }'; }
file_count() { find "$1" -type f | wc -l | tr -d ' '; }

# One data set: DIR (a folder), its name in the report, runs per figure.
ROWS=""
bench_set() {
  local dir=$1 label=$2 runs=$3
  local parent base bytes files
  parent=$(dirname "$dir"); base=$(basename "$dir")
  bytes=$(input_bytes "$dir"); files=$(file_count "$dir")
  say "$label: $files files, $bytes bytes"
  ROWS+=$'\n'"#### $label ($files files, $bytes bytes)"$'\n\n'
  ROWS+="| archiver | bytes | ratio | add MB/s | extract MB/s | add wall s | extract wall s |"$'\n'
  ROWS+="|---|---:|---:|---:|---:|---:|---:|"$'\n'
  local name add_cmd x_cmd arc out
  row() {  # name bytes add-result extract-result
    read -r aw ac _ <"$3"; read -r xw xc _ <"$4"
    ROWS+="| $1 | $2 | $(awk -v a="$2" -v b="$bytes" 'BEGIN { printf "%.1f%%", 100 * a / b }') |"
    ROWS+=" $(mbs "$bytes" "$ac") | $(mbs "$bytes" "$xc") | $aw | $xw |"$'\n'
  }
  check() {  # extracted folder
    diff -r -q "$1" "$dir" >/dev/null || fail "$label: $name: the extracted files differ"
  }
  cd "$parent"
  for mode in "" "--solid" "--strong" "--strong --solid"; do
    name="vellum${mode:+ $mode}"
    arc="$SCRATCH/v.vlm"; out="$SCRATCH/vout"
    # shellcheck disable=SC2086
    timed "$runs" "$SCRATCH/add" -- bash -c "rm -f '$arc' && '$VELLUM' -q add -T 1 $mode '$arc' '$base'"
    timed "$runs" "$SCRATCH/x" -- bash -c "rm -rf '$out' && '$VELLUM' -q x -T 1 -o '$out' '$arc'"
    check "$out/$base"
    row "$name" "$(stat -c %s "$arc")" "$SCRATCH/add" "$SCRATCH/x"
  done
  for m in 3 4 5; do
    name="zpaq -m$m"; arc="$SCRATCH/z.zpaq"; out="$SCRATCH/zout"
    timed "$runs" "$SCRATCH/add" -- bash -c "rm -f '$arc' && zpaq a '$arc' '$base' -m$m -t1"
    timed "$runs" "$SCRATCH/x" -- bash -c "rm -rf '$out' && zpaq x '$arc' -to '$out' -t1"
    check "$out/$base"
    row "$name" "$(stat -c %s "$arc")" "$SCRATCH/add" "$SCRATCH/x"
  done
  name="7z PPMd -mx=9"; arc="$SCRATCH/p.7z"; out="$SCRATCH/pout"
  timed "$runs" "$SCRATCH/add" -- bash -c "rm -f '$arc' && 7zz a -m0=PPMd -mx=9 -mmt=1 '$arc' '$base'"
  timed "$runs" "$SCRATCH/x" -- bash -c "rm -rf '$out' && 7zz x -mmt=1 -o'$out' '$arc'"
  check "$out/$base"
  row "$name" "$(stat -c %s "$arc")" "$SCRATCH/add" "$SCRATCH/x"
  name="xz -9 (tar)"; arc="$SCRATCH/x.tar.xz"; out="$SCRATCH/xout"
  timed "$runs" "$SCRATCH/add" -- bash -c "tar -cf - '$base' | xz -9 -T1 > '$arc'"
  timed "$runs" "$SCRATCH/x" -- bash -c "rm -rf '$out' && mkdir -p '$out' && xz -dc -T1 '$arc' | tar -xf - -C '$out'"
  check "$out/$base"
  row "$name" "$(stat -c %s "$arc")" "$SCRATCH/add" "$SCRATCH/x"
  cd "$ROOT"
}

bench_set "$CORPUS" "The shared corpus" "$RUNS"
mkdir -p "$SCRATCH/words"
cp "$WORDS" "$SCRATCH/words/words"
bench_set "$SCRATCH/words" "A large text: the word list of wamerican" "$RUNS"
# The tree is copied with its links followed, as vellum stores them: links
# kept as links (tar) or left out (zpaq) would not compare with the input.
if [ "$DO_TREE" = 1 ] && [ -d "$TREE" ]; then
  mkdir -p "$SCRATCH/tree"
  cp -rL "$TREE" "$SCRATCH/tree/" 2>/dev/null || true
  TREE_COPY="$SCRATCH/tree/$(basename "$TREE")"
  bench_set "$TREE_COPY" "A tree of source code: $TREE" "$TREE_RUNS"
fi

say "memory of one worker"
# A file large enough for the largest tables (8 MiB and more), of text.
for _ in 1 2 3 4 5 6 7 8 9 10 11 12; do cat "$WORDS"; done >"$SCRATCH/large.txt"
LARGE=$(stat -c %s "$SCRATCH/large.txt")
timed 1 "$SCRATCH/mem-add" -- "$VELLUM" -q add -T 1 --strong "$SCRATCH/m.vlm" "$SCRATCH/large.txt"
timed 1 "$SCRATCH/mem-x" -- "$VELLUM" -q x -T 1 -o "$SCRATCH/mout" "$SCRATCH/m.vlm"
cmp -s "$SCRATCH/mout/large.txt" "$SCRATCH/large.txt" || fail "the large file differs"
timed 1 "$SCRATCH/mem-default" -- "$VELLUM" -q add -T 1 "$SCRATCH/d.vlm" "$SCRATCH/large.txt"
read -r _ _ MEM_ADD <"$SCRATCH/mem-add"; read -r _ _ MEM_X <"$SCRATCH/mem-x"; read -r _ _ MEM_DEFAULT <"$SCRATCH/mem-default"

THREADS=""
if [ "$DO_TREE" = 1 ] && [ -d "$TREE" ]; then
  say "-T 2 against -T 1 on $TREE"
  cd "$(dirname "$TREE_COPY")"
  TB=$(basename "$TREE_COPY")
  for t in 1 2; do
    timed 1 "$SCRATCH/t$t-add" -- bash -c "rm -f '$SCRATCH/t$t.vlm' && '$VELLUM' -q add -T $t --strong '$SCRATCH/t$t.vlm' '$TB'"
    timed 1 "$SCRATCH/t$t-x" -- bash -c "rm -rf '$SCRATCH/t${t}out' && '$VELLUM' -q x -T $t -o '$SCRATCH/t${t}out' '$SCRATCH/t$t.vlm'"
  done
  cd "$ROOT"
  cmp -s "$SCRATCH/t1.vlm" "$SCRATCH/t2.vlm" || fail "-T 2 wrote another archive than -T 1"
  diff -r -q "$SCRATCH/t2out/$TB" "$TREE_COPY" >/dev/null || fail "-T 2 extracted other files"
  read -r a1 _ m1 <"$SCRATCH/t1-add"; read -r a2 _ m2 <"$SCRATCH/t2-add"
  read -r x1 _ _ <"$SCRATCH/t1-x"; read -r x2 _ _ <"$SCRATCH/t2-x"
  THREADS="| | -T 1 | -T 2 | speed-up |
|---|---:|---:|---:|
| add --strong, wall s | $a1 | $a2 | $(awk -v a="$a1" -v b="$a2" 'BEGIN { printf "%.2f", a / b }') |
| extract, wall s | $x1 | $x2 | $(awk -v a="$x1" -v b="$x2" 'BEGIN { printf "%.2f", a / b }') |
| add --strong, peak KiB | $m1 | $m2 | |"
fi

ELAPSED=$(( $(date +%s) - STARTED ))
{
  echo "# add --strong against the default codec and other archivers"
  echo
  echo "Made by \`bench/run-strong-bench.sh\` on $(date -u +%Y-%m-%d), $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')),"
  echo "load at the start $LOAD_AT_START, $ELAPSED s in all. vellum at $(git -C "$ROOT" rev-parse --short HEAD)."
  echo "One thread everywhere (vellum -T 1, zpaq -t1, 7zz -mmt=1, xz -T1). MB/s: 10^6 bytes of input"
  echo "per second of processor time (user + system) of the best of $RUNS runs ($TREE_RUNS for the tree);"
  echo "wall times of the same runs beside them. Every extraction was compared with its input."
  echo "Processor time and wall time differ when other work shares the machine; \`-T 2\` can only"
  echo "gain what the second core has to spare."
  echo "$ROWS"
  echo "#### One worker's memory"
  echo
  echo "A text of $LARGE bytes (the word list twelve times), -T 1: peak resident memory of"
  echo "\`add --strong\` $MEM_ADD KiB, of its extraction $MEM_X KiB; of the default \`add\` $MEM_DEFAULT KiB."
  echo "Both include the block buffer (as large as the file, up to the block size)."
  if [ -n "$THREADS" ]; then
    echo
    echo "#### Threads: $TREE, \`add --strong\` and its extraction"
    echo
    echo "$THREADS"
  fi
  if [ ${#FAILURES[@]} -gt 0 ]; then
    echo
    echo "#### Failed checks"
    for f in "${FAILURES[@]}"; do echo "- $f"; done
  fi
} | tee "$REPORT"
[ ${#FAILURES[@]} -eq 0 ]

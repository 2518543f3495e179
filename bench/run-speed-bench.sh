#!/usr/bin/env bash
# Speed benchmark of the vellum command, all figures from one run on one machine:
#   1. single thread: an older commit (built from a temporary worktree) against
#      the checkout, for add, extract and test, on the corpus and on a generated
#      folder of a few hundred files;
#   2. the checkout with -T 1 against -T 2 on the generated folder;
#   3. add --best against the default on the corpus;
#   4. general-purpose compressors on the same inputs, for context.
# Every run records archive size, wall time (best of R runs), MB/s of input and
# peak resident memory (GNU time %M). Every extraction is compared with its
# input, -T 2 archives with the -T 1 ones. The markdown report goes to stdout
# and to bench/reports/speed.md; the exit status is 1 when a check failed.
#
#   bench/run-speed-bench.sh [--old REV] [--runs R] [--peer-runs R] [--size MB] [--no-peers]
#
# Environment: VELLUM_CORPUS_DIR (default: ../shared/corpus beside the checkout).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
REPORT="$ROOT/bench/reports/speed.md"
NEW_BUILD="$ROOT/build-bench"
CORPUS=${VELLUM_CORPUS_DIR:-$ROOT/../shared/corpus}
OLD_REV=9e8aacc
RUNS=3
PEER_RUNS=1          # the peers are slow and only give context
MANY_MB=120          # approximate total of the generated folder
MANY_FILES=320       # number of generated files
SEED=20240611        # the generated folder is the same on every run
PEERS=1
TIME=/usr/bin/time

usage() {
  sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'
  cat <<'EOF'
Options:
  --old REV    the older commit to compare with (default 9e8aacc)
  --runs R     timed runs per figure, the best one counts (default 3)
  --peer-runs R   the same for the other compressors (default 1)
  --size MB    approximate size of the generated folder (default 120)
  --no-peers   leave out the general-purpose compressors
EOF
}

while [ $# -gt 0 ]; do
  case $1 in
    --old) OLD_REV=${2:?--old needs a revision}; shift 2 ;;
    --runs) RUNS=${2:?--runs needs a count}; shift 2 ;;
    --peer-runs) PEER_RUNS=${2:?--peer-runs needs a count}; shift 2 ;;
    --size) MANY_MB=${2:?--size needs megabytes}; shift 2 ;;
    --no-peers) PEERS=0; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run-speed-bench.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
  esac
done
[[ $RUNS =~ ^[1-9][0-9]*$ ]] || { echo "run-speed-bench.sh: --runs wants a positive count" >&2; exit 2; }
[[ $PEER_RUNS =~ ^[1-9][0-9]*$ ]] || { echo "run-speed-bench.sh: --peer-runs wants a positive count" >&2; exit 2; }
[[ $MANY_MB =~ ^[1-9][0-9]*$ ]] || { echo "run-speed-bench.sh: --size wants megabytes" >&2; exit 2; }
[ -d "$CORPUS" ] || { echo "run-speed-bench.sh: no corpus folder at $CORPUS (set VELLUM_CORPUS_DIR)" >&2; exit 2; }
CORPUS=$(cd "$CORPUS" && pwd)

LOAD_AT_START=$(cut -d' ' -f1-3 /proc/loadavg)
STARTED=$(date +%s)
SCRATCH=$(mktemp -d -t vellum-speed.XXXXXX)
OLD_SRC=""
cleanup() {
  if [ -n "$OLD_SRC" ] && [ -d "$OLD_SRC" ]; then
    git -C "$ROOT" worktree remove --force "$OLD_SRC" >/dev/null 2>&1 || true
  fi
  chmod -R u+w "$SCRATCH" 2>/dev/null || true
  rm -rf "$SCRATCH"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say() { echo "== $*" >&2; }
have() { command -v "$1" >/dev/null 2>&1; }

NOTES=()      # lines for the report's notes
FAILURES=()   # failed checks, also printed when they happen
fail() { echo "run-speed-bench.sh: FAILED: $*" >&2; FAILURES+=("$*"); }

# --- tools ---------------------------------------------------------------------

# Installs the Debian packages given (through sudo when not root); false when
# that is not possible. The package lists are refreshed once if needed.
APT_UPDATED=0
apt_install() {
  local as_root=()
  [ "$(id -u)" -eq 0 ] || { have sudo && as_root=(sudo -n); } || return 1
  have apt-get || return 1
  say "installing: $*"
  if ! "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@" >"$SCRATCH/apt.log" 2>&1; then
    [ $APT_UPDATED -eq 0 ] || return 1
    APT_UPDATED=1
    "${as_root[@]}" apt-get update -q >>"$SCRATCH/apt.log" 2>&1 || return 1
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@" >>"$SCRATCH/apt.log" 2>&1 || return 1
  fi
}

ensure_tools() {
  if [ ! -x "$TIME" ]; then
    apt_install time || true
    [ -x "$TIME" ] || { echo "run-speed-bench.sh: $TIME is missing (package: time)" >&2; exit 1; }
  fi
  have python3 || { echo "run-speed-bench.sh: python3 is needed to generate the test folder" >&2; exit 1; }
  [ $PEERS -eq 1 ] || return 0
  local pkg tool missing=()
  for pkg in bzip2:bzip2 xz-utils:xz zstd:zstd p7zip-full:7z zpaq:zpaq; do
    tool=${pkg#*:}
    have "$tool" || missing+=("${pkg%%:*}")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    # One by one, so that a package this system lacks does not keep out the others.
    for pkg in "${missing[@]}"; do apt_install "$pkg" || true; done
  fi
}

# --- builds --------------------------------------------------------------------

# Configures and builds the vellum target of source tree $1 in $2 (Release, no
# tests); prints the binary's path.
build_vellum() {
  local src=$1 build=$2 log=$SCRATCH/build-$(basename "$2").log
  if ! { cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELLUM_TESTS=OFF &&
         cmake --build "$build" --target vellum -j2; } >"$log" 2>&1; then
    echo "run-speed-bench.sh: the build in $build failed:" >&2
    tail -20 "$log" >&2
    exit 1
  fi
  find "$build" -type f -name vellum -perm -u+x | head -1
}

build_both() {
  say "building the checkout in build-bench"
  NEW_BIN=$(build_vellum "$ROOT" "$NEW_BUILD")
  NEW_COMMIT=$(git -C "$ROOT" rev-parse --short HEAD)
  git -C "$ROOT" diff --quiet HEAD -- codec archive platform cli 2>/dev/null ||
    NEW_COMMIT="$NEW_COMMIT (with uncommitted changes)"

  OLD_COMMIT=$(git -C "$ROOT" rev-parse --verify -q "$OLD_REV^{commit}") ||
    { echo "run-speed-bench.sh: no commit '$OLD_REV'" >&2; exit 2; }
  OLD_COMMIT=$(git -C "$ROOT" rev-parse --short "$OLD_COMMIT")
  say "building $OLD_COMMIT from a temporary worktree"
  OLD_SRC=$SCRATCH/old-src
  git -C "$ROOT" worktree add --detach -q "$OLD_SRC" "$OLD_COMMIT" >/dev/null 2>&1 ||
    { echo "run-speed-bench.sh: cannot check out $OLD_COMMIT" >&2; exit 1; }
  OLD_BIN=$(build_vellum "$OLD_SRC" "$SCRATCH/old-build")
}

# --- the generated folder --------------------------------------------------------

# Writes MANY_FILES files of about MANY_MB MB in all below $1: whole corpus
# files, slices and concatenations of them, text-like and random data, and
# mixtures, with sizes spread evenly on a log scale from a few KB to a few MB.
make_many_files() {
  python3 - "$CORPUS" "$1" "$MANY_FILES" "$MANY_MB" "$SEED" <<'EOF'
import math, os, random, sys

corpus_dir, out_dir, count, total_mb, seed = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
rng = random.Random(seed)
corpus = []
for name in sorted(os.listdir(corpus_dir)):
    path = os.path.join(corpus_dir, name)
    if os.path.isfile(path):
        with open(path, "rb") as f:
            corpus.append(f.read())
corpus = [c for c in corpus if c]

# A vocabulary with word frequencies falling off as 1/rank, as in prose.
letters = "etaoinshrdlcumwfgypbvkjxqz"
vocab = ["".join(rng.choices(letters, weights=range(26, 0, -1), k=rng.randint(1, 11)))
         for _ in range(5000)]
cum = []
acc = 0.0
for rank in range(len(vocab)):
    acc += 1.0 / (rank + 1)
    cum.append(acc)

def text(n):
    out, size = [], 0
    while size < n:
        words = rng.choices(vocab, cum_weights=cum, k=4096)
        for i in range(0, len(words), 12):
            line = " ".join(words[i:i + 12])
            if rng.random() < 0.1:
                line += " %d" % rng.randint(0, 99999)
            out.append(line.capitalize() + ".\n")
            size += len(out[-1])
    return "".join(out).encode()[:n]

def noise(n):
    return rng.getrandbits(8 * n).to_bytes(n, "little") if n else b""

def slice_of(data, n):
    # Wraps around when the file is shorter than the slice.
    start = rng.randrange(len(data))
    reps = (start + n) // len(data) + 1
    return (data * reps)[start:start + n]

def concat(n):
    parts, size = [], 0
    while size < n:
        piece = slice_of(rng.choice(corpus), min(n - size, rng.randint(1024, 256 * 1024)))
        parts.append(piece)
        size += len(piece)
    return b"".join(parts)

def mixture(n):
    parts, size = [], 0
    while size < n:
        k = min(n - size, rng.randint(4096, 64 * 1024))
        parts.append(rng.choice((text, noise, lambda m: slice_of(rng.choice(corpus), m)))(k))
        size += k
    return b"".join(parts)

kinds = [("copy", 0.08), ("slice", 0.24), ("concat", 0.20), ("text", 0.24), ("random", 0.12), ("mixed", 0.12)]
lo, hi = math.log(4096), math.log(4 << 20)
sizes = [math.exp(rng.uniform(lo, hi)) for _ in range(count)]
scale = total_mb * 1e6 / sum(sizes)
folders = ["set%02d" % i for i in range(12)] + ["set%02d/deeper" % i for i in range(4)]
for i, raw in enumerate(sizes):
    n = max(1024, int(raw * scale))
    kind = rng.choices([k for k, _ in kinds], weights=[w for _, w in kinds])[0]
    if kind == "copy":
        data = rng.choice(corpus)
    elif kind == "slice":
        data = slice_of(rng.choice(corpus), n)
    elif kind == "concat":
        data = concat(n)
    elif kind == "text":
        data = text(n)
    elif kind == "random":
        data = noise(n)
    else:
        data = mixture(n)
    folder = os.path.join(out_dir, rng.choice(folders))
    os.makedirs(folder, exist_ok=True)
    ext = {"text": ".txt", "random": ".bin"}.get(kind, ".dat")
    with open(os.path.join(folder, "%s_%03d%s" % (kind, i, ext)), "wb") as f:
        f.write(data)
EOF
}

# Bytes and files below a folder, and a digest of its names and contents (the
# same digest on two runs means the same generated input).
tree_bytes() { find "$1" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }'; }
tree_files() { find "$1" -type f | wc -l; }
tree_digest() {
  (cd "$1" && find . -type f | LC_ALL=C sort | while read -r f; do echo "$f"; cat "$f"; done | sha256sum | cut -c1-16)
}

# --- measuring -------------------------------------------------------------------

declare -A SEC PEAK SIZE CHECK   # by key: best wall seconds, peak KiB, archive bytes, check result

# Clears a folder, also one extracted with read-only modes.
clear_dir() { chmod -R u+w "$1" 2>/dev/null || true; rm -rf "$1"; }
export -f clear_dir

# measure KEY PREPARE COMMAND [VERIFY]: runs the shell command RUNS times under
# GNU time; PREPARE runs untimed before each run, VERIFY untimed after each run
# (a failing VERIFY is a failed check). Sets SEC[KEY] to the best wall time and
# PEAK[KEY] to the largest max RSS seen; false when the command failed.
measure() {
  local key=$1 prepare=$2 command=$3 verify=${4:-} i start end ns kb best_ns="" peak=0
  for ((i = 0; i < RUNS; i++)); do
    bash -c "$prepare"
    start=$(date +%s%N)
    if ! "$TIME" -f %M -o "$SCRATCH/rss" bash -c "$command" >"$SCRATCH/out.log" 2>&1; then
      fail "$key: the command failed: $command"
      sed 's/^/    /' "$SCRATCH/out.log" | tail -5 >&2
      SEC[$key]=failed; PEAK[$key]=""
      return 1
    fi
    end=$(date +%s%N)
    ns=$((end - start))
    kb=$(tail -1 "$SCRATCH/rss")
    [ "$kb" -le "$peak" ] || peak=$kb
    [ -n "$best_ns" ] && [ "$ns" -ge "$best_ns" ] || best_ns=$ns
    if [ -n "$verify" ] && ! bash -c "$verify" >"$SCRATCH/verify.log" 2>&1; then
      CHECK[$key]=FAILED
      fail "$key: check after run $((i + 1)) failed: $verify"
      head -5 "$SCRATCH/verify.log" | sed 's/^/    /' >&2
    fi
  done
  SEC[$key]=$(awk -v n="$best_ns" 'BEGIN { printf "%.3f", n / 1e9 }')
  PEAK[$key]=$peak
}

# Inputs: the folder's parent and name (archives hold the name as their top
# folder), byte and file counts.
declare -A IN_PARENT IN_NAME IN_BYTES IN_FILES
add_input() {
  IN_PARENT[$1]=$(dirname "$2"); IN_NAME[$1]=$(basename "$2")
  IN_BYTES[$1]=$(tree_bytes "$2"); IN_FILES[$1]=$(tree_files "$2")
}

# vellum_runs KEY BINARY INPUT ADD_OPTS EXTRACT_OPTS TEST_OPTS [SAME_AS]: add,
# extract and test of one build on one input; keys KEY/add, KEY/extract,
# KEY/test. With SAME_AS (a key) every archive must equal that key's archive.
vellum_runs() {
  local key=$1 bin=$2 input=$3 add_opts=$4 extract_opts=$5 test_opts=$6 same_as=${7:-}
  local arc=$SCRATCH/arc/${key//\//.}.vlm out=$SCRATCH/out
  local src="${IN_PARENT[$input]}/${IN_NAME[$input]}" verify=""
  mkdir -p "$SCRATCH/arc"
  say "$key: add $add_opts"
  [ -z "$same_as" ] || verify="cmp '$SCRATCH/arc/${same_as//\//.}.vlm' '$arc'"
  CHECK[$key/add]=${same_as:+"same bytes as $(label_of "$same_as") (cmp)"}
  measure "$key/add" "rm -f '$arc'" \
    "cd '${IN_PARENT[$input]}' && '$bin' add -q $add_opts '$arc' '${IN_NAME[$input]}'" "$verify" || return 0
  SIZE[$key]=$(stat -c %s "$arc")
  say "$key: extract $extract_opts"
  CHECK[$key/extract]="identical (diff -r)"
  measure "$key/extract" "clear_dir '$out' && mkdir -p '$out'" \
    "'$bin' extract -q $extract_opts -o '$out' '$arc'" "diff -r '$src' '$out/${IN_NAME[$input]}'" || true
  clear_dir "$out"
  say "$key: test $test_opts"
  CHECK[$key/test]="exit 0"
  measure "$key/test" ":" "'$bin' test -q $test_opts '$arc'" || true
}

# peer_runs KEY INPUT PACK UNPACK: a general-purpose compressor; PACK runs in the
# input's parent and writes $ARC, UNPACK runs in the empty folder $OUT.
peer_runs() {
  local key=$1 input=$2 pack=$3 unpack=$4
  local src="${IN_PARENT[$input]}/${IN_NAME[$input]}" RUNS=$PEER_RUNS
  export ARC=$SCRATCH/arc/peer.$input OUT=$SCRATCH/out NAME=${IN_NAME[$input]}
  say "$key"
  measure "$key/add" "rm -f \"\$ARC\"" "cd '${IN_PARENT[$input]}' && $pack" || return 0
  SIZE[$key]=$(stat -c %s "$ARC")
  CHECK[$key/extract]="identical (diff -r)"
  measure "$key/extract" "clear_dir \"\$OUT\" && mkdir -p \"\$OUT\"" "cd \"\$OUT\" && $unpack" \
    "diff -r '$src' \"\$OUT/\$NAME\"" || true
  clear_dir "$OUT"; rm -f "$ARC"
}

# Does the new build take these add/extract/test options? Sets PROBE_ERROR.
probe() {
  local cmd=$1; shift
  local dir=$SCRATCH/probe
  clear_dir "$dir"; mkdir -p "$dir/in"; echo "probe" >"$dir/in/a.txt"
  "$NEW_BIN" add -q "$dir/base.vlm" "$dir/in" >/dev/null 2>&1 || true
  case $cmd in
    add) (cd "$dir" && "$NEW_BIN" add -q "$@" "$dir/p.vlm" in) ;;
    extract) "$NEW_BIN" extract -q "$@" -o "$dir/out" "$dir/base.vlm" ;;
    test) "$NEW_BIN" test -q "$@" "$dir/base.vlm" ;;
  esac >/dev/null 2>"$dir/err" && return 0
  PROBE_ERROR=$(head -1 "$dir/err")
  return 1
}

# --- formatting --------------------------------------------------------------------

declare -A LABELS
label_of() { echo "${LABELS[$1]:-$1}"; }
mbps() { awk -v b="$1" -v s="$2" 'BEGIN { if (s + 0 > 0) printf "%.2f", b / 1e6 / s; else print "—" }'; }
mib() { [ -n "$1" ] && awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }' || echo "—"; }
bpb() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", 8 * a / b }'; }
# speedup FROM_S TO_S: how many times faster TO is (FROM_s / TO_s).
speedup() { awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f×", a / b; else print "—" }'; }
is_number() { [[ ${1:-} =~ ^[0-9.]+$ ]]; }
sec_or_dash() { echo "${SEC[$1]:-—}"; }
speed_of() { is_number "${SEC[$2]:-}" && mbps "${IN_BYTES[$1]}" "${SEC[$2]}" || echo "—"; }

# One row comparing key A with key B (B faster means a speedup above 1).
compare_row() {
  local input=$1 op=$2 a=$3 b=$4 size_a="" size_b="" check
  if [ "$op" = add ]; then size_a=${SIZE[$a]:-—}; size_b=${SIZE[$b]:-—}; fi
  check="${CHECK[$a/$op]:-}"
  [ -z "${CHECK[$b/$op]:-}" ] || check="${check:+$check; }${CHECK[$b/$op]}"
  [ "${SEC[$a/$op]:-}" != failed ] && [ "${SEC[$b/$op]:-}" != failed ] || check="FAILED"
  echo "| $input | $op | ${size_a:-} | ${size_b:-} | $(sec_or_dash "$a/$op") | $(sec_or_dash "$b/$op") |" \
       "$(speed_of "$input" "$a/$op") | $(speed_of "$input" "$b/$op") | $(speedup "${SEC[$a/$op]:-}" "${SEC[$b/$op]:-}") |" \
       "$(mib "${PEAK[$a/$op]:-}") | $(mib "${PEAK[$b/$op]:-}") | ${check:-—} |"
}

compare_table() {
  local a=$1 b=$2 heading_a=$3 heading_b=$4 what=$5; shift 5
  echo "| input | command | $heading_a archive bytes | $heading_b archive bytes | $heading_a s | $heading_b s |" \
       "$heading_a MB/s | $heading_b MB/s | $what | $heading_a peak MiB | $heading_b peak MiB | check |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|"
  local input op
  for input in "$@"; do
    [ -n "${SIZE[$input/$a]:-}${SEC[$input/$a/add]:-}" ] || continue
    for op in add extract test; do
      [ -n "${SEC[$input/$a/$op]:-}" ] || continue
      compare_row "$input" "$op" "$input/$a" "$input/$b"
    done
  done
}

peer_table() {
  echo "| input | method | archive bytes | bits/byte | compress s | decompress s | compress MB/s | decompress MB/s | compress peak MiB | decompress peak MiB | round trip |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---|"
  local input key check
  for input in corpus many; do
    for key in "${PEER_KEYS[@]}"; do
      [ -n "${SEC[$input/$key/add]:-}" ] || continue
      check=${CHECK[$input/$key/extract]:-—}
      [ "${SEC[$input/$key/add]}" != failed ] && [ "${SEC[$input/$key/extract]:-}" != failed ] || check=FAILED
      echo "| $input | $(label_of "$key") | ${SIZE[$input/$key]:-—} |" \
           "$(is_number "${SIZE[$input/$key]:-}" && bpb "${SIZE[$input/$key]}" "${IN_BYTES[$input]}" || echo —) |" \
           "$(sec_or_dash "$input/$key/add") | $(sec_or_dash "$input/$key/extract") |" \
           "$(speed_of "$input" "$input/$key/add") | $(speed_of "$input" "$input/$key/extract") |" \
           "$(mib "${PEAK[$input/$key/add]:-}") | $(mib "${PEAK[$input/$key/extract]:-}") | $check |"
    done
  done
}

# --- the run -------------------------------------------------------------------------

ensure_tools
build_both

say "generating the many-files folder (${MANY_FILES} files, about ${MANY_MB} MB)"
MANY=$SCRATCH/in/many-files
mkdir -p "$MANY"
make_many_files "$MANY"
add_input corpus "$CORPUS"
add_input many "$MANY"
MANY_DIGEST=$(tree_digest "$MANY")

# Options the new build may not have yet.
T_ADD="" T_EXTRACT="" T_TEST="" THREADS=1 BEST=1
for cmd in add extract test; do
  if probe "$cmd" -T 1 && probe "$cmd" -T 2; then
    printf -v "T_${cmd^^}" '%s' "-T 1"
  else
    THREADS=0
    NOTES+=("The new build rejects \`vellum $cmd -T\` (\"$PROBE_ERROR\"): no -T 1/-T 2 figures, and its single-thread runs use the default.")
  fi
done
if ! probe add --best; then
  BEST=0
  NOTES+=("The new build rejects \`vellum add --best\` (\"$PROBE_ERROR\"): no --best figures.")
fi

LABELS=([old]="old" [new]="new" [t2]="-T 2")
LOAD_BEFORE_TIMING=$(cut -d' ' -f1-3 /proc/loadavg)

# 1. Single thread, old against new.
for input in corpus many; do
  vellum_runs "$input/old" "$OLD_BIN" "$input" "" "" ""
  vellum_runs "$input/new" "$NEW_BIN" "$input" "$T_ADD" "$T_EXTRACT" "$T_TEST"
done

# 2. -T 1 (the new build's single-thread runs above) against -T 2.
if [ $THREADS -eq 1 ]; then
  LABELS[many/new]="-T 1"
  vellum_runs "many/t2" "$NEW_BIN" many "-T 2" "-T 2" "-T 2" "many/new"
fi

# 3. --best against the default, on the corpus.
if [ $BEST -eq 1 ]; then
  vellum_runs "corpus/best" "$NEW_BIN" corpus "$T_ADD --best" "$T_EXTRACT" "$T_TEST"
fi

# 4. Peers: tar streams for the single-stream compressors.
PEER_KEYS=()
peer() {
  local key=$1 label=$2 tool=$3 pack=$4 unpack=$5 input
  if ! have "$tool"; then NOTES+=("$label: not installed and not installable here, no figures."); return; fi
  PEER_KEYS+=("$key"); LABELS[$key]=$label
  for input in corpus many; do peer_runs "$input/$key" "$input" "$pack" "$unpack"; done
}
if [ $PEERS -eq 1 ]; then
  peer bzip2 "tar + bzip2 -9" bzip2 'tar -cf - "$NAME" | bzip2 -9 > "$ARC"' 'bzip2 -dc "$ARC" | tar -xf -'
  peer xz "tar + xz -9" xz 'tar -cf - "$NAME" | xz -9 > "$ARC"' 'xz -dc "$ARC" | tar -xf -'
  peer zstd "tar + zstd -19" zstd 'tar -cf - "$NAME" | zstd -q -19 -c > "$ARC"' 'zstd -q -dc "$ARC" | tar -xf -'
  peer 7z "7z a -mx9" 7z '7z a -mx9 -bd "$ARC.7z" "$NAME" >/dev/null && mv "$ARC.7z" "$ARC"' \
    'ln -sf "$ARC" a.7z && 7z x -bd a.7z >/dev/null && rm a.7z'
  peer zpaq "zpaq -method 3" zpaq 'zpaq add "$ARC.zpaq" "$NAME" -method 3 >/dev/null 2>&1 && mv "$ARC.zpaq" "$ARC"' \
    'ln -sf "$ARC" a.zpaq && zpaq extract a.zpaq >/dev/null 2>&1 && rm a.zpaq'
fi

# --- the report ------------------------------------------------------------------------

ELAPSED=$(( $(date +%s) - STARTED ))
mkdir -p "$(dirname "$REPORT")"
{
  echo "# Speed benchmark"
  echo
  echo "$(date -u '+%Y-%m-%d %H:%M UTC'), commit $NEW_COMMIT (new) against $OLD_COMMIT (old)."
  echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'),"
  echo "load average at the start: $LOAD_AT_START; before the timed runs (after the builds): $LOAD_BEFORE_TIMING."
  echo "The whole run took $((ELAPSED / 60)) min $((ELAPSED % 60)) s."
  echo
  echo "Inputs: **corpus**, ${IN_FILES[corpus]} files, ${IN_BYTES[corpus]} bytes; **many**, a generated folder of"
  echo "${IN_FILES[many]} files, ${IN_BYTES[many]} bytes (seed $SEED, digest $MANY_DIGEST): whole corpus files,"
  echo "slices and concatenations of them, text-like and random data and mixtures, 1 KB to a few MB each."
  echo "Times: best of $RUNS runs ($PEER_RUNS for the other compressors), wall clock of the whole command; MB/s = 10^6 input bytes per"
  echo "second, for every command (test too). Peak memory: max RSS of the largest process (GNU time %M)."
  echo "Speedups are old s / new s and -T 1 s / -T 2 s: above 1 means faster."
  echo
  echo "## Single thread: old ($OLD_COMMIT) against new"
  echo
  compare_table old new old new "new/old" corpus many
  echo
  echo "## Threads: -T 1 against -T 2 (new build, many files)"
  echo
  if [ $THREADS -eq 1 ]; then
    compare_table new t2 "-T 1" "-T 2" "T2/T1" many
  else
    echo "Not measured: the new build has no -T option."
  fi
  echo
  echo "## add --best against the default (new build, corpus)"
  echo
  if [ $BEST -eq 1 ]; then
    compare_table new best default "--best" "best/default" corpus
    if is_number "${SIZE[corpus/best]:-}" && is_number "${SIZE[corpus/new]:-}"; then
      echo
      echo "--best archive: $(awk -v a="${SIZE[corpus/best]}" -v b="${SIZE[corpus/new]}" 'BEGIN { printf "%.2f%%", 100 * (a - b) / b }') in size against the default" \
           "($(bpb "${SIZE[corpus/best]}" "${IN_BYTES[corpus]}") against $(bpb "${SIZE[corpus/new]}" "${IN_BYTES[corpus]}") bits/byte)."
    fi
  else
    echo "Not measured: the new build has no --best option."
  fi
  echo
  echo "## Other compressors on the same inputs"
  echo
  if [ $PEERS -eq 1 ] && [ ${#PEER_KEYS[@]} -gt 0 ]; then
    echo "Default thread settings of each tool (7z and zpaq use every core); tar streams for the"
    echo "single-stream tools, tar's time included. Vellum (new, single thread) for reference:"
    echo
    PEER_KEYS=(new "${PEER_KEYS[@]}"); LABELS[new]="vellum (new)"; LABELS[many/new]="vellum (new)"
    for input in corpus many; do CHECK[$input/new/extract]=${CHECK[$input/new/extract]:-—}; done
    peer_table
  else
    echo "Not measured (--no-peers, or none of the tools available)."
  fi
  if [ ${#NOTES[@]} -gt 0 ] || [ ${#FAILURES[@]} -gt 0 ]; then
    echo
    echo "## Notes"
    echo
    [ ${#FAILURES[@]} -eq 0 ] || printf -- '- **FAILED**: %s\n' "${FAILURES[@]}"
    [ ${#NOTES[@]} -eq 0 ] || printf -- '- %s\n' "${NOTES[@]}"
  fi
} | tee "$REPORT.tmp"
mv "$REPORT.tmp" "$REPORT"
echo "report: bench/reports/speed.md" >&2
[ ${#FAILURES[@]} -eq 0 ]

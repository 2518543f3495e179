#!/usr/bin/env bash
# Crash consistency: kills `vellum add` (appending to a normal archive),
# `vellum add --solid`, `vellum delete`, `vellum add -T 2` of records larger
# than the workers may hold in memory and `vellum add -u` (an update that
# replaces changed files) with SIGKILL at random moments, and
# after every kill checks that
#   - every entry finished before the kill is still there and extracts byte for
#     byte (the archive, once its unfinished tail is cut, is a prefix of the
#     archive an uninterrupted run writes, ending at a record boundary);
#   - the next command works and leaves a fully sound archive: the next add for a
#     normal archive, `vellum repair` for a solid one; after a killed delete or
#     update the archive is byte for byte either the old one or the new one, and
#     the update run again makes the new one;
#   - no temporary file is left once the next command has run.
# Usage: tests/crash/run.sh [TRIALS_PER_KIND] [VELLUM_BINARY]
#   default 8 trials per kind (the bounded run of the test suite); a longer run:
#   tests/crash/run.sh 60
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
TRIALS=${1:-8}
VELLUM=${2:-$ROOT/build/cli/vellum}
[ -x "$VELLUM" ] || { echo "no vellum program at $VELLUM (build first)" >&2; exit 2; }
VELLUM=$(cd "$(dirname "$VELLUM")" && pwd)/$(basename "$VELLUM")
WORK=$(mktemp -d -t vellum-crash.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

failures=0
fail() { echo "FAIL [$kind trial $trial]: $*" >&2; failures=$((failures + 1)); }
now_ms() { date +%s%3N; }
# A random pause from 0 to $1 milliseconds.
pause() { sleep "$(awk -v r="$RANDOM$RANDOM" -v t="$1" 'BEGIN { srand(r); printf "%.4f", rand() * t / 1000 }')"; }
v() { "$VELLUM" -q "$@"; }
# The lines of the entries listing between its header and its totals ("2 entries, ...").
entry_lines() { { v list --entries "$1" 2>/dev/null || true; } | awk 'NR > 1 && !/ [0-9]+ entr(y|ies)(,| in )/'; }
# Number of whole file entries the listing shows (the archive's own metadata
# entries, under .vellum/, extract to no file).
entries_in() { entry_lines "$1" | awk '$NF !~ /^\.vellum\//' | wc -l; }
# Temporaries anywhere in the folder: a delete's copies and extraction files.
temporaries() { find "$1" -name '*.tmp' | wc -l; }

# --- sources: text, program-like and already-compressed files --------------------
mkdir -p src
for i in 1 2 3 4 5 6; do
  { seq "$((i * 7000))" "$((i * 7000 + 9000))"; head -c 20000 /dev/urandom | od -An -tx1; } > "src/t$i.txt"
done
head -c 300000 /dev/urandom > src/noise.bin
{ printf 'PK\003\004'; head -c 2000000 /dev/urandom; } > src/stored.zip
head -c 400 /dev/urandom | od -An -tx1 > extra.txt
SOURCES=(src/t1.txt src/t2.txt src/noise.bin src/t3.txt src/stored.zip src/t4.txt src/t5.txt src/t6.txt)
# Records larger than two workers may hold before their turn: a stored file and a
# coded one of random data, each above the oldest job's share.
{ printf 'PK\003\004'; head -c 40000000 /dev/urandom; } > src/large.zip
head -c 18000000 /dev/urandom > src/large.bin
LARGE=(src/t1.txt src/large.zip src/t2.txt src/large.bin src/t3.txt)

# The reference archives an uninterrupted run writes, and how long that takes.
{ seq 1 30000; } > src/p1.txt; seq 5 40000 > src/p2.txt
v add pre.vlm src/p1.txt src/p2.txt
cp pre.vlm full.vlm
# Kills fall anywhere in the first nine tenths of a run; a loaded machine spreads them further.
t=$(now_ms); v add full.vlm "${SOURCES[@]}"; APPEND_MS=$(( ($(now_ms) - t) * 9 / 10 ))
t=$(now_ms); v add --solid solid.vlm "${SOURCES[@]}"; SOLID_MS=$(( ($(now_ms) - t) * 9 / 10 ))
mv solid.vlm solidfull.vlm
cp pre.vlm fulllarge.vlm
# A run that does not end within minutes waits on itself: that is a failure too.
t=$(now_ms); timeout 600 "$VELLUM" -q add -T 2 fulllarge.vlm "${LARGE[@]}" || { echo "add -T 2 of large records did not finish" >&2; exit 1; }
LARGE_MS=$(( ($(now_ms) - t) * 9 / 10 ))
cp full.vlm deleted.vlm
t=$(now_ms); v delete deleted.vlm t2.txt; DELETE_MS=$(( $(now_ms) - t ))
# An update: the archive holds older copies of the text files (other bytes, the
# same names); add -u replaces those and leaves the others.
mkdir -p old
for f in "${SOURCES[@]}"; do cp "$f" old/; done
for i in 1 2 3 4 5 6; do seq "$i" 3 90000 > "old/t$i.txt"; done
touch -d '2001-02-03' old/*.txt
(cd old && "$VELLUM" -q add ../updbase.vlm t1.txt t2.txt noise.bin t3.txt stored.zip t4.txt t5.txt t6.txt)
cp updbase.vlm updfull.vlm
t=$(now_ms); v add -u updfull.vlm "${SOURCES[@]}"; UPDATE_MS=$(( ($(now_ms) - t) * 9 / 10 ))
for ref in full.vlm solidfull.vlm deleted.vlm fulllarge.vlm updbase.vlm updfull.vlm; do
  v test "$ref" >/dev/null || { echo "reference archive $ref is not sound" >&2; exit 2; }
done

# Checks that every entry listed in $1 extracts byte for byte from its source.
check_entries() {
  local archive=$1 out=$2 listed
  rm -rf "$out"; mkdir -p "$out"
  listed=$(entries_in "$archive")
  v extract -o "$out" "$archive" 2>/dev/null || true
  local got; got=$(find "$out" -type f | wc -l)
  [ "$got" = "$listed" ] || fail "$listed entries listed, $got extracted"
  local f
  for f in $(cd "$out" && find . -type f); do
    cmp -s "$out/$f" "src/$f" || fail "entry $f differs from its source"
  done
  [ "$(temporaries "$out")" = 0 ] || fail "extraction temporaries left"
}

# Offsets of the entries of archive $1, and its size: the record boundaries.
boundaries() { entry_lines "$1" | awk '{ print $1 }'; stat -c %s "$1"; }
# True when the first $1 bytes of archive $2 are those of the reference $3, and
# $1 is one of the reference's record boundaries.
prefix_at_boundary() {
  local all; all=$(boundaries "$3")
  cmp -s -n "$1" "$2" "$3" && grep -qx "$1" <<<"$all"
}

midway=0
run_kind() {
  kind=$1
  local limit_ms=$2 hits=0 started; started=$(now_ms)
  for trial in $(seq 1 "$TRIALS"); do
    rm -rf t; mkdir t
    case $kind in
      append) cp pre.vlm t/arc.vlm; args=(add t/arc.vlm "${SOURCES[@]}") ;;
      large) cp pre.vlm t/arc.vlm; args=(add -T 2 t/arc.vlm "${LARGE[@]}") ;;
      solid) args=(add --solid t/arc.vlm "${SOURCES[@]}") ;;
      delete) cp full.vlm t/arc.vlm; args=(delete t/arc.vlm t2.txt) ;;
      update) cp updbase.vlm t/arc.vlm; args=(add -u t/arc.vlm "${SOURCES[@]}") ;;
    esac
    "$VELLUM" -q "${args[@]}" >/dev/null 2>&1 &
    pid=$!
    pause "$limit_ms"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true

    case $kind in
      append|large)
        local ref=full.vlm; [ "$kind" = large ] && ref=fulllarge.vlm
        if ! cmp -s t/arc.vlm "$ref"; then hits=$((hits + 1)); fi
        check_entries t/arc.vlm t/out
        v add t/arc.vlm extra.txt >/dev/null 2>&1 || fail "the next add failed"
        v test t/arc.vlm >/dev/null 2>&1 || fail "not sound after the next add"
        # Before the entry just added (and the metadata entry after it), the archive
        # is the reference up to a record boundary.
        local kept; kept=$(boundaries t/arc.vlm | tail -n 3 | head -n 1)
        prefix_at_boundary "$kept" t/arc.vlm "$ref" || fail "finished entries differ from an uninterrupted add"
        [ "$(entries_in t/arc.vlm)" -ge 3 ] || fail "entries from before the add were lost"
        ;;
      solid)
        if [ ! -e t/arc.vlm ] || [ "$(stat -c %s t/arc.vlm)" -lt 12 ]; then
          # Killed before the archive had its header: nothing was finished.
          hits=$((hits + 1))
          rm -f t/arc.vlm
        else
          cmp -s t/arc.vlm solidfull.vlm || hits=$((hits + 1))
          v repair t/arc.vlm >/dev/null 2>&1 || fail "repair failed"
          v test t/arc.vlm >/dev/null 2>&1 || fail "not sound after repair"
          prefix_at_boundary "$(stat -c %s t/arc.vlm)" t/arc.vlm solidfull.vlm || fail "finished entries differ from an uninterrupted solid add"
          check_entries t/arc.vlm t/out
        fi
        ;;
      delete)
        if cmp -s t/arc.vlm full.vlm; then
          [ "$(temporaries t)" = 0 ] && [ "$(find t -name 'arc.vlm*' | wc -l)" = 1 ] || hits=$((hits + 1))
          v delete t/arc.vlm t2.txt >/dev/null 2>&1 || fail "the next delete failed"
        else
          hits=$((hits + 1))
          cmp -s t/arc.vlm deleted.vlm || fail "the archive is neither the old nor the new one"
          v add t/arc.vlm extra.txt >/dev/null 2>&1 || fail "the next add failed"
        fi
        v test t/arc.vlm >/dev/null 2>&1 || fail "not sound after the next command"
        ;;
      update)
        if cmp -s t/arc.vlm updbase.vlm; then
          [ "$(temporaries t)" = 0 ] || hits=$((hits + 1))
        else
          hits=$((hits + 1))
          cmp -s t/arc.vlm updfull.vlm || fail "the archive is neither the old nor the updated one"
        fi
        v add -u t/arc.vlm "${SOURCES[@]}" >/dev/null 2>&1 || fail "the next update failed"
        cmp -s t/arc.vlm updfull.vlm || fail "the update run again did not make the updated archive"
        check_entries t/arc.vlm t/out
        ;;
    esac
    [ "$(temporaries t)" = 0 ] || fail "temporary left after the next command: $(find t -name '*.tmp')"
  done
  echo "$kind: $TRIALS kills, $hits inside the command (up to ${limit_ms} ms after its start), $(( $(now_ms) - started )) ms"
  midway=$((midway + hits))
}

run_kind append "$APPEND_MS"
run_kind solid "$SOLID_MS"
run_kind delete "$DELETE_MS"
run_kind large "$LARGE_MS"
run_kind update "$UPDATE_MS"
echo "crash test: $((5 * TRIALS)) kills, $midway inside a command, $failures failures"
[ "$failures" = 0 ]

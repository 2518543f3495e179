#!/usr/bin/env bash
# Remakes the fuzzer's seed corpus (fuzz/corpus): small archives of every kind the
# vellum command writes, normal and solid, coded (by either codec), filtered,
# stored and empty.
# Usage: fuzz/make-seeds.sh PATH-TO-VELLUM
set -euo pipefail
VELLUM=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
mkdir -p docs/sub
printf 'abc' > a.txt
printf 'alpha beta gamma alpha beta gamma delta %.0s' 1 2 3 4 5 6 7 8 > docs/t.txt
printf 'int main() { return 0; } /* %.0s */\n' 1 2 3 4 > docs/sub/m.c
: > docs/empty.txt
printf 'PK\003\004stored bytes' > docs/x.zip
printf 'BM%.0s\001\002\003\004' 1 2 3 4 5 6 7 8 9 10 > docs/p.bmp
printf 'MZ\220\000\003\000\000\000\350\001\000\000\000\351\002\000\000\000' > docs/e.exe
printf '%%PDF-1.4 obj obj obj obj endobj endobj' > docs/d.pdf
# Ten bytes the strong codec would grow: a solid run stores them after coding.
printf '\237\061\304\007\356\122\030\251\146\015' > r.bin
q() { "$VELLUM" -q "$@" >/dev/null; }
q add --no-meta --block 8M one a.txt
q add --no-meta --block 8M normal docs a.txt
q add --no-meta --block 8M --solid solid docs a.txt
q add --no-meta --block 8M --solid solid-small a.txt docs/t.txt docs/x.zip
q add --no-meta --block 16M empty docs/empty.txt
q add --no-meta --block 8M --strong strong docs a.txt
q add --no-meta --block 8M --strong --solid strong-solid docs a.txt r.bin
# Metadata (coded as text; in a solid archive wrapped in a stored record): modes,
# times, an empty folder, a hard link, links inside the tree, and links that
# chain up and out of it (x/b leads to the tree's top, a from there above it).
mkdir -p tree/sub/empty tree/x
cp docs/t.txt tree/
cp docs/sub/m.c tree/sub/
ln -s ../t.txt tree/sub/to_t
ln -s .. tree/x/b
ln -s x/b/.. tree/a
ln -s /etc/hostname tree/abs
ln tree/t.txt tree/hard
q add --block 8M meta tree
q add --solid --block 8M meta-solid tree
rm -f "$HERE/corpus/"*.vlm
mkdir -p "$HERE/corpus"
for f in *.vlm; do cp "$f" "$HERE/corpus/$f"; done
ls -l "$HERE/corpus"

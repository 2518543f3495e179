#!/usr/bin/env bash
# The shell completions against the program: the bash completion offers every
# command word and, for each command, exactly the options its --help names;
# the zsh and fish files name them too (and parse, where those shells are
# installed).
#   completion_test.sh COMPLETION_FOLDER VELLUM
set -u
folder=$1
vellum=$2
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# shellcheck source=/dev/null
source "$folder/vellum.bash"
# The completions bash would offer for a command line ending in `cur`.
offered() {
    COMP_WORDS=(vellum "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _vellum
    printf '%s\n' "${COMPREPLY[@]}" | sort -u
}
words_of() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -u; }

for word in add a create c extract x list l info i delete d test t repair r; do
    offered "" | grep -qx -- "$word" || fail "command word $word not offered"
done
# Each command's long options, as its help names them, and as bash offers them.
for command in add create extract list info delete test repair; do
    help_options=$("$vellum" "$command" --help | grep -o -- '--[a-z][a-z-]*' | grep -v -- '--help' | sort -u)
    bash_options=$(offered "$command" "--" | grep -v -- '--help\|--quiet' | sort -u)
    [ "$help_options" = "$bash_options" ] ||
        fail "$command: help names [$(echo $help_options)], bash offers [$(echo $bash_options)]"
    for option in $help_options; do
        grep -q -- "${option#--}" "$folder/_vellum" || fail "zsh completion lacks $option"
        grep -q -- "-l ${option#--}" "$folder/vellum.fish" || fail "fish completion lacks $option"
    done
done
[ "$(words_of "$(offered add --block "")")" = "$(words_of "8M 16M 32M 64M 128M 256M 512M")" ] ||
    fail "block sizes: $(offered add --block "")"
for short in -C -o -k -T; do offered x - | grep -qx -- "$short" || fail "extract: $short not offered"; done
offered l - | grep -qx -- -v || fail "list: -v not offered"
# Archives: .vlm files and "-" where the archive goes; any file for add's paths.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" && touch backup.vlm notes.txt
offered x "" | grep -qx backup.vlm || fail "extract: archive not offered"
offered x "" | grep -qx -- - || fail "extract: - not offered"
offered x "" | grep -qx notes.txt && fail "extract: a file that is no archive offered"
offered add backup.vlm "" | grep -qx notes.txt || fail "add: paths not offered"
offered delete "" | grep -qx -- - && fail "delete: - offered"

if command -v zsh >/dev/null; then zsh -n "$folder/_vellum" || fail "zsh completion does not parse"; fi
if command -v fish >/dev/null; then fish -n "$folder/vellum.fish" || fail "fish completion does not parse"; fi
[ $failed -eq 0 ] && echo "completions agree with the program"
exit $failed

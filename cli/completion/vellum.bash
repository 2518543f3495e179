# bash completion for vellum: command words, each command's options, block
# sizes, and .vlm archives (or "-") where the archive goes.
_vellum() {
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion || return
    else
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD - 1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    fi
    local commands="add a create c extract x list l info i delete d test t repair r"
    local common="-q --quiet -h --help"
    # The command word, and how many operands come before the cursor.
    local command="" operands=0 i word options_done=""
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        if [[ -z $options_done && $word == -- ]]; then options_done=1; continue; fi
        if [[ -z $options_done && $word == -* ]]; then
            case $word in
                --block | --exclude | -T | --threads | -o | --output | -C | --directory) ((i++)) ;;
            esac
            continue
        fi
        if [[ -z $command ]]; then command=$word; else ((operands++)); fi
    done
    case $prev in
        --block) COMPREPLY=($(compgen -W "8M 16M 32M 64M 128M 256M 512M" -- "$cur")); return ;;
        -T | --threads) COMPREPLY=($(compgen -W "1 2 4 8 16" -- "$cur")); return ;;
        -o | --output | -C | --directory) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --exclude) return ;;
    esac
    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$common --version" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi
    local options=""
    case $command in
        add | a | create | c) options="--solid --block --meta --no-meta -u --update --best --strong --exclude -T --threads" ;;
        extract | x) options="-o --output -C --directory -k --keep-old-files -P --absolute-links --stdout --exclude -T --threads" ;;
        list | l) options="-v --verbose --rows --entries --json" ;;
        info | i) options="--json" ;;
        test | t) options="-T --threads" ;;
        delete | d | repair | r) options="" ;;
        *) return ;;
    esac
    if [[ -z $options_done && $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options $common" -- "$cur"))
        return
    fi
    if ((operands == 0)); then
        # The archive: .vlm files and folders on the way to them, or "-".
        COMPREPLY=($(compgen -f -X '!*.vlm' -- "$cur") $(compgen -d -- "$cur"))
        case $command in delete | d | repair | r) ;; *) [[ -z $cur ]] && COMPREPLY+=("-") ;; esac
        return
    fi
    case $command in
        add | a | create | c) COMPREPLY=($(compgen -f -- "$cur")) ;;
    esac
}
complete -o filenames -o bashdefault -F _vellum vellum

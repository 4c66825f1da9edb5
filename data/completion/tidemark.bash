# bash completion for tidemark: subcommands, their options, and the values
# of --device (the recorders' indexes and device nodes), --transport and
# --speed.

_tidemark_recorders() {
    # Indexes as `tidemark devices` counts them, then the device nodes.
    local transport=$1 count i
    count=$(tidemark devices ${transport:+--transport "$transport"} 2>/dev/null | wc -l)
    for ((i = 0; i < count; i++)); do printf '%s\n' "$i"; done
    compgen -G '/dev/sr[0-9]*'
}

_tidemark() {
    local cur prev words cword
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD

    local commands="burn burn-image devices disc eject erase extract info load ls mkiso vrec"
    local common="-h --help -v --verbose"
    local recorder="--device --transport"
    local job="--speed --test --eject --unmount -q --quiet --json"

    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$commands help --help --version" -- "$cur"))
        return
    fi
    local command=${words[1]}
    if [[ $command == help ]]; then
        ((cword == 2)) && COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
    fi

    # Values of the options that take one.
    local transport="" i
    for ((i = 2; i < cword; i++)); do
        [[ ${words[i]} == --transport ]] && transport=${words[i+1]}
    done
    case $prev in
        --device)
            COMPREPLY=($(compgen -W "$(_tidemark_recorders "$transport")" -- "$cur"))
            return ;;
        --transport)
            COMPREPLY=($(compgen -W "auto sgio library" -- "$cur"))
            return ;;
        --speed)
            COMPREPLY=($(compgen -W "max 1x 2x 4x 8x 12x 16x 24x 32x 48x 52x" -- "$cur"))
            return ;;
        -o|--output)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
        --volume|--cache-size|--session|--capacity|--target)
            return ;;
    esac

    local options
    case $command in
        devices) options="--transport --json $common" ;;
        info|disc|load) options="$recorder --json $common" ;;
        eject) options="$recorder --unmount --json $common" ;;
        mkiso) options="-o --output --volume --no-joliet --quick --archive-only --cache-size --skip-unadded --force -q --quiet --json $common" ;;
        burn) options="--close-disc --no-close-track --opc --no-underrun-protection --no-joliet --volume --archive-only --cache-size --skip-unadded --continue --session $job $recorder $common" ;;
        burn-image) options="$job $recorder $common" ;;
        erase) options="--full --eject --unmount $recorder -q --quiet --json $common" ;;
        ls) options="-l --long --session $recorder --json $common" ;;
        extract) options="--force --session $recorder -q --quiet --json $common" ;;
        vrec)
            if ((cword == 2)); then
                COMPREPLY=($(compgen -W "status insert insert-image remove dump speed fault reset run --help" -- "$cur"))
                return
            fi
            case ${words[2]} in
                insert)
                    COMPREPLY=($(compgen -W "CD-R CD-RW DVD-R DVD-RW DVD+R DVD+RW DVD-RAM --capacity --target" -- "$cur")) ;;
                speed)
                    COMPREPLY=($(compgen -W "fast 1x 2x 4x 8x 16x --target" -- "$cur")) ;;
                fault)
                    COMPREPLY=($(compgen -W "add list clear --target" -- "$cur")) ;;
                status) COMPREPLY=($(compgen -W "--json --target" -- "$cur")) ;;
                dump) COMPREPLY=($(compgen -W "--session -o --force --target" -- "$cur")) ;;
                insert-image) COMPREPLY=($(compgen -f -- "$cur")) ;;
                run) COMPREPLY=($(compgen -c -- "$cur")) ;;
                *) COMPREPLY=($(compgen -W "--target" -- "$cur")) ;;
            esac
            return ;;
        *) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}

complete -o filenames -o bashdefault -F _tidemark tidemark

# bash completion for o8rprog: commands, options, part names from the
# catalogue (as `o8rprog mcus` lists them) and S-record files.

_o8rprog_parts() {
    local catalogue=() i
    for ((i = 1; i < ${#COMP_WORDS[@]} - 1; i++)); do
        if [[ ${COMP_WORDS[i]} == --catalogue ]]; then
            catalogue=(--catalogue "${COMP_WORDS[i + 1]}")
        fi
    done
    "${COMP_WORDS[0]}" "${catalogue[@]}" mcus 2>/dev/null | awk '/^    [^ ]/ { print $1 }'
}

_o8rprog() {
    local cur prev words cword
    _init_completion || return

    local commands="mcus image detect program erase blank-check read load query update doctor gang job"
    local global="--box --sim-state --sim-protect --sim-update-mode --sim-fault --sim-realtime
                  --sim-timing --sim-serial --cancel-answer --id --id-text --base --catalogue
                  --trace --json --log --yes --quiet --help --version"

    case $prev in
        --mcu)
            COMPREPLY=($(compgen -W "$(_o8rprog_parts)" -- "$cur"))
            return
            ;;
        --box)
            COMPREPLY=($(compgen -W "auto sim serial:" -- "$cur"))
            [[ ${COMPREPLY[0]} == serial: ]] && compopt -o nospace
            return
            ;;
        --catalogue)
            _filedir mcu
            return
            ;;
        --sim-state | --trace | --log | -o | --output)
            _filedir
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W "srec ihex bin" -- "$cur"))
            return
            ;;
        --sim-timing)
            COMPREPLY=($(compgen -W "fast typical slow" -- "$cur"))
            return
            ;;
        --cancel-answer)
            COMPREPLY=($(compgen -W "yes no ask" -- "$cur"))
            return
            ;;
        --boxes)
            COMPREPLY=($(compgen -W "auto sim:" -- "$cur"))
            [[ ${COMPREPLY[0]} == sim: ]] && compopt -o nospace
            return
            ;;
        --sim-protect | --sim-fault | --sim-serial | --id | --id-text | --base | --range | \
            --blocks | --jobs)
            return
            ;;
    esac
    if [[ $cur == serial:* ]]; then
        local ports=(/dev/ttyUSB* /dev/ttyACM*)
        COMPREPLY=($(compgen -P serial: -W "${ports[*]}" -- "${cur#serial:}"))
        return
    fi

    # The command; under gang, the command its boxes run once it is given.
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --box | --sim-state | --sim-protect | --sim-fault | --sim-timing | --sim-serial | \
                --cancel-answer | --id | --id-text | --base | --catalogue | --trace | --log | \
                --mcu | --range | --blocks | -o | --output | --format | --boxes | --jobs | \
                --serial | --serial-start | --serial-step | --serial-counter | --serial-list | \
                --steps | --job-log | --name | --start)
                ((i++))
                ;;
            -*) ;;
            gang) command=gang ;;
            *)
                [[ $command == gang ]] && global=""
                command=${words[i]}
                break
                ;;
        esac
    done

    local options=""
    case $command in
        "")
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "$global" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "$commands" -- "$cur"))
            fi
            return
            ;;
        gang)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--boxes --jobs --help" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "program erase blank-check read load update" -- "$cur"))
            fi
            return
            ;;
        job)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--boxes --jobs --mcu -o --steps --job-log --name --start \
                    --serial --serial-start --serial-step --serial-counter --serial-list \
                    --serial-overwrite --help" -- "$cur"))
            elif [[ $prev == job ]]; then
                COMPREPLY=($(compgen -W "check run new" -- "$cur"))
            else
                COMPREPLY=($(compgen -f -- "$cur"))
            fi
            return
            ;;
        detect) options="--all" ;;
        image) options="--mcu --serial --serial-overwrite" ;;
        load) options="--mcu" ;;
        program) options="--mcu --verify --serial --serial-start --serial-step --serial-counter
            --serial-list --serial-overwrite" ;;
        erase) options="--mcu --blocks --all" ;;
        blank-check) options="--mcu --range" ;;
        read) options="--mcu --range --output --format --dump" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options $global" -- "$cur"))
    else
        case $command in
            image | program | load | update) _filedir mot ;;
        esac
    fi
} &&
    complete -F _o8rprog o8rprog

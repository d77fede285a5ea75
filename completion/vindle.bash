# bash completion for vindle: options (short and long), the arguments of
# --pid, --user, --highlight= and --version=, and the positional PID or USER.
# Installed as share/bash-completion/completions/vindle; it can also be
# sourced by hand, as it needs nothing from the bash-completion package.

_vindle_pids() {
    local entry pids=()
    if [[ -d /proc/self ]]; then
        for entry in /proc/[0-9]*; do
            pids+=("${entry#/proc/}")
        done
    else
        pids=($(ps -axo pid= 2>/dev/null))
    fi
    compgen -W "${pids[*]}" -- "$1"
}

_vindle() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local prefix=

    # "--pid=12" reaches us as "--pid" "=" "12" while "=" breaks words (the
    # default), and as one word otherwise; the replies then keep "--pid=".
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == --*=* ]]; then
        prev=${cur%%=*}
        prefix=${prev}=
        cur=${cur#*=}
    fi
    local attached=false
    [[ ${COMP_WORDS[COMP_CWORD]} == = || ${COMP_WORDS[COMP_CWORD - 1]} == = || -n $prefix ]] &&
        attached=true

    local replies=()
    case $prev in
    --pid | --highlight-pid)
        replies=($(_vindle_pids "$cur"))
        ;;
    --user)
        replies=($(compgen -u -- "$cur"))
        ;;
    --highlight)
        # Its argument is optional and must be attached: "--highlight 42"
        # makes 42 a positional PID.
        $attached && replies=($(_vindle_pids "$cur"))
        ;;
    --version)
        $attached && replies=($(compgen -W "s short l license" -- "$cur"))
        ;;
    esac

    if ((${#replies[@]} == 0)) && ! $attached; then
        local long="--arguments --ascii --compact --no-compact --help --highlight
            --highlight= --highlight-all --highlight-pid= --vt100 --show-kernel
            --long --numeric-sort --show-pids --show-titles --uid-changes
            --unicode --version --version= --pid= --user="
        local short="-a -A -c -h -H -G -k -l -n -p -t -u -U -V"
        case $cur in
        --*) replies=($(compgen -W "$long" -- "$cur")) ;;
        -*) replies=($(compgen -W "$short $long" -- "$cur")) ;;
        *) replies=($(_vindle_pids "$cur") $(compgen -u -- "$cur")) ;;
        esac
        # An option that takes an attached argument: no space after the "=".
        [[ ${#replies[@]} -eq 1 && ${replies[0]} == *= ]] && compopt -o nospace 2>/dev/null
    fi

    COMPREPLY=()
    local reply
    for reply in "${replies[@]}"; do
        COMPREPLY+=("$prefix$reply")
    done
}

complete -F _vindle vindle

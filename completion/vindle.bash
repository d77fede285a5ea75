# bash completion for vindle: options (short and long), the arguments of
# --pid, --user, --highlight-pid, --highlight= and -H (pids), --version= and
# -V (its forms), and the positional PID or USER. Nothing is offered after -h
# or -V, which end the run, and kernel threads only with -k.
# Installed as share/bash-completion/completions/vindle; it can also be
# sourced by hand, as it needs nothing from the bash-completion package.

# The pids that start with $1. Kernel threads (Linux: the PF_KTHREAD bit of
# the flags in /proc/PID/stat; FreeBSD: parent pid 0) only when $2 is "yes",
# as vindle shows them only with -k.
_vindle_pids() {
    local entry line fields pids=()
    if [[ -d /proc/self ]]; then
        for entry in /proc/[0-9]*; do
            [[ ${entry#/proc/} == "$1"* ]] || continue
            if [[ $2 != yes ]]; then
                # The fields after the name, which ends with the last ")":
                # the flags word is the seventh of them.
                read -r line 2>/dev/null <"$entry/stat" || continue
                read -r -a fields <<<"${line##*) }"
                ((${fields[6]:-0} & 0x00200000)) && continue
            fi
            pids+=("${entry#/proc/}")
        done
    else
        local pid ppid
        while read -r pid ppid; do
            [[ $2 != yes && $ppid == 0 && $pid != 1 ]] && continue
            pids+=("$pid")
        done < <(ps -axo pid=,ppid= 2>/dev/null)
    fi
    compgen -W "${pids[*]}" -- "$1"
}

# Whether an option on the line, before the word being completed, ends the
# run ($1 = end: -h, -V and their long forms, alone or in a group of
# letters) or shows the kernel's processes ($1 = kernel: -k). Words after
# "--" are operands. Long options may be abbreviated as far as they stay
# unambiguous.
_vindle_has_option() {
    local word name letters letter i
    # The words before the current one, less the option whose argument is
    # being completed when bash made the "=" a word of its own.
    local last=$((COMP_CWORD - 1))
    if [[ ${COMP_WORDS[COMP_CWORD]} == = ]]; then
        ((last--))
    elif [[ ${COMP_WORDS[COMP_CWORD - 1]} == = ]]; then
        ((last -= 2))
    fi
    local -a words=("${COMP_WORDS[@]:1:last}")
    for ((i = 0; i < ${#words[@]}; i++)); do
        word=${words[i]}
        [[ $word == -- ]] && return 1
        # The argument of --pid, --user or --highlight-pid in the next word
        # (or after a "=" that bash made a word of its own) is no option.
        if [[ $word == --pid || $word == --user || $word == --highlight-pid ]]; then
            [[ ${words[i + 1]} == = ]] && ((i++))
            ((i++))
            continue
        fi
        if [[ $word == --?* ]]; then
            name=${word#--}
            name=${name%%=*}
            case $1 in
            end) [[ help == "$name"* && ${#name} -ge 3 || version == "$name"* && ${#name} -ge 2 ]] &&
                return 0 ;;
            kernel) [[ show-kernel == "$name"* && ${#name} -ge 6 ]] && return 0 ;;
            esac
        elif [[ $word == -?* ]]; then
            letters=${word#-}
            while [[ -n $letters ]]; do
                letter=${letters:0:1}
                letters=${letters:1}
                case $1:$letter in
                end:[hV] | kernel:k) return 0 ;;
                *:[HV]) break ;; # the rest of the word is the argument
                esac
            done
        fi
    done
    return 1
}

_vindle() {
    COMPREPLY=()
    # -h and -V print and end the run: nothing after them is read.
    _vindle_has_option end && return 0
    local kernel=no
    _vindle_has_option kernel && kernel=yes
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local prefix=
    local attached_short='^-([AacGklnptuU]*)([HV])(.*)$'

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
    elif [[ $cur =~ $attached_short ]]; then
        # -H and -V take their optional argument in the same word, also at
        # the end of a group of letters: -H42, -kH42, -Vs.
        prefix=-${BASH_REMATCH[1]}${BASH_REMATCH[2]}
        prev=-${BASH_REMATCH[2]}
        cur=${BASH_REMATCH[3]}
        [[ ${BASH_REMATCH[1]} == *k* ]] && kernel=yes
    fi
    local attached=false
    [[ ${COMP_WORDS[COMP_CWORD]} == = || ${COMP_WORDS[COMP_CWORD - 1]} == = || -n $prefix ]] &&
        attached=true

    local replies=()
    case $prev in
    --pid | --highlight-pid)
        replies=($(_vindle_pids "$cur" $kernel))
        ;;
    --user)
        replies=($(compgen -u -- "$cur"))
        ;;
    --highlight | -H)
        # Its argument is optional and must be attached: "--highlight 42"
        # makes 42 a positional PID.
        $attached && replies=($(_vindle_pids "$cur" $kernel))
        ;;
    --version | -V)
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
        *) replies=($(_vindle_pids "$cur" $kernel) $(compgen -u -- "$cur")) ;;
        esac
        # An option that takes an attached argument: no space after the "=".
        [[ ${#replies[@]} -eq 1 && ${replies[0]} == *= ]] && compopt -o nospace 2>/dev/null
    fi

    local reply
    for reply in "${replies[@]}"; do
        COMPREPLY+=("$prefix$reply")
    done
}

complete -F _vindle vindle

# fish completion for vindle: options, the forms of --version=, pids for
# -H, --highlight=, --highlight-pid= and --pid=, user names for --user=, and
# a PID or USER as operand. Nothing is offered after -h or -V, which end the
# run. Installed as vindle.fish in fish's vendor_completions.d.

# Whether an option before the token being completed ends the run ($argv[1] =
# end: -h, -V and their long forms, alone or in a group of letters) or shows
# the kernel's processes ($argv[1] = kernel: -k). Tokens after "--" are
# operands; long options may be abbreviated as far as they stay unambiguous.
function __vindle_has_option
    set -l tokens (commandline -opc)
    set -e tokens[1]
    set -l skip 0
    for token in $tokens
        if test $skip -eq 1
            set skip 0
            continue
        end
        switch $token
            case --
                return 1
            case --pid --user --highlight-pid
                # Its argument is the next token.
                set skip 1
            case '--?*'
                set -l name (string replace -r '=.*' '' -- (string sub -s 3 -- $token))
                if test $argv[1] = end
                    if string match -q -- "$name*" help; and test (string length -- $name) -ge 3
                        return 0
                    end
                    if string match -q -- "$name*" version; and test (string length -- $name) -ge 2
                        return 0
                    end
                else if string match -q -- "$name*" show-kernel; and test (string length -- $name) -ge 6
                    return 0
                end
            case '-?*'
                for letter in (string split '' -- (string sub -s 2 -- $token))
                    switch $argv[1]:$letter
                        case end:h end:V kernel:k
                            return 0
                        case '*:H' '*:V'
                            # The rest of the token is the argument.
                            break
                    end
                end
        end
    end
    return 1
end

# The pids of the machine, kernel threads only when -k is on the line, as
# vindle shows them only then. On Linux a kernel thread has the PF_KTHREAD
# bit in the flags word of /proc/PID/stat (the seventh field after the name);
# on FreeBSD a kernel process has parent pid 0.
function __vindle_pids
    set -l kernel no
    __vindle_has_option kernel; and set kernel yes
    # -k before -H in the word being completed: -kH42.
    string match -q -r -- '^-[AacGklnptuU]*k[AacGklnptuU]*H' (commandline -ct); and set kernel yes
    if test -d /proc/self
        set -l pids (string replace -r '^/proc/' '' -- /proc/* | string match -r '^[0-9]+$')
        if test $kernel = yes
            printf '%s\n' $pids
            return
        end
        # One read of every stat file; a process that is gone by then is
        # left out.
        for line in (command cat /proc/$pids/stat 2>/dev/null)
            set -l fields (string split ' ' -- (string replace -r '.*\) ' '' -- $line))
            set -q fields[7]; or continue
            test (math --base=16 "bitand($fields[7], 0x00200000)") = 0x0
            and string replace -r ' .*' '' -- $line
        end
    else
        ps -axo pid=,ppid= 2>/dev/null | while read -l pid ppid
            if test $kernel = no -a "$ppid" = 0 -a "$pid" != 1
                continue
            end
            echo $pid
        end
    end
end

function __vindle_users
    if command -q getent
        getent passwd | string replace -r ':.*' ''
    else
        string replace -r ':.*' '' </etc/passwd | string match -v -r '^#'
    end
end

function __vindle_more
    not __vindle_has_option end
end

complete -c vindle -f
complete -c vindle -n __vindle_more -a '(__vindle_pids)' -d 'process id'
complete -c vindle -n __vindle_more -a '(__vindle_users)' -d user
complete -c vindle -n __vindle_more -s a -l arguments -d 'show command line arguments'
complete -c vindle -n __vindle_more -s A -l ascii -d 'use ASCII line drawing characters'
complete -c vindle -n __vindle_more -s c -l no-compact -d "don't compact identical subtrees"
complete -c vindle -n __vindle_more -l compact -d "don't compact identical subtrees"
complete -c vindle -n __vindle_more -s h -l help -d 'show this help message and exit'
# The arguments of -H and -V are optional and attached: -H42, --highlight=42.
# A separate word is an operand, and none follows -V.
complete -c vindle -n __vindle_more -s H -x -a '(__vindle_pids)' \
    -d 'highlight the current process (or PID) and its ancestors'
complete -c vindle -n __vindle_more -l highlight -a '(__vindle_pids)' \
    -d 'highlight the current process (or PID) and its ancestors'
complete -c vindle -n __vindle_more -l highlight-all -d 'highlight the current process and its ancestors'
complete -c vindle -n __vindle_more -l highlight-pid -x -a '(__vindle_pids)' \
    -d 'highlight the process PID and its ancestors'
complete -c vindle -n __vindle_more -s G -l vt100 -d 'use VT100 line drawing characters'
complete -c vindle -n __vindle_more -s k -l show-kernel -d 'show kernel processes'
complete -c vindle -n __vindle_more -s l -l long -d "don't truncate long lines"
complete -c vindle -n __vindle_more -s n -l numeric-sort -d 'sort output by PID'
complete -c vindle -n __vindle_more -s p -l show-pids -d 'show PIDs; implies -c'
complete -c vindle -n __vindle_more -s t -l show-titles -d 'show process titles'
complete -c vindle -n __vindle_more -s u -l uid-changes -d 'show uid transitions'
complete -c vindle -n __vindle_more -s U -l unicode -d 'use Unicode line drawing characters'
complete -c vindle -n __vindle_more -s V -x -a 's short l license' \
    -d 'show version information and exit'
complete -c vindle -n __vindle_more -l version -a 's short l license' \
    -d 'show version information and exit'
complete -c vindle -n __vindle_more -l pid -x -a '(__vindle_pids)' \
    -d 'show only the tree rooted at the process PID'
complete -c vindle -n __vindle_more -l user -x -a '(__vindle_users)' \
    -d 'show only trees rooted at processes of USER'

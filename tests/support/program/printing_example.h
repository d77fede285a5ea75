// The tree of the printing examples, which the whole-program suites of
// printing and of users spawn.
#pragma once

#include "support/process_plan.h"

// The tree of the printing examples: init with cron, three gettys, a chain
// of two sshds to a shell with vi and top, and syslogd. The inner sshd has
// rewritten its title, as sshd does; its command name stays "sshd".
inline ProcessPlan printingExample() {
    return {
        .name = "init",
        .children = {
            {.name = "cron", .argv = {"cron", "-s"}},
            {.name = "getty", .argv = {"getty", "Pc", "ttyv0"}},
            {.name = "getty", .argv = {"getty", "Pc", "ttyv1"}},
            {.name = "getty", .argv = {"getty", "Pc", "ttyv2"}},
            {.name = "sshd",
             .children = {{.name = "sshd",
                           .argv = {"/usr/sbin/sshd", "-D", "-R"},
                           .title = "sshd: alice [priv]",
                           .children = {{.name = "sh",
                                         .argv = {"-sh"},
                                         .children = {{.name = "vi", .argv = {"vi", "notes.txt"}},
                                                      {.name = "top"}}}}}}},
            {.name = "syslogd", .argv = {"syslogd", "-s"}},
        }};
}

// The shell of that tree, by its path.
inline constexpr const char* printingExampleShell = "init/sshd/sshd/sh";

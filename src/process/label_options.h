// What a process's label shows, as the command line chooses it.
#pragma once

struct LabelOptions {
    bool titles = false;       // the process title in place of the command name
    bool pids = false;         // the pid after the name
    bool userChanges = false;  // the user where it differs from the parent's
    // The arguments follow the label on its line: the decorations stand
    // after commas instead of in parentheses.
    bool argumentsFollow = false;
};

#include "cli/run.h"

#include <pwd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "platform/failure.h"
#include "process/account_lookup.h"
#include "process/compaction.h"
#include "process/labeller.h"
#include "process/root_choice.h"
#include "process/visible_text.h"
#include "render/tree_printer.h"

uid_t lookUpUser(const CommandLine& line) {
    if ((line.flags & Flag::user) == 0) return 0;
    errno = 0;
    const passwd* account = getpwnam(line.userName->c_str());
    if (account == nullptr) {
        const int error = errno;
        if (whyNoAccount(error) == MissingAccount::noEntry)
            throw Failure{"Unknown user: \"" + visEncodePosix(*line.userName) + "\""};
        throw Failure{std::strerror(error)};
    }
    return account->pw_uid;
}

void printForest(ProcessTable& table, LineWriter& writer, ArgumentSource vectors,
                 const RunOptions& options) {
    Roots roots = chooseRoots(table, options.selection);
    Labeller labeller(options.labels, vectors, roots);
    if (options.compact) foldTrees(roots, labeller);
    printTrees(table, roots, writer, labeller, options.output);
}

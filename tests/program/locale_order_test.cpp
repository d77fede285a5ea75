// When names are encoded: those of linked processes before the output
// set-up switches the locale, titles after it.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/escapes.h"
#include "support/folding_examples.h"
#include "support/lines.h"
#include "support/program/process_tree.h"
#include "support/program/run_program.h"

namespace {

TEST(LocaleOrderTest, NamesOfLinkedProcessesAreEncodedBeforeTheLocaleChanges) {
    // A UTF-8 name: encoded while linking, in the locale the program starts
    // in, it is escaped; as a title, encoded after -U took the environment's
    // UTF-8 locale, it stays as it is.
    const std::string cafe = "caf\xc3\xa9";
    ProcessTree tree(ProcessPlan{.name = "init", .children = {{.name = cafe}}});
    const std::string top = pidOption(tree.topPid());
    EXPECT_EQ(runVindleInLocale({"-U", top}, "C.UTF-8").out, "init\u2500\u2500\u2500cafM-CM-)\n");
    EXPECT_EQ(runVindleInLocale({"-U", "-t", top}, "C.UTF-8").out,
              "init\u2500\u2500\u2500" + cafe + "\n");
    // Without the probe the locale never changes: the title is escaped too.
    EXPECT_EQ(runVindleInLocale({"-t", top}, "C.UTF-8").out, "init---cafM-CM-)\n");
}

}  // namespace

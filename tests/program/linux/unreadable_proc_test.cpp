// vindle on a /proc whose entries it may not read: a fixture directory with
// entries closed to the user it runs as, and the real /proc mounted with
// hidepid.
// needs: the /proc reader on a fixture directory, and /proc mounted with hidepid
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/run.h"
#include "render/line_writer.h"
#include "support/lines.h"
#include "support/memory_stream.h"
#include "support/options_of.h"
#include "support/proc_fixture.h"
#include "support/program/run_program.h"

namespace {

constexpr uid_t nobodyUid = 65534;

// A forked child that takes on the user nobody and the group nogroup; the
// parent reports how the child ended.
template <typename Body>
int exitStatusAsNobody(Body body) {
    pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(nobodyUid) != 0 || setuid(nobodyUid) != 0)
            _exit(125);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(UnreadableProcTest, TheSnapshotSkipsEntriesItMayNotRead) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to take on another user";
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = {"init"}});
    proc.add({.pid = 20, .ppid = 1, .name = "hidden", .arguments = {"secret"}});
    proc.add({.pid = 21, .ppid = 1, .name = "private", .arguments = {"secret"}});
    proc.add({.pid = 22, .ppid = 21, .name = "shown", .arguments = {"shown", "visible"}});
    proc.add({.pid = 23, .ppid = 1, .name = "quiet", .arguments = {"secret"}});
    // Readable by nobody: the tree's directories and every file but these.
    std::filesystem::permissions(proc.root(), std::filesystem::perms::all);
    chmod((proc.root() + "/20").c_str(), 0700);         // the whole entry
    chmod((proc.root() + "/21/status").c_str(), 0600);  // the record, from either source
    chmod((proc.root() + "/21/stat").c_str(), 0600);
    chmod((proc.root() + "/23/cmdline").c_str(), 0600);  // only the arguments

    int status = exitStatusAsNobody([&] {
        const OptionFlags flags = Flag::arguments;
        ProcessTable table = proc.snapshot(flags);
        MemoryStream memory;
        const RunOptions options = optionsOf(flags);
        LineWriter writer({}, options.output, memory.stream());
        printForest(table, writer, proc.lastSource(), options);
        const std::string printed = memory.text();
        // 20 and 21 are left out, so 22 has no parent and is a root of its
        // own; 23 shows no arguments.
        std::vector<std::string> lines = linesOf(printed);
        const bool right = printed.find("secret") == std::string::npos &&
                           printed.find("hidden") == std::string::npos &&
                           printed.find("private") == std::string::npos && lines.size() == 3 &&
                           lines[0] == "init" && lines[1].ends_with("quiet") &&
                           lines[2] == "shown visible";
        if (!right) std::fprintf(stderr, "printed:\n%s", printed.c_str());
        return right ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

// Runs vindle as nobody, optionally on a /proc of its own mounted with
// hidepid=1, where other users' entries are listed but cannot be read.
ProgramResult runAsNobody(const std::vector<std::string>& arguments, bool restrictiveProc) {
    ProgramOptions options{.user = nobodyUid};
    if (restrictiveProc) options.privateProc = "hidepid=1";
    return runVindle(arguments, options);
}

TEST(UnreadableProcTest, TheProgramCopesWithEntriesItMayNotRead) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to take on another user";
    ProgramResult plain = runAsNobody({"-a", "-t", "-u", "-p"}, false);
    ASSERT_EQ(plain.setupError, "");
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "");
    EXPECT_FALSE(plain.out.empty());

    ProgramResult hidden = runAsNobody({"-a", "-t", "-u", "-p"}, true);
    if (!hidden.setupError.empty()) GTEST_SKIP() << "cannot set up " << hidden.setupError;
    EXPECT_EQ(hidden.status, 0) << hidden.err;
    EXPECT_EQ(hidden.err, "");
    // Only nobody's own processes can be read: vindle itself among them, a
    // root since its parent cannot be read, with its user shown.
    bool foundItself = false;
    for (const std::string& line : linesOf(hidden.out))
        foundItself = foundItself || (line.rfind(vindlePath() + ",", 0) == 0 &&
                                      line.find(",nobody") != std::string::npos);
    EXPECT_TRUE(foundItself) << hidden.out;
}

}  // namespace

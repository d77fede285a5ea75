// The built vindle where resources are scarce: few descriptors, little
// memory, a small stack. A run prints the whole tree, or ends with a message
// and status 1; never a tree with processes missing and status 0, never a
// signal.
// ctest: slow one-process cost=30
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <optional>
#include <string>
#include <vector>

#include "support/program/process_tree.h"
#include "support/program/run_program.h"
#include "support/program/sanitizer_build.h"
#include "support/system/pid_namespace.h"

namespace {

// Enough children that vindle reads the table on several threads, however
// few other processes run.
constexpr std::size_t leafCount = 1100;

// Arguments of one process: eight of 128 KiB (the most one may have).
std::vector<std::string> bigArguments() {
    std::vector<std::string> arguments{"big"};
    for (char fill = 'a'; fill < 'a' + 8; ++fill)
        arguments.push_back(std::string(128 * 1024 - 1, fill));
    return arguments;
}

// The top with the big process and the leaves below it.
ProcessPlan scarcePlan() {
    ProcessPlan top = ProcessTree::parse("scarce(big leaf*" + std::to_string(leafCount) + ")");
    top.at("scarce/big").argv = bigArguments();
    return top;
}

class ScarceResourcesTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { tree = new ProcessTree(scarcePlan()); }
    static void TearDownTestSuite() {
        delete tree;
        tree = nullptr;
    }

    static std::string pidOption() { return "--pid=" + std::to_string(tree->topPid()); }

    // Runs vindle in the POSIX locale with `limits`; with `ownTable`, on a
    // /proc of its own (see ChildPidNamespace).
    static ProgramResult vindle(const std::vector<std::string>& arguments,
                                std::vector<ResourceLimit> limits = {}, bool ownTable = false) {
        ProgramOptions options{
            .environment = {"PATH=/usr/bin:/bin", "LC_ALL=C"},
            .replaceEnvironment = true,
            .privateProc = ownTable ? std::optional<std::string>("") : std::nullopt,
            .limits = std::move(limits)};
        return runVindle(arguments, options);
    }

    // What an unlimited run prints.
    static std::string whole(const std::vector<std::string>& arguments) {
        ProgramResult result = vindle(arguments);
        EXPECT_EQ(result.status, 0) << result.err;
        return result.out;
    }

    static ProcessTree* tree;
};

ProcessTree* ScarceResourcesTest::tree = nullptr;

// Whether `out` shows every leaf: folded into one line, or one line each
// (as with the arguments, where every process has its own line).
bool showsEveryLeaf(const std::string& out) {
    if (out.find(std::to_string(leafCount) + "*[leaf]") != std::string::npos) return true;
    std::size_t lines = 0;
    for (std::size_t at = out.find("-leaf\n"); at != std::string::npos;
         at = out.find("-leaf\n", at + 1))
        ++lines;
    return lines == leafCount;
}

// "" when `result` is the whole output `expected` with status 0, or a
// failure with a message and status 1; otherwise what is wrong with it.
std::string wholeOrFailed(const ProgramResult& result, const std::string& expected) {
    if (!result.setupError.empty()) return "not started: " + result.setupError;
    if (result.status == 0)
        return result.out == expected ? ""
                                      : "status 0 with other output:\n" + result.out.substr(0, 400);
    if (result.status != 1) return "status " + std::to_string(result.status) + ": " + result.err;
    if (result.err.rfind("vindle: ", 0) != 0) return "status 1 without a message: " + result.err;
    return "";
}

TEST_F(ScarceResourcesTest, FewDescriptorsGiveTheWholeTreeOrAMessageBeforeAnyOutput) {
    // Standard input, output and error and the /proc directory take four
    // descriptors: with a fifth to spare the calling thread reads alone
    // whatever the reader threads could not; without, the run fails.
    for (const std::vector<std::string>& options :
         std::vector<std::vector<std::string>>{{pidOption()}, {"-a", pidOption()}}) {
        const std::string expected = whole(options);
        ASSERT_TRUE(showsEveryLeaf(expected));
        for (int round = 0; round < 3; ++round) {
            for (unsigned long long descriptors : {4ull, 5ull, 6ull, 8ull, 12ull, 20ull}) {
                SCOPED_TRACE(testing::PrintToString(options) + " with " +
                             std::to_string(descriptors) + " descriptors");
                const ProgramResult result =
                    vindle(options, {{.resource = RLIMIT_NOFILE, .value = descriptors}});
                EXPECT_EQ(wholeOrFailed(result, expected), "");
                EXPECT_EQ(result.status, descriptors < 5 ? 1 : 0) << result.err;
                if (result.status == 1) {
                    EXPECT_EQ(result.out, "");
                    EXPECT_NE(result.err.find("Too many open files"), std::string::npos)
                        << result.err;
                }
            }
        }
    }
}

TEST_F(ScarceResourcesTest, LittleMemoryGivesTheWholeTreeOrAMessageNeverASignal) {
    if (!sanitizerRuntimeOf(vindlePath()).empty())
        GTEST_SKIP() << "a sanitizer build: no address-space limit applies";
    // The least address space in which vindle starts at all, to 64 KiB.
    const auto starts = [](unsigned long long bytes) {
        return vindle({"-V"}, {{.resource = RLIMIT_AS, .value = bytes}}).status == 0;
    };
    unsigned long long low = 1 << 20;
    unsigned long long high = 256ull << 20;
    ASSERT_TRUE(starts(high));
    while (high - low > 64 * 1024) {
        const unsigned long long middle = low + (high - low) / 2;
        (starts(middle) ? high : low) = middle;
    }
    // From there up, in steps of a fraction of what a run takes, until two
    // runs in a row print everything: a run with processes missing and
    // status 0 shows as other output, an abort as a signal.
    for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{
             {pidOption()}, {"-a", pidOption()}, {"-a", "-t", "-u", pidOption()}}) {
        const std::string expected = whole(options);
        int failures = 0;
        int wholeInARow = 0;
        for (unsigned long long bytes = high; wholeInARow < 2 && bytes < high + (256ull << 20);
             bytes += 256 * 1024) {
            SCOPED_TRACE(testing::PrintToString(options) + " in " + std::to_string(bytes) +
                         " bytes");
            const ProgramResult result = vindle(options, {{.resource = RLIMIT_AS, .value = bytes}});
            EXPECT_EQ(wholeOrFailed(result, expected), "");
            wholeInARow = result.status == 0 ? wholeInARow + 1 : 0;
            failures += result.status == 1;
        }
        EXPECT_EQ(wholeInARow, 2) << "no limit in the sweep was enough";
        EXPECT_GT(failures, 0) << "the sweep never ran short";
    }
}

// The runs read a table of the test's own: a tree like the suite's, alone
// in a pid namespace with its /proc, so that the whole-table runs take as
// long as that tree does on any machine.
TEST_F(ScarceResourcesTest, ASmallStackIsEnough) {
    ChildPidNamespace space;
    if (!space.unavailable().empty()) GTEST_SKIP() << space.unavailable();
    const ProcessTree own(scarcePlan());
    const std::string ownPid = "--pid=" + std::to_string(own.topPid());
    // 24 KiB, as `ulimit -s 24` sets it; reader threads get stacks of that
    // size too.
    const std::vector<ResourceLimit> smallStack{{.resource = RLIMIT_STACK, .value = 24 * 1024}};
    const ProgramResult unlimited = vindle({ownPid}, {}, true);
    ASSERT_EQ(unlimited.status, 0) << unlimited.err;
    ASSERT_TRUE(showsEveryLeaf(unlimited.out));
    for (int run = 0; run < 10; ++run) {
        SCOPED_TRACE(run);
        const ProgramResult selected = vindle({ownPid}, smallStack, true);
        EXPECT_EQ(selected.status, 0) << selected.err;
        EXPECT_EQ(selected.out, unlimited.out);
        for (const std::vector<std::string>& options :
             std::vector<std::vector<std::string>>{{}, {"-a", "-t", "-u", "-n"}}) {
            const ProgramResult table = vindle(options, smallStack, true);
            EXPECT_EQ(table.status, 0) << testing::PrintToString(options) << table.err;
            EXPECT_TRUE(showsEveryLeaf(table.out));
        }
    }
}

}  // namespace

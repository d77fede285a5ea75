// A very deep chain of processes through the whole run in-process: snapshot,
// root choice, compaction and printing, on a thread with the default 8 MiB
// stack, whatever the stack limit of the test process.
#include <gtest/gtest.h>
#include <pthread.h>

#include <string>

#include "cli/run.h"
#include "support/capture_output.h"
#include "support/proc_fixture.h"

namespace {

// Compaction and printing descend one stack frame per level. The frames of
// a build with AddressSanitizer are several times larger (redzones around
// every local), so there the chain is shorter.
#if defined(__SANITIZE_ADDRESS__)
constexpr int chainDepth = 2000;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int chainDepth = 2000;
#else
constexpr int chainDepth = 20000;
#endif
#else
constexpr int chainDepth = 20000;
#endif

constexpr std::size_t defaultStack = 8 * 1024 * 1024;

// Runs `body` to its end on a thread with a stack of `size` bytes.
template <typename Body>
void runOnStack(std::size_t size, Body& body) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, size), 0);
    pthread_t thread;
    auto start = [](void* argument) -> void* {
        (*static_cast<Body*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, start, &body), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

// init (pid 1), then a chain of `depth` processes named "n" (pids 2 and
// up, each the child of the one before), and at the bottom two leaves, "x"
// and "y".
void addChain(ProcFixture& proc, int depth) {
    proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = {"init"}});
    for (pid_t pid = 2; pid < depth + 2; ++pid)
        proc.add({.pid = pid, .ppid = pid - 1, .name = "n", .arguments = {"n"}});
    const pid_t bottom = depth + 1;
    proc.add({.pid = bottom + 1, .ppid = bottom, .name = "y", .arguments = {"y"}});
    proc.add({.pid = bottom + 2, .ppid = bottom, .name = "x", .arguments = {"x"}});
}

std::string expectedChain(int depth) {
    std::string first = "init";
    for (int level = 0; level < depth; ++level) first += "---n";
    std::string second(first.size() + 1, ' ');
    return first + "-+-x\n" + second + "`-y\n";
}

TEST(RunDepthTest, DeepChainPrintsWithinTheDefaultStack) {
    ProcFixture proc;
    addChain(proc, chainDepth);
    const std::string expected = expectedChain(chainDepth);
    for (OptionFlags flags : {OptionFlags{0}, OptionFlags(Flag::noCompact | Flag::numericSort)}) {
        // -n prints by pid, where y comes before x.
        std::string wanted = expected;
        if ((flags & Flag::numericSort) != 0) {
            wanted.replace(wanted.find("-+-x"), 4, "-+-y");
            wanted.replace(wanted.rfind("`-y"), 3, "`-x");
        }
        std::string output;
        auto run = [&] {
            ProcessTable table = proc.snapshot(flags);
            LineWriter writer(flags, {asciiSet, false}, 0, false);
            CommandLine line;
            line.flags = flags;
            output = captureOutput([&] { printForest(table, writer, line, 0); });
        };
        runOnStack(defaultStack, run);
        EXPECT_EQ(output.size(), wanted.size()) << "flags " << flags;
        EXPECT_TRUE(output == wanted) << "flags " << flags << ": the output differs from the chain";
    }
}

}  // namespace

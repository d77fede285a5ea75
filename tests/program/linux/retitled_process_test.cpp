// A real process that rewrites its argument memory as a title and pads the
// rest with NULs, as daemons do: vindle -a shows the title and the arguments
// the process kept, and no trail of empty arguments for the padding.
// needs: a title written over the argument memory, as /proc/PID/cmdline reports it
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/program/background_program.h"
#include "support/program/run_program.h"

namespace {

std::string cmdlineOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(RetitledProcessTest, ArgumentsShowTheTitleAndKeptArgumentsWithoutThePadding) {
    struct Case {
        std::vector<std::string> memory;  // the title and the arguments kept
        std::string withArguments;        // vindle -a
        std::string withTitles;           // vindle -a -t
    };
    const Case cases[] = {
        {{"worker: idle"}, "retitle\n", "worker: idle\n"},
        {{"worker: idle", "--port", "", "5432"},
         "retitle --port  5432\n",
         "worker: idle --port  5432\n"},
        // Memory wiped whole: an empty title, which gives way to the name.
        {{""}, "retitle\n", "retitle\n"},
    };
    // Room for 200 bytes of padding after what the process writes.
    const std::string longArgv0 = toolPath("retitle") + std::string(200, '/');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.withTitles);
        BackgroundProgram daemon(toolPath("retitle"), c.memory, longArgv0);
        ASSERT_EQ(daemon.readLine(), std::optional<std::string>("ready"));
        const std::string pidOption = "--pid=" + std::to_string(daemon.pid());
        // What the kernel reports ends in the padding, a long run of NULs.
        const std::string cmdline = cmdlineOf(daemon.pid());
        const std::size_t lastByte = cmdline.find_last_not_of('\0');
        const std::size_t padding =
            cmdline.size() - (lastByte == std::string::npos ? 0 : lastByte + 1);
        EXPECT_GE(padding, 200u);

        ProgramResult plain = runVindle({"-a", pidOption});
        EXPECT_EQ(plain.status, 0) << plain.err;
        EXPECT_EQ(plain.out, c.withArguments);
        ProgramResult titled = runVindle({"-a", "-t", pidOption});
        EXPECT_EQ(titled.status, 0) << titled.err;
        EXPECT_EQ(titled.out, c.withTitles);
    }
}

}  // namespace

#include "platform/linux/proc_status.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {

// A status text as the kernel writes it, with `name` already escaped.
std::string status(const std::string& escapedName, const std::string& kthreadLine = "Kthread:\t0\n",
                   const std::string& ppid = "PPid:\t7\n",
                   const std::string& uid = "Uid:\t1000\t0\t0\t0\n") {
    return "Name:\t" + escapedName +
           "\nUmask:\t0022\nState:\tS (sleeping)\nTgid:\t42\nNgid:\t0\nPid:\t42\n" + ppid +
           "TracerPid:\t0\n" + uid + "Gid:\t0\t0\t0\t0\nFDSize:\t64\nGroups:\t \nNStgid:\t42\n" +
           kthreadLine + "VmPeak:\t  1000 kB\nThreads:\t1\n";
}

struct StatusCase {
    const char* what;
    std::string text;
    bool complete;
    std::string name;  // raw name after decoding
    pid_t ppid;
    uid_t ruid;
    bool hasKthread;
    bool system;  // the kernel mark
};

class ParseStatusTest : public testing::TestWithParam<StatusCase> {};

TEST_P(ParseStatusTest, GivesTheRecordFields) {
    const StatusCase& c = GetParam();
    ProcessRecord record{};
    record.kernel = true;  // a stale mark must not survive
    CommandName name;
    StatusFields found = parseStatus(c.text, record, name);
    EXPECT_EQ(isComplete(found), c.complete);
    EXPECT_EQ(found.hasKthread, c.hasKthread);
    if (!c.complete) return;
    EXPECT_EQ(std::string(name.text), c.name);
    EXPECT_EQ(record.ppid, c.ppid);
    EXPECT_EQ(record.realUid, c.ruid);
    EXPECT_EQ(record.kernel, c.system);
}

const std::string worker64 = "kworker/u16:5-events_unbound_with_a_name_that_runs_to_64_bytes__";

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseStatusTest,
    testing::Values(
        StatusCase{"plain", status("bash"), true, "bash", 7, 1000, true, false},
        StatusCase{"kernel thread",
                   status("kworker/0:1", "Kthread:\t1\n", "PPid:\t2\n", "Uid:\t0\t0\t0\t0\n"), true,
                   "kworker/0:1", 2, 0, true, true},
        StatusCase{"older kernel without Kthread", status("bash", ""), true, "bash", 7, 1000, false,
                   false},
        StatusCase{"parentheses and blanks", status("a) (b"), true, "a) (b", 7, 1000, true, false},
        StatusCase{"escaped newline", status("two\\nlines"), true, "two\nlines", 7, 1000, true,
                   false},
        StatusCase{"escaped backslash", status("back\\\\n"), true, "back\\n", 7, 1000, true, false},
        StatusCase{"lone backslash at the end", status("x\\"), true, "x\\", 7, 1000, true, false},
        StatusCase{"raw tab and escape byte", status("a\tb\x1b[1m"), true, "a\tb\x1b[1m", 7, 1000,
                   true, false},
        StatusCase{"empty name", status(""), true, "", 7, 1000, true, false},
        StatusCase{"64-byte worker name kept whole", status(worker64), true, worker64, 7, 1000,
                   true, false},
        StatusCase{"longer name cut to 64 bytes", status(worker64 + "xyz"), true, worker64, 7, 1000,
                   true, false},
        StatusCase{"real uid is the first of four",
                   status("su", "Kthread:\t0\n", "PPid:\t7\n", "Uid:\t1000\t0\t0\t0\n"), true, "su",
                   7, 1000, true, false},
        StatusCase{"uid above 2^31",
                   status("x", "Kthread:\t0\n", "PPid:\t7\n", "Uid:\t4294967294\t0\t0\t0\n"), true,
                   "x", 7, 4294967294u, true, false},
        StatusCase{"parent pid 0", status("init", "Kthread:\t0\n", "PPid:\t0\n"), true, "init", 0,
                   1000, true, false},
        StatusCase{"no parent line", status("x", "Kthread:\t0\n", ""), false, "", 0, 0, true,
                   false},
        StatusCase{"unreadable parent", status("x", "Kthread:\t0\n", "PPid:\tgone\n"), false, "", 0,
                   0, true, false},
        StatusCase{"no uid line", status("x", "Kthread:\t0\n", "PPid:\t7\n", ""), false, "", 0, 0,
                   true, false},
        StatusCase{"no name line", "PPid:\t7\nUid:\t0\t0\t0\t0\nKthread:\t0\n", false, "", 0, 0,
                   true, false},
        StatusCase{"cut off before the uid", "Name:\tx\nPPid:\t7\nUi", false, "", 0, 0, false,
                   false},
        StatusCase{"empty text", "", false, "", 0, 0, false, false}),
    [](const testing::TestParamInfo<StatusCase>& caseInfo) {
        std::string name;
        for (const char* c = caseInfo.param.what; *c != '\0'; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

}  // namespace

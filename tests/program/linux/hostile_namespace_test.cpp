// Hostile text that reaches vindle through a pid namespace of its own: the
// command name of a namespace's init, and user names, in a UTF-8 locale.
// needs: a pid namespace with a /proc of its own (util-linux's unshare)
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/program/process_tree.h"
#include "support/program/pty.h"
#include "support/program/run_program.h"
#include "support/program/scratch_directory.h"

namespace {

ProgramOptions utf8Locale() {
    return {.environment = {"LC_ALL=C.UTF-8"}, .replaceEnvironment = true};
}

// Root is needed to make namespaces and to mount; without it the tests of
// this suite are skipped.
std::string namespacesUnavailable() {
    if (geteuid() != 0) return "mount and pid namespaces need root";
    if (access("/usr/bin/unshare", X_OK) != 0) return "unshare (util-linux) is not installed";
    ProgramResult probe =
        runProgram("/usr/bin/unshare", {"--mount", "--pid", "--fork", "/bin/true"});
    if (probe.status != 0) return "namespaces are not permitted here: " + probe.err;
    return "";
}

class HostileNamespaceTest : public testing::Test {
  protected:
    void SetUp() override {
        const std::string reason = namespacesUnavailable();
        if (!reason.empty()) GTEST_SKIP() << reason;
    }
};

// The name of a parentless process, the init of a pid namespace, is encoded
// after the locale is switched: it is the one command name that meets a
// UTF-8 locale. Both read paths give the same.
TEST_F(HostileNamespaceTest, ARootsCommandNameInAUtf8Locale) {
    // 12 bytes: the kernel keeps 15.
    const std::string name =
        "\xe1\xad\x9b"
        "1m\xe0\xa8\xaa"
        "X\xff\x1b\n";
    const std::string encoded =
        "\xe1\xad\x9b"
        "1m\xe0\xa8\xaa"
        "XM^?^[\\012";
    ProgramResult result =
        runProgram("/usr/bin/unshare",
                   {"--pid", "--mount", "--propagation", "private", "--fork", "--mount-proc",
                    "--kill-child", "/bin/sh", "-c",
                    R"(printf '%s' "$2" >/proc/self/comm && "$1" -U && "$1" -U -u && "$1" -A)",
                    "sh", vindlePath(), name},
                   utf8Locale());
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string posixEncoded = "M-aM--M^[1mM-`M-(M-*XM^?^[\\012";
    EXPECT_EQ(result.out,
              encoded + "───vindle\n" + encoded + "───vindle\n" + posixEncoded + "---vindle\n");
}

// User names come from the user database, which another user or a
// directory service may fill: a private /etc/passwd in a mount namespace
// of its own names a user with escape sequences and invalid bytes.
TEST_F(HostileNamespaceTest, UserNamesAreEncodedLikeEveryOtherText) {
    ScratchDirectory scratch;
    const std::string passwd = (scratch.path / "passwd").string();
    {
        std::ifstream system("/etc/passwd");
        std::ofstream file(passwd);
        file << system.rdbuf();
        file << "\x1b]0;pwned\x07\x1b[31mevil\xe1\xad\x9b\xff:x:54321:54321::/:/bin/false\n";
    }
    ProcessPlan top{.name = "owner", .children = {{.name = "victim", .uid = 54321}}};
    ProcessTree tree(top);
    const std::string pid = "--pid=" + std::to_string(tree.topPid());
    auto run = [&](const std::vector<std::string>& options) {
        std::vector<std::string> arguments = {
            "--mount",   "--propagation",
            "private",   "/bin/sh",
            "-c",        R"(mount --bind "$1" /etc/passwd && shift && exec "$@")",
            "sh",        passwd,
            vindlePath()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.push_back(pid);
        return runProgram("/usr/bin/unshare", arguments, utf8Locale());
    };
    const std::string user = "^[]0;pwned^G^[[31mevil\xe1\xad\x9bM^?";
    ProgramResult utf8 = run({"-u", "-U"});
    ASSERT_EQ(utf8.status, 0) << utf8.err;
    EXPECT_EQ(utf8.out, "owner───victim(" + user + ")\n");
    ProgramResult posix = run({"-u", "-a"});
    ASSERT_EQ(posix.status, 0) << posix.err;
    EXPECT_EQ(posix.out,
              "owner\n"
              "  `-victim,^[]0;pwned^G^[[31mevilM-aM--M^[M^?\n");
}

}  // namespace

// vindle inside pid and mount namespaces of its own, as containers make
// them: the tree of a fresh pid namespace, a shell entered into one from
// outside (its parent pid is 0 there), /proc unmounted or covered by another
// filesystem, and a proc filesystem that hides other users' processes.
//
// The namespaces come from util-linux's unshare and nsenter and need root;
// without it the tests are skipped. Every namespace is made with
// `unshare --kill-child`: its init dies with the unshare process, and the
// whole namespace with its init, so killing that one process (done by the
// test's destructors and time limits) cleans up also after a failure. The
// mount namespaces are private: what is mounted in them dies with them.
//
// In a fresh pid namespace pids are handed out from 1 in the order the
// processes start, so the outputs below are exact. Every background process
// is waited for until it runs its final program, so that no output depends
// on how fast the machine is.
// needs: pid, mount and time namespaces (util-linux's unshare and nsenter)
#include <dirent.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/escapes.h"
#include "support/program/background_program.h"
#include "support/program/exec_helpers.h"
#include "support/program/program_copy.h"
#include "support/program/run_program.h"

namespace {

const char* const unshareTool = "/usr/bin/unshare";
const char* const nsenterTool = "/usr/bin/nsenter";
const char* const notProcMessage =
    "vindle: /proc is not a proc filesystem (is proc mounted there?)\n";
constexpr uid_t unprivilegedUid = 65534;

// What every script below starts with: $v is the vindle to run (the
// script's first argument); `background` starts `sleep 1000` in the
// background and returns once that process runs sleep (a time limit of the
// test ends a wait that never does); $unprivileged runs a command as nobody.
// The pids of a new namespace are predictable only while nothing else forks
// there: a sanitizer build's leak check starts a task of its own as vindle
// exits, so it is off for the runs inside.
const char* const prelude = R"(v=$1
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
background() {
    sleep 1000 </dev/null >/dev/null 2>&1 &
    until read -r name </proc/$!/comm && [ "$name" = sleep ]; do :; done
}
unprivileged="setpriv --reuid=65534 --regid=65534 --clear-groups"
)";

// A new pid namespace with its own /proc, in a private mount namespace.
std::vector<std::string> newNamespace() {
    return {"--pid",  "--mount",      "--propagation", "private",
            "--fork", "--mount-proc", "--kill-child"};
}

// Runs `script` under /bin/sh as the init of a new pid namespace, with
// `vindle` as $1 and `more` as further arguments.
ProgramResult runInNewNamespace(const std::string& script, const std::string& vindle,
                                const std::vector<std::string>& more = {}) {
    std::vector<std::string> arguments = newNamespace();
    arguments.insert(arguments.end(),
                     {"/bin/sh", "-c", std::string(prelude) + script, "sh", vindle});
    arguments.insert(arguments.end(), more.begin(), more.end());
    return runProgram(unshareTool, arguments);
}

// The parts of `text` between lines "--".
std::vector<std::string> sections(const std::string& text) {
    std::vector<std::string> parts(1);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line == "--")
            parts.emplace_back();
        else
            parts.back() += line + "\n";
    }
    return parts;
}

// The parent pid and command name that a /proc/PID/stat line gives, or
// nothing when the line is not of that form ("PID (NAME) STATE PPID ...", the
// name ending at the last ')').
struct StatFields {
    pid_t ppid = 0;
    std::string comm;
};

std::optional<StatFields> statFields(const std::string& text) {
    const std::size_t open = text.find('(');
    const std::size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return std::nullopt;
    std::istringstream rest(text.substr(close + 1));
    char state = 0;
    StatFields fields;
    if (!(rest >> state >> fields.ppid)) return std::nullopt;
    fields.comm = text.substr(open + 1, close - open - 1);
    return fields;
}

// The pid of a child of `parent` that runs `comm`, waited for up to a
// generous bound; 0 when none comes.
pid_t childRunning(pid_t parent, const std::string& comm) {
    const double deadline = now() + 30;
    do {
        DIR* proc = opendir("/proc");
        if (proc == nullptr) return 0;
        while (dirent* entry = readdir(proc)) {
            char* end = nullptr;
            const long pid = std::strtol(entry->d_name, &end, 10);
            if (pid <= 0 || *end != '\0') continue;
            std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
            std::string text;
            if (!std::getline(stat, text)) continue;
            const std::optional<StatFields> fields = statFields(text);
            if (fields && fields->ppid == parent && fields->comm == comm) {
                closedir(proc);  // frees the entry
                return static_cast<pid_t>(pid);
            }
        }
        closedir(proc);
        usleep(2000);
    } while (now() < deadline);
    return 0;
}

class NamespaceTest : public testing::Test {
  protected:
    // A copy of vindle that an unprivileged user may run whatever the
    // permissions of the build directory.
    static void SetUpTestSuite() {
        reason = unavailable();
        if (!reason.empty()) return;
        try {
            sharedCopy = std::make_unique<ProgramCopy>(vindlePath());
            sharedVindle = sharedCopy->path();
        } catch (const std::exception& error) {
            copyError = std::string("cannot copy vindle for other users: ") + error.what();
        }
    }

    static void TearDownTestSuite() { sharedCopy.reset(); }

    void SetUp() override {
        if (!reason.empty()) GTEST_SKIP() << reason;
        ASSERT_EQ(copyError, "");
    }

    // Why namespaces cannot be made here, or empty when they can.
    static std::string unavailable() {
        if (geteuid() != 0) return "creating pid and mount namespaces needs root";
        for (const char* tool : {unshareTool, nsenterTool, "/usr/bin/setpriv"})
            if (access(tool, X_OK) != 0)
                return std::string(tool) + " (util-linux) is not installed";
        if (getpwuid(unprivilegedUid) == nullptr) return "no user with uid 65534 (nobody)";
        std::vector<std::string> probe = newNamespace();
        probe.push_back("/bin/true");
        ProgramResult result = runProgram(unshareTool, probe);
        if (result.status != 0)
            return "creating pid and mount namespaces is not permitted here: " + result.err;
        return "";
    }

    static std::string unprivilegedName() { return getpwuid(unprivilegedUid)->pw_name; }

    static std::string reason;
    static std::string copyError;
    static std::unique_ptr<ProgramCopy> sharedCopy;
    static std::string sharedVindle;
};

std::string NamespaceTest::reason;
std::string NamespaceTest::copyError;
std::unique_ptr<ProgramCopy> NamespaceTest::sharedCopy;
std::string NamespaceTest::sharedVindle;

TEST_F(NamespaceTest, TreeOfANewPidNamespace) {
    ProgramResult result = runInNewNamespace(
        R"(background; background
"$v" -p; echo --; "$v" -k -p; echo --; "$v"
)",
        sharedVindle);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    // The init of the namespace is the shell; no kernel thread is in there,
    // with -k or without.
    EXPECT_EQ(sections(result.out), (std::vector<std::string>{
                                        "sh(1)-+-sleep(2)\n"
                                        "      |-sleep(3)\n"
                                        "      `-vindle(4)\n",
                                        "sh(1)-+-sleep(2)\n"
                                        "      |-sleep(3)\n"
                                        "      `-vindle(5)\n",
                                        "sh-+-2*[sleep]\n"
                                        "   `-vindle\n",
                                    }));
}

// In a time namespace whose boot lies after the start of some processes (a
// negative boot time offset), the kernel writes their start times as the
// negative results taken unsigned, beyond vindle's own boot clock there.
// Those times are unknown, and unknown times link as any others: the shell
// keeps every child, those started before the namespace's boot and those
// after it. The offset is whole seconds: the script waits for the uptime to
// pass into the next second, so that the boot it sets lies after the start
// of the shell and its sleep.
TEST_F(NamespaceTest, StartTimesBeforeATimeNamespacesBootAreUnknown) {
    ProgramResult result = runInNewNamespace(
        R"(background
read -r up rest </proc/uptime
second=${up%.*}
until read -r up rest </proc/uptime && [ "${up%.*}" -gt "$second" ]; do sleep 0.05; done
unshare --fork --time --boottime=-"${up%.*}" "$v" -n 1; echo --; "$v" -n 1
)",
        sharedVindle);
    if (result.status != 0 && result.err.find("unshare") != std::string::npos)
        GTEST_SKIP() << "time namespaces cannot be made here: " << result.err;
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::vector<std::string> outputs = sections(result.out);
    ASSERT_EQ(outputs.size(), 2u) << result.out;
    EXPECT_EQ(outputs[0], "sh-+-sleep\n   `-unshare---vindle\n");
    EXPECT_EQ(outputs[1], "sh-+-sleep\n   `-vindle\n");
}

// A namespace whose init sleeps, for processes to be entered into it.
class EnteredNamespace {
  public:
    EnteredNamespace() {
        std::vector<std::string> arguments = newNamespace();
        arguments.insert(arguments.end(), {"sleep", "1000"});
        holder.emplace(unshareTool, arguments);
        init = childRunning(holder->pid(), "sleep");
    }

    // Runs `script` (after the prelude, vindle as $1) in a shell entered
    // into the namespace with nsenter, optionally after `prefix` (a
    // command that runs the shell).
    ProgramResult enter(const std::string& script, const std::string& vindle,
                        const std::vector<std::string>& prefix = {}) {
        std::vector<std::string> arguments{"--target", std::to_string(init), "--pid", "--mount"};
        arguments.insert(arguments.end(), prefix.begin(), prefix.end());
        arguments.insert(arguments.end(),
                         {"/bin/sh", "-c", std::string(prelude) + script, "sh", vindle});
        return runProgram(nsenterTool, arguments);
    }

    pid_t initPid() const { return init; }

  private:
    std::optional<BackgroundProgram> holder;  // unshare; its death ends the namespace
    pid_t init = 0;
};

TEST_F(NamespaceTest, EnteredShellIsOneTreeWithItsChildren) {
    EnteredNamespace space;
    ASSERT_NE(space.initPid(), 0) << "the namespace's init did not start";
    // The shell comes from outside: its parent pid is 0 in the namespace.
    ProgramResult result = space.enter(
        R"(background; background
read -r _ _ _ ppid _ </proc/self/stat; echo "$ppid"; echo --
"$v" -p; echo --; "$v" -k -p; echo --; "$v" -p root
)",
        sharedVindle);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(sections(result.out), (std::vector<std::string>{
                                        "0\n",
                                        "sh(2)-+-sleep(3)\n"
                                        "      |-sleep(4)\n"
                                        "      `-vindle(5)\n"
                                        "sleep(1)\n",
                                        "sh(2)-+-sleep(3)\n"
                                        "      |-sleep(4)\n"
                                        "      `-vindle(6)\n"
                                        "sleep(1)\n",
                                        "sh(2)-+-sleep(3)\n"
                                        "      |-sleep(4)\n"
                                        "      `-vindle(7)\n"
                                        "sleep(1)\n",
                                    }));
}

TEST_F(NamespaceTest, EnteredUnprivilegedShellInUserMode) {
    EnteredNamespace space;
    ASSERT_NE(space.initPid(), 0) << "the namespace's init did not start";
    const std::string user = unprivilegedName();
    ProgramResult result = space.enter(
        "background; background\n"
        "\"$v\" -p " +
            user +
            "; echo --; \"$v\" -u; echo --; "
            "\"$v\" -u " +
            user + "\n",
        sharedVindle, {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    // The shell (pid 2) is the user's topmost process and a root; the
    // namespace's init is root's. A parentless root of another user than
    // root shows its user with -u; a root in user mode does not.
    EXPECT_EQ(sections(result.out),
              (std::vector<std::string>{
                  "sh(2)-+-sleep(3)\n"
                  "      |-sleep(4)\n"
                  "      `-vindle(5)\n",
                  "sh(" + user + ")-+-2*[sleep]\n" + std::string(user.size() + 5, ' ') +
                      "`-vindle\n"
                      "sleep\n",
                  "sh-+-2*[sleep]\n"
                  "   `-vindle\n",
              }));
}

TEST_F(NamespaceTest, ProcThatIsNoProcFilesystemFailsWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer runtime of this build cannot start without /proc";
#endif
    char pattern[] = "/tmp/vindle-empty-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string empty = pattern;
    struct Case {
        const char* what;
        const char* script;
    };
    const Case cases[] = {
        {"unmounted", "while umount -l /proc 2>/dev/null; do :; done\n"},
        {"covered by a tmpfs", "mount -t tmpfs tmpfs /proc || exit 99\n"},
        {"an empty directory bound over it", "mount --bind \"$2\" /proc || exit 99\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Mounts and unmounts stay in a private mount namespace.
        ProgramResult result =
            runProgram(unshareTool, {"--mount", "--propagation", "private", "/bin/sh", "-c",
                                     std::string(prelude) + c.script + "exec \"$v\"", "sh",
                                     sharedVindle, empty});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, notProcMessage);
    }
    rmdir(empty.c_str());
}

// In a pid namespace made without a /proc of its own, vindle reads the
// host's /proc, which numbers it otherwise than getpid() does: -H without a
// pid marks vindle by the pid that /proc gives it, and so its chain up to
// the shell that started the namespace. Its pid in the namespace is 1 when
// it is the namespace's init, 2 under a shell there: on the host, init and
// kthreadd, neither of them in this tree.
TEST_F(NamespaceTest, HighlightWithoutAPidMarksVindleAsProcNumbersIt) {
    ProgramResult result = runProgram("/bin/sh", {"-c", std::string(prelude) + R"(top=$$
unshare --pid --fork --kill-child "$v" -H "$top"; echo --
unshare --pid --fork --kill-child /bin/sh -c '"$1" -H "$2"; :' sh "$v" "$top"
)",
                                                  "sh", sharedVindle});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(sections(result.out),
              (std::vector<std::string>{
                  bold("sh") + "---" + bold("unshare") + "---" + bold("vindle") + "\n",
                  bold("sh") + "---" + bold("unshare") + "---" + bold("sh") + "---" +
                      bold("vindle") + "\n",
              }));
}

// A proc filesystem that lists no process, such as /proc/sys bound over
// /proc, passes the check of the filesystem's type, and would print an
// empty forest: it fails instead.
TEST_F(NamespaceTest, ProcWithoutProcessesFailsWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer runtime of this build cannot start without /proc";
#endif
    ProgramResult result = runProgram(
        unshareTool, {"--mount", "--propagation", "private", "/bin/sh", "-c",
                      std::string(prelude) + "mount --bind /proc/sys /proc || exit 99\nexec \"$v\"",
                      "sh", sharedVindle});
    ASSERT_NE(result.status, 99) << "cannot bind /proc/sys over /proc: " << result.err;
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "vindle: /proc lists no processes\n");
}

// Without a password file the C library's lookup of a user leaves ENOENT
// for a name it cannot find: the user is unknown, and no system error is
// reported.
TEST_F(NamespaceTest, AUserLookupWithoutAPasswordFileFindsNoUser) {
    ProgramResult result = runProgram(
        unshareTool,
        {"--mount", "--propagation", "private", "/bin/sh", "-c",
         std::string(prelude) + "mount -t tmpfs tmpfs /etc || exit 99\nexec \"$v\" nosuchuser",
         "sh", sharedVindle});
    ASSERT_NE(result.status, 99) << "cannot mount a tmpfs over /etc: " << result.err;
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "vindle: Unknown user: \"nosuchuser\"\n");
}

TEST_F(NamespaceTest, HiddenPidsShowTheUsersOwnProcesses) {
    const std::string user = unprivilegedName();
    for (const char* options : {"hidepid=2", "hidepid=invisible,subset=pid"}) {
        SCOPED_TRACE(options);
        // Pids: the namespace's shell 1, mount 2, the user's shell 3, its
        // sleeper 4; root's shell is hidden from the user.
        ProgramResult result = runInNewNamespace(
            std::string("mount -t proc -o ") + options +
                " proc /proc || exit 99\n"
                "$unprivileged /bin/sh -c \"$2\" sh \"$v\"\n",
            sharedVindle,
            {std::string(prelude) + "background\n\"$v\" -p; echo --; \"$v\" -p " + user + "\n"});
        if (result.status == 99) {
            GTEST_SKIP() << "this kernel cannot mount proc with " << options << ": " << result.err;
        }
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(sections(result.out), (std::vector<std::string>{
                                            "sh(3)-+-sleep(4)\n"
                                            "      `-vindle(5)\n",
                                            "sh(3)-+-sleep(4)\n"
                                            "      `-vindle(6)\n",
                                        }));
    }
}

}  // namespace

#include "render/child_answer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

// What the child answers, or how it fails to: only a child that ends by
// itself with its whole answer within the limit is heard.
TEST(AskInChild, HearsOnlyAChildThatAnswersAndEnds) {
    struct Case {
        const char* name;
        std::function<std::string()> question;
        std::optional<std::string> answer;
    };
    const Case cases[] = {
        {"answers", [] { return std::string("described 80 1 0"); }, "described 80 1 0"},
        {"answers nothing", [] { return std::string(); }, ""},
        {"answers at the limit", [] { return std::string(16, 'x'); }, std::string(16, 'x')},
        {"says too much", [] { return std::string(17, 'x'); }, std::nullopt},
        {"says far more than a pipe holds", [] { return std::string(1 << 20, 'x'); }, std::nullopt},
        {"dies", []() -> std::string { std::abort(); }, std::nullopt},
        {"fails", []() -> std::string { throw std::runtime_error("no"); }, std::nullopt},
        {"is killed",
         []() -> std::string {
             kill(getpid(), SIGKILL);
             return "never";
         },
         std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(askInChild(c.question, 16, 60), c.answer) << c.name;
}

// A child that never answers is killed once the time is up, and reaped.
TEST(AskInChild, GivesUpOnAChildThatHangs) {
    const std::optional<std::string> answer = askInChild(
        []() -> std::string {
            for (;;) pause();
        },
        16, 1);
    EXPECT_EQ(answer, std::nullopt);
    // No child of this process has ended without being reaped: looked at,
    // not reaped, so that another test's child keeps its status.
    siginfo_t ended{};
    waitid(P_ALL, 0, &ended, WEXITED | WNOHANG | WNOWAIT);
    EXPECT_EQ(ended.si_pid, 0) << "a child was left unreaped";
}

// SIGCHLD ignored, as a parent may leave it for its children: the child's
// status is still there to be read, and the disposition comes back.
TEST(AskInChild, WorksWithTheChildSignalIgnored) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGCHLD, &ignore, &previous), 0);
    const std::optional<std::string> heard = askInChild([] { return std::string("yes"); }, 16, 60);
    const std::optional<std::string> died =
        askInChild([]() -> std::string { std::abort(); }, 16, 60);
    struct sigaction after {};
    sigaction(SIGCHLD, &previous, &after);
    EXPECT_EQ(heard, "yes");
    EXPECT_EQ(died, std::nullopt);
    EXPECT_EQ(after.sa_handler, SIG_IGN);
}

}  // namespace

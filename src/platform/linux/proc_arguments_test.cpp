#include "platform/linux/proc_arguments.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SplitArgumentsTest, MakesANullTerminatedVectorOfTheWords) {
    struct Case {
        std::string cmdline;
        std::vector<std::string> words;  // empty: no vector at all
    };
    const std::string padding(48, '\0');
    const Case cases[] = {
        {std::string("init\0", 5), {"init"}},
        {std::string("/bin/sh\0-c\0echo hi\0", 19), {"/bin/sh", "-c", "echo hi"}},
        // Empty arguments between others are kept.
        {std::string("a\0\0b\0", 5), {"a", "", "b"}},
        {std::string("cmd\0\0\0x\0", 9), {"cmd", "", "", "x"}},
        {std::string("\0\0x\0", 5), {"", "", "x"}},
        // An empty title stays: the vector has its first string.
        {std::string("\0", 1), {""}},
        {std::string("\0\0\0\0", 4), {""}},
        // A title that the kernel reports without a NUL at its end.
        {"postgres: writer", {"postgres: writer"}},
        {std::string("title\0rest", 10), {"title", "rest"}},
        // A title padded with NULs to the old length: the padding goes.
        {std::string("pad\0\0\0", 6), {"pad"}},
        {"postgres: checkpointer" + padding, {"postgres: checkpointer"}},
        {std::string("nginx: worker process\0", 22) + padding, {"nginx: worker process"}},
        // A title that keeps real arguments, an empty one among them.
        {std::string("worker: idle\0--port\0\0005432\0", 26) + padding,
         {"worker: idle", "--port", "", "5432"}},
        {std::string("title\0rest", 10) + padding, {"title", "rest"}},
        // Trailing empty arguments of an ordinary process look the same.
        {std::string("cmd\0x\0\0", 7), {"cmd", "x"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(c.cmdline.begin(), c.cmdline.end());
        std::vector<char*> argv{nullptr, nullptr};  // stale content must go
        splitArguments(buffer, argv);
        if (c.words.empty()) {
            EXPECT_TRUE(argv.empty()) << c.cmdline;
            continue;
        }
        ASSERT_EQ(argv.size(), c.words.size() + 1) << c.cmdline;
        for (std::size_t i = 0; i < c.words.size(); ++i)
            EXPECT_EQ(argv[i], c.words[i]) << c.cmdline;
        EXPECT_EQ(argv.back(), nullptr);
        for (std::size_t i = 0; i < c.words.size(); ++i) {
            EXPECT_GE(argv[i], buffer.data());  // pointers into the buffer
            EXPECT_LT(argv[i], buffer.data() + buffer.size());
        }
    }
}

}  // namespace

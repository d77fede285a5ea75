#include "platform/linux/proc_arguments.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SplitArgumentsTest, MakesANullTerminatedVectorOfTheWords) {
    struct Case {
        std::string cmdline;
        std::vector<std::string> words;  // empty: no vector at all
    };
    const Case cases[] = {
        {std::string("init\0", 5), {"init"}},
        {std::string("/bin/sh\0-c\0echo hi\0", 19), {"/bin/sh", "-c", "echo hi"}},
        {std::string("a\0\0b\0", 5), {"a", "", "b"}},
        {std::string("\0", 1), {""}},
        // A process that rewrote its title: no NUL at the end.
        {"postgres: writer", {"postgres: writer"}},
        {std::string("title\0rest", 10), {"title", "rest"}},
        {std::string("pad\0\0\0", 6), {"pad", "", ""}},
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

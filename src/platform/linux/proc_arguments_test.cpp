#include "platform/linux/proc_arguments.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

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
        buffer.push_back('x');                      // the byte of room after the text
        std::vector<char*> argv{nullptr, nullptr};  // stale content must go
        splitArguments(buffer, c.cmdline.size(), argv);
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

// A file that holds `text` and then `zeros` NUL bytes that take neither
// disk nor memory until read (a sparse end), read from its start.
class TextFile {
  public:
    explicit TextFile(const std::string& text, off_t zeros = 0)
        : fd(memfd_create("cmdline", MFD_CLOEXEC)) {
        EXPECT_GE(fd, 0);
        EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        EXPECT_EQ(ftruncate(fd, static_cast<off_t>(text.size()) + zeros), 0);
        lseek(fd, 0, SEEK_SET);
    }
    ~TextFile() { close(fd); }
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    const int fd;
};

TEST(ReadArgumentTextTest, ReadsNoFurtherThanTheLimitOrTheTitleAndSaysWhetherItCut) {
    struct Case {
        const char* what;
        std::string text;
        std::size_t limit;
        ArgumentExtent extent;
        std::string read;  // what the buffer must start with
        std::size_t length;
        bool cut;
    };
    const std::string sixteen = "0123456789abcde";
    const std::string title = std::string("title\0", 6) + std::string(20000, 'x');
    const Case cases[] = {
        {"shorter than the limit", std::string("a\0b\0", 4), 16, ArgumentExtent::all,
         std::string("a\0b\0", 4), 4, false},
        {"exactly the limit", sixteen + '\0', 16, ArgumentExtent::all, sixteen + '\0', 16, false},
        {"one byte more", sixteen + std::string("\0z", 2), 16, ArgumentExtent::all, sixteen + '\0',
         16, true},
        {"a text that needs the buffer to grow", title, 30000, ArgumentExtent::all, title,
         title.size(), false},
        {"the same text cut", title, 10000, ArgumentExtent::all, title.substr(0, 10000), 10000,
         true},
        {"a title longer than the limit", std::string(100, 't'), 16, ArgumentExtent::title,
         std::string(16, 't'), 16, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TextFile file(c.text);
        std::vector<char> buffer;
        ArgumentText text;
        ASSERT_TRUE(readArgumentText(file.fd, c.limit, c.extent, buffer, text));
        EXPECT_EQ(text.length, c.length);
        EXPECT_EQ(text.cut, c.cut);
        EXPECT_EQ(std::string(buffer.data(), text.length), c.read);
        EXPECT_GT(buffer.size(), text.length);  // room for the NUL of splitArguments
        EXPECT_LE(buffer.size(), c.limit + 2);
    }
}

// A title is read up to its NUL, not through the mebibytes after it; all of
// an argument area as large as a mapping may be is read only up to the bound,
// into a buffer no larger.
TEST(ReadArgumentTextTest, AHugeAreaCostsNoMoreThanTheBound) {
    const off_t gibibyte = off_t{1} << 30;
    TextFile file(std::string("huge\0first\0", 12), gibibyte);
    std::vector<char> buffer;
    ArgumentText text;
    ASSERT_TRUE(readArgumentText(file.fd, argumentBound, ArgumentExtent::title, buffer, text));
    EXPECT_FALSE(text.cut);
    EXPECT_EQ(std::string(buffer.data(), 5), std::string("huge\0", 5));
    EXPECT_LE(buffer.size(), 4096u);

    lseek(file.fd, 0, SEEK_SET);
    ASSERT_TRUE(readArgumentText(file.fd, argumentBound, ArgumentExtent::all, buffer, text));
    EXPECT_TRUE(text.cut);
    EXPECT_EQ(text.length, argumentBound);
    EXPECT_LE(buffer.size(), argumentBound + 2);
    std::vector<char*> argv;
    splitArguments(buffer, text.length, argv);
    ASSERT_EQ(argv.size(), 3u);  // the padding of NULs is no argument
    EXPECT_STREQ(argv[1], "first");
}

TEST(KeepWordsExecveCouldPassTest, KeepsNoMoreWordsThanEmptyOnesWouldFill) {
    // execve counts a NUL and a pointer for each word: within `limit` bytes
    // at most limit / 9 words, however short.
    const std::size_t each = 1 + sizeof(char*);
    struct Case {
        std::size_t limit;
        std::size_t kept;
    };
    const std::string text("title\0\0\0x\0", 10);  // four words, two empty
    const Case cases[] = {
        {4 * each, 4}, {5 * each, 4}, {4 * each - 1, 3},
        {2 * each, 2}, {1, 1},  // the title always stays
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("within " + std::to_string(c.limit));
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('x');
        std::vector<char*> argv;
        splitArguments(buffer, text.size(), argv);
        ASSERT_EQ(argv.size(), 5u);
        EXPECT_EQ(keepWordsExecveCouldPass(argv, c.limit), c.kept < 4);
        ASSERT_EQ(argv.size(), c.kept + 1);
        EXPECT_STREQ(argv[0], "title");
        EXPECT_EQ(argv.back(), nullptr);
    }
}

}  // namespace

#include "process/labeller.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "platform/vis.h"
#include "process/process_table.h"
#include "support/options_of.h"
#include "support/proc_fixture.h"

namespace {

constexpr uid_t daemonUid = 1;  // "daemon" in Debian's base passwd

// init (pid 1, root) with the child worker (pid 812, daemon) below it.
void addWorker(ProcFixture& proc, std::vector<std::string> arguments = {"worker: busy", "--x"}) {
    proc.add({.pid = 1, .ppid = 0, .name = "init", .uid = 0, .arguments = {"init"}});
    proc.add({.pid = 812,
              .ppid = 1,
              .name = "worker",
              .uid = daemonUid,
              .arguments = std::move(arguments)});
}

TEST(LabelTest, DecorationsByArgumentsPidsAndUser) {
    struct Row {
        bool arguments;
        bool pids;
        bool user;
        const char* decoration;  // what follows the base text
    };
    const Row rows[] = {
        {false, false, false, ""},        {false, true, false, "(812)"},
        {false, false, true, "(daemon)"}, {false, true, true, "(812,daemon)"},
        {true, false, false, ""},         {true, true, false, ",812"},
        {true, false, true, ",daemon"},   {true, true, true, ",812,daemon"},
    };
    for (bool titles : {false, true}) {
        for (const Row& row : rows) {
            OptionFlags flags = (row.arguments ? Flag::arguments : 0) |
                                (row.pids ? Flag::showPids : 0) |
                                (row.user ? Flag::uidChanges : 0) | (titles ? Flag::showTitles : 0);
            ProcFixture proc;
            addWorker(proc);
            ProcessTable table = proc.snapshot(flags);
            ProcessNode* worker = table.find(812);
            ASSERT_NE(worker, nullptr);
            Labeller labeller = labellerOf(flags, proc.lastHandle());
            std::string base = titles ? "worker: busy" : "worker";
            EXPECT_EQ(labeller.label(*worker), base + row.decoration) << "flags " << flags;
            EXPECT_EQ(worker->name(), "worker");  // a title never becomes the name
        }
    }
}

TEST(LabelTest, TitleFallsBackToTheNameWithoutAReadableVector) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = {"init"}});
    proc.add(
        {.pid = 10, .ppid = 1, .name = "empty"});  // empty cmdline, as a kernel thread or zombie
    proc.add({.pid = 11, .ppid = 1, .name = "gone", .arguments = {"gone"}});
    proc.add({.pid = 12, .ppid = 1, .name = "odd", .arguments = {"t\ti\nt\x1bl\\e", "arg"}});
    proc.add({.pid = 13, .ppid = 1, .name = "retitled", .arguments = {"x"}});
    proc.writeFile("13/cmdline", "retitled: idle");  // rewritten, no NUL at the end
    std::filesystem::remove(proc.root() + "/11/cmdline");
    OptionFlags flags = Flag::showTitles | Flag::showPids;
    ProcessTable table = proc.snapshot(flags);
    Labeller labeller = labellerOf(flags, proc.lastHandle());
    EXPECT_EQ(labeller.label(*table.find(10)), "empty(10)");
    EXPECT_EQ(labeller.label(*table.find(11)), "gone(11)");
    EXPECT_EQ(labeller.label(*table.find(12)), "t\\011i\\012t^[l\\e(12)");
    EXPECT_EQ(labeller.label(*table.find(13)), "retitled: idle(13)");
}

TEST(LabelTest, UserShownByKindOfNode) {
    // Pids: 1 init (root user), 10 a (daemon) below it, 11 b (daemon) below
    // a, 12 c (root) below a, 20 d (daemon) whose parent is not in the
    // table, 21 e (root) likewise, 30 f (a uid with no password entry)
    // below init.
    struct Case {
        const char* kind;
        OptionFlags mode;  // Flag::pid, Flag::user or none
        pid_t pid;
        bool root;
        const char* label;
    };
    const Case cases[] = {
        {"all-trees root, not uid 0", 0, 20, true, "d(daemon)"},
        {"all-trees root, uid 0", 0, 21, true, "e"},
        {"all-trees root, uid 0 at the top", 0, 1, true, "init"},
        {"user-mode root with a parent of another user", Flag::user, 10, true, "a"},
        {"user-mode root without a parent", Flag::user, 20, true, "d"},
        {"pid-mode root, parent of another user", Flag::pid, 10, false, "a(daemon)"},
        {"pid-mode root, parent of the same user", Flag::pid, 11, false, "b"},
        {"pid-mode root without a parent", Flag::pid, 20, false, "d"},
        {"child of another user", 0, 12, false, "c(root)"},
        {"child of the same user", 0, 11, false, "b"},
        {"child of another user in user mode", Flag::user, 12, false, "c(root)"},
        {"uid without a password entry", 0, 30, false, "f(54321)"},
    };
    for (const Case& c : cases) {
        ProcFixture proc;
        proc.add({.pid = 1, .ppid = 0, .name = "init", .uid = 0});
        proc.add({.pid = 10, .ppid = 1, .name = "a", .uid = daemonUid});
        proc.add({.pid = 11, .ppid = 10, .name = "b", .uid = daemonUid});
        proc.add({.pid = 12, .ppid = 10, .name = "c", .uid = 0});
        proc.add({.pid = 20, .ppid = 999, .name = "d", .uid = daemonUid});
        proc.add({.pid = 21, .ppid = 999, .name = "e", .uid = 0});
        proc.add({.pid = 30, .ppid = 1, .name = "f", .uid = 54321});
        for (OptionFlags uidChanges : {Flag::uidChanges, OptionFlags{0}}) {
            OptionFlags flags = c.mode | uidChanges;
            ProcessTable table = proc.snapshot(flags);
            ProcessNode* node = table.find(c.pid);
            ASSERT_NE(node, nullptr) << c.kind;
            node->root = c.root;
            Labeller labeller = labellerOf(flags, proc.lastHandle());
            std::string expected = uidChanges != 0 ? c.label : std::string(Labeller::name(*node));
            EXPECT_EQ(labeller.label(*node), expected)
                << c.kind << (uidChanges != 0 ? "" : ", without -u");
        }
    }
}

TEST(LabelTest, EmptyNameGivesDecorationsOnly) {
    ProcFixture proc;
    proc.add({.pid = 1, .ppid = 0, .name = "init"});
    proc.add({.pid = 7, .ppid = 1, .name = ""});
    OptionFlags flags = Flag::showPids;
    ProcessTable table = proc.snapshot(flags);
    Labeller labeller = labellerOf(flags, proc.lastHandle());
    EXPECT_EQ(table.find(7)->name(), "");
    EXPECT_EQ(labeller.label(*table.find(7)), "(7)");
    EXPECT_EQ(labeller.label(*table.find(7)), "(7)");
}

// With titles and arguments both shown, the title and the arguments come
// from one reading of the vector: a process that changes its command line
// in between shows the one it had when its label was made.
TEST(ArgumentsTest, TitleAndArgumentsComeFromOneReading) {
    ProcFixture proc;
    addWorker(proc, {"worker: busy", "--x", "a\tb"});
    proc.add({.pid = 813, .ppid = 1, .name = "other", .arguments = {"other", "--y"}});
    const OptionFlags flags = Flag::showTitles | Flag::arguments;
    ProcessTable table = proc.snapshot(flags);
    Labeller labeller = labellerOf(flags, proc.lastHandle());
    ProcessNode& worker = *table.find(812);
    EXPECT_EQ(labeller.label(worker), "worker: busy");
    proc.writeFile("812/cmdline", std::string("worker: idle\0--z\0", 17));
    const std::span<const std::string> arguments = labeller.arguments(worker);
    EXPECT_EQ(std::vector<std::string>(arguments.begin(), arguments.end()),
              (std::vector<std::string>{"--x", "a\\011b"}));
    // Another process's vector is read afresh, and so is the first one's
    // once another was read in between.
    const std::span<const std::string> others = labeller.arguments(*table.find(813));
    EXPECT_EQ(std::vector<std::string>(others.begin(), others.end()),
              (std::vector<std::string>{"--y"}));
    const std::span<const std::string> again = labeller.arguments(worker);
    EXPECT_EQ(std::vector<std::string>(again.begin(), again.end()),
              (std::vector<std::string>{"--z"}));
}

// ---- visEncode -------------------------------------------------------------

// Sets LC_CTYPE for one scope and restores the previous one.
class CtypeLocale {
  public:
    explicit CtypeLocale(const char* name) : previous(std::setlocale(LC_CTYPE, nullptr)) {
        active = std::setlocale(LC_CTYPE, name) != nullptr;
    }
    ~CtypeLocale() { std::setlocale(LC_CTYPE, previous.c_str()); }
    bool active = false;

  private:
    std::string previous;
};

// The first control character (C0, DEL or C1) that `text` carries raw, as
// the terminal would see it: in UTF-8, a C1 control is U+0080 to U+009F or a
// lone byte 0x80 to 0x9F; in the C locale, every byte above 0x7F counts.
std::string rawControl(const std::string& text, bool utf8) {
    auto hex = [](unsigned value) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "0x%02x", value);
        return std::string(buffer);
    };
    for (std::size_t i = 0; i < text.size();) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7f) return hex(byte);
        if (byte < 0x80) {
            ++i;
            continue;
        }
        if (!utf8) return hex(byte);
        std::size_t length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc0 ? 2 : 1;
        bool valid = length > 1 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
        if (!valid) {
            if (byte < 0xa0) return hex(byte);  // a lone C1 byte
            ++i;
            continue;
        }
        unsigned second = static_cast<unsigned char>(text[i + 1]);
        if (length == 2 && byte == 0xc2 && second < 0xa0) return "U+00" + hex(second).substr(2);
        i += length;
    }
    return "";
}

std::vector<std::string> hostileTexts() {
    std::vector<std::string> texts = {
        "tab\there",
        "new\nline",
        "\x1b[2J\x1b]0;title\x07",
        "\x1b"
        "c",
        "csi\x9b"
        "31m",
        "utf8 csi \xc2\x9b"
        "31m",
        "\xc2\x85next line",
        "\xc2\xa0nbsp",
        "invalid \xff\xfe\xc3",
        "\xe2\x94",
        "back\\slash \\n \\\\",
        "del\x7f",
        "\r\b\f\v",
        "é è ✓ \xf0\x9f\x98\x80",
    };
    for (int byte = 1; byte < 256; ++byte)
        texts.push_back(std::string(1, static_cast<char>(byte)) + "x");
    for (int lead = 0xc0; lead < 0x100; ++lead)
        for (int next = 0x80; next < 0xc0; ++next)
            texts.push_back({static_cast<char>(lead), static_cast<char>(next), 'x'});
    return texts;
}

TEST(VisEncodeTest, NoControlCharacterPassesRawInEitherLocale) {
    for (const char* locale : {"C", "C.UTF-8"}) {
        CtypeLocale scope(locale);
        if (!scope.active) {
            ADD_FAILURE() << "locale " << locale << " is missing";
            continue;
        }
        const bool utf8 = std::string(locale) != "C";
        for (const std::string& text : hostileTexts()) {
            std::string encoded = Labeller::visEncode(text.c_str());
            EXPECT_EQ(rawControl(encoded, utf8), "")
                << locale << ": " << testing::PrintToString(text) << " gave "
                << testing::PrintToString(encoded);
            EXPECT_LE(encoded.size(), 4 * text.size());
        }
    }
}

TEST(VisEncodeTest, EncodingsOfTheCLocaleAndCUtf8) {
    struct Case {
        const char* locale;
        std::string text;
        std::string encoded;
    };
    const Case cases[] = {
        {"C", "plain text", "plain text"},
        {"C", "a\tb", "a\\011b"},
        {"C", "a\nb", "a\\012b"},
        {"C", "\x1b[1mX", "^[[1mX"},
        {"C", "\x01\x7f", "^A^?"},
        {"C", "back\\slash", "back\\slash"},  // not doubled
        {"C",
         "\x9b"
         "1",
         "M^[1"},                     // C1 byte
        {"C", "\xc3\xa9", "M-CM-)"},  // é: no multibyte text in C
        {"C", "", ""},
        {"C.UTF-8", "\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},  // printable, kept
        {"C.UTF-8", "\xe2\x94\x80", "\xe2\x94\x80"},
        {"C.UTF-8",
         "\xc2\x9b"
         "1",
         "M^[1"},  // U+009B
        {"C.UTF-8",
         "\x9b"
         "1",
         "M^[1"},  // lone C1 byte
        {"C.UTF-8", "a\tb\\", "a\\011b\\"},
    };
    for (const Case& c : cases) {
        CtypeLocale scope(c.locale);
        ASSERT_TRUE(scope.active) << c.locale;
        EXPECT_EQ(Labeller::visEncode(c.text.c_str()), c.encoded)
            << c.locale << ": " << testing::PrintToString(c.text);
    }
}

TEST(VisEncodeTest, AgreesWithStrvisOnPrintableAndMixedTexts) {
    // Printable ASCII takes a path of its own; whatever the text, the
    // result must be strvis's with the same flags.
    std::vector<std::string> texts = {"", " ", "\\", "a b\\c~", "sshd: root@pts/0 [priv]"};
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int i = 0; i < 300; ++i) {
        std::string text(next() % 90, ' ');
        for (char& c : text) c = static_cast<char>(0x20 + next() % 95);
        if (i % 3 == 0 && !text.empty())
            text[next() % text.size()] = static_cast<char>(1 + next() % 255);
        texts.push_back(text);
    }
    for (const char* locale : {"C", "C.UTF-8"}) {
        CtypeLocale scope(locale);
        ASSERT_TRUE(scope.active) << locale;
        for (const std::string& text : texts) {
            std::string expected(4 * text.size() + 1, '\0');
            int written = strvis(expected.data(), text.c_str(), VIS_NOSLASH | VIS_NL | VIS_TAB);
            expected.resize(static_cast<std::size_t>(written));
            EXPECT_EQ(Labeller::visEncode(text.c_str()), expected)
                << locale << ": " << testing::PrintToString(text);
        }
    }
}

}  // namespace

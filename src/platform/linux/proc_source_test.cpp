// The process source over directories laid out like /proc.
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/linux/proc_arguments.h"
#include "platform/linux/proc_handle.h"
#include "platform/linux/proc_texts.h"
#include "platform/process_source.h"
#include "support/proc_fixture.h"

namespace {

// A record with its name copied: it outlives the snapshot.
struct Record {
    ProcessRecord record;
    std::string name;
};

std::map<pid_t, Record> byPid(const ProcessSnapshot& snapshot) {
    std::map<pid_t, Record> found;
    for (const ProcessRecord& record : snapshot.records) found[record.pid] = {record, record.name};
    EXPECT_EQ(found.size(), snapshot.records.size());
    return found;
}

class ProcSourceTest : public testing::Test {
  protected:
    ProcFixture proc;

    // Opens the source on the fixture and returns every record by pid,
    // read from status (with the real uid) or from stat, with its name.
    std::map<pid_t, Record> records(bool realUid = true) {
        source = &proc.open();
        return byPid(readProcesses(*source, {.realUid = realUid}));
    }

    // The argument vector of `pid` as words, read as far as `extent` needs;
    // nullopt for no vector. `cut` tells whether the read was cut.
    std::optional<std::vector<std::string>> arguments(pid_t pid,
                                                      ArgumentExtent extent = ArgumentExtent::all,
                                                      bool* cut = nullptr) {
        const ArgumentVector vector = readArguments(*source, pid, extent);
        if (cut != nullptr) *cut = vector.cut;
        if (vector.words == nullptr) return std::nullopt;
        std::vector<std::string> words;
        for (char** word = vector.words; *word != nullptr; ++word) words.emplace_back(*word);
        return words;
    }

    SourceHandle* source = nullptr;  // owned by the fixture
};

// While one lives, the calling thread's permission checks on files are
// those of the user nobody: root's capabilities to read through any mode
// are dropped, and come back with root's file-system uid at the end.
class ReadingAsNobody {
  public:
    ReadingAsNobody() : wasRoot(geteuid() == 0) {
        if (wasRoot) setfsuid(65534);
    }
    ~ReadingAsNobody() {
        if (wasRoot) setfsuid(0);
    }
    ReadingAsNobody(const ReadingAsNobody&) = delete;
    ReadingAsNobody& operator=(const ReadingAsNobody&) = delete;

  private:
    bool wasRoot;
};

// The cases that hold for both sources of a record: status, read when the
// real uid is needed, and stat otherwise.
class ProcReadPathTest : public ProcSourceTest, public testing::WithParamInterface<bool> {
  protected:
    bool realUid() const { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(BothSources, ProcReadPathTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& source) {
                             return std::string(source.param ? "Status" : "Stat");
                         });

// Writes the status and stat texts of `process` under `entry`.
void writeTexts(ProcFixture& proc, const std::string& entry, const MemoryProcess& process) {
    proc.writeFile(entry + "/status", statusText(process));
    proc.writeFile(entry + "/stat", statText(process));
}

TEST_P(ProcReadPathTest, ReadsOneRecordPerProcessDirectory) {
    proc.add(
        {.pid = 1, .ppid = 0, .name = "init", .uid = 0, .arguments = {"/sbin/init", "splash"}});
    proc.add({.pid = 812, .ppid = 1, .name = "a) (b", .uid = 1000, .arguments = {"odd"}});
    proc.add({.pid = 813, .ppid = 812, .name = "two\nlines\\", .uid = 4294967294u});
    const std::string worker = "kworker/u16:5-events_unbound_with_a_name_that_runs_to_64_bytes__";
    proc.add({.pid = 30, .ppid = 2, .name = worker, .kernel = true});
    // Entries of /proc that are no process.
    writeTexts(proc, "self", {.pid = 99, .ppid = 1, .name = "self"});
    writeTexts(proc, "0", {.pid = 0, .ppid = 0, .name = "zero"});
    writeTexts(proc, "-4", {.pid = 4, .ppid = 1, .name = "minus"});
    writeTexts(proc, "12a", {.pid = 12, .ppid = 1, .name = "mixed"});
    proc.writeFile("sys/kernel/x", "");

    std::map<pid_t, Record> found = records(realUid());
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[1].name, "init");
    EXPECT_EQ(found[1].record.ppid, 0);
    EXPECT_EQ(found[812].name, "a) (b");
    EXPECT_EQ(found[812].record.ppid, 1);
    EXPECT_EQ(found[813].name, "two\nlines\\");
    EXPECT_EQ(found[813].record.ppid, 812);
    if (realUid()) {
        EXPECT_EQ(found[812].record.realUid, 1000u);
        EXPECT_EQ(found[813].record.realUid, 4294967294u);
    }
    EXPECT_EQ(found[30].name, worker);
    EXPECT_TRUE(found[30].record.kernel);
    EXPECT_FALSE(found[812].record.kernel);

    EXPECT_EQ(arguments(1), (std::vector<std::string>{"/sbin/init", "splash"}));
    EXPECT_EQ(arguments(812), (std::vector<std::string>{"odd"}));
    EXPECT_EQ(arguments(813), std::nullopt);  // empty cmdline: no vector
    EXPECT_EQ(arguments(30), std::nullopt);
    EXPECT_EQ(arguments(555), std::nullopt);  // no such process
}

TEST_F(ProcSourceTest, KernelThreadMarkComesFromStatOnKernelsWithoutTheKthreadLine) {
    proc.add({.pid = 2, .ppid = 0, .name = "kthreadd", .kernel = true, .kthreadLine = false});
    proc.add({.pid = 3, .ppid = 2, .name = "a) S 1 2 (b", .kernel = true, .kthreadLine = false});
    proc.add(
        {.pid = 4, .ppid = 1, .name = "user) 1 2 3 4 5", .kernel = false, .kthreadLine = false});
    proc.add({.pid = 5, .ppid = 2, .name = "current", .kernel = true, .kthreadLine = true});
    // No Kthread line and no stat: the mark cannot be known, so the process
    // is left out like any other that cannot be read.
    proc.writeFile("6/status", statusText({.pid = 6, .ppid = 1, .name = "nostat"}, false));
    // A malformed stat counts as unreadable.
    proc.writeFile("7/status", statusText({.pid = 7, .ppid = 1, .name = "badstat"}, false));
    proc.writeFile("7/stat", "7 (badstat");

    std::map<pid_t, Record> found = records();
    ASSERT_EQ(found.size(), 4u);
    EXPECT_TRUE(found[2].record.kernel);
    EXPECT_TRUE(found[3].record.kernel);
    EXPECT_EQ(found[3].name, "a) S 1 2 (b");
    EXPECT_FALSE(found[4].record.kernel);
    EXPECT_TRUE(found[5].record.kernel);
}

TEST_P(ProcReadPathTest, VanishedAndUnreadableEntriesAreLeftOutSilently) {
    proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = {"init"}});
    proc.add({.pid = 20, .ppid = 1, .name = "unreadable", .arguments = {"secret"}});
    proc.add({.pid = 21, .ppid = 1, .name = "readable", .arguments = {"visible"}});
    std::filesystem::create_directories(proc.root() + "/30");  // exited: directory without status
    proc.writeFile("31/status", "");                           // exited while being read
    proc.writeFile("31/stat", "");
    proc.writeFile("32/status", "Name:\tcut\nUmask:\t0022\nSta");
    proc.writeFile("32/stat", "32 (cut) S 1 32 3");

    for (const char* file : {"/20/status", "/20/stat", "/21/cmdline"})
        ASSERT_EQ(chmod((proc.root() + file).c_str(), 0), 0);
    // Root reads through any mode: the files are read as nobody. Everything
    // else stays open to all.
    ASSERT_EQ(chmod(proc.root().c_str(), 0755), 0);
    const ReadingAsNobody asNobody;

    std::map<pid_t, Record> found = records(realUid());
    EXPECT_EQ(found.size(), 2u);
    EXPECT_EQ(found.count(1), 1u);
    EXPECT_EQ(found.count(21), 1u);
    EXPECT_EQ(arguments(1), (std::vector<std::string>{"init"}));
    EXPECT_EQ(arguments(21), std::nullopt);  // cmdline unreadable: no vector
}

TEST_P(ProcReadPathTest, AnyOtherFailureToReadFailsTheSnapshotRatherThanLeaveAProcessOut) {
    proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = {"init"}});
    proc.add({.pid = 20, .ppid = 1, .name = "odd"});
    proc.add({.pid = 21, .ppid = 1, .name = "odd arguments"});
    // Neither gone nor hidden: a directory where a text should be opens,
    // but does not read.
    for (const char* file : {"/20/status", "/20/stat", "/21/cmdline"}) {
        std::filesystem::remove(proc.root() + file);
        std::filesystem::create_directory(proc.root() + file);
    }
    SourceHandle& opened = proc.open();
    const RecordNeeds needs{.realUid = realUid()};
    try {
        readProcesses(opened, needs);
        ADD_FAILURE() << "a snapshot without process 20";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.message, proc.root() + "/20: Is a directory");
    }

    std::filesystem::remove(proc.root() + "/20/status");
    std::filesystem::remove(proc.root() + "/20/stat");
    EXPECT_EQ(readProcesses(opened, needs).records.size(), 2u);  // 20 is gone now, and left out
    try {
        readArguments(opened, 21, ArgumentExtent::all);
        ADD_FAILURE() << "a vector read from a directory";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.message, proc.root() + "/21/cmdline: Is a directory");
    }
    EXPECT_NE(readArguments(opened, 1, ArgumentExtent::all).words, nullptr);  // the next one reads
    EXPECT_EQ(readArguments(opened, 22, ArgumentExtent::all).words,
              nullptr);  // one that is gone is no failure
}

TEST_F(ProcSourceTest, ReadsOnlyTheFileThatTheRunNeeds) {
    proc.add({.pid = 1, .ppid = 0, .name = "init", .uid = 0});
    proc.add({.pid = 2, .ppid = 1, .name = "no status", .uid = 1000});
    proc.add({.pid = 3, .ppid = 1, .name = "no stat", .uid = 1000});
    std::filesystem::remove(proc.root() + "/2/status");
    std::filesystem::remove(proc.root() + "/3/stat");

    std::map<pid_t, Record> fromStat = records(false);
    EXPECT_EQ(fromStat.size(), 2u);
    EXPECT_EQ(fromStat[2].name, "no status");
    EXPECT_EQ(fromStat.count(3), 0u);

    std::map<pid_t, Record> fromStatus = records(true);
    EXPECT_EQ(fromStatus.size(), 2u);
    EXPECT_EQ(fromStatus[3].name, "no stat");
    EXPECT_EQ(fromStatus[3].record.realUid, 1000u);
    EXPECT_EQ(fromStatus.count(2), 0u);
}

TEST_F(ProcSourceTest, ArgumentVectorsOfAnySize) {
    std::vector<std::string> big{"big"};
    for (char fill = 'a'; fill < 'a' + 8; ++fill) big.push_back(std::string(128 * 1024, fill));
    proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = big});
    proc.add({.pid = 2, .ppid = 1, .name = "small", .arguments = {"x"}});
    proc.add({.pid = 3, .ppid = 1, .name = "retitled"});
    proc.writeFile("3/cmdline", "retitled: busy");  // no NUL at the end
    records();
    EXPECT_EQ(arguments(1), big);
    EXPECT_EQ(arguments(2), (std::vector<std::string>{"x"}));  // after a large one
    EXPECT_EQ(arguments(3), (std::vector<std::string>{"retitled: busy"}));
}

// A process may point its argument memory at a mapping of any size: its
// vector is read no further than execve could have passed, and says that it
// was cut; a title is read only up to its end.
TEST_F(ProcSourceTest, AnArgumentAreaBeyondTheBoundIsCutWhereTheReadStopped) {
    proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = {"init"}});
    proc.add({.pid = 2, .ppid = 1, .name = "huge"});
    proc.add({.pid = 3, .ppid = 1, .name = "long"});
    proc.add({.pid = 4, .ppid = 1, .name = "full"});
    // Words, then a gibibyte of NULs that takes no disk (a sparse file).
    const std::string huge = proc.root() + "/2/cmdline";
    proc.writeFile("2/cmdline", std::string("huge\0first\0second\0", 19));
    std::filesystem::resize_file(huge, std::uintmax_t{1} << 30);
    // One argument that runs past the bound.
    proc.writeFile("3/cmdline", std::string("long\0", 5) + std::string(argumentBound, 'x'));
    // More words than execve could pass, each counted with a pointer.
    const std::size_t most = argumentBound / (1 + sizeof(char*));
    proc.writeFile("4/cmdline",
                   std::string("many\0", 5) + std::string(most + 10, '\0') + "end" + '\0');
    records();

    bool cut = false;
    EXPECT_EQ(arguments(2, ArgumentExtent::title, &cut), std::vector<std::string>{"huge"});
    EXPECT_FALSE(cut);                              // the title is whole
    EXPECT_LE(source->argumentText.size(), 4096u);  // and nothing after it was read
    EXPECT_EQ(arguments(2, ArgumentExtent::all, &cut),
              (std::vector<std::string>{"huge", "first", "second"}));
    EXPECT_TRUE(cut);
    EXPECT_LE(source->argumentText.size(), argumentBound + 2);

    const std::optional<std::vector<std::string>> cutWord = arguments(3, ArgumentExtent::all, &cut);
    EXPECT_TRUE(cut);
    ASSERT_TRUE(cutWord);
    ASSERT_EQ(cutWord->size(), 2u);
    EXPECT_EQ((*cutWord)[1], std::string(argumentBound - 5, 'x'));

    EXPECT_EQ(arguments(4, ArgumentExtent::all, &cut)->size(), most);
    EXPECT_TRUE(cut);
    EXPECT_EQ(arguments(4, ArgumentExtent::title, &cut), std::vector<std::string>{"many"});
    EXPECT_FALSE(cut);
}

TEST_F(ProcSourceTest, ADirectoryWithoutProcessesFailsAndAMissingOneFailsToOpen) {
    // Entries that are no process, and one that vanishes: no record at all.
    writeTexts(proc, "self", {.pid = 99, .ppid = 1, .name = "self"});
    proc.writeFile("sys/kernel/x", "");
    proc.writeFile("12/cmdline", "");
    try {
        readProcesses(proc.open(), {});
        ADD_FAILURE() << "an empty snapshot";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.message, proc.root() + " lists no processes");
    }

    const std::string missing = proc.root() + "/no-such-directory";
    try {
        openProcDirectory(missing.c_str());
        ADD_FAILURE() << "opened " << missing;
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.message, missing + ": No such file or directory");
    }
}

}  // namespace

namespace {

TEST_F(ProcSourceTest, EverySnapshotOfOneHandleListsEveryProcess) {
    proc.add({.pid = 1, .ppid = 0, .name = "init"});
    proc.add({.pid = 2, .ppid = 1, .name = "sh"});
    ASSERT_EQ(records().size(), 2u);
    proc.add({.pid = 3, .ppid = 2, .name = "new"});
    EXPECT_EQ(readProcesses(*source, {}).records.size(), 3u);
}

// Reads every record of the fixture through a fresh source with `threads`
// readers from the first process on.
ProcessSnapshot readWithThreads(ProcFixture& proc, unsigned threads, bool realUid) {
    SourceHandle& source = proc.open();
    source.threads = threads;
    source.threadedFrom = 0;
    return readProcesses(source, {.realUid = realUid});
}

TEST(ProcThreadsTest, ManyReadersGiveTheRecordsOfOneInTheSameOrder) {
    ProcFixture proc;
    std::size_t expected = 0;
    for (pid_t pid = 1; pid <= 1500; ++pid) {
        if (pid % 97 == 0) {
            // Gone while being read: a directory without its files, or
            // files cut short.
            std::filesystem::create_directories(proc.root() + "/" + std::to_string(pid));
            continue;
        }
        if (pid % 89 == 0) {
            proc.writeFile(std::to_string(pid) + "/status", "Name:\tcut\nPP");
            proc.writeFile(std::to_string(pid) + "/stat", std::to_string(pid) + " (cut) S");
            continue;
        }
        std::string name = "p" + std::to_string(pid % 13);
        if (pid % 7 == 0) name += ") (\n\\";
        proc.add({.pid = pid,
                  .ppid = pid / 3,
                  .name = name,
                  .uid = static_cast<uid_t>(pid % 5),
                  .kernel = pid % 11 == 0});
        ++expected;
    }
    for (bool realUid : {false, true}) {
        SCOPED_TRACE(realUid ? "status" : "stat");
        const ProcessSnapshot first = readWithThreads(proc, 1, realUid);
        const std::vector<ProcessRecord>& one = first.records;
        ASSERT_EQ(one.size(), expected);
        for (unsigned threads : {2u, 3u, 8u}) {
            SCOPED_TRACE(threads);
            const ProcessSnapshot read = readWithThreads(proc, threads, realUid);
            const std::vector<ProcessRecord>& many = read.records;
            ASSERT_EQ(many.size(), one.size());
            for (std::size_t i = 0; i < one.size(); ++i) {
                EXPECT_EQ(many[i].pid, one[i].pid);
                EXPECT_EQ(many[i].ppid, one[i].ppid);
                EXPECT_EQ(many[i].realUid, one[i].realUid);
                EXPECT_EQ(many[i].kernel, one[i].kernel);
                EXPECT_STREQ(many[i].name, one[i].name);
            }
        }
    }
}

TEST(ProcThreadsTest, ThreadsOnlyForListingsLargeEnough) {
    EXPECT_EQ(readerThreads(999, 4, 1000), 1u);
    EXPECT_EQ(readerThreads(1000, 4, 1000), 4u);
    EXPECT_EQ(readerThreads(3, 8, 0), 3u);  // never more threads than processes
    EXPECT_EQ(readerThreads(1, 8, 0), 1u);
    EXPECT_EQ(readerThreads(0, 8, 0), 1u);
    const unsigned byCpus = readerThreads(100000, 0, 1000);
    EXPECT_GE(byCpus, 1u);
    EXPECT_LE(byCpus, maxReaderThreads);
    EXPECT_EQ(readerThreads(defaultThreadedFrom - 1, 0, defaultThreadedFrom), 1u);
}

}  // namespace

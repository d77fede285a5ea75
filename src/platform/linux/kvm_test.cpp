// The kernel-access layer over directories laid out like /proc.
#include "platform/kvm.h"

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

#include "platform/kvm_fields.h"
#include "platform/linux/kvm_handle.h"
#include "platform/linux/proc_arguments.h"
#include "support/proc_fixture.h"

namespace {

class KvmTest : public testing::Test {
  protected:
    ProcFixture proc;

    // Opens the layer on the fixture and returns every record by pid, read
    // from status (with the real uid) or from stat.
    std::map<pid_t, kinfo_proc> records(bool realUid = true) {
        kd = proc.open();
        kvmNeedRealUid(kd, realUid);
        int count = -1;
        kinfo_proc* array = kvm_getprocs(kd, KERN_PROC_PROC, 0, &count);
        EXPECT_NE(array, nullptr) << kvm_geterr(kd);
        std::map<pid_t, kinfo_proc> byPid;
        for (int i = 0; array != nullptr && i < count; ++i) byPid[array[i].ki_pid] = array[i];
        EXPECT_EQ(byPid.size(), static_cast<std::size_t>(count));
        return byPid;
    }

    // The argument vector of `pid` as words, read as far as `extent` needs;
    // nullopt for no vector. `cut` tells whether the read was cut.
    std::optional<std::vector<std::string>> arguments(pid_t pid,
                                                      ArgumentExtent extent = ArgumentExtent::all,
                                                      bool* cut = nullptr) {
        kinfo_proc record{};
        record.ki_pid = pid;
        const char* failure = nullptr;
        const ArgumentVector vector = kvmArguments(kd, record, extent, failure);
        EXPECT_STREQ(failure, nullptr);
        if (cut != nullptr) *cut = vector.cut;
        if (vector.words == nullptr) return std::nullopt;
        std::vector<std::string> words;
        for (char** word = vector.words; *word != nullptr; ++word) words.emplace_back(*word);
        return words;
    }

    kvm_t* kd = nullptr;  // owned by the fixture
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
class KvmReadPathTest : public KvmTest, public testing::WithParamInterface<bool> {
  protected:
    bool realUid() const { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(BothSources, KvmReadPathTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& source) {
                             return std::string(source.param ? "Status" : "Stat");
                         });

// Writes the status and stat texts of `process` under `entry`.
void writeTexts(ProcFixture& proc, const std::string& entry, const FakeProcess& process) {
    proc.writeFile(entry + "/status", ProcFixture::statusText(process));
    proc.writeFile(entry + "/stat", ProcFixture::statText(process));
}

TEST_P(KvmReadPathTest, ReadsOneRecordPerProcessDirectory) {
    proc.add(
        {.pid = 1, .ppid = 0, .name = "init", .uid = 0, .arguments = {"/sbin/init", "splash"}});
    proc.add({.pid = 812, .ppid = 1, .name = "a) (b", .uid = 1000, .arguments = {"odd"}});
    proc.add({.pid = 813, .ppid = 812, .name = "two\nlines\\", .uid = 4294967294u});
    const std::string worker = "kworker/u16:5-events_unbound_with_a_name_that_runs_to_64_bytes__";
    proc.add({.pid = 30, .ppid = 2, .name = worker, .kthread = true});
    // Entries of /proc that are no process.
    writeTexts(proc, "self", {.pid = 99, .ppid = 1, .name = "self"});
    writeTexts(proc, "0", {.pid = 0, .ppid = 0, .name = "zero"});
    writeTexts(proc, "-4", {.pid = 4, .ppid = 1, .name = "minus"});
    writeTexts(proc, "12a", {.pid = 12, .ppid = 1, .name = "mixed"});
    proc.writeFile("sys/kernel/x", "");

    std::map<pid_t, kinfo_proc> found = records(realUid());
    ASSERT_EQ(found.size(), 4u);
    EXPECT_STREQ(found[1].ki_comm, "init");
    EXPECT_EQ(found[1].ki_ppid, 0);
    EXPECT_STREQ(found[812].ki_comm, "a) (b");
    EXPECT_EQ(found[812].ki_ppid, 1);
    EXPECT_STREQ(found[813].ki_comm, "two\nlines\\");
    EXPECT_EQ(found[813].ki_ppid, 812);
    if (realUid()) {
        EXPECT_EQ(found[812].ki_ruid, 1000u);
        EXPECT_EQ(found[813].ki_ruid, 4294967294u);
    }
    EXPECT_EQ(found[30].ki_comm, worker);
    EXPECT_NE(found[30].ki_flag & P_SYSTEM, 0);
    EXPECT_EQ(found[812].ki_flag & P_SYSTEM, 0);

    EXPECT_EQ(arguments(1), (std::vector<std::string>{"/sbin/init", "splash"}));
    EXPECT_EQ(arguments(812), (std::vector<std::string>{"odd"}));
    EXPECT_EQ(arguments(813), std::nullopt);  // empty cmdline: no vector
    EXPECT_EQ(arguments(30), std::nullopt);
    EXPECT_EQ(arguments(555), std::nullopt);  // no such process
}

TEST_F(KvmTest, KernelThreadMarkComesFromStatOnKernelsWithoutTheKthreadLine) {
    proc.add({.pid = 2, .ppid = 0, .name = "kthreadd", .kthread = true, .kthreadLine = false});
    proc.add({.pid = 3, .ppid = 2, .name = "a) S 1 2 (b", .kthread = true, .kthreadLine = false});
    proc.add(
        {.pid = 4, .ppid = 1, .name = "user) 1 2 3 4 5", .kthread = false, .kthreadLine = false});
    proc.add({.pid = 5, .ppid = 2, .name = "current", .kthread = true, .kthreadLine = true});
    // No Kthread line and no stat: the mark cannot be known, so the process
    // is left out like any other that cannot be read.
    proc.writeFile("6/status",
                   ProcFixture::statusText({.pid = 6, .ppid = 1, .name = "nostat"}, false));
    // A malformed stat counts as unreadable.
    proc.writeFile("7/status",
                   ProcFixture::statusText({.pid = 7, .ppid = 1, .name = "badstat"}, false));
    proc.writeFile("7/stat", "7 (badstat");

    std::map<pid_t, kinfo_proc> found = records();
    ASSERT_EQ(found.size(), 4u);
    EXPECT_NE(found[2].ki_flag & P_SYSTEM, 0);
    EXPECT_NE(found[3].ki_flag & P_SYSTEM, 0);
    EXPECT_STREQ(found[3].ki_comm, "a) S 1 2 (b");
    EXPECT_EQ(found[4].ki_flag & P_SYSTEM, 0);
    EXPECT_NE(found[5].ki_flag & P_SYSTEM, 0);
}

TEST_P(KvmReadPathTest, VanishedAndUnreadableEntriesAreLeftOutSilently) {
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

    std::map<pid_t, kinfo_proc> found = records(realUid());
    EXPECT_EQ(found.size(), 2u);
    EXPECT_EQ(found.count(1), 1u);
    EXPECT_EQ(found.count(21), 1u);
    EXPECT_EQ(arguments(1), (std::vector<std::string>{"init"}));
    EXPECT_EQ(arguments(21), std::nullopt);  // cmdline unreadable: no vector
}

TEST_P(KvmReadPathTest, AnyOtherFailureToReadFailsTheSnapshotRatherThanLeaveAProcessOut) {
    proc.add({.pid = 1, .ppid = 0, .name = "init", .arguments = {"init"}});
    proc.add({.pid = 20, .ppid = 1, .name = "odd"});
    proc.add({.pid = 21, .ppid = 1, .name = "odd arguments"});
    // Neither gone nor hidden: a directory where a text should be opens,
    // but does not read.
    for (const char* file : {"/20/status", "/20/stat", "/21/cmdline"}) {
        std::filesystem::remove(proc.root() + file);
        std::filesystem::create_directory(proc.root() + file);
    }
    kd = proc.open();
    kvmNeedRealUid(kd, realUid());
    int count = -1;
    EXPECT_EQ(kvm_getprocs(kd, KERN_PROC_PROC, 0, &count), nullptr);
    EXPECT_EQ(std::string(kvm_geterr(kd)), proc.root() + "/20: Is a directory");

    std::filesystem::remove(proc.root() + "/20/status");
    std::filesystem::remove(proc.root() + "/20/stat");
    ASSERT_NE(kvm_getprocs(kd, KERN_PROC_PROC, 0, &count), nullptr) << kvm_geterr(kd);
    EXPECT_EQ(count, 2);  // 20 is gone now, and left out
    kinfo_proc record{};
    record.ki_pid = 21;
    const char* failure = nullptr;
    EXPECT_EQ(kvmArguments(kd, record, ArgumentExtent::all, failure).words, nullptr);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(std::string(failure), proc.root() + "/21/cmdline: Is a directory");
    record.ki_pid = 1;  // the next vector that reads clears the failure
    EXPECT_NE(kvmArguments(kd, record, ArgumentExtent::all, failure).words, nullptr);
    EXPECT_STREQ(failure, nullptr);
    record.ki_pid = 22;  // nor is a process that is gone a failure
    EXPECT_EQ(kvmArguments(kd, record, ArgumentExtent::all, failure).words, nullptr);
    EXPECT_STREQ(failure, nullptr);
}

TEST_F(KvmTest, ReadsOnlyTheFileThatTheRunNeeds) {
    proc.add({.pid = 1, .ppid = 0, .name = "init", .uid = 0});
    proc.add({.pid = 2, .ppid = 1, .name = "no status", .uid = 1000});
    proc.add({.pid = 3, .ppid = 1, .name = "no stat", .uid = 1000});
    std::filesystem::remove(proc.root() + "/2/status");
    std::filesystem::remove(proc.root() + "/3/stat");

    std::map<pid_t, kinfo_proc> fromStat = records(false);
    EXPECT_EQ(fromStat.size(), 2u);
    EXPECT_STREQ(fromStat[2].ki_comm, "no status");
    EXPECT_EQ(fromStat.count(3), 0u);

    std::map<pid_t, kinfo_proc> fromStatus = records(true);
    EXPECT_EQ(fromStatus.size(), 2u);
    EXPECT_STREQ(fromStatus[3].ki_comm, "no stat");
    EXPECT_EQ(fromStatus[3].ki_ruid, 1000u);
    EXPECT_EQ(fromStatus.count(2), 0u);
}

TEST_F(KvmTest, ArgumentVectorsOfAnySize) {
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
TEST_F(KvmTest, AnArgumentAreaBeyondTheBoundIsCutWhereTheReadStopped) {
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
    EXPECT_FALSE(cut);                          // the title is whole
    EXPECT_LE(kd->argumentText.size(), 4096u);  // and nothing after it was read
    EXPECT_EQ(arguments(2, ArgumentExtent::all, &cut),
              (std::vector<std::string>{"huge", "first", "second"}));
    EXPECT_TRUE(cut);
    EXPECT_LE(kd->argumentText.size(), argumentBound + 2);

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

TEST_F(KvmTest, ADirectoryWithoutProcessesFailsAndAMissingOneFailsToOpen) {
    // Entries that are no process, and one that vanishes: no record at all.
    writeTexts(proc, "self", {.pid = 99, .ppid = 1, .name = "self"});
    proc.writeFile("sys/kernel/x", "");
    proc.writeFile("12/cmdline", "");
    kd = proc.open();
    int count = -1;
    EXPECT_EQ(kvm_getprocs(kd, KERN_PROC_PROC, 0, &count), nullptr);
    EXPECT_EQ(std::string(kvm_geterr(kd)), proc.root() + " lists no processes");

    const std::string missing = proc.root() + "/no-such-directory";
    char error[_POSIX2_LINE_MAX] = {};
    EXPECT_EQ(kvmOpenDirectory(missing.c_str(), error), nullptr);
    EXPECT_EQ(std::string(error), missing + ": No such file or directory");
}

}  // namespace

namespace {

TEST_F(KvmTest, EverySnapshotOfOneHandleListsEveryProcess) {
    proc.add({.pid = 1, .ppid = 0, .name = "init"});
    proc.add({.pid = 2, .ppid = 1, .name = "sh"});
    ASSERT_EQ(records().size(), 2u);
    proc.add({.pid = 3, .ppid = 2, .name = "new"});
    int count = -1;
    kinfo_proc* array = kvm_getprocs(kd, KERN_PROC_PROC, 0, &count);
    ASSERT_NE(array, nullptr) << kvm_geterr(kd);
    EXPECT_EQ(count, 3);
}

// Reads every record of the fixture through a fresh handle with `threads`
// readers from the first process on.
std::vector<kinfo_proc> readWithThreads(ProcFixture& proc, unsigned threads, bool realUid) {
    kvm_t* kd = proc.open();
    kd->threads = threads;
    kd->threadedFrom = 0;
    kvmNeedRealUid(kd, realUid);
    int count = -1;
    kinfo_proc* array = kvm_getprocs(kd, KERN_PROC_PROC, 0, &count);
    EXPECT_NE(array, nullptr) << kvm_geterr(kd);
    if (array == nullptr) return {};
    return std::vector<kinfo_proc>(array, array + count);
}

TEST(KvmThreadsTest, ManyReadersGiveTheRecordsOfOneInTheSameOrder) {
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
                  .kthread = pid % 11 == 0});
        ++expected;
    }
    for (bool realUid : {false, true}) {
        SCOPED_TRACE(realUid ? "status" : "stat");
        const std::vector<kinfo_proc> one = readWithThreads(proc, 1, realUid);
        ASSERT_EQ(one.size(), expected);
        for (unsigned threads : {2u, 3u, 8u}) {
            SCOPED_TRACE(threads);
            const std::vector<kinfo_proc> many = readWithThreads(proc, threads, realUid);
            ASSERT_EQ(many.size(), one.size());
            for (std::size_t i = 0; i < one.size(); ++i) {
                EXPECT_EQ(many[i].ki_pid, one[i].ki_pid);
                EXPECT_EQ(many[i].ki_ppid, one[i].ki_ppid);
                EXPECT_EQ(many[i].ki_ruid, one[i].ki_ruid);
                EXPECT_EQ(many[i].ki_flag, one[i].ki_flag);
                EXPECT_STREQ(many[i].ki_comm, one[i].ki_comm);
            }
        }
    }
}

TEST(KvmThreadsTest, ThreadsOnlyForListingsLargeEnough) {
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

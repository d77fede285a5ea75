// The process source through libkvm on the running system: the records it
// converts and the argument vectors it reads.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/param.h>
#include <unistd.h>

#include <string>

#include "platform/process_source.h"

namespace {

const ProcessRecord* find(const ProcessSnapshot& snapshot, pid_t pid) {
    for (const ProcessRecord& record : snapshot.records)
        if (record.pid == pid) return &record;
    return nullptr;
}

TEST(KvmSourceTest, ReadsThisProcessAndInitAsTheKernelListsThem) {
    const ProcessSource source = openProcessSource();
    const ProcessSnapshot snapshot = readProcesses(*source, {.realUid = true});
    const ProcessRecord* self = find(snapshot, getpid());
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->ppid, getppid());
    EXPECT_EQ(self->realUid, getuid());
    EXPECT_FALSE(self->kernel);
    EXPECT_NE(self->start, 0u);
    EXPECT_STREQ(self->name, std::string(getprogname()).substr(0, MAXCOMLEN).c_str());
    const ProcessRecord* init = find(snapshot, 1);
    ASSERT_NE(init, nullptr);
    EXPECT_FALSE(init->kernel);  // P_SYSTEM, but no kernel process
    if (const ProcessRecord* kernel = find(snapshot, 0)) EXPECT_TRUE(kernel->kernel);

    char** vector = readArguments(*source, getpid(), ArgumentExtent::all).words;
    ASSERT_NE(vector, nullptr);
    ASSERT_NE(vector[0], nullptr);
    EXPECT_NE(std::string(vector[0]).find(getprogname()), std::string::npos) << vector[0];
}

}  // namespace

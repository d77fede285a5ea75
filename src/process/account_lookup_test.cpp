#include "process/account_lookup.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

TEST(AccountLookupTest, TheErrorsThatMayMeanNoEntryAreNoFailure) {
    struct Case {
        int error;
        MissingAccount meaning;
    };
    const Case cases[] = {
        {0, MissingAccount::noEntry},           {ENOENT, MissingAccount::noEntry},
        {ESRCH, MissingAccount::noEntry},       {EBADF, MissingAccount::noEntry},
        {EPERM, MissingAccount::noEntry},       {EIO, MissingAccount::lookupFailed},
        {EMFILE, MissingAccount::lookupFailed}, {ENFILE, MissingAccount::lookupFailed},
        {ENOMEM, MissingAccount::lookupFailed}, {ERANGE, MissingAccount::lookupFailed},
        {EINTR, MissingAccount::lookupFailed},
    };
    for (const Case& c : cases)
        EXPECT_EQ(whyNoAccount(c.error), c.meaning) << std::strerror(c.error);
}

}  // namespace

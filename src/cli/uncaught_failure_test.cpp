#include "cli/uncaught_failure.h"

#include <gtest/gtest.h>

#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

namespace {

// The message names what escaped, so that a failure to join a reader
// thread is not reported as memory that ran out.
TEST(UncaughtFailure, NamesWhatEscaped) {
    struct Case {
        const char* name;
        std::exception_ptr exception;
        std::string message;
    };
    const Case cases[] = {
        {"bad_alloc", std::make_exception_ptr(std::bad_alloc()), "out of memory"},
        {"system_error",
         std::make_exception_ptr(
             std::system_error(std::make_error_code(std::errc::invalid_argument), "join")),
         "unexpected failure: join: Invalid argument"},
        {"runtime_error", std::make_exception_ptr(std::runtime_error("broken")),
         "unexpected failure: broken"},
        {"not an exception class", std::make_exception_ptr(42), "unexpected failure"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            std::rethrow_exception(c.exception);
        } catch (...) {
            EXPECT_EQ(uncaughtFailureMessage(), c.message);
        }
    }
    // Nothing says that memory ran out when there is no exception at all.
    EXPECT_EQ(std::string(uncaughtFailureMessage()),
              "unexpected failure: terminate called without an active exception");
}

TEST(UncaughtFailureDeathTest, EndsWithStatusOneAndTheMessage) {
    EXPECT_EXIT(
        {
            std::set_terminate(endOnUncaughtFailure);
            try {
                throw std::system_error(
                    std::make_error_code(std::errc::resource_deadlock_would_occur), "thread");
            } catch (...) {
                std::terminate();
            }
        },
        testing::ExitedWithCode(1), "unexpected failure: thread: Resource deadlock avoided");
    EXPECT_EXIT(
        {
            std::set_terminate(endOnUncaughtFailure);
            std::terminate();
        },
        testing::ExitedWithCode(1),
        "unexpected failure: terminate called without an active exception");
}

}  // namespace

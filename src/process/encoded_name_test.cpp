#include "process/encoded_name.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

namespace {

TEST(EncodedNameTest, AViewSharesItsTextAndACopyOutlivesItsSource) {
    const std::string record = "sshd";
    const EncodedName view = EncodedName::viewOf(record);
    EXPECT_EQ(view.view(), "sshd");
    EXPECT_EQ(view.view().data(), record.data());

    auto source = std::make_unique<std::string>("a\\^Jb");
    const EncodedName copy = EncodedName::copyOf(*source);
    EXPECT_NE(copy.view().data(), source->data());
    source.reset();
    EXPECT_EQ(copy.view(), "a\\^Jb");
}

TEST(EncodedNameTest, MovingHandsOverTheTextAndLeavesAnEmptyName) {
    EncodedName first = EncodedName::copyOf("worker");
    EncodedName second = std::move(first);
    EXPECT_EQ(second.view(), "worker");
    // NOLINTNEXTLINE(bugprone-use-after-move): the moved-from state is defined
    EXPECT_FALSE(first.encoded());
    EXPECT_EQ(first.view(), "");

    // Assigning over an owned copy gives that copy back (the sanitizer
    // suite sees a leak or a double delete otherwise).
    EncodedName third = EncodedName::copyOf("other");
    third = std::move(second);
    EXPECT_EQ(third.view(), "worker");
    third = EncodedName::viewOf("init");
    EXPECT_EQ(third.view(), "init");

    EXPECT_FALSE(EncodedName().encoded());
    EXPECT_TRUE(EncodedName::copyOf("").encoded());
    EXPECT_EQ(EncodedName::copyOf("").view(), "");
}

TEST(EncodedNameTest, ARawNameIsNotEncodedEvenWhenEmpty) {
    const char raw[] = "a\nb";
    const EncodedName name = EncodedName::rawOf(raw);
    EXPECT_FALSE(name.encoded());
    EXPECT_EQ(name.view().data(), raw);
    EXPECT_FALSE(EncodedName::rawOf("").encoded());
    EXPECT_TRUE(EncodedName::viewOf("").encoded());
}

}  // namespace

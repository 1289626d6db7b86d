#include "platform/load_scope.h"

#include <gtest/gtest.h>
#include <thread>

namespace qb {

TEST(LoadScope, NumbersEachLoadAndNestedScopesJoinTheirLoad) {
    EXPECT_EQ(CurrentLoad(), 0u);
    std::uint64_t first = 0;
    {
        const LoadScope scope;
        first = CurrentLoad();
        EXPECT_NE(first, 0u);
        {
            const LoadScope inner;
            EXPECT_EQ(CurrentLoad(), first);
        }
        EXPECT_EQ(CurrentLoad(), first); // the inner scope's end is not the load's
    }
    EXPECT_EQ(CurrentLoad(), 0u);
    const LoadScope second;
    EXPECT_NE(CurrentLoad(), 0u);
    EXPECT_NE(CurrentLoad(), first);
}

TEST(LoadScope, ALoadOnOneThreadLeavesTheOthersCheckingEveryRead) {
    const LoadScope scope;
    std::uint64_t seen = 1;
    std::thread([&] { seen = CurrentLoad(); }).join();
    EXPECT_EQ(seen, 0u);
}

TEST(FreshnessCheck, IsDueAtEveryReadOutsideALoadAndOncePerLoadInside) {
    FreshnessCheck check;
    EXPECT_TRUE(check.Due());
    EXPECT_TRUE(check.Due());
    {
        const LoadScope load;
        EXPECT_TRUE(check.Due());
        EXPECT_FALSE(check.Due());
        EXPECT_FALSE(check.Due());
        check.Forget();
        EXPECT_TRUE(check.Due());
        EXPECT_FALSE(check.Due());
    }
    EXPECT_TRUE(check.Due());
    const LoadScope next;
    EXPECT_TRUE(check.Due()); // the next load checks again
    EXPECT_FALSE(check.Due());
}

} // namespace qb

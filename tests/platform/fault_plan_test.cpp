#include "platform/faults/fault_plan.h"

#include <gtest/gtest.h>

namespace qb {

TEST(FaultPlan, FailsTheChosenChangeOnly) {
    FaultPlan plan;
    plan.FailChange(1);
    EXPECT_FALSE(plan.ShouldFail("registry.read-value", "k", false)); // reads are not counted
    EXPECT_FALSE(plan.ShouldFail("registry.write-value", "a", true));
    EXPECT_TRUE(plan.ShouldFail("registry.delete-value", "b", true));
    EXPECT_FALSE(plan.ShouldFail("files.copy", "c", true));
    EXPECT_EQ(plan.ChangesSeen(), 3);
    ASSERT_EQ(plan.Log().size(), 4u);
    EXPECT_TRUE(plan.Log()[2].failed);
    EXPECT_EQ(plan.Log()[2].subject, "b");
}

TEST(FaultPlan, FailsOperationsByNameOrRule) {
    FaultPlan plan;
    plan.FailOperation("files.copy");
    plan.FailWhen(
        [](const FaultPlan::Operation& op) { return op.subject.find("Disabled") != std::string::npos; });
    EXPECT_TRUE(plan.ShouldFail("files.copy", "x", true));
    EXPECT_TRUE(plan.ShouldFail("files.copy", "y", true));
    EXPECT_TRUE(plan.ShouldFail("registry.write-value", "RunDisabled\\x", true));
    EXPECT_FALSE(plan.ShouldFail("registry.write-value", "Run\\x", true));
    plan.Reset();
    EXPECT_FALSE(plan.ShouldFail("files.copy", "x", true));
}

} // namespace qb

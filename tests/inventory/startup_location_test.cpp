#include "inventory/startup_location.h"

#include <gtest/gtest.h>

namespace qb {

namespace {
constexpr auto HKLM = RegistryRoot::LocalMachine;
constexpr auto HKCU = RegistryRoot::CurrentUser;
const std::string CV = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
} // namespace

TEST(StartupLocation, TheTableHoldsTheFourteenPlacesInOrder) {
    const struct {
        const char* label;
        RegistryRoot hive;
        std::string key;
        std::string disabled;
        bool read;
        std::optional<TreeNode> node;
        bool offered;
    } expected[] = {
        {"All Users\\Registry\\Run", HKLM, CV + "Run", CV + "RunDisabled", true, TreeNode::AllUsersRun, true},
        {"Current User\\Registry\\Run", HKCU, CV + "Run", CV + "RunDisabled", true, TreeNode::CurrentUserRun,
         true},
        // The two Explorer Run rows pair their labels with the other user's hive.
        {"Current User\\Registry\\Explorer Run", HKLM, CV + "Policies\\Explorer\\Run",
         CV + "Policies\\Explorer\\RunDisabled", true, std::nullopt, false},
        {"All Users\\Registry\\Explorer Run", HKCU, CV + "Policies\\Explorer\\Run",
         CV + "Policies\\Explorer\\RunDisabled", true, std::nullopt, false},
        {"All Users\\Registry\\RunOnce", HKLM, CV + "RunOnce", CV + "RunOnceDisabled", true,
         TreeNode::AllUsersRunOnce, true},
        {"Current User\\Registry\\RunOnce", HKCU, CV + "RunOnce", CV + "RunOnceDisabled", true,
         TreeNode::CurrentUserRunOnce, true},
        {"All Users\\Registry\\RunOnce Ex", HKLM, CV + "RunOnceEx", CV + "RunOnceExDisabled", true,
         TreeNode::AllUsersRunOnceEx, true},
        {"Current User\\Registry\\RunOnce Ex", HKCU, CV + "RunOnceEx", CV + "RunOnceExDisabled", false,
         std::nullopt, false},
        {"All Users\\Registry\\Run Services Once", HKLM, CV + "RunServicesOnce",
         CV + "RunServicesOnceDisabled", true, TreeNode::AllUsersServicesOnce, true},
        {"Current User\\Registry\\Run Services Once", HKCU, CV + "RunServicesOnce",
         CV + "RunServicesOnceDisabled", false, std::nullopt, false},
        {"All Users\\Registry\\Run Services", HKLM, CV + "RunServices", CV + "RunServicesDisabled", true,
         TreeNode::AllUsersServices, true},
        {"Current User\\Registry\\Run Services", HKCU, CV + "RunServices", CV + "RunServicesDisabled", false,
         std::nullopt, false},
    };
    const auto table = StartupLocations();
    ASSERT_EQ(table.size(), 14u);
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const auto& e = expected[i];
        const auto& row = table[i];
        SCOPED_TRACE(e.label);
        EXPECT_EQ(row.label, e.label);
        EXPECT_EQ(row.kind, LocationKind::Registry);
        EXPECT_EQ(row.hive, e.hive);
        EXPECT_EQ(row.key, e.key);
        EXPECT_EQ(row.disabledKey, e.disabled);
        EXPECT_EQ(row.readAtLoad, e.read);
        EXPECT_EQ(row.treeNode, e.node);
        EXPECT_EQ(row.offeredInEditor, e.offered);
    }
    EXPECT_EQ(table[12].label, "All Users\\Startup Menu");
    EXPECT_EQ(table[12].hive, HKLM);
    EXPECT_EQ(table[12].shellFolderValue, "Common Startup");
    EXPECT_EQ(table[12].disabledFolder, "ShortCutAllUser");
    EXPECT_EQ(table[13].label, "Current User\\Startup Menu");
    EXPECT_EQ(table[13].hive, HKCU);
    EXPECT_EQ(table[13].shellFolderValue, "Startup");
    EXPECT_EQ(table[13].disabledFolder, "ShortCutCurrUser");
    for (std::size_t i = 12; i < 14; ++i) {
        EXPECT_EQ(table[i].kind, LocationKind::Folder);
        EXPECT_EQ(table[i].key, kShellFoldersKey);
        EXPECT_TRUE(table[i].offeredInEditor);
    }
}

TEST(StartupLocation, LabelsAreFoundExactlyAndCaseSensitively) {
    ASSERT_NE(FindLocation("All Users\\Registry\\Run"), nullptr);
    EXPECT_EQ(FindLocation("All Users\\Registry\\Run")->hive, HKLM);
    EXPECT_EQ(FindLocation("all users\\registry\\run"), nullptr);
    EXPECT_EQ(FindLocation("All Users\\Registry\\Run "), nullptr);
    EXPECT_EQ(FindLocation(""), nullptr);
    EXPECT_EQ(FindLocation("Current User\\Registry\\Explorer Run")->hive, HKLM);
}

TEST(StartupLocation, EachTreeNodeListsItsLocations) {
    const auto listed = [](TreeNode node) {
        std::vector<std::string> labels;
        for (const auto& location : StartupLocations()) {
            if (NodeListsLocation(node, location)) {
                labels.emplace_back(location.label);
            }
        }
        return labels;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(listed(TreeNode::AllPrograms).size(), 9u); // never the five rows without a node
    EXPECT_EQ(listed(TreeNode::AllUsers),
              (V{"All Users\\Registry\\Run", "All Users\\Registry\\RunOnce",
                 "All Users\\Registry\\RunOnce Ex", "All Users\\Registry\\Run Services Once",
                 "All Users\\Registry\\Run Services", "All Users\\Startup Menu"}));
    EXPECT_EQ(listed(TreeNode::AllUsersRegistry).size(), 5u);
    EXPECT_EQ(
        listed(TreeNode::CurrentUser),
        (V{"Current User\\Registry\\Run", "Current User\\Registry\\RunOnce", "Current User\\Startup Menu"}));
    EXPECT_EQ(listed(TreeNode::CurrentUserRegistry),
              (V{"Current User\\Registry\\Run", "Current User\\Registry\\RunOnce"}));
    EXPECT_EQ(listed(TreeNode::AllUsersServices), (V{"All Users\\Registry\\Run Services"}));
    EXPECT_EQ(listed(TreeNode::AllUsersServicesOnce), (V{"All Users\\Registry\\Run Services Once"}));
    EXPECT_EQ(listed(TreeNode::CurrentUserStartupMenu), (V{"Current User\\Startup Menu"}));
}

} // namespace qb

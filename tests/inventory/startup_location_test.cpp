#include "inventory/startup_location.h"
#include "platform/text.h"
#include "support/paths.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace qb {

namespace {
using namespace test::paths;
} // namespace

TEST(StartupLocation, TheTableHoldsTheFourteenPlacesInOrder) {
    const struct {
        const char* label;
        RegistryRoot hive;
        std::string key;
        std::string disabled;
        int read;
        const char* node; // the caption of the leaf that lists it
        int offered;
    } expected[] = {
        {"All Users\\Registry\\Run", HKLM, CV + "Run", CV + "RunDisabled", 1, "Run", 3},
        {"Current User\\Registry\\Run", HKCU, CV + "Run", CV + "RunDisabled", 10, "Run", 1},
        // The two Explorer Run rows pair their labels with the other user's hive.
        {"Current User\\Registry\\Explorer Run", HKLM, CV + "Policies\\Explorer\\Run",
         CV + "Policies\\Explorer\\RunDisabled", 3, "Policies Run", 0},
        {"All Users\\Registry\\Explorer Run", HKCU, CV + "Policies\\Explorer\\Run",
         CV + "Policies\\Explorer\\RunDisabled", 11, "Policies Run", 0},
        {"All Users\\Registry\\RunOnce", HKLM, CV + "RunOnce", CV + "RunOnceDisabled", 4, "RunOnce", 5},
        {"Current User\\Registry\\RunOnce", HKCU, CV + "RunOnce", CV + "RunOnceDisabled", 12, "RunOnce", 2},
        {"All Users\\Registry\\RunOnce Ex", HKLM, CV + "RunOnceEx", CV + "RunOnceExDisabled", 8, "RunOnceEx",
         7},
        {"Current User\\Registry\\RunOnce Ex", HKCU, CV + "RunOnceEx", CV + "RunOnceExDisabled", 15,
         "RunOnceEx", 0},
        {"All Users\\Registry\\Run Services Once", HKLM, CV + "RunServicesOnce",
         CV + "RunServicesOnceDisabled", 6, "ServicesOnce", 9},
        {"Current User\\Registry\\Run Services Once", HKCU, CV + "RunServicesOnce",
         CV + "RunServicesOnceDisabled", 13, "ServicesOnce", 0},
        {"All Users\\Registry\\Run Services", HKLM, CV + "RunServices", CV + "RunServicesDisabled", 7,
         "Services", 8},
        {"Current User\\Registry\\Run Services", HKCU, CV + "RunServices", CV + "RunServicesDisabled", 14,
         "Services", 0},
    };
    const auto table = StartupLocations();
    ASSERT_EQ(table.size(), 16u);
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const auto& e = expected[i];
        const auto& row = table[i];
        SCOPED_TRACE(e.label);
        EXPECT_EQ(row.label, e.label);
        EXPECT_EQ(row.kind, LocationKind::Registry);
        EXPECT_EQ(row.hive, e.hive);
        EXPECT_EQ(row.key, e.key);
        EXPECT_EQ(DisabledKey(row), e.disabled);
        EXPECT_EQ(LoadStep(row), e.read);
        if (e.node == nullptr) {
            EXPECT_EQ(TreeNodeOf(row), nullptr);
        } else {
            ASSERT_NE(TreeNodeOf(row), nullptr);
            EXPECT_EQ(TreeNodeOf(row)->caption, e.node);
        }
        EXPECT_EQ(EditorPosition(row), e.offered);
    }
    // The 32-bit view's two places: the machine's Run and RunOnce keys as 32-bit programs see them.
    for (std::size_t i = 14; i < 16; ++i) {
        EXPECT_EQ(table[i].view, RegistryView::Wow32);
        EXPECT_EQ(table[i].hive, HKLM);
    }
    EXPECT_EQ(table[14].label, "All Users\\Registry\\Run (32-bit)");
    EXPECT_EQ(table[14].key, CV + "Run");
    EXPECT_EQ(DisabledKey(table[14]), CV + "RunDisabled");
    EXPECT_EQ(table[14].approvedKey, "Run32");
    EXPECT_EQ(table[15].label, "All Users\\Registry\\RunOnce (32-bit)");
    EXPECT_EQ(table[15].key, CV + "RunOnce");
    EXPECT_EQ(DisabledKey(table[15]), CV + "RunOnceDisabled");
    EXPECT_EQ(table[15].approvedKey, "");
    // Windows' own switches: Run keys and startup folders only.
    EXPECT_EQ(table[0].approvedKey, "Run");
    EXPECT_EQ(table[1].approvedKey, "Run");
    EXPECT_EQ(table[12].approvedKey, "StartupFolder");
    EXPECT_EQ(table[13].approvedKey, "StartupFolder");
    for (std::size_t i = 2; i < 12; ++i) {
        EXPECT_EQ(table[i].approvedKey, "") << table[i].label;
    }
    EXPECT_EQ(table[12].label, "All Users\\Startup Menu");
    EXPECT_EQ(table[12].hive, HKLM);
    EXPECT_EQ(table[12].disabledFolder, "ShortCutAllUser");
    EXPECT_EQ(table[13].label, "Current User\\Startup Menu");
    EXPECT_EQ(table[13].hive, HKCU);
    EXPECT_EQ(table[13].disabledFolder, "ShortCutCurrUser");
    for (std::size_t i = 12; i < 14; ++i) {
        EXPECT_EQ(table[i].kind, LocationKind::Folder);
        EXPECT_EQ(table[i].key, "");
        EXPECT_NE(EditorPosition(table[i]), 0);
    }
}

// The window names the two policy keys for their hives; their labels stay what files and scripts hold.
TEST(StartupLocation, PolicyKeysAreShownForTheirHiveAndFoundByEitherName) {
    const struct {
        std::string_view label;
        std::string_view shown;
        RegistryRoot hive;
    } cases[] = {
        {"Current User\\Registry\\Explorer Run", "All Users\\Registry\\Policies Run", HKLM},
        {"All Users\\Registry\\Explorer Run", "Current User\\Registry\\Policies Run", HKCU},
        {"All Users\\Registry\\Run", "All Users\\Registry\\Run", HKLM},
        {"Current User\\Registry\\Run Services", "Current User\\Registry\\Run Services", HKCU},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ShownLocation(c.label), c.shown);
        const StartupLocation* byShown = FindLocationAsWritten(UpperCase(c.shown));
        ASSERT_NE(byShown, nullptr);
        EXPECT_EQ(byShown->label, c.label);
        EXPECT_EQ(byShown->hive, c.hive);
        EXPECT_EQ(FindLocationAsWritten(c.label), FindLocation(c.label));
    }
    EXPECT_EQ(FindLocation("All Users\\Registry\\Policies Run"), nullptr); // never stored under that name
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
    const auto listed = [](std::string_view node) {
        std::vector<std::string> labels;
        for (const auto& location : StartupLocations()) {
            if (NodeListsLocation(node, location)) {
                labels.emplace_back(location.label);
            }
        }
        return labels;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(listed(kAllProgramsNode).size(), StartupLocations().size()); // every place the tool holds
    // Each user's group lists the places of its own hive, whatever the label of a policy key says.
    EXPECT_EQ(
        listed("All Users"),
        (V{"All Users\\Registry\\Run", "Current User\\Registry\\Explorer Run", "All Users\\Registry\\RunOnce",
           "All Users\\Registry\\RunOnce Ex", "All Users\\Registry\\Run Services Once",
           "All Users\\Registry\\Run Services", "All Users\\Startup Menu",
           "All Users\\Registry\\Run (32-bit)", "All Users\\Registry\\RunOnce (32-bit)"}));
    EXPECT_EQ(listed("All Users\\Registry").size(), 8u);
    EXPECT_EQ(listed("All Users\\Registry\\Run (32-bit)"), (V{"All Users\\Registry\\Run (32-bit)"}));
    EXPECT_EQ(listed("All Users\\Registry\\RunOnce (32-bit)"), (V{"All Users\\Registry\\RunOnce (32-bit)"}));
    const V userKeys{"Current User\\Registry\\Run",
                     "All Users\\Registry\\Explorer Run",
                     "Current User\\Registry\\RunOnce",
                     "Current User\\Registry\\RunOnce Ex",
                     "Current User\\Registry\\Run Services Once",
                     "Current User\\Registry\\Run Services"};
    V user = userKeys;
    user.emplace_back("Current User\\Startup Menu");
    EXPECT_EQ(listed("Current User"), user);
    EXPECT_EQ(listed("Current User\\Registry"), userKeys);
    EXPECT_EQ(listed("All Users\\Registry\\Run Services"), (V{"All Users\\Registry\\Run Services"}));
    EXPECT_EQ(listed("All Users\\Registry\\Run Services Once"),
              (V{"All Users\\Registry\\Run Services Once"}));
    EXPECT_EQ(listed("Current User\\Startup Menu"), (V{"Current User\\Startup Menu"}));
}

TEST(StartupLocation, TheLoadReadsThePlacesInItsOwnOrder) {
    std::vector<std::string_view> order;
    for (const StartupLocation* row : LoadOrder()) {
        order.push_back(row->label);
    }
    // Each 32-bit place right after its native counterpart.
    EXPECT_EQ(order, (std::vector<std::string_view>{
                         "All Users\\Registry\\Run", "All Users\\Registry\\Run (32-bit)",
                         "Current User\\Registry\\Explorer Run", "All Users\\Registry\\RunOnce",
                         "All Users\\Registry\\RunOnce (32-bit)", "All Users\\Registry\\Run Services Once",
                         "All Users\\Registry\\Run Services", "All Users\\Registry\\RunOnce Ex",
                         "All Users\\Startup Menu", "Current User\\Registry\\Run",
                         "All Users\\Registry\\Explorer Run", "Current User\\Registry\\RunOnce",
                         "Current User\\Registry\\Run Services Once", "Current User\\Registry\\Run Services",
                         "Current User\\Registry\\RunOnce Ex", "Current User\\Startup Menu"}));
}

TEST(StartupLocation, TheEditorOffersItsPlacesInPickListOrder) {
    EXPECT_EQ(EditorLocations(), (std::vector<std::string_view>{
                                     "Current User\\Registry\\Run", "Current User\\Registry\\RunOnce",
                                     "All Users\\Registry\\Run", "All Users\\Registry\\Run (32-bit)",
                                     "All Users\\Registry\\RunOnce", "All Users\\Registry\\RunOnce (32-bit)",
                                     "All Users\\Registry\\RunOnce Ex", "All Users\\Registry\\Run Services",
                                     "All Users\\Registry\\Run Services Once", "Current User\\Startup Menu",
                                     "All Users\\Startup Menu"}));
}

TEST(StartupLocation, ThirtyTwoBitPlacesExistOnSixtyFourBitWindowsOnly) {
    const StartupLocation& native = *FindLocation("All Users\\Registry\\Run");
    const StartupLocation& wow = *FindLocation("All Users\\Registry\\Run (32-bit)");
    EXPECT_TRUE(PlaceExists(native, OsVersion{PlatformFamily::NT, 10, 0, false}));
    EXPECT_TRUE(PlaceExists(wow, OsVersion{PlatformFamily::NT, 10, 0, true}));
    EXPECT_FALSE(PlaceExists(wow, OsVersion{PlatformFamily::NT, 10, 0, false}));

    // What a 32-bit system lacks is neither offered by the editor nor shown in the tree.
    const OsVersion x86{PlatformFamily::NT, 10, 0, false};
    std::vector<std::string_view> offered = EditorLocations();
    std::erase(offered, "All Users\\Registry\\Run (32-bit)");
    std::erase(offered, "All Users\\Registry\\RunOnce (32-bit)");
    EXPECT_EQ(EditorLocations(x86), offered);
    EXPECT_EQ(EditorLocations(OsVersion{PlatformFamily::NT, 10, 0, true}), EditorLocations());
    for (const TreeNodeInfo& info : TreeNodes()) {
        const bool thirtyTwoBit = info.caption == "Run (32-bit)" || info.caption == "RunOnce (32-bit)";
        EXPECT_EQ(NodeShown(info.name, x86), !thirtyTwoBit) << info.caption;
        EXPECT_TRUE(NodeShown(info.name, OsVersion{PlatformFamily::NT, 10, 0, true})) << info.caption;
    }
}

TEST(StartupLocation, EveryLeafOfTheTreeListsOnePlaceAndEveryListedPlaceHasALeaf) {
    for (const TreeNodeInfo& info : TreeNodes()) {
        SCOPED_TRACE(std::string(info.caption));
        int listed = 0;
        for (const auto& location : StartupLocations()) {
            listed += TreeNodeOf(location) == &info ? 1 : 0;
        }
        const bool leaf = std::none_of(TreeNodes().begin(), TreeNodes().end(),
                                       [&](const TreeNodeInfo& other) { return other.parent == info.name; });
        EXPECT_EQ(listed, leaf ? 1 : 0);
    }
}

TEST(StartupLocation, EachNodeStandsForItsPlacesKindOrItsGroup) {
    const struct {
        std::string_view name;
        NodeKind kind;
    } expected[] = {
        {kAllProgramsNode, NodeKind::Everything},
        {"All Users", NodeKind::UsersGroup},
        {"Current User", NodeKind::UserGroup},
        {"All Users\\Registry", NodeKind::KeysGroup},
        {"Current User\\Registry", NodeKind::KeysGroup},
        {"All Users\\Registry\\Run (32-bit)", NodeKind::RegistryKey},
        {"Current User\\Registry\\RunOnce", NodeKind::RegistryKey},
        {"All Users\\Startup Menu", NodeKind::Folder},
        {"Current User\\Startup Menu", NodeKind::Folder},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(std::string(e.name));
        const auto node = std::find_if(TreeNodes().begin(), TreeNodes().end(),
                                       [&](const TreeNodeInfo& info) { return info.name == e.name; });
        ASSERT_NE(node, TreeNodes().end());
        EXPECT_EQ(node->kind, e.kind);
    }
}

TEST(StartupLocation, EveryPlaceTheUserCanSeeOrPickIsReadByTheLoad) {
    // A place shown or offered but never read would swallow what the user adds there at the next load.
    for (const StartupLocation& row : StartupLocations()) {
        SCOPED_TRACE(std::string(row.label));
        if (TreeNodeOf(row) != nullptr || EditorPosition(row) != 0) {
            EXPECT_NE(LoadStep(row), 0);
        }
    }
}

// Only RunOnceEx keeps its commands in sections; its commands' analysis looks past the section's forms.
TEST(StartupLocation, OnlyTheRunOnceExPlacesKeepSections) {
    for (const StartupLocation& row : StartupLocations()) {
        SCOPED_TRACE(row.label);
        const bool ex = row.label == "All Users\\Registry\\RunOnce Ex" ||
                        row.label == "Current User\\Registry\\RunOnce Ex";
        EXPECT_EQ(row.sections, ex);
        EXPECT_EQ(AnalysedCommand(row.label, "||C:\\a.exe /x"), ex ? "C:\\a.exe /x" : "||C:\\a.exe /x");
    }
    EXPECT_EQ(AnalysedCommand("No\\Such\\Place", "||C:\\a.exe"), "||C:\\a.exe");
}

} // namespace qb

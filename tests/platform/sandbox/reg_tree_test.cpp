#include "platform/sandbox/reg_tree.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace qb::sandbox {
namespace {

std::vector<std::string> ValueNames(const RegNode& node) {
    std::vector<std::string> names;
    for (const auto& [name, value] : node.Values()) {
        names.push_back(name);
    }
    return names;
}

std::vector<std::string> SubkeyNames(const RegNode& node) {
    std::vector<std::string> names;
    for (const RegNode* child : node.Subkeys()) {
        names.push_back(child->Name());
    }
    return names;
}

TEST(RegNode, ValuesKeepInsertionOrderAndReplaceInPlace) {
    RegNode key("Run");
    key.SetValue("zeta", RegistryValue::String("1"));
    key.SetValue("Alpha", RegistryValue::String("2"));
    key.SetValue("", RegistryValue::String("default"));
    key.SetValue("ALPHA", RegistryValue::Dword(7));

    EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"zeta", "Alpha", ""}));
    ASSERT_NE(key.FindValue("alpha"), nullptr);
    EXPECT_EQ(*key.FindValue("alpha"), RegistryValue::Dword(7));
    EXPECT_EQ(key.FindValue("beta"), nullptr);

    EXPECT_TRUE(key.RemoveValue("ZETA"));
    EXPECT_FALSE(key.RemoveValue("zeta"));
    key.SetValue("Zeta", RegistryValue::String("back"));
    EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"Alpha", "", "Zeta"}));
}

TEST(RegNode, LatinOneLettersMatchWithoutCase) {
    RegNode key;
    key.SetValue("\xC3\xA4rger", RegistryValue::String("x"));
    EXPECT_NE(key.FindValue("\xC3\x84RGER"), nullptr);
    key.CreatePath("\xC3\xBC");
    EXPECT_NE(key.FindSubkey("\xC3\x9C"), nullptr);
}

TEST(RegNode, ManyRemovalsKeepOrderAndLookups) {
    RegNode key;
    for (int i = 0; i < 1000; ++i) {
        key.SetValue("v" + std::to_string(i), RegistryValue::Dword(static_cast<std::uint32_t>(i)));
    }
    // Two in three go, so the removed outnumber the kept and the key compacts on the way.
    for (int i = 0; i < 1000; ++i) {
        if (i % 3 != 1) {
            ASSERT_TRUE(key.RemoveValue("V" + std::to_string(i)));
        }
    }
    std::vector<std::string> expected;
    for (int i = 0; i < 1000; ++i) {
        if (i % 3 == 1) {
            expected.push_back("v" + std::to_string(i));
        }
    }
    EXPECT_EQ(ValueNames(key), expected);
    EXPECT_EQ(key.ValueCount(), expected.size());
    for (int i = 0; i < 1000; ++i) {
        const RegistryValue* value = key.FindValue("v" + std::to_string(i));
        if (i % 3 != 1) {
            EXPECT_EQ(value, nullptr) << i;
        } else {
            ASSERT_NE(value, nullptr) << i;
            EXPECT_EQ(value->AsDword(), static_cast<std::uint32_t>(i));
        }
    }
}

TEST(RegNode, SubkeysSortWithoutCaseAndKeepSpelling) {
    RegNode root;
    for (const char* name : {"beta", "Alpha", "gamma", "ALPHA", "_x", "Beta2"}) {
        root.CreatePath(name);
    }
    EXPECT_EQ(SubkeyNames(root), (std::vector<std::string>{"Alpha", "beta", "Beta2", "gamma", "_x"}));
    ASSERT_NE(root.FindSubkey("GAMMA"), nullptr);
    EXPECT_EQ(root.FindSubkey("GAMMA")->Name(), "gamma");
}

TEST(RegNode, PathsTolerateStrayBackslashes) {
    RegNode root;
    RegNode& leaf = root.CreatePath("Software\\Vendor\\App");
    struct Case {
        const char* path;
        const RegNode* expected;
    };
    const Case cases[] = {
        {"", &root},
        {"\\", &root},
        {"software\\VENDOR\\app", &leaf},
        {"\\Software\\Vendor\\App", &leaf},
        {"Software\\\\Vendor\\App\\", &leaf},
        {"Software\\Vendor\\Missing", nullptr},
        {"Software\\Vendor\\App\\Deeper", nullptr},
        {"Software\\Vendor\\Ap", nullptr},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(root.FindPath(row.path), row.expected);
    }
    EXPECT_EQ(&root.CreatePath("SOFTWARE\\vendor\\APP"), &leaf);
    EXPECT_EQ(root.FindPath("Software")->Name(), "Software");
}

TEST(RegNode, RemovePathTakesTheSubtree) {
    RegNode root;
    root.CreatePath("a\\b\\c").SetValue("v", RegistryValue::String("x"));
    root.CreatePath("a\\b2");
    EXPECT_FALSE(root.RemovePath(""));
    EXPECT_FALSE(root.RemovePath("a\\missing"));
    EXPECT_TRUE(root.RemovePath("A\\B\\"));
    EXPECT_EQ(root.FindPath("a\\b\\c"), nullptr);
    EXPECT_NE(root.FindPath("a\\b2"), nullptr);
    EXPECT_TRUE(root.RemoveSubkey("A"));
    EXPECT_EQ(root.SubkeyCount(), 0u);
}

TEST(RegNode, CloneIsDeepAndEqual) {
    RegNode root;
    root.CreatePath("a\\b").SetValue("v", RegistryValue::Qword(1));
    root.SetValue("w", RegistryValue::String("x"));
    RegNode copy = root.Clone();
    EXPECT_EQ(copy, root);
    copy.FindPath("a\\b")->SetValue("v", RegistryValue::Qword(2));
    EXPECT_FALSE(copy == root);
    EXPECT_EQ(root.FindPath("a\\b")->FindValue("v")->AsQword(), 1u);
}

TEST(RegNode, EqualityNoticesOrderAndSpelling) {
    RegNode a;
    a.SetValue("x", RegistryValue::String("1"));
    a.SetValue("y", RegistryValue::String("2"));
    RegNode reordered;
    reordered.SetValue("y", RegistryValue::String("2"));
    reordered.SetValue("x", RegistryValue::String("1"));
    RegNode respelled;
    respelled.SetValue("X", RegistryValue::String("1"));
    respelled.SetValue("y", RegistryValue::String("2"));
    EXPECT_FALSE(a == reordered);
    EXPECT_FALSE(a == respelled);
}

} // namespace
} // namespace qb::sandbox

#include "baseline/entry_differences.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

constexpr const char* kRun = "Current User\\Registry\\Run";
constexpr const char* kAllRun = "All Users\\Registry\\Run";
constexpr const char* kMenu = "Current User\\Startup Menu";

SavedEntry E(const char* name, const char* command, const char* location = kRun,
             ItemState state = ItemState::Enabled, const char* arguments = "") {
    return {name, command, location, arguments, state};
}

// "name@location command state", one per entry, "a -> b" for a change.
std::string Text(const SavedEntry& e) {
    return e.name + "@" + e.location + " " + e.command + (e.arguments.empty() ? "" : " [" + e.arguments + "]") +
           (e.state == ItemState::Enabled ? " on" : " off");
}

std::vector<std::string> Lines(const EntryDifferences& d) {
    std::vector<std::string> out;
    for (const auto& e : d.added) {
        out.push_back("+ " + Text(e));
    }
    for (const auto& e : d.removed) {
        out.push_back("- " + Text(e));
    }
    for (const auto& c : d.changed) {
        out.push_back("~ " + Text(c.before) + " -> " + Text(c.now));
    }
    return out;
}

TEST(CompareEntries, PairsEntriesByPlaceAndNameAsWindowsComparesThem) {
    const auto off = ItemState::Disabled;
    const struct {
        const char* what;
        std::vector<SavedEntry> before, now;
        std::vector<std::string> expected;
    } cases[] = {
        {"a name in other letters is the same entry", {E("Gamma", "C:\\g.exe")}, {E("GAMMA", "C:\\g.exe")}, {}},
        {"empty data and a blank are one command", {E("Blank", "")}, {E("Blank", " ")}, {}},
        {"the same name in another place is another entry",
         {E("Tool", "C:\\t.exe", kRun)},
         {E("Tool", "C:\\t.exe", kAllRun)},
         {"+ Tool@All Users\\Registry\\Run C:\\t.exe on", "- Tool@Current User\\Registry\\Run C:\\t.exe on"}},
        {"a second copy that went is removed, not a change of the first",
         {E("Twin", "C:\\t.exe", kRun), E("Twin", "C:\\t.exe", kRun, off)},
         {E("Twin", "C:\\t.exe", kRun, off)},
         {"- Twin@Current User\\Registry\\Run C:\\t.exe on"}},
        {"state, command and a shortcut's arguments each make a change",
         {E("A", "C:\\a.exe"), E("B", "C:\\b.exe"), E("Link", "C:\\l.exe", kMenu, ItemState::Enabled, "-x")},
         {E("A", "C:\\a.exe", kRun, off), E("B", "C:\\b2.exe"),
          E("Link", "C:\\l.exe", kMenu, ItemState::Enabled, "-y")},
         {"~ A@Current User\\Registry\\Run C:\\a.exe on -> A@Current User\\Registry\\Run C:\\a.exe off",
          "~ B@Current User\\Registry\\Run C:\\b.exe on -> B@Current User\\Registry\\Run C:\\b2.exe on",
          "~ Link@Current User\\Startup Menu C:\\l.exe [-x] on -> Link@Current User\\Startup Menu C:\\l.exe [-y] on"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const EntryDifferences d = CompareEntries(c.before, c.now);
        EXPECT_EQ(Lines(d), c.expected);
        EXPECT_EQ(d.empty(), c.expected.empty());
    }
}

} // namespace
} // namespace qb

#include "app/column_widths.h"
#include "app/window_settings.h"
#include "support/sandbox_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;

TEST(ShareWidth, EveryoneFitsOrTheWideColumnsShareWhatIsLeft) {
    const struct {
        int available;
        std::vector<int> wanted;
        std::vector<int> expected;
    } cases[] = {
        {600, {100, 200, 150}, {100, 350, 150}}, // all fit: the command takes the rest
        {450, {100, 200, 150}, {100, 200, 150}}, // exactly
        {400, {100, 400, 150}, {100, 150, 150}}, // the command gives way first
        {600, {180, 900, 240}, {180, 200, 220}}, // down to a third; name and place share the rest
        {300, {100, 400, 500}, {100, 100, 100}}, // even shares once nobody fits
        {240, {50, 400, 500}, {60, 80, 100}},    // minimum 60
        {100, {300, 300, 300}, {60, 60, 60}},    // minimums may overrun a tiny list
        {0, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.available);
        EXPECT_EQ(ShareWidth(c.available, c.wanted, 60, 1), c.expected);
    }
}

TEST(NumberList, ReadsOnlyWhatMakesSense) {
    const struct {
        const char* text;
        std::size_t most;
        bool negative;
        std::optional<std::vector<int>> expected;
    } cases[] = {
        {"161,617", 2, false, std::vector<int>{161, 617}},
        {"-1920,0,800,600,1", 5, true, std::vector<int>{-1920, 0, 800, 600, 1}},
        {"-5,3", 2, false, std::nullopt},
        {"1,2,3", 2, false, std::nullopt},
        {"1,,2", 3, false, std::nullopt},
        {"1,2,", 3, false, std::nullopt},
        {"12a", 1, false, std::nullopt},
        {"", 1, false, std::nullopt},
        {"999999999999", 1, false, std::nullopt},
        {"100001", 1, false, std::nullopt},
        {" 5", 1, false, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseNumberList(c.text, c.most, c.negative), c.expected);
    }
    EXPECT_EQ(NumberListText({-3, 0, 42}), "-3,0,42");
}

TEST(WindowSettings, ComeBackAsWrittenAndIgnoreWhatDoesNotParse) {
    test::SandboxRoot root;
    Registry& registry = root.Services().registry;
    EXPECT_EQ(ReadWindowSettings(registry), WindowSettings{});

    WindowSettings settings;
    settings.placement = WindowSettings::Placement{-1200, 30, 1066, 666, true};
    settings.sideSplitter = {200, 866};
    settings.listSplitter = {300, 280};
    settings.columns = {150, 400, 200, 90, 70};
    settings.hiddenColumns = {"Location", "Publisher"}; // a column of a later version is kept too
    ASSERT_TRUE(WriteWindowSettings(registry, settings));
    EXPECT_EQ(ReadWindowSettings(registry), settings);

    // Every column shown again: nothing is kept.
    settings.hiddenColumns.clear();
    ASSERT_TRUE(WriteWindowSettings(registry, settings));
    EXPECT_EQ(ReadWindowSettings(registry).hiddenColumns, std::vector<std::string>{});

    // Without columns chosen by the user, none are kept (the list fits its content again).
    settings.columns.clear();
    ASSERT_TRUE(WriteWindowSettings(registry, settings));
    EXPECT_EQ(ReadWindowSettings(registry).columns, std::vector<int>{});

    const std::string key(kWindowSettingsKey);
    root.Value(RegistryRoot::CurrentUser, key, "Placement", "10,10,0,600,0")
        .Value(RegistryRoot::CurrentUser, key, "SideSplitter", "0,800")
        .Value(RegistryRoot::CurrentUser, key, "ListSplitter", RegistryValue::Dword(7))
        .Value(RegistryRoot::CurrentUser, key, "Columns", "1,2,3,4,5,6,7")
        .Value(RegistryRoot::CurrentUser, key, "HiddenColumns", RegistryValue::Dword(3));
    EXPECT_EQ(ReadWindowSettings(registry), WindowSettings{});
    // Only names come back from a list typed by hand, each once.
    root.Value(RegistryRoot::CurrentUser, key, "HiddenColumns", "Memory,,..\\x,Location,Memory, Rating");
    EXPECT_EQ(ReadWindowSettings(registry).hiddenColumns, (std::vector<std::string>{"Memory", "Location"}));
}

} // namespace qb

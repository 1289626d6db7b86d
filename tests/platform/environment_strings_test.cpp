#include "platform/environment_strings.h"

#include <gtest/gtest.h>

namespace qb {

namespace {

EnvironmentTable Table() {
    EnvironmentTable table;
    table.Set("windir", "C:\\WINDOWS");
    table.Set("ProgramFiles(x86)", "C:\\Program Files (x86)");
    table.Set("Tool", "tool");
    table.Set("Percent", "%Tool%"); // a value holding a reference of its own
    return table;
}

} // namespace

TEST(EnvironmentStrings, ReferencesExpandAsExpandEnvironmentStringsDoes) {
    const struct {
        const char* text;
        const char* expanded;
    } cases[] = {
        {"%windir%\\system32\\SecurityHealthSystray.exe", "C:\\WINDOWS\\system32\\SecurityHealthSystray.exe"},
        {"%WINDIR%\\notepad.exe", "C:\\WINDOWS\\notepad.exe"}, // names match without regard to case
        {"%WinDir%", "C:\\WINDOWS"},
        {"\"%ProgramFiles(x86)%\\App\\app.exe\" /min", "\"C:\\Program Files (x86)\\App\\app.exe\" /min"},
        {"%windir%\\%Tool%.exe %Tool%", "C:\\WINDOWS\\tool.exe tool"}, // several references
        {"%Tool%%Tool%", "tooltool"},                                  // side by side
        {"%Unset%\\app.exe", "%Unset%\\app.exe"},                      // not set: stays as written
        {"%Unset%windir%", "%Unset%windir%"}, // the closing "%" of an unset one opens nothing
        {"%Unset%%windir%", "%Unset%C:\\WINDOWS"},
        {"%%", "%%"},
        {"100%% %Tool%", "100%% tool"},
        {"%windir", "%windir"}, // nothing closes it
        {"%windir%\\x %Tool", "C:\\WINDOWS\\x %Tool"},
        {"50%", "50%"},
        {"%", "%"},
        {"%Percent%", "%Tool%"},    // a value is not expanded again
        {"% windir%", "% windir%"}, // the blank is part of the name
        {"C:\\Apps\\plain.exe /x", "C:\\Apps\\plain.exe /x"},
        {"", ""},
    };
    const EnvironmentTable table = Table();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(table.Expand(c.text), c.expanded);
    }
}

TEST(EnvironmentStrings, SettingAnEmptyValueUnsetsTheVariableWhateverItsCase) {
    EnvironmentTable table = Table();
    table.Set("TOOL", "other"); // one variable, set again in another case
    EXPECT_EQ(table.Expand("%tool%"), "other");
    table.Set("tOOl", "");
    EXPECT_EQ(table.Find("Tool"), std::nullopt);
    EXPECT_EQ(table.Expand("%Tool%\\x"), "%Tool%\\x");
    EXPECT_EQ(table.Find("WINDIR"), "C:\\WINDOWS"); // the others stay
}

TEST(EnvironmentStrings, OnlyNonEmptyNamesAreLookedUp) {
    std::vector<std::string> asked;
    const auto lookup = [&](std::string_view name) -> std::optional<std::string> {
        asked.emplace_back(name);
        return std::nullopt;
    };
    EXPECT_EQ(ExpandEnvironmentReferences("%%a%b%", lookup), "%%a%b%");
    EXPECT_EQ(asked, std::vector<std::string>{"b"}); // "%%" holds no name; "a" stands outside any pair
}

} // namespace qb

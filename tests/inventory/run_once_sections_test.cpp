// RunOnceEx keeps its commands in sections: the load lists what Windows would run from them, under names
// that say the section, and nothing that is no command.
#include "inventory/run_once_sections.h"
#include "inventory/startup_scan.h"
#include "support/paths.h"
#include "support/sandbox_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

using namespace test::paths;

class NoRatings : public RatingSource {
public:
    Rating LookupRating(std::string_view name, std::string_view command) override {
        asked.push_back(std::string(name) + "|" + std::string(command));
        return Rating::Unknown;
    }
    std::vector<std::string> asked;
};

class NoIcons : public IconSink {
public:
    void Clear() override {}
    std::int32_t Add(const ProgramIcon&) override { return 0; }
};

struct Loaded {
    Inventory inventory;
    NoRatings ratings;
    NoIcons icons;
};

std::unique_ptr<Loaded> Load(test::SandboxRoot& root, LoadAccess access = LoadAccess::MayTidy) {
    auto loaded = std::make_unique<Loaded>();
    LoadInventory(loaded->inventory, root.Services(), loaded->ratings, loaded->icons, access);
    return loaded;
}

// "name +/- @ location : command", with "[Invalid Path]" in front of a command whose target was not found.
std::vector<std::string> Rows(const Inventory& inventory) {
    std::vector<std::string> rows;
    for (const auto& item : inventory.Items) {
        rows.push_back(item->Name.str() + (item->State == ItemState::Enabled ? " +" : " -") + " @ " +
                       item->Location.str() + " : " + (item->PathValid ? "" : "[Invalid Path]") +
                       item->Command.str());
    }
    return rows;
}

} // namespace

// One value at a time, each in a root of its own: where it is decides whether it is an entry, and under
// which name.
TEST(RunOnceExSections, EachSectionCommandIsListedAndNothingElseOfTheKey) {
    const std::string ex = CV + "RunOnceEx";
    const std::string twin = CV + "RunOnceExDisabled";
    const struct {
        const char* what;
        RegistryRoot hive;
        std::string key;
        std::string name;
        RegistryValue value;
        std::vector<std::string> rows;
    } cases[] = {
        {"a section's command line",
         HKLM,
         ex + "\\0001",
         "Setup",
         RegistryValue::String("C:\\Apps\\app.exe /s"),
         {"0001\\Setup + @ " + kLmOnceEx + " : C:\\Apps\\app.exe /s"}},
        {"a section's command after two pipes",
         HKLM,
         ex + "\\0001",
         "Run",
         RegistryValue::String("||C:\\Apps\\app.exe /r"),
         {"0001\\Run + @ " + kLmOnceEx + " : ||C:\\Apps\\app.exe /r"}},
        {"a DLL's function",
         HKLM,
         ex + "\\Fonts",
         "Register",
         RegistryValue::String("C:\\Apps\\helper.dll|DllRegisterServer|"),
         {"Fonts\\Register + @ " + kLmOnceEx + " : C:\\Apps\\helper.dll|DllRegisterServer|"}},
        {"an expandable command",
         HKLM,
         ex + "\\0001",
         "Expand",
         RegistryValue::ExpandString("||%SystemRoot%\\notepad.exe"),
         {"0001\\Expand + @ " + kLmOnceEx + " : ||%SystemRoot%\\notepad.exe"}},
        {"a command with empty data",
         HKLM,
         ex + "\\0001",
         "Empty",
         RegistryValue::String(""),
         {"0001\\Empty + @ " + kLmOnceEx + " : [Invalid Path] "}},
        {"a value whose name holds a backslash, in a section",
         HKLM,
         ex + "\\0001",
         "a\\b",
         RegistryValue::String("C:\\Apps\\app.exe"),
         {"0001\\a\\b + @ " + kLmOnceEx + " : C:\\Apps\\app.exe"}},
        {"the user's own section",
         HKCU,
         ex + "\\0001",
         "Mine",
         RegistryValue::String("C:\\Apps\\app.exe"),
         {"0001\\Mine + @ " + kCuOnceEx + " : C:\\Apps\\app.exe"}},
        {"a disabled section's command",
         HKLM,
         twin + "\\0002",
         "Off",
         RegistryValue::String("C:\\Apps\\app.exe"),
         {"0002\\Off - @ " + kLmOnceEx + " : C:\\Apps\\app.exe"}},
        {"the user's disabled section",
         HKCU,
         twin + "\\0002",
         "Off",
         RegistryValue::String("C:\\Apps\\app.exe"),
         {"0002\\Off - @ " + kCuOnceEx + " : C:\\Apps\\app.exe"}},
        // As before: a value directly in the key is listed under its own name, enabled or disabled.
        {"a value directly in the key",
         HKLM,
         ex,
         "Legacy",
         RegistryValue::String("C:\\Apps\\app.exe"),
         {"Legacy + @ " + kLmOnceEx + " : C:\\Apps\\app.exe"}},
        {"a value directly in the twin",
         HKCU,
         twin,
         "Legacy",
         RegistryValue::String("C:\\Apps\\app.exe"),
         {"Legacy - @ " + kCuOnceEx + " : C:\\Apps\\app.exe"}},
        // Not commands.
        {"a section's title", HKLM, ex + "\\0001", "", RegistryValue::String("Installing the fonts"), {}},
        {"a disabled section's title", HKLM, twin + "\\0001", "", RegistryValue::String("Installing"), {}},
        {"the key's title", HKLM, ex, "Title", RegistryValue::String("Finishing the setup"), {}},
        {"the key's title, in other letters", HKCU, ex, "TITLE", RegistryValue::String("Finishing"), {}},
        {"the key's flags", HKLM, ex, "Flags", RegistryValue::Dword(0x14), {}},
        {"flags written as text", HKLM, ex, "flags", RegistryValue::String("20"), {}},
        {"the DLLs to keep loaded",
         HKLM,
         ex + "\\Depend",
         "0001",
         RegistryValue::String("C:\\Apps\\helper.dll"),
         {}},
        {"a subkey of a section",
         HKLM,
         ex + "\\0001\\Deeper",
         "Setup",
         RegistryValue::String("C:\\Apps\\app.exe"),
         {}},
        {"a number in a section", HKLM, ex + "\\0001", "Count", RegistryValue::Dword(3), {}},
        {"a value directly in the key whose name holds a backslash",
         HKLM,
         ex,
         "a\\b",
         RegistryValue::String("C:\\Apps\\app.exe"),
         {}},
        // Other run keys keep no sections: their subkeys stay unread.
        {"a subkey of RunOnce",
         HKLM,
         CV + "RunOnce\\0001",
         "Setup",
         RegistryValue::String("C:\\Apps\\app.exe"),
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::SandboxRoot root;
        root.File("C:\\Apps\\app.exe").File("C:\\Apps\\helper.dll").File("C:\\WINDOWS\\notepad.exe");
        root.Value(c.hive, c.key, c.name, c.value);
        const auto loaded = Load(root);
        EXPECT_THAT(Rows(loaded->inventory), ElementsAreArray(c.rows));
        for (const auto& item : loaded->inventory.Items) {
            EXPECT_EQ(item->SystemName, item->Name.str()); // changes find it under the name it is listed by
        }
    }
}

// Windows runs the sections in the order of their names, and each section's commands in the order of
// theirs, whatever order they were stored in; enabled entries come first, values directly in the key first.
TEST(RunOnceExSections, SectionsAndTheirCommandsAreListedInTheOrderWindowsRunsThem) {
    test::SandboxRoot root;
    const std::string ex = CV + "RunOnceEx";
    const std::string twin = CV + "RunOnceExDisabled";
    root.Value(HKLM, ex + "\\b", "", "Second section")
        .Value(HKLM, ex + "\\b", "z", "x")
        .Value(HKLM, ex + "\\b", "A", "x")
        .Value(HKLM, ex + "\\0002", "2", "x")
        .Value(HKLM, ex + "\\0002", "10", "x")
        .Value(HKLM, ex + "\\0002", "1", "x")
        .Value(HKLM, ex + "\\0001", "Only", "x")
        .Value(HKLM, ex + "\\Depend", "0001", "x.dll")
        .Value(HKLM, ex, "Title", "Setup")
        .Value(HKLM, ex, "Direct", "x")
        .Value(HKLM, twin + "\\0003", "Off", "x")
        .Value(HKLM, twin, "DirectOff", "x")
        .Value(HKLM, twin + "\\0000", "Off", "x");
    const auto loaded = Load(root);
    std::vector<std::string> names;
    for (const auto& item : loaded->inventory.Items) {
        names.push_back(item->Name.str() + (item->State == ItemState::Enabled ? " +" : " -"));
    }
    EXPECT_THAT(names, ElementsAre("Direct +", "0001\\Only +", "0002\\1 +", "0002\\10 +", "0002\\2 +",
                                   "b\\A +", "b\\z +", "DirectOff -", "0000\\Off -", "0003\\Off -"));
}

// A section's command is checked for the program it runs, and rated by it: two pipes before a command line,
// a DLL before its function.
TEST(RunOnceExSections, WhatASectionsCommandRunsDecidesWhetherItsPathIsValid) {
    const struct {
        const char* command;
        bool valid;
        const char* rated; // what the ratings are asked for
    } cases[] = {
        {"||C:\\Apps\\app.exe /s", true, "C:\\Apps\\app.exe /s"},
        {"|| \"C:\\Apps\\app.exe\" /s", true, "\"C:\\Apps\\app.exe\" /s"},
        {"||notepad.exe", true, "notepad.exe"},
        {"||C:\\Gone\\app.exe", false, "C:\\Gone\\app.exe"},
        {"C:\\Apps\\helper.dll|DllRegisterServer|", true, "C:\\Apps\\helper.dll"},
        {"\"C:\\Apps\\helper.dll\"|Install|/quiet", true, "C:\\Apps\\helper.dll"},
        {"C:\\Gone\\helper.dll|Install|", false, "C:\\Gone\\helper.dll"},
        {"C:\\Apps\\app.exe /s", true, "C:\\Apps\\app.exe /s"},
        {"C:\\Apps\\app.exe a|b", true, "C:\\Apps\\app.exe a|b"}, // one pipe: an argument
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        test::SandboxRoot root;
        root.File("C:\\Apps\\app.exe").File("C:\\Apps\\helper.dll").File("C:\\WINDOWS\\notepad.exe");
        root.Value(HKLM, CV + "RunOnceEx\\0001", "Entry", c.command);
        const auto loaded = Load(root);
        ASSERT_EQ(loaded->inventory.Items.size(), 1u);
        EXPECT_EQ(loaded->inventory.Items[0]->Command.str(), c.command); // listed as it is kept
        EXPECT_EQ(loaded->inventory.Items[0]->PathValid, c.valid);
        EXPECT_THAT(loaded->ratings.asked, ElementsAre(std::string("0001\\Entry|") + c.rated));
    }
}

// The same command in a section and in the twin's section of that name: the program put it back, and the
// disabled copy is a leftover that a load which may tidy removes; a read-only load lists it once all the
// same. Another section's copy is another entry.
TEST(RunOnceExSections, ASectionsTwinCopyOfTheSameCommandGoesOnlyWhenTheLoadMayTidy) {
    for (const LoadAccess access : {LoadAccess::MayTidy, LoadAccess::ReadOnly}) {
        SCOPED_TRACE(access == LoadAccess::MayTidy ? "may tidy" : "read-only");
        test::SandboxRoot root;
        root.Value(HKLM, CV + "RunOnceEx\\0001", "Setup", "C:\\Apps\\app.exe")
            .Value(HKLM, CV + "RunOnceExDisabled\\0001", "", "Installing")
            .Value(HKLM, CV + "RunOnceExDisabled\\0001", "Setup", "C:\\Apps\\app.exe")
            .Value(HKLM, CV + "RunOnceExDisabled\\0002", "Setup", "C:\\Apps\\app.exe");
        const auto loaded = Load(root, access);
        EXPECT_THAT(Rows(loaded->inventory),
                    ElementsAre("0001\\Setup + @ " + kLmOnceEx + " : [Invalid Path]C:\\Apps\\app.exe",
                                "0002\\Setup - @ " + kLmOnceEx + " : [Invalid Path]C:\\Apps\\app.exe"));
        const auto section = root.Services().registry.OpenForReading(HKLM, CV + "RunOnceExDisabled\\0001");
        ASSERT_TRUE(section);
        EXPECT_EQ(section->ValueExists("Setup"), access == LoadAccess::ReadOnly);
        EXPECT_TRUE(section->ValueExists("")) << "the title stays";
        EXPECT_EQ(loaded->inventory.Items[0]->TwinCopyRemoved, access == LoadAccess::MayTidy);
    }
}

TEST(RunOnceExSections, NamesSplitAtTheFirstBackslashAndRefuseWhatIsNoCommand) {
    const struct {
        const char* name;
        std::optional<std::pair<std::string, std::string>> split;
        bool refused;
    } cases[] = {
        {"0001\\Setup", std::pair<std::string, std::string>{"0001", "Setup"}, false},
        {"0001\\a\\b", std::pair<std::string, std::string>{"0001", "a\\b"}, false},
        {"Legacy", std::nullopt, false},
        {"Title", std::nullopt, true},
        {"flags", std::nullopt, true},
        {"0001\\", std::pair<std::string, std::string>{"0001", ""}, true},
        {"\\Setup", std::pair<std::string, std::string>{"", "Setup"}, true},
        {"Depend\\0001", std::pair<std::string, std::string>{"Depend", "0001"}, true},
        {"depend\\x", std::pair<std::string, std::string>{"depend", "x"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto split = SplitSectionEntryName(c.name);
        ASSERT_EQ(split.has_value(), c.split.has_value());
        if (split) {
            EXPECT_EQ(split->section, c.split->first);
            EXPECT_EQ(split->value, c.split->second);
            EXPECT_EQ(SectionEntryName(split->section, split->value), c.name);
        }
        EXPECT_EQ(SectionEntryNameProblem(c.name).has_value(), c.refused);
        // Only a place that keeps sections refuses them.
        EXPECT_EQ(PlaceNameProblem(kLmOnceEx, c.name).has_value(), c.refused);
        EXPECT_FALSE(PlaceNameProblem("All Users\\Registry\\RunOnce", c.name).has_value());
    }
}

} // namespace qb

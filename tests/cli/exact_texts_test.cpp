// Names and commands as the system holds them, through edit, delete, backup, compare, restore and accept.

#include "run_cli.h"
#include "support/paths.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb::cli {

using ::testing::ElementsAre;

namespace {

using namespace test::paths;
const std::string kRun = "Current User\\Registry\\Run";
const std::string kSaved = "C:\\Program Files\\Quillbrook\\backup\\saved.qbk";

struct Machine : CliMachine {
    Machine& Run(const std::string& name, const RegistryValue& value, const std::string& key = "Run") {
        root.Value(RegistryRoot::CurrentUser, CV + key, name, value);
        return *this;
    }
    std::optional<RegistryValue> Value(const std::string& name, const std::string& key = "Run") {
        const auto opened = root.Services().registry.OpenForReading(RegistryRoot::CurrentUser, CV + key);
        return opened ? opened->ReadValue(name) : std::nullopt;
    }
    std::vector<std::string> Names(const std::string& key = "Run") {
        const auto opened = root.Services().registry.OpenForReading(RegistryRoot::CurrentUser, CV + key);
        return opened ? opened->ValueNames() : std::vector<std::string>{};
    }
    void Remove(const std::string& name, const std::string& key = "Run") {
        ASSERT_TRUE(root.Services()
                        .registry.OpenForWriting(RegistryRoot::CurrentUser, CV + key, false)
                        ->DeleteValue(name));
    }
    using CliMachine::Run;
};

} // namespace

// What is not given keeps its text as the system has it, blanks and all; what is given is trimmed.
TEST(ExactTexts, AnEditChangesOnlyWhatItIsAskedTo) {
    const struct {
        const char* behaviour;
        std::vector<std::string> args;
        std::vector<std::string> names; // the run key's value names after it
        std::string name;               // the value then
        std::string command;
    } cases[] = {
        {"a new command keeps a name that ends in a blank",
         {"--name", "Trail ", "--new-command", "C:\\new.exe"},
         {"Trail ", "Spaced"},
         "Trail ",
         "C:\\new.exe"},
        {"a new name keeps the command's blanks",
         {"--name", "Spaced", "--new-name", "Other"},
         {"Trail ", "Other"},
         "Other",
         " C:\\Apps\\agent.exe /x "},
        {"a given text is trimmed as the editor trims it",
         {"--name", "Spaced", "--new-name", " Other "},
         {"Trail ", "Other"},
         "Other",
         " C:\\Apps\\agent.exe /x "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.behaviour);
        Machine m;
        m.Run("Trail ", RegistryValue::String("C:\\old.exe"))
            .Run("Spaced", RegistryValue::String(" C:\\Apps\\agent.exe /x "));
        std::vector<std::string> args{"edit", "--location", kRun, "--no-backup"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result result = m.Run(args);
        EXPECT_EQ(result.status, kExitOk) << result.err;
        EXPECT_THAT(m.Names(), ::testing::UnorderedElementsAreArray(c.names)); // a rewritten value goes last
        EXPECT_EQ(m.Value(c.name), RegistryValue::String(c.command));
    }
}

// The unnamed value is named by its caption, as the list shows it, and an edit keeps it unnamed.
TEST(ExactTexts, TheUnnamedValueIsEditedByItsCaption) {
    const struct {
        const char* behaviour;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> names; // the run key's value names after it
        std::string name;               // the value then
        std::string command;
    } cases[] = {
        {"a new command",
         {"--name", "(Default)", "--new-command", "C:\\new.exe"},
         kExitOk,
         {"", "Named"},
         "",
         "C:\\new.exe"},
        {"the caption given as the new name",
         {"--name", "(Default)", "--new-name", "(Default)", "--new-command", "C:\\new.exe"},
         kExitOk,
         {"", "Named"},
         "",
         "C:\\new.exe"},
        {"a new name names the value",
         {"--name", "(Default)", "--new-name", "Other"},
         kExitOk,
         {"Named", "Other"},
         "Other",
         "C:\\old.exe"},
        {"another value renamed to the caption would be a second unnamed one",
         {"--name", "Named", "--new-name", "(Default)"},
         kExitFailed,
         {"", "Named"},
         "",
         "C:\\old.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.behaviour);
        Machine m;
        m.Run("", RegistryValue::String("C:\\old.exe")).Run("Named", RegistryValue::String("C:\\b.exe"));
        std::vector<std::string> args{"edit", "--location", kRun, "--no-backup"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result result = m.Run(args);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_THAT(m.Names(), ::testing::UnorderedElementsAreArray(c.names));
        EXPECT_EQ(m.Value(c.name), RegistryValue::String(c.command));
    }
}

// A name of 259 bytes names that entry only, never one whose longer name begins with the same bytes; the
// longer one is named by those bytes once it is the only one they can mean.
TEST(ExactTexts, ADeleteByNameTakesOnlyTheEntryOfThatWholeName) {
    const std::string shortName(259, 'n');
    const std::string longName = shortName + "-longer";
    Machine m;
    m.Run(longName, RegistryValue::String("C:\\a.exe")).Run(shortName, RegistryValue::String("C:\\a.exe"));
    Result result = m.Run({"delete", "--name", shortName, "--location", kRun, "--no-backup"});
    EXPECT_EQ(result.status, kExitOk) << result.err;
    EXPECT_THAT(m.Names(), ElementsAre(longName));
    result = m.Run({"delete", "--name", shortName, "--location", kRun, "--no-backup"});
    EXPECT_EQ(result.status, kExitOk) << result.err;
    EXPECT_THAT(m.Names(), ElementsAre());
}

// A name or command over 259 bytes comes back whole from a backup, and list --json gives the whole command.
TEST(ExactTexts, ABackupGivesBackLongNamesAndCommandsWhole) {
    const std::string longCommand = "C:\\a.exe " + std::string(314, 'a');
    const std::string longName = std::string(290, 'n') + " TAIL-END";
    Machine m;
    m.Run("Long command", RegistryValue::String(longCommand))
        .Run(longName, RegistryValue::String("C:\\b.exe"));
    const auto listed = nlohmann::json::parse(m.Run({"list", "--json", "--all"}).out);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0]["command"], longCommand);

    ASSERT_EQ(m.Run({"backup", kSaved}).status, kExitOk);
    EXPECT_EQ(m.Run({"compare", kSaved}).status, kExitOk);
    // Then the system moves on: the command is another beyond its first 259 bytes, the long name is gone.
    m.Run("Long command", RegistryValue::String(longCommand + " more"));
    m.Remove(longName);
    EXPECT_EQ(m.Run({"compare", kSaved}).status, kExitDiffer);

    const Result restored = m.Run({"restore", kSaved, "--no-backup"});
    EXPECT_EQ(restored.status, kExitOk) << restored.err;
    EXPECT_EQ(m.Value("Long command"), RegistryValue::String(longCommand));
    EXPECT_EQ(m.Value(longName), RegistryValue::String("C:\\b.exe"));
    EXPECT_EQ(m.Names().size(), 2u);
    EXPECT_EQ(m.Run({"compare", kSaved}).status, kExitOk);
}

// Line breaks in a name or a command are kept exactly: compare finds the system as saved, a restore gives
// them back, and the accepted setting holds them, so that accept clears their marks.
TEST(ExactTexts, LineBreaksSurviveBackupCompareRestoreAndAccept) {
    const std::string name = "Two\nLines";
    const std::string command = "C:\\a.exe /first\r\nsecond";
    Machine m;
    m.Run(name, RegistryValue::String(command)).Run("Plain", RegistryValue::String("C:\\b.exe"));
    ASSERT_EQ(m.Run({"backup", kSaved}).status, kExitOk);
    const Result compared = m.Run({"compare", kSaved});
    EXPECT_EQ(compared.status, kExitOk) << compared.out;

    m.Remove(name);
    const Result restored = m.Run({"restore", kSaved, "--no-backup"});
    EXPECT_EQ(restored.status, kExitOk) << restored.err;
    EXPECT_EQ(m.Value(name), RegistryValue::String(command));
    EXPECT_THAT(m.Names(), ElementsAre("Plain", name));
    EXPECT_EQ(m.Run({"compare", kSaved}).status, kExitOk);

    ASSERT_EQ(m.Run({"accept"}).status, kExitOk);
    EXPECT_EQ(nlohmann::json::parse(m.Run({"list", "--json", "--all", "--changes"}).out),
              nlohmann::json::array());
}

// A backup entry of a place no load lists, or of no place at all, is not loaded; an entry whose label is
// written in other letters is of the place so named. Nothing the system holds is lost to either.
TEST(ExactTexts, ARestoreRefusesEntriesOfUnknownOrUnlistedPlaces) {
    Machine m;
    m.Run("Foo", RegistryValue::String("C:\\a.exe"));
    m.root.File(kSaved, "[General Info]\r\nNumber of Startup Items=4\r\n"
                        "[Item 0]\r\nProgram Name=Foo\r\nCommand Path=C:\\a.exe\r\n"
                        "Location=current user\\registry\\run\r\nStatus=Enabled\r\n"
                        "[Item 1]\r\nProgram Name=Bar\r\nCommand Path=C:\\b.exe\r\n"
                        "Location=Nowhere\\Run\r\nStatus=Enabled\r\n"
                        "[Item 2]\r\nProgram Name=Svc\r\nCommand Path=C:\\c.exe\r\n"
                        "Location=Current User\\Registry\\Run Services\r\nStatus=Enabled\r\n"
                        "[Item 3]\r\nProgram Name=Once\r\nCommand Path=C:\\d.exe\r\n"
                        "Location=Current User\\Registry\\RunOnce Ex\r\nStatus=Enabled\r\n");
    const std::string registryBefore = test::ReadText(m.root.Path() / "registry.reg");
    const Result result = m.Run({"restore", kSaved, "--no-backup"});
    // The user's RunServices and RunOnceEx keys are read and listed like any other place: only the
    // unknown place is refused.
    EXPECT_NE(result.err.find(
                  "1 entry of the backup was not loaded: no list shows their places (\"Nowhere\\Run\")."),
              std::string::npos)
        << result.err;
    EXPECT_EQ(m.Value("Foo"), RegistryValue::String("C:\\a.exe"));
    EXPECT_NE(test::ReadText(m.root.Path() / "registry.reg"), registryBefore);
    std::vector<std::string> listed;
    for (const auto& row : nlohmann::json::parse(m.Run({"list", "--json"}).out)) {
        listed.push_back(row["name"].get<std::string>() + " @ " + row["location"].get<std::string>());
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"Foo @ Current User\\Registry\\Run",
                                                "Svc @ Current User\\Registry\\Run Services",
                                                "Once @ Current User\\Registry\\RunOnce Ex"}));
}

// When compare finds the system as saved, a restore changes nothing: names are one in any letter case.
TEST(ExactTexts, WhatCompareCallsEqualARestoreLeavesAlone) {
    Machine m;
    m.Run("Foo", RegistryValue::String("C:\\a.exe"));
    m.root.File(kSaved, "[General Info]\r\nNumber of Startup Items=1\r\n"
                        "[Item 0]\r\nProgram Name=FOO\r\nCommand Path=C:\\a.exe\r\n"
                        "Location=Current User\\Registry\\Run\r\nStatus=Enabled\r\n");
    ASSERT_EQ(m.Run({"list"}).status, kExitOk); // the first run keeps its accepted setting
    EXPECT_EQ(m.Run({"compare", kSaved}).status, kExitOk);
    const std::string registryBefore = test::ReadText(m.root.Path() / "registry.reg");
    const Result result = m.Run({"restore", kSaved, "--no-backup"});
    EXPECT_EQ(result.status, kExitOk) << result.err;
    EXPECT_EQ(result.out, "Nothing to change.\n");
    EXPECT_EQ(test::ReadText(m.root.Path() / "registry.reg"), registryBefore);
    EXPECT_THAT(m.Names(), ElementsAre("Foo"));
}

} // namespace qb::cli

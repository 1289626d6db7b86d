// The commands of RunOnceEx's sections are disabled, enabled, deleted, backed up and restored like any
// other entry, in their sections, with the sections' titles kept.
#include "backup/backup_file.h"
#include "changes/apply_engine.h"
#include "changes/entry_editor.h"
#include "changes/pending_changes.h"
#include "platform/profile_text.h"
#include "support/startup_machine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

using namespace test;
using Machine = StartupMachine;

namespace {

const std::string kEx = CV + "RunOnceEx";
const std::string kTwin = CV + "RunOnceExDisabled";

// Everything under a key, whole: "subkey\path|name=data" for each value ("@" for the unnamed one), and
// "subkey\path|" for a key without values.
void Dump(RegistryKey& key, Registry& registry, RegistryRoot hive, const std::string& path,
          const std::string& shown, std::vector<std::string>& out) {
    const auto names = key.ValueNames();
    if (names.empty()) {
        out.push_back(shown + "|");
    }
    for (const std::string& name : names) {
        out.push_back(shown + "|" + (name.empty() ? "@" : name) + "=" + key.ReadValue(name)->data);
    }
    for (const std::string& sub : key.SubkeyNames()) {
        const auto child = registry.OpenForReading(hive, path + "\\" + sub);
        Dump(*child, registry, hive, path + "\\" + sub, shown.empty() ? sub : shown + "\\" + sub, out);
    }
}

std::vector<std::string> KeyTree(Machine& m, RegistryRoot hive, const std::string& path) {
    std::vector<std::string> out;
    const auto key = m.Services().registry.OpenForReading(hive, path);
    if (key) {
        Dump(*key, m.Services().registry, hive, path, "", out);
    }
    return out;
}

// The machine's RunOnceEx with a title and flags, a section of one command, a section of two, and a section
// that holds a subkey besides its command.
void Seed(Machine& m) {
    m.root.Value(HKLM, kEx, "Title", "Finishing the setup")
        .Value(HKLM, kEx, "Flags", RegistryValue::Dword(0x14))
        .Value(HKLM, kEx + "\\0001", "", "Fonts")
        .Value(HKLM, kEx + "\\0001", "Fonts", "||C:\\Apps\\app.exe /fonts")
        .Value(HKLM, kEx + "\\0002", "", "Drivers")
        .Value(HKLM, kEx + "\\0002", "First", "C:\\Apps\\app.exe /1")
        .Value(HKLM, kEx + "\\0002", "Second", "C:\\Apps\\helper.dll|Install|/q")
        .Value(HKLM, kEx + "\\0003", "", "Kept")
        .Value(HKLM, kEx + "\\0003", "Only", "C:\\Apps\\app.exe /o")
        .Value(HKLM, kEx + "\\0003\\Deeper", "Other", "x")
        .File("C:\\Apps\\helper.dll");
}

const std::vector<std::string> kSeeded = {
    "|Title=Finishing the setup",
    std::string("|Flags=") + std::string("\x14\0\0\0", 4),
    "0001|@=Fonts",
    "0001|Fonts=||C:\\Apps\\app.exe /fonts",
    "0002|@=Drivers",
    "0002|First=C:\\Apps\\app.exe /1",
    "0002|Second=C:\\Apps\\helper.dll|Install|/q",
    "0003|@=Kept",
    "0003|Only=C:\\Apps\\app.exe /o",
    "0003\\Deeper|Other=x",
};

} // namespace

// A disable moves the command into the twin's section of the same name, with the section's title; a
// section left with only its title goes. Enabling brings back exactly what was there.
TEST(RunOnceExChanges, DisableAndEnableMoveACommandBetweenSectionsAndBackExactly) {
    Machine m;
    Seed(m);
    m.Load();
    ASSERT_EQ(KeyTree(m, HKLM, kEx), kSeeded);
    m.Find("0001\\Fonts", kLmOnceEx).State = ItemState::Disabled;
    m.Find("0002\\First", kLmOnceEx).State = ItemState::Disabled;
    m.Find("0003\\Only", kLmOnceEx).State = ItemState::Disabled;
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_THAT(m.NotChanged(), ElementsAre());
    EXPECT_THAT(KeyTree(m, HKLM, kEx),
                ElementsAre("|Title=Finishing the setup",
                            std::string("|Flags=") + std::string("\x14\0\0\0", 4), "0002|@=Drivers",
                            "0002|Second=C:\\Apps\\helper.dll|Install|/q",
                            // Not only its title is left: the subkey stays, and so does the section.
                            "0003|@=Kept", "0003\\Deeper|Other=x"));
    EXPECT_THAT(KeyTree(m, HKLM, kTwin),
                ElementsAre("|", "0001|Fonts=||C:\\Apps\\app.exe /fonts", "0001|@=Fonts",
                            "0002|First=C:\\Apps\\app.exe /1", "0002|@=Drivers",
                            "0003|Only=C:\\Apps\\app.exe /o", "0003|@=Kept"));
    EXPECT_THAT(m.WholeSystem(),
                ElementsAre("0001\\Fonts @ " + kLmOnceEx + " - : ||C:\\Apps\\app.exe /fonts",
                            "0002\\First @ " + kLmOnceEx + " - : C:\\Apps\\app.exe /1",
                            "0002\\Second @ " + kLmOnceEx + " + : C:\\Apps\\helper.dll|Install|/q",
                            "0003\\Only @ " + kLmOnceEx + " - : C:\\Apps\\app.exe /o"));

    for (const char* name : {"0001\\Fonts", "0002\\First", "0003\\Only"}) {
        m.Find(name, kLmOnceEx).State = ItemState::Enabled;
    }
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_THAT(m.NotChanged(), ElementsAre());
    // The titles came back in front: a value written anew is stored last, and the title went before it.
    EXPECT_THAT(KeyTree(m, HKLM, kEx),
                ElementsAre("|Title=Finishing the setup",
                            std::string("|Flags=") + std::string("\x14\0\0\0", 4),
                            "0001|Fonts=||C:\\Apps\\app.exe /fonts", "0001|@=Fonts", "0002|@=Drivers",
                            "0002|Second=C:\\Apps\\helper.dll|Install|/q", "0002|First=C:\\Apps\\app.exe /1",
                            "0003|@=Kept", "0003|Only=C:\\Apps\\app.exe /o", "0003\\Deeper|Other=x"));
    EXPECT_THAT(KeyTree(m, HKLM, kTwin), ElementsAre("|")) << "no section is left in the twin";
}

// A delete takes the command away, and its section only when nothing but the title is left.
TEST(RunOnceExChanges, ADeleteRemovesTheCommandAndASectionLeftWithOnlyItsTitle) {
    Machine m;
    Seed(m);
    m.root.Value(HKLM, kTwin + "\\0004", "", "Off").Value(HKLM, kTwin + "\\0004", "Off", "C:\\Apps\\app.exe");
    m.Load();
    for (const char* name : {"0001\\Fonts", "0002\\Second", "0003\\Only", "0004\\Off"}) {
        m.Find(name, kLmOnceEx).State = ItemState::Deleted;
    }
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_THAT(m.NotChanged(), ElementsAre());
    EXPECT_THAT(KeyTree(m, HKLM, kEx),
                ElementsAre("|Title=Finishing the setup",
                            std::string("|Flags=") + std::string("\x14\0\0\0", 4), "0002|@=Drivers",
                            "0002|First=C:\\Apps\\app.exe /1", "0003|@=Kept", "0003\\Deeper|Other=x"));
    EXPECT_THAT(KeyTree(m, HKLM, kTwin), ElementsAre("|"));
}

// Adding "section\name" puts the command in that section, with the title its twin section holds; an edit
// that keeps the section keeps its title, even when the old version was its only command.
TEST(RunOnceExChanges, AddsAndEditsWriteIntoTheirSectionAndKeepItsTitle) {
    Machine m;
    Seed(m);
    m.root.Value(HKLM, kTwin + "\\0005", "", "Later");
    m.Load();
    m.Add("0005\\New", "||C:\\Apps\\app.exe /new", kLmOnceEx);
    m.Edit(m.Find("0001\\Fonts", kLmOnceEx), "0001\\Fonts", "||C:\\Apps\\app.exe /fonts /all", kLmOnceEx);
    m.Edit(m.Find("0003\\Only", kLmOnceEx), "0006\\Only", "C:\\Apps\\app.exe /o", kLmOnceEx);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_THAT(m.NotChanged(), ElementsAre());
    const auto tree = KeyTree(m, HKLM, kEx);
    EXPECT_THAT(std::vector<std::string>(tree.begin() + 2, tree.end()),
                ElementsAre("0001|Fonts=||C:\\Apps\\app.exe /fonts /all", "0001|@=Fonts", "0002|@=Drivers",
                            "0002|First=C:\\Apps\\app.exe /1", "0002|Second=C:\\Apps\\helper.dll|Install|/q",
                            "0003|@=Kept", "0003\\Deeper|Other=x", "0005|New=||C:\\Apps\\app.exe /new",
                            "0005|@=Later", "0006|Only=C:\\Apps\\app.exe /o"));
}

// A backup records a section's command under its whole name, backslash and all; the file reads back the
// same, and restoring it after the commands were changed gives them back where they were.
TEST(RunOnceExChanges, ABackupRecordsSectionCommandsAndARestoreGivesThemBack) {
    const std::string backup = kTool + "\\backup\\sections.qbk";
    Machine m;
    Seed(m);
    m.Load();
    m.Find("0002\\First", kLmOnceEx).State = ItemState::Disabled;
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    const auto saved = m.WholeSystem();
    WriteBackup(backup, m.inventory, m.Services());
    const auto file = ReadBackupEntries(backup, m.Services().profiles);
    ASSERT_TRUE(file);
    std::vector<std::string> read;
    for (const SavedEntry& entry : *file) {
        read.push_back(entry.name + " @ " + entry.location +
                       (entry.state == ItemState::Enabled ? " + : " : " - : ") + entry.command);
    }
    EXPECT_THAT(read, ::testing::UnorderedElementsAreArray(saved));
    EXPECT_EQ(m.Services().profiles.ReadString(backup, "Item 0", "Program Name", ""), "0001\\Fonts");

    // The system moves on: one command gone with its section, one enabled, one changed.
    m.Find("0001\\Fonts", kLmOnceEx).State = ItemState::Deleted;
    m.Find("0002\\First", kLmOnceEx).State = ItemState::Enabled;
    m.Edit(m.Find("0003\\Only", kLmOnceEx), "0003\\Only", "C:\\Apps\\app.exe /changed", kLmOnceEx);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    ASSERT_NE(m.WholeSystem(), saved);

    ASSERT_TRUE(LoadBackup(backup, m.inventory, m.Services(), *m.database, m.icons).loaded);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_THAT(m.NotChanged(), ElementsAre());
    EXPECT_EQ(m.WholeSystem(), saved);
    // A backup does not hold titles: the section made again has none; the others kept theirs.
    EXPECT_THAT(KeyTree(m, HKLM, kEx),
                ElementsAre("|Title=Finishing the setup",
                            std::string("|Flags=") + std::string("\x14\0\0\0", 4),
                            "0001|Fonts=||C:\\Apps\\app.exe /fonts", "0002|@=Drivers",
                            "0002|Second=C:\\Apps\\helper.dll|Install|/q", "0003|@=Kept",
                            "0003|Only=C:\\Apps\\app.exe /o", "0003\\Deeper|Other=x"));
    EXPECT_THAT(KeyTree(m, HKLM, kTwin),
                ElementsAre("|", "0002|First=C:\\Apps\\app.exe /1", "0002|@=Drivers"));
}

// Backups of earlier versions listed the key's "Title" as an entry: a restore neither writes it as a
// command nor takes the key's title away, and their other entries of the key come back as they were.
TEST(RunOnceExChanges, AnOlderBackupWithTheKeysTitleRestoresWithoutTouchingIt) {
    const std::string backup = kTool + "\\backup\\older.qbk";
    Machine m;
    m.root.Value(HKLM, kEx, "Title", "Finishing the setup").Value(HKLM, kEx, "Legacy", "C:\\Apps\\app.exe");
    m.Load();
    m.Services().profiles.WriteValues(backup, {{"General Info", "Number of Startup Items", "3"},
                                               {"Item 0", "Program Name", "Title"},
                                               {"Item 0", "Command Path", "Something else"},
                                               {"Item 0", "Location", kLmOnceEx},
                                               {"Item 0", "Status", "Enabled"},
                                               {"Item 1", "Program Name", "Legacy"},
                                               {"Item 1", "Command Path", "C:\\Apps\\app.exe"},
                                               {"Item 1", "Location", kLmOnceEx},
                                               {"Item 1", "Status", "Disabled"},
                                               {"Item 2", "Program Name", "Old"},
                                               {"Item 2", "Command Path", "C:\\Apps\\app.exe /old"},
                                               {"Item 2", "Location", kLmOnceEx},
                                               {"Item 2", "Status", "Enabled"}});
    ASSERT_TRUE(LoadBackup(backup, m.inventory, m.Services(), *m.database, m.icons).loaded);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_THAT(m.NotChanged(), ElementsAre());
    EXPECT_THAT(KeyTree(m, HKLM, kEx),
                ElementsAre("|Title=Finishing the setup", "|Old=C:\\Apps\\app.exe /old"));
    EXPECT_THAT(KeyTree(m, HKLM, kTwin), ElementsAre("|Legacy=C:\\Apps\\app.exe"));
}

// The editor takes "section\name" for a command of that section, and refuses what would be no command.
TEST(RunOnceExChanges, TheEditorRefusesNamesThatWouldBeNoCommand) {
    Machine m;
    Seed(m);
    m.Load();
    const struct {
        const char* name;
        std::optional<std::string> problem;
    } cases[] = {
        {"0009\\Setup", std::nullopt},
        {"Plain", std::nullopt},
        {"0001\\",
         "The name cannot be used for a command in RunOnceEx. The name after the backslash is empty: "
         "a section's unnamed value is its title."},
        {"\\Setup", "The name cannot be used for a command in RunOnceEx. The section's name before the "
                    "backslash is empty."},
        {"Depend\\1",
         "The name cannot be used for a command in RunOnceEx. \"Depend\" lists DLLs to load, not "
         "commands."},
        {"Title",
         "The name cannot be used for a command in RunOnceEx. \"Title\" is a setting of the key, not "
         "a command."},
        {"0002\\first", std::string(kDuplicateMessage)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EditorInputProblem(m.inventory, c.name, "C:\\Apps\\app.exe", kLmOnceEx, -1), c.problem);
        // Other run keys take these names as they are.
        EXPECT_EQ(EditorInputProblem(m.inventory, c.name, "C:\\Apps\\app.exe", kLmRun, -1), std::nullopt);
    }
}

} // namespace qb

#include "backup/backup_file.h"
#include "backup/backup_index.h"
#include "backup/backup_machine.h"
#include "changes/apply_engine.h"
#include "changes/pending_changes.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "support/paths.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"

#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAreArray;

namespace {

using namespace test::paths;
const std::string kUserKept = kTool + "\\ShortCutCurrUser";
const std::string kTally = "C:\\Program Files\\Tallybird\\tallybird.exe";
const std::string kTallyCommand = "\"" + kTally + "\" --config \"C:\\x y\\c.ini\"";

ShortcutInfo Link(const std::string& target, const std::string& arguments) {
    ShortcutInfo link;
    link.target = target;
    link.arguments = arguments;
    link.description = "made by hand";
    link.workingDirectory = "C:\\x y";
    link.iconLocation = target;
    link.iconIndex = 2;
    return link;
}

// A machine with both shell folders registered, the tool's folders, the database and a fixed clock; the
// operations of a backup, a restore and an apply as the window runs them.
struct Machine : test::BackupMachine {
    Machine() {
        root.Value(HKCU, CV + "Explorer\\Shell Folders", "Startup", kUserStartup)
            .Folder(kUserStartup)
            .Folder(kUserKept)
            .Folder(kTool + "\\backup")
            .File(kTally)
            .File("C:\\Apps\\agent.exe");
        root.System().SetDialogs(dialogs);
    }
    Machine& Run(const std::string& name, const std::string& command, bool enabled = true) {
        root.Value(HKCU, CV + (enabled ? "Run" : "RunDisabled"), name, command);
        return *this;
    }
    Machine& Shortcut(const std::string& name, const ShortcutInfo& link, bool enabled = true) {
        EXPECT_TRUE(Services().shell.SaveShortcut(ShortcutPath(name, enabled), link));
        return *this;
    }
    static std::string ShortcutPath(const std::string& name, bool enabled) {
        return (enabled ? kUserStartup : kUserKept) + "\\" + name + ".lnk";
    }
    bool Restore(const std::string& path) {
        return LoadBackup(path, inventory, Services(), *database, icons).loaded;
    }
    void Apply(bool backupFirst = false) {
        ApplyEngine(inventory, Services()).Apply(backupFirst, false);
        Load();
    }
    StartupItem& Find(const std::string& name) {
        for (const auto& item : inventory.Items) {
            if (item->Name == name) {
                return *item;
            }
        }
        throw std::runtime_error("no entry " + name);
    }
    // Everything a fresh load finds, one text per entry, in load order.
    std::vector<std::string> System() {
        Load();
        std::vector<std::string> rows;
        for (const auto& item : inventory.Items) {
            rows.push_back("[" + item->Name.str() + "] [" + item->Command.str() + "] [" +
                           item->Arguments.str() + "] " + item->Location.str() +
                           (item->State == ItemState::Enabled ? " on" : " off"));
        }
        return rows;
    }
    // Takes every entry off the system.
    void Wipe() {
        auto& registry = root.Services().registry;
        registry.DeleteKey(HKCU, CV + "Run");
        registry.DeleteKey(HKCU, CV + "RunDisabled");
        auto& files = root.Services().files;
        for (const std::string& folder : {kUserStartup, kUserKept}) {
            for (const FileEntry& entry : files.FindFiles(folder, "*.*")) {
                files.DeleteFile(folder + "\\" + entry.name);
            }
        }
    }
    std::optional<RegistryValue> Value(const std::string& key, const std::string& name) {
        const auto open = root.Services().registry.OpenForReading(HKCU, CV + key);
        return open ? open->ReadValue(name) : std::nullopt;
    }
};

// Names, commands and arguments that the profile reader would change, the unnamed default value, empty
// data and shortcuts, enabled and disabled: a machine holding one of each.
void Everything(Machine& m) {
    m.Run("Tally", kTallyCommand)
        .Run("Quoted alone", "\"C:\\Apps\\agent.exe\"", false)
        .Run("\"Quoted name\"", "C:\\Apps\\agent.exe")
        .Run(" blank around ", " C:\\Apps\\agent.exe ")
        .Run("", "C:\\Apps\\agent.exe /default")
        .Run("Empty", "")
        .Shortcut("Tally", Link(kTally, "--config \"C:\\x y\\c.ini\""))
        .Shortcut("Quoted args", Link(kTally, "\"only quoted\""))
        .Shortcut("Kept", Link(kTally, "/min"), false)
        .Shortcut("Bare", Link("C:\\Apps\\agent.exe", ""));
}

} // namespace

TEST(Restore, WhatABackupSavedComesBackExactly) {
    const struct {
        const char* behaviour;
        std::function<void(Machine&)> setUp;
        std::function<void(Machine&)> check; // the system after the restore's apply
    } rows[] = {
        {"a command in enclosing quotes keeps them", [](Machine& m) { m.Run("Tally", kTallyCommand); },
         [](Machine& m) { EXPECT_EQ(m.Value("Run", "Tally"), RegistryValue::String(kTallyCommand)); }},
        {"a disabled quoted program keeps its quotes",
         [](Machine& m) { m.Run("Agent", "\"C:\\Apps\\agent.exe\"", false); },
         [](Machine& m) {
             EXPECT_EQ(m.Value("RunDisabled", "Agent"), RegistryValue::String("\"C:\\Apps\\agent.exe\""));
         }},
        {"names in quotes or with blanks around keep them",
         [](Machine& m) { m.Run("'single'", "C:\\a.exe").Run(" lead", "C:\\b.exe"); },
         [](Machine& m) {
             EXPECT_EQ(m.Value("Run", "'single'"), RegistryValue::String("C:\\a.exe"));
             EXPECT_EQ(m.Value("Run", " lead"), RegistryValue::String("C:\\b.exe"));
         }},
        {"the unnamed default value comes back", [](Machine& m) { m.Run("", "C:\\Apps\\agent.exe /d"); },
         [](Machine& m) { EXPECT_EQ(m.Value("Run", ""), RegistryValue::String("C:\\Apps\\agent.exe /d")); }},
        {"a value with empty data comes back empty", [](Machine& m) { m.Run("Empty", ""); },
         [](Machine& m) { EXPECT_EQ(m.Value("Run", "Empty"), RegistryValue::String("")); }},
        {"a shortcut keeps its arguments",
         [](Machine& m) { m.Shortcut("Tally", Link(kTally, "--config \"C:\\x y\\c.ini\"")); },
         [](Machine& m) {
             const auto link = m.Services().shell.LoadShortcut(Machine::ShortcutPath("Tally", true));
             ASSERT_TRUE(link);
             EXPECT_EQ(link->target, kTally);
             EXPECT_EQ(link->arguments, "--config \"C:\\x y\\c.ini\"");
         }},
        {"a disabled shortcut keeps its arguments",
         [](Machine& m) { m.Shortcut("Kept", Link(kTally, "/min"), false); },
         [](Machine& m) {
             const auto link = m.Services().shell.LoadShortcut(Machine::ShortcutPath("Kept", false));
             ASSERT_TRUE(link);
             EXPECT_EQ(link->target, kTally);
             EXPECT_EQ(link->arguments, "/min");
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        Machine m;
        row.setUp(m);
        const auto saved = m.System();
        WriteBackup("C:\\saved.qbk", m.inventory, m.Services());
        m.Wipe();
        m.Load();
        ASSERT_TRUE(m.Restore("C:\\saved.qbk"));
        m.Apply();
        EXPECT_THAT(m.System(), UnorderedElementsAreArray(saved));
        row.check(m);
    }
}

TEST(Restore, OntoAnUnchangedSystemChangesNothing) {
    Machine m;
    Everything(m);
    m.Load();
    WriteBackup("C:\\saved.qbk", m.inventory, m.Services());
    const std::string registryBefore = test::ReadText(m.root.Path() / "registry.reg");
    const std::string shortcutBefore = m.Bytes(Machine::ShortcutPath("Tally", true));
    ASSERT_TRUE(m.Restore("C:\\saved.qbk"));
    EXPECT_FALSE(HasPendingChanges(m.inventory)); // the apply dialog would list nothing
    EXPECT_EQ(m.inventory.Items.size(), m.inventory.LoadedItems.size());
    m.Apply();
    EXPECT_EQ(m.Bytes(Machine::ShortcutPath("Tally", true)), shortcutBefore);
    EXPECT_EQ(test::ReadText(m.root.Path() / "registry.reg"), registryBefore);
}

TEST(Restore, OnlyTheEntriesThatDifferAreReplaced) {
    Machine m;
    Everything(m);
    const auto saved = m.System();
    WriteBackup("C:\\saved.qbk", m.inventory, m.Services());
    // Since the backup: one command changed, one entry disabled, a shortcut lost its arguments, one entry
    // gone, one new.
    m.Run("Tally", "C:\\Apps\\agent.exe");
    m.root.Services().registry.OpenForWriting(HKCU, CV + "Run", false)->DeleteValue("\"Quoted name\"");
    m.Run("\"Quoted name\"", "C:\\Apps\\agent.exe", false);
    m.Shortcut("Quoted args", Link(kTally, ""));
    m.root.Services().files.DeleteFile(Machine::ShortcutPath("Bare", true));
    m.Run("New", "C:\\new.exe");
    const std::string untouched = m.Bytes(Machine::ShortcutPath("Tally", true));
    m.Load();

    ASSERT_TRUE(m.Restore("C:\\saved.qbk"));
    std::vector<std::string> removed, added, switched;
    for (const auto& item : m.inventory.Items) {
        if (item->LoadedState != ItemState::Deleted && item->State == ItemState::Deleted) {
            removed.push_back(item->Name);
        } else if (item->LoadedState == ItemState::Deleted) {
            added.push_back(item->Name);
        } else if (item->State != item->LoadedState) {
            switched.push_back(item->Name);
        }
    }
    EXPECT_THAT(removed, ElementsAre("Tally", "New", "Quoted args"));
    EXPECT_THAT(added, ElementsAre("Tally", "Bare", "Quoted args"));
    // Only its state differs: enabled where it is, not written anew from the backup.
    EXPECT_THAT(switched, ElementsAre("\"Quoted name\""));
    m.Apply();
    EXPECT_THAT(m.System(), UnorderedElementsAreArray(saved));
    // The shortcut the backup holds as it is keeps its working folder and icon.
    EXPECT_EQ(m.Bytes(Machine::ShortcutPath("Tally", true)), untouched);
}

// A backup keeps 259 bytes of a name or command. An entry whose state alone differs is enabled or disabled
// where it is, so nothing of it is rebuilt from the backup's cut copy.
TEST(Restore, AnEntryWhoseStateAloneDiffersComesBackWhole) {
    Machine m;
    const std::string longCommand = "C:\\Apps\\agent.exe " + std::string(300, 'a') + " TAIL-END";
    const std::string longName = std::string(290, 'n') + " TAIL-END";
    const std::string toolLink = kUserStartup + "\\Tool.LNK"; // a file name in other letters than ".lnk"
    m.Run("Long command", longCommand).Run(longName, "C:\\Apps\\agent.exe");
    ASSERT_TRUE(m.Services().shell.SaveShortcut(toolLink, Link(kTally, "--tray")));
    const std::string linkBytes = m.Bytes(toolLink);
    m.Load();
    WriteBackup("C:\\saved.qbk", m.inventory, m.Services());
    for (const auto& item : m.inventory.Items) {
        item->State = ItemState::Disabled;
    }
    m.Apply();
    ASSERT_FALSE(m.Value("Run", longName));

    ASSERT_TRUE(m.Restore("C:\\saved.qbk"));
    m.Apply();
    EXPECT_EQ(m.Value("Run", "Long command"), RegistryValue::String(longCommand));
    EXPECT_EQ(m.Value("Run", longName), RegistryValue::String("C:\\Apps\\agent.exe"));
    EXPECT_FALSE(m.Value("RunDisabled", longName));
    EXPECT_EQ(m.Bytes(toolLink), linkBytes); // the same file, its description and icon kept
    std::vector<std::string> files;
    for (const FileEntry& entry : m.Services().files.FindFiles(kUserStartup, "*.*")) {
        files.push_back(entry.name);
    }
    EXPECT_THAT(files, ElementsAre("Tool.LNK"));
}

TEST(Restore, ABackupCarriesShortcutArgumentsInAKeyOfTheirOwn) {
    Machine m;
    m.Run("Tally", kTallyCommand)
        .Shortcut("Tally", Link(kTally, "--tray"))
        .Shortcut("Bare", Link(kTally, ""));
    m.Load();
    WriteBackup("C:\\saved.qbk", m.inventory, m.Services());
    EXPECT_EQ(m.Bytes("C:\\saved.qbk"), "[General Info]\r\n"
                                        "Description=Backup of Startup Setting Created by Quillbrook\r\n"
                                        "Create Time=2024-03-07 18:05:09\r\n"
                                        "Number of Startup Items=3\r\n"
                                        "[Item 0]\r\n"
                                        "Program Name=Tally\r\n"
                                        "Command Path=\"" +
                                            kTallyCommand +
                                            "\"\r\n"
                                            "Location=Current User\\Registry\\Run\r\n"
                                            "Rating=Unknown\r\n"
                                            "Status=Enabled\r\n"
                                            "[Item 1]\r\n"
                                            "Program Name=Bare\r\n"
                                            "Command Path=" +
                                            kTally +
                                            "\r\n"
                                            "Location=Current User\\Startup Menu\r\n"
                                            "Rating=Unknown\r\n"
                                            "Status=Enabled\r\n"
                                            "Arguments=\r\n"
                                            "[Item 2]\r\n"
                                            "Program Name=Tally\r\n"
                                            "Command Path=" +
                                            kTally +
                                            "\r\n"
                                            "Location=Current User\\Startup Menu\r\n"
                                            "Rating=Unknown\r\n"
                                            "Status=Enabled\r\n"
                                            "Arguments=--tray\r\n");
}

TEST(Restore, AFileWrittenOverKeepsNoArgumentsOfAnOlderBackup) {
    Machine m;
    m.Shortcut("Bare", Link(kTally, ""));
    m.root.File("C:\\saved.qbk",
                "[General Info]\r\nNumber of Startup Items=1\r\n[Item 0]\r\nProgram Name=Old\r\n"
                "Location=Current User\\Startup Menu\r\nArguments=--old\r\n");
    m.Load();
    WriteBackup("C:\\saved.qbk", m.inventory, m.Services());
    ASSERT_TRUE(m.Restore("C:\\saved.qbk"));
    EXPECT_FALSE(HasPendingChanges(m.inventory));
}

TEST(Restore, ABackupWithoutArgumentsReadsAsBefore) {
    Machine m;
    m.Shortcut("Tally", Link(kTally, "--tray"));
    // As older versions wrote it: no arguments, the quotes of a quoted program lost on reading.
    m.root.File("C:\\old.qbk",
                "[General Info]\r\nNumber of Startup Items=2\r\n"
                "[Item 0]\r\nProgram Name=Tally\r\nCommand Path=" +
                    kTally +
                    "\r\nLocation=Current User\\Startup Menu\r\nStatus=Enabled\r\n"
                    "[Item 1]\r\nProgram Name=Agent\r\nCommand Path=\"C:\\Apps\\agent.exe\"\r\n"
                    "Location=Current User\\Registry\\Run\r\nStatus=Enabled\r\n");
    m.Load();
    ASSERT_TRUE(m.Restore("C:\\old.qbk"));
    ASSERT_EQ(m.inventory.Items.size(), 3u);
    EXPECT_EQ(m.inventory.Items[0]->State, ItemState::Deleted); // the arguments differ
    EXPECT_EQ(m.inventory.Items[1]->Arguments, "");
    EXPECT_EQ(m.inventory.Items[2]->Command, "C:\\Apps\\agent.exe");
}

TEST(AutomaticBackup, RecordsTheSystemAsLoadedNotThePendingChanges) {
    Machine m;
    m.Run("Unchecked", "C:\\a.exe").Run("Checked", "C:\\b.exe", false).Run("Gone", "C:\\c.exe");
    m.Run("Edited", "C:\\d.exe").Shortcut("Link", Link(kTally, "--tray"));
    m.Load();
    m.Find("Unchecked").State = ItemState::Disabled;
    m.Find("Checked").State = ItemState::Enabled;
    m.Find("Gone").State = ItemState::Deleted;
    for (const std::string name : {"Edited", "Link"}) {
        StartupItem& edited = m.Find(name);
        m.inventory.RememberOriginal(edited); // as the entry editor does before its first change
        edited.Edited = true;
        edited.Name = name + " new";
        edited.Command = "C:\\new.exe";
        edited.Arguments = "";
        edited.Location = kCuRun;
    }
    m.Find("Edited new").State = ItemState::Disabled;
    StartupItem added;
    added.Name = "Added";
    added.Command = "C:\\added.exe";
    added.Location = kCuRun;
    m.inventory.Append(added);

    const std::string path = WriteAutoBackup(m.inventory, m.Services());
    EXPECT_EQ(m.Bytes(path), "[General Info]\r\n"
                             "Description=Backup of Startup Setting Created by Quillbrook\r\n"
                             "Create Time=2024-03-07 18:05:09\r\n"
                             "Number of Startup Items=5\r\n"
                             "[Item 0]\r\nProgram Name=Unchecked\r\nCommand Path=C:\\a.exe\r\nLocation=" +
                                 kCuRun +
                                 "\r\nRating=Unknown\r\nStatus=Enabled\r\n"
                                 "[Item 1]\r\nProgram Name=Gone\r\nCommand Path=C:\\c.exe\r\nLocation=" +
                                 kCuRun +
                                 "\r\nRating=Unknown\r\nStatus=Enabled\r\n"
                                 "[Item 2]\r\nProgram Name=Edited\r\nCommand Path=C:\\d.exe\r\nLocation=" +
                                 kCuRun +
                                 "\r\nRating=Unknown\r\nStatus=Enabled\r\n"
                                 "[Item 3]\r\nProgram Name=Checked\r\nCommand Path=C:\\b.exe\r\nLocation=" +
                                 kCuRun +
                                 "\r\nRating=Unknown\r\nStatus=Disabled\r\n"
                                 "[Item 4]\r\nProgram Name=Link\r\nCommand Path=" +
                                 kTally + "\r\nLocation=" + kCuMenu +
                                 "\r\nRating=Unknown\r\nStatus=Enabled\r\nArguments=--tray\r\n");
    // New Backup still records what the records hold now.
    WriteBackup("C:\\now.qbk", m.inventory, m.Services());
    EXPECT_NE(m.Bytes("C:\\now.qbk")
                  .find("[Item 0]\r\nProgram Name=Unchecked\r\nCommand Path=C:\\a.exe\r\n"
                        "Location=" +
                        kCuRun + "\r\nRating=Unknown\r\nStatus=Disabled\r\n"),
              std::string::npos);
}

TEST(AutomaticBackup, LoadingItUndoesTheApplyItPreceded) {
    Machine m;
    Everything(m);
    const auto before = m.System();
    m.Find("Tally").State = ItemState::Disabled;
    m.Find("Kept").State = ItemState::Enabled;
    m.Find("Bare").State = ItemState::Deleted;
    StartupItem& edited = m.Find("Quoted alone");
    m.inventory.RememberOriginal(edited);
    edited.Edited = true;
    edited.Name = "Renamed";
    edited.Command = "C:\\other.exe";
    m.Apply(true);
    ASSERT_NE(m.System(), before);

    ASSERT_TRUE(m.Restore(kTool + "\\backup\\Auto-1.qbk"));
    m.Apply();
    EXPECT_THAT(m.System(), UnorderedElementsAreArray(before));
}

} // namespace qb

#include "backup/backup_file.h"
#include "backup/backup_index.h"
#include "backup/backup_machine.h"
#include "changes/pending_changes.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "platform/platform_error.h"
#include "support/paths.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;

namespace {

using namespace test::paths;

// A machine with a few entries, the database, a fixed clock and scripted dialogs.
struct Machine : test::BackupMachine {
    Machine() {
        root.File("C:\\Apps\\agent.exe")
            .File(kTool + "\\st.dat", "[Agent]\r\nConfirmed=X\r\n")
            .Folder(kTool + "\\backup")
            .Value(RegistryRoot::CurrentUser, CV + "Run", "Agent", "\"C:\\Apps\\agent.exe\"")
            .Value(RegistryRoot::CurrentUser, CV + "RunDisabled", "Off", "C:\\off.exe /x");
        root.System().SetDialogs(dialogs);
    }
    std::string File(const std::string& path) { return Bytes(path); }
};

} // namespace

TEST(BackupFile, IsWrittenAsTheProfileWriterWritesIt) {
    Machine m;
    m.Load();
    m.inventory.Items[0]->State = ItemState::Disabled; // unchecked, not applied: written as it is now
    EXPECT_EQ(WriteBackup(kTool + "\\backup\\one.qbk", m.inventory, m.Services()), "2024-03-07 18:05:09");
    EXPECT_EQ(m.File(kTool + "\\backup\\one.qbk"),
              "[General Info]\r\n"
              "Description=Backup of Startup Setting Created by Quillbrook\r\n"
              "Create Time=2024-03-07 18:05:09\r\n"
              "Number of Startup Items=2\r\n"
              "[Item 0]\r\n"
              "Program Name=Agent\r\n"
              "Command Path=\"\"C:\\Apps\\agent.exe\"\"\r\n" // quoted again: the reader drops one pair
              "Location=Current User\\Registry\\Run\r\n"
              "Rating=Hamful\r\n"
              "Status=Disabled\r\n"
              "[Item 1]\r\n"
              "Program Name=Off\r\n"
              "Command Path=C:\\off.exe /x\r\n"
              "Location=Current User\\Registry\\Run\r\n"
              "Rating=Unknown\r\n"
              "Status=Disabled\r\n");
    const auto index = ReadBackupIndex(m.root.Services().registry);
    ASSERT_EQ(index.size(), 1u);
    EXPECT_EQ(index[0].time, "2024-03-07 18:05:09");
    EXPECT_EQ(index[0].filePath, kTool + "\\backup\\one.qbk");
    EXPECT_EQ(index[0].count, 2u);
}

// On Windows a backup "written" to NUL or CON.qbk goes to the device: no file, yet recorded in the index.
TEST(BackupFile, ABackupToADeviceNameIsRefusedAndNotRecorded) {
    for (const std::string path : {"C:\\NUL", "C:\\CON.qbk", "C:\\Saved\\com1.txt", "C:\\aux .qbk"}) {
        SCOPED_TRACE(path);
        Machine m;
        m.root.Folder("C:\\Saved");
        m.Load();
        EXPECT_THROW(WriteBackup(path, m.inventory, m.Services()), PlatformError);
        EXPECT_FALSE(m.Services().files.FileExists(path));
        EXPECT_FALSE(m.Services().registry.OpenForReading(RegistryRoot::CurrentUser,
                                                          "SOFTWARE\\Quillbrook\\BackupIndex"));
    }
    Machine m;
    m.Load();
    EXPECT_NO_THROW(WriteBackup("C:\\NULL.qbk", m.inventory, m.Services())); // only the names themselves
}

TEST(BackupFile, ABackupOverALongerFileLeavesItsOldSectionsUnread) {
    Machine m;
    std::string old = "[General Info]\r\nNumber of Startup Items=5\r\n";
    for (int i = 0; i < 5; ++i) {
        old += "[Item " + std::to_string(i) + "]\r\nProgram Name=Old" + std::to_string(i) +
               "\r\nLocation=Current User\\Registry\\Run\r\nStatus=Enabled\r\n";
    }
    m.root.File("C:\\b.qbk", old);
    m.Load();
    WriteBackup("C:\\b.qbk", m.inventory, m.Services());
    EXPECT_NE(m.File("C:\\b.qbk").find("[Item 4]\r\nProgram Name=Old4"), std::string::npos);
    m.root.Services().registry.DeleteKey(RegistryRoot::CurrentUser, CV + "Run");
    m.root.Services().registry.DeleteKey(RegistryRoot::CurrentUser, CV + "RunDisabled");
    m.Load();
    ASSERT_TRUE(LoadBackup("C:\\b.qbk", m.inventory, m.Services(), *m.database, m.icons).loaded);
    std::vector<std::string> added;
    for (const auto& item : m.inventory.Items) {
        if (item->LoadedState == ItemState::Deleted) {
            added.push_back(item->Name);
        }
    }
    EXPECT_THAT(added, ElementsAre("Agent", "Off"));
}

TEST(BackupFile, LoadingMarksTheSystemDeletedAndAddsTheBackup) {
    Machine m;
    m.root.File("C:\\b.qbk",
                "[General Info]\r\nNumber of Startup Items=4\r\n"
                "[Item 0]\r\nProgram Name=Agent\r\nCommand Path=\"C:\\Apps\\agent.exe\"\r\n"
                "Location=Current User\\Registry\\Run\r\nRating=Unknown\r\nStatus=Enabled\r\n"
                "[Item 1]\r\nProgram Name=\r\nCommand Path=C:\\x.exe\r\nStatus=Enabled\r\n"
                "[Item 2]\r\nProgram Name=Quiet\r\nCommand Path= \r\n"
                "Location=current user\\registry\\RUNONCE\r\nStatus=enabled\r\n"
                "[Item 3]\r\nProgram Name=Lost\r\nCommand Path=C:\\x.exe\r\nLocation=Nowhere\\Else\r\n"
                "Status=Enabled\r\n");
    m.Load();
    const auto result = LoadBackup("C:\\b.qbk", m.inventory, m.Services(), *m.database, m.icons);
    ASSERT_TRUE(result.loaded);
    ASSERT_EQ(m.inventory.Items.size(), 4u); // two loaded, two added (one without a name, one of no place)
    EXPECT_EQ(m.inventory.Items[0]->State, ItemState::Deleted);
    EXPECT_EQ(m.inventory.Items[1]->State, ItemState::Deleted);
    const StartupItem& agent = *m.inventory.Items[2];
    EXPECT_EQ(agent.Command, "C:\\Apps\\agent.exe"); // the enclosing quotes went with the profile reading
    EXPECT_EQ(agent.Rating, Rating::Harmful);        // the database, not the file
    EXPECT_EQ(agent.State, ItemState::Enabled);
    EXPECT_EQ(agent.LoadedState, ItemState::Deleted);
    EXPECT_TRUE(agent.PathValid);
    const StartupItem& quiet = *m.inventory.Items[3];
    EXPECT_EQ(quiet.Command, "");                // a lone blank comes back empty
    EXPECT_EQ(quiet.Location, kCuRunOnce);       // a label in other letters names its place
    EXPECT_EQ(quiet.State, ItemState::Disabled); // "enabled" is not "Enabled"
    EXPECT_EQ(result.refusedPlaces, 1);          // an unknown label is refused, not written nowhere
    EXPECT_THAT(m.Messages(), ElementsAre("1 entry of the backup was not loaded: no list shows their places "
                                          "(\"Nowhere\\Else\")."));
    EXPECT_EQ(m.inventory.LoadedItems.size(), 2u);
    EXPECT_TRUE(HasPendingChanges(m.inventory));
}

TEST(BackupFile, AFileWithoutACountChangesNothing) {
    for (const std::string content :
         {"", "[General Info]\r\n", "[General Info]\r\nNumber of Startup Items=x\r\n",
          "[General Info]\r\nNumber of Startup Items=-1\r\n"}) {
        Machine m;
        m.root.File("C:\\bad.qbk", content);
        m.Load();
        m.inventory.Items[0]->State = ItemState::Disabled;
        EXPECT_FALSE(LoadBackup("C:\\bad.qbk", m.inventory, m.Services(), *m.database, m.icons).loaded);
        EXPECT_EQ(m.inventory.Items[0]->State, ItemState::Disabled);
        EXPECT_THAT(m.Messages(), ElementsAre("The format of the backup file is not correct!"));
    }
    Machine m;
    m.Load();
    EXPECT_FALSE(LoadBackup("C:\\missing.qbk", m.inventory, m.Services(), *m.database, m.icons).loaded);
    EXPECT_THAT(m.Messages(), ElementsAre("Backup file not exist.")); // not a file of the wrong format
}

// Older versions named a shortcut "Tool.LNK" when its ending was in capitals; a load names it "Tool" now.
// Their backups name the same entry: read so, a restore or a compare of one finds it unchanged.
TEST(BackupFile, AShortcutNamedWithItsEndingByAnOlderVersionIsTheSameEntry) {
    Machine m;
    const std::string startup = "Current User\\Startup Menu";
    const struct {
        std::string name;
        std::string location;
        std::string fileName;
        std::string read;
    } cases[] = {
        {"Upper.LNK", startup, "", "Upper"},
        {"Mixed.Lnk", startup, "", "Mixed"},
        {"double.lnk", startup, "", "double.lnk"},        // "double.lnk.lnk": the first ending went
        {"Notes.LNK", startup, "Notes.LNK", "Notes.LNK"}, // a file that is no shortcut keeps its name
        {"Tool.LNK", "Current User\\Registry\\Run", "", "Tool.LNK"}, // a value's name is its own
    };
    std::string file =
        "[General Info]\r\nNumber of Startup Items=" + std::to_string(std::size(cases)) + "\r\n";
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        file += "[Item " + std::to_string(i) + "]\r\nProgram Name=" + cases[i].name +
                "\r\nCommand Path=C:\\Apps\\agent.exe\r\nLocation=" + cases[i].location +
                "\r\nStatus=Enabled\r\n" +
                (cases[i].fileName.empty() ? "" : "File Name=" + cases[i].fileName + "\r\n");
    }
    m.root.File("C:\\old.qbk", file);
    const auto entries = ReadBackupEntries("C:\\old.qbk", m.Services().profiles);
    ASSERT_TRUE(entries);
    std::vector<std::string> read, want;
    for (const SavedEntry& entry : *entries) {
        read.push_back(entry.name + " @ " + entry.location);
    }
    for (const auto& c : cases) {
        want.push_back(c.read + " @ " + c.location);
    }
    EXPECT_EQ(read, want);
}

TEST(BackupFile, AHugeCountCostsNoMoreThanTheSectionsPresent) {
    Machine m;
    m.root.File("C:\\b.qbk", "[General Info]\r\nNumber of Startup Items=2147483647\r\n"
                             "[Item 0]\r\nProgram Name=Only\r\nLocation=Current User\\Registry\\Run\r\n");
    m.Load();
    ASSERT_TRUE(LoadBackup("C:\\b.qbk", m.inventory, m.Services(), *m.database, m.icons).loaded);
    EXPECT_EQ(m.inventory.Items.back()->Name, "Only");
}

TEST(BackupFile, StartupFolderEntriesWhoseNamesLeaveTheFolderAreSkipped) {
    Machine m;
    std::string content = "[General Info]\r\nNumber of Startup Items=6\r\n";
    const char* names[] = {"..\\..\\Windows\\evil", "ok name", "CON", "a/b", "fine", "trailing."};
    for (int i = 0; i < 6; ++i) {
        content += "[Item " + std::to_string(i) + "]\r\nProgram Name=" + names[i] +
                   "\r\nCommand Path=C:\\x.exe\r\nLocation=Current User\\Startup Menu\r\nStatus=Enabled\r\n";
    }
    content += "[Item 6]\r\nProgram Name=..\\registry is fine\r\nLocation=Current User\\Registry\\Run\r\n";
    content.replace(content.find("=6\r\n"), 4, "=7\r\n");
    m.root.File("C:\\b.qbk", content);
    m.Load();
    const auto result = LoadBackup("C:\\b.qbk", m.inventory, m.Services(), *m.database, m.icons);
    EXPECT_EQ(result.skippedUnsafeNames, 3); // "trailing." is a valid file name with ".lnk" after it
    std::vector<std::string> added;
    for (const auto& item : m.inventory.Items) {
        if (item->LoadedState == ItemState::Deleted) {
            added.push_back(item->Name);
        }
    }
    EXPECT_THAT(added, ElementsAre("ok name", "fine", "trailing.", "..\\registry is fine"));
    EXPECT_THAT(
        m.Messages(),
        ElementsAre("3 entries of the backup were not loaded: their names cannot be file names in a startup "
                    "folder."));
}

TEST(BackupFile, LongTextsAreCutAtACharacterAndLineBreaksCannotForgeSections) {
    Machine m;
    m.root.Value(RegistryRoot::CurrentUser, CV + "Run", "two\r\n[Item 9]\r\nProgram Name=forged",
                 "C:\\x.exe");
    m.root.File("C:\\long.qbk", "[General Info]\r\nNumber of Startup Items=1\r\n[Item 0]\r\nProgram Name=" +
                                    std::string(300, 'n') + "\r\nCommand Path=C:\\" + std::string(255, 'x') +
                                    "\xC3\xBC\r\nLocation=Current User\\Registry\\Run\r\n");
    m.Load();
    WriteBackup("C:\\two.qbk", m.inventory, m.Services());
    EXPECT_EQ(m.File("C:\\two.qbk").find("\r\n[Item 9]"), std::string::npos); // no line of its own
    ASSERT_TRUE(LoadBackup("C:\\long.qbk", m.inventory, m.Services(), *m.database, m.icons).loaded);
    EXPECT_EQ(m.inventory.Items.back()->Name.size(), 259u);
    EXPECT_EQ(m.inventory.Items.back()->Command.size(), 258u);
}

TEST(BackupFile, ABackupLoadsBackAsTheSameSetting) {
    Machine m;
    m.Load();
    WriteBackup("C:\\same.qbk", m.inventory, m.Services());
    ASSERT_TRUE(LoadBackup("C:\\same.qbk", m.inventory, m.Services(), *m.database, m.icons).loaded);
    // Every entry is held as it is, the quoted command too: nothing to delete, nothing to add.
    ASSERT_EQ(m.inventory.Items.size(), 2u);
    for (const auto& item : m.inventory.Items) {
        EXPECT_EQ(item->State, item->LoadedState) << item->Name.str();
    }
    EXPECT_EQ(m.inventory.Items[0]->Command, "\"C:\\Apps\\agent.exe\"");
    EXPECT_FALSE(HasPendingChanges(m.inventory));
}

TEST(BackupIndex, TwoBackupsInOneSecondShareAnEntry) {
    Machine m;
    m.Load();
    WriteBackup("C:\\first.qbk", m.inventory, m.Services());
    WriteBackup("C:\\second.qbk", m.inventory, m.Services());
    const auto index = ReadBackupIndex(m.root.Services().registry);
    ASSERT_EQ(index.size(), 1u);
    EXPECT_EQ(index[0].filePath, "C:\\second.qbk");
    EXPECT_TRUE(m.root.Services().files.FileExists("C:\\first.qbk"));
}

TEST(BackupIndex, AutomaticBackupsAreNumberedAndDeleteAllKeepsTheCounter) {
    Machine m;
    m.Load();
    EXPECT_EQ(WriteAutoBackup(m.inventory, m.Services()), kTool + "\\backup\\Auto-1.qbk");
    m.clock.time.second = 10;
    EXPECT_EQ(WriteAutoBackup(m.inventory, m.Services()), kTool + "\\backup\\Auto-2.qbk");
    m.root.File("C:\\unlisted.qbk", "x");
    DeleteAllBackups(m.Services());
    EXPECT_TRUE(ReadBackupIndex(m.root.Services().registry).empty());
    EXPECT_FALSE(m.root.Services().files.FileExists(kTool + "\\backup\\Auto-1.qbk"));
    EXPECT_TRUE(m.root.Services().files.FileExists("C:\\unlisted.qbk")); // only listed files go
    m.clock.time.second = 11;
    EXPECT_EQ(WriteAutoBackup(m.inventory, m.Services()), kTool + "\\backup\\Auto-3.qbk");
    DeleteAllBackups(m.Services()); // with an index key missing it completes too
    DeleteAllBackups(m.Services());
}

TEST(BackupIndex, DeletingOneBackupRemovesItsFileAndEntry) {
    Machine m;
    m.Load();
    WriteBackup("C:\\one.qbk", m.inventory, m.Services());
    m.clock.time.minute = 6;
    WriteBackup("C:\\two.qbk", m.inventory, m.Services());
    auto index = ReadBackupIndex(m.root.Services().registry);
    ASSERT_EQ(index.size(), 2u);
    std::filesystem::remove(m.root.Host("C:\\one.qbk")); // gone outside the tool: the entry still goes
    DeleteBackup(index[0], m.Services());
    index = ReadBackupIndex(m.root.Services().registry);
    ASSERT_EQ(index.size(), 1u);
    EXPECT_EQ(index[0].filePath, "C:\\two.qbk");
}

// Extensions are the same in any letter case, as on Windows, whose file dialog gives the filter's "*.QBK".
TEST(BackupIndex, NewBackupNamesGetTheExtensionUnlessTheyHoldIt) {
    EXPECT_EQ(BackupFileName("mysetting"), "mysetting.qbk");
    EXPECT_EQ(BackupFileName("before test.QBK"), "before test.QBK");
    EXPECT_EQ(BackupFileName("Mixed.Qbk"), "Mixed.Qbk");
    EXPECT_EQ(BackupFileName("old.qbk.txt"), "old.qbk.txt");
}

TEST(BackupFile, AFailedWriteLeavesNoIndexEntry) {
    Machine m;
    m.Load();
    EXPECT_THROW(WriteBackup("C:\\No Folder\\x.qbk", m.inventory, m.Services()), PlatformError);
    EXPECT_TRUE(ReadBackupIndex(m.root.Services().registry).empty());
}

} // namespace qb

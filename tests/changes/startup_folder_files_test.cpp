// A startup folder's file that is no shortcut (a script, a program, a document, an Internet shortcut, or a
// shortcut Windows cannot load) is the file itself: it moves aside and back byte for byte, is deleted as a
// file, is recorded by a backup, and is never rebuilt from the list's text.

#include "backup/backup_file.h"
#include "changes/apply_engine.h"
#include "changes/entry_editor.h"
#include "support/startup_machine.h"

#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using namespace test;
using ::testing::ElementsAre;
using Machine = StartupMachine;

namespace {

const std::string kKept = kTool + "\\ShortCutCurrUser";
const std::string kNotMadeAgain = "it is a file, not a shortcut, and cannot be made again once gone";

struct FolderFileCase {
    std::string fileName;
    std::string entryName;
    std::string bytes;
};

// Each sort of file a program may drop into the folder.
const std::vector<FolderFileCase> kFiles = {
    {"boot.bat", "boot.bat", "@echo off\r\nstart C:\\Apps\\app.exe\r\n"},
    {"updater.exe", "updater.exe", std::string("MZ\x90\0\3\0\0\0", 8)},
    {"Site.url", "Site", "[InternetShortcut]\r\nURL=https://example.com/\r\n"},
    {"broken.lnk", "broken", std::string("L\0\0\0\1\x14\2\0", 8)}, // a shortcut cut short
};

std::string Bytes(Machine& m, const std::string& path) {
    return m.Services().files.ReadFile(path).value_or("(missing)");
}

} // namespace

TEST(StartupFolderFiles, DisableEnableAndDeleteMoveTheFileByteForByte) {
    for (const FolderFileCase& c : kFiles) {
        SCOPED_TRACE(c.fileName);
        Machine m;
        const std::string inFolder = kUserStartup + "\\" + c.fileName;
        const std::string aside = kKept + "\\" + c.fileName;
        m.root.File(inFolder, c.bytes);
        m.Load();

        m.Find(c.entryName, kCuMenu).State = ItemState::Disabled;
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_THAT(m.NotChanged(), ElementsAre());
        EXPECT_FALSE(m.Exists(inFolder));
        EXPECT_EQ(Bytes(m, aside), c.bytes);
        EXPECT_EQ(m.Find(c.entryName, kCuMenu).State, ItemState::Disabled);

        m.Find(c.entryName, kCuMenu).State = ItemState::Enabled;
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_THAT(m.NotChanged(), ElementsAre());
        EXPECT_FALSE(m.Exists(aside));
        EXPECT_EQ(Bytes(m, inFolder), c.bytes);

        m.Find(c.entryName, kCuMenu).State = ItemState::Deleted;
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_THAT(m.NotChanged(), ElementsAre());
        EXPECT_FALSE(m.Exists(inFolder));
        EXPECT_FALSE(m.Exists(aside));
    }
}

// Moving a file aside and back is no change of the entry: its command is where Windows opens it.
TEST(StartupFolderFiles, ADisabledFileKeepsItsCommand) {
    Machine m;
    m.root.File(kUserStartup + "\\boot.bat", "@echo off\r\n");
    m.Load();
    const std::string command = m.Find("boot.bat", kCuMenu).Command.str();
    EXPECT_EQ(command, kUserStartup + "\\boot.bat");
    m.Find("boot.bat", kCuMenu).State = ItemState::Disabled;
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_EQ(m.Find("boot.bat", kCuMenu).Command.str(), command);
    EXPECT_TRUE(m.Find("boot.bat", kCuMenu).PathValid);
}

// A backup records such a file; restoring it while the file is there puts it back in the backup's state,
// and once the file is gone the restore says it cannot be made again and harms nothing else.
TEST(StartupFolderFiles, ARestoreMovesAFileThatIsThereAndSaysWhenItIsGone) {
    for (const FolderFileCase& c : kFiles) {
        SCOPED_TRACE(c.fileName);
        Machine m;
        const std::string inFolder = kUserStartup + "\\" + c.fileName;
        m.root.File(inFolder, c.bytes).Value(HKCU, CV + "Run", "Agent", "C:\\Apps\\app.exe");
        m.Load();
        const std::string backup = kTool + "\\backup\\files.qbk";
        WriteBackup(backup, m.inventory, m.Services(), BackupContent::HeldNow);

        // Disabled since: the restore enables the very file again.
        m.Find(c.entryName, kCuMenu).State = ItemState::Disabled;
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        ASSERT_TRUE(LoadBackup(backup, m.inventory, m.Services(), *m.database, m.icons).loaded);
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_THAT(m.NotChanged(), ElementsAre());
        EXPECT_EQ(Bytes(m, inFolder), c.bytes);

        // Deleted since: nothing can make it again, and the rest of the restore goes on.
        m.Find(c.entryName, kCuMenu).State = ItemState::Deleted;
        m.Find("Agent", kCuRun).State = ItemState::Deleted;
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        ASSERT_TRUE(LoadBackup(backup, m.inventory, m.Services(), *m.database, m.icons).loaded);
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_THAT(m.NotChanged(), ElementsAre(c.entryName + " (" + kCuMenu + "): " + kNotMadeAgain));
        EXPECT_FALSE(m.Exists(inFolder));
        EXPECT_FALSE(m.Exists(kUserStartup + "\\" + c.entryName + ".lnk")); // no shortcut in its place
        EXPECT_TRUE(m.Value(HKCU, CV + "Run", "Agent"));
    }
}

// A shortcut's target and arguments can be changed; a file opened as it is has neither, in the window
// and on the command line alike.
TEST(StartupFolderFiles, OnlyShortcutsCanBeEdited) {
    Machine m;
    m.root.File("C:\\Apps\\app.exe").Shortcut(kUserStartup + "\\Tool.lnk", "C:\\Apps\\app.exe");
    for (const FolderFileCase& c : kFiles) {
        m.root.File(kUserStartup + "\\" + c.fileName, c.bytes);
    }
    m.Load();
    EXPECT_EQ(EditRefusal(m.Find("Tool", kCuMenu)), std::nullopt);
    for (const FolderFileCase& c : kFiles) {
        SCOPED_TRACE(c.fileName);
        const StartupItem& item = m.Find(c.entryName, kCuMenu);
        EXPECT_EQ(EditRefusal(item), std::string(kOnlyShortcutsEditedMessage));
        int index = -1;
        for (std::size_t i = 0; i < m.inventory.Items.size(); ++i) {
            if (m.inventory.Items[i].get() == &item) {
                index = static_cast<int>(i);
            }
        }
        EXPECT_EQ(EditorInputProblem(m.inventory, "Other", "C:\\Apps\\app.exe", kCuMenu, index),
                  std::string(kOnlyShortcutsEditedMessage));
    }
}

} // namespace qb

#include "changes/apply_engine.h"
#include "changes/pending_changes.h"
#include "platform/platform_error.h"
#include "support/startup_machine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;

using namespace test;
using Machine = StartupMachine;

TEST(ApplyEngine, NothingPendingIsSaidAndACancelWritesNothing) {
    Machine m;
    m.Load();
    EXPECT_EQ(m.Apply(), ApplyOutcome::NothingPending);
    EXPECT_THAT(m.dialogs.Messages().back().text, "There is no changes in the startup list.");
    m.Add("New", "C:\\Apps\\app.exe", kCuRun);
    Confirm cancel(std::nullopt);
    EXPECT_EQ(ApplyChanges(m.inventory, m.Services(), cancel, *m.database, m.icons), ApplyOutcome::Cancelled);
    EXPECT_FALSE(m.Value(HKCU, CV + "Run", "New").has_value());
    EXPECT_FALSE(m.Services().registry.OpenForReading(HKCU, "SOFTWARE\\Quillbrook")); // not even AutoBackup
}

TEST(ApplyEngine, RegistryRowsChangeAsTheTableSays) {
    Machine m;
    m.root.Value(HKCU, CV + "Run", "On", "C:\\Apps\\app.exe /on")
        .Value(HKCU, CV + "RunDisabled", "Off", "C:\\Apps\\app.exe /off")
        .Value(HKCU, CV + "Run", "Gone", "C:\\gone.exe")
        .Value(HKCU, CV + "RunDisabled", "GoneToo", "C:\\gone2.exe")
        .Value(HKCU, CV + "Run", "Renamed", "C:\\Apps\\app.exe")
        .Value(HKCU, CV + "Run", "Moved", "C:\\Apps\\app.exe -m")
        .Value(HKLM, CV + "Policies\\Explorer\\Run", "Policy", "C:\\Apps\\app.exe");
    m.Load();
    m.Find("On", kCuRun).State = ItemState::Disabled;
    m.Find("Off", kCuRun).State = ItemState::Enabled;
    m.Find("Gone", kCuRun).State = ItemState::Deleted;
    m.Find("GoneToo", kCuRun).State = ItemState::Deleted;
    m.Edit(m.Find("Renamed", kCuRun), "NewName", "C:\\Apps\\app.exe", kCuRun);
    m.Edit(m.Find("Moved", kCuRun), "Moved", "C:\\Apps\\app.exe -m", kLmRun);
    m.Find("Policy", "Current User\\Registry\\Explorer Run").State = ItemState::Disabled;
    m.Add("AddedOn", "%ProgramFiles%\\App\\app.exe", kCuRun);
    m.Add("AddedOff", "C:\\Apps\\app.exe", kLmRun, ItemState::Disabled);
    m.Add("Nowhere", "C:\\Apps\\app.exe", "No\\Such\\Place");
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);

    EXPECT_FALSE(m.Value(HKCU, CV + "Run", "On"));
    EXPECT_EQ(m.Value(HKCU, CV + "RunDisabled", "On"), RegistryValue::String("C:\\Apps\\app.exe /on"));
    EXPECT_FALSE(m.Value(HKCU, CV + "RunDisabled", "Off"));
    EXPECT_EQ(m.Value(HKCU, CV + "Run", "Off"), RegistryValue::String("C:\\Apps\\app.exe /off"));
    EXPECT_FALSE(m.Value(HKCU, CV + "Run", "Gone"));
    EXPECT_FALSE(m.Value(HKCU, CV + "RunDisabled", "GoneToo"));
    EXPECT_FALSE(m.Value(HKCU, CV + "Run", "Renamed"));
    EXPECT_TRUE(m.Value(HKCU, CV + "Run", "NewName"));
    EXPECT_FALSE(m.Value(HKCU, CV + "Run", "Moved"));
    EXPECT_TRUE(m.Value(HKLM, CV + "Run", "Moved"));
    // The machine's Explorer Run key keeps its own hive, whatever its label says.
    EXPECT_TRUE(m.Value(HKLM, CV + "Policies\\Explorer\\RunDisabled", "Policy"));
    // A %NAME% reference is stored so that Windows expands it.
    EXPECT_EQ(m.Value(HKCU, CV + "Run", "AddedOn"),
              RegistryValue::ExpandString("%ProgramFiles%\\App\\app.exe"));
    EXPECT_TRUE(m.Value(HKLM, CV + "RunDisabled", "AddedOff"));
    EXPECT_THAT(m.NotChanged(), ElementsAre("Nowhere (No\\Such\\Place): no such place"));
    EXPECT_FALSE(HasPendingChanges(m.inventory)); // reloaded: no mark survives
}

TEST(ApplyEngine, StartupFolderRowsChangeAsTheTableSays) {
    Machine m;
    m.root.Shortcut(kUserStartup + "\\On.lnk", "C:\\Apps\\app.exe")
        .Shortcut(kTool + "\\ShortCutCurrUser\\Off.lnk", "C:\\Apps\\app.exe")
        .Shortcut(kCommonStartup + "\\Gone.lnk", "C:\\Apps\\app.exe");
    m.Load();
    m.Find("On", kCuMenu).State = ItemState::Disabled;
    m.Find("Off", kCuMenu).State = ItemState::Enabled;
    m.Find("Gone", kLmMenu).State = ItemState::Deleted;
    m.Add("Fresh", "\"C:\\Apps\\app.exe\" /tray", kCuMenu);
    m.Add("Unticked", "C:\\Apps\\app.exe", kLmMenu, ItemState::Disabled);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_FALSE(m.Exists(kUserStartup + "\\On.lnk"));
    EXPECT_TRUE(m.Exists(kTool + "\\ShortCutCurrUser\\On.lnk"));
    EXPECT_TRUE(m.Exists(kUserStartup + "\\Off.lnk"));
    EXPECT_FALSE(m.Exists(kTool + "\\ShortCutCurrUser\\Off.lnk"));
    EXPECT_FALSE(m.Exists(kCommonStartup + "\\Gone.lnk"));
    const auto fresh = m.Services().shell.LoadShortcut(kUserStartup + "\\Fresh.lnk");
    ASSERT_TRUE(fresh.has_value());
    EXPECT_EQ(fresh->target, "C:\\Apps\\app.exe");
    EXPECT_EQ(fresh->arguments, "/tray");
    EXPECT_EQ(fresh->description, "Shortcut created by Quillbrook");
    EXPECT_TRUE(m.Exists(kTool + "\\ShortCutAllUser\\Unticked.lnk"));
    EXPECT_FALSE(m.Exists(kCommonStartup + "\\Unticked.lnk"));
    EXPECT_TRUE(m.OnSystem().contains("Unticked @ All Users\\Startup Menu -"));
}

TEST(ApplyEngine, EnablingBringsBackTheUsersOwnShortcut) {
    Machine m;
    ShortcutInfo own{"C:\\Apps\\app.exe", "--profile work", "mine", "C:\\Apps", "C:\\Apps\\app.exe", 2, 7};
    ASSERT_TRUE(m.Services().shell.SaveShortcut(kUserStartup + "\\Own.lnk", own));
    m.Load();
    m.Find("Own", kCuMenu).State = ItemState::Disabled;
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    m.Find("Own", kCuMenu).State = ItemState::Enabled;
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    const auto back = m.Services().shell.LoadShortcut(kUserStartup + "\\Own.lnk");
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->arguments, "--profile work");
    EXPECT_EQ(back->workingDirectory, "C:\\Apps");
    EXPECT_EQ(back->iconIndex, 2);
    EXPECT_FALSE(m.Exists(kTool + "\\ShortCutCurrUser\\Own.lnk"));
}

TEST(ApplyEngine, EditsRenameAndMoveBetweenRegistryAndFolders) {
    Machine m;
    m.root.Value(HKCU, CV + "Run", "A", "C:\\Apps\\app.exe")
        .Value(HKCU, CV + "Run", "Same", "C:\\Apps\\app.exe");
    m.Load();
    m.Edit(m.Find("A", kCuRun), "B", "C:\\Apps\\app.exe /b", kCuMenu);
    m.Edit(m.Find("Same", kCuRun), "Same", "C:\\Apps\\app.exe /new", kCuRun); // unchanged name
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_FALSE(m.Value(HKCU, CV + "Run", "A"));
    EXPECT_TRUE(m.Exists(kUserStartup + "\\B.lnk"));
    EXPECT_EQ(m.Value(HKCU, CV + "Run", "Same"), RegistryValue::String("C:\\Apps\\app.exe /new"));
}

TEST(ApplyEngine, AnAddedThenEditedEntryLeavesOtherEntriesOfItsFirstNameAlone) {
    Machine m;
    m.root.Value(HKCU, CV + "RunDisabled", "Foo", "C:\\someone\\else.exe");
    m.Load();
    StartupItem& added = m.Add("Foo", "C:\\Apps\\app.exe", kCuRun);
    m.Edit(added, "Bar", "C:\\Apps\\app.exe", kCuRun);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_TRUE(m.Value(HKCU, CV + "RunDisabled", "Foo")); // not ours to remove
    EXPECT_TRUE(m.Value(HKCU, CV + "Run", "Bar"));
}

TEST(ApplyEngine, ARestoreThatHoldsTheSystemsEntryLeavesItPresent) {
    Machine m;
    m.root.Value(HKCU, CV + "Run", "Kept", RegistryValue::ExpandString("C:\\Apps\\app.exe"));
    m.Load();
    m.Find("Kept", kCuRun).State = ItemState::Deleted;
    m.Add("Kept", "C:\\Apps\\app.exe", kCuRun);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_EQ(m.Value(HKCU, CV + "Run", "Kept"), RegistryValue::String("C:\\Apps\\app.exe"));
}

TEST(ApplyEngine, TheBackupChoiceIsRememberedAndTheBackupMadeFirst) {
    Machine m;
    m.root.Value(HKCU, CV + "Run", "On", "C:\\Apps\\app.exe");
    m.Load();
    m.Find("On", kCuRun).State = ItemState::Disabled;
    ASSERT_EQ(m.Apply(m.Services(), true), ApplyOutcome::Applied);
    EXPECT_EQ(m.report.autoBackupPath, kTool + "\\backup\\Auto-1.qbk");
    const std::string backup = test::ReadText(m.root.Host(m.report.autoBackupPath));
    EXPECT_NE(
        backup.find(
            "Program Name=On\r\nCommand Path=C:\\Apps\\app.exe\r\nLocation=Current User\\Registry\\Run\r\n"
            "Rating=Unknown\r\nStatus=Enabled"),
        std::string::npos); // the system before the apply, so that loading the backup undoes it
    EXPECT_EQ(m.Value(HKCU, "SOFTWARE\\Quillbrook", "AutoBackup"), RegistryValue::Dword(1));
    m.Find("On", kCuRun).State = ItemState::Enabled;
    ASSERT_EQ(m.Apply(m.Services(), false), ApplyOutcome::Applied);
    EXPECT_EQ(m.Value(HKCU, "SOFTWARE\\Quillbrook", "AutoBackup"), RegistryValue::Dword(0));
    EXPECT_FALSE(m.Exists(kTool + "\\backup\\Auto-2.qbk"));
}

TEST(ApplyEngine, AFailedAutomaticBackupChangesNoEntry) {
    Machine m;
    m.root.Value(HKCU, CV + "Run", "On", "C:\\Apps\\app.exe");
    std::filesystem::remove(m.root.Host(kTool + "\\backup"));
    m.Load();
    m.Find("On", kCuRun).State = ItemState::Disabled;
    EXPECT_THROW(m.Apply(m.Services(), true), PlatformError);
    EXPECT_TRUE(m.Value(HKCU, CV + "Run", "On"));
    EXPECT_EQ(m.Find("On", kCuRun).State, ItemState::Disabled); // the marks stay
}

TEST(ApplyEngine, AStandardUserLosesNoMachineEntryAndIsTold) {
    Machine m("Administrator=0");
    m.root.Value(HKLM, CV + "Run", "Machine", "C:\\Apps\\app.exe")
        .Value(HKCU, CV + "Run", "Mine", "C:\\Apps\\app.exe");
    m.Load();
    m.Find("Machine", kLmRun).State = ItemState::Disabled;
    m.Find("Mine", kCuRun).State = ItemState::Disabled;
    m.Edit(m.Find("Machine", kLmRun), "Machine", "C:\\Apps\\app.exe", kCuRun); // moving it needs HKLM too
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_TRUE(m.Value(HKLM, CV + "Run", "Machine"));
    EXPECT_FALSE(m.Value(HKCU, CV + "Run", "Machine")); // not moved, so not copied either
    EXPECT_TRUE(m.Value(HKCU, CV + "RunDisabled", "Mine"));
    EXPECT_THAT(m.NotChanged(), ElementsAre("Machine (All Users\\Registry\\Run): access denied"));
}

TEST(ApplyEngine, NamesThatWouldLeaveTheFolderAreNeverFiles) {
    Machine m;
    m.Load();
    m.Add("..\\..\\..\\Windows\\evil", "C:\\Apps\\app.exe", kCuMenu);
    m.Add("CON", "C:\\Apps\\app.exe", kLmMenu, ItemState::Disabled);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_EQ(m.report.notChanged.size(), 2u);
    EXPECT_FALSE(
        std::filesystem::exists(m.root.Host("C:\\Users\\User\\AppData\\Roaming\\Windows\\evil.lnk")));
    EXPECT_TRUE(m.Services().files.FindFiles(kTool + "\\ShortCutAllUser", "*.*").empty());
}

TEST(ApplyEngine, WithoutAStartupFolderNothingIsMadeElsewhere) {
    Machine m("Startup=");
    m.root.Shortcut(kTool + "\\ShortCutCurrUser\\Kept.lnk", "C:\\Apps\\app.exe");
    m.Load();
    m.Find("Kept", kCuMenu).State = ItemState::Enabled;
    m.Add("New", "C:\\Apps\\app.exe", kCuMenu);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_TRUE(m.Exists(kTool + "\\ShortCutCurrUser\\Kept.lnk")); // still kept, not lost
    EXPECT_EQ(m.report.notChanged.size(), 2u);
}

} // namespace qb

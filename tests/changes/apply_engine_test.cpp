#include "changes/apply_engine.h"
#include "changes/pending_changes.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "platform/faults/faulty_services.h"
#include "platform/platform_error.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace qb {

using ::testing::ElementsAre;

namespace {

constexpr auto HKLM = RegistryRoot::LocalMachine;
constexpr auto HKCU = RegistryRoot::CurrentUser;
const std::string CV = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
const std::string kTool = "C:\\Program Files\\Quillbrook";
const std::string kUserStartup =
    "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
const std::string kCommonStartup = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";
const std::string kCuRun = "Current User\\Registry\\Run";
const std::string kLmRun = "All Users\\Registry\\Run";
const std::string kCuMenu = "Current User\\Startup Menu";
const std::string kLmMenu = "All Users\\Startup Menu";

class Confirm : public ApplyConfirmation {
public:
    explicit Confirm(std::optional<bool> answer) : answer_(answer) {}
    std::optional<bool> ConfirmWithBackupChoice(const Inventory&) override { return answer_; }

private:
    std::optional<bool> answer_;
};

// A machine with the startup folders registered, and the tool's view of it.
struct Machine {
    explicit Machine(const std::string& settings = "") {
        if (!settings.empty()) {
            root.Settings(settings);
        }
        root.Value(HKLM, CV + "Explorer\\Shell Folders", "Common Startup", kCommonStartup)
            .Value(HKCU, CV + "Explorer\\Shell Folders", "Startup", kUserStartup)
            .Folder(kCommonStartup)
            .Folder(kUserStartup)
            .Folder(kTool + "\\backup")
            .File("C:\\Apps\\app.exe");
        root.System().SetDialogs(dialogs);
    }
    PlatformServices Services() { return root.Services(); }
    void Load() {
        database = std::make_unique<ProgramDatabase>(Services().files);
        LoadInventory(inventory, Services(), *database, icons);
    }
    StartupItem& Find(const std::string& name, const std::string& location) {
        for (auto& item : inventory.Items) {
            if (item->Name == name && item->Location == location && item->State != ItemState::Deleted) {
                return *item;
            }
        }
        throw std::runtime_error("no entry " + name);
    }
    StartupItem& Add(const std::string& name, const std::string& command, const std::string& location,
                     ItemState state = ItemState::Enabled) {
        StartupItem item;
        item.Name = name;
        item.Command = command;
        item.Location = location;
        item.State = state;
        return inventory.Append(std::move(item));
    }
    void Edit(StartupItem& item, const std::string& name, const std::string& command,
              const std::string& location) {
        inventory.RememberOriginal(item);
        item.Name = name;
        item.Command = command;
        item.Location = location;
        item.Edited = true;
    }
    ApplyOutcome Apply(PlatformServices services, bool backup = false) {
        Confirm yes(backup);
        return ApplyChanges(inventory, services, yes, *database, icons, true, &report);
    }
    ApplyOutcome Apply() { return Apply(Services()); }
    // Every entry the system holds now: "name @ location +/-".
    std::set<std::string> OnSystem() {
        Inventory fresh;
        ProgramDatabase db(Services().files);
        CountingIconSink sink;
        LoadInventory(fresh, Services(), db, sink);
        std::set<std::string> out;
        for (const auto& item : fresh.Items) {
            out.insert(item->Name.str() + " @ " + item->Location.str() +
                       (item->State == ItemState::Enabled ? " +" : " -"));
        }
        return out;
    }
    std::optional<RegistryValue> Value(RegistryRoot hive, const std::string& key, const std::string& name) {
        const auto opened = Services().registry.OpenForReading(hive, key);
        return opened ? opened->ReadValue(name) : std::nullopt;
    }
    bool Exists(const std::string& path) { return Services().files.FileExists(path); }

    test::SandboxRoot root;
    test::ScriptedDialogs dialogs;
    Inventory inventory;
    std::unique_ptr<ProgramDatabase> database;
    CountingIconSink icons;
    ApplyReport report;
};

} // namespace

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
    EXPECT_THAT(m.report.notChanged, ElementsAre("Nowhere (No\\Such\\Place)"));
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
            "Rating=Unknown\r\nStatus=Disabled"),
        std::string::npos); // the values held in memory when the backup was written
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
    EXPECT_TRUE(m.Value(HKCU, CV + "RunDisabled", "Mine"));
    EXPECT_FALSE(m.report.notChanged.empty());
    EXPECT_NE(m.dialogs.Messages().back().text.find("Machine (All Users\\Registry\\Run)"), std::string::npos);
}

TEST(ApplyEngine, AnEntryWhoseNameWasCutIsNotCopiedUnderTheCutName) {
    Machine m;
    const std::string longName(300, 'n');
    m.root.Value(HKCU, CV + "Run", longName, "C:\\Apps\\app.exe");
    m.Load();
    m.Find(longName.substr(0, 259), kCuRun).State = ItemState::Disabled;
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_TRUE(m.Value(HKCU, CV + "Run", longName));                         // left where it is
    EXPECT_FALSE(m.Value(HKCU, CV + "RunDisabled", longName.substr(0, 259))); // and no copy made
    EXPECT_EQ(m.report.notChanged.size(), 1u);
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

// Every platform change of a mixed apply fails in turn: afterwards every entry is somewhere, and a second
// apply finishes the job.
TEST(ApplyEngine, NoInjectedFaultLosesAnEntry) {
    const auto prepare = [](Machine& m) {
        m.root.Value(HKCU, CV + "RunDisabled", "Enable", "C:\\Apps\\app.exe /e")
            .Value(HKCU, CV + "Run", "Disable", "C:\\Apps\\app.exe /d")
            .Value(HKCU, CV + "Run", "Edit", "C:\\Apps\\app.exe /old")
            .Value(HKCU, CV + "Run", "Delete", "C:\\Apps\\app.exe /x")
            .Shortcut(kUserStartup + "\\MenuOff.lnk", "C:\\Apps\\app.exe")
            .Shortcut(kTool + "\\ShortCutCurrUser\\MenuOn.lnk", "C:\\Apps\\app.exe");
        m.Load();
        m.Find("Enable", kCuRun).State = ItemState::Enabled;
        m.Find("Disable", kCuRun).State = ItemState::Disabled;
        m.Edit(m.Find("Edit", kCuRun), "Edited", "C:\\Apps\\app.exe /new", kCuMenu);
        m.Find("Delete", kCuRun).State = ItemState::Deleted;
        m.Find("MenuOff", kCuMenu).State = ItemState::Disabled;
        m.Find("MenuOn", kCuMenu).State = ItemState::Enabled;
        m.Add("Added", "C:\\Apps\\app.exe", kCuRun);
    };
    const std::set<std::string> expected = {
        "Enable @ Current User\\Registry\\Run +", "Disable @ Current User\\Registry\\Run -",
        "Edited @ Current User\\Startup Menu +",  "MenuOff @ Current User\\Startup Menu -",
        "MenuOn @ Current User\\Startup Menu +",  "Added @ Current User\\Registry\\Run +"};
    // Each entry, by the names it may have: present under one of them, in either state.
    const std::vector<std::vector<std::string>> entries = {
        {"Enable"}, {"Disable"}, {"Edit", "Edited"}, {"MenuOff"}, {"MenuOn"}};
    int changes = 0;
    {
        Machine m;
        prepare(m);
        FaultPlan plan;
        PlatformServices s = m.Services();
        FaultyRegistry registry(s.registry, plan);
        FaultyFileSystem files(s.files, plan);
        FaultyShell shell(s.shell, plan);
        m.Apply({registry, s.profiles, files, shell, s.processes, s.system, s.dialogs, s.browser, s.clock});
        changes = plan.ChangesSeen();
        EXPECT_EQ(m.OnSystem(), expected);
    }
    ASSERT_GT(changes, 10);
    for (int failing = 0; failing < changes; ++failing) {
        SCOPED_TRACE("failing change " + std::to_string(failing));
        Machine m;
        prepare(m);
        FaultPlan plan;
        plan.FailChange(failing);
        PlatformServices s = m.Services();
        FaultyRegistry registry(s.registry, plan);
        FaultyFileSystem files(s.files, plan);
        FaultyShell shell(s.shell, plan);
        try {
            m.Apply(
                {registry, s.profiles, files, shell, s.processes, s.system, s.dialogs, s.browser, s.clock});
        } catch (const PlatformError&) {
        }
        const auto present = m.OnSystem();
        for (const auto& names : entries) {
            bool found = false;
            for (const auto& entry : present) {
                for (const auto& name : names) {
                    found = found || entry.starts_with(name + " @ ");
                }
            }
            EXPECT_TRUE(found) << names.front() << " is gone after failing " << plan.Log().back().name;
        }
        if (HasPendingChanges(m.inventory)) {
            ASSERT_EQ(m.Apply(), ApplyOutcome::Applied); // the marks stayed: apply again
        } else {
            prepare(m); // reloaded: make the same changes again on what is there now
        }
        if (HasPendingChanges(m.inventory)) {
            m.Apply();
        }
        for (const auto& entry : expected) {
            EXPECT_TRUE(m.OnSystem().contains(entry)) << entry;
        }
    }
}

} // namespace qb

// What an apply must never do: lose an entry, write a cut text over the real one, or call a failure done.

#include "backup/backup_file.h"
#include "changes/apply_engine.h"
#include "changes/pending_changes.h"
#include "platform/platform_error.h"
#include "support/paths.h"
#include "support/startup_machine.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>

namespace qb {

using namespace test;
using ::testing::ElementsAre;
using Machine = StartupMachine;

namespace {

const std::string kLmRun32 = "All Users\\Registry\\Run (32-bit)";
const std::string kApproved = CV + "Explorer\\StartupApproved\\";
// Windows' own switch, off (Task Manager's flag bytes, no date).
const RegistryValue kSwitchOff = RegistryValue::Binary(std::string("\x03\0\0\0\0\0\0\0\0\0\0\0", 12));

StartupItem* FindIf(Machine& m, const std::string& name, const std::string& location) {
    for (auto& item : m.inventory.Items) {
        if (item->Name == name && item->Location == location && item->State != ItemState::Deleted) {
            return item.get();
        }
    }
    return nullptr;
}

} // namespace

// Removals come before every write, so a name freed in an apply can be taken in the same apply.
TEST(ApplySafety, ANameFreedAndTakenInOneApplyIsTaken) {
    struct Case {
        std::string what;
        std::function<void(Machine&)> mark;
        std::set<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"delete one, rename another to its name",
         [](Machine& m) {
             m.Find("svch0st", kCuRun).State = ItemState::Deleted;
             m.Edit(m.Find("Padnote", kCuRun), "svch0st", "C:\\Apps\\app.exe /pad", kCuRun);
         },
         {"svch0st @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /pad",
          "Shared @ All Users\\Registry\\Run + : C:\\Apps\\app.exe /machine",
          "Shared @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /user"}},
        {"delete the user's copy, move the machine's copy to the user",
         [](Machine& m) {
             m.Find("Shared", kCuRun).State = ItemState::Deleted;
             m.Edit(m.Find("Shared", kLmRun), "Shared", "C:\\Apps\\app.exe /machine", kCuRun);
         },
         {"Padnote @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /pad",
          "svch0st @ Current User\\Registry\\Run + : C:\\Apps\\bad.exe",
          "Shared @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /machine"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Machine m;
        // The deleted entry comes after the renamed one in the list, as it did when both were lost.
        m.root.Value(HKCU, CV + "Run", "Padnote", "C:\\Apps\\app.exe /pad")
            .Value(HKCU, CV + "Run", "svch0st", "C:\\Apps\\bad.exe")
            .Value(HKLM, CV + "Run", "Shared", "C:\\Apps\\app.exe /machine")
            .Value(HKCU, CV + "Run", "Shared", "C:\\Apps\\app.exe /user");
        m.Load();
        c.mark(m);
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_EQ(m.WholeSystem(), c.expected);
        EXPECT_THAT(m.NotChanged(), ElementsAre());
    }
}

// Registry value names and file names ignore letter case on Windows: an add in another case is a duplicate
// and never replaces the entry that is there.
TEST(ApplySafety, AnAddInAnotherLetterCaseReplacesNothing) {
    struct Case {
        std::string name;
        std::string location;
        ItemState state;
    };
    const std::vector<Case> cases = {
        {"padnote", kCuRun, ItemState::Enabled},
        {"PADNOTE", kCuRun, ItemState::Disabled}, // the twin key: the next load would remove it
        {"padnote quick note", kCuMenu, ItemState::Enabled},
        {"PadNote Quick Note", kCuMenu, ItemState::Disabled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m;
        m.root.Value(HKCU, CV + "Run", "Padnote", "C:\\Apps\\app.exe /pad");
        ShortcutInfo own{"C:\\Apps\\app.exe", "--quick", "mine", "C:\\Apps", "", 0, 1};
        ASSERT_TRUE(m.Services().shell.SaveShortcut(kUserStartup + "\\Padnote Quick Note.lnk", own));
        m.Load();
        const auto before = m.WholeSystem();
        m.Add(c.name, "C:\\Apps\\other.exe", c.location, c.state);
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_EQ(m.WholeSystem(), before);
        EXPECT_THAT(m.NotChanged(),
                    ElementsAre(c.name + " (" + c.location + "): an entry of that name is already there"));
    }
}

// A shortcut moved to a run key keeps what it runs: its arguments follow its program on the command line,
// the program quoted where it holds a blank. Moved back, the shortcut gets them as arguments again.
TEST(ApplySafety, AShortcutMovedToARunKeyKeepsItsArguments) {
    Machine m;
    ShortcutInfo link{"C:\\Program Files\\Apps\\app.exe", "--tray -p \"a b\"", "mine", "C:\\Apps", "", 0, 1};
    ASSERT_TRUE(m.Services().shell.SaveShortcut(kUserStartup + "\\Tray.lnk", link));
    m.Load();
    StartupItem& item = m.Find("Tray", kCuMenu);
    m.Edit(item, "Tray", item.Command, kCuRun);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    const auto key = m.Services().registry.OpenForReading(HKCU, CV + "Run");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadValue("Tray"),
              RegistryValue::String("\"C:\\Program Files\\Apps\\app.exe\" --tray -p \"a b\""));

    m.Load();
    StartupItem& value = m.Find("Tray", kCuRun);
    m.Edit(value, "Tray", value.Command, kCuMenu);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    const auto back = m.Services().shell.LoadShortcut(kUserStartup + "\\Tray.lnk");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->target, "C:\\Program Files\\Apps\\app.exe");
    EXPECT_EQ(back->arguments, "--tray -p \"a b\"");
}

// A move whose old copy cannot be removed is undone, so the entry is in one place and the report is true.
TEST(ApplySafety, AMoveWhoseRemovalFailsIsUndoneAndSaid) {
    struct Case {
        std::string what;
        std::string failing; // the removal that fails: operation and where
        std::string at;
        std::function<void(Machine&)> mark;
        std::string notChanged;
    };
    const std::vector<Case> cases = {
        {"disabling a run value", "registry.delete-value", CV + "Run\\Value",
         [](Machine& m) { m.Find("Value", kCuRun).State = ItemState::Disabled; },
         "Value (Current User\\Registry\\Run): in use by another program"},
        {"enabling a run value", "registry.delete-value", CV + "RunDisabled\\Twin",
         [](Machine& m) { m.Find("Twin", kCuRun).State = ItemState::Enabled; },
         "Twin (Current User\\Registry\\Run): in use by another program"},
        // A file leaves its place by a rename aside, deleted only once the apply is done.
        {"disabling a shortcut", "files.move", kUserStartup + "\\Link.lnk",
         [](Machine& m) { m.Find("Link", kCuMenu).State = ItemState::Disabled; },
         "Link (Current User\\Startup Menu): in use by another program"},
        {"enabling a kept shortcut", "files.move", kTool + "\\ShortCutCurrUser\\Kept.lnk",
         [](Machine& m) { m.Find("Kept", kCuMenu).State = ItemState::Enabled; },
         "Kept (Current User\\Startup Menu): in use by another program"},
        {"deleting a run value", "registry.delete-value", CV + "Run\\Value",
         [](Machine& m) { m.Find("Value", kCuRun).State = ItemState::Deleted; },
         "Value (Current User\\Registry\\Run): in use by another program"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Machine m;
        m.root.Value(HKCU, CV + "Run", "Value", "C:\\Apps\\app.exe /v")
            .Value(HKCU, CV + "RunDisabled", "Twin", "C:\\Apps\\app.exe /t")
            .Shortcut(kUserStartup + "\\Link.lnk", "C:\\Apps\\app.exe")
            .Shortcut(kTool + "\\ShortCutCurrUser\\Kept.lnk", "C:\\Apps\\app.exe");
        m.Load();
        const auto before = m.WholeSystem();
        c.mark(m);
        FaultPlan plan;
        plan.FailWhen([&](const FaultPlan::Operation& operation) {
            return operation.name == c.failing && operation.subject.ends_with(c.at);
        });
        FaultyMachineServices faulty(m.Services(), plan);
        ASSERT_EQ(m.Apply(faulty.Services()), ApplyOutcome::Applied);
        EXPECT_EQ(m.WholeSystem(), before); // listed once, where it was
        EXPECT_THAT(m.NotChanged(), ElementsAre(c.notChanged));
    }
}

// A standard user cannot write the machine's places: an entry moved from there stays there only, and the
// user reads why.
TEST(ApplySafety, AStandardUsersMoveFromTheMachineLeavesNoSecondCopy) {
    Machine m("Administrator=0");
    m.root.Value(HKLM, CV + "Run", "Machine", "C:\\Apps\\app.exe")
        .Shortcut(kCommonStartup + "\\Common.lnk", "C:\\Apps\\app.exe");
    m.Load();
    const auto before = m.WholeSystem();
    m.Edit(m.Find("Machine", kLmRun), "Machine", "C:\\Apps\\app.exe", kCuRun);
    m.Edit(m.Find("Common", kLmMenu), "Common", "C:\\Apps\\app.exe", kCuMenu);
    m.Add("New", "C:\\Apps\\app.exe", kLmMenu);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_EQ(m.WholeSystem(), before);
    EXPECT_THAT(m.NotChanged(), ElementsAre("Machine (All Users\\Registry\\Run): access denied",
                                            "Common (All Users\\Startup Menu): access denied",
                                            "New (All Users\\Startup Menu): access denied"));
    EXPECT_NE(m.dialogs.Messages().back().text.find("Machine (All Users\\Registry\\Run): access denied"),
              std::string::npos);
}

// Names and commands are held cut to 259 bytes; the system's own text is what moves and what is removed.
TEST(ApplySafety, TextOver259BytesIsNeverReplacedByItsCutCopy) {
    const std::string longName = "Long" + std::string(296, 'n');
    const std::string longCommand = "C:\\Apps\\app.exe " + std::string(314, 'a');
    Machine m;
    m.root.Value(HKCU, CV + "Run", "LongCommand", longCommand)
        .Value(HKCU, CV + "Run", longName, "C:\\Apps\\app.exe /n")
        .Value(HKCU, CV + "Run", "Renamed", longCommand);
    m.Load();
    m.Find("LongCommand", kCuRun).State = ItemState::Disabled;
    m.Find(longName.substr(0, 259), kCuRun).State = ItemState::Deleted;
    m.Edit(m.Find("Renamed", kCuRun), "NewName", m.Find("Renamed", kCuRun).Command, kCuRun);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_EQ(m.Value(HKCU, CV + "RunDisabled", "LongCommand"), RegistryValue::String(longCommand));
    EXPECT_FALSE(m.Value(HKCU, CV + "Run", longName));
    EXPECT_EQ(m.Value(HKCU, CV + "Run", "NewName"), RegistryValue::String(longCommand));
    EXPECT_THAT(m.NotChanged(), ElementsAre());

    m.Find("LongCommand", kCuRun).State = ItemState::Enabled;
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_EQ(m.Value(HKCU, CV + "Run", "LongCommand"), RegistryValue::String(longCommand));
}

// A change acts on the file that was loaded, whatever its ending looks like.
TEST(ApplySafety, ShortcutsAreChangedUnderTheirOwnFileNames) {
    for (const std::string file : {"Tool.LNK", "Tool"}) {
        SCOPED_TRACE(file);
        Machine m;
        m.root.Shortcut(kUserStartup + "\\" + file, "C:\\Apps\\app.exe");
        m.Load();
        const std::string name = m.inventory.Items.at(0)->Name;
        m.Find(name, kCuMenu).State = ItemState::Disabled;
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_FALSE(m.Exists(kUserStartup + "\\" + file));
        EXPECT_TRUE(m.Exists(kTool + "\\ShortCutCurrUser\\" + file));
        m.Find(name, kCuMenu).State = ItemState::Enabled;
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_TRUE(m.Exists(kUserStartup + "\\" + file));
        EXPECT_FALSE(m.Exists(kTool + "\\ShortCutCurrUser\\" + file));
        m.Find(name, kCuMenu).State = ItemState::Deleted;
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_FALSE(m.Exists(kUserStartup + "\\" + file));
        EXPECT_THAT(m.NotChanged(), ElementsAre());
    }
}

// What a delete did not find is said, not reported as done.
TEST(ApplySafety, AnEntryGoneBeforeItsDeleteIsReported) {
    Machine m;
    m.root.Value(HKCU, CV + "Run", "Gone", "C:\\Apps\\app.exe");
    m.Load();
    m.Find("Gone", kCuRun).State = ItemState::Deleted;
    m.Services().registry.OpenForWriting(HKCU, CV + "Run", false)->DeleteValue("Gone");
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_THAT(m.NotChanged(),
                ElementsAre("Gone (Current User\\Registry\\Run): not found where it was loaded from"));
}

namespace {

// One apply of every kind of change, the same on a fresh load or on what an earlier failure left.
void SeedMixed(Machine& m) {
    m.root.Value(HKCU, CV + "RunDisabled", "Enable", "C:\\Apps\\app.exe /e")
        .Value(HKCU, CV + "Run", "Disable", "C:\\Apps\\app.exe /d")
        .Value(HKCU, CV + "Run", "Edit", "C:\\Apps\\app.exe /old")
        .Value(HKCU, CV + "Run", "Delete", "C:\\Apps\\app.exe /x")
        .Value(HKCU, CV + "Run", "Freed", "C:\\Apps\\app.exe /f")
        .Value(HKCU, CV + "Run", "Taker", "C:\\Apps\\app.exe /t")
        .Shortcut(kUserStartup + "\\MenuOff.lnk", "C:\\Apps\\app.exe")
        .Shortcut(kTool + "\\ShortCutCurrUser\\MenuOn.lnk", "C:\\Apps\\app.exe")
        // The 32-bit view's places, and entries Windows switched off.
        .Value(HKLM, WOW + "RunDisabled", "Enable32", "C:\\Apps\\app.exe /e32")
        .Value(HKLM, WOW + "Run", "Disable32", "C:\\Apps\\app.exe /d32")
        .Value(HKCU, CV + "Run", "SwitchedOff", "C:\\Apps\\app.exe /s")
        .Value(HKCU, kApproved + "Run", "SwitchedOff", kSwitchOff)
        .Value(HKCU, CV + "RunDisabled", "StaleOff", "C:\\Apps\\app.exe /so")
        .Value(HKCU, kApproved + "Run", "StaleOff", kSwitchOff)
        .Value(HKCU, CV + "Run", "DeleteSwitched", "C:\\Apps\\app.exe /ds")
        .Value(HKCU, kApproved + "Run", "DeleteSwitched", kSwitchOff)
        // Commands of RunOnceEx's sections, each the only one of its titled section.
        .Value(HKLM, CV + "RunOnceEx\\0001", "", "Disabled next")
        .Value(HKLM, CV + "RunOnceEx\\0001", "DisableEx", "||C:\\Apps\\app.exe /dx")
        .Value(HKLM, CV + "RunOnceExDisabled\\0002", "", "Enabled next")
        .Value(HKLM, CV + "RunOnceExDisabled\\0002", "EnableEx", "C:\\Apps\\app.exe /ex")
        .Value(HKLM, CV + "RunOnceEx\\0003", "", "Deleted next")
        .Value(HKLM, CV + "RunOnceEx\\0003", "DeleteEx", "C:\\Apps\\app.exe /xx")
        .Value(HKLM, CV + "RunOnceEx\\0004", "", "Edited next")
        .Value(HKLM, CV + "RunOnceEx\\0004", "EditEx", "C:\\Apps\\app.exe /old");
}

// Marks whatever is not yet as wanted; entries already there are left alone.
void MarkMixed(Machine& m) {
    const auto set = [&](const std::string& name, const std::string& location, ItemState state) {
        if (StartupItem* item = FindIf(m, name, location); item != nullptr && item->State != state) {
            item->State = state;
        }
    };
    set("Enable", kCuRun, ItemState::Enabled);
    set("Disable", kCuRun, ItemState::Disabled);
    if (StartupItem* edit = FindIf(m, "Edit", kCuRun)) {
        m.Edit(*edit, "Edited", "C:\\Apps\\app.exe /new", kCuMenu);
    }
    if (StartupItem* deleted = FindIf(m, "Delete", kCuRun)) {
        deleted->State = ItemState::Deleted;
    }
    if (StartupItem* freed = FindIf(m, "Freed", kCuRun);
        freed != nullptr && freed->Command == "C:\\Apps\\app.exe /f") {
        freed->State = ItemState::Deleted; // the old entry of the name, not Taker under its new name
    }
    if (StartupItem* taker = FindIf(m, "Taker", kCuRun)) {
        m.Edit(*taker, "Freed", "C:\\Apps\\app.exe /t", kCuRun);
    }
    set("MenuOff", kCuMenu, ItemState::Disabled);
    set("MenuOn", kCuMenu, ItemState::Enabled);
    if (FindIf(m, "Added", kCuRunOnce) == nullptr) {
        m.Add("Added", "C:\\Apps\\app.exe /a", kCuRunOnce);
    }
    set("Enable32", kLmRun32, ItemState::Enabled);
    set("Disable32", kLmRun32, ItemState::Disabled);
    if (FindIf(m, "Added32", kLmRun32) == nullptr) {
        m.Add("Added32", "C:\\Apps\\app.exe /a32", kLmRun32);
    }
    set("SwitchedOff", kCuRun, ItemState::Enabled);
    set("StaleOff", kCuRun, ItemState::Enabled);
    if (StartupItem* deleted = FindIf(m, "DeleteSwitched", kCuRun)) {
        deleted->State = ItemState::Deleted;
    }
    set("0001\\DisableEx", kLmOnceEx, ItemState::Disabled);
    set("0002\\EnableEx", kLmOnceEx, ItemState::Enabled);
    if (StartupItem* deleted = FindIf(m, "0003\\DeleteEx", kLmOnceEx)) {
        deleted->State = ItemState::Deleted;
    }
    if (StartupItem* edit = FindIf(m, "0004\\EditEx", kLmOnceEx);
        edit != nullptr && edit->Command == "C:\\Apps\\app.exe /old") {
        m.Edit(*edit, "0004\\EditEx", "C:\\Apps\\app.exe /new", kLmOnceEx);
    }
    if (FindIf(m, "0005\\AddedEx", kLmOnceEx) == nullptr) {
        m.Add("0005\\AddedEx", "||C:\\Apps\\app.exe /ax", kLmOnceEx);
    }
}

// Each entry of the mixed apply: how it may be found before, and how after.
struct Expected {
    std::string before; // "" when it was not on the system
    std::string after;  // "" when it is to be gone
};
const std::vector<Expected> kMixed = {
    {"Enable @ Current User\\Registry\\Run - : C:\\Apps\\app.exe /e",
     "Enable @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /e"},
    {"Disable @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /d",
     "Disable @ Current User\\Registry\\Run - : C:\\Apps\\app.exe /d"},
    {"Edit @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /old",
     "Edited @ Current User\\Startup Menu + : C:\\Apps\\app.exe /new"},
    {"Delete @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /x", ""},
    {"Freed @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /f", ""},
    {"Taker @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /t",
     "Freed @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /t"},
    {"MenuOff @ Current User\\Startup Menu + : C:\\Apps\\app.exe",
     "MenuOff @ Current User\\Startup Menu - : C:\\Apps\\app.exe"},
    {"MenuOn @ Current User\\Startup Menu - : C:\\Apps\\app.exe",
     "MenuOn @ Current User\\Startup Menu + : C:\\Apps\\app.exe"},
    {"", "Added @ Current User\\Registry\\RunOnce + : C:\\Apps\\app.exe /a"},
    {"Enable32 @ All Users\\Registry\\Run (32-bit) - : C:\\Apps\\app.exe /e32",
     "Enable32 @ All Users\\Registry\\Run (32-bit) + : C:\\Apps\\app.exe /e32"},
    {"Disable32 @ All Users\\Registry\\Run (32-bit) + : C:\\Apps\\app.exe /d32",
     "Disable32 @ All Users\\Registry\\Run (32-bit) - : C:\\Apps\\app.exe /d32"},
    {"", "Added32 @ All Users\\Registry\\Run (32-bit) + : C:\\Apps\\app.exe /a32"},
    {"SwitchedOff @ Current User\\Registry\\Run - : C:\\Apps\\app.exe /s",
     "SwitchedOff @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /s"},
    {"StaleOff @ Current User\\Registry\\Run - : C:\\Apps\\app.exe /so",
     "StaleOff @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /so"},
    // RunOnceEx's sections; DeleteSwitched stays the last row.
    {"0001\\DisableEx @ All Users\\Registry\\RunOnce Ex + : ||C:\\Apps\\app.exe /dx",
     "0001\\DisableEx @ All Users\\Registry\\RunOnce Ex - : ||C:\\Apps\\app.exe /dx"},
    {"0002\\EnableEx @ All Users\\Registry\\RunOnce Ex - : C:\\Apps\\app.exe /ex",
     "0002\\EnableEx @ All Users\\Registry\\RunOnce Ex + : C:\\Apps\\app.exe /ex"},
    {"0003\\DeleteEx @ All Users\\Registry\\RunOnce Ex + : C:\\Apps\\app.exe /xx", ""},
    {"0004\\EditEx @ All Users\\Registry\\RunOnce Ex + : C:\\Apps\\app.exe /old",
     "0004\\EditEx @ All Users\\Registry\\RunOnce Ex + : C:\\Apps\\app.exe /new"},
    {"", "0005\\AddedEx @ All Users\\Registry\\RunOnce Ex + : ||C:\\Apps\\app.exe /ax"},
    {"DeleteSwitched @ Current User\\Registry\\Run - : C:\\Apps\\app.exe /ds", ""},
};

std::string FailedOperation(const FaultPlan& plan) {
    for (const auto& operation : plan.Log()) {
        if (operation.failed) {
            return operation.name + " " + operation.subject;
        }
    }
    return "none";
}

std::string NameOf(const std::string& entry) {
    return entry.substr(0, entry.find(" @ "));
}

} // namespace

// Every platform change of a mixed apply fails in turn. After the failure each entry is as it was, as it
// is to be, or named among those not changed (or the apply stopped with its error and kept every mark);
// a second apply, from what the failure left, ends exactly at the wanted system.
TEST(ApplySafety, NoInjectedFaultLosesAnEntry) {
    std::set<std::string> wanted;
    for (const auto& entry : kMixed) {
        if (!entry.after.empty()) {
            wanted.insert(entry.after);
        }
    }
    int changes = 0;
    {
        Machine m;
        SeedMixed(m);
        m.Load();
        MarkMixed(m);
        FaultPlan plan;
        FaultyMachineServices faulty(m.Services(), plan);
        ASSERT_EQ(m.Apply(faulty.Services()), ApplyOutcome::Applied);
        changes = plan.ChangesSeen();
        ASSERT_EQ(m.WholeSystem(), wanted);
        ASSERT_THAT(m.NotChanged(), ElementsAre());
    }
    ASSERT_GT(changes, 12);
    for (int failing = 0; failing < changes; ++failing) {
        Machine m;
        SeedMixed(m);
        const auto before = m.WholeSystem();
        m.Load();
        MarkMixed(m);
        FaultPlan plan;
        plan.FailChange(failing);
        FaultyMachineServices faulty(m.Services(), plan);
        bool stopped = false;
        try {
            m.Apply(faulty.Services());
        } catch (const PlatformError&) {
            stopped = true;
        }
        SCOPED_TRACE("failing change " + std::to_string(failing) + ": " + FailedOperation(plan));
        const auto present = m.WholeSystem();
        std::set<std::string> told;
        for (const auto& entry : m.report.notChanged) {
            told.insert(entry.name);
        }
        for (const auto& entry : kMixed) {
            const bool asBefore = !entry.before.empty() && present.contains(entry.before);
            const bool asAfter =
                entry.after.empty() ? !present.contains(entry.before) : present.contains(entry.after);
            const bool toldOf = stopped ||
                                told.contains(NameOf(entry.before.empty() ? entry.after : entry.before)) ||
                                told.contains(NameOf(entry.after));
            const bool kept = entry.before.empty() ? !asAfter : asBefore; // a new one is kept by its absence
            EXPECT_TRUE(asAfter || (kept && toldOf)) << (entry.before.empty() ? entry.after : entry.before)
                                                     << " is neither done nor kept and told";
        }
        // A deleted entry's switch goes with it, or the user is told that it stays.
        EXPECT_TRUE(present.contains(kMixed.back().before) ||
                    !m.Value(HKCU, kApproved + "Run", "DeleteSwitched") || told.contains("DeleteSwitched"));
        if (stopped) {
            EXPECT_EQ(present, before) << "an apply that stopped is all or nothing: nothing";
            EXPECT_TRUE(HasPendingChanges(m.inventory)); // the marks stay for the next try
        } else {
            EXPECT_TRUE(present == wanted || !m.report.notChanged.empty())
                << "a failed change was reported as done";
            MarkMixed(m); // reloaded: mark again what is not yet done, on what is there now
        }
        if (HasPendingChanges(m.inventory)) {
            ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        }
        EXPECT_EQ(m.WholeSystem(), wanted);
        // Each section's title is beside its command, whatever failed on the way.
        EXPECT_EQ(m.Value(HKLM, CV + "RunOnceExDisabled\\0001", ""), RegistryValue::String("Disabled next"));
        EXPECT_EQ(m.Value(HKLM, CV + "RunOnceEx\\0002", ""), RegistryValue::String("Enabled next"));
        EXPECT_EQ(m.Value(HKLM, CV + "RunOnceEx\\0004", ""), RegistryValue::String("Edited next"));
    }
}

// The same for a restore: every write and removal of a restore fails in turn; nothing is lost, what failed
// is said, and a second restore gives back exactly the saved setting.
TEST(ApplySafety, NoInjectedFaultLosesAnEntryOfARestore) {
    const std::string backup = kTool + "\\backup\\saved.qbk";
    const auto seed = [&](Machine& m) {
        m.root.Value(HKCU, CV + "Run", "Kept", "C:\\Apps\\app.exe /k")
            .Value(HKCU, CV + "Run", "Removed", "C:\\Apps\\app.exe /r")
            .Value(HKCU, CV + "RunDisabled", "Off", "C:\\Apps\\app.exe /o")
            .Value(HKLM, CV + "Run", "Changed", "C:\\Apps\\app.exe /c")
            .Shortcut(kUserStartup + "\\Link.lnk", "C:\\Apps\\app.exe")
            .Value(HKLM, WOW + "Run", "Kept32", "C:\\Apps\\app.exe /k32")
            .Value(HKCU, CV + "Run", "Switched", "C:\\Apps\\app.exe /s")
            .Value(HKCU, kApproved + "Run", "Switched", kSwitchOff)
            .Value(HKLM, CV + "RunOnceEx\\0001", "", "Setup")
            .Value(HKLM, CV + "RunOnceEx\\0001", "SectionEx", "||C:\\Apps\\app.exe /sx");
        m.Load();
        WriteBackup(backup, m.inventory, m.Services());
        // Then the system moves on: one entry gone, one enabled, one moved aside, one new, one changed.
        m.Find("Removed", kCuRun).State = ItemState::Deleted;
        m.Find("Off", kCuRun).State = ItemState::Enabled;
        m.Find("Link", kCuMenu).State = ItemState::Disabled;
        m.Add("Newcomer", "C:\\Apps\\app.exe /n", kCuRun);
        m.Edit(m.Find("Changed", kLmRun), "Changed", "C:\\Apps\\app.exe /changed", kLmRun);
        m.Find("Kept32", kLmRun32).State = ItemState::Disabled;
        m.Find("Switched", kCuRun).State = ItemState::Enabled; // Windows' switch on again
        m.Find("0001\\SectionEx", kLmOnceEx).State = ItemState::Disabled;
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    };
    const std::set<std::string> saved = {
        "Kept @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /k",
        "Removed @ Current User\\Registry\\Run + : C:\\Apps\\app.exe /r",
        "Off @ Current User\\Registry\\Run - : C:\\Apps\\app.exe /o",
        "Changed @ All Users\\Registry\\Run + : C:\\Apps\\app.exe /c",
        "Link @ Current User\\Startup Menu + : C:\\Apps\\app.exe",
        "Kept32 @ All Users\\Registry\\Run (32-bit) + : C:\\Apps\\app.exe /k32",
        "Switched @ Current User\\Registry\\Run - : C:\\Apps\\app.exe /s", // saved as disabled
        "0001\\SectionEx @ All Users\\Registry\\RunOnce Ex + : ||C:\\Apps\\app.exe /sx",
    };
    const auto restore = [&](Machine& m, PlatformServices services) {
        ASSERT_TRUE(LoadBackup(backup, m.inventory, services, *m.database, m.icons).loaded);
        m.Apply(services);
    };
    int changes = 0;
    std::set<std::string> changedSystem;
    {
        Machine m;
        seed(m);
        changedSystem = m.WholeSystem();
        FaultPlan plan;
        FaultyMachineServices faulty(m.Services(), plan);
        restore(m, faulty.Services());
        changes = plan.ChangesSeen();
        ASSERT_EQ(m.WholeSystem(), saved);
    }
    ASSERT_GT(changes, 4);
    for (int failing = 0; failing < changes; ++failing) {
        Machine m;
        seed(m);
        ASSERT_EQ(m.WholeSystem(), changedSystem);
        FaultPlan plan;
        plan.FailChange(failing);
        FaultyMachineServices faulty(m.Services(), plan);
        bool stopped = false;
        try {
            restore(m, faulty.Services());
        } catch (const PlatformError&) {
            stopped = true;
        }
        SCOPED_TRACE("failing change " + std::to_string(failing) + ": " + FailedOperation(plan));
        const auto present = m.WholeSystem();
        // Nothing lost: every saved entry and every entry of the changed system is there in one of its forms.
        // (Removed and Newcomer are each on one side only: a restore may leave either as it was.)
        for (const std::string name :
             {"Kept", "Off", "Changed", "Link", "Kept32", "Switched", "0001\\SectionEx"}) {
            bool found = false;
            for (const auto& entry : present) {
                found = found || entry.starts_with(name + " @ ");
            }
            EXPECT_TRUE(found) << name << " is gone";
        }
        EXPECT_TRUE(stopped || !m.report.notChanged.empty() || present == saved)
            << "a failed change was reported as done";
        if (stopped) {
            EXPECT_EQ(present, changedSystem) << "a restore that stopped is all or nothing: nothing";
        }
        restore(m, m.Services()); // from what the failure left
        EXPECT_EQ(m.WholeSystem(), saved);
        EXPECT_EQ(m.Value(HKLM, CV + "RunOnceEx\\0001", ""), RegistryValue::String("Setup"))
            << "its title came back";
    }
}

} // namespace qb

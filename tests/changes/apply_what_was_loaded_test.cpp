// An apply acts on what the list remembers, so it first checks that each entry is still as it was loaded
// and that its new name is free; and a file moves as the file it is, never rebuilt from the list's text.

#include "backup/backup_file.h"
#include "backup/backup_index.h"
#include "changes/apply_engine.h"
#include "support/startup_machine.h"

#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using namespace test;
using ::testing::ElementsAre;
using Machine = StartupMachine;

namespace {

namespace fs = std::filesystem;

const std::string kKept = kTool + "\\ShortCutCurrUser";
const std::string kChangedSince = "changed by another program since it was loaded";
const std::string kNameTaken = "an entry of that name is already there";

std::string Bytes(Machine& m, const std::string& path) {
    return m.Services().files.ReadFile(path).value_or("(missing)");
}

std::string TextOf(const std::optional<RegistryValue>& value) {
    return value ? value->data : "(missing)";
}

} // namespace

// Another program changes the system between the load and Apply: the entry it touched is left as that
// program left it and the user is told; nothing is written over it, nothing is doubled.
TEST(ApplyWhatWasLoaded, AnEntryChangedSinceTheLoadIsLeftAsItIsAndSaid) {
    struct Case {
        std::string what;
        std::function<void(Machine&)> seed;
        std::function<void(Machine&)> mark;
        std::function<void(Machine&)> meanwhile; // another program, after the load
        std::string notChanged;
        std::function<void(Machine&)> check; // the system after the apply
    };
    const std::vector<Case> cases = {
        {"enabling a kept value while the run key took its name in other letters",
         [](Machine& m) { m.root.Value(HKCU, CV + "RunDisabled", "FOO", "C:\\Apps\\app.exe /kept"); },
         [](Machine& m) { m.Find("FOO", kCuRun).State = ItemState::Enabled; },
         [](Machine& m) { m.root.Value(HKCU, CV + "Run", "Foo", "C:\\a.exe"); },
         "FOO (Current User\\Registry\\Run): " + kNameTaken,
         [](Machine& m) {
             EXPECT_EQ(TextOf(m.Value(HKCU, CV + "Run", "Foo")), "C:\\a.exe");
             EXPECT_EQ(TextOf(m.Value(HKCU, CV + "RunDisabled", "FOO")), "C:\\Apps\\app.exe /kept");
         }},
        {"disabling a value its program changed since",
         [](Machine& m) { m.root.Value(HKCU, CV + "Run", "Agent", "C:\\Apps\\app.exe /old"); },
         [](Machine& m) { m.Find("Agent", kCuRun).State = ItemState::Disabled; },
         [](Machine& m) { m.root.Value(HKCU, CV + "Run", "Agent", "C:\\Apps\\app.exe /new"); },
         "Agent (Current User\\Registry\\Run): " + kChangedSince,
         [](Machine& m) {
             EXPECT_EQ(TextOf(m.Value(HKCU, CV + "Run", "Agent")), "C:\\Apps\\app.exe /new");
             EXPECT_FALSE(m.Value(HKCU, CV + "RunDisabled", "Agent"));
         }},
        {"deleting a value its program changed since",
         [](Machine& m) { m.root.Value(HKCU, CV + "Run", "Agent", "C:\\Apps\\app.exe /old"); },
         [](Machine& m) { m.Find("Agent", kCuRun).State = ItemState::Deleted; },
         [](Machine& m) { m.root.Value(HKCU, CV + "Run", "Agent", "C:\\Apps\\app.exe /new"); },
         "Agent (Current User\\Registry\\Run): " + kChangedSince,
         [](Machine& m) { EXPECT_EQ(TextOf(m.Value(HKCU, CV + "Run", "Agent")), "C:\\Apps\\app.exe /new"); }},
        {"an edit made on a list another program changed since",
         [](Machine& m) { m.root.Value(HKCU, CV + "Run", "Agent", "C:\\Apps\\app.exe /old"); },
         [](Machine& m) { m.Edit(m.Find("Agent", kCuRun), "Renamed", "C:\\Apps\\app.exe /old", kCuRun); },
         [](Machine& m) { m.root.Value(HKCU, CV + "Run", "Agent", "C:\\Apps\\app.exe /new"); },
         "Agent (Current User\\Registry\\Run): " + kChangedSince,
         [](Machine& m) {
             EXPECT_EQ(TextOf(m.Value(HKCU, CV + "Run", "Agent")), "C:\\Apps\\app.exe /new");
             EXPECT_FALSE(m.Value(HKCU, CV + "Run", "Renamed")) << "the entry is there twice";
         }},
        {"enabling a shortcut whose kept copy went while one of its name came into the startup folder",
         [](Machine& m) { m.root.Shortcut(kKept + "\\Menu.lnk", "C:\\Apps\\app.exe"); },
         [](Machine& m) { m.Find("Menu", kCuMenu).State = ItemState::Enabled; },
         [](Machine& m) {
             fs::remove(m.root.Host(kKept + "\\Menu.lnk"));
             m.root.Shortcut(kUserStartup + "\\Menu.lnk", "C:\\Apps\\other.exe");
         },
         "Menu (Current User\\Startup Menu): " + kNameTaken,
         [](Machine& m) {
             EXPECT_EQ(m.Services().shell.LoadShortcut(kUserStartup + "\\Menu.lnk")->target,
                       "C:\\Apps\\other.exe");
         }},
        {"disabling a shortcut rewritten since",
         [](Machine& m) { m.root.Shortcut(kUserStartup + "\\Menu.lnk", "C:\\Apps\\app.exe"); },
         [](Machine& m) { m.Find("Menu", kCuMenu).State = ItemState::Disabled; },
         [](Machine& m) {
             fs::remove(m.root.Host(kUserStartup + "\\Menu.lnk"));
             m.root.Shortcut(kUserStartup + "\\Menu.lnk", "C:\\Apps\\other.exe");
         },
         "Menu (Current User\\Startup Menu): " + kChangedSince,
         [](Machine& m) {
             EXPECT_EQ(m.Services().shell.LoadShortcut(kUserStartup + "\\Menu.lnk")->target,
                       "C:\\Apps\\other.exe");
             EXPECT_FALSE(m.Exists(kKept + "\\Menu.lnk"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Machine m;
        m.root.File("C:\\Apps\\other.exe").Value(HKCU, CV + "Run", "Bystander", "C:\\Apps\\app.exe /b");
        c.seed(m);
        m.Load();
        c.mark(m);
        m.Find("Bystander", kCuRun).State = ItemState::Disabled; // the rest of the apply goes on
        c.meanwhile(m);
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_THAT(m.NotChanged(), ElementsAre(c.notChanged));
        c.check(m);
        EXPECT_EQ(TextOf(m.Value(HKCU, CV + "RunDisabled", "Bystander")), "C:\\Apps\\app.exe /b");
    }
}

// A shortcut renamed, moved to the other startup folder, disabled and enabled, or given another program
// keeps what the list does not show: description, working folder, icon, hot key and show state. The file is
// one the Windows shell wrote, with every field set.
TEST(FilesMoveAsFiles, AShortcutKeepsEveryFieldThroughEveryChange) {
    const fs::path made = fs::path(QB_TEST_LNK_DIR) / "all_fields.lnk";
    struct Case {
        std::string what;
        std::function<void(Machine&)> mark;
        std::string path; // where the file is to be after the apply
        bool sameBytes;   // the very file, or one with only its program changed
    };
    const std::vector<Case> cases = {
        {"renamed in its folder",
         [](Machine& m) {
             m.Edit(m.Find("Console", kCuMenu), "Shell", m.Find("Console", kCuMenu).Command, kCuMenu);
         },
         kUserStartup + "\\Shell.lnk", true},
        {"moved to the all users' folder",
         [](Machine& m) {
             m.Edit(m.Find("Console", kCuMenu), "Console", m.Find("Console", kCuMenu).Command, kLmMenu);
         },
         kCommonStartup + "\\Console.lnk", true},
        {"disabled", [](Machine& m) { m.Find("Console", kCuMenu).State = ItemState::Disabled; },
         kKept + "\\Console.lnk", true},
        {"given another program",
         [](Machine& m) { m.Edit(m.Find("Console", kCuMenu), "Console", "C:\\Apps\\app.exe", kCuMenu); },
         kUserStartup + "\\Console.lnk", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Machine m;
        m.root.File(kUserStartup + "\\Console.lnk", test::ReadText(made));
        const std::string original = Bytes(m, kUserStartup + "\\Console.lnk");
        const auto fields = m.Services().shell.LoadShortcut(kUserStartup + "\\Console.lnk");
        ASSERT_TRUE(fields);
        m.Load();
        c.mark(m);
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_THAT(m.NotChanged(), ElementsAre());
        EXPECT_FALSE(m.Exists(kUserStartup + "\\Console.lnk") && c.path != kUserStartup + "\\Console.lnk");
        if (c.sameBytes) {
            EXPECT_EQ(Bytes(m, c.path), original);
        } else {
            auto expected = *fields;
            expected.target = "C:\\Apps\\app.exe";
            const auto now = m.Services().shell.LoadShortcut(c.path);
            ASSERT_TRUE(now);
            EXPECT_EQ(*now, expected);
        }
    }
}

// A target whose name holds a blank stays whole when its shortcut is renamed or restored in another
// version: the list's text is not split again into a program and arguments.
TEST(FilesMoveAsFiles, ATargetWithABlankStaysWhole) {
    Machine m;
    m.root.File("C:\\Docs\\todo list.txt").Shortcut(kUserStartup + "\\Todo.lnk", "C:\\Docs\\todo list.txt");
    m.Load();
    m.Edit(m.Find("Todo", kCuMenu), "My todo", m.Find("Todo", kCuMenu).Command, kCuMenu);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    const auto link = m.Services().shell.LoadShortcut(kUserStartup + "\\My todo.lnk");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, "C:\\Docs\\todo list.txt");
    EXPECT_EQ(link->arguments, "");
}

// A restore that gives back another program for a shortcut that is there changes only that, in the file
// that is there.
TEST(FilesMoveAsFiles, ARestoreChangesOnlyWhatTheBackupHoldsOtherwise) {
    const fs::path made = fs::path(QB_TEST_LNK_DIR) / "all_fields.lnk";
    Machine m;
    m.root.File(kUserStartup + "\\Console.lnk", test::ReadText(made));
    m.Load();
    const auto fields = m.Services().shell.LoadShortcut(kUserStartup + "\\Console.lnk");
    ASSERT_TRUE(fields);
    // The backup holds it with another program.
    m.Edit(m.Find("Console", kCuMenu), "Console", "C:\\Apps\\app.exe", kCuMenu);
    m.inventory.MarkLoaded();
    const std::string backup = kTool + "\\backup\\other.qbk";
    WriteBackup(backup, m.inventory, m.Services(), BackupContent::HeldNow);
    m.Load();
    ASSERT_TRUE(LoadBackup(backup, m.inventory, m.Services(), *m.database, m.icons).loaded);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_THAT(m.NotChanged(), ElementsAre());
    auto expected = *fields;
    expected.target = "C:\\Apps\\app.exe";
    const auto now = m.Services().shell.LoadShortcut(kUserStartup + "\\Console.lnk");
    ASSERT_TRUE(now);
    EXPECT_EQ(*now, expected);
}

// The automatic backup never takes the place of one that is there: a counter that was reset, or an apply
// killed before its count was stored, finds the next free number.
TEST(AutomaticBackup, NeverWritesOverABackupThatIsThere) {
    Machine m;
    m.root.Value(HKCU, CV + "Run", "Agent", "C:\\Apps\\app.exe")
        .Value(HKCU, "SOFTWARE\\Quillbrook", "Idx", RegistryValue::Dword(2))
        .File(kTool + "\\backup\\Auto-2.qbk", "someone's backup")
        .File(kTool + "\\backup\\Auto-3.qbk", "another");
    m.Load();
    m.Find("Agent", kCuRun).State = ItemState::Disabled;
    ASSERT_EQ(m.Apply(m.Services(), true), ApplyOutcome::Applied);
    EXPECT_EQ(m.report.autoBackupPath, kTool + "\\backup\\Auto-4.qbk");
    EXPECT_EQ(Bytes(m, kTool + "\\backup\\Auto-2.qbk"), "someone's backup");
    EXPECT_EQ(Bytes(m, kTool + "\\backup\\Auto-3.qbk"), "another");
    EXPECT_TRUE(m.Exists(kTool + "\\backup\\Auto-4.qbk"));
    EXPECT_EQ(m.Value(HKCU, "SOFTWARE\\Quillbrook", "Idx"), RegistryValue::Dword(5));
}

} // namespace qb
